// Reading one line of a puzzle file: a whole puzzle of 81 cells, or one row of a 9-line grid.
// A cell is '1'-'9' for a given, '0' or '.' for an empty cell.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "grid_solver.h"

inline constexpr int kGridRowCells = 9;

struct CPuzzleLine {
    enum Kind {
        kSkip,     // blank, or a comment starting with '#'
        kPuzzle,   // `grid` and `cells` hold the 81 cells, `comment` any text after them
        kGridRow,  // one row of a 9-line grid: the first 9 entries of `grid` and `cells`
        kRule,     // separators only, such as "------+-------+------": a grid's ruling
        kInvalid,  // `error` says why
    };
    Kind kind = kSkip;
    PuzzleGrid grid{};                     // cell values, 0 for empty
    std::array<char, kCellCount> cells{};  // the cells' characters as they stood
    std::string comment;  // text after the 81st cell as it stood, from the character that ends
                          // the cells; empty when there is none
    std::string error;
};

// Parses `line` (without its line end; white space at either end, a '\r' included, is
// ignored). Between cells, spaces, tabs and the separators '|', '-' and '+' are ignored, so
// "4.. ... 8.5 | .3. ..." reads as well as "4.....8.5.3...". A line with 81 cells is a
// puzzle, and whatever follows the 81st cell, when it does not start with another cell,
// is its comment. A line of separators and exactly 9 cells is a grid row.
// Never fails on any input: a malformed line comes back as kInvalid with a reason that counts
// characters, not bytes.
CPuzzleLine ParsePuzzleLine(std::string_view line);

// Quotes the character that starts `text` for a message: 'x' for printable ASCII, 'é' (U+00E9)
// for other UTF-8, byte 0xNN for control bytes and bytes that are not UTF-8. `text` must not
// be empty.
std::string DescribeCharacter(std::string_view text);
