// The solver's shared vocabulary: the puzzle grid, its units and their tables, and a count of
// solutions.
//
// A grid is 81 bytes, row-major: cell = 9 * r + c for row r and column c (both 0-8 from the
// top left); 0 is an empty cell, 1-9 a digit d. Box of a cell: top-left cell at row
// 3 * (r / 3), column 3 * (c / 3). A unit is a row, a column or a box; units are numbered
// rows 0-8, columns 9-17, boxes 18-26, boxes band by band from the top left.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

inline constexpr int kGridSize = 9;  // rows, columns, boxes, and the cells of each unit
inline constexpr int kBoxSize = 3;   // a box is kBoxSize x kBoxSize cells
inline constexpr int kCellCount = kGridSize * kGridSize;
using PuzzleGrid = std::array<uint8_t, kCellCount>;

inline constexpr int kUnitCount = 3 * kGridSize;
inline constexpr unsigned kAllDigits = 0x3FE;  // digit masks: bit d for digit d, 1-9

// The solutions of a grid, counted up to two.
struct CSolutionCount {
    int count = 0;                          // 0, 1, or 2 for two or more
    std::array<PuzzleGrid, 2> solutions{};  // the first `count` of them, each different
};

// The three units of a cell.
struct CCellUnits {
    uint8_t row, column, box;
};

inline constexpr std::array<CCellUnits, kCellCount> kCellUnits = [] {
    std::array<CCellUnits, kCellCount> table{};
    for (int cell = 0; cell < kCellCount; ++cell) {
        const int r = cell / 9, c = cell % 9;
        table[cell] = {uint8_t(r), uint8_t(9 + c), uint8_t(18 + 3 * (r / 3) + c / 3)};
    }
    return table;
}();

// The nine cells of each unit; a box's cells in row-major order.
inline constexpr std::array<std::array<uint8_t, 9>, kUnitCount> kUnitCells = [] {
    std::array<std::array<uint8_t, 9>, kUnitCount> units{};
    for (int i = 0; i < 9; ++i) {
        for (int j = 0; j < 9; ++j) {
            units[i][j] = uint8_t(9 * i + j);
            units[9 + i][j] = uint8_t(9 * j + i);
            units[18 + i][j] = uint8_t(9 * (3 * (i / 3) + j / 3) + 3 * (i % 3) + j % 3);
        }
    }
    return units;
}();

// Whether two cells share a row, a column or a box (a cell shares them with itself).
constexpr bool SameUnit(int a, int b) {
    const CCellUnits &x = kCellUnits[a], &y = kCellUnits[b];
    return x.row == y.row || x.column == y.column || x.box == y.box;
}

// The 20 other cells that share a unit with each cell, in ascending order.
inline constexpr int kPeerCount = 20;
inline constexpr std::array<std::array<uint8_t, kPeerCount>, kCellCount> kCellPeers = [] {
    std::array<std::array<uint8_t, kPeerCount>, kCellCount> peers{};
    for (int cell = 0; cell < kCellCount; ++cell) {
        int n = 0;
        for (int other = 0; other < kCellCount; ++other) {
            if (other != cell && SameUnit(cell, other)) peers[cell][n++] = uint8_t(other);
        }
    }
    return peers;
}();

// The cells of a grid (81 bytes) that are not 0: cell k is bit k % 64 of word k / 64. Eight
// cells at a time, each byte's top bit gathered, so that a loop over the givens has no
// branch per cell. Static, so that each version of the engine keeps a copy built with its
// own instruction set rather than sharing one.
static inline std::array<uint64_t, 2> NonZeroCells(const uint8_t* grid) {
    constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7F, kTops = 0x8080808080808080;
    constexpr uint64_t kGather = 0x0102040810204080;  // top bits, shifted to bit 0, to byte 7
    std::array<uint64_t, 2> cells{};
    for (int word = 0; word < kCellCount / 8; ++word) {
        uint64_t bytes;
        std::memcpy(&bytes, grid + 8 * word, sizeof bytes);
        const uint64_t tops = (((bytes & kLow7) + kLow7) | bytes) & kTops;
        cells[word / 8] |= ((tops >> 7) * kGather >> 56) << (8 * (word % 8));
    }
    cells[1] |= uint64_t(grid[kCellCount - 1] != 0) << (kCellCount - 1 - 64);
    return cells;
}
