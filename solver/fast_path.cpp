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
    // The search in its own order gives the answer by definition, and on two kinds of grid
    // it is quicker than counting:
    //   - Most cells given: it seldom backtracks far. On the shared list of such grids
    //     (several solutions each) the median run visits 48 levels, 99% within 150.
    //   - Fewer than 17 givens, which never fix a single solution: where most of the grid
    //     is free it fills it at a level per cell, while counting spends dozens of guesses
    //     on the two solutions it needs and the walk then tests branches.
    // Past a budget the grid is as it was and counting takes over, so the budget bounds
    // what the attempt can waste.
    const int empty = int(std::count(grid, grid + kCellCount, 0));
    constexpr int kDenseEmptyCells = 50;
    constexpr int kSparseGivens = 16;
    COrderedSearch ordered;
    ordered.m_expired = expired;
    const int64_t budget = empty <= kDenseEmptyCells             ? 256
                           : kCellCount - empty <= kSparseGivens ? 4 * empty
                                                                 : 0;
    if (budget > 0) {
        if (const auto outcome = ordered.Run(grid, budget)) {
            if (work) *work = {0, 0, ordered.m_levels};
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
    spent.levels = ordered.m_levels;
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
