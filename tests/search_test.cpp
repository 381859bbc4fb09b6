// CountCandidates and Search: the candidate count and the order in which cells are filled.
#include <gtest/gtest.h>

#include "grid_solver.h"
#include "test_support.h"

namespace {

// Digits 1-5 across the start of row 0: the four cells left in the row tie at 4 candidates,
// fewer than anywhere else.
constexpr std::string_view kTieGrid =
    "12345.... ......... ......... ......... ......... ......... ......... ......... .........";

// Cell 8 has one candidate (9); cell 40 has none, but comes later in the scan.
constexpr std::string_view kSingleBeforeDeadEnd =
    "12345678. ......... ......... ...6.9... .....1234 ....7.... ......... ....8.... .........";

// As above without the 8 in row 0: now no single comes before the dead cell 40.
constexpr std::string_view kDeadEndFirst =
    "1234567.. ......... ......... ...6.9... .....1234 ....7.... ......... ....8.... .........";

// A clock that passes the limit from the reading with index `reading` on: a search run
// with it stops at the head of level `reading`, so the grid shows what the levels before
// it placed.
std::function<uint32_t(int)> ExpiresAtReading(int reading) {
    return
        [reading](int index) { return index >= reading ? uint32_t(kSearchTimeLimitMs) + 1 : 0u; };
}

TEST(CountCandidates, EmptyGridLeavesEveryDigit) {
    const PuzzleGrid grid{};
    CandidateSet set;
    EXPECT_EQ(CountCandidates(grid.data(), 4, 4, set), 9);
    for (int d = 1; d <= 9; ++d) EXPECT_EQ(set.flags[d], 1) << d;
    EXPECT_EQ(set.flags[0], 0) << "empty cells clear flag 0";
}

TEST(CountCandidates, RemovesDigitsOfRowColumnAndBox) {
    // (4, 4): row has 1 and 2, column has 3, box has 4 and 1 again; 7 shares no unit.
    const PuzzleGrid grid = GridFromText(
        "....3.... ......... ......... ...4..... 1......2. .....1... ......... ......... "
        "7........");
    CandidateSet set;
    EXPECT_EQ(CountCandidates(grid.data(), 4, 4, set), 5);
    for (int d : {1, 2, 3, 4}) EXPECT_EQ(set.flags[d], 0) << d;
    for (int d : {5, 6, 7, 8, 9}) EXPECT_EQ(set.flags[d], 1) << d;
}

TEST(CountCandidates, CountsZeroWhenEveryDigitIsTaken) {
    const PuzzleGrid grid = GridFromText(kSingleBeforeDeadEnd);
    CandidateSet set;
    EXPECT_EQ(CountCandidates(grid.data(), 4, 4, set), 0);
    EXPECT_EQ(CountCandidates(grid.data(), 0, 8, set), 1);
    EXPECT_EQ(set.flags[9], 1);
}

class SearchTest : public ::testing::Test {
  protected:
    CFakePlatform platform;
    CGridSolver solver{platform};

    int Run(std::string_view grid, std::function<uint32_t(int)> clock) {
        solver.m_grid = GridFromText(grid);
        platform.clock = std::move(clock);
        return solver.Search(0);
    }
};

TEST_F(SearchTest, EmptyGridGivesTheFirstGridInSearchOrder) {
    EXPECT_EQ(Run(std::string(81, '.'), [](int) { return 0u; }), SEARCH_SOLVED);
    EXPECT_EQ(GridToText(solver.m_grid), kEmptyGridSolution);
    EXPECT_EQ(platform.readings, 82) << "one time check per level: 81 placements and the last";
}

TEST_F(SearchTest, CompleteGridIsSolvedAfterOneTimeCheck) {
    EXPECT_EQ(Run(kEmptyGridSolution, [](int) { return 0u; }), SEARCH_SOLVED);
    EXPECT_EQ(platform.readings, 1);
}

TEST_F(SearchTest, TiesGoToTheEarliestCell) {
    EXPECT_EQ(Run(kTieGrid, ExpiresAtReading(1)), SEARCH_TIMED_OUT);
    PuzzleGrid expected = GridFromText(kTieGrid);
    expected[5] = 6;  // the smallest candidate of the first of the tied cells
    EXPECT_EQ(GridToText(solver.m_grid), GridToText(expected));
}

TEST_F(SearchTest, ScanStopsAtTheFirstSingleCandidate) {
    // The dead cell later in the scan is not seen on this level: the single is placed.
    EXPECT_EQ(Run(kSingleBeforeDeadEnd, ExpiresAtReading(1)), SEARCH_TIMED_OUT);
    PuzzleGrid expected = GridFromText(kSingleBeforeDeadEnd);
    expected[8] = 9;
    EXPECT_EQ(GridToText(solver.m_grid), GridToText(expected));
}

TEST_F(SearchTest, DeadEndReturnsWithoutPlacing) {
    EXPECT_EQ(Run(kDeadEndFirst, [](int) { return 0u; }), SEARCH_EXHAUSTED);
    EXPECT_EQ(GridToText(solver.m_grid), GridToText(GridFromText(kDeadEndFirst)));
    EXPECT_EQ(platform.readings, 1) << "no deeper level may run";
}

TEST_F(SearchTest, ExhaustedSearchRestoresTheGrid) {
    // Consistent, but row 0 can only end in 9 while column 8 already holds one.
    constexpr std::string_view kNoSolution =
        "12345678. ......... ........9 ......... ......... ......... ......... ......... .........";
    EXPECT_EQ(Run(kNoSolution, [](int) { return 0u; }), SEARCH_EXHAUSTED);
    EXPECT_EQ(GridToText(solver.m_grid), GridToText(GridFromText(kNoSolution)));
}

TEST_F(SearchTest, TimeOutKeepsEveryDigitPlaced) {
    EXPECT_EQ(Run(std::string(81, '.'), ExpiresAtReading(9)), SEARCH_TIMED_OUT);
    // Nine levels ran, each filling the next cell of row 0.
    EXPECT_EQ(GridToText(solver.m_grid), "123456789" + std::string(72, '.'));
}

TEST_F(SearchTest, TimeLimitOffNeverTimesOut) {
    solver.m_timeLimitEnabled = 0;
    EXPECT_EQ(Run(std::string(81, '.'), ExpiresAtReading(0)), SEARCH_SOLVED);
    EXPECT_EQ(GridToText(solver.m_grid), kEmptyGridSolution);
}

TEST_F(SearchTest, LimitIsStrictlyMoreThanSixtySeconds) {
    EXPECT_EQ(Run(std::string(81, '.'), [](int) { return uint32_t(kSearchTimeLimitMs); }),
              SEARCH_SOLVED);
}

TEST_F(SearchTest, TickCounterWrappingMidSearchIsNoTimeOut) {
    solver.m_grid = PuzzleGrid{};
    // Start just below 2^32; from the fifth reading on the counter has wrapped past zero.
    platform.clock = [](int index) { return index < 5 ? 0xFFFFFF00u + uint32_t(index) : 0x100u; };
    EXPECT_EQ(solver.Search(0xFFFFFF00u), SEARCH_SOLVED);
    EXPECT_EQ(GridToText(solver.m_grid), kEmptyGridSolution);
}

TEST_F(SearchTest, WrappedDifferenceBeyondTheLimitTimesOut) {
    solver.m_grid = PuzzleGrid{};
    platform.clock = [](int) { return 0xFFFFFF00u + uint32_t(kSearchTimeLimitMs) + 1; };
    EXPECT_EQ(solver.Search(0xFFFFFF00u), SEARCH_TIMED_OUT);
}

}  // namespace
