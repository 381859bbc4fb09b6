// The fewest-candidates search of CGridSolver::Search, on incremental masks, and a descent
// that reaches the same first solution by asking a solution counter which branch holds it.
#pragma once

#include <cstdint>
#include <functional>

#include "solution_counter.h"

class COrderedSearch {
  public:
    enum Outcome {
        kExhausted = SEARCH_EXHAUSTED,  // no solution; the grid is as it was
        kSolved = SEARCH_SOLVED,        // the grid holds the first solution in search order
        kExpired = SEARCH_TIMED_OUT,    // m_expired said stop; the grid holds what was placed
        kOverBudget = 2,                // the node budget ran out; the grid is as it was
    };

    // Asked every 64 nodes; returning true stops the search with kExpired.
    std::function<bool()> m_expired;

    // Searches `grid` (81 cells, each 0-9, givens consistent) in exactly the order of
    // CGridSolver::Search, visiting at most `nodeBudget` search levels.
    Outcome Run(uint8_t* grid, int64_t nodeBudget);

    // Reaches the first solution in that order without exploring dead branches: at each
    // level the chosen cell takes the smallest digit whose branch `counter` finds
    // solvable. `grid` must have at least two solutions. Returns kSolved or kExpired;
    // kExhausted only if the counter contradicted itself, rather than looping.
    Outcome Descend(uint8_t* grid, CSolutionCounter& counter);

    int64_t m_nodes = 0;  // levels visited by the last Run

  private:
    // The search's choice on the current grid: -1 when a cell has no candidate, 0 when no
    // cell is empty, else 1 with the cell and its candidate digits (bit d for digit d).
    int Select(int& cell, unsigned& digits) const;
    Outcome Step();
    void Load(uint8_t* grid);
    void Set(int cell, int d);
    void Clear(int cell, int d);

    uint8_t* m_grid = nullptr;
    uint64_t m_empty[2] = {};  // bit i of word i / 64: cell i is empty
    uint16_t m_used[27] = {};  // per row, column (9 + c) and box (18 + b): bit d if d is there
    int64_t m_budget = 0;
};
