// Taking givens away from a puzzle while it keeps one solution.
#pragma once

#include <span>

#include "grid.h"
#include "symmetry.h"

namespace generator {

// True when `puzzle` (cells 0-9) has exactly one solution, by the exact solver.
bool HasOneSolution(const PuzzleGrid& puzzle);

// Takes from `puzzle`, which has one solution, the given orbits of `order` one after another,
// each only when the puzzle keeps one solution without it, and stops once `stopAt` givens or
// fewer are left. With `stopAt` 0 the result is minimal in its orbits: no orbit of givens
// can go without a second solution. Orbits with no given are passed over.
void Reduce(PuzzleGrid& puzzle, std::span<const COrbit> order, int stopAt = 0);

// True when no given orbit of `puzzle` (one solution) can be taken away with one solution
// left.
bool IsMinimal(const PuzzleGrid& puzzle, std::span<const COrbit> orbits);

int CountGivens(const PuzzleGrid& puzzle);

}  // namespace generator
