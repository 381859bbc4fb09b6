// Checking and reading what the C interface and the Python module are given: grids of 81
// bytes and puzzle texts of 81 characters, as velmo.h describes them.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "grid.h"
#include "velmo.h"

// Where an input went wrong: VELMO_OK, or an error status and the cell (0-80) it met, or
// for VELMO_ERROR_LENGTH nothing more.
struct CInputCheck {
    int status = VELMO_OK;
    int cell = 0;
};

// Checks that `grid` has 81 cells of 0-9. `grid` must not be null.
inline CInputCheck CheckGrid(const uint8_t* grid, size_t length) {
    if (length != kCellCount) return {VELMO_ERROR_LENGTH};
    // Or-ing the tests of all cells keeps the common case a branch-free, vectorised pass.
    bool above = false;
    for (int cell = 0; cell < kCellCount; ++cell) above |= grid[cell] > 9;
    if (!above) return {};
    int cell = 0;
    while (grid[cell] <= 9) ++cell;
    return {VELMO_ERROR_VALUE, cell};
}

// Checks `grid` as CheckGrid does and copies it into `copy`, for a solver that works in
// place; `copy` is left untouched on an error.
inline CInputCheck ReadGridBytes(const uint8_t* grid, size_t length, PuzzleGrid& copy) {
    const CInputCheck check = CheckGrid(grid, length);
    if (check.status == VELMO_OK) std::copy_n(grid, kCellCount, copy.begin());
    return check;
}

// Reads 81 characters of `text` into `grid`. `text` must not be null; `grid` is left
// partly written on an error.
inline CInputCheck ReadGridText(const char* text, size_t length, PuzzleGrid& grid) {
    if (length != kCellCount) return {VELMO_ERROR_LENGTH};
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
    return {VELMO_ERROR_CHARACTER, cell};
}

// Writes the 81 cells of `grid` as digits, '0' for an empty cell.
inline void WriteGridText(const uint8_t* grid, char* text) {
    for (int cell = 0; cell < kCellCount; ++cell) text[cell] = char('0' + grid[cell]);
}
