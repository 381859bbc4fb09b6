// The picture reader's C interface (velmo_scan.h), through libvelmo-scan.so as a program
// links it: committed pictures read exactly, bad bytes refused each with its reason, only
// the `size` bytes given read, every field of the result written, and the same answers
// from many threads at once.
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

struct CReadCase {
    const char* file;
    const char* puzzle;
    int quarterTurns;
};
const CReadCase kReadCases[] = {
    {"screenshot.png",
     "4.....8.5.3..........7......2.....6.....8.4......1.......6.3.7.5..2.....1.4......", 0},
    {"dataset-image13.jpg",
     "9.3.....2.6.49.1.3...1...........9..3.1..4....8.7.243.1785.93........759...367...", 0},
    {"dataset-image1031.jpg",
     "..837....6.72....4.3.4..7262.4....1...........5....6.3891..3.7.5....19.2....578..", 1},
};

TEST(CApiScan, ReadsCommittedPicturesExactly) {
    for (const CReadCase& c : kReadCases) {
        SCOPED_TRACE(c.file);
        const std::vector<unsigned char> bytes = ReadScanFile(c.file);
        velmo_scan_result result = Unwritten();
        ASSERT_EQ(Scan(bytes, bytes.size(), &result), VELMO_SCAN_READ);
        EXPECT_EQ(Line(result.puzzle), c.puzzle);
        EXPECT_EQ(Line(result.read), c.puzzle);
        EXPECT_EQ(result.quarter_turns, c.quarterTurns);
        EXPECT_STREQ(result.message, "");
        for (int i = 0; i < VELMO_SCAN_CELLS; ++i) {
            EXPECT_GE(result.certainty[i], 0.9f) << i;
            EXPECT_LE(result.certainty[i], 1.0f) << i;
        }
    }
}

// The 4 of r1c1 half rubbed out: still read as 4, but with a certainty that asks a person
// to look, and only there.
TEST(CApiScan, SaysWhichCellsItIsUnsureOf) {
    const std::vector<unsigned char> bytes = ReadScanFile("screenshot-half-erased.png");
    velmo_scan_result result = Unwritten();
    ASSERT_EQ(Scan(bytes, bytes.size(), &result), VELMO_SCAN_READ);
    EXPECT_EQ(Line(result.puzzle), kReadCases[0].puzzle);
    EXPECT_GT(result.certainty[0], 0.2f);
    EXPECT_LT(result.certainty[0], 0.9f);
    for (int i = 1; i < VELMO_SCAN_CELLS; ++i) EXPECT_GE(result.certainty[i], 0.9f) << i;
}

// The 8 of r1c7 rubbed out below: read as empty, which leaves several solutions, and put
// back by the solver's check, which `read` still shows.
TEST(CApiScan, GivesWhatTheSolverChanged) {
    const std::vector<unsigned char> bytes = ReadScanFile("screenshot-8-rubbed-out.png");
    velmo_scan_result result = Unwritten();
    ASSERT_EQ(Scan(bytes, bytes.size(), &result), VELMO_SCAN_CORRECTED);
    EXPECT_EQ(Line(result.puzzle), kReadCases[0].puzzle);
    std::string read = kReadCases[0].puzzle;
    read[6] = '.';
    EXPECT_EQ(Line(result.read), read);
    EXPECT_GE(result.certainty[6], 0.2f);
    EXPECT_STREQ(result.message, "");
    EXPECT_STREQ(velmo_scan_status_word(VELMO_SCAN_CORRECTED), "corrected");
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
        {"truncated.jpg", VELMO_SCAN_BAD_PICTURE,
         "damaged picture: the file ends before the picture does"},
        {"picture.gif", VELMO_SCAN_BAD_PICTURE, "unsupported format: GIF"},
        {"photo.heic", VELMO_SCAN_BAD_PICTURE, "unsupported format: HEIF/HEIC/AVIF"},
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
    EXPECT_EQ(Line(result.puzzle), kReadCases[1].puzzle);
}

// velmo_scan keeps no state: the same answers from threads reading at once.
TEST(CApiScan, SameAnswersFromManyThreadsAtOnce) {
    std::vector<std::vector<unsigned char>> files;
    for (const CReadCase& c : kReadCases) files.push_back(ReadScanFile(c.file));
    constexpr int kThreads = 4;
    std::vector<std::string> answers(kThreads * files.size());
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (size_t k = 0; k < files.size(); ++k) {
                // Each thread in its own order, so that different pictures meet.
                const size_t f = (k + size_t(t)) % files.size();
                velmo_scan_result result = Unwritten();
                const int status = velmo_scan(files[f].data(), files[f].size(), &result);
                answers[t * files.size() + f] = std::to_string(status) + Line(result.puzzle);
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (int t = 0; t < kThreads; ++t) {
        for (size_t f = 0; f < files.size(); ++f) {
            EXPECT_EQ(answers[t * files.size() + f], "0" + std::string(kReadCases[f].puzzle))
                << kReadCases[f].file << " on thread " << t;
        }
    }
}

}  // namespace
