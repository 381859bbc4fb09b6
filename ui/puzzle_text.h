// A whole puzzle as text, the way puzzles travel on the clipboard: reading one, and
// writing the grid as one line.
#pragma once

#include <QString>
#include <QStringView>
#include <optional>

#include "grid_solver.h"

// The longest text still read as a puzzle. Nine lines of nine with box rules, spacing and
// CRLF stay far below it; a longer text is not one puzzle, and is turned away unscanned.
inline constexpr qsizetype kMaxPuzzleTextLength = 4096;

// The grid held by `text` when it holds exactly one puzzle: one line of 81 cells, or nine
// lines of nine. A cell is '1'-'9' (a given) or '.' or '0' (empty); '|', '-', '+', spaces
// and tabs may stand between cells. Blank lines, lines of separators alone (box rules) and
// lines whose first other character is '#' are passed over; lines may end in LF, CRLF or
// CR. Any other character, any other count of cells, a second puzzle, or a text longer than
// kMaxPuzzleTextLength gives nullopt.
std::optional<PuzzleGrid> PuzzleFromText(QStringView text);

// `grid` as one line of 81 characters: '.' for an empty cell, the digit for 1-9. nullopt
// when a cell is above 9, which such a line cannot hold.
std::optional<QString> PuzzleLine(const PuzzleGrid& grid);
