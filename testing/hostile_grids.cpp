// The hostile grid generators.
#include "hostile_grids.h"

#include <time.h>

#include <algorithm>

#include "engine.h"

int CHostileGrids::RandomCandidate(const PuzzleGrid& grid, int cell) {
    CandidateSet set;
    if (CountCandidates(grid.data(), cell / 9, cell % 9, set) == 0) return 0;
    int digits[9];
    int count = 0;
    for (int d = 1; d <= 9; ++d) {
        if (set.flags[d]) digits[count++] = d;
    }
    return digits[m_random() % count];
}

int CHostileGrids::RandomCell(const PuzzleGrid& grid, bool given) {
    int cells[kCellCount];
    int count = 0;
    for (int cell = 0; cell < kCellCount; ++cell) {
        if ((grid[cell] != 0) == given) cells[count++] = cell;
    }
    return count ? cells[m_random() % count] : -1;
}

PuzzleGrid CHostileGrids::Sparse(int givens) {
    PuzzleGrid grid{};
    for (int placed = 0, attempts = 0; placed < givens && attempts < 1000; ++attempts) {
        const int cell = RandomCell(grid, false);
        if (cell < 0) break;
        if (const int d = RandomCandidate(grid, cell)) {
            grid[cell] = uint8_t(d);
            ++placed;
        }
    }
    return grid;
}

PuzzleGrid CHostileGrids::Unsolvable() {
    for (;;) {
        PuzzleGrid grid{};
        for (int attempts = 0; attempts < 1000; ++attempts) {
            const int cell = RandomCell(grid, false);
            if (cell < 0) break;
            const int d = RandomCandidate(grid, cell);
            if (d == 0) continue;
            grid[cell] = uint8_t(d);
            if (CountSolutions(grid.data()).count == 0) return grid;
        }
    }
}

PuzzleGrid CHostileGrids::CluesRemoved(const PuzzleGrid& puzzle, int count) {
    PuzzleGrid grid = puzzle;
    for (int k = 0; k < count; ++k) {
        const int cell = RandomCell(grid, true);
        if (cell < 0) break;
        grid[cell] = 0;
    }
    return grid;
}

PuzzleGrid CHostileGrids::WrongDigit(const PuzzleGrid& puzzle) {
    const CSolutionCount counted = CountSolutions(puzzle.data());
    if (counted.count != 1) return puzzle;
    const PuzzleGrid& solution = counted.solutions[0];
    for (int attempt = 0; attempt < 100; ++attempt) {
        const int cell = RandomCell(puzzle, false);
        if (cell < 0) break;
        const int d = RandomCandidate(puzzle, cell);
        if (d == 0 || d == solution[cell]) continue;
        PuzzleGrid grid = puzzle;
        grid[cell] = uint8_t(d);
        return grid;
    }
    return puzzle;
}

PuzzleGrid CHostileGrids::Mutate(const PuzzleGrid& grid) {
    PuzzleGrid next = grid;
    switch (m_random() % 3) {
        case 0: {  // add a given
            const int cell = RandomCell(next, false);
            if (cell >= 0) next[cell] = uint8_t(RandomCandidate(next, cell));
            break;
        }
        case 1: {  // take one away
            const int cell = RandomCell(next, true);
            if (cell >= 0) next[cell] = 0;
            break;
        }
        default: {  // change one
            const int cell = RandomCell(next, true);
            if (cell < 0) break;
            next[cell] = 0;
            if (const int d = RandomCandidate(next, cell)) next[cell] = uint8_t(d);
            break;
        }
    }
    return next;
}

std::vector<PuzzleGrid> CHostileGrids::Make(const std::string& kind, size_t count,
                                            const std::vector<PuzzleGrid>& puzzles, int steps) {
    std::vector<PuzzleGrid> grids;
    if (kind == "removed" && puzzles.empty()) return grids;
    for (size_t i = 0; i < count; ++i) {
        if (kind == "sparse") {
            grids.push_back(Sparse(int(i % 31)));
        } else if (kind == "unsolvable") {
            grids.push_back(Unsolvable());
        } else if (kind == "removed") {
            grids.push_back(CluesRemoved(puzzles[i % puzzles.size()], 1 + int(i % 10)));
        } else if (kind == "climbed" || kind == "climbed-time") {
            const PuzzleGrid start = i % 2 ? Unsolvable() : Sparse(int(8 + i % 20));
            grids.push_back(Climb(start, steps, kind == "climbed" ? SolverWork : SolverTime));
        } else {
            break;
        }
    }
    return grids;
}

PuzzleGrid CHostileGrids::Climb(PuzzleGrid start, int steps,
                                const std::function<double(const PuzzleGrid&)>& cost) {
    double current = cost(start);
    for (int step = 0; step < steps; ++step) {
        const PuzzleGrid next = Mutate(start);
        const double value = cost(next);
        if (value >= current) start = next, current = value;
    }
    return start;
}

double CHostileGrids::SolverWork(const PuzzleGrid& grid) {
    PuzzleGrid copy = grid;
    CEngineWork work;
    BestEngine().solve(copy.data(), {}, &work);
    return double(work.guesses) + 8.0 * double(work.tests) + 0.1 * double(work.levels);
}

double CHostileGrids::SolverTime(const PuzzleGrid& grid) {
    const auto now = [] {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return double(t.tv_sec) * 1e6 + double(t.tv_nsec) / 1e3;
    };
    double least = 0;
    for (int run = 0; run < 3; ++run) {
        PuzzleGrid copy = grid;
        const double start = now();
        BestEngine().solve(copy.data(), {}, nullptr);
        const double spent = now() - start;
        if (run == 0 || spent < least) least = spent;
    }
    return least;
}
