// Solve: each outcome of a request, what it leaves in the caller's buffer and in m_grid,
// and the time-limit question with its rerun.
#include <gtest/gtest.h>

#include "grid_solver.h"
#include "test_support.h"

namespace {

constexpr std::string_view kPuzzle =
    "4.....8.5.3..........7......2.....6.....8.4......1.......6.3.7.5..2.....1.4......";
constexpr std::string_view kPuzzleSolution =
    "417369825632158947958724316825437169791586432346912758289643571573291684164875293";
// Consistent givens without a solution: row 0 can only end in 9, which column 8 holds.
constexpr std::string_view kNoSolution =
    "12345678.  .........  ........9  .........  .........  .........  .........  .........  "
    ".........";

class SolveTest : public ::testing::Test {
  protected:
    CFakePlatform platform;
    CGridSolver solver{platform};

    // Fills m_grid with a marker so that "untouched" can be seen.
    void MarkWorkingGrid() { solver.m_grid.fill(7); }
};

TEST_F(SolveTest, WrongCountTouchesNothing) {
    PuzzleGrid marked;
    marked.fill(7);
    for (int count : {0, 80, 82, -81}) {
        PuzzleGrid buffer = GridFromText(kPuzzle);
        MarkWorkingGrid();
        EXPECT_EQ(solver.Solve(buffer.data(), count), 0) << count;
        EXPECT_EQ(GridToText(buffer), GridToText(GridFromText(kPuzzle))) << count;
        EXPECT_EQ(solver.m_grid, marked) << count;
    }
    EXPECT_EQ(platform.readings, 0);
}

TEST_F(SolveTest, SolvesIntoTheBufferAndTheWorkingGrid) {
    PuzzleGrid buffer = GridFromText(kPuzzle);
    EXPECT_EQ(solver.Solve(buffer.data(), kCellCount), 1);
    EXPECT_EQ(GridToText(buffer), kPuzzleSolution);
    EXPECT_EQ(solver.m_grid, buffer);
    EXPECT_EQ(platform.beeps, 0);
    EXPECT_TRUE(platform.questions.empty());
}

TEST_F(SolveTest, EmptyGridAlwaysGivesTheSameFirstSolution) {
    for (int round = 0; round < 2; ++round) {
        PuzzleGrid buffer{};
        EXPECT_EQ(solver.Solve(buffer.data(), kCellCount), 1);
        EXPECT_EQ(GridToText(buffer), kEmptyGridSolution) << "round " << round;
    }
}

TEST_F(SolveTest, CompleteInputComesBackUnchanged) {
    PuzzleGrid buffer = GridFromText(kPuzzleSolution);
    EXPECT_EQ(solver.Solve(buffer.data(), kCellCount), 1);
    EXPECT_EQ(GridToText(buffer), kPuzzleSolution);
}

TEST_F(SolveTest, RepeatedGivenFailsWithoutSearching) {
    for (std::string_view text : {"55" + std::string(79, '.'), "5........5" + std::string(71, '.'),
                                  "5.........5" + std::string(70, '.')}) {
        PuzzleGrid buffer = GridFromText(text);
        const PuzzleGrid input = buffer;
        EXPECT_EQ(solver.Solve(buffer.data(), kCellCount), 0) << text;
        EXPECT_EQ(buffer, input);
        EXPECT_EQ(solver.m_grid, input) << "m_grid keeps the input";
    }
    EXPECT_EQ(platform.readings, 0) << "no search was started";
}

TEST_F(SolveTest, ValueAboveNineFailsWithoutSearching) {
    for (uint8_t value : {10, 12, 99, 255}) {
        for (int cell : {0, 40, 80}) {
            PuzzleGrid buffer = GridFromText(kPuzzle);
            buffer[cell] = value;
            const PuzzleGrid input = buffer;
            EXPECT_EQ(solver.Solve(buffer.data(), kCellCount), 0) << int(value) << " at " << cell;
            EXPECT_EQ(buffer, input);
        }
    }
    // Even a grid that is otherwise empty and consistent.
    PuzzleGrid lone{};
    lone[5] = 10;
    EXPECT_EQ(solver.Solve(lone.data(), kCellCount), 0);
    EXPECT_EQ(platform.readings, 0) << "no search was started";
}

TEST_F(SolveTest, ExhaustedSearchFailsAndLeavesTheInput) {
    PuzzleGrid buffer = GridFromText(kNoSolution);
    const PuzzleGrid input = buffer;
    EXPECT_EQ(solver.Solve(buffer.data(), kCellCount), 0);
    EXPECT_EQ(buffer, input);
    EXPECT_EQ(solver.m_grid, input);
    EXPECT_TRUE(platform.questions.empty());
}

TEST_F(SolveTest, LimitExactlyReachedIsNotStruck) {
    platform.clock = [](int reading) { return reading == 0 ? 0u : uint32_t(kSearchTimeLimitMs); };
    PuzzleGrid buffer{};
    EXPECT_EQ(solver.Solve(buffer.data(), kCellCount), 1);
    EXPECT_TRUE(platform.questions.empty());
}

// The request starts 16 ms before the counter wraps past 2^32; every later reading comes
// after the wrap, `after` milliseconds later than the start.
std::function<uint32_t(int)> WrapsAfterTheStart(uint32_t after) {
    return [after](int reading) { return reading == 0 ? 0xFFFFFFF0u : 0xFFFFFFF0u + after; };
}

TEST_F(SolveTest, TickCounterWrappingIsNoTimeOut) {
    platform.clock = WrapsAfterTheStart(0x30);
    PuzzleGrid buffer = GridFromText(kPuzzle);
    EXPECT_EQ(solver.Solve(buffer.data(), kCellCount), 1);
    EXPECT_EQ(GridToText(buffer), kPuzzleSolution);
    EXPECT_TRUE(platform.questions.empty());
    EXPECT_GE(platform.readings, 2) << "a reading after the wrap was compared with the start";
}

TEST_F(SolveTest, TickCounterWrappingPastTheLimitTimesOut) {
    platform.clock = WrapsAfterTheStart(uint32_t(kSearchTimeLimitMs) + 1);
    platform.answers = {false};
    PuzzleGrid buffer = GridFromText(kPuzzle);
    EXPECT_EQ(solver.Solve(buffer.data(), kCellCount), 0);
    EXPECT_EQ(platform.questions.size(), 1u);
}

// The clock reads 0 for the request's start and then jumps past the limit: the request
// strikes it at its first check, before anything is placed.
uint32_t StrikesAtOnce(int reading) {
    return reading == 0 ? 0u : uint32_t(kSearchTimeLimitMs) + 1;
}

TEST_F(SolveTest, LimitStruckInsideTheSolve) {
    // Reading 0 starts the request and reading 1 is the check before the engine runs;
    // every later reading is the engine asking while it works. The clock jumps past the
    // limit at the first of those and at the last a full solve makes: either way the
    // engine must stop and the question come.
    // A puzzle the engine needs guesses for, and a sparse grid it prunes the search of.
    const std::string_view hard =
        "4...3.......6..8..........1....5..9..8....6...7.2........1.27..5.3....4.9........";
    const std::string_view sparse =
        "........2...................1......3...46.......7...6.........5....3............1";
    for (std::string_view text : {hard, sparse}) {
        SCOPED_TRACE(text);
        CFakePlatform still;
        CGridSolver unlimited(still);
        PuzzleGrid solved = GridFromText(text);
        ASSERT_EQ(unlimited.Solve(solved.data(), kCellCount), 1);
        const int readings = still.readings;
        ASSERT_GT(readings, 2) << "the engine asks the clock while it works";

        for (int strike : {2, readings - 1}) {
            CFakePlatform late;
            late.clock = [strike](int reading) {
                return reading < strike ? 0u : uint32_t(kSearchTimeLimitMs) + 1;
            };
            late.answers = {false, true};
            CGridSolver solver(late);
            PuzzleGrid buffer = GridFromText(text);
            const PuzzleGrid input = buffer;
            EXPECT_EQ(solver.Solve(buffer.data(), kCellCount), 0) << "struck at " << strike;
            EXPECT_EQ(buffer, input);
            EXPECT_EQ(late.questions.size(), 1u) << "struck at " << strike;
            EXPECT_EQ(late.readings, strike + 1) << "no reading after the limit struck";

            // Yes runs it again without a limit, to the same answer.
            EXPECT_EQ(solver.Solve(buffer.data(), kCellCount), 1);
            EXPECT_EQ(buffer, solved);
        }
    }
}

TEST_F(SolveTest, TimeOutAnsweredNoFailsAndKeepsTheCallersGrid) {
    platform.clock = StrikesAtOnce;
    platform.answers = {false};
    PuzzleGrid buffer = GridFromText(kPuzzle);
    const PuzzleGrid input = buffer;
    EXPECT_EQ(solver.Solve(buffer.data(), kCellCount), 0);
    EXPECT_EQ(buffer, input) << "the caller's grid is untouched";
    EXPECT_EQ(solver.m_grid, input) << "nothing was placed before the limit struck";

    ASSERT_EQ(platform.questions.size(), 1u);
    EXPECT_EQ(platform.questions[0], kContinueQuestion);
    EXPECT_EQ(platform.beeps, 1);
    EXPECT_EQ(solver.m_timeLimitEnabled, 1);
}

TEST_F(SolveTest, TimeOutAnsweredYesRerunsWithoutLimit) {
    // The clock stays past the limit for good: only a rerun without limit can finish.
    platform.clock = StrikesAtOnce;
    platform.answers = {true};
    PuzzleGrid buffer = GridFromText(kPuzzle);
    EXPECT_EQ(solver.Solve(buffer.data(), kCellCount), 1);
    EXPECT_EQ(GridToText(buffer), kPuzzleSolution);
    EXPECT_EQ(platform.questions.size(), 1u) << "the rerun cannot time out";
    EXPECT_EQ(solver.m_timeLimitEnabled, 1) << "the limit is back on for the next request";

    // And the next request is limited again.
    platform.readings = 0;
    platform.answers = {false};
    PuzzleGrid again = GridFromText(kPuzzle);
    EXPECT_EQ(solver.Solve(again.data(), kCellCount), 0);
    EXPECT_EQ(platform.questions.size(), 2u);
}

TEST_F(SolveTest, TimeOutAnsweredYesOnUnsolvableGridStillFails) {
    platform.clock = StrikesAtOnce;
    platform.answers = {true};
    PuzzleGrid buffer = GridFromText(kNoSolution);
    const PuzzleGrid input = buffer;
    EXPECT_EQ(solver.Solve(buffer.data(), kCellCount), 0);
    EXPECT_EQ(buffer, input);
    EXPECT_EQ(solver.m_timeLimitEnabled, 1);
}

TEST_F(SolveTest, LimitStruckOnACompleteGridStillSolves) {
    // The request looks only at the grid after the question: No on a complete grid is
    // still a success.
    PuzzleGrid buffer = GridFromText(kPuzzleSolution);
    platform.clock = StrikesAtOnce;
    platform.answers = {false};
    EXPECT_EQ(solver.Solve(buffer.data(), kCellCount), 1);
    EXPECT_EQ(GridToText(buffer), kPuzzleSolution);
    EXPECT_EQ(platform.questions.size(), 1u);
}

}  // namespace
