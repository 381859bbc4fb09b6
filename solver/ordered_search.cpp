// The search in its own order, and how the engine keeps it fast.
//
// CGridSolver::Search's answer is its first solution: at each level the cell its rule
// chooses takes its digits in ascending order, and a branch with no solution is walked to
// its end before the next digit is tried. On most grids that is quick, a level or so per
// empty cell, because most dead branches die within a few levels. Its only weakness is a
// dead branch that takes it long to exhaust. So the search runs as written, on masks of
// the digits in each unit, and once the dead branches of a level have taken it more than
// kPruneAfterLevels levels, the engine tests the grid of that level for a solution; with
// none, the level is given up at once, exactly as the search would have left it empty-
// handed after walking every branch. The answer is therefore the search's own.
//
// Bound: each level tests at most once. Before a dead level of height h (cells left)
// tests, its dead branches took at most kPruneAfterLevels levels, plus the one branch
// during which the count passed it, itself dead and of height h - 1; so a dead branch of
// height h costs at most (kPruneAfterLevels + 1) * h levels and h engine tests, at most
// 33 * 81 levels and 81 tests. The path to the first solution has at most 81 levels with
// at most 8 dead branches each. Measured, the hill-climbed grids of hostile-hunt need at
// most a few dozen tests.
//
// The scan of Search is kept exactly (first cell in row-major order with the fewest
// candidates, stopping at a single), on masks of the digits in each unit instead of
// recounting 27 cells per candidate count.
#include "ordered_search.h"

namespace VELMO_ISA {

// Dead levels a level may spend before the engine tests it. In instructions a grid, on
// hill-climbed grids / random sparse ones / clue-removed 17-clue puzzles: 8: 390 k /
// 76 k / 139 k; 16: 383 k / 75 k / 139 k; 32: 380 k / 74 k / 141 k; 64: 391 k / 74 k /
// 146 k; 512: 505 k / 79 k / 202 k.
constexpr int64_t kPruneAfterLevels = 32;

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

    const int64_t start = m_levels;
    bool tested = !m_pruning;
    const int depth = m_depth++;
    m_path[depth] = uint8_t(cell);
    for (; digits; digits &= digits - 1) {
        const int d = LowestBit(digits);
        Set(cell, d);
        const std::optional<CFastOutcome> outcome = Step();
        if (outcome != CFastOutcome::kNoSolution) {
            // Solved or expired, the grid stays as it is; over budget, it is restored.
            m_depth = depth;
            if (!outcome) Clear(cell, d);
            return outcome;
        }
        Clear(cell, d);
        // The engine's positions below this level no longer match the path.
        for (; m_deepestKnown > depth; --m_deepestKnown) m_known[m_deepestKnown] = false;
        if (!tested && m_levels - start > kPruneAfterLevels && (digits & (digits - 1))) {
            // This level's branches so far were dead and took the search long: the engine
            // decides whether any branch left holds a solution before they are walked too.
            tested = true;
            m_depth = depth;
            const std::optional<bool> solvable = HasSolution();
            m_depth = depth + 1;
            if (!solvable || !*solvable) {
                m_depth = depth;
                return solvable ? CFastOutcome::kNoSolution : CFastOutcome::kExpired;
            }
        }
    }
    m_depth = depth;
    return CFastOutcome::kNoSolution;
}

std::optional<bool> COrderedSearch::HasSolution() {
    ++m_tests;
    // The position of the path so far, from the deepest one known on it: consecutive tests
    // share most of their path, so this places a few digits instead of the whole path.
    if (!m_known[m_depth]) {
        int base = std::min(m_depth, m_deepestKnown);
        while (!m_known[base]) --base;
        m_positions[m_depth] = m_positions[base];
        m_dead[m_depth] = m_dead[base] || !band_engine::Place(m_positions[m_depth], m_grid,
                                                              m_path + base, m_depth - base);
        m_known[m_depth] = true;
        m_deepestKnown = std::max(m_deepestKnown, m_depth);
    }
    if (m_dead[m_depth]) return false;
    CEngineSearch search;
    search.limit = 1;
    search.expired = m_expired;
    band_engine::Search(m_positions[m_depth], search);
    m_guesses += search.guesses;
    if (search.aborted) return std::nullopt;
    return search.found > 0;
}

CFastOutcome COrderedSearch::RunPruned(uint8_t* grid, const CBandState& root) {
    m_pruning = true;
    m_positions[0] = root;
    m_dead[0] = false;
    std::fill(std::begin(m_known), std::end(m_known), false);
    m_known[0] = true;
    m_deepestKnown = 0;
    const std::optional<CFastOutcome> outcome = Run(grid, INT64_MAX);
    m_pruning = false;
    return outcome.value_or(CFastOutcome::kExpired);
}

std::optional<CFastOutcome> COrderedSearch::Run(uint8_t* grid, int64_t levelBudget) {
    Load(grid);
    m_budget = levelBudget;
    m_depth = 0;
    return Step();
}

}  // namespace VELMO_ISA
