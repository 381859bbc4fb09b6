// generate_bench: the generator's puzzles a second on one thread, in the thread's CPU time,
// for the window's levels, each symmetry and minimal puzzles without a band; each puzzle kept
// is checked afterwards, outside the timing (one solution, minimal, rated within the band).
//
//   generate_bench [--seconds=S] [--seed=N] [CASE...]
//   generate_bench --window[=N]
//   VELMO_PEER_LIB=../shared/peers/libtdoku.so generate_bench --peer [--rounds=R] [--seconds=S]
//
// A case runs attempts one after another on this thread, as one worker of a run does, until
// S seconds (default 2) of its CPU time have passed. CASE names pick cases by their start.
//
// --window makes N (default 100) puzzles of each of the window's levels, plain and symmetric,
// each by the call 生成 makes (MakeLevelPuzzle with a fresh seed, one worker thread; the
// hardest level on every core, as the window runs it), and prints the median, 95th
// percentile and slowest wall time of one puzzle, with the process's CPU time beside it.
//
// --peer times minimal puzzles without a band beside the peer's generator in one process, on
// this thread's CPU time, in R (default 5) interleaved rounds of S seconds each: the peer
// adds random givens to an empty grid until one solution is left (TdokuConstrain), then
// takes away every given it can (TdokuMinimize). Its library is loaded with dlopen only when
// VELMO_PEER_LIB names it; each of its puzzles is checked with velmo's exact solver (one
// solution, minimal), outside the timing.
#include <dlfcn.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "generator.h"
#include "grid_solver.h"
#include "levels.h"

