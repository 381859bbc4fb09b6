// peer-bench: Solve against another solver's library in one process, one thread, on thread
// CPU time, in interleaved rounds, so that both meet the same machine state.
//
//   VELMO_PEER_LIB=../shared/peers/libtdoku.so peer-bench [--rounds N] [FILE...]
//
// The peer is loaded with dlopen and called as tdoku's C interface declares it:
// `size_t TdokuSolverDpllTriadSimd(const char* puzzle, size_t limit, uint32_t configuration,
// char* solution, size_t* guesses)`, counting to two. The peer is only ever loaded here, when
// the user names it; nothing else in velmo knows of it.
//
// For each set it prints the median over the rounds of the mean microseconds a grid, their
// ratio, and the grid whose ratio is worst (each grid timed alone, best of the rounds). For
// that grid it also times the peer refuting, one by one, the dead branches that velmo's order
// meets on its way to the answer (the branches of Search's levels, on the answer's path, that
// come before the answer's digit): velmo must refute every one of them to know its answer is
// the first, where the peer's count may never visit them.
// Without FILE arguments it runs the shared collections, the forum's hardest lists and the
// hostile sets made with fixed seeds.
#include <dlfcn.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "grid_solver.h"
#include "hostile_grids.h"
#include "puzzle_reader.h"
#include "reference.h"
#include "unattended_platform.h"

