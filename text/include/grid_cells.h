// The strict form of one puzzle that the C interface and the Python module take: a grid of 81
// bytes 0-9, or a text of exactly 81 characters '1'-'9', '0' or '.', with no separators.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "grid.h"

// Where an input went wrong: nothing, or what and the cell (0-80) it met there; kLength
// names no cell.
struct CCellsCheck {
    enum Error : uint8_t {
        kNone,
        kLength,     // not 81 cells
        kCharacter,  // text: a character that is not a cell
        kValue,      // grid: a byte above 9
    };
    Error error = kNone;
    int cell = 0;

    bool Ok() const { return error == kNone; }
};

// Checks that `grid` has 81 cells of 0-9. `grid` must not be null.
inline CCellsCheck CheckGrid(const uint8_t* grid, size_t length) {
    if (length != kCellCount) return {CCellsCheck::kLength};
    // Or-ing the tests of all cells keeps the common case a branch-free, vectorised pass.
    bool above = false;
    for (int cell = 0; cell < kCellCount; ++cell) above |= grid[cell] > 9;
    if (!above) return {};
    int cell = 0;
    while (grid[cell] <= 9) ++cell;
    return {CCellsCheck::kValue, cell};
}

// Checks `grid` as CheckGrid does and copies it into `copy`, for a solver that works in
// place; `copy` is left untouched on an error.
inline CCellsCheck ReadGridBytes(const uint8_t* grid, size_t length, PuzzleGrid& copy) {
    const CCellsCheck check = CheckGrid(grid, length);
    if (check.Ok()) std::copy_n(grid, kCellCount, copy.begin());
    return check;
}

// Reads 81 characters of `text` into `grid`. `text` must not be null; `grid` is left
// partly written on an error.
inline CCellsCheck ReadGridText(const char* text, size_t length, PuzzleGrid& grid) {
    if (length != kCellCount) return {CCellsCheck::kLength};
    bool bad = false;
    for (int cell = 0; cell < kCellCount; ++cell) {
        const uint8_t c = uint8_t(text[cell]);
        const uint8_t digit = uint8_t(c - '0');
        bad |= digit > 9 && c != '.';
        grid[cell] = digit <= 9 ? digit : 0;
    }
    if (!bad) return {};
    int cell = 0;
    while ((uint8_t(text[cell] - '0') <= 9) || text[cell] == '.') ++cell;
    return {CCellsCheck::kCharacter, cell};
}

// Writes the 81 cells of `grid` as digits, '0' for an empty cell.
inline void WriteGridText(const uint8_t* grid, char* text) {
    for (int cell = 0; cell < kCellCount; ++cell) text[cell] = char('0' + grid[cell]);
}
