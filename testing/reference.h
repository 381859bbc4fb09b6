// References for the solver's answers that share no code with its engine: CGridSolver's
// plain Search, a plain backtracking count, and a walk to the first solution in Search's
// order. All are slow on hard grids, so each stops at a budget of levels and then says so.
#pragma once

#include <cstdint>
#include <optional>

#include "grid_solver.h"

// The answer of a request: solved or not, and the solution.
struct CReferenceAnswer {
    bool solved = false;
    PuzzleGrid solution{};  // when solved
};

// What CGridSolver::Search answers on `grid` (cells 0-9, givens consistent); nothing when
// it took more than `maxLevels` levels.
std::optional<CReferenceAnswer> PlainSearch(const PuzzleGrid& grid, int64_t maxLevels);

// The solutions of `grid` (cells 0-9, givens consistent), counted up to two by plain
// fewest-candidates backtracking without propagation; nothing when that took more than
// `maxLevels` levels.
std::optional<int> CountByBacktracking(const PuzzleGrid& grid, int64_t maxLevels);

// Search's choice in `grid`: the first cell with the fewest candidates, stopping at one with
// a single candidate; -1 when the grid is full. `digits` gets its candidates.
int SearchChoice(const PuzzleGrid& grid, CandidateSet& digits);

// The first solution of `grid` (cells 0-9, givens consistent) in Search's order, reached
// without that search: Search's own choice of cell at each level, and of its digits the
// smallest whose grid a plain backtracking count finds solvable. Works where Search would
// wander for hours in dead branches, since every test stops at the first solution it
// meets. Nothing when the tests took more than `maxLevels` levels in all.
std::optional<CReferenceAnswer> WalkToFirstSolution(const PuzzleGrid& grid, int64_t maxLevels);
