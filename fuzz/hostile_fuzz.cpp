// Fuzz target: grids from the hostile generators, steered by the input. Its first bytes
// pick a generator and a seed; each byte after them is one random change to the grid, kept
// when it makes the solver work harder, so the fuzzer's mutations climb on the solver's
// own work as hostile-hunt does.
#include <cstdint>

#include "hostile_grids.h"
#include "solve_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 5) return 0;
    const uint32_t seed =
        data[1] | uint32_t(data[2]) << 8 | uint32_t(data[3]) << 16 | uint32_t(data[4]) << 24;
    CHostileGrids hostile(seed);
    PuzzleGrid grid;
    switch (data[0] % 3) {
        case 0:
            grid = hostile.Sparse(data[0] / 3 % 32);
            break;
        case 1:
            grid = hostile.Unsolvable();
            break;
        default:
            grid = hostile.CluesRemoved(hostile.Sparse(30), data[0] / 3 % 16);
            break;
    }
    double work = CHostileGrids::SolverWork(grid);
    for (size_t i = 5; i < size && i < 64; ++i) {
        const PuzzleGrid next = hostile.Mutate(grid);
        const double nextWork = CHostileGrids::SolverWork(next);
        if (nextWork >= work) grid = next, work = nextWork;
    }
    SolveAndCheck(grid);
    return 0;
}
