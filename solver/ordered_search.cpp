// The walk down the search order.
//
// CGridSolver::Search's first solution is a path: at each level the cell its rule chooses
// takes the smallest digit whose branch holds a solution (branches before it hold none,
// so Search leaves them empty-handed). The walk follows that path without exploring dead
// branches. It keeps a witness, a solution that agrees with every digit placed so far:
// the witness's digit is a candidate of the chosen cell and its branch holds a solution,
// so only the smaller candidates need a test. A test is the engine's search for one
// solution from the engine's position for the path so far with the smaller digit added;
// the first that finds one gives the digit and the next witness. Digits the engine's
// propagation has already ruled out need no test, and the position is brought up to date
// with the path only when a level has something to test.
//
// Bound: one level per empty cell (at most 81), each with at most as many tests as the
// chosen cell has candidates below the witness's digit (at most 8), and a level's tests
// stop at the first that succeeds; so at most 8 tests per empty cell, each one search by
// the engine from the incrementally propagated position, never from the givens. A test
// looks first in an order like Search's own, so that the solution it finds tends to agree
// with the levels still to come and spares their tests: on hill-climbed sparse grids a
// walk tests about 7 branches, on random sparse grids and clue-removed puzzles under one.
//
// The scan of Search is kept exactly (first cell in row-major order with the fewest
// candidates, stopping at a single), on masks of the digits in each unit instead of
// recounting 27 cells per candidate count.
#include "ordered_search.h"