namespace {

using PeerSolve = size_t (*)(const char*, size_t, uint32_t, char*, size_t*);

struct CSet {
    std::string name;
    std::vector<PuzzleGrid> grids;
};

std::vector<PuzzleGrid> ReadGrids(const std::string& path) {
    return LoadPuzzleFile(path).Grids();
}

// Nanoseconds of this thread's CPU time: what another process on the other core does not
// count against it.
int64_t ThreadNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return int64_t(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

// The peer's text: '.' for an empty cell, never '0', and a NUL after the 81st cell so that it
// does not read a pencil-mark puzzle.
std::array<char, kCellCount + 1> PeerText(const PuzzleGrid& grid) {
    std::array<char, kCellCount + 1> text{};
    for (int cell = 0; cell < kCellCount; ++cell) {
        text[cell] = grid[cell] ? char('0' + grid[cell]) : '.';
    }
    return text;
}

class CRunner {
  public:
    explicit CRunner(PeerSolve peer) : m_peer(peer), m_solver(m_platform) {}

    // Nanoseconds to solve `grids` `repeat` times each.
    int64_t Velmo(const std::vector<PuzzleGrid>& grids, int repeat = 1) {
        const int64_t start = ThreadNanoseconds();
        for (const PuzzleGrid& grid : grids) {
            for (int i = 0; i < repeat; ++i) {
                PuzzleGrid buffer = grid;
                m_sink = m_sink + m_solver.Solve(buffer.data(), kCellCount) + buffer[40];
            }
        }
        return ThreadNanoseconds() - start;
    }

    // `limit` 2 counts; 1 asks for any solution, which on a dead grid is a refutation.
    int64_t Peer(const std::vector<std::array<char, kCellCount + 1>>& texts, int repeat = 1,
                 size_t limit = 2) {
        char solution[kCellCount + 1];
        const int64_t start = ThreadNanoseconds();
        for (const auto& text : texts) {
            for (int i = 0; i < repeat; ++i) {
                size_t guesses = 0;
                m_sink = m_sink + m_peer(text.data(), limit, 0, solution, &guesses);
            }
        }
        return ThreadNanoseconds() - start;
    }

    // velmo's answer to `grid`; nothing when it has none.
    std::optional<PuzzleGrid> Answer(const PuzzleGrid& grid) {
        PuzzleGrid answer = grid;
        if (!m_solver.Solve(answer.data(), kCellCount)) return std::nullopt;
        return answer;
    }

  private:
    PeerSolve m_peer;
    CUnattendedPlatform m_platform;
    CGridSolver m_solver;
    volatile int64_t m_sink = 0;  // keeps the calls from being optimised away
};

// The grids of the dead branches that Search meets on its way to `answer`, the first solution
// in its order: it follows Search's choices (a cell with one candidate first, else the first
// with the fewest) along the answer, and at each cell it branches on, the digits it tries
// before the answer's lead to no solution, since the answer is the first.
std::vector<PuzzleGrid> DeadBranchesBefore(const PuzzleGrid& grid, const PuzzleGrid& answer) {
    std::vector<PuzzleGrid> dead;
    PuzzleGrid path = grid;
    for (;;) {
        CandidateSet set;
        const int chosen = SearchChoice(path, set);
        if (chosen < 0) return dead;
        for (int d = 1; d < answer[chosen]; ++d) {
            if (!set.flags[d]) continue;
            dead.push_back(path);
            dead.back()[chosen] = uint8_t(d);
        }
        path[chosen] = answer[chosen];
    }
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

constexpr int kRepeat = 8;

// Microseconds the peer takes to refute, one at a time, the dead branches before velmo's
// answer to `grid` (best of the rounds each); 0 when it has none or no answer.
double PeerOnDeadBranches(CRunner& runner, const PuzzleGrid& grid, int rounds) {
    const std::optional<PuzzleGrid> answer = runner.Answer(grid);
    if (!answer) return 0;
    int64_t total = 0;
    for (const PuzzleGrid& branch : DeadBranchesBefore(grid, *answer)) {
        int64_t best = INT64_MAX;
        for (int round = 0; round < rounds; ++round) {
            best = std::min(best, runner.Peer({PeerText(branch)}, kRepeat, 1));
        }
        total += best;
    }
    return double(total) / kRepeat / 1000;
}

void Run(CRunner& runner, const CSet& set, int rounds) {
    if (set.grids.empty()) return;
    std::vector<std::array<char, kCellCount + 1>> texts;
    for (const PuzzleGrid& grid : set.grids) texts.push_back(PeerText(grid));

    // Whole-set means, rounds interleaved: velmo, peer, velmo, peer, ...
    std::vector<double> velmo, peer;
    const double n = double(set.grids.size());
    for (int round = 0; round < rounds; ++round) {
        velmo.push_back(double(runner.Velmo(set.grids)) / n / 1000);
        peer.push_back(double(runner.Peer(texts)) / n / 1000);
    }

    // Each grid alone, repeated so that one timing is well above the clock's resolution,
    // best of the rounds: the grid where velmo fares worst beside the peer.
    size_t worst = 0;
    double worstVelmo = 0, worstPeer = 1, worstRatio = 0;
    if (set.grids.size() <= 5000) {
        for (size_t i = 0; i < set.grids.size(); ++i) {
            int64_t v = INT64_MAX, p = INT64_MAX;
            for (int round = 0; round < rounds; ++round) {
                v = std::min(v, runner.Velmo({set.grids[i]}, kRepeat));
                p = std::min(p, runner.Peer({texts[i]}, kRepeat));
            }
            const double ratio = double(v) / double(std::max<int64_t>(p, 1));
            if (ratio > worstRatio) {
                worst = i, worstRatio = ratio;
                worstVelmo = double(v) / kRepeat / 1000, worstPeer = double(p) / kRepeat / 1000;
            }
        }
    }
    const double v = Median(velmo), p = Median(peer);
    std::printf("| %s | %zu | %.2f | %.2f | %.2f |", set.name.c_str(), set.grids.size(), v, p,
                v / p);
    if (worstRatio > 0) {
        std::printf(" %.1f / %.1f (%.1f) | %.1f |\n", worstVelmo, worstPeer, worstRatio,
                    PeerOnDeadBranches(runner, set.grids[worst], rounds));
        std::fprintf(stderr, "peer-bench: %s: worst grid ", set.name.c_str());
        for (uint8_t value : set.grids[worst]) std::fputc(value ? '0' + value : '.', stderr);
        std::fputc('\n', stderr);
    } else {
        std::printf(" | |\n");
    }
    std::fflush(stdout);
}

std::string BaseName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

int main(int argc, char** argv) {
    const char* library = std::getenv("VELMO_PEER_LIB");
    if (!library || !*library) {
        std::fprintf(stderr, "peer-bench: set VELMO_PEER_LIB to the peer's library\n");
        return 2;
    }
    void* handle = dlopen(library, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        std::fprintf(stderr, "peer-bench: %s\n", dlerror());
        return 2;
    }
    const auto peer = reinterpret_cast<PeerSolve>(dlsym(handle, "TdokuSolverDpllTriadSimd"));
    if (!peer) {
        std::fprintf(stderr, "peer-bench: %s has no TdokuSolverDpllTriadSimd\n", library);
        return 2;
    }

    int rounds = 5;
    std::vector<CSet> sets;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--rounds") == 0 && i + 1 < argc) {
            rounds = std::max(1, std::atoi(argv[++i]));
        } else {
            sets.push_back({BaseName(argv[i]), ReadGrids(argv[i])});
        }
    }
    if (sets.empty()) {
        const std::string shared = VELMO_PUZZLE_DIR, hard = VELMO_BENCH_DATA_DIR;
        for (const char* name : {"17-clue.txt", "top1465.txt", "serg-benchmark.txt"}) {
            sets.push_back({name, ReadGrids(shared + "/" + name)});
        }
        for (const char* name : {"forum-hardest-1106.txt", "forum-hardest-1905-11plus.txt",
                                 "hostile-climbed-time.txt", "hostile-climbed-time-3000.txt"}) {
            sets.push_back({name, ReadGrids(hard + "/" + name)});
        }
        const std::vector<PuzzleGrid> unique = ReadGrids(VELMO_TEST_DATA_DIR "/unique.txt");
        sets.push_back({"hostile sparse", CHostileGrids(1).Make("sparse", 2000)});
        sets.push_back({"hostile unsolvable", CHostileGrids(2).Make("unsolvable", 1000)});
        sets.push_back({"hostile clue-removed", CHostileGrids(3).Make("removed", 2000, unique)});
        sets.push_back({"hostile climbed", CHostileGrids(4).Make("climbed", 100, {}, 300)});
    }

    CRunner runner(peer);
    std::printf(
        "Microseconds a grid, one thread, thread CPU time, median of %d interleaved "
        "rounds; peer: %s (count to two)\n\n",
        rounds, library);
    std::printf(
        "| set | grids | velmo Solve | peer | velmo / peer | worst grid: velmo / peer "
        "(ratio) | there, peer refuting the dead branches before velmo's answer |\n"
        "|---|---|---|---|---|---|---|\n");
    for (const CSet& set : sets) Run(runner, set, rounds);
    return 0;
}
