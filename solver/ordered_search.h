// The fewest-candidates order of CGridSolver::Search on incremental masks: the search
// itself under a budget, and the same search made safe on any grid by the band engine.
// Compiled once per instruction set; private to the solver library.
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
    // ran out first, and the grid is then as it was. On kSolved the grid holds the first
    // solution in that order; on kExpired, the digits placed so far.
    std::optional<CFastOutcome> Run(uint8_t* grid, int64_t levelBudget);

    // The same search with no budget, in which the engine cuts off dead branches: a level
    // whose branches so far were dead and took the search more than a few dozen levels
    // asks the engine whether any branch left holds a solution, and gives up at once when
    // none does. `root` is the engine's propagated position of `grid`. The answer is the
    // search's own; kSolved, kNoSolution or kExpired.
    CFastOutcome RunPruned(uint8_t* grid, const CBandState& root);

    // What this object has spent, over all its runs.
    int64_t m_levels = 0;   // levels of the search
    int64_t m_tests = 0;    // levels the engine tested for a solution
    int64_t m_guesses = 0;  // the engine's guesses in those tests

  private:
    // The search's choice on the current grid: -1 when a cell has no candidate, 0 when no
    // cell is empty, else 1 with the cell and its candidate digits (a digit mask).
    int Select(int& cell, unsigned& digits) const;
    // One level; nothing when over budget.
    std::optional<CFastOutcome> Step();
    // Whether the grid of the path's first m_depth levels has a solution, by the engine;
    // nothing when the clock said stop.
    std::optional<bool> HasSolution();
    void Load(uint8_t* grid);
    void Set(int cell, int d);
    void Clear(int cell, int d);

    uint8_t* m_grid = nullptr;
    uint64_t m_empty[2] = {};  // bit i of word i / 64: cell i is empty
    uint16_t m_used[27] = {};  // per unit: bit d when digit d is placed in it
    int64_t m_budget = 0;      // levels the current run may still visit
    int m_depth = 0;           // levels on the path, each placing m_path[level]
    uint8_t m_path[kCellCount] = {};

    // While pruning: the engine's positions of the path's first levels, m_positions[k]
    // for the first k (m_positions[0] of the givens), where m_known[k]; m_dead[k] when
    // that position proved to have no solution. None is known beyond m_deepestKnown.
    bool m_pruning = false;
    CBandState m_positions[kCellCount + 1];
    bool m_known[kCellCount + 1] = {};
    bool m_dead[kCellCount + 1] = {};
    int m_deepestKnown = 0;
};

}  // namespace VELMO_ISA