namespace {

int64_t ThreadNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return int64_t(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

int64_t ProcessNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
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
// Whether some given of `puzzle`, a puzzle with one solution, can go alone.
bool GivenCanGo(const PuzzleGrid& puzzle) {
    for (int cell = 0; cell < kCellCount; ++cell) {
        if (puzzle[cell] == 0) continue;
        PuzzleGrid fewer = puzzle;
        fewer[cell] = 0;
        if (CountSolutions(fewer.data()).count == 1) return true;
    }
    return false;
}

std::string Faults(const CGeneratedPuzzle& made, const CGeneratorOptions& options) {
    std::string faults;
    if (CountSolutions(made.puzzle.data()).count != 1) faults += " solutions";
    if (options.minimal && options.symmetry == CSymmetry::kNone && GivenCanGo(made.puzzle)) {
        faults += " not-minimal";
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

double Percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(fraction * double(values.size())))];
}

// The window's levels: wall time of one puzzle made as 生成 makes it.
int RunWindow(int tries) {
    static const char* const kNames[] = {"入门 1.0-1.5", "简单 1.6-2.5", "中等 2.6-4.9",
                                         "困难 5.0-6.9", "专家 7.0-8.9", "极难 9.0-12"};
    std::printf(
        "| level | symmetric | threads | tries | median ms | 95th pct ms | slowest ms | "
        "CPU ms a puzzle | faults |\n|---|---|---:|---:|---:|---:|---:|---:|---:|\n");
    std::random_device device;
    int faults = 0;
    for (int level = 0; level < int(kLevels.size()); ++level) {
        for (const bool symmetric : {false, true}) {
            const unsigned threads = level + 1 == int(kLevels.size())
                                         ? std::max(1u, std::thread::hardware_concurrency())
                                         : 1u;
            std::vector<double> walls;
            int faulty = 0;
            const int64_t cpuStart = ProcessNanoseconds();
            for (int t = 0; t < tries; ++t) {
                const uint64_t seed = (uint64_t(device()) << 32) ^ device();
                const auto start = std::chrono::steady_clock::now();
                const std::optional<CGeneratedPuzzle> made =
                    MakeLevelPuzzle(level, symmetric, seed, threads, {});
                walls.push_back(std::chrono::duration<double, std::milli>(
                                    std::chrono::steady_clock::now() - start)
                                    .count());
                faulty += !made || !Faults(*made, LevelOptions(level, symmetric, seed)).empty();
            }
            const double cpu = double(ProcessNanoseconds() - cpuStart) / 1e6 / tries;
            faults += faulty;
            std::printf("| %s | %s | %u | %d | %.1f | %.1f | %.1f | %.1f | %d |\n", kNames[level],
                        symmetric ? "yes" : "no", threads, tries, Percentile(walls, 0.5),
                        Percentile(walls, 0.95), Percentile(walls, 1.0), cpu, faulty);
            std::fflush(stdout);
        }
    }
    return faults == 0 ? 0 : 1;
}

using PeerConstrain = bool (*)(bool pencilmark, char* puzzle);
using PeerMinimize = bool (*)(bool pencilmark, bool monotonic, char* puzzle);

// velmo's minimal puzzles without a band beside the peer's, in interleaved rounds.
int RunPeer(int rounds, double seconds) {
    const char* library = std::getenv("VELMO_PEER_LIB");
    if (!library || !*library) {
        std::fprintf(stderr, "generate_bench: set VELMO_PEER_LIB to the peer's library\n");
        return 2;
    }
    void* handle = dlopen(library, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        std::fprintf(stderr, "generate_bench: %s\n", dlerror());
        return 2;
    }
    const auto constrain = reinterpret_cast<PeerConstrain>(dlsym(handle, "TdokuConstrain"));
    const auto minimize = reinterpret_cast<PeerMinimize>(dlsym(handle, "TdokuMinimize"));
    if (!constrain || !minimize) {
        std::fprintf(stderr, "generate_bench: %s lacks TdokuConstrain or TdokuMinimize\n", library);
        return 2;
    }
    CGeneratorOptions options;
    options.rate = false;
    options.seed = 1;
    const CGenerator generator(options);
    uint64_t attempt = 0;
    const auto budget = int64_t(seconds * 1e9);
    std::vector<double> ours, theirs;
    int ourFaults = 0, peerFaults = 0;
    std::printf(
        "Minimal puzzles a second, no band, one thread, thread CPU time, %d interleaved "
        "rounds of %.1f s; peer: %s\n\n",
        rounds, seconds, library);
    for (int round = 0; round < rounds; ++round) {
        std::vector<CGeneratedPuzzle> kept;
        int64_t start = ThreadNanoseconds(), spent = 0;
        while (spent < budget) {
            if (std::optional<CGeneratedPuzzle> made = generator.Attempt(attempt++)) {
                kept.push_back(*made);
            }
            spent = ThreadNanoseconds() - start;
        }
        ours.push_back(double(kept.size()) / (double(spent) / 1e9));
        for (const CGeneratedPuzzle& made : kept) ourFaults += !Faults(made, options).empty();

        std::vector<std::string> made;
        start = ThreadNanoseconds();
        spent = 0;
        while (spent < budget) {
            std::string puzzle(kCellCount, '.');
            puzzle.push_back('\0');
            if (constrain(false, puzzle.data()) && minimize(false, false, puzzle.data())) {
                made.push_back(std::move(puzzle));
            }
            spent = ThreadNanoseconds() - start;
        }
        theirs.push_back(double(made.size()) / (double(spent) / 1e9));
        for (const std::string& text : made) {
            PuzzleGrid puzzle{};
            for (int i = 0; i < kCellCount; ++i) puzzle[i] = text[i] == '.' ? 0 : text[i] - '0';
            peerFaults += CountSolutions(puzzle.data()).count != 1 || GivenCanGo(puzzle);
        }
        std::printf("round %d: velmo %.1f, peer %.1f puzzles a second\n", round + 1, ours.back(),
                    theirs.back());
        std::fflush(stdout);
    }
    const double ourMedian = Percentile(ours, 0.5), theirMedian = Percentile(theirs, 0.5);
    std::printf(
        "\n| generator | minimal puzzles a second (median) | faults |\n|---|---:|---:|\n"
        "| velmo | %.1f | %d |\n| peer | %.1f | %d |\n\nvelmo / peer: %.2f\n",
        ourMedian, ourFaults, theirMedian, peerFaults, ourMedian / theirMedian);
    return ourFaults == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = 2;
    uint64_t seed = 1;
    int rounds = 5;
    int windowTries = 0;
    bool peer = false;
    std::vector<std::string> picks;
    for (int k = 1; k < argc; ++k) {
        if (std::strncmp(argv[k], "--seconds=", 10) == 0) {
            seconds = std::atof(argv[k] + 10);
        } else if (std::strncmp(argv[k], "--seed=", 7) == 0) {
            seed = std::strtoull(argv[k] + 7, nullptr, 10);
        } else if (std::strncmp(argv[k], "--rounds=", 9) == 0) {
            rounds = std::max(1, std::atoi(argv[k] + 9));
        } else if (std::strcmp(argv[k], "--window") == 0) {
            windowTries = 100;
        } else if (std::strncmp(argv[k], "--window=", 9) == 0) {
            windowTries = std::max(1, std::atoi(argv[k] + 9));
        } else if (std::strcmp(argv[k], "--peer") == 0) {
            peer = true;
        } else {
            picks.push_back(argv[k]);
        }
    }
    if (windowTries > 0) return RunWindow(windowTries);
    if (peer) return RunPeer(rounds, seconds);
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
