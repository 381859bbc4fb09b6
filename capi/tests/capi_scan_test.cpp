// The picture reader's C interface (velmo_scan.h), through libvelmo-scan.so as a program
// links it: committed pictures read exactly, bad bytes refused with their reason, only the
// `size` bytes given read, every field of the result written, and the same answers from
// many threads at once.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "velmo_scan.h"

namespace {

std::vector<unsigned char> ReadScanFile(const std::string& name) {
    std::ifstream file(std::string(VELMO_TEST_DATA_DIR) + "/scan/" + name, std::ios::binary);
    EXPECT_TRUE(file) << name;
    return {std::istreambuf_iterator<char>(file), {}};
}

std::string Line(const unsigned char (&cells)[VELMO_SCAN_CELLS]) {
    std::string line;
    for (unsigned char value : cells) line += value == 0 ? '.' : char('0' + value);
    return line;
}

// A result whose every byte says it was not written.
velmo_scan_result Unwritten() {
    velmo_scan_result result;
    std::memset(&result, 0xAB, sizeof result);
    return result;
}

// Reads `bytes` from a buffer of exactly their size, so that a read past `size` is one
// past the allocation (which the sanitizers catch).
int Scan(const std::vector<unsigned char>& bytes, size_t size, velmo_scan_result* result) {
    auto copy = std::make_unique<unsigned char[]>(size);
    std::memcpy(copy.get(), bytes.data(), size);
    return velmo_scan(copy.get(), size, result);
}

const char kScreenshot[] =
    "4.....8.5.3..........7......2.....6.....8.4......1.......6.3.7.5..2.....1.4......";
const char kPhoto[] =
    "9.3.....2.6.49.1.3...1...........9..3.1..4....8.7.243.1785.93........759...367...";

// Committed pictures read exactly: each cell's certainty at least 0.9 but in the one cell a
// person should look at, and what the solver changed shown in `read`.
TEST(CApiScan, ReadsCommittedPicturesExactly) {
    struct CCase {
        const char* file;
        int status;
        const char* puzzle;
        int quarterTurns;
        int unsure;  // the cell read with a certainty below 0.9, or -1
        int read;    // what that cell was read as before the solver's change
    };
    const CCase cases[] = {
        {"screenshot.png", VELMO_SCAN_READ, kScreenshot, 0, -1, 0},
        {"dataset-image13.jpg", VELMO_SCAN_READ, kPhoto, 0, -1, 0},
        {"dataset-image1031.jpg", VELMO_SCAN_READ,
         "..837....6.72....4.3.4..7262.4....1...........5....6.3891..3.7.5....19.2....578..", 1, -1,
         0},
        // r1c1's 4 half rubbed out: read, but not surely.
        {"screenshot-half-erased.png", VELMO_SCAN_READ, kScreenshot, 0, 0, 4},
        // r1c7's 8 rubbed out below: read as empty, put back by the solver.
        {"screenshot-8-rubbed-out.png", VELMO_SCAN_CORRECTED, kScreenshot, 0, 6, 0},
    };
    for (const CCase& c : cases) {
        SCOPED_TRACE(c.file);
        const std::vector<unsigned char> bytes = ReadScanFile(c.file);
        velmo_scan_result result = Unwritten();
        ASSERT_EQ(Scan(bytes, bytes.size(), &result), c.status);
        EXPECT_EQ(Line(result.puzzle), c.puzzle);
        std::string read = c.puzzle;
        if (c.unsure >= 0) read[c.unsure] = c.read == 0 ? '.' : char('0' + c.read);
        EXPECT_EQ(Line(result.read), read);
        EXPECT_EQ(result.quarter_turns, c.quarterTurns);
        EXPECT_STREQ(result.message, "");
        for (int i = 0; i < VELMO_SCAN_CELLS; ++i) {
            EXPECT_EQ(result.certainty[i] < 0.9f, i == c.unsure) << i;
            EXPECT_GE(result.certainty[i], i == c.unsure ? 0.2f : 0.9f) << i;
            EXPECT_LE(result.certainty[i], 1.0f) << i;
        }
    }
}

// Bytes that are no picture the reader takes, or a picture without a puzzle: each its own
// status and reason, and the puzzle, readings and certainties all zero.
TEST(CApiScan, RefusesBadBytesEachWithItsReason) {
    struct CCase {
        const char* file;
        int status;
        const char* message;
    };
    const CCase cases[] = {
        {"text.png", VELMO_SCAN_BAD_PICTURE,
         "unsupported format: not a PNG, JPEG, BMP, WebP, TIFF or PNM picture"},
        {"huge-30000.png", VELMO_SCAN_BAD_PICTURE, "picture too large: 30000 x 30000 pixels"},
        {"no-grid.png", VELMO_SCAN_NO_PUZZLE, "no puzzle found"},
    };
    for (const CCase& c : cases) {
        SCOPED_TRACE(c.file);
        const std::vector<unsigned char> bytes = ReadScanFile(c.file);
        velmo_scan_result result = Unwritten();
        ASSERT_EQ(Scan(bytes, bytes.size(), &result), c.status);
        EXPECT_STREQ(result.message, c.message);
        EXPECT_STREQ(velmo_scan_status_word(c.status),
                     c.status == VELMO_SCAN_NO_PUZZLE ? "no puzzle" : "bad picture");
        const velmo_scan_result zero{};
        EXPECT_EQ(std::memcmp(result.puzzle, zero.puzzle, sizeof zero.puzzle), 0);
        EXPECT_EQ(std::memcmp(result.read, zero.read, sizeof zero.read), 0);
        EXPECT_EQ(std::memcmp(result.certainty, zero.certainty, sizeof zero.certainty), 0);
        EXPECT_EQ(result.quarter_turns, 0);
    }

    velmo_scan_result result = Unwritten();
    EXPECT_EQ(velmo_scan(nullptr, 0, &result), VELMO_SCAN_BAD_PICTURE);
    EXPECT_STREQ(result.message, "empty file");
    const unsigned char byte = 0x89;
    EXPECT_EQ(velmo_scan(nullptr, 1, &result), VELMO_SCAN_ERROR_NULL);
    EXPECT_EQ(velmo_scan(&byte, 1, nullptr), VELMO_SCAN_ERROR_NULL);
    EXPECT_STREQ(velmo_scan_status_word(VELMO_SCAN_ERROR_NULL), "a null pointer was given");
    EXPECT_STREQ(velmo_scan_status_word(7), "unknown status");
}

// The reader reads `size` bytes and no more: a picture cut short by `size` is damaged, one
// followed by other bytes it is not told of reads as it is.
TEST(CApiScan, ReadsTheSizeGivenAndNoMore) {
    const std::vector<unsigned char> png = ReadScanFile("screenshot.png");
    velmo_scan_result result = Unwritten();
    EXPECT_EQ(Scan(png, 0, &result), VELMO_SCAN_BAD_PICTURE);
    EXPECT_STREQ(result.message, "empty file");
    for (size_t size : {size_t(8), size_t(40), png.size() / 2, png.size() - 13}) {
        SCOPED_TRACE(size);
        result = Unwritten();
        EXPECT_EQ(Scan(png, size, &result), VELMO_SCAN_BAD_PICTURE);
        EXPECT_EQ(std::string(result.message).rfind("damaged picture", 0), 0u) << result.message;
    }

    // The photo's bytes, then a whole other picture that a reader going past `size` would
    // find: the photo is what is read.
    const std::vector<unsigned char> photo = ReadScanFile("dataset-image13.jpg");
    std::vector<unsigned char> both = photo;
    both.insert(both.end(), png.begin(), png.end());
    result = Unwritten();
    ASSERT_EQ(velmo_scan(both.data(), photo.size(), &result), VELMO_SCAN_READ);
    EXPECT_EQ(Line(result.puzzle), kPhoto);
}

// velmo_scan keeps no state: threads reading at once give the answers read one at a time.
TEST(CApiScan, SameAnswersFromManyThreadsAtOnce) {
    std::vector<std::vector<unsigned char>> files;
    for (const char* name : {"screenshot.png", "dataset-image13.jpg", "dataset-image1031.jpg"}) {
        files.push_back(ReadScanFile(name));
    }
    auto answer = [&](size_t f) {
        velmo_scan_result result = Unwritten();
        const int status = velmo_scan(files[f].data(), files[f].size(), &result);
        return std::to_string(status) + Line(result.puzzle);
    };
    std::vector<std::string> alone;
    for (size_t f = 0; f < files.size(); ++f) alone.push_back(answer(f));
    constexpr size_t kThreads = 4;
    std::vector<std::string> answers(kThreads * files.size());
    std::vector<std::thread> threads;
    for (size_t t = 0; t < kThreads; ++t) {
        // Each thread in its own order, so that different pictures meet.
        threads.emplace_back([&, t] {
            for (size_t k = 0; k < files.size(); ++k) {
                const size_t f = (k + t) % files.size();
                answers[t * files.size() + f] = answer(f);
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (size_t i = 0; i < answers.size(); ++i) EXPECT_EQ(answers[i], alone[i % files.size()]) << i;
}

}  // namespace
