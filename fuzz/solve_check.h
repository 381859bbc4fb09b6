// What the Solve and CountSolutions fuzz targets check on a grid: the answer against
// references that share no code with the engine, and that no grid takes the solver longer
// than a tenth of a second, even under the sanitizers.
#pragma once

#include "grid_solver.h"

// Solves `input` (any 81 bytes) and aborts on a wrong or slow answer.
void SolveAndCheck(const PuzzleGrid& input);

// Counts the solutions of `input` (any 81 bytes) and aborts on a wrong or slow count.
void CountAndCheck(const PuzzleGrid& input);
