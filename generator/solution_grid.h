// Random solution grids, every one of the 6.67 x 10^21 equally likely.
#pragma once

#include "grid.h"
#include "random.h"

namespace generator {

// A solution grid drawn so that each is equally likely, as far as `random` is.
PuzzleGrid RandomSolutionGrid(CRandom& random);

}  // namespace generator
