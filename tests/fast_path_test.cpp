// The fast path against the plain search: for every grid Solve must give the plain search's
// result and, when solved, its solution (the first in search order when there are several).
#include <gtest/gtest.h>

#include <random>

#include "grid_solver.h"
#include "ordered_search.h"
#include "solution_counter.h"
#include "test_support.h"

namespace {

struct COutcome {
    int solved;  // 1 or 0
    PuzzleGrid grid;
};

// The plain search. Its clock advances a millisecond per `levelsPerMs` levels, so a search
// that would take more than 60000 times that many levels times out: such a grid is too
// costly to compare and is reported as not compared.
bool PlainSearch(const PuzzleGrid& puzzle, COutcome& outcome, int levelsPerMs = 1) {
    CFakePlatform platform;
    platform.clock = [levelsPerMs](int reading) { return uint32_t(reading / levelsPerMs); };
    CGridSolver solver(platform);
    solver.m_grid = puzzle;
    const int result = solver.Search(0);
    if (result == SEARCH_TIMED_OUT) return false;
    outcome = {result == SEARCH_SOLVED ? 1 : 0, solver.m_grid};
    return true;
}

COutcome FastSolve(const PuzzleGrid& puzzle) {
    CFakePlatform platform;
    CGridSolver solver(platform);
    PuzzleGrid buffer = puzzle;
    const int solved = solver.Solve(buffer.data(), kCellCount);
    return {solved, buffer};
}

// Compares the two on each grid; returns how many could be compared.
size_t ExpectSameAnswers(const std::vector<PuzzleGrid>& grids, int levelsPerMs = 1) {
    size_t compared = 0;
    for (const PuzzleGrid& grid : grids) {
        COutcome plain;
        if (!PlainSearch(grid, plain, levelsPerMs)) continue;
        ++compared;
        const COutcome fast = FastSolve(grid);
        EXPECT_EQ(fast.solved, plain.solved) << "puzzle " << GridToText(grid);
        if (plain.solved && fast.solved) {
            EXPECT_EQ(GridToText(fast.grid), GridToText(plain.grid))
                << "puzzle " << GridToText(grid);
        }
        if (::testing::Test::HasFailure()) break;
    }
    return compared;
}

// Puzzles with some of their givens taken away: mostly several solutions.
std::vector<PuzzleGrid> WithCluesRemoved(const std::vector<PuzzleGrid>& puzzles,
                                         std::mt19937& random) {
    std::vector<PuzzleGrid> grids;
    for (const PuzzleGrid& puzzle : puzzles) {
        PuzzleGrid grid = puzzle;
        const int removals = 1 + int(random() % 6);
        for (int k = 0; k < removals; ++k) {
            std::vector<int> givens;
            for (int cell = 0; cell < kCellCount; ++cell) {
                if (grid[cell]) givens.push_back(cell);
            }
            grid[givens[random() % givens.size()]] = 0;
        }
        grids.push_back(grid);
    }
    return grids;
}

// Unique puzzles with a wrong digit added where no given forbids it: consistent grids
// without a solution.
std::vector<PuzzleGrid> WithWrongDigit(const std::vector<PuzzleGrid>& puzzles,
                                       std::mt19937& random) {
    CFakePlatform platform;
    CGridSolver solver(platform);
    std::vector<PuzzleGrid> grids;
    for (const PuzzleGrid& puzzle : puzzles) {
        PuzzleGrid solution = puzzle;
        if (!solver.Solve(solution.data(), kCellCount)) continue;
        for (int attempt = 0; attempt < 20; ++attempt) {
            const int cell = int(random() % kCellCount);
            if (puzzle[cell]) continue;
            CandidateSet set;
            CountCandidates(puzzle.data(), cell / 9, cell % 9, set);
            const int d = 1 + int(random() % 9);
            if (!set.flags[d] || d == solution[cell]) continue;
            PuzzleGrid grid = puzzle;
            grid[cell] = uint8_t(d);
            grids.push_back(grid);
            break;
        }
    }
    return grids;
}

// Grids with a handful of random consistent givens: many solutions, found in search order.
std::vector<PuzzleGrid> NearlyEmpty(size_t count, std::mt19937& random) {
    std::vector<PuzzleGrid> grids;
    while (grids.size() < count) {
        PuzzleGrid grid{};
        const int givens = int(random() % 12);
        for (int k = 0; k < givens; ++k) {
            const int cell = int(random() % kCellCount);
            CandidateSet set;
            CountCandidates(grid.data(), cell / 9, cell % 9, set);
            const int d = 1 + int(random() % 9);
            if (grid[cell] == 0 && set.flags[d]) grid[cell] = uint8_t(d);
        }
        grids.push_back(grid);
    }
    return grids;
}

TEST(FastPath, SameAnswersOnUniquePuzzles) {
    // These all finish: give the plain search all the levels it needs.
    EXPECT_EQ(ExpectSameAnswers(ReadPuzzleFile("top1465.txt", 300), INT32_MAX), 300u);
    EXPECT_EQ(ExpectSameAnswers(ReadPuzzleFile("17-clue.txt", 30), INT32_MAX), 30u);
}

TEST(FastPath, SameFirstSolutionOnGridsWithSeveral) {
    const std::vector<PuzzleGrid> serg = ReadPuzzleFile("serg-benchmark.txt");
    EXPECT_EQ(ExpectSameAnswers(serg), serg.size());

    std::mt19937 random(1465);
    const auto grids = WithCluesRemoved(ReadPuzzleFile("top1465.txt", 400), random);
    EXPECT_GT(ExpectSameAnswers(grids), 380u);
}

TEST(FastPath, SameAnswersOnConsistentGridsWithoutSolution) {
    std::mt19937 random(17);
    const auto grids = WithWrongDigit(ReadPuzzleFile("top1465.txt", 150), random);
    ASSERT_GT(grids.size(), 100u);
    EXPECT_GT(ExpectSameAnswers(grids), 100u);
    for (const PuzzleGrid& grid : grids) EXPECT_EQ(FastSolve(grid).solved, 0) << GridToText(grid);
}

TEST(FastPath, SameFirstSolutionOnNearlyEmptyGrids) {
    std::mt19937 random(81);
    const auto grids = NearlyEmpty(400, random);
    EXPECT_GT(ExpectSameAnswers(grids), 350u);
}

TEST(FastPath, GuidedDescentMatchesThePlainSearch) {
    // The descent is what Solve falls back to when the ordered search runs over its
    // budget; here it runs from the start, on grids with several solutions.
    std::mt19937 random(3);
    std::vector<PuzzleGrid> grids = WithCluesRemoved(ReadPuzzleFile("top1465.txt", 200), random);
    const auto empty = NearlyEmpty(100, random);
    grids.insert(grids.end(), empty.begin(), empty.end());
    CSolutionCounter counter;
    int checked = 0;
    for (const PuzzleGrid& grid : grids) {
        PuzzleGrid probe = grid;
        if (counter.Count(probe.data(), 2, nullptr) < 2) continue;
        COutcome plain;
        if (!PlainSearch(grid, plain)) continue;
        PuzzleGrid descended = grid;
        COrderedSearch ordered;
        ASSERT_EQ(ordered.Descend(descended.data(), counter), COrderedSearch::kSolved)
            << GridToText(grid);
        EXPECT_EQ(GridToText(descended), GridToText(plain.grid)) << "puzzle " << GridToText(grid);
        ++checked;
    }
    EXPECT_GT(checked, 150);
}

TEST(OrderedSearch, OverBudgetLeavesTheGridAsItWas) {
    // A hard puzzle takes far more than 10 levels.
    const PuzzleGrid puzzle = ReadPuzzleFile("top1465.txt", 1).at(0);
    PuzzleGrid grid = puzzle;
    COrderedSearch ordered;
    EXPECT_EQ(ordered.Run(grid.data(), 10), COrderedSearch::kOverBudget);
    EXPECT_EQ(grid, puzzle);
    // With room enough it gives the plain search's answer.
    COutcome plain;
    ASSERT_TRUE(PlainSearch(puzzle, plain));
    EXPECT_EQ(ordered.Run(grid.data(), INT64_MAX), COrderedSearch::kSolved);
    EXPECT_EQ(GridToText(grid), GridToText(plain.grid));
}

TEST(SolutionCounter, CountsUpToTheLimit) {
    CSolutionCounter counter;
    PuzzleGrid solution{};
    const PuzzleGrid puzzle = ReadPuzzleFile("top1465.txt", 1).at(0);
    EXPECT_EQ(counter.Count(puzzle.data(), 2, solution.data()), 1);
    EXPECT_TRUE(IsSolutionOf(solution, puzzle)) << GridToText(solution);

    const PuzzleGrid empty{};
    EXPECT_EQ(counter.Count(empty.data(), 2, nullptr), 2);
    EXPECT_EQ(counter.Count(empty.data(), 5000, solution.data()), 5000);
    EXPECT_TRUE(IsSolutionOf(solution, empty));

    const PuzzleGrid conflict = GridFromText("11" + std::string(79, '.'));
    EXPECT_EQ(counter.Count(conflict.data(), 2, nullptr), 0);
}

TEST(CountSolutions, HandsBackTwoDifferentSolutions) {
    const PuzzleGrid empty{};
    const CSolutionCount several = CountSolutions(empty.data());
    ASSERT_EQ(several.count, 2);
    EXPECT_NE(several.solutions[0], several.solutions[1]);
    for (const PuzzleGrid& solution : several.solutions) {
        EXPECT_TRUE(IsSolutionOf(solution, empty)) << GridToText(solution);
    }

    const PuzzleGrid puzzle = ReadPuzzleFile("top1465.txt", 1).at(0);
    const CSolutionCount unique = CountSolutions(puzzle.data());
    ASSERT_EQ(unique.count, 1);
    EXPECT_TRUE(IsSolutionOf(unique.solutions[0], puzzle));

    PuzzleGrid outOfRange{};
    outOfRange[40] = 10;
    EXPECT_EQ(CountSolutions(outOfRange.data()).count, 0);
    const PuzzleGrid conflict = GridFromText("1.......1" + std::string(72, '.'));
    EXPECT_EQ(CountSolutions(conflict.data()).count, 0);
}

TEST(SolutionCounter, StopsWhenTimeRunsOut) {
    CSolutionCounter counter;
    int asked = 0;
    counter.m_expired = [&asked] { return ++asked >= 3; };
    const PuzzleGrid empty{};
    EXPECT_EQ(counter.Count(empty.data(), 1000000, nullptr), -1);
    EXPECT_EQ(asked, 3);
}

}  // namespace
