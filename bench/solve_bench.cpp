// Time per puzzle of Solve on each shared collection, and of the plain search on a sample.
#include <benchmark/benchmark.h>

#include <fstream>
#include <string>
#include <vector>

#include "grid_solver.h"
#include "puzzle_line.h"
#include "unattended_platform.h"

namespace {

std::vector<PuzzleGrid> Load(const std::string& name, size_t limit = SIZE_MAX) {
    std::vector<PuzzleGrid> puzzles;
    std::ifstream file(std::string(VELMO_PUZZLE_DIR) + "/" + name);
    std::string line;
    while (puzzles.size() < limit && std::getline(file, line)) {
        const CPuzzleLine parsed = ParsePuzzleLine(line);
        if (parsed.kind == CPuzzleLine::kPuzzle) puzzles.push_back(parsed.grid);
    }
    return puzzles;
}

// One iteration solves every puzzle of the file once; the rate is reported per puzzle.
void BM_Solve(benchmark::State& state, const std::string& file) {
    const std::vector<PuzzleGrid> puzzles = Load(file);
    if (puzzles.empty()) {
        state.SkipWithError(("cannot read " + file).c_str());
        return;
    }
    CUnattendedPlatform platform;
    CGridSolver solver(platform);
    int64_t solved = 0;
    for (auto _ : state) {
        for (const PuzzleGrid& puzzle : puzzles) {
            PuzzleGrid buffer = puzzle;
            solved += solver.Solve(buffer.data(), kCellCount);
            benchmark::DoNotOptimize(buffer);
        }
    }
    state.SetItemsProcessed(state.iterations() * int64_t(puzzles.size()));
    state.counters["us/puzzle"] = benchmark::Counter(
        double(state.iterations() * puzzles.size()),
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert, benchmark::Counter::kIs1000);
    state.counters["solved"] = double(solved) / double(state.iterations());
}

// The plain search as written, on the first puzzles of a file.
void BM_PlainSearch(benchmark::State& state, const std::string& file, size_t count) {
    const std::vector<PuzzleGrid> puzzles = Load(file, count);
    CUnattendedPlatform platform;
    CGridSolver solver(platform);
    solver.m_timeLimitEnabled = 0;
    for (auto _ : state) {
        for (const PuzzleGrid& puzzle : puzzles) {
            solver.m_grid = puzzle;
            benchmark::DoNotOptimize(solver.Search(0));
        }
    }
    state.SetItemsProcessed(state.iterations() * int64_t(puzzles.size()));
}

}  // namespace

BENCHMARK_CAPTURE(BM_Solve, 17_clue, std::string("17-clue.txt"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Solve, top1465, std::string("top1465.txt"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Solve, serg_benchmark, std::string("serg-benchmark.txt"))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PlainSearch, serg_first_1000, std::string("serg-benchmark.txt"), 1000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PlainSearch, top1465_first_50, std::string("top1465.txt"), 50)
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
