// The engine against the plain search: for every grid, every version of the engine
// (one per instruction set this processor runs) must give the plain search's result and,
// when solved, its solution (the first in search order when there are several).
#include <gtest/gtest.h>

#include <algorithm>

#include "engine.h"
#include "grid_solver.h"
#include "hostile_grids.h"
#include "reference.h"
#include "test_support.h"

namespace {

struct COutcome {
    int solved;  // 1 or 0
    PuzzleGrid grid;
};

// The references stop at this many levels; a grid that needs more is not compared.
constexpr int64_t kReferenceLevels = 300000;

bool FromReference(const std::optional<CReferenceAnswer>& answer, COutcome& outcome) {
    if (!answer) return false;
    outcome = {answer->solved ? 1 : 0, answer->solution};
    return true;
}

COutcome EngineSolve(const CEngine& path, const PuzzleGrid& puzzle) {
    PuzzleGrid grid = puzzle;
    const CEngineOutcome outcome = path.solve(grid.data(), {}, nullptr);
    EXPECT_NE(outcome, CEngineOutcome::kExpired) << "no clock was given";
    if (outcome != CEngineOutcome::kSolved) {
        EXPECT_EQ(GridToText(grid), GridToText(puzzle)) << path.name << ": not put back";
    }
    return {outcome == CEngineOutcome::kSolved ? 1 : 0, grid};
}

// The versions of the engine that this processor runs: every test checks each of them,
// so that the portable one is tested wherever the tests run.
std::vector<const CEngine*> RunnableVersions() {
    std::vector<const CEngine*> versions;
    for (const CEngineVersion& version : AllEngineVersions()) {
        if (version.supported()) versions.push_back(version.engine);
    }
    return versions;
}

// Compares every version with `reference` on each grid; returns how many grids could be
// compared.
template <typename Reference>
size_t ExpectSameAnswers(const std::vector<PuzzleGrid>& grids, Reference reference) {
    size_t compared = 0;
    for (const PuzzleGrid& grid : grids) {
        COutcome expected;
        if (!reference(grid, expected)) continue;
        ++compared;
        for (const CEngine* path : RunnableVersions()) {
            const COutcome fast = EngineSolve(*path, grid);
            EXPECT_EQ(fast.solved, expected.solved) << path->name << " on " << GridToText(grid);
            if (expected.solved && fast.solved) {
                EXPECT_EQ(GridToText(fast.grid), GridToText(expected.grid))
                    << path->name << " on " << GridToText(grid);
            }
        }
        if (::testing::Test::HasFailure()) break;
    }
    return compared;
}

// The plain search, within 60000 levels or, for grids that must all be compared, more.
size_t ExpectSameAsPlainSearch(const std::vector<PuzzleGrid>& grids,
                               int64_t maxLevels = kSearchTimeLimitMs) {
    return ExpectSameAnswers(grids, [maxLevels](const PuzzleGrid& grid, COutcome& out) {
        return FromReference(PlainSearch(grid, maxLevels), out);
    });
}

size_t ExpectSameAsReferenceWalk(const std::vector<PuzzleGrid>& grids) {
    return ExpectSameAnswers(grids, [](const PuzzleGrid& grid, COutcome& out) {
        return FromReference(WalkToFirstSolution(grid, kReferenceLevels), out);
    });
}

std::vector<PuzzleGrid> Generate(size_t count, const std::function<PuzzleGrid()>& make) {
    std::vector<PuzzleGrid> grids;
    while (grids.size() < count) grids.push_back(make());
    return grids;
}

// A hard puzzle of the in-repository corpus: it takes the engine guesses.
PuzzleGrid HardPuzzle() {
    return GridFromText(
        "4...3.......6..8..........1....5..9..8....6...7.2........1.27..5.3....4.9........");
}

TEST(Engine, AnswersTheCorpus) {
    // Every grid of the corpus, each kind: its count and Solve's answer are on file. Givens
    // that repeat a digit have none, whatever the engine's propagation would make of them.
    size_t checked = 0;
    for (const std::string& file : CorpusFiles()) {
        for (const CCorpusEntry& entry : ReadCorpus(file)) {
            for (const CEngine* path : RunnableVersions()) {
                const COutcome fast = EngineSolve(*path, entry.puzzle);
                EXPECT_EQ(fast.solved, entry.count > 0)
                    << path->name << " on " << file << ":" << entry.line;
                if (fast.solved) {
                    EXPECT_EQ(GridToText(fast.grid), entry.solution)
                        << path->name << " on " << file << ":" << entry.line;
                }
                EXPECT_EQ(path->count(entry.puzzle.data(), INT64_MAX, nullptr)->count, entry.count)
                    << path->name << " on " << file << ":" << entry.line;
            }
            ++checked;
        }
    }
    EXPECT_GT(checked, 400u);
}

TEST(Engine, SameAnswersOnUniquePuzzles) {
    // These all finish: give the plain search all the levels it needs.
    EXPECT_EQ(ExpectSameAsPlainSearch(ReadPuzzleFile("top1465.txt", 300), INT64_MAX), 300u);
    EXPECT_EQ(ExpectSameAsPlainSearch(ReadPuzzleFile("17-clue.txt", 30), INT64_MAX), 30u);
}

TEST(Engine, SameFirstSolutionOnGridsWithSeveral) {
    const std::vector<PuzzleGrid> serg = ReadPuzzleFile("serg-benchmark.txt");
    EXPECT_EQ(ExpectSameAsPlainSearch(serg), serg.size());

    CHostileGrids hostile(1465);
    std::vector<PuzzleGrid> grids;
    for (const PuzzleGrid& puzzle : ReadPuzzleFile("top1465.txt", 400)) {
        grids.push_back(hostile.CluesRemoved(puzzle, 1 + int(grids.size() % 6)));
    }
    EXPECT_GT(ExpectSameAsPlainSearch(grids), 380u);
}

TEST(Engine, SameAnswersOnConsistentGridsWithoutSolution) {
    CHostileGrids hostile(17);
    std::vector<PuzzleGrid> grids;
    for (const PuzzleGrid& puzzle : ReadPuzzleFile("top1465.txt", 150)) {
        grids.push_back(hostile.WrongDigit(puzzle));
    }
    EXPECT_GT(ExpectSameAsPlainSearch(grids), 100u);
    const auto unsolvable = Generate(300, [&hostile] { return hostile.Unsolvable(); });
    EXPECT_GT(ExpectSameAsPlainSearch(unsolvable), 150u);
    for (const CEngine* path : RunnableVersions()) {
        for (const PuzzleGrid& grid : unsolvable) {
            EXPECT_EQ(EngineSolve(*path, grid).solved, 0)
                << path->name << " on " << GridToText(grid);
        }
    }
}

TEST(Engine, SameFirstSolutionOnNearlyEmptyGrids) {
    CHostileGrids hostile(81);
    int givens = 0;
    const auto grids = Generate(400, [&] { return hostile.Sparse(givens++ % 12); });
    EXPECT_GT(ExpectSameAsPlainSearch(grids), 350u);
}

TEST(Engine, SameFirstSolutionAsAReferenceWalkOnSparseGrids) {
    // Beyond the reach of the plain search: 12 to 24 givens, with many solutions, with
    // none, and the grids that made earlier engines slow.
    CHostileGrids hostile(2024);
    int givens = 12;
    auto grids = Generate(300, [&] {
        givens = givens == 24 ? 12 : givens + 1;
        return hostile.Sparse(givens);
    });
    for (const char* text :
         {"........2...................1......3...46.......7...6.........5....3............1",
          "....8.....12..3...................1....627...627.................1....8....2.....",
          "...7......................3.......5....627...627.................1....8....2.....",
          "......2.66......8........................5......136....6................31......."}) {
        grids.push_back(GridFromText(text));
    }
    EXPECT_GT(ExpectSameAsReferenceWalk(grids), 250u);
}

TEST(Engine, CountsUpToTwoWithDifferentSolutions) {
    for (const CEngine* path : RunnableVersions()) {
        SCOPED_TRACE(path->name);
        const PuzzleGrid puzzle = HardPuzzle();
        const CSolutionCount unique = *path->count(puzzle.data(), INT64_MAX, nullptr);
        ASSERT_EQ(unique.count, 1);
        EXPECT_TRUE(IsSolutionOf(unique.solutions[0], puzzle)) << GridToText(unique.solutions[0]);

        // Fewer than 17 givens never fix a single solution: two, or none at all.
        CHostileGrids hostile(9);
        int several = 0;
        for (int k = 0; k < 200; ++k) {
            const PuzzleGrid grid = hostile.Sparse(k % 17);
            const CSolutionCount counted = *path->count(grid.data(), INT64_MAX, nullptr);
            if (counted.count == 0) {
                const std::optional<CReferenceAnswer> reference =
                    WalkToFirstSolution(grid, kReferenceLevels);
                ASSERT_TRUE(reference.has_value()) << GridToText(grid);
                EXPECT_FALSE(reference->solved) << GridToText(grid);
                continue;
            }
            ++several;
            ASSERT_EQ(counted.count, 2) << GridToText(grid);
            EXPECT_NE(counted.solutions[0], counted.solutions[1]) << GridToText(grid);
            for (const PuzzleGrid& solution : counted.solutions) {
                EXPECT_TRUE(IsSolutionOf(solution, grid)) << GridToText(solution);
            }
        }
        EXPECT_GT(several, 150);
        const PuzzleGrid conflict = GridFromText("11" + std::string(79, '.'));
        EXPECT_EQ(path->count(conflict.data(), INT64_MAX, nullptr)->count, 0);
    }
}

TEST(Engine, StopsWhenTimeRunsOut) {
    // A puzzle that needs guesses, and a sparse grid whose search in its own order asks
    // the engine to cut dead branches: both ask the clock, and stop when it says so.
    const CExpiry always{[](const void*) { return true; }};
    for (const CEngine* path : RunnableVersions()) {
        SCOPED_TRACE(path->name);
        PuzzleGrid hard = HardPuzzle();
        EXPECT_EQ(path->solve(hard.data(), always, nullptr), CEngineOutcome::kExpired);
        EXPECT_EQ(hard, HardPuzzle());
        const PuzzleGrid sparse = GridFromText(
            "........2...................1......3...46.......7...6.........5....3............1");
        PuzzleGrid grid = sparse;
        EXPECT_EQ(path->solve(grid.data(), always, nullptr), CEngineOutcome::kExpired);
        EXPECT_EQ(GridToText(grid), GridToText(sparse));
    }
}

// Solves `text`, a grid without solution, on every version this processor runs: each must
// say so and leave the grid as it was; `expect` checks what each spent.
template <typename Expect>
void ExpectRefutedByEach(const char* text, Expect expect) {
    const PuzzleGrid dead = GridFromText(text);
    for (const CEngine* path : RunnableVersions()) {
        SCOPED_TRACE(path->name);
        PuzzleGrid grid = dead;
        CEngineWork work;
        EXPECT_EQ(path->solve(grid.data(), {}, &work), CEngineOutcome::kNoSolution);
        EXPECT_EQ(grid, dead);
        expect(work);
    }
}

TEST(Engine, WideSplitsWaitForAShortNarrowAttempt) {
    // Refuted by the narrow count in 3 guesses, with a root open enough for wide splits,
    // which took 508.
    ExpectRefutedByEach(
        ".........6..1..8..1.862..4524....1.93...........9.2................61.23.5.......",
        [](const CEngineWork& work) { EXPECT_LE(work.guesses, 4); });
}

TEST(Engine, ADenseWalkAsksPropagationBeforeItsWholeBudget) {
    // 31 givens: propagation refutes the givens at once, while the search in its own order
    // walked 262 levels of dead branches.
    ExpectRefutedByEach(
        "....1.....28.9......74.3.9.79..2.1....2............8.9.35.62.7127614.5....175..2.",
        [](const CEngineWork& work) { EXPECT_LT(work.levels, 128); });
}

TEST(Engine, AnOpenGridOfSeventeenGivensIsCountedWide) {
    // Climbed on the count's guesses: 2,935 narrow, 712 wide.
    ExpectRefutedByEach(
        "....61..4.......9.8....9.....1........6...5.....23..4...4....8..........1.5..6...",
        [](const CEngineWork& work) { EXPECT_LT(work.guesses, 1000); });
}

TEST(Engine, TheBestVersionIsOneThisProcessorRuns) {
    const CEngine& best = BestEngine();
    bool found = false;
    for (const CEngineVersion& version : AllEngineVersions()) {
        if (version.engine == &best) found = version.supported();
    }
    EXPECT_TRUE(found) << best.name;
    EXPECT_STREQ(AllEngineVersions().back().engine->name, "scalar")
        << "the version for any processor";
    EXPECT_TRUE(AllEngineVersions().back().supported());
}

TEST(CountSolutions, HandsBackTwoDifferentSolutions) {
    const PuzzleGrid empty{};
    const CSolutionCount several = CountSolutions(empty.data());
    ASSERT_EQ(several.count, 2);
    EXPECT_NE(several.solutions[0], several.solutions[1]);
    for (const PuzzleGrid& solution : several.solutions) {
        EXPECT_TRUE(IsSolutionOf(solution, empty)) << GridToText(solution);
    }

    const PuzzleGrid puzzle = HardPuzzle();
    const CSolutionCount unique = CountSolutions(puzzle.data());
    ASSERT_EQ(unique.count, 1);
    EXPECT_TRUE(IsSolutionOf(unique.solutions[0], puzzle));

    PuzzleGrid outOfRange{};
    outOfRange[40] = 10;
    EXPECT_EQ(CountSolutions(outOfRange.data()).count, 0);
    const PuzzleGrid conflict = GridFromText("1.......1" + std::string(72, '.'));
    EXPECT_EQ(CountSolutions(conflict.data()).count, 0);
}

TEST(CountSolutions, WithinGivesUpPastItsGuesses) {
    // The count of a puzzle that needs guesses, with exactly the guesses it needs and one
    // fewer.
    const PuzzleGrid puzzle = HardPuzzle();
    CEngineWork work;
    ASSERT_EQ(BestEngine().count(puzzle.data(), INT64_MAX, &work)->count, 1);
    ASSERT_GT(work.guesses, 0);
    const std::optional<CSolutionCount> enough = CountSolutionsWithin(puzzle.data(), work.guesses);
    ASSERT_TRUE(enough.has_value());
    EXPECT_EQ(enough->count, 1);
    EXPECT_TRUE(IsSolutionOf(enough->solutions[0], puzzle));
    EXPECT_FALSE(CountSolutionsWithin(puzzle.data(), work.guesses - 1).has_value());

    const PuzzleGrid empty{};
    EXPECT_FALSE(CountSolutionsWithin(empty.data(), 0).has_value());
    EXPECT_EQ(CountSolutionsWithin(empty.data(), 1000)->count, 2);
    // Settled before any guess.
    const PuzzleGrid conflict = GridFromText("1.......1" + std::string(72, '.'));
    EXPECT_EQ(CountSolutionsWithin(conflict.data(), 0)->count, 0);
    // A sparse grid without solution that splitting wide near the root trapped for 7,367
    // guesses, where the narrow count takes 70: the window's marks count it within theirs.
    const PuzzleGrid trap = GridFromText(
        "...4291.5..................1.35....64...............299.....8..5........23......7");
    const std::optional<CSolutionCount> refuted = CountSolutionsWithin(trap.data(), 1024);
    ASSERT_TRUE(refuted.has_value());
    EXPECT_EQ(refuted->count, 0);
}

}  // namespace