namespace VELMO_ISA {

// Guesses a test may spend in the order like Search's before the strongest order takes
// over. Measured in instructions a grid: none 1.16 M on hill-climbed grids and 152 k on
// random sparse ones; 32 0.79 M and 94 k; 128 0.75 M and 94 k.
constexpr int64_t kOrderedGuessBudget = 64;

void COrderedSearch::Load(uint8_t* grid) {
    m_grid = grid;
    m_empty[0] = m_empty[1] = 0;
    std::fill(std::begin(m_used), std::end(m_used), uint16_t{0});
    for (int cell = 0; cell < kCellCount; ++cell) {
        if (grid[cell] == 0) {
            m_empty[cell / 64] |= uint64_t{1} << (cell % 64);
        } else {
            const CCellUnits& u = kCellUnits[cell];
            const uint16_t bit = uint16_t(1u << grid[cell]);
            m_used[u.row] |= bit;
            m_used[u.column] |= bit;
            m_used[u.box] |= bit;
        }
    }
}

void COrderedSearch::Set(int cell, int d) {
    const CCellUnits& u = kCellUnits[cell];
    const uint16_t bit = uint16_t(1u << d);
    m_used[u.row] |= bit;
    m_used[u.column] |= bit;
    m_used[u.box] |= bit;
    m_empty[cell / 64] &= ~(uint64_t{1} << (cell % 64));
    m_grid[cell] = uint8_t(d);
}

void COrderedSearch::Clear(int cell, int d) {
    const CCellUnits& u = kCellUnits[cell];
    const uint16_t bit = uint16_t(~(1u << d));
    m_used[u.row] &= bit;
    m_used[u.column] &= bit;
    m_used[u.box] &= bit;
    m_empty[cell / 64] |= uint64_t{1} << (cell % 64);
    m_grid[cell] = 0;
}

int COrderedSearch::Select(int& cell, unsigned& digits) const {
    int best = 10;
    for (int word = 0; word < 2; ++word) {
        for (uint64_t empty = m_empty[word]; empty; empty &= empty - 1) {
            const int candidate = 64 * word + LowestBit(empty);
            const CCellUnits& u = kCellUnits[candidate];
            const unsigned mask = ~(m_used[u.row] | m_used[u.column] | m_used[u.box]) & kAllDigits;
            const int count = std::popcount(mask);
            if (count == 0) return -1;
            if (count < best) {
                best = count;
                cell = candidate;
                digits = mask;
                if (count == 1) return 1;
            }
        }
    }
    return best == 10 ? 0 : 1;
}

std::optional<CFastOutcome> COrderedSearch::Step() {
    if (m_budget-- <= 0) return std::nullopt;
    ++m_levels;
    // The clock is asked every 64 levels rather than at each: reading it would cost more
    // than the level itself.
    if ((m_levels & 63) == 1 && m_expired && m_expired()) return CFastOutcome::kExpired;

    int cell = -1;
    unsigned digits = 0;
    const int selected = Select(cell, digits);
    if (selected < 0) return CFastOutcome::kNoSolution;
    if (selected == 0) return CFastOutcome::kSolved;

    for (; digits; digits &= digits - 1) {
        const int d = LowestBit(digits);
        Set(cell, d);
        const std::optional<CFastOutcome> outcome = Step();
        if (outcome != CFastOutcome::kNoSolution) {
            // Solved or expired, the grid stays as it is; over budget, it is restored.
            if (!outcome) Clear(cell, d);
            return outcome;
        }
        Clear(cell, d);
    }
    return CFastOutcome::kNoSolution;
}

std::optional<CFastOutcome> COrderedSearch::Run(uint8_t* grid, int64_t levelBudget) {
    Load(grid);
    m_budget = levelBudget;
    return Step();
}

CFastOutcome COrderedSearch::FirstSolution(uint8_t* grid, CBandState state,
                                           const PuzzleGrid* witnesses, int witnessCount) {
    Load(grid);

    // Solutions that agree with the path so far; the smallest digit any of them has in the
    // chosen cell bounds the tests.
    PuzzleGrid pool[3];
    int poolSize = 0;
    for (int i = 0; i < witnessCount && i < 2; ++i) pool[poolSize++] = witnesses[i];
    bool synced = true;  // `state` is the position of `grid`

    for (;;) {
        int cell = -1;
        unsigned digits = 0;
        // The grid always extends to a witness, so no cell is without candidates.
        const int selected = Select(cell, digits);
        if (selected <= 0) return selected == 0 ? CFastOutcome::kSolved : CFastOutcome::kNoSolution;
        int chosen = 10;
        for (int i = 0; i < poolSize; ++i) chosen = std::min<int>(chosen, pool[i][cell]);

        // The engine's position catches up with the path only when a test needs it:
        // most levels place the witness's digit untested.
        unsigned below = digits & ((1u << chosen) - 1);
        if (below && !synced) {
            // The path extends to a witness, so this never fails.
            if (!band_engine::AssignAll(state, grid)) return CFastOutcome::kNoSolution;
            synced = true;
        }
        if (below) below &= band_engine::Candidates(state, cell);
        for (; below; below &= below - 1) {
            const int d = LowestBit(below);
            if (m_expired && m_expired()) return CFastOutcome::kExpired;
            ++m_tests;
            CEngineSearch search;
            search.limit = 1;
            search.solutions = &pool[poolSize == 3 ? 2 : poolSize];
            search.expired = m_expired;
            // First in an order like Search's own, so that the solution found tends to
            // agree with the levels still to come and spares their tests; past a few
            // guesses in that order, the engine's strongest order decides.
            search.order = CBranchOrder::kFirstCell;
            search.guessBudget = kOrderedGuessBudget;
            band_engine::Search(state, search, cell, d);
            m_guesses += search.guesses;
            if (search.budgetSpent) {
                search.order = CBranchOrder::kFewestConfigurations;
                search.guessBudget = INT64_MAX;
                band_engine::Search(state, search, cell, d);
                m_guesses += search.guesses;
            }
            if (search.aborted) return CFastOutcome::kExpired;
            if (search.found) {
                if (poolSize < 3) ++poolSize;
                chosen = d;
                break;
            }
        }

        Set(cell, chosen);
        synced = false;
        // Keep only the witnesses that agree with the digit just placed.
        int kept = 0;
        for (int i = 0; i < poolSize; ++i) {
            if (pool[i][cell] == chosen) pool[kept++] = pool[i];
        }
        poolSize = kept;
    }
}

}  // namespace VELMO_ISA
