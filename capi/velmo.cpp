// The C interface: velmo.h's functions on the solver's own Solve, CountSolutions and
// IsConsistent. Each call builds what it needs on its stack, so calls never share state.
#include "velmo.h"

#include <cstring>
#include <new>

#include "grid_solver.h"
#include "puzzle_input.h"
#include "unattended_platform.h"

namespace {

// The window's answer without the window: a stopped clock never reaches the minute, so
// the question that follows it is never asked.
int SolveGrid(PuzzleGrid& grid) {
    CUnattendedPlatform platform;
    CGridSolver solver(platform);
    return solver.Solve(grid.data(), kCellCount) == 1 ? 1 : 0;
}

// Nothing below is known to throw; a failure to allocate, should the solver ever
// allocate, must still not cross into C.
template <typename Call>
int Guarded(Call call) noexcept {
    try {
        return call();
    } catch (...) {
        return VELMO_ERROR_INTERNAL;
    }
}

}  // namespace

extern "C" {

int velmo_solve(const unsigned char* grid, size_t length, unsigned char* solution) {
    if (grid == nullptr || solution == nullptr) return VELMO_ERROR_NULL;
    return Guarded([&] {
        const CInputCheck check = CheckGrid(grid, length);
        if (check.status != VELMO_OK) return check.status;
        PuzzleGrid work;
        std::memcpy(work.data(), grid, kCellCount);
        const int solved = SolveGrid(work);
        if (solved) std::memcpy(solution, work.data(), kCellCount);
        return solved;
    });
}

int velmo_solve_text(const char* text, size_t length, char* solution) {
    if (text == nullptr || solution == nullptr) return VELMO_ERROR_NULL;
    return Guarded([&] {
        PuzzleGrid work;
        const CInputCheck check = ReadGridText(text, length, work);
        if (check.status != VELMO_OK) return check.status;
        const int solved = SolveGrid(work);
        if (solved) {
            WriteGridText(work.data(), solution);
            solution[kCellCount] = '\0';
        }
        return solved;
    });
}

int velmo_count(const unsigned char* grid, size_t length, unsigned char* solutions) {
    if (grid == nullptr) return VELMO_ERROR_NULL;
    return Guarded([&] {
        const CInputCheck check = CheckGrid(grid, length);
        if (check.status != VELMO_OK) return check.status;
        const CSolutionCount counted = CountSolutions(grid);
        if (solutions != nullptr) {
            for (int i = 0; i < counted.count; ++i) {
                std::memcpy(solutions + i * kCellCount, counted.solutions[i].data(), kCellCount);
            }
        }
        return counted.count;
    });
}

int velmo_count_text(const char* text, size_t length, char* solutions) {
    if (text == nullptr) return VELMO_ERROR_NULL;
    return Guarded([&] {
        PuzzleGrid grid;
        const CInputCheck check = ReadGridText(text, length, grid);
        if (check.status != VELMO_OK) return check.status;
        const CSolutionCount counted = CountSolutions(grid.data());
        if (solutions != nullptr) {
            for (int i = 0; i < counted.count; ++i) {
                char* out = solutions + i * (kCellCount + 1);
                WriteGridText(counted.solutions[i].data(), out);
                out[kCellCount] = '\0';
            }
        }
        return counted.count;
    });
}

int velmo_is_consistent(const unsigned char* grid, size_t length) {
    if (grid == nullptr) return VELMO_ERROR_NULL;
    const CInputCheck check = CheckGrid(grid, length);
    if (check.status != VELMO_OK) return check.status;
    return IsConsistent(grid);
}

int velmo_is_consistent_text(const char* text, size_t length) {
    if (text == nullptr) return VELMO_ERROR_NULL;
    PuzzleGrid grid;
    const CInputCheck check = ReadGridText(text, length, grid);
    if (check.status != VELMO_OK) return check.status;
    return IsConsistent(grid.data());
}

const char* velmo_error_message(int status) {
    switch (status) {
        case VELMO_ERROR_LENGTH:
            return "the puzzle does not have 81 cells";
        case VELMO_ERROR_CHARACTER:
            return "a character is not a cell (1-9, or 0 or . for an empty cell)";
        case VELMO_ERROR_VALUE:
            return "a cell holds a value above 9";
        case VELMO_ERROR_NULL:
            return "a null pointer was given";
        case VELMO_ERROR_INTERNAL:
            return "the solver failed";
        default:
            return status >= 0 ? "no error" : "unknown error";
    }
}

const char* velmo_version(void) {
    return VELMO_VERSION;
}

}  // extern "C"
