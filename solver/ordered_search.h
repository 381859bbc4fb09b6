// The fewest-candidates order of CGridSolver::Search on incremental masks: the search
// itself under a budget, and the walk that reaches its first solution with the band
// engine's help. Compiled once per instruction set; private to the solver library.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "band_engine.h"
#include "fast_path.h"
#include "grid.h"

namespace VELMO_ISA {

class COrderedSearch {
  public:
    // Asked now and then; returning true stops the search with kExpired.
    std::function<bool()> m_expired;

    // Searches `grid` (81 cells, each 0-9, givens consistent) in exactly the order of
    // CGridSolver::Search, visiting at most `levelBudget` levels. Nothing when the budget
    // ran out first, and the grid is then as it was.
    std::optional<CFastOutcome> Run(uint8_t* grid, int64_t levelBudget);

    // Fills `grid` with its first solution in that order, walking the order with tests by
    // the engine. `state` is the engine's propagated position of `grid`, and `witnesses`
    // one or two solutions of it. Returns kSolved or kExpired; kNoSolution only if the
    // engine contradicted itself, rather than going on with a broken position.
    CFastOutcome FirstSolution(uint8_t* grid, CBandState state, const PuzzleGrid* witnesses,
                               int witnessCount);

    // What this object has spent, over all its runs and walks.
    int64_t m_levels = 0;   // levels of the plain search
    int64_t m_tests = 0;    // branches the walk tested for a solution
    int64_t m_guesses = 0;  // the engine's guesses in those tests

  private:
    // The search's choice on the current grid: -1 when a cell has no candidate, 0 when no
    // cell is empty, else 1 with the cell and its candidate digits (a digit mask).
    int Select(int& cell, unsigned& digits) const;
    // One level of Run; nothing when over budget.
    std::optional<CFastOutcome> Step();
    void Load(uint8_t* grid);
    void Set(int cell, int d);
    void Clear(int cell, int d);

    uint8_t* m_grid = nullptr;
    uint64_t m_empty[2] = {};  // bit i of word i / 64: cell i is empty
    uint16_t m_used[27] = {};  // per unit: bit d when digit d is placed in it
    int64_t m_budget = 0;      // levels the current run may still visit
};

}  // namespace VELMO_ISA
