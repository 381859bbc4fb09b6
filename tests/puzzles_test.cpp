// The shared puzzle collections: every answer is a complete grid that keeps the givens
// and, where there are several solutions, the first in Search's order.
#include <gtest/gtest.h>

#include "grid_solver.h"
#include "reference.h"
#include "test_support.h"

namespace {

struct CCollection {
    const char* name;  // the test's name
    const char* file;
};

void PrintTo(const CCollection& collection, std::ostream* out) {
    *out << collection.file;
}

class PuzzleFileTest : public ::testing::TestWithParam<CCollection> {};

TEST_P(PuzzleFileTest, EverySolutionIsCompleteAndKeepsTheGivens) {
    // Where a grid has several solutions, the answer must be Search's first: by Search
    // itself where it finishes within a budget, else by the independent walk. Search takes
    // a few hundred levels on most such grids, and the walk settles the rest.
    constexpr int64_t kSearchLevels = 20000;
    constexpr int64_t kWalkLevels = 300000;
    CFakePlatform platform;
    CGridSolver solver(platform);
    const std::vector<PuzzleGrid> puzzles = ReadPuzzleFile(GetParam().file);
    ASSERT_FALSE(puzzles.empty());
    size_t several = 0, compared = 0;
    for (const PuzzleGrid& puzzle : puzzles) {
        PuzzleGrid buffer = puzzle;
        ASSERT_EQ(solver.Solve(buffer.data(), kCellCount), 1) << GridToText(puzzle);
        ASSERT_TRUE(IsSolutionOf(buffer, puzzle))
            << "puzzle   " << GridToText(puzzle) << "\nanswered " << GridToText(buffer);
        if (CountSolutions(puzzle.data()).count < 2) continue;
        ++several;
        std::optional<CReferenceAnswer> first = PlainSearch(puzzle, kSearchLevels);
        if (!first) first = WalkToFirstSolution(puzzle, kWalkLevels);
        if (!first) continue;
        ++compared;
        ASSERT_TRUE(first->solved) << GridToText(puzzle);
        ASSERT_EQ(GridToText(buffer), GridToText(first->solution))
            << "puzzle   " << GridToText(puzzle) << " has several solutions";
    }
    EXPECT_EQ(compared, several) << "grids with several solutions that no reference settled";
}

INSTANTIATE_TEST_SUITE_P(Shared, PuzzleFileTest,
                         ::testing::Values(CCollection{"Top1465", "top1465.txt"},
                                           CCollection{"SeventeenClue", "17-clue.txt"},
                                           CCollection{"Serg", "serg-benchmark.txt"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
