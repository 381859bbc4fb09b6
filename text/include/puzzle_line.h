// Reading one line of puzzle text: a whole puzzle of 81 cells, one row of a 9-line grid, or a
// pencil-mark puzzle of 729 candidates. A cell is '1'-'9' for a given, '0' or '.' for an empty
// cell. This is the one grammar of puzzle text: velmo-solve, the window and the tools read it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "grid.h"

// A pencil-mark puzzle: for each cell, row by row, for each digit d from 1 to 9, the digit d
// when it is still a candidate there, else '.' (or '0').
inline constexpr int kPencilMarkCount = kCellCount * kGridSize;
using CandidateMasks = std::array<uint16_t, kCellCount>;  // bit d set: digit d is a candidate
// Cells in a run, separators allowed between them, that make no puzzle with a comment (the
// longest such comments, a solution with a count or a rating, stay far below): exactly
// kPencilMarkCount are a pencil-mark puzzle, any other count from here on a miscounted one.
inline constexpr size_t kMiscountedPencilMarks = 3 * kCellCount;

struct CPuzzleLine {
    enum Kind {
        kSkip,     // blank, or a comment starting with '#'
        kPuzzle,   // `grid` and `cells` hold the 81 cells, `comment` any text after them;
                   // a pencil-mark puzzle has `pencilMarks` too
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
    // A pencil-mark puzzle's 729 characters as they stood, empty for any other line. Its
    // `grid` and `cells` hold the cells left with a single candidate, as a person reads them.
    std::string pencilMarks;

    bool IsPencilMarks() const { return !pencilMarks.empty(); }
};

// Parses `line` (without its line end; white space at either end, a '\r' included, is
// ignored). Between cells, spaces, tabs and the separators '|', '-' and '+' are ignored, so
// "4.. ... 8.5 | .3. ..." reads as well as "4.....8.5.3...". A line with 81 cells is a
// puzzle, and whatever follows the 81st cell, when it does not start with another cell,
// is its comment. A line of separators and exactly 9 cells is a grid row. A line whose cells,
// separators allowed between them, number exactly 729 is a pencil-mark puzzle, its comment
// starting after the 729th cell; its place p of a cell (from 1) holds the digit p or '.' or '0'.
// A line whose cells so counted number kMiscountedPencilMarks or more, but not 729, is invalid.
// Never fails on any input: a malformed line comes back as kInvalid with a reason that counts
// characters, not bytes.
CPuzzleLine ParsePuzzleLine(std::string_view line);

// The candidates of a pencil-mark puzzle's 729 characters, as ParsePuzzleLine accepted them.
CandidateMasks PencilMarkMasks(std::string_view pencilMarks);

// Quotes the character that starts `text` for a message: 'x' for printable ASCII, 'é' (U+00E9)
// for other UTF-8, byte 0xNN for control bytes and bytes that are not UTF-8. `text` must not
// be empty.
std::string DescribeCharacter(std::string_view text);
