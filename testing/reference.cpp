// The references: Search itself, and a count and a walk on CountCandidates and the grid;
// nothing of the engine.
#include "reference.h"

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

// Plain backtracking over a grid, counting levels against a budget.
class CBacktracker {
  public:
    explicit CBacktracker(int64_t maxLevels) : m_levelsLeft(maxLevels) {}

    // Solutions below `grid` up to `limit`, or nothing when the budget ran out. `grid` is
    // as it was afterwards.
    std::optional<int> Count(PuzzleGrid& grid, int limit) {
        int found = 0;
        if (!Descend(grid, limit, found)) return std::nullopt;
        return found;
    }

  private:
    // False when the budget ran out; stops once `found` reaches `limit`.
    bool Descend(PuzzleGrid& grid, int limit, int& found) {
        if (--m_levelsLeft < 0) return false;
        int chosen = -1, best = kGridSize + 1;
        CandidateSet set;
        for (int cell = 0; cell < kCellCount; ++cell) {
            if (grid[cell] != 0) continue;
            const int count = CountCandidates(grid.data(), cell / kGridSize, cell % kGridSize, set);
            if (count == 0) return true;
            if (count < best) best = count, chosen = cell;
        }
        if (chosen < 0) {
            ++found;
            return true;
        }
        CountCandidates(grid.data(), chosen / kGridSize, chosen % kGridSize, set);
        for (int d = 1; d <= kGridSize && found < limit; ++d) {
            if (!set.flags[d]) continue;
            grid[chosen] = uint8_t(d);
            const bool finished = Descend(grid, limit, found);
            grid[chosen] = 0;
            if (!finished) return false;
        }
        return true;
    }

    int64_t m_levelsLeft;
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
    PuzzleGrid work = grid;
    return CBacktracker(maxLevels).Count(work, 2);
}

std::optional<CReferenceAnswer> WalkToFirstSolution(const PuzzleGrid& grid, int64_t maxLevels) {
    CBacktracker tests(maxLevels);
    PuzzleGrid walked = grid;
    const std::optional<int> solvable = tests.Count(walked, 1);
    if (!solvable) return std::nullopt;
    if (*solvable == 0) return CReferenceAnswer{};
    for (;;) {
        // Search's choice: the first cell in row-major order with the fewest candidates,
        // stopping at one with a single candidate.
        int chosen = -1, best = kGridSize + 1;
        CandidateSet set;
        for (int cell = 0; cell < kCellCount && best > 1; ++cell) {
            if (walked[cell] != 0) continue;
            const int count =
                CountCandidates(walked.data(), cell / kGridSize, cell % kGridSize, set);
            if (count < best) best = count, chosen = cell;
        }
        if (chosen < 0) return CReferenceAnswer{true, walked};
        CountCandidates(walked.data(), chosen / kGridSize, chosen % kGridSize, set);
        bool placed = false;
        for (int d = 1; d <= kGridSize && !placed; ++d) {
            if (!set.flags[d]) continue;
            walked[chosen] = uint8_t(d);
            const std::optional<int> found = tests.Count(walked, 1);
            if (!found) return std::nullopt;
            placed = *found > 0;
        }
        // A solvable grid keeps a solvable branch; anything else is a fault of this walk.
        if (!placed) return std::nullopt;
    }
}
