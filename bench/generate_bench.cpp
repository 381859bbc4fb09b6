// generate_bench: the generator's puzzles a second on one thread, in the thread's CPU time,
// for the window's levels, each symmetry and minimal puzzles without a band; each puzzle kept
// is checked afterwards, outside the timing (one solution, minimal, rated within the band).
//
//   generate_bench [--seconds=S] [--seed=N] [CASE...]
//
// A case runs attempts one after another on this thread, as one worker of a run does, until
// S seconds (default 2) of its CPU time have passed. CASE names pick cases by their start.
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "generator.h"
#include "grid_solver.h"

namespace {

int64_t ThreadNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return int64_t(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

struct CCase {
    std::string name;
    CGeneratorOptions options;
};

CCase Banded(std::string name, int low, int high, CSymmetry symmetry = CSymmetry::kNone) {
    CCase c{std::move(name), {}};
    c.options.minRating = low;
    c.options.maxRating = high;
    c.options.symmetry = symmetry;
    return c;
}

std::vector<CCase> AllCases() {
    std::vector<CCase> cases;
    CCase unrated{"minimal-unrated", {}};
    unrated.options.rate = false;
    cases.push_back(unrated);
    cases.push_back({"minimal-rated", {}});
    cases.push_back(Banded("level-1.0-1.5", 10, 15));
    cases.push_back(Banded("level-1.6-2.5", 16, 25));
    cases.push_back(Banded("level-2.6-4.9", 26, 49));
    cases.push_back(Banded("level-5.0-6.9", 50, 69));
    cases.push_back(Banded("level-7.0-8.9", 70, 89));
    cases.push_back(Banded("level-9.0-12", 90, 120));
    for (int s = 0; s < kSymmetryCount; ++s) {
        const CSymmetry symmetry = CSymmetry(s);
        cases.push_back(Banded("symmetry-" + std::string(SymmetryName(symmetry)) + "-2.6-4.5", 26,
                               45, symmetry));
    }
    return cases;
}

// The faults of a kept puzzle that its options forbid: a second solution, a given that can go
// (every given tried alone, enough without a symmetry), a rating outside the band.
std::string Faults(const CGeneratedPuzzle& made, const CGeneratorOptions& options) {
    std::string faults;
    if (CountSolutions(made.puzzle.data()).count != 1) faults += " solutions";
    if (options.minimal && options.symmetry == CSymmetry::kNone) {
        for (int cell = 0; cell < kCellCount; ++cell) {
            if (made.puzzle[cell] == 0) continue;
            PuzzleGrid fewer = made.puzzle;
            fewer[cell] = 0;
            if (CountSolutions(fewer.data()).count == 1) {
                faults += " not-minimal";
                break;
            }
        }
    }
    if (options.rate) {
        const CRating rating = RatePuzzle(*CCandidateGrid::FromGivens(made.puzzle));
        if (rating.rating != made.rating || rating.rating < options.minRating ||
            rating.rating > options.maxRating) {
            faults += " band";
        }
    }
    return faults;
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = 2;
    uint64_t seed = 1;
    std::vector<std::string> picks;
    for (int k = 1; k < argc; ++k) {
        if (std::strncmp(argv[k], "--seconds=", 10) == 0) {
            seconds = std::atof(argv[k] + 10);
        } else if (std::strncmp(argv[k], "--seed=", 7) == 0) {
            seed = std::strtoull(argv[k] + 7, nullptr, 10);
        } else {
            picks.push_back(argv[k]);
        }
    }
    std::printf("%-34s %10s %10s %9s %12s %s\n", "case", "tried", "kept", "cpu s", "puzzles/s",
                "faults");
    int faultyCases = 0;
    for (CCase& c : AllCases()) {
        bool picked = picks.empty();
        for (const std::string& pick : picks) picked = picked || c.name.starts_with(pick);
        if (!picked) continue;
        c.options.seed = seed;
        const CGenerator generator(c.options);
        std::vector<CGeneratedPuzzle> kept;
        uint64_t tried = 0;
        const int64_t start = ThreadNanoseconds();
        int64_t spent = 0;
        while (spent < int64_t(seconds * 1e9)) {
            if (std::optional<CGeneratedPuzzle> made = generator.Attempt(tried++)) {
                kept.push_back(*made);
            }
            spent = ThreadNanoseconds() - start;
        }
        int faulty = 0;
        for (const CGeneratedPuzzle& made : kept) faulty += !Faults(made, c.options).empty();
        faultyCases += faulty != 0;
        std::printf("%-34s %10llu %10zu %9.2f %12.1f %d\n", c.name.c_str(),
                    static_cast<unsigned long long>(tried), kept.size(), double(spent) / 1e9,
                    double(kept.size()) / (double(spent) / 1e9), faulty);
        std::fflush(stdout);
    }
    return faultyCases == 0 ? 0 : 1;
}
