// One instruction set's fast path: the band engine counts, the pruned search in its own
// order settles which of several solutions is the answer.
// Built once per entry of AllFastPaths, with VELMO_ISA naming that build's namespace.
#include <algorithm>

#include "band_engine.h"
#include "fast_path.h"
#include "ordered_search.h"

namespace VELMO_ISA {
namespace {

CFastOutcome Solve(uint8_t* grid, const std::function<bool()>& expired, CFastPathWork* work) {
    // With most cells given the search in its own order seldom backtracks far, and it is
    // then quicker than counting: on the shared list of such grids (several solutions
    // each) the median run visits 48 levels, 99% within 150. Its answer is by definition
    // the right one; past the budget the grid is as it was and the engine takes over.
    constexpr int kDenseEmptyCells = 50;
    constexpr int64_t kDenseLevelBudget = 256;
    // Fewer than 17 givens never fix a single solution, so counting would only tell
    // several from none: the pruned search decides both alone.
    constexpr int kSparseGivens = 16;

    const int empty = int(std::count(grid, grid + kCellCount, 0));
    COrderedSearch ordered;
    ordered.m_expired = expired;
    CFastOutcome outcome = CFastOutcome::kNoSolution;
    std::optional<CFastOutcome> dense;
    CBandState state;
    int64_t countGuesses = 0;
    if (empty <= kDenseEmptyCells && (dense = ordered.Run(grid, kDenseLevelBudget))) {
        outcome = *dense;
    } else if (!band_engine::Load(grid, state)) {
        outcome = CFastOutcome::kNoSolution;
    } else if (kCellCount - empty <= kSparseGivens) {
        outcome = ordered.RunPruned(grid, state);
    } else {
        // One solution or none settles the answer; with several, the search's order does.
        PuzzleGrid solutions[2];
        CEngineSearch count;
        count.limit = 2;
        count.solutions = solutions;
        count.expired = expired;
        band_engine::Search(state, count);
        countGuesses = count.guesses;
        if (count.aborted) {
            outcome = CFastOutcome::kExpired;
        } else if (count.found == 1) {
            std::copy(solutions[0].begin(), solutions[0].end(), grid);
            outcome = CFastOutcome::kSolved;
        } else if (count.found == 2) {
            outcome = ordered.RunPruned(grid, state, count.Choice());
        }
    }
    if (work) *work = {countGuesses + ordered.m_guesses, ordered.m_tests, ordered.m_levels};
    return outcome;
}

std::optional<CSolutionCount> Count(const uint8_t* grid, int64_t maxGuesses, CFastPathWork* work) {
    CSolutionCount result;
    CBandState state;
    CEngineSearch search;
    if (band_engine::Load(grid, state)) {
        search.limit = 2;
        search.solutions = result.solutions.data();
        search.maxGuesses = maxGuesses;
        band_engine::Search(state, search);
        result.count = search.found;
    }
    if (work) *work = {search.guesses, 0};
    if (search.aborted) return std::nullopt;
    return result;
}

}  // namespace

extern const CFastPath kFastPath;
const CFastPath kFastPath = {VELMO_ISA_NAME, Solve, Count};

}  // namespace VELMO_ISA
