// The checks of the Solve and CountSolutions fuzz targets.
//
// The references (testing/reference.h) are plain backtracking, slow on hard grids, so they
// run within small budgets of levels, a few milliseconds under the sanitizers, and check
// only what they settle: most fuzzed grids are dense, and settled at once.
#include "solve_check.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <optional>

#include "reference.h"
#include "unattended_platform.h"

namespace {

constexpr auto kSlow = std::chrono::milliseconds(100);
constexpr int64_t kCountLevels = 2000;  // of the backtracking count and the walk
constexpr int64_t kSearchLevels = 300;  // of Search, each a scan with CountCandidates

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "check failed: %s\n", what);
        std::abort();
    }
}

// The thread's own processor time: the fuzzer often shares the machine, and a grid the
// scheduler held back for a tenth of a second is not a slow grid.
std::chrono::nanoseconds ThreadTime() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return std::chrono::seconds(ts.tv_sec) + std::chrono::nanoseconds(ts.tv_nsec);
}

// Runs `work` and aborts when it took longer than kSlow of this thread's processor time.
template <typename Work>
auto Timed(Work work) {
    const auto start = ThreadTime();
    auto result = work();
    const auto spent = ThreadTime() - start;
    if (spent > kSlow) {
        std::fprintf(stderr, "slow grid: %lld ms\n",
                     static_cast<long long>(
                         std::chrono::duration_cast<std::chrono::milliseconds>(spent).count()));
        std::abort();
    }
    return result;
}

bool InRange(const PuzzleGrid& grid) {
    return std::all_of(grid.begin(), grid.end(), [](uint8_t v) { return v <= 9; });
}

// The solutions up to two by plain backtracking, for grids the engine may search; nothing
// when the count ran out of levels.
std::optional<int> ReferenceCount(const PuzzleGrid& grid) {
    if (!IsConsistent(grid.data())) return 0;
    return CountByBacktracking(grid, kCountLevels);
}

}  // namespace

void SolveAndCheck(const PuzzleGrid& input) {
    CUnattendedPlatform platform;
    CGridSolver solver(platform);
    PuzzleGrid buffer = input;
    const int solved = Timed([&] { return solver.Solve(buffer.data(), kCellCount); });

    const bool inRange = InRange(input);
    if (!solved || !inRange) {
        Check(!solved || inRange, "a value above 9 was solved");
        Check(buffer == input, "a failed request changed the caller's grid");
    }
    if (!inRange) return;
    if (solved) {
        for (int cell = 0; cell < kCellCount; ++cell) {
            Check(buffer[cell] >= 1 && buffer[cell] <= 9, "a cell of the answer is not a digit");
            Check(input[cell] == 0 || input[cell] == buffer[cell], "the answer changed a given");
        }
        Check(IsConsistent(buffer.data()) == 1, "the answer repeats a digit");
    }

    const std::optional<int> count = ReferenceCount(input);
    if (!count) return;
    Check(solved == (*count > 0), "Solve and the backtracking count disagree");
    if (*count < 2) return;
    // Several solutions: the answer must be the first in Search's order.
    std::optional<CReferenceAnswer> first = PlainSearch(input, kSearchLevels);
    if (!first) first = WalkToFirstSolution(input, kCountLevels);
    if (first) Check(first->solved && first->solution == buffer, "not Search's first solution");
}

void CountAndCheck(const PuzzleGrid& input) {
    const CSolutionCount counted = Timed([&] { return CountSolutions(input.data()); });
    Check(counted.count >= 0 && counted.count <= 2, "a count outside 0-2");
    if (!InRange(input)) {
        Check(counted.count == 0, "a grid with a value above 9 has solutions");
        return;
    }
    for (int k = 0; k < counted.count; ++k) {
        const PuzzleGrid& solution = counted.solutions[k];
        Check(IsConsistent(solution.data()) == 1 &&
                  std::find(solution.begin(), solution.end(), 0) == solution.end(),
              "a solution is not a complete grid");
        for (int cell = 0; cell < kCellCount; ++cell) {
            Check(input[cell] == 0 || input[cell] == solution[cell], "a solution changed a given");
        }
    }
    if (counted.count == 2)
        Check(counted.solutions[0] != counted.solutions[1], "one solution twice");
    const std::optional<int> count = ReferenceCount(input);
    if (count) Check(counted.count == *count, "CountSolutions and the backtracking count disagree");
}
