// The checks of the Solve fuzz targets.
#include "solve_check.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "unattended_platform.h"

namespace {

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "check failed: %s\n", what);
        std::abort();
    }
}

}  // namespace

void SolveAndCheck(const PuzzleGrid& input) {
    constexpr auto kSlow = std::chrono::milliseconds(100);
    CUnattendedPlatform platform;
    CGridSolver solver(platform);
    PuzzleGrid buffer = input;
    const auto start = std::chrono::steady_clock::now();
    const int solved = solver.Solve(buffer.data(), kCellCount);
    const auto spent = std::chrono::steady_clock::now() - start;
    if (spent > kSlow) {
        std::fprintf(stderr, "slow grid: %lld ms\n",
                     static_cast<long long>(
                         std::chrono::duration_cast<std::chrono::milliseconds>(spent).count()));
        std::abort();
    }

    const bool inRange = std::all_of(input.begin(), input.end(), [](uint8_t v) { return v <= 9; });
    if (!solved || !inRange) {
        Check(!solved || inRange, "a value above 9 was solved");
        Check(buffer == input, "a failed request changed the caller's grid");
    }
    if (!inRange) return;

    const CSolutionCount counted = CountSolutions(input.data());
    Check(solved == (counted.count > 0), "Solve and the count disagree");
    if (!solved) return;
    for (int cell = 0; cell < kCellCount; ++cell) {
        Check(buffer[cell] >= 1 && buffer[cell] <= 9, "a cell of the answer is not a digit");
        Check(input[cell] == 0 || input[cell] == buffer[cell], "the answer changed a given");
    }
    Check(IsConsistent(buffer.data()) == 1, "the answer repeats a digit");
    if (counted.count == 1) Check(buffer == counted.solutions[0], "a unique solution differs");
}
