// The puzzle solver: checks a grid of givens (laid out as grid.h says) and fills it by
// depth-first search; the one header the window and the batch solver include.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "grid.h"
#include "solver_platform.h"

// Outcomes of Search. A level that meets one of the non-zero outcomes hands it straight up
// without undoing its cell, so the grid keeps every digit placed when it arrives at Solve.
inline constexpr int SEARCH_EXHAUSTED = 0;
inline constexpr int SEARCH_SOLVED = 1;
inline constexpr int SEARCH_TIMED_OUT = -1;

// How long a search may run before the user is asked whether to go on.
inline constexpr int32_t kSearchTimeLimitMs = 60000;

// The question shown when the time limit strikes.
inline constexpr std::string_view kContinueQuestion =
    "在一分钟内未找到任何解，可能无解！ 是否继续搜索？";

// Candidate flags of one cell, indexed by cell value 0-9: 1 while the value is still possible.
// Entry 0 is cleared by empty cells and never counted.
struct CandidateSet {
    uint8_t flags[10];
};

// 1 when no row, column or box holds the same non-zero byte twice, else 0. Compares raw
// bytes: values above 9 take part in the comparison but are not themselves rejected.
int IsConsistent(const uint8_t* grid);

// Fills `set` for the cell at (row, column) from the digits in its row, column and box and
// returns how many of the digits 1-9 remain possible. Every cell of `grid` must hold 0-9.
int CountCandidates(const uint8_t* grid, int row, int column, CandidateSet& set);

// Counts the solutions of `grid` (81 cells) up to two. A cell above 9, or a digit repeated
// in a row, column or box, means none. Asks nothing of the platform and never gives up, so
// it needs no time limit.
CSolutionCount CountSolutions(const uint8_t* grid);

// CountSolutions with a bound on its work, for callers that must answer promptly whatever
// the grid: nothing once the engine has made more than `maxGuesses` guesses. The bound
// holds by construction, with no clock: every node of the engine's search tree but an
// attempt's root is entered through a guess or is the last branch of a node whose other
// branches were guesses, so it propagates at most 2 * maxGuesses + (attempts, at most 64)
// times, each propagation removing some of the 729 candidates or stopping. maxGuesses 0
// counts what propagation alone settles.
std::optional<CSolutionCount> CountSolutionsWithin(const uint8_t* grid, int64_t maxGuesses);

class CGridSolver {
  public:
    // `platform` supplies the clock, the sound and the question; it must outlive the solver.
    explicit CGridSolver(CSolverPlatform& platform) : m_platform(&platform) {}

    // Solves the 81 cells of `buffer` (count must be 81). Returns 1 and writes the solution
    // into `buffer`, or returns 0 and leaves `buffer` as it was: for a wrong count, a cell
    // above 9, givens that repeat a digit in a unit, a grid without solution, or a search
    // that struck the time limit and that the user chose not to continue.
    int Solve(uint8_t* buffer, int count);

    // The plain depth-first search over m_grid in fewest-candidates order, the reference
    // that defines which solution Solve gives; `start` is the tick count at which the
    // request began. Returns SEARCH_SOLVED with m_grid complete,
    // SEARCH_TIMED_OUT with m_grid holding the digits placed so far, or SEARCH_EXHAUSTED
    // with m_grid as it was on entry. Every cell of m_grid must hold 0-9.
    int Search(uint32_t start);

    PuzzleGrid m_grid{};             // the working grid the search fills and clears
    int32_t m_timeLimitEnabled = 1;  // non-zero while the one-minute limit applies

  private:
    // What Solve runs in place of Search: the same outcome and, on success, the same grid,
    // found by counting solutions first. Checks the limit on entry and now and then after.
    int RunEngine(uint32_t start);
    bool TimeLimitPassed(uint32_t start) const;

    CSolverPlatform* m_platform;
};
