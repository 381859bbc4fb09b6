// Grids made to be hard for a solver: for the benchmarks, the fuzz targets and the tests.
#pragma once

#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "grid_solver.h"

class CHostileGrids {
  public:
    explicit CHostileGrids(uint32_t seed) : m_random(seed) {}

    // `givens` random digits in random cells, none repeating a digit in a unit: the sparser,
    // the more solutions.
    PuzzleGrid Sparse(int givens);

    // Random digits added one at a time, none repeating a digit in a unit, until the grid
    // has no solution: consistent grids that only just lost their last solution, the
    // hardest kind to refute.
    PuzzleGrid Unsolvable();

    // `puzzle` with `count` of its givens taken away.
    PuzzleGrid CluesRemoved(const PuzzleGrid& puzzle, int count);

    // `puzzle` (one solution) with one digit added that no given forbids but that its
    // solution does not have: consistent, without solution.
    PuzzleGrid WrongDigit(const PuzzleGrid& puzzle);

    // Hill-climbing from `start`: `steps` random changes (a given added, removed or
    // changed, never repeating a digit in a unit), each kept when `cost` does not fall.
    PuzzleGrid Climb(PuzzleGrid start, int steps,
                     const std::function<double(const PuzzleGrid&)>& cost);

    // A random change of one of those kinds, or the grid itself when none applies.
    PuzzleGrid Mutate(const PuzzleGrid& grid);

    // `count` grids of one of the kinds, the i-th with the setting that cycles with i:
    // "sparse" (i % 31 givens), "unsolvable", "removed" (1 + i % 10 givens taken from the
    // puzzles of `puzzles` in turn), "climbed" (`steps` of Climb on SolverWork from a sparse
    // grid of 8 + i % 20 givens or, every other one, an unsolvable grid), "climbed-time"
    // (the same on SolverTime: not repeatable, since it follows the machine's timing). Empty for
    // another kind, or "removed" without puzzles. The benchmarks and hostile-hunt make their sets
    // here.
    std::vector<PuzzleGrid> Make(const std::string& kind, size_t count,
                                 const std::vector<PuzzleGrid>& puzzles = {}, int steps = 300);

    // The solver's work on a grid, for Climb: the engine's guesses, the tests of the search
    // in its own order and its levels, each weighted by what it roughly costs (a guess half
    // a microsecond, a test four, a level a twentieth). Deterministic, unlike time, so that
    // a climb is not led by noise.
    static double SolverWork(const PuzzleGrid& grid);

    // Solve's time on a grid in microseconds of this thread's processor time, the least of
    // three runs, so that a climb on it is led less by what the other cores do. A climb on
    // time finds what the work's weights miss: a kind of step that costs more than they say.
    static double SolverTime(const PuzzleGrid& grid);

  private:
    // A random digit that `grid` allows in `cell` (which must be empty), or 0 for none.
    int RandomCandidate(const PuzzleGrid& grid, int cell);
    int RandomCell(const PuzzleGrid& grid, bool given);

    std::mt19937 m_random;
};
