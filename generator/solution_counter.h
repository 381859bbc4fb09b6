// Counting a puzzle's solutions beyond two, up to a cap: how far a pattern's digits are from
// fixing one solution, which the exact solver (it counts to two) does not say.
#pragma once

#include "grid.h"

namespace generator {

// The solutions of `puzzle` (cells 0-9, givens not repeating a digit in a unit), counted up
// to `cap`.
int CountSolutionsUpTo(const PuzzleGrid& puzzle, int cap);

}  // namespace generator
