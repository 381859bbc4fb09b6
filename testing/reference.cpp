// The references: Search itself, and a count and a walk on masks of the grid's units and
// CountCandidates; nothing of the engine.
#include "reference.h"

#include <array>
#include <bit>

namespace {

// A clock that stands still for `maxLevels` readings, one a level of Search, and then
// jumps past the time limit, which stops the search.
class CLevelBudget final : public CSolverPlatform {
  public:
    explicit CLevelBudget(int64_t maxLevels) : m_readingsLeft(maxLevels) {}
    uint32_t TickCount() override {
        return --m_readingsLeft < 0 ? uint32_t(kSearchTimeLimitMs) + 1 : 0;
    }
    void QuestionBeep() override {}
    bool AskYesNo(std::string_view) override { return false; }

  private:
    int64_t m_readingsLeft;
};

// Plain backtracking over a grid, counting levels against a budget. Each level scans the
// cells for the first with the fewest candidates, as Search does, but reads them from
// masks of the digits in each row, column and box kept as digits are placed: several
// times faster than CountCandidates, which the fuzz checks need.
class CBacktracker {
  public:
    explicit CBacktracker(int64_t maxLevels) : m_levelsLeft(maxLevels) {}

    // Solutions below `grid` (givens consistent) up to `limit`, or nothing when the budget
    // ran out.
    std::optional<int> Count(const PuzzleGrid& grid, int limit) {
        m_grid = grid;
        m_rows = m_columns = m_boxes = {};
        for (int cell = 0; cell < kCellCount; ++cell) {
            if (m_grid[cell] != 0) Mark(cell, m_grid[cell]);
        }
        int found = 0;
        if (!Descend(limit, found)) return std::nullopt;
        return found;
    }

  private:
    unsigned Candidates(int cell) const {
        const CCellUnits& u = kCellUnits[cell];
        return ~(m_rows[u.row] | m_columns[u.column - kGridSize] | m_boxes[u.box - 2 * kGridSize]) &
               kAllDigits;
    }
    void Mark(int cell, int d) {
        const CCellUnits& u = kCellUnits[cell];
        m_rows[u.row] ^= 1u << d;
        m_columns[u.column - kGridSize] ^= 1u << d;
        m_boxes[u.box - 2 * kGridSize] ^= 1u << d;
    }

    // False when the budget ran out; stops once `found` reaches `limit`.
    bool Descend(int limit, int& found) {
        if (--m_levelsLeft < 0) return false;
        int chosen = -1, best = kGridSize + 1;
        unsigned digits = 0;
        for (int cell = 0; cell < kCellCount; ++cell) {
            if (m_grid[cell] != 0) continue;
            const unsigned candidates = Candidates(cell);
            const int count = std::popcount(candidates);
            if (count == 0) return true;
            if (count < best) best = count, chosen = cell, digits = candidates;
        }
        if (chosen < 0) {
            ++found;
            return true;
        }
        for (int d = 1; d <= kGridSize && found < limit; ++d) {
            if (!(digits & (1u << d))) continue;
            m_grid[chosen] = uint8_t(d);
            Mark(chosen, d);
            const bool finished = Descend(limit, found);
            Mark(chosen, d);
            m_grid[chosen] = 0;
            if (!finished) return false;
        }
        return true;
    }

    int64_t m_levelsLeft;
    PuzzleGrid m_grid{};
    std::array<unsigned, kGridSize> m_rows{}, m_columns{}, m_boxes{};  // bit d: d is there
};

}  // namespace

std::optional<CReferenceAnswer> PlainSearch(const PuzzleGrid& grid, int64_t maxLevels) {
    CLevelBudget budget(maxLevels);
    CGridSolver solver(budget);
    solver.m_grid = grid;
    const int outcome = solver.Search(0);
    if (outcome == SEARCH_TIMED_OUT) return std::nullopt;
    return CReferenceAnswer{outcome == SEARCH_SOLVED, solver.m_grid};
}

std::optional<int> CountByBacktracking(const PuzzleGrid& grid, int64_t maxLevels) {
    return CBacktracker(maxLevels).Count(grid, 2);
}

int SearchChoice(const PuzzleGrid& grid, CandidateSet& digits) {
    int chosen = -1, best = kGridSize + 1;
    CandidateSet set;
    for (int cell = 0; cell < kCellCount && best > 1; ++cell) {
        if (grid[cell] != 0) continue;
        const int count = CountCandidates(grid.data(), cell / kGridSize, cell % kGridSize, set);
        if (count < best) best = count, chosen = cell, digits = set;
    }
    return chosen;
}

std::optional<CReferenceAnswer> WalkToFirstSolution(const PuzzleGrid& grid, int64_t maxLevels) {
    CBacktracker tests(maxLevels);
    const std::optional<int> solvable = tests.Count(grid, 1);
    if (!solvable) return std::nullopt;
    if (*solvable == 0) return CReferenceAnswer{};
    PuzzleGrid walked = grid;
    for (;;) {
        CandidateSet digits;
        const int chosen = SearchChoice(walked, digits);
        if (chosen < 0) return CReferenceAnswer{true, walked};
        bool placed = false;
        for (int d = 1; d <= kGridSize && !placed; ++d) {
            if (!digits.flags[d]) continue;
            walked[chosen] = uint8_t(d);
            const std::optional<int> found = tests.Count(walked, 1);
            if (!found) return std::nullopt;
            placed = *found > 0;
        }
        // A solvable grid keeps a solvable branch; anything else is a fault of this walk.
        if (!placed) return std::nullopt;
    }
}
