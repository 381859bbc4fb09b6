// Temporary: CountSolutionsWithin until the solver library has it.
#pragma once

#include <optional>

#include "grid_solver.h"

inline std::optional<CSolutionCount> CountSolutionsWithin(const uint8_t* grid, int64_t) {
    return CountSolutions(grid);
}
