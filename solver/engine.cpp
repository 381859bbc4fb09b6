// One instruction set's version of the engine: the band engine counts, the pruned search in its own
// order settles which of several solutions is the answer.
// Built once per entry of AllEngineVersions, with VELMO_ISA naming that build's namespace.
#include <algorithm>
#include <bit>

#include "band_engine.h"
#include "engine.h"
#include "ordered_search.h"

namespace VELMO_ISA {
namespace {

CEngineOutcome Solve(uint8_t* grid, CExpiry expiry, CEngineWork* work) {
    // With most cells given the search in its own order seldom backtracks far, and it is
    // then quicker than counting: it mostly finishes in a few dozen levels. Its answer is
    // by definition the right one; past the budget the grid is as it was and the engine
    // takes over.
    constexpr int kDenseEmptyCells = 50;
    constexpr int64_t kDenseLevelBudget = 256;
    // Levels after which the engine's propagation of the givens is asked whether the grid
    // has a solution at all (COrderedSearch::Run says why): past what most dense grids
    // walk, so that few pay for it.
    constexpr int64_t kDenseRootCheckLevels = 96;
    // Fewer than 17 givens never fix a single solution, so counting would only tell
    // several from none: the pruned search decides both alone.
    constexpr int kSparseGivens = 16;
    // Grids with several solutions often take the count dozens of guesses, while the
    // search in its own order, which needs no count, walks to its first solution in a few
    // dozen levels without a test. Puzzles with one solution make it ask the engine for
    // one, where it is given up. So a count that takes more than kTryAfterGuesses on a
    // grid of at most kTryGivens givens gives way to the search in its own order, within
    // as many levels as the grid has empty cells and kTryLevels more and without tests;
    // failing that, it counts from where it stands and goes on from there (TryPruned).
    // Grids of more givens are mostly puzzles with one solution, where trying only costs.
    constexpr int64_t kTryAfterGuesses = 2;
    constexpr int kTryGivens = 20;
    constexpr int64_t kTryLevels = 96;
    // Where the givens' propagation fixes at most kWalkAtOnceFixed cells, the count's two
    // guesses seldom settle the grid, so the walk starts at once.
    constexpr int kWalkAtOnceFixed = 1;

    const int empty = int(std::count(grid, grid + kCellCount, 0));
    COrderedSearch ordered;
    ordered.m_expiry = expiry;
    CEngineOutcome outcome = CEngineOutcome::kNoSolution;
    std::optional<CEngineOutcome> dense;
    CBandState state;
    int64_t countGuesses = 0;
    // The givens' propagated position, which the search in its own order may have built.
    // Built only when needed: the search in its own order refuses givens that repeat a
    // digit as it loads them, so a dense grid it settles needs none.
    const auto propagated = [&] {
        if (const CBandState* root = ordered.Root()) {
            state = *root;
            return true;
        }
        return band_engine::Load(grid, state);
    };
    if (empty <= kDenseEmptyCells &&
        (dense = ordered.Run(grid, kDenseLevelBudget, kDenseRootCheckLevels))) {
        outcome = *dense;
    } else if (!propagated()) {
        outcome = CEngineOutcome::kNoSolution;
    } else if (kCellCount - empty <= kSparseGivens) {
        outcome = ordered.RunPruned(grid, state);
    } else {
        // One solution or none settles the answer; with several, the search's order does.
        PuzzleGrid solutions[2];
        const auto countWithin = [&](int64_t maxGuesses) {
            CEngineQuery count;
            count.limit = 2;
            count.solutions = solutions;
            count.expiry = expiry;
            count.maxGuesses = maxGuesses;
            // Cut off after a few guesses, it splits narrow: wide splits spend guesses
            // fast and would send more grids to the walk.
            count.wideLevels = maxGuesses < INT64_MAX ? 0 : kWideLevels;
            band_engine::FindSolutions(state, count);
            countGuesses += count.guesses;
            return count;
        };
        const bool walkFirst = kCellCount - empty <= kTryGivens;
        const int fixed = empty - std::popcount(state.unsolved[0]) -
                          std::popcount(state.unsolved[1]) - std::popcount(state.unsolved[2]);
        const CEngineQuery count = countWithin(!walkFirst                  ? INT64_MAX
                                               : fixed <= kWalkAtOnceFixed ? 0
                                                                           : kTryAfterGuesses);
        if (count.aborted && count.guesses > count.maxGuesses) {
            outcome = ordered.TryPruned(grid, state, empty + kTryLevels, count.conflicts);
        } else if (count.aborted) {
            outcome = CEngineOutcome::kExpired;
        } else if (count.found == 1) {
            std::copy(solutions[0].begin(), solutions[0].end(), grid);
            outcome = CEngineOutcome::kSolved;
        } else if (count.found == 2) {
            outcome = ordered.RunPruned(grid, state, count.Choice(), solutions, count.conflicts);
        }
    }
    if (work) *work = {countGuesses + ordered.m_guesses, ordered.m_tests, ordered.m_levels};
    return outcome;
}

std::optional<CSolutionCount> Count(const uint8_t* grid, int64_t maxGuesses, CEngineWork* work) {
    CSolutionCount result;
    CBandState state;
    // Narrow, as the query leaves it: a count asked for itself, often bounded (the window's
    // marks), keeps the guesses it took before wide splits, which trap some open grids.
    CEngineQuery query;
    if (band_engine::Load(grid, state)) {
        query.limit = 2;
        query.solutions = result.solutions.data();
        query.maxGuesses = maxGuesses;
        band_engine::FindSolutions(state, query);
        result.count = query.found;
    }
    if (work) *work = {query.guesses, 0};
    if (query.aborted) return std::nullopt;
    return result;
}

}  // namespace

extern const CEngine kEngine;
const CEngine kEngine = {VELMO_ISA_NAME, Solve, Count};

}  // namespace VELMO_ISA
