// Where each digit can still go in each unit of a candidate grid, kept up to date along a
// path, and the checks of a grid that break a rule.
//
// u is a unit (grid.h's numbering), i a cell's place in its unit, d a digit.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>

#include "bits.h"

namespace logic {

// Bit i of pos[u][d] is set while digit d is a candidate of kUnitCells[u][i]; placed[u] has
// bit d set once d is placed in u.
struct CUnitPositions {
    std::array<std::array<uint16_t, 10>, kUnitCount> pos{};
    std::array<uint16_t, kUnitCount> placed{};
    // For Broken, counted as the cells go by, where each cell's value is read anyway.
    int placedCells = 0;
    bool cellWithout = false;  // an empty cell without a candidate

    explicit CUnitPositions(const CCandidateGrid& grid);

    // Brings these, built for `before`, up to `grid` from the cells that differ. False, and
    // these left unusable, where only building them again can: a placed digit taken back, or
    // an empty cell without a candidate in `before`.
    bool Update(const CCandidateGrid& before, const CCandidateGrid& grid);

    // IsBroken(grid), for the grid these were built from, read from the positions.
    bool Broken() const;
};

// The cells where each digit is a candidate, from the rows' positions.
std::array<CCells, 10> DigitCandidates(const CUnitPositions& up);

// Whether `grid` breaks a rule already: a cell without candidates, a unit where a digit
// has neither a place nor a candidate left, or a digit placed twice in a unit.
bool IsBroken(const CCandidateGrid& grid);

// Whether cells `first` to first + 7 of two grids hold the same values and candidates,
// compared as words; false where fewer than eight cells are left from `first`.
inline bool SameEight(const CCandidateGrid& a, const CCandidateGrid& b, int first) {
    if (first + 8 > kCellCount) return false;
    uint64_t valuesA, valuesB, masksA[2], masksB[2];
    std::memcpy(&valuesA, &a.values[first], sizeof(valuesA));
    std::memcpy(&valuesB, &b.values[first], sizeof(valuesB));
    std::memcpy(masksA, &a.masks[first], sizeof(masksA));
    std::memcpy(masksB, &b.masks[first], sizeof(masksB));
    return valuesA == valuesB && masksA[0] == masksB[0] && masksA[1] == masksB[1];
}

// Calls `f(cell)` for each cell whose value or candidates differ between `before` and
// `grid`, in order, until it returns false; false then, else true. Eight cells are
// compared at a time, since along the path most are as they were.
template <typename F>
bool ForEachChangedCell(const CCandidateGrid& before, const CCandidateGrid& grid, F&& f) {
    for (int first = 0; first < kCellCount; first += 8) {
        if (SameEight(before, grid, first)) continue;
        for (int cell = first; cell < std::min(first + 8, kCellCount); ++cell) {
            if ((grid.masks[cell] != before.masks[cell] ||
                 grid.values[cell] != before.values[cell]) &&
                !f(cell)) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace logic
