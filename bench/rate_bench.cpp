// Rates puzzle files with the logic solver, one thread: puzzles a second, the slowest
// puzzle, and, where lines carry a published rating after the puzzle, how often velmo's
// rating agrees with it. With --check, every step of every path is checked against the
// solution the exact solver finds. The hints are timed apart, outside the rating's time: each
// FindEasiestStep along the path, as a person asking for a hint at every step would call it,
// and the slowest of them is the puzzle's hint time; --no-hints skips them, which halves the
// run on the hardest puzzles, where every hint costs what rating the puzzle does.
//
// Usage: rate_bench [--check] [--list] [--no-hints] [--max=N] FILE...
//   a line: 81 cells (1-9, and . or 0 for an empty cell), then optionally a rating such as
//   7.2 (or ER=7.2); lines starting with # are skipped.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <numeric>
#include <optional>
#include <string>
#include <vector>

#include "grid_solver.h"
#include "logic.h"

namespace {

// The machine the benchmark runs on is often shared, so the time is the thread's own
// processor time, not the wall clock's.
double ThreadSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

struct CEntry {
    std::string puzzle;
    double published = -1;  // the line's rating, or -1 without one
    double rating = 0;
    double seconds = 0;
    double hintSeconds = 0;  // the slowest FindEasiestStep along the path
};

// Walks the path of easiest steps one FindEasiestStep at a time, as the window's hints do.
double SlowestHint(CCandidateGrid grid) {
    double slowest = 0;
    while (std::ranges::find(grid.values, 0) != grid.values.end()) {
        const double t0 = ThreadSeconds();
        const std::optional<CStep> step = FindEasiestStep(grid);
        slowest = std::max(slowest, ThreadSeconds() - t0);
        if (!step) break;
        ApplyStep(grid, *step);
    }
    return slowest;
}

bool ParseLine(const std::string& line, CEntry& entry, PuzzleGrid& grid) {
    if (line.size() < 81 || line[0] == '#') return false;
    for (int i = 0; i < 81; ++i) {
        const char ch = line[i];
        if (ch >= '1' && ch <= '9') {
            grid[i] = uint8_t(ch - '0');
        } else if (ch == '.' || ch == '0') {
            grid[i] = 0;
        } else {
            return false;
        }
    }
    entry.puzzle = line.substr(0, 81);
    std::string rest = line.substr(81);
    const size_t er = rest.find("ER=");
    if (er != std::string::npos) rest = rest.substr(er + 3);
    char* end = nullptr;
    const double value = std::strtod(rest.c_str(), &end);
    if (end != rest.c_str()) entry.published = value;
    return true;
}

std::vector<double> Ranks(const std::vector<double>& values) {
    std::vector<size_t> order(values.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(),
              [&](size_t a, size_t b) { return values[a] < values[b]; });
    std::vector<double> ranks(values.size());
    for (size_t i = 0; i < order.size();) {
        size_t j = i;
        while (j < order.size() && values[order[j]] == values[order[i]]) ++j;
        for (size_t k = i; k < j; ++k) ranks[order[k]] = (double(i) + double(j) - 1) / 2;
        i = j;
    }
    return ranks;
}

double Spearman(const std::vector<double>& a, const std::vector<double>& b) {
    const std::vector<double> ra = Ranks(a), rb = Ranks(b);
    const double n = double(a.size());
    const double ma = std::accumulate(ra.begin(), ra.end(), 0.0) / n;
    const double mb = std::accumulate(rb.begin(), rb.end(), 0.0) / n;
    double sab = 0, saa = 0, sbb = 0;
    for (size_t i = 0; i < ra.size(); ++i) {
        sab += (ra[i] - ma) * (rb[i] - mb);
        saa += (ra[i] - ma) * (ra[i] - ma);
        sbb += (rb[i] - mb) * (rb[i] - mb);
    }
    return sab / std::sqrt(saa * sbb);
}

// Whether every step of the path agrees with the solution.
bool CheckPath(const CCandidateGrid& start, const CRating& rating, const PuzzleGrid& solution) {
    CCandidateGrid grid = start;
    for (const CStep& step : rating.path) {
        for (const CCandidate& c : step.placements) {
            if (solution[c.cell] != c.digit) return false;
        }
        for (const CCandidate& c : step.eliminations) {
            if (solution[c.cell] == c.digit) return false;
        }
        if (step.placements.empty() && step.eliminations.empty()) return false;
        ApplyStep(grid, step);
    }
    return grid.values == solution;
}

}  // namespace

