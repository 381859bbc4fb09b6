// The symmetries a puzzle's givens may have, and the sets of cells (orbits) that such a puzzle
// has either all given or all empty.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "generator.h"
#include "grid.h"

namespace generator {

// The cells a symmetry maps onto one another: 1 to 4 of them.
struct COrbit {
    uint8_t size = 0;
    std::array<uint8_t, 4> cells{};
};

// Every cell in exactly one orbit, in the order of their first cells.
std::vector<COrbit> Orbits(CSymmetry symmetry);

// True when the givens of `puzzle` (non-zero cells) are the same under `symmetry`.
bool HasSymmetry(const PuzzleGrid& puzzle, CSymmetry symmetry);

}  // namespace generator
