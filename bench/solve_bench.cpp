// Time per grid of Solve on puzzle collections and on hostile grids, and of each version of
// the engine, with the worst single grid of each set.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "engine.h"
#include "grid_solver.h"
#include "hostile_grids.h"
#include "puzzle_reader.h"
#include "unattended_platform.h"

namespace {

std::vector<PuzzleGrid> Load(const std::string& path, size_t limit = SIZE_MAX) {
    return LoadPuzzleFile(path, limit).Grids();
}

// The hostile sets, made once with fixed seeds (hostile-hunt makes the same kinds).
const std::vector<PuzzleGrid>& Hostile(const std::string& kind) {
    static const auto sets = [] {
        const std::vector<PuzzleGrid> puzzles = Load(VELMO_TEST_DATA_DIR "/unique.txt");
        std::map<std::string, std::vector<PuzzleGrid>> made;
        made["sparse"] = CHostileGrids(1).Make("sparse", 2000);
        made["unsolvable"] = CHostileGrids(2).Make("unsolvable", 1000);
        made["clue-removed"] = CHostileGrids(3).Make("removed", 2000, puzzles);
        made["climbed"] = CHostileGrids(4).Make("climbed", 100, {}, 300);
        return made;
    }();
    return sets.at(kind);
}

// One iteration solves every grid once. Reported per grid: the mean, and the worst grid's
// best time over the iterations (its least disturbed run).
void Measure(benchmark::State& state, const std::vector<PuzzleGrid>& grids,
             const std::function<void(PuzzleGrid&)>& solve) {
    if (grids.empty()) {
        state.SkipWithError("no grids");
        return;
    }
    std::vector<double> best(grids.size(), 1e30);
    for (auto _ : state) {
        for (size_t i = 0; i < grids.size(); ++i) {
            PuzzleGrid buffer = grids[i];
            const auto start = std::chrono::steady_clock::now();
            solve(buffer);
            const double spent =
                std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
                    .count();
            best[i] = std::min(best[i], spent);
            benchmark::DoNotOptimize(buffer);
        }
    }
    state.SetItemsProcessed(state.iterations() * int64_t(grids.size()));
    state.counters["us/grid"] = benchmark::Counter(
        double(state.iterations() * grids.size()),
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert, benchmark::Counter::kIs1000);
    state.counters["worst_us"] = *std::max_element(best.begin(), best.end());
}

void SolveAll(benchmark::State& state, const std::vector<PuzzleGrid>& grids) {
    CUnattendedPlatform platform;
    CGridSolver solver(platform);
    Measure(state, grids, [&solver](PuzzleGrid& grid) { solver.Solve(grid.data(), kCellCount); });
}

void BM_Solve(benchmark::State& state, const std::string& path) {
    SolveAll(state, Load(path));
}

void BM_SolveHostile(benchmark::State& state, const std::string& kind) {
    SolveAll(state, Hostile(kind));
}

// Each version of the engine on the hardest puzzles, where the engine does the most.
void BM_Version(benchmark::State& state, const std::string& name) {
    for (const CEngineVersion& version : AllEngineVersions()) {
        if (version.engine->name != name) continue;
        if (!version.supported()) {
            state.SkipWithError("this processor lacks it");
            return;
        }
        const CEngine& engine = *version.engine;
        Measure(state, Load(VELMO_BENCH_DATA_DIR "/forum-hardest-1106.txt"),
                [&engine](PuzzleGrid& grid) { engine.solve(grid.data(), {}, nullptr); });
        return;
    }
    state.SkipWithError("not built");
}

// The plain search as written, on the first puzzles of a file.
void BM_PlainSearch(benchmark::State& state, const std::string& path, size_t count) {
    const std::vector<PuzzleGrid> puzzles = Load(path, count);
    CUnattendedPlatform platform;
    CGridSolver solver(platform);
    solver.m_timeLimitEnabled = 0;
    Measure(state, puzzles, [&solver](PuzzleGrid& grid) {
        solver.m_grid = grid;
        benchmark::DoNotOptimize(solver.Search(0));
    });
}

const std::string kShared = VELMO_PUZZLE_DIR;
const std::string kHard = VELMO_BENCH_DATA_DIR;

}  // namespace

BENCHMARK_CAPTURE(BM_Solve, 17_clue, kShared + "/17-clue.txt")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Solve, top1465, kShared + "/top1465.txt")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Solve, serg_benchmark, kShared + "/serg-benchmark.txt")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Solve, slow_grids, kShared + "/slow-grids.txt")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Solve, forum_hardest_1106, kHard + "/forum-hardest-1106.txt")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Solve, forum_hardest_1905_11plus, kHard + "/forum-hardest-1905-11plus.txt")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SolveHostile, sparse, std::string("sparse"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SolveHostile, unsolvable, std::string("unsolvable"))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SolveHostile, clue_removed, std::string("clue-removed"))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SolveHostile, climbed, std::string("climbed"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Version, avx512, std::string("avx512"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Version, avx2, std::string("avx2"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Version, sse4, std::string("sse4"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Version, scalar, std::string("scalar"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PlainSearch, serg_first_1000, kShared + "/serg-benchmark.txt", 1000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PlainSearch, top1465_first_50, kShared + "/top1465.txt", 50)
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