int main(int argc, char** argv) {
    bool check = false, list = false, hints = true;
    size_t max = SIZE_MAX;
    std::vector<CEntry> entries;
    int unrated = 0, wrong = 0;
    for (int a = 1; a < argc; ++a) {
        const std::string arg = argv[a];
        if (arg == "--check") {
            check = true;
            continue;
        }
        if (arg == "--list") {
            list = true;
            continue;
        }
        if (arg == "--no-hints") {
            hints = false;
            continue;
        }
        if (arg.rfind("--max=", 0) == 0) {
            max = std::stoul(arg.substr(6));
            continue;
        }
        std::ifstream in(arg);
        if (!in) {
            std::fprintf(stderr, "rate_bench: cannot read %s\n", arg.c_str());
            return 2;
        }
        std::string line;
        size_t taken = 0;
        while (std::getline(in, line) && taken < max) {
            CEntry entry;
            PuzzleGrid grid;
            if (!ParseLine(line, entry, grid)) continue;
            ++taken;
            const CCandidateGrid start = *CCandidateGrid::FromGivens(grid);
            if (hints) entry.hintSeconds = SlowestHint(start);
            const double t0 = ThreadSeconds();
            const CRating rating = RatePuzzle(start, check);
            entry.seconds = ThreadSeconds() - t0;
            if (rating.outcome != CRating::kRated) {
                ++unrated;
                std::printf("not rated (%d): %s\n", int(rating.outcome), entry.puzzle.c_str());
                continue;
            }
            entry.rating = rating.rating / 10.0;
            if (check) {
                const CSolutionCount solved = CountSolutions(grid.data());
                if (!CheckPath(start, rating, solved.solutions[0])) {
                    ++wrong;
                    std::printf("WRONG STEP: %s\n", entry.puzzle.c_str());
                }
            }
            if (list) {
                std::printf("%s %.1f %.1f %s %.1fms hint %.1fms\n", entry.puzzle.c_str(),
                            entry.published, entry.rating,
                            std::string(TechniqueName(rating.hardest)).c_str(),
                            entry.seconds * 1000, entry.hintSeconds * 1000);
            }
            entries.push_back(entry);
        }
    }
    if (entries.empty()) {
        std::printf("no puzzles\n");
        return 1;
    }
    double total = 0;
    const CEntry* slowest = &entries[0];
    for (const CEntry& e : entries) {
        total += e.seconds;
        if (e.seconds > slowest->seconds) slowest = &e;
    }
    std::printf("puzzles %zu, not rated %d, wrong paths %d\n", entries.size(), unrated, wrong);
    std::printf("speed (thread CPU time) %.0f puzzles/s (%.3f ms each on average)\n",
                double(entries.size()) / total, 1000 * total / double(entries.size()));
    std::printf("slowest %.1f ms: %s (rated %.1f)\n", slowest->seconds * 1000,
                slowest->puzzle.c_str(), slowest->rating);
    const CEntry* slowestHint = nullptr;
    for (const CEntry& e : entries) {
        if (e.rating < 9.0 && (!slowestHint || e.hintSeconds > slowestHint->hintSeconds)) {
            slowestHint = &e;
        }
    }
    if (hints && slowestHint) {
        std::printf("slowest hint, rated below 9.0: %.1f ms: %s (rated %.1f)\n",
                    slowestHint->hintSeconds * 1000, slowestHint->puzzle.c_str(),
                    slowestHint->rating);
    }
    int low = 0, lowSame = 0, mid = 0, midNear = 0;
    std::vector<double> published, ours;
    for (const CEntry& e : entries) {
        if (e.published < 0) continue;
        published.push_back(e.published);
        ours.push_back(e.rating);
        const int p = int(std::lround(e.published * 10)), o = int(std::lround(e.rating * 10));
        if (p < 50) {
            ++low;
            lowSame += p == o;
        } else if (p <= 90) {
            ++mid;
            midNear += std::abs(p - o) <= 3;
        }
    }
    if (!published.empty()) {
        std::printf("agreement: below 5.0 same %d/%d (%.1f%%); 5.0-9.0 within 0.3 %d/%d (%.1f%%)",
                    lowSame, low, low ? 100.0 * lowSame / low : 0.0, midNear, mid,
                    mid ? 100.0 * midNear / mid : 0.0);
        std::printf("; Spearman %.3f over %zu\n",
                    published.size() > 1 ? Spearman(published, ours) : 1.0, published.size());
    }
    return wrong == 0 ? 0 : 1;
}
