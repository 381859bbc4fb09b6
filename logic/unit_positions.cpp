// The positions of the digits in the units, built from a grid or brought up to date from the
// cells that changed, and the checks of a broken grid.
#include "unit_positions.h"

namespace logic {

// Each cell once for its three units, with its box and place there by table: the nested
// chains build these for every grid they assume.
CUnitPositions::CUnitPositions(const CCandidateGrid& grid) {
    static constexpr std::array<std::array<uint8_t, 2>, kCellCount> kBoxPlace = [] {
        std::array<std::array<uint8_t, 2>, kCellCount> table{};
        for (int cell = 0; cell < kCellCount; ++cell) {
            const int r = cell / 9, c = cell % 9;
            table[cell] = {uint8_t(18 + 3 * (r / 3) + c / 3), uint8_t(3 * (r % 3) + c % 3)};
        }
        return table;
    }();
    for (int cell = 0; cell < kCellCount; ++cell) {
        const int r = cell / 9, c = cell % 9;
        const int box = kBoxPlace[cell][0], inBox = kBoxPlace[cell][1];
        if (grid.values[cell] != 0) {
            const auto bit = uint16_t(1u << grid.values[cell]);
            placed[r] |= bit;
            placed[9 + c] |= bit;
            placed[box] |= bit;
            ++placedCells;
        } else if (grid.masks[cell] == 0) {
            cellWithout = true;
        }
        for (unsigned bits = grid.masks[cell]; bits != 0; bits &= bits - 1) {
            const int d = std::countr_zero(bits);
            pos[r][d] |= uint16_t(1u << c);
            pos[9 + c][d] |= uint16_t(1u << r);
            pos[box][d] |= uint16_t(1u << inBox);
        }
    }
}

bool CUnitPositions::Update(const CCandidateGrid& before, const CCandidateGrid& grid) {
    if (cellWithout) return false;
    auto apply = [&](int cell) {
        const int v0 = before.values[cell], v1 = grid.values[cell];
        const unsigned m0 = before.masks[cell], m1 = grid.masks[cell];
        const int r = cell / 9, c = cell % 9;
        const CCellUnits& units = kCellUnits[cell];
        const int inBox = 3 * (r % 3) + c % 3;
        if (v0 != v1) {
            if (v0 != 0) return false;
            const auto bit = uint16_t(1u << v1);
            placed[r] |= bit;
            placed[9 + c] |= bit;
            placed[units.box] |= bit;
            ++placedCells;
        }
        if (v1 == 0 && m1 == 0) cellWithout = true;
        for (unsigned bits = m0 ^ m1; bits != 0; bits &= bits - 1) {
            const int d = std::countr_zero(bits);
            pos[r][d] ^= uint16_t(1u << c);
            pos[9 + c][d] ^= uint16_t(1u << r);
            pos[units.box][d] ^= uint16_t(1u << inBox);
        }
        return true;
    };
    return ForEachChangedCell(before, grid, apply);
}

// Each placed cell puts its digit in three units, so the units' placed digits count three
// times the placed cells unless a unit has one of them twice.
bool CUnitPositions::Broken() const {
    // The digits with a place in a unit, four at a time: a position mask is below 0x200, so
    // adding 0x7FFF sets a lane's top bit just where it is not 0, and the multiplication
    // gathers the four top bits, each to its own bit from 45 up, without a carry.
    constexpr uint64_t kLanes = 0x7FFF7FFF7FFF7FFF, kTops = 0x8000800080008000;
    constexpr uint64_t kGather =
        1 + (uint64_t(1) << 15) + (uint64_t(1) << 30) + (uint64_t(1) << 45);
    auto nonZero = [&](const uint16_t* lanes) {
        uint64_t word;
        std::memcpy(&word, lanes, sizeof(word));
        return unsigned((((word + kLanes) & kTops) >> 15) * kGather >> 45 & 0xF);
    };
    int placedDigits = 0;
    bool missing = false;
    for (int u = 0; u < kUnitCount; ++u) {
        placedDigits += Count(placed[u]);
        const unsigned possible = nonZero(&pos[u][0]) | nonZero(&pos[u][4]) << 4 |
                                  (pos[u][8] != 0 ? 1u << 8 : 0u) | (pos[u][9] != 0 ? 1u << 9 : 0u);
        missing |= (placed[u] | possible) != kAllDigits;
    }
    return cellWithout || missing || placedDigits != 3 * placedCells;
}

std::array<CCells, 10> DigitCandidates(const CUnitPositions& up) {
    std::array<CCells, 10> cells{};
    for (int d = 1; d <= 9; ++d) {
        for (int r = 0; r < 9; ++r) {
            const uint64_t row = up.pos[r][d];
            const int shift = 9 * r;
            if (shift < 64) cells[d].lo |= row << shift;
            if (shift + 9 > 64)
                cells[d].hi |= shift >= 64 ? row << (shift - 64) : row >> (64 - shift);
        }
    }
    return cells;
}

// One pass over the cells without a branch, each unit's digits gathered as it goes.
bool IsBroken(const CCandidateGrid& grid) {
    std::array<unsigned, kUnitCount> placed{}, possible{};
    unsigned twice = 0, empty = 0;
    for (int cell = 0; cell < kCellCount; ++cell) {
        const unsigned mask = grid.masks[cell];
        const unsigned bit = (1u << grid.values[cell]) & ~1u;
        empty |= (bit | mask) == 0 ? 1u : 0u;
        const CCellUnits& units = kCellUnits[cell];
        twice |= (placed[units.row] | placed[units.column] | placed[units.box]) & bit;
        placed[units.row] |= bit;
        placed[units.column] |= bit;
        placed[units.box] |= bit;
        possible[units.row] |= mask;
        possible[units.column] |= mask;
        possible[units.box] |= mask;
    }
    if ((twice | empty) != 0) return true;
    for (int u = 0; u < kUnitCount; ++u) {
        if ((placed[u] | possible[u]) != kAllDigits) return true;
    }
    return false;
}

}  // namespace logic
