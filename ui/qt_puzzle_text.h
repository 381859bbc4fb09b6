// The window's side of puzzle text: QString to and from the UTF-8 that the puzzle-text
// library reads and writes, for the clipboard.
#pragma once

#include <QString>
#include <QStringView>
#include <optional>

#include "puzzle_text.h"

// ReadPuzzleText on `text`; a text longer than kMaxPuzzleTextLength characters is turned
// away before it is converted.
std::optional<CPuzzleText> ReadPuzzleText(QStringView text);

// The givens of the puzzle `text` holds, when it holds one that is not pencil marks.
std::optional<PuzzleGrid> PuzzleFromText(QStringView text);

// PuzzleToLine as a QString.
std::optional<QString> PuzzleLine(const PuzzleGrid& grid);
