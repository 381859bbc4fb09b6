// The solve request, the consistency check and the fewest-candidates search.
//
// Search, the reference, keeps no state besides the grid: every level scans the grid from
// the first cell for the empty cell with the fewest candidates (stopping early at a cell
// with one or none), tries that cell's digits in ascending order and recurses. Its order
// decides which solution a grid with several yields, so that order is the definition of
// Solve's answer. Solve reaches the same answer faster, by this argument:
//
//   - Every solution of a grid is a leaf of Search's tree (each level's chosen cell takes
//     all its candidates, and a solution's digit there is one of them), and every leaf it
//     reaches is a solution. So Search succeeds exactly when the grid has a solution, and
//     then returns the first solution in its order.
//   - No solution: Search fails, and so does Solve.
//   - Exactly one: the first solution is the only one, whichever engine finds it, so the
//     solution counter's answer is Search's.
//   - Several: COrderedSearch runs Search's own rule on incremental masks, visiting the
//     same levels in the same order, so its first solution is Search's. Past a node budget
//     it descends instead: at each level the chosen cell takes the smallest digit whose
//     branch the counter finds solvable. Branches before it hold no solution, so Search
//     would leave them empty-handed, and the first solution lies in that branch.
//
// The fast path checks the time limit on entry and every few hundred guesses or levels,
// so a request is still bounded by the minute and asks the same question when it is hit.
// Differential tests compare Solve with Search on thousands of grids of each kind.
#include "grid_solver.h"

#include <algorithm>

#include "ordered_search.h"
#include "solution_counter.h"

namespace {

// Nine cell indices per unit: rows, then columns, then boxes band by band, each box in
// row-major order.
constexpr std::array<std::array<uint8_t, 9>, 27> MakeUnits() {
    std::array<std::array<uint8_t, 9>, 27> units{};
    for (int i = 0; i < 9; ++i) {
        for (int j = 0; j < 9; ++j) {
            units[i][j] = static_cast<uint8_t>(9 * i + j);
            units[9 + i][j] = static_cast<uint8_t>(9 * j + i);
            units[18 + i][j] =
                static_cast<uint8_t>(9 * (3 * (i / 3) + j / 3) + 3 * (i % 3) + j % 3);
        }
    }
    return units;
}

constexpr auto kUnits = MakeUnits();

bool HasValueAboveNine(const uint8_t* grid) {
    return std::any_of(grid, grid + kCellCount, [](uint8_t v) { return v > 9; });
}

// IsConsistent for a grid of digits only: one mask per unit finds a repeat in a single pass
// over the cells, where comparing pairs costs up to 972 comparisons on every solve.
bool DigitsAreConsistent(const uint8_t* grid) {
    uint16_t seen[27] = {};
    for (int cell = 0; cell < kCellCount; ++cell) {
        if (grid[cell] == 0) continue;
        const uint16_t bit = uint16_t(1u << grid[cell]);
        const int r = cell / 9, c = cell % 9;
        uint16_t& row = seen[r];
        uint16_t& column = seen[9 + c];
        uint16_t& box = seen[18 + 3 * (r / 3) + c / 3];
        if ((row | column | box) & bit) return false;
        row |= bit, column |= bit, box |= bit;
    }
    return true;
}

}  // namespace

int IsConsistent(const uint8_t* grid) {
    if (!HasValueAboveNine(grid)) return DigitsAreConsistent(grid) ? 1 : 0;
    for (const auto& unit : kUnits) {
        for (int i = 0; i < 8; ++i) {
            const uint8_t value = grid[unit[i]];
            if (value == 0) continue;
            for (int j = i + 1; j < 9; ++j) {
                if (grid[unit[j]] == value) return 0;
            }
        }
    }
    return 1;
}

int CountCandidates(const uint8_t* grid, int row, int column, CandidateSet& set) {
    std::fill(std::begin(set.flags), std::end(set.flags), uint8_t{1});
    const int boxRow = 3 * (row / 3);
    const int boxColumn = 3 * (column / 3);
    for (int i = 0; i < 9; ++i) {
        set.flags[grid[9 * row + i]] = 0;
        set.flags[grid[9 * i + column]] = 0;
        set.flags[grid[9 * (boxRow + i / 3) + boxColumn + i % 3]] = 0;
    }
    int count = 0;
    for (int d = 1; d <= 9; ++d) count += set.flags[d];
    return count;
}

