// The logic solver's grid of candidates and its steps as callers see them: pencil marks read
// into a grid, a step applied and written down, and what a rating says of a grid without
// exactly one solution.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <optional>
#include <string>

#include "logic.h"
#include "test_support.h"

namespace {

using CMasks = std::array<uint16_t, kCellCount>;

constexpr uint16_t Bit(int digit) {
    return uint16_t(1u << digit);
}

// A grid's candidates as pencil marks: a placed digit is its cell's only mark.
CMasks MarksOf(const CCandidateGrid& grid) {
    CMasks masks{};
    for (int cell = 0; cell < kCellCount; ++cell) {
        masks[cell] = grid.values[cell] != 0 ? Bit(grid.values[cell]) : grid.masks[cell];
    }
    return masks;
}

bool SeeEachOther(int a, int b) {
    const int ra = a / 9, ca = a % 9, rb = b / 9, cb = b % 9;
    return a != b && (ra == rb || ca == cb || (ra / 3 == rb / 3 && ca / 3 == cb / 3));
}

// The marks of a puzzle's givens, read back, are the grid its givens give: each given's
// digit is no candidate of a cell it sees, so it counts as placed, and an empty cell left
// with one candidate that a cell it sees shares stays empty.
TEST(LogicGrid, PencilMarksOfTheGivensAreTheGivens) {
    int singlesLeftEmpty = 0;
    for (const CCorpusEntry& entry : ReadCorpus("unique.txt")) {
        SCOPED_TRACE(entry.file + ":" + std::to_string(entry.line));
        const CCandidateGrid givens = *CCandidateGrid::FromGivens(entry.puzzle);
        const std::optional<CCandidateGrid> read = CCandidateGrid::FromPencilMarks(MarksOf(givens));
        ASSERT_TRUE(read.has_value());
        EXPECT_EQ(read->values, givens.values);
        EXPECT_EQ(read->masks, givens.masks);
        for (int cell = 0; cell < kCellCount; ++cell) {
            singlesLeftEmpty += givens.values[cell] == 0 && std::popcount(givens.masks[cell]) == 1;
        }
    }
    EXPECT_GT(singlesLeftEmpty, 10);
}

TEST(LogicGrid, PencilMarksOutsideTheDigitsAreNoPuzzle) {
    const CMasks marks = MarksOf(*CCandidateGrid::FromGivens(GridFromText(kEmptyGridSolution)));
    ASSERT_TRUE(CCandidateGrid::FromPencilMarks(marks).has_value());
    for (uint16_t wrong : {uint16_t(0), uint16_t(1), uint16_t(Bit(5) | 1), Bit(10), Bit(15)}) {
        for (int cell : {0, 40, 80}) {
            CMasks bad = marks;
            bad[cell] = wrong;
            EXPECT_FALSE(CCandidateGrid::FromPencilMarks(bad).has_value())
                << "cell " << cell << " marks " << wrong;
        }
    }
}

// A cell with one mark is a placed digit only when no cell it sees has that mark: two cells
// of a row with the same single mark are two empty cells, and the grid has no solution.
TEST(LogicGrid, ASingleMarkASeenCellSharesIsNoPlacedDigit) {
    const PuzzleGrid solution = GridFromText(kEmptyGridSolution);
    CMasks marks = MarksOf(*CCandidateGrid::FromGivens(solution));
    const std::optional<CCandidateGrid> solved = CCandidateGrid::FromPencilMarks(marks);
    ASSERT_TRUE(solved.has_value());
    EXPECT_EQ(solved->values, solution);
    EXPECT_EQ(solved->masks, CMasks{});

    marks[1] = marks[0];  // r1c2 marked 1, as r1c1 is
    const std::optional<CCandidateGrid> clash = CCandidateGrid::FromPencilMarks(marks);
    ASSERT_TRUE(clash.has_value());
    for (int cell : {0, 1}) {
        EXPECT_EQ(clash->values[cell], 0) << cell;
        EXPECT_EQ(clash->masks[cell], Bit(1)) << cell;
    }
    EXPECT_EQ(clash->values[2], solution[2]);
    EXPECT_EQ(RatePuzzle(*clash).outcome, CRating::kNoSolution);
    EXPECT_FALSE(FindEasiestStep(*clash).has_value());
}

// Pencil marks are rated on their own candidates, not on the digits they place: a struck
// candidate the solution needs leaves none, one it does not need leaves the same solution,
// and a rectangle left open leaves two.
TEST(LogicGrid, PencilMarksAreRatedOnTheirCandidates) {
    const CCandidateGrid givens = *CCandidateGrid::FromGivens(GridFromText(
        "800010007020000040000503000030107080009602300600050001005030800001405900000000000"));
    const PuzzleGrid solution = RatePuzzle(givens).solution;
    int tried = 0;
    for (int cell = 0; cell < kCellCount; cell += 7) {
        if (givens.values[cell] != 0 || std::popcount(givens.masks[cell]) < 2) continue;
        SCOPED_TRACE("cell " + std::to_string(cell));
        ++tried;
        CMasks marks = MarksOf(givens);
        marks[cell] &= uint16_t(~Bit(solution[cell]));
        EXPECT_EQ(RatePuzzle(*CCandidateGrid::FromPencilMarks(marks)).outcome,
                  CRating::kNoSolution);
        marks = MarksOf(givens);
        const int other = std::countr_zero(unsigned(marks[cell] & ~Bit(solution[cell])));
        marks[cell] &= uint16_t(~Bit(other));
        const CRating rating = RatePuzzle(*CCandidateGrid::FromPencilMarks(marks));
        EXPECT_EQ(rating.outcome, CRating::kRated);
        EXPECT_EQ(rating.solution, solution);
    }
    EXPECT_GT(tried, 5);

    // In the solution of the empty grid, r1c4 r1c6 r4c4 r4c6 hold 4 6 / 6 4; with both
    // marks there, the 4s and 6s may swap. Box 9 open to every digit leaves empty the 36
    // cells that see it, each with its single mark.
    const PuzzleGrid full = GridFromText(kEmptyGridSolution);
    CMasks marks = MarksOf(*CCandidateGrid::FromGivens(full));
    for (int cell : {3, 5, 30, 32}) marks[cell] = Bit(4) | Bit(6);
    for (int cell : {60, 61, 62, 69, 70, 71, 78, 79, 80}) marks[cell] = 0x3FE;
    const std::optional<CCandidateGrid> open = CCandidateGrid::FromPencilMarks(marks);
    ASSERT_TRUE(open.has_value());
    EXPECT_EQ(std::count(open->values.begin(), open->values.end(), 0), 4 + 9 + 36);
    EXPECT_EQ(RatePuzzle(*open).outcome, CRating::kSeveralSolutions);
    for (int cell : {3, 5, 30, 32}) marks[cell] = Bit(full[cell]);
    const CRating one = RatePuzzle(*CCandidateGrid::FromPencilMarks(marks), true);
    EXPECT_EQ(one.outcome, CRating::kRated);
    EXPECT_EQ(one.solution, full);
}

// A step that places two digits and removes a third: each placed digit leaves the cells
// that see it, the removed candidate only its cell, and the notation lists the placements,
// then the removals, then the pattern.
TEST(LogicGrid, StepsPlaceAndRemoveAsTheySay) {
    CCandidateGrid grid = *CCandidateGrid::FromGivens(PuzzleGrid{});
    CStep step;
    step.technique = CTechnique::kForcingChain;
    step.placements = {{0, 1}, {80, 2}};
    step.eliminations = {{40, 3}};
    step.pattern = {{0, 1}, {10, 4}};
    EXPECT_EQ(FormatStep(step), "Forcing Chain: r1c1=1, r9c9=2, r5c5<>3 (r1c1#1 r2c2#4)");
    ApplyStep(grid, step);
    for (int cell = 0; cell < kCellCount; ++cell) {
        SCOPED_TRACE("cell " + std::to_string(cell));
        const int placed = cell == 0 ? 1 : cell == 80 ? 2 : 0;
        EXPECT_EQ(grid.values[cell], placed);
        uint16_t expected = placed != 0 ? 0 : 0x3FE;
        if (placed == 0 && SeeEachOther(cell, 0)) expected &= uint16_t(~Bit(1));
        if (placed == 0 && SeeEachOther(cell, 80)) expected &= uint16_t(~Bit(2));
        if (cell == 40) expected &= uint16_t(~Bit(3));
        EXPECT_EQ(grid.masks[cell], expected);
    }

    step.pattern.clear();
    step.placements.clear();
    EXPECT_EQ(FormatStep(step), "Forcing Chain: r5c5<>3");
}

// A grid that breaks a rule has no step to take, and a solved grid none left.
TEST(LogicGrid, NoStepOnABrokenOrSolvedGrid) {
    int broken = 0;
    for (const CCorpusEntry& entry : ReadCorpus("conflicting.txt")) {
        const std::optional<CCandidateGrid> grid = CCandidateGrid::FromGivens(entry.puzzle);
        if (!grid) continue;  // a cell above 9
        ++broken;
        EXPECT_FALSE(FindEasiestStep(*grid).has_value()) << entry.file << ":" << entry.line;
    }
    EXPECT_GT(broken, 10);
    EXPECT_FALSE(
        FindEasiestStep(*CCandidateGrid::FromGivens(GridFromText(kEmptyGridSolution))).has_value());
}

}  // namespace
