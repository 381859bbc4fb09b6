// The picture reader's guards: the solver's check of a reading (one misread digit mended when
// the classifier gave the right one a fair chance, nothing passed off as a reading past the
// limits of three changes and probability 0.2), photos it must read, and files that are not
// pictures it can read.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "reading_check.h"
#include "scan.h"
#include "test_support.h"

namespace {

// A puzzle with exactly one solution. Its givens: r1c1 4, r1c7 8, r1c9 5, r2c2 3, r3c4 7,
// r4c2 2, r4c8 6, r5c5 8, r5c7 4, r6c5 1, r7c4 6, r7c6 3, r7c8 7, r8c1 5, r8c4 2, r9c1 1,
// r9c3 4.
const PuzzleGrid kPuzzle = GridFromText(
    "4.....8.5.3..........7......2.....6.....8.4......1.......6.3.7.5..2.....1.4......");

int Cell(int row, int column) {
    return 9 * (row - 1) + column - 1;
}

using Readings = std::array<CellProbabilities, kCellCount>;

// Every cell read as `grid` holds it, sure.
Readings SureReadings(const PuzzleGrid& grid) {
    Readings readings{};
    for (int cell = 0; cell < kCellCount; ++cell) {
        readings[cell].fill(0.001f);
        readings[cell][grid[cell]] = 1 - 0.009f;
    }
    return readings;
}

// `cell` read as `read` with probability `p`, the value kPuzzle holds there keeping `truth`,
// the other eight values sharing what is left.
void Misread(Readings& readings, int cell, int read, float p, float truth) {
    ASSERT_NE(read, kPuzzle[cell]);
    readings[cell].fill((1 - p - truth) / 8);
    readings[cell][read] = p;
    readings[cell][kPuzzle[cell]] = truth;
}

PuzzleGrid MostProbable(const Readings& readings) {
    PuzzleGrid grid{};
    for (int cell = 0; cell < kCellCount; ++cell) {
        const CellProbabilities& p = readings[cell];
        grid[cell] = uint8_t(std::max_element(p.begin(), p.end()) - p.begin());
    }
    return grid;
}

TEST(ReadingCheck, AReadingWithOneSolutionStandsUnchanged) {
    const CReadingCheck check = CheckReading(SureReadings(kPuzzle));
    EXPECT_EQ(check.status, CScanStatus::kRead);
    EXPECT_EQ(GridToText(check.puzzle), GridToText(kPuzzle));
    EXPECT_TRUE(check.changes.empty());
    EXPECT_TRUE(check.message.empty());
}

// A digit read as another that repeats a given (r1c1's 4 read as 8, beside r1c7's 8), a speck
// read as a digit in an empty cell (which leaves no solution), and a faint digit read as empty
// (which leaves several): each mended to the value the classifier gave the next best chance,
// 0.2 included.
TEST(ReadingCheck, OneMisreadCellIsMended) {
    struct CCase {
        int cell, read;
        float truth;
    };
    for (const CCase c : {CCase{Cell(1, 1), 8, 0.3f}, CCase{Cell(1, 2), 9, 0.3f},
                          CCase{Cell(1, 7), 0, 0.3f}, CCase{Cell(7, 6), 0, 0.2f}}) {
        SCOPED_TRACE("cell " + std::to_string(c.cell) + " read as " + std::to_string(c.read));
        Readings readings = SureReadings(kPuzzle);
        Misread(readings, c.cell, c.read, 0.6f, c.truth);
        const CReadingCheck check = CheckReading(readings);
        EXPECT_EQ(check.status, CScanStatus::kCorrected);
        EXPECT_EQ(GridToText(check.puzzle), GridToText(kPuzzle));
        ASSERT_EQ(check.changes.size(), 1u);
        EXPECT_EQ(check.changes[0].cell, c.cell);
        EXPECT_EQ(check.changes[0].read, c.read);
        EXPECT_EQ(check.changes[0].written, kPuzzle[c.cell]);
        EXPECT_TRUE(check.message.empty());
    }
}

TEST(ReadingCheck, ThreeMisreadCellsAreMendedAndReportedInCellOrder) {
    Readings readings = SureReadings(kPuzzle);
    Misread(readings, Cell(3, 2), 3, 0.7f, 0.25f);  // repeats r2c2's 3
    Misread(readings, Cell(1, 1), 8, 0.55f, 0.4f);  // repeats r1c7's 8
    Misread(readings, Cell(5, 5), 1, 0.5f, 0.45f);  // repeats r6c5's 1
    const CReadingCheck check = CheckReading(readings);
    EXPECT_EQ(check.status, CScanStatus::kCorrected);
    EXPECT_EQ(GridToText(check.puzzle), GridToText(kPuzzle));
    ASSERT_EQ(check.changes.size(), 3u);
    EXPECT_EQ(check.changes[0].cell, Cell(1, 1));
    EXPECT_EQ(check.changes[1].cell, Cell(3, 2));
    EXPECT_EQ(check.changes[2].cell, Cell(5, 5));
}

// Past the limits the puzzle is written as read, its status and the conflict named.
TEST(ReadingCheck, ARightValueBelowProbabilityPointTwoIsNotTried) {
    Readings readings = SureReadings(kPuzzle);
    Misread(readings, Cell(1, 1), 8, 0.8f, 0.19f);
    const CReadingCheck check = CheckReading(readings);
    EXPECT_EQ(check.status, CScanStatus::kConflict);
    EXPECT_EQ(GridToText(check.puzzle), GridToText(MostProbable(readings)));
    EXPECT_TRUE(check.changes.empty());
    EXPECT_EQ(check.message, "two 8s in row 1 (r1c1 and r1c7)");
}

TEST(ReadingCheck, FourMisreadCellsAreTooMany) {
    Readings readings = SureReadings(kPuzzle);
    Misread(readings, Cell(1, 1), 8, 0.6f, 0.3f);  // repeats r1c7's 8
    Misread(readings, Cell(3, 2), 3, 0.6f, 0.3f);  // repeats r2c2's 3
    Misread(readings, Cell(5, 5), 1, 0.6f, 0.3f);  // repeats r6c5's 1
    Misread(readings, Cell(8, 4), 6, 0.6f, 0.3f);  // repeats r7c4's 6
    const CReadingCheck check = CheckReading(readings);
    EXPECT_EQ(check.status, CScanStatus::kConflict);
    EXPECT_EQ(GridToText(check.puzzle), GridToText(MostProbable(readings)));
    EXPECT_TRUE(check.changes.empty());
    EXPECT_EQ(check.message, "two 8s in row 1 (r1c1 and r1c7)");
}

TEST(ReadingCheck, ReadingsNotMendedKeepTheirOwnStatus) {
    // Consistent, but r1c2 read as 6 leaves no solution, and nothing else is likely there.
    Readings none = SureReadings(kPuzzle);
    Misread(none, Cell(1, 2), 6, 0.85f, 0.1f);
    const CReadingCheck noSolution = CheckReading(none);
    EXPECT_EQ(noSolution.status, CScanStatus::kNoSolution);
    EXPECT_EQ(GridToText(noSolution.puzzle), GridToText(MostProbable(none)));
    EXPECT_TRUE(noSolution.changes.empty());
    EXPECT_EQ(noSolution.message, "the givens as read have no solution");

    // Two givens missing, each read as empty for sure.
    PuzzleGrid sparse = kPuzzle;
    sparse[Cell(1, 1)] = 0;
    sparse[Cell(1, 7)] = 0;
    const CReadingCheck several = CheckReading(SureReadings(sparse));
    EXPECT_EQ(several.status, CScanStatus::kSeveralSolutions);
    EXPECT_EQ(GridToText(several.puzzle), GridToText(sparse));
    EXPECT_TRUE(several.changes.empty());
    EXPECT_EQ(several.message, "the givens as read have more than one solution");
}

std::vector<uint8_t> ReadTestFile(const std::string& name) {
    std::ifstream file(std::string(VELMO_TEST_DATA_DIR) + "/scan/" + name, std::ios::binary);
    EXPECT_TRUE(file) << name;
    return {std::istreambuf_iterator<char>(file), {}};
}

// Reads the test picture `file` and checks that it reads as `puzzle`, untouched by the solver.
CScanResult ExpectReadAs(const char* file, const char* puzzle) {
    SCOPED_TRACE(file);
    CScanResult result = ScanPicture(ReadTestFile(file));
    EXPECT_EQ(ScanStatusWord(result.status), std::string("read"));
    EXPECT_EQ(GridToText(result.puzzle), puzzle);
    EXPECT_TRUE(result.changes.empty());
    return result;
}

// Phone photos of the dataset's training pictures: one upright, one on its side (its 1s,
// short as the straightened grid holds them, are digits all the same), and one whose corner
// touches a title's frame: the first pieces of its top and left lines catch the frame, and
// lines bent towards them would cut r1c1's 3 off.
TEST(ScanPicture, PhotosReadExactly) {
    struct CCase {
        const char* file;
        const char* puzzle;
        int quarterTurns;  // clockwise from upright
    };
    const CCase cases[] = {
        {"dataset-image13.jpg",
         "9.3.....2.6.49.1.3...1...........9..3.1..4....8.7.243.1785.93........759...367...", 0},
        {"dataset-image1031.jpg",
         "..837....6.72....4.3.4..7262.4....1...........5....6.3891..3.7.5....19.2....578..", 1},
        {"dataset-image1075.jpg",
         "3...9...2.1...749..4.81.....3....7..7.2...5.1..5....4.....28.6..297...3.6...3...4", 0},
    };
    for (const CCase& c : cases) {
        EXPECT_EQ(ExpectReadAs(c.file, c.puzzle).quarterTurns, c.quarterTurns) << c.file;
    }
}

// A flat drawing whose 1s are nearly as tall as a cell (Liberation Sans, cells of 56
// pixels): their stems are as long and straight as the grid's lines, but in the cell's
// middle, not where a line lies.
TEST(ScanPicture, TallOnesAreDigitsNotLines) {
    ExpectReadAs(
        "flat-tall-ones.png",
        "...6..9.23.87.....4............59..17......8...........2..6.5.....4...3..1.......");
}

// The print of the page's back showing through, mirrored and faint (25 grey levels), in the
// empty cells of a drawing in black: the marks outnumber the givens, but are no digits.
TEST(ScanPicture, PrintShowingThroughIsNoDigit) {
    ExpectReadAs(
        "show-through.png",
        "6.9.....8...3.1...4............6...4.2.....3..7....5...1.5...7.8...9..........2..");
}

// A flat drawing in hairlines that are seen in few places (Liberation Mono Italic, cells of
// 48 pixels): where a line is seen in one piece only, that piece is r1c5's 6, a third of a
// cell from the line, and the line is not moved to it.
TEST(ScanPicture, ALineSeenInOnePieceIsNotMovedOntoADigit) {
    ExpectReadAs(
        "flat-faint-lines.png",
        "5...6..........583..3.9.4..6...4.1.....71.....7...2....5...1.2.4..5..6...89......");
}

// Light grey digits in a grid of black lines (C059, cells of 39 pixels): darker than the
// paper by a quarter of what the lines are, and their thin strokes beside the lines.
TEST(ScanPicture, LightDigitsBesideBlackLinesAreRead) {
    ExpectReadAs(
        "grey-digits.png",
        ".7.3...6.....8.5...1.......8.96..4.....1.2...5...........7...324...9.............");
}

// velmo's own window (scripts/screenshot): its digits are a fifth of a cell high at the left
// of each field, and the candidates, shown in two pictures, are smaller grey digits several to
// a field, which are no givens; at scale 2 they outnumber the fields. In the last picture the
// text cursor stands beside r9c9's 5.
TEST(ScanPicture, VelmosWindowReadsItsFieldsNotItsCandidates) {
    struct CCase {
        const char* file;
        const char* puzzle;
    };
    const CCase cases[] = {
        {"window-candidates.png",
         ".4..1.2.......9.7..1..........43.6..8......5....2.....7.5..8......6..3..9........"},
        {"window-2x-candidates.png",
         ".4..1.2.......9.7..1..........43.6..8......5....2.....7.5..8......6..3..9........"},
        {"window-solved.png",
         "347516289258349176619872543591437628823961754476285931735198462182654397964723815"},
    };
    for (const CCase& c : cases) ExpectReadAs(c.file, c.puzzle);
}

// A window of fields with a panel of 64 larger buttons beside it: the buttons' size, shared
// by enough boxes, makes no 9 x 9 lattice, and the fields' size is tried next.
TEST(ScanPicture, FieldsAreFoundBesideAPanelOfLargerButtons) {
    ExpectReadAs(
        "fields-beside-buttons.png",
        "..8....54...25.8.64..8....3.......2...9...7..71..4.5....798.........5...16...7...");
}

// Files that are not pictures this reader takes, or hold no puzzle: each answered with its
// reason, none decoded past what the header declares.
TEST(ScanPicture, FilesThatHoldNoReadablePuzzleSayWhy) {
    struct CCase {
        const char* file;
        CScanStatus status;
        const char* message;
    };
    const CCase cases[] = {
        {"empty.png", CScanStatus::kBadPicture, "empty file"},
        {"text.png", CScanStatus::kBadPicture,
         "unsupported format: not a PNG, JPEG, BMP, WebP, TIFF or PNM picture"},
        {"truncated.jpg", CScanStatus::kBadPicture,
         "damaged picture: the file ends before the picture does"},
        {"picture.gif", CScanStatus::kBadPicture, "unsupported format: GIF"},
        {"photo.heic", CScanStatus::kBadPicture, "unsupported format: HEIF/HEIC/AVIF"},
        {"huge-30000.png", CScanStatus::kBadPicture, "picture too large: 30000 x 30000 pixels"},
        // Decoded (OpenCV takes 16 bits and CMYK), and found to hold no grid.
        {"sixteen-bit.png", CScanStatus::kNoPuzzle, "no puzzle found"},
        {"cmyk.jpg", CScanStatus::kNoPuzzle, "no puzzle found"},
        {"no-grid.png", CScanStatus::kNoPuzzle, "no puzzle found"},
        // 30,000 x 2 pixels: too narrow for a grid, whatever OpenCV would make of it shrunk.
        {"strip.png", CScanStatus::kNoPuzzle, "no puzzle found"},
    };
    for (const CCase& c : cases) {
        SCOPED_TRACE(c.file);
        const CScanResult result = ScanPicture(ReadTestFile(c.file));
        EXPECT_EQ(ScanStatusWord(result.status), std::string(ScanStatusWord(c.status)));
        EXPECT_EQ(result.message, c.message);
        EXPECT_EQ(GridToText(result.puzzle), GridToText(PuzzleGrid{}));
    }
}

}  // namespace
