// The solve request, the consistency check and the fewest-candidates search.
//
// Search, the reference, keeps no state besides the grid: every level scans the grid from
// the first cell for the empty cell with the fewest candidates (stopping early at a cell
// with one or none), tries that cell's digits in ascending order and recurses. Its order
// decides which solution a grid with several yields, so that order is the definition of
// Solve's answer. Solve reaches the same answer in microseconds, by this argument:
//
//   - Every solution of a grid is a leaf of Search's tree (each level's chosen cell takes
//     all its candidates, and a solution's digit there is one of them), and every leaf it
//     reaches is a solution. So Search succeeds exactly when the grid has a solution, and
//     then returns the first solution in its order.
//   - The band engine (band_engine.h) counts the solutions up to two. None: Search
//     fails, and so does Solve. Exactly one: it is the first, whichever engine finds it.
//   - Several, or fewer than 17 givens (never a single solution), or a count that takes
//     long on a grid of few givens: COrderedSearch runs Search's own order and rule, and
//     cuts off a level only when the engine has proved that none of its branches left
//     holds a solution, where Search would have walked them all in vain. So its first
//     solution is Search's, and when it walks the whole tree without one, Search fails.
//
// The engine (engine.h: the two together) is built once per instruction set. The band
// engine asks the clock at its first guess and every 256th, the search in its own order every 64
// levels, so a request is still bounded by the minute and asks the same question when it is hit.
// Differential tests compare Solve with Search, and with an independent walk of the same
// order, on thousands of grids of each kind.
#include "grid_solver.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "engine.h"

namespace {

bool HasValueAboveNine(const uint8_t* grid) {
    // Eight cells at a time, without a branch a cell (see NonZeroCells): adding 0x76 sets
    // a byte's top bit from 10 up, and a byte that carries into the next has its own top
    // bit set.
    constexpr uint64_t kAddTen = 0x7676767676767676, kTops = 0x8080808080808080;
    uint64_t tops = 0;
    for (int cell = 0; cell + 8 <= kCellCount; cell += 8) {
        uint64_t word;
        std::memcpy(&word, grid + cell, sizeof word);
        tops |= (word + kAddTen) | word;
    }
    return (tops & kTops) != 0 || grid[kCellCount - 1] > kGridSize;
}

// IsConsistent for a grid of cells 0-9.
bool DigitsConsistent(const uint8_t* grid) {
    // One pass over the givens with a mask of the digits each unit has seen, instead of
    // comparing 36 pairs per unit.
    uint16_t seen[kUnitCount] = {};
    const std::array<uint64_t, 2> givens = NonZeroCells(grid);
    for (int half = 0; half < 2; ++half) {
        for (uint64_t rest = givens[half]; rest; rest &= rest - 1) {
            const int cell = 64 * half + std::countr_zero(rest);
            const uint16_t bit = uint16_t(1u << grid[cell]);
            const CCellUnits& u = kCellUnits[cell];
            if ((seen[u.row] | seen[u.column] | seen[u.box]) & bit) return false;
            seen[u.row] |= bit, seen[u.column] |= bit, seen[u.box] |= bit;
        }
    }
    return true;
}

}  // namespace

int IsConsistent(const uint8_t* grid) {
    // Any byte value can repeat once one is above 9: a 256-bit set per unit then.
    if (!HasValueAboveNine(grid)) return DigitsConsistent(grid);
    for (const auto& unit : kUnitCells) {
        uint64_t seen[4] = {};
        for (uint8_t cell : unit) {
            const uint8_t value = grid[cell];
            if (value == 0) continue;
            const uint64_t bit = uint64_t{1} << (value % 64);
            if (seen[value / 64] & bit) return 0;
            seen[value / 64] |= bit;
        }
    }
    return 1;
}

CSolutionCount CountSolutions(const uint8_t* grid) {
    return *CountSolutionsWithin(grid, INT64_MAX);
}

std::optional<CSolutionCount> CountSolutionsWithin(const uint8_t* grid, int64_t maxGuesses) {
    if (HasValueAboveNine(grid)) return CSolutionCount{};
    return BestEngine().count(grid, maxGuesses, nullptr);
}

int CountCandidates(const uint8_t* grid, int row, int column, CandidateSet& set) {
    std::fill(std::begin(set.flags), std::end(set.flags), uint8_t{1});
    const int boxRow = kBoxSize * (row / kBoxSize);
    const int boxColumn = kBoxSize * (column / kBoxSize);
    for (int i = 0; i < kGridSize; ++i) {
        set.flags[grid[kGridSize * row + i]] = 0;
        set.flags[grid[kGridSize * i + column]] = 0;
        set.flags[grid[kGridSize * (boxRow + i / kBoxSize) + boxColumn + i % kBoxSize]] = 0;
    }
    int count = 0;
    for (int d = 1; d <= kGridSize; ++d) count += set.flags[d];
    return count;
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
    constexpr int kAboveAnyCount = kGridSize + 1;
    int best = kAboveAnyCount;
    int chosen = -1;
    for (int cell = 0; cell < kCellCount; ++cell) {
        if (m_grid[cell] != 0) continue;
        const int count = CountCandidates(m_grid.data(), cell / kGridSize, cell % kGridSize, set);
        if (count == 0) return SEARCH_EXHAUSTED;
        if (count < best) {
            best = count;
            chosen = cell;
            if (count == 1) break;
        }
    }
    if (chosen < 0) return SEARCH_SOLVED;

    CountCandidates(m_grid.data(), chosen / kGridSize, chosen % kGridSize, set);
    for (int d = 1; d <= kGridSize; ++d) {
        if (!set.flags[d]) continue;
        m_grid[chosen] = static_cast<uint8_t>(d);
        const int outcome = Search(start);
        if (outcome != SEARCH_EXHAUSTED) return outcome;
    }
    m_grid[chosen] = 0;
    return SEARCH_EXHAUSTED;
}

int CGridSolver::RunEngine(uint32_t start) {
    if (TimeLimitPassed(start)) return SEARCH_TIMED_OUT;
    struct CRequest {
        const CGridSolver* solver;
        uint32_t start;
    } const request{this, start};
    const CExpiry expiry{[](const void* context) {
                             const CRequest& c = *static_cast<const CRequest*>(context);
                             return c.solver->TimeLimitPassed(c.start);
                         },
                         &request};
    switch (BestEngine().solve(m_grid.data(), expiry, nullptr)) {
        case CEngineOutcome::kSolved:
            return SEARCH_SOLVED;
        case CEngineOutcome::kExpired:
            return SEARCH_TIMED_OUT;
        case CEngineOutcome::kNoSolution:
            break;
    }
    return SEARCH_EXHAUSTED;
}

int CGridSolver::Solve(uint8_t* buffer, int count) {
    if (count != kCellCount) return 0;
    std::copy_n(buffer, kCellCount, m_grid.begin());
    // A value above 9 would index past the candidate flags, so such a grid never searches.
    if (HasValueAboveNine(m_grid.data()) || !DigitsConsistent(m_grid.data())) return 0;

    const uint32_t start = m_platform->TickCount();
    if (RunEngine(start) == SEARCH_TIMED_OUT) {
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
