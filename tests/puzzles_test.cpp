// The shared puzzle collections: every answer is a complete grid that keeps the givens.
#include <gtest/gtest.h>

#include "grid_solver.h"
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
    CFakePlatform platform;
    CGridSolver solver(platform);
    const std::vector<PuzzleGrid> puzzles = ReadPuzzleFile(GetParam().file);
    ASSERT_FALSE(puzzles.empty());
    for (const PuzzleGrid& puzzle : puzzles) {
        PuzzleGrid buffer = puzzle;
        ASSERT_EQ(solver.Solve(buffer.data(), kCellCount), 1) << GridToText(puzzle);
        ASSERT_TRUE(IsSolutionOf(buffer, puzzle))
            << "puzzle   " << GridToText(puzzle) << "\nanswered " << GridToText(buffer);
    }
}

INSTANTIATE_TEST_SUITE_P(Shared, PuzzleFileTest,
                         ::testing::Values(CCollection{"Top1465", "top1465.txt"},
                                           CCollection{"SeventeenClue", "17-clue.txt"},
                                           CCollection{"Serg", "serg-benchmark.txt"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
