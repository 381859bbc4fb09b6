// Fuzz target: Solve on arbitrary 81-byte grids, checked against the solution counter.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "grid_solver.h"
#include "unattended_platform.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

void SolveAndCheck(const PuzzleGrid& input) {
    CUnattendedPlatform platform;
    CGridSolver solver(platform);
    PuzzleGrid buffer = input;
    const int solved = solver.Solve(buffer.data(), kCellCount);

    const bool inRange = std::all_of(input.begin(), input.end(), [](uint8_t v) { return v <= 9; });
    if (!solved || !inRange) {
        Check(!solved || inRange);
        Check(buffer == input);
    }
    if (!inRange) return;

    const CSolutionCount counted = CountSolutions(input.data());
    const int count = counted.count;
    const PuzzleGrid& only = counted.solutions[0];
    Check(solved == (count > 0));
    if (!solved) return;
    for (int cell = 0; cell < kCellCount; ++cell) {
        Check(buffer[cell] >= 1 && buffer[cell] <= 9);
        Check(input[cell] == 0 || input[cell] == buffer[cell]);
    }
    Check(IsConsistent(buffer.data()) == 1);
    if (count == 1) Check(buffer == only);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < kCellCount) return 0;
    PuzzleGrid grid;
    std::memcpy(grid.data(), data, kCellCount);
    SolveAndCheck(grid);
    // Raw bytes are mostly above 9; the same grid folded into range reaches the search.
    for (uint8_t& value : grid) value %= 10;
    SolveAndCheck(grid);
    return 0;
}
