// What one call costs through each interface, on the same grids: CGridSolver::Solve from
// C++, and velmo_solve from C on bytes and on text. Their difference is the C interface's
// own cost; python/bench/call_overhead.py times the Python module's calls on the same sets.
//
// Sets: "solved", the test corpus's solutions given whole (Solve has almost nothing to do,
// so the call's own cost shows), and "17-clue", the first 10,000 of that collection.
#include <benchmark/benchmark.h>

#include <fstream>
#include <string>
#include <vector>

#include "grid_solver.h"
#include "puzzle_line.h"
#include "unattended_platform.h"
#include "velmo.h"

namespace {

std::vector<PuzzleGrid> Load(const std::string& path, size_t limit, bool solutions) {
    std::vector<PuzzleGrid> grids;
    std::ifstream file(path);
    std::string line;
    while (grids.size() < limit && std::getline(file, line)) {
        CPuzzleLine parsed = ParsePuzzleLine(line);
        if (parsed.kind != CPuzzleLine::kPuzzle) continue;
        // A corpus line is puzzle:count:solution.
        if (solutions)
            parsed = ParsePuzzleLine(parsed.comment.substr(parsed.comment.rfind(':') + 1));
        if (parsed.kind == CPuzzleLine::kPuzzle) grids.push_back(parsed.grid);
    }
    return grids;
}

const std::vector<PuzzleGrid>& Set(int set) {
    static const std::vector<PuzzleGrid> sets[] = {
        Load(VELMO_TEST_DATA_DIR "/unique.txt", SIZE_MAX, true),
        Load(VELMO_PUZZLE_DIR "/17-clue.txt", 10000, false)};
    return sets[set];
}

std::vector<std::string> AsText(const std::vector<PuzzleGrid>& grids) {
    std::vector<std::string> texts;
    for (const PuzzleGrid& grid : grids) {
        std::string text(kCellCount, '.');
        for (int cell = 0; cell < kCellCount; ++cell) text[cell] = char('0' + grid[cell]);
        texts.push_back(text);
    }
    return texts;
}

// Per grid: each iteration answers one grid, the set taken in turn.
template <typename Call>
void Run(benchmark::State& state, Call call) {
    const std::vector<PuzzleGrid>& grids = Set(int(state.range(0)));
    if (grids.empty()) return state.SkipWithError("no grids");
    size_t i = 0;
    for (auto _ : state) {
        call(grids[i], i);
        if (++i == grids.size()) i = 0;
    }
    state.SetLabel(state.range(0) == 0 ? "solved" : "17-clue");
}

void BM_CxxSolve(benchmark::State& state) {
    CUnattendedPlatform platform;
    CGridSolver solver(platform);
    Run(state, [&](const PuzzleGrid& grid, size_t) {
        PuzzleGrid buffer = grid;
        benchmark::DoNotOptimize(solver.Solve(buffer.data(), kCellCount));
        benchmark::DoNotOptimize(buffer);
    });
}

void BM_CSolve(benchmark::State& state) {
    Run(state, [](const PuzzleGrid& grid, size_t) {
        unsigned char solution[VELMO_CELLS];
        benchmark::DoNotOptimize(velmo_solve(grid.data(), kCellCount, solution));
        benchmark::DoNotOptimize(solution);
    });
}

void BM_CSolveText(benchmark::State& state) {
    const std::vector<std::string> texts = AsText(Set(int(state.range(0))));
    Run(state, [&](const PuzzleGrid&, size_t i) {
        char solution[VELMO_CELLS + 1];
        benchmark::DoNotOptimize(velmo_solve_text(texts[i].data(), texts[i].size(), solution));
        benchmark::DoNotOptimize(solution);
    });
}

BENCHMARK(BM_CxxSolve)->Arg(0)->Arg(1);
BENCHMARK(BM_CSolve)->Arg(0)->Arg(1);
BENCHMARK(BM_CSolveText)->Arg(0)->Arg(1);

}  // namespace

BENCHMARK_MAIN();
