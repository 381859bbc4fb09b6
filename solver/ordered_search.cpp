// The fewest-candidates search, incrementally.
//
// Search rescans the grid and recounts 27 cells per candidate count. Here each row, column
// and box keeps a mask of its digits, so a cell's candidates are three loads and a NOT,
// and the scan visits only empty cells through a bitmap. The scan, its early stop at a
// single candidate and its tie rule are unchanged, so the order of levels and digits is
// exactly that of Search.
#include "ordered_search.h"

#include <array>

namespace {

constexpr unsigned kAllDigits = 0x3FE;  // bits 1-9

struct CCellUnits {
    uint8_t row, column, box;
};

constexpr std::array<CCellUnits, kCellCount> MakeCellUnits() {
    std::array<CCellUnits, kCellCount> table{};
    for (int cell = 0; cell < kCellCount; ++cell) {
        const int r = cell / 9, c = cell % 9;
        table[cell] = {uint8_t(r), uint8_t(9 + c), uint8_t(18 + 3 * (r / 3) + c / 3)};
    }
    return table;
}

constexpr auto kCellUnits = MakeCellUnits();

// Candidates in a digit mask (bits 1-9), from a table: no popcount instruction is assumed.
constexpr std::array<uint8_t, 1024> MakeDigitCount() {
    std::array<uint8_t, 1024> table{};
    for (unsigned mask = 0; mask < 1024; ++mask) {
        for (unsigned rest = mask & kAllDigits; rest; rest &= rest - 1) ++table[mask];
    }
    return table;
}

constexpr auto kDigitCount = MakeDigitCount();

}  // namespace

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
            const int candidate = 64 * word + __builtin_ctzll(empty);
            const CCellUnits& u = kCellUnits[candidate];
            const unsigned mask = ~(m_used[u.row] | m_used[u.column] | m_used[u.box]) & kAllDigits;
            const int count = kDigitCount[mask];
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

COrderedSearch::Outcome COrderedSearch::Step() {
    if (++m_nodes > m_budget) return kOverBudget;
    // The clock is asked every 64 levels rather than at each: reading it would cost more
    // than the level itself.
    if ((m_nodes & 63) == 1 && m_expired && m_expired()) return kExpired;

    int cell = -1;
    unsigned digits = 0;
    const int selected = Select(cell, digits);
    if (selected < 0) return kExhausted;
    if (selected == 0) return kSolved;

    for (; digits; digits &= digits - 1) {
        const int d = __builtin_ctz(digits);
        Set(cell, d);
        const Outcome outcome = Step();
        if (outcome == kSolved || outcome == kExpired) return outcome;
        Clear(cell, d);
        if (outcome == kOverBudget) return outcome;
    }
    return kExhausted;
}

COrderedSearch::Outcome COrderedSearch::Run(uint8_t* grid, int64_t nodeBudget) {
    Load(grid);
    m_nodes = 0;
    m_budget = nodeBudget;
    return Step();
}

COrderedSearch::Outcome COrderedSearch::Descend(uint8_t* grid, CSolutionCounter& counter) {
    Load(grid);
    PuzzleGrid solution;
    for (;;) {
        int cell = -1;
        unsigned digits = 0;
        const int selected = Select(cell, digits);
        if (selected == 0) return kSolved;
        // Every level entered has two solutions or more, so the choice has candidates and
        // one of them leads on; anything else would be a counting fault, reported as no
        // solution rather than looped on.
        bool descended = false;
        for (; selected > 0 && digits && !descended; digits &= digits - 1) {
            const int d = __builtin_ctz(digits);
            Set(cell, d);
            const int count = counter.Count(grid, 2, solution.data());
            if (count < 0) return kExpired;
            if (count == 1) {
                // The branch's only solution is necessarily its first.
                std::copy(solution.begin(), solution.end(), grid);
                return kSolved;
            }
            descended = count >= 2;
            if (!descended) Clear(cell, d);
        }
        if (!descended) return kExhausted;
    }
}