CSolutionCount CountSolutions(const uint8_t* grid) {
    CSolutionCount result;
    if (HasValueAboveNine(grid) || !DigitsAreConsistent(grid)) return result;
    CSolutionCounter counter;
    result.count = counter.Count(grid, 2, result.solutions[0].data(), result.solutions[1].data());
    return result;
}

bool CGridSolver::TimeLimitPassed(uint32_t start) const {
    // The difference of two wrapping readings, read as signed, survives the counter
    // passing 2^32 mid-search.
    return m_timeLimitEnabled &&
           static_cast<int32_t>(m_platform->TickCount() - start) > kSearchTimeLimitMs;
}

int CGridSolver::Search(uint32_t start) {
    if (TimeLimitPassed(start)) return SEARCH_TIMED_OUT;

    CandidateSet set;
    int best = 10;
    int chosen = -1;
    for (int cell = 0; cell < kCellCount; ++cell) {
        if (m_grid[cell] != 0) continue;
        const int count = CountCandidates(m_grid.data(), cell / 9, cell % 9, set);
        if (count == 0) return SEARCH_EXHAUSTED;
        if (count < best) {
            best = count;
            chosen = cell;
            if (count == 1) break;
        }
    }
    if (chosen < 0) return SEARCH_SOLVED;

    CountCandidates(m_grid.data(), chosen / 9, chosen % 9, set);
    for (int d = 1; d <= 9; ++d) {
        if (!set.flags[d]) continue;
        m_grid[chosen] = static_cast<uint8_t>(d);
        const int outcome = Search(start);
        if (outcome != SEARCH_EXHAUSTED) return outcome;
    }
    m_grid[chosen] = 0;
    return SEARCH_EXHAUSTED;
}

int CGridSolver::FastSearch(uint32_t start) {
    if (TimeLimitPassed(start)) return SEARCH_TIMED_OUT;
    const auto expired = [this, start] { return TimeLimitPassed(start); };

    // With most cells given, the search in its own order seldom backtracks far (on the
    // shared list of such grids: 48 levels at the median, 99% within 150), and it is then
    // cheaper than counting first. Its answer is by definition the right one; past the
    // budget the grid is as it was and the counting path below takes over.
    constexpr int kDenseEmptyCells = 50;
    constexpr int64_t kDenseBudget = 256;
    COrderedSearch ordered;
    ordered.m_expired = expired;
    if (std::count(m_grid.begin(), m_grid.end(), 0) <= kDenseEmptyCells) {
        const COrderedSearch::Outcome outcome = ordered.Run(m_grid.data(), kDenseBudget);
        if (outcome != COrderedSearch::kOverBudget) return outcome;
    }

    CSolutionCounter counter;
    counter.m_expired = expired;
    PuzzleGrid solution;
    const int count = counter.Count(m_grid.data(), 2, solution.data());
    if (count < 0) return SEARCH_TIMED_OUT;
    if (count == 0) return SEARCH_EXHAUSTED;
    if (count == 1) {
        m_grid = solution;
        return SEARCH_SOLVED;
    }

    // Several solutions: the search order decides. Most such grids are easy, and the
    // ordered search itself is then the quickest way to the answer; the budget bounds what
    // it may spend in dead branches before the guided descent takes over.
    constexpr int64_t kOrderedSearchBudget = 2000;
    const COrderedSearch::Outcome outcome = ordered.Run(m_grid.data(), kOrderedSearchBudget);
    if (outcome != COrderedSearch::kOverBudget) return outcome;
    return ordered.Descend(m_grid.data(), counter);
}

int CGridSolver::Solve(uint8_t* buffer, int count) {
    if (count != kCellCount) return 0;
    std::copy_n(buffer, kCellCount, m_grid.begin());
    // A value above 9 would index past the candidate flags, so such a grid never searches.
    if (HasValueAboveNine(m_grid.data()) || !DigitsAreConsistent(m_grid.data())) return 0;

    const uint32_t start = m_platform->TickCount();
    if (FastSearch(start) == SEARCH_TIMED_OUT) {
        m_platform->QuestionBeep();
        if (m_platform->AskYesNo(kContinueQuestion)) {
            // Start over without a limit rather than resume: the rerun reads the caller's
            // unchanged input afresh and leaves its result in m_grid.
            m_timeLimitEnabled = 0;
            Solve(buffer, kCellCount);
        }
    }
    m_timeLimitEnabled = 1;

    if (std::find(m_grid.begin(), m_grid.end(), 0) != m_grid.end()) return 0;
    std::copy(m_grid.begin(), m_grid.end(), buffer);
    return 1;
}
