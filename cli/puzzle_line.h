// Reading one line of a puzzle file: 81 cells, '1'-'9' a given, '0' or '.' an empty cell.
#pragma once

#include <string>
#include <string_view>

#include "grid_solver.h"

struct CPuzzleLine {
    enum Kind {
        kSkip,     // blank, or a comment starting with '#'
        kPuzzle,   // `grid` holds the cells
        kInvalid,  // `error` says why
    };
    Kind kind = kSkip;
    PuzzleGrid grid{};
    std::string error;
};

// Parses `line` (without its '\n'; white space at either end, a '\r' included, is ignored).
// Never fails on any input: a malformed line comes back as kInvalid with a reason.
CPuzzleLine ParsePuzzleLine(std::string_view line);
