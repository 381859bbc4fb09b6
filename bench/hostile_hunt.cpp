// hostile-hunt: writes grids made to be hard for the solver, one a line, for benchmarks
// against other solvers and for fuzzing seeds.
//
//   hostile-hunt sparse N [SEED]        random grids of 0-30 consistent givens
//   hostile-hunt unsolvable N [SEED]    consistent grids that just lost their last solution
//   hostile-hunt removed FILE N [SEED]  puzzles of FILE with 1-10 givens taken away
//   hostile-hunt climb N STEPS [SEED]   hill-climbing on the solver's own work, from sparse
//                                       and from unsolvable starts
//
// With --worst, it also reports on standard error the grid that cost the solver most.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "hostile_grids.h"
#include "puzzle_reader.h"

namespace {

std::string Text(const PuzzleGrid& grid) {
    std::string text;
    for (uint8_t value : grid) text += value ? char('0' + value) : '.';
    return text;
}

int Usage() {
    std::fputs(
        "usage: hostile-hunt [--worst] sparse N [SEED] | unsolvable N [SEED] |\n"
        "       removed FILE N [SEED] | climb N STEPS [SEED]\n",
        stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    bool worst = false;
    int first = 1;
    if (argc > 1 && std::strcmp(argv[1], "--worst") == 0) worst = true, first = 2;
    if (argc - first < 2) return Usage();
    const std::string kind = argv[first];
    const auto number = [&](int i, long fallback) {
        return first + i < argc ? std::strtol(argv[first + i], nullptr, 10) : fallback;
    };

    std::vector<PuzzleGrid> grids;
    if (kind == "sparse" || kind == "unsolvable") {
        grids = CHostileGrids(uint32_t(number(2, kind == "sparse" ? 1 : 2)))
                    .Make(kind, size_t(number(1, 0)));
    } else if (kind == "removed") {
        if (argc - first < 3) return Usage();
        const CPuzzleFile file = LoadPuzzleFile(argv[first + 1]);
        if (!file.error.empty()) {
            std::fprintf(stderr, "hostile-hunt: %s\n", file.error.c_str());
            return 2;
        }
        grids =
            CHostileGrids(uint32_t(number(3, 3))).Make(kind, size_t(number(2, 0)), file.Grids());
        if (grids.empty() && number(2, 0) > 0) return Usage();
    } else if (kind == "climb") {
        grids = CHostileGrids(uint32_t(number(3, 4)))
                    .Make("climbed", size_t(number(1, 0)), {}, int(number(2, 200)));
    } else {
        return Usage();
    }

    double worstWork = -1;
    PuzzleGrid worstGrid{};
    std::string out;
    for (const PuzzleGrid& grid : grids) {
        out += Text(grid);
        out += '\n';
        if (worst) {
            const double work = CHostileGrids::SolverWork(grid);
            if (work > worstWork) worstWork = work, worstGrid = grid;
        }
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    if (worst) std::fprintf(stderr, "worst: %s (work %.0f)\n", Text(worstGrid).c_str(), worstWork);
    return 0;
}
