// A whole puzzle as text, the way puzzles travel on the clipboard: reading one, in the grammar
// of puzzle files, and writing a grid as one line.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "puzzle_line.h"

// The longest text still read as a puzzle. Nine lines of nine with box rules, spacing and
// CRLF, or a pencil-mark puzzle of 729 candidates, stay far below it; a longer text is not
// one puzzle, and is turned away unscanned.
inline constexpr size_t kMaxPuzzleTextLength = 4096;

// One puzzle read from text.
struct CPuzzleText {
    PuzzleGrid values{};       // the givens, 0 for an empty cell; for pencil marks, the cells
                               // left with a single candidate
    CandidateMasks masks{};    // pencil marks: each cell's candidates; all 0 otherwise
    bool pencilMarks = false;  // read from 729 candidates
};

// The puzzle held by `text` (UTF-8) when it holds exactly one: a line of 81 cells, nine lines
// of nine, or a line of 729 pencil marks, as ParsePuzzleLine and CPuzzleReader read them
// (comments after the cells, such as ":1:<solution>", included). Blank lines, box rules and
// lines starting with '#' are passed over. Anything else, a second puzzle, or a text longer
// than kMaxPuzzleTextLength gives nullopt.
std::optional<CPuzzleText> ReadPuzzleText(std::string_view text);

// `grid` as one line of 81 characters: '.' for an empty cell, the digit for 1-9. nullopt
// when a cell is above 9, which such a line cannot hold.
std::optional<std::string> PuzzleToLine(const PuzzleGrid& grid);

// Candidates as a pencil-mark line of 729 characters, digit or '.', as ParsePuzzleLine reads.
std::string PencilMarksToLine(const CandidateMasks& masks);
