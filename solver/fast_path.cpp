// One instruction set's fast path: the band engine counts, the walk settles the order.
// Built once per entry of AllFastPaths, with VELMO_ISA naming that build's namespace.
#include <algorithm>

#include "band_engine.h"
#include "fast_path.h"
#include "ordered_search.h"

namespace VELMO_ISA {
namespace {

CFastOutcome Solve(uint8_t* grid, const std::function<bool()>& expired, CFastPathWork* work) {
    CFastPathWork spent;
    // With most cells given, the search in its own order seldom backtracks far, and it is
    // then cheaper than counting: on the shared list of such grids (several solutions
    // each) the median run visits 48 levels and 99% stay within 150. Its answer is by
    // definition the right one; past the budget the grid is as it was and counting takes
    // over, so the budget bounds what the attempt can waste.
    constexpr int kDenseEmptyCells = 50;
    constexpr int64_t kDenseLevelBudget = 256;
    COrderedSearch ordered;
    ordered.m_expired = expired;
    if (std::count(grid, grid + kCellCount, 0) <= kDenseEmptyCells) {
        if (const auto outcome = ordered.Run(grid, kDenseLevelBudget)) {
            if (work) *work = spent;
            return *outcome;
        }
    }

    CBandState state;
    CFastOutcome outcome = CFastOutcome::kNoSolution;
    if (band_engine::Load(grid, state)) {
        PuzzleGrid solutions[2];
        CEngineSearch count;
        count.limit = 2;
        count.solutions = solutions;
        count.expired = expired;
        band_engine::Search(state, count);
        spent.guesses = count.guesses;
        if (count.aborted) {
            outcome = CFastOutcome::kExpired;
        } else if (count.found == 1) {
            std::copy(solutions[0].begin(), solutions[0].end(), grid);
            outcome = CFastOutcome::kSolved;
        } else if (count.found == 2) {
            outcome = ordered.FirstSolution(grid, state, solutions, 2);
            spent.guesses += ordered.m_guesses;
            spent.tests = ordered.m_tests;
        }
    }
    if (work) *work = spent;
    return outcome;
}

CSolutionCount Count(const uint8_t* grid, CFastPathWork* work) {
    CSolutionCount result;
    CBandState state;
    CEngineSearch search;
    if (band_engine::Load(grid, state)) {
        search.limit = 2;
        search.solutions = result.solutions.data();
        band_engine::Search(state, search);
        result.count = search.found;
    }
    if (work) *work = {search.guesses, 0};
    return result;
}

CFastOutcome Walk(uint8_t* grid, const PuzzleGrid* witnesses, int witnessCount) {
    CBandState state;
    if (!band_engine::Load(grid, state)) return CFastOutcome::kNoSolution;
    return COrderedSearch().FirstSolution(grid, state, witnesses, witnessCount);
}

}  // namespace

extern const CFastPath kFastPath;
const CFastPath kFastPath = {VELMO_ISA_NAME, Solve, Count, Walk};

}  // namespace VELMO_ISA
