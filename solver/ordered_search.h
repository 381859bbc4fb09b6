// The fewest-candidates order of CGridSolver::Search on incremental masks: the search
// itself under a budget, and the same search made safe on any grid by the band engine.
// Compiled once per instruction set; private to the solver library.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "band_engine.h"
#include "engine.h"
#include "grid.h"

namespace VELMO_ISA {

inline constexpr int kMaskLanes = 96;  // 81 cells, padded to six vectors of sixteen
// Each row of masks begins on a 64-byte vector boundary, for the aligned loads and stores.
static_assert(kMaskLanes * sizeof(uint16_t) % 64 == 0);

class COrderedSearch {
  public:
    // Asked now and then; returning true stops the search with kExpired.
    CExpiry m_expiry;

    // Searches `grid` (81 cells, each 0-9) in exactly the order of CGridSolver::Search,
    // visiting at most `levelBudget` levels; givens that repeat a digit have no solution.
    // Nothing when the budget ran out first. On kSolved the grid holds the first solution
    // in that order; else it is as it was.
    // Once it has visited `rootCheckAfter` levels, if fewer than the budget, it asks the
    // engine's propagation of the givens (Root) first, and ends with kNoSolution where that
    // finds none.
    std::optional<CEngineOutcome> Run(uint8_t* grid, int64_t levelBudget,
                                      int64_t rootCheckAfter = INT64_MAX);
    // After Run: the engine's propagated position of the givens, when Run built it.
    const CBandState* Root() const { return m_rootBuilt ? &m_positions[0] : nullptr; }

    // The same search with no budget, in which the engine cuts off dead branches: a level
    // whose branches so far were dead and took the search more than a few dozen levels
    // asks the engine whether any branch left holds a solution, and gives up at once when
    // none does. `root` is the engine's propagated position of `grid`, and `choice` the
    // engine's way of choosing to begin the tests with (CEngineQuery::firstChoice), and
    // `conflicts` the contradictions its count of `grid` met (CEngineQuery::conflicts).
    // `solutions` are solutions of `grid` already known, if any: a level that one of them
    // passes through holds a solution, so it needs no test. The answer is the search's own;
    // kSolved, kNoSolution or kExpired.
    CEngineOutcome RunPruned(uint8_t* grid, const CBandState& root, int choice = 0,
                             std::span<const PuzzleGrid> solutions = {},
                             const CConflicts& conflicts = {});

    // RunPruned without known solutions, for a grid whose solutions are not counted yet:
    // within `levelBudget` levels and without asking the engine for a solution, and where
    // it would need either, the engine counts the grid's solutions from `root` instead
    // (Count). None or one settles the answer at once; with several the search goes on
    // from where it stands, as RunPruned would with them, rather than starting over.
    CEngineOutcome TryPruned(uint8_t* grid, const CBandState& root, int64_t levelBudget,
                             const CConflicts& conflicts = {});

    // What this object has spent, over all its runs.
    int64_t m_levels = 0;   // levels of the search
    int64_t m_tests = 0;    // levels the engine tested for a solution
    int64_t m_guesses = 0;  // the engine's guesses in those tests

  private:
    // RunPruned and TryPruned: with `tests` false, the first level that would ask the engine
    // for a solution, or pass the budget, counts the solutions instead (Count).
    CEngineOutcome Prune(uint8_t* grid, const CBandState& root, int choice,
                         std::span<const PuzzleGrid> solutions, const CConflicts& conflicts,
                         int64_t levelBudget, bool tests);
    // Counts the grid's solutions from the root position, up to two. With several, they join
    // the known ones, tests are allowed and the budget is lifted: true, and the search goes
    // on. Else false, with the answer in m_counted, and the search unwinds. Deep in the
    // path it counts nothing and only allows tests and lifts the budget.
    bool Count();
    // The known solutions (a bit each) that agree with the path's first m_depth levels.
    uint32_t SolutionsThroughPath() const;
    // Where the engine's position of the path's first `base` levels has every cell fixed:
    // puts that solution in the grid.
    void Complete(int base);
    // Places every cell with a single candidate, as Search's levels would, adding them to
    // the path and to `placed`; false when a cell is left with none.
    bool PlaceSingles(int64_t& placed);
    // The search's choice once no cell has a single candidate: 0 when no cell is empty,
    // else 1 with the cell and its candidate digits (a digit mask).
    int SelectBranch(int& cell, unsigned& digits) const;
    // One level with the singles before it; nothing when over budget. `through`: the known
    // solutions (bit k for m_solutions[k]) that agree with the path so far.
    std::optional<CEngineOutcome> Step(uint32_t through);
    // Makes the engine's position of the path's first m_depth levels known; false when
    // propagation finds it has no solution.
    bool PositionAlive();
    // The depth of the deepest known position at most `depth` deep (position 0 always is).
    int KnownBase(int depth) const;
    // Forgets the positions deeper than `depth`, which no longer lie on the path.
    void ForgetBelow(int depth);
    // Whether the grid of the path's first m_depth levels, its next cell `cell` restricted
    // to `digits` (bit d for digit d), has a solution, by the engine; nothing when the
    // clock said stop. The solution found joins m_solutions while there is room, its bit
    // in m_lastFound.
    std::optional<bool> HasSolution(int cell, unsigned digits);
    // Adds a solution of the grid to m_solutions; its bit there, or 0 when they are full.
    uint32_t AddSolution(const PuzzleGrid& solution);
    // Takes `grid` as the search's: false when its givens repeat a digit in a unit.
    bool Load(uint8_t* grid);
    // Puts the grid back as Load found it.
    void Restore();
    // Places digit d in `cell` and takes it from the cell's peers.
    void Set(int cell, int d);

    uint8_t* m_grid = nullptr;
    // The grid as it was loaded. The search leaves the cells of the branches it gave up
    // in m_grid, and puts the grid back from here when it ends without a solution.
    uint8_t m_givens[kCellCount];
    // Per cell, its candidates as a digit mask, 0xFFFF when filled; the lanes past the last
    // cell pad it to whole vectors. m_saved[level] holds them as that level of the path
    // began.
    // (Left uninitialised: each level writes its row before reading it, and clearing 15 kB
    // on every request would cost more than a dense grid takes to solve.)
    alignas(64) uint16_t m_candidates[kMaskLanes];
    alignas(64) uint16_t m_saved[kCellCount][kMaskLanes];
    int64_t m_budget = 0;          // levels the current run may still visit
    int64_t m_afterRootCheck = 0;  // Run: levels it may visit past the root's check
    bool m_rootBuilt = false;      // Run: the root's check was made, into m_positions[0]
    bool m_rootDead = false;       // Run: and it found no solution
    int64_t m_checkWork = 0;       // the propagation checks made, in levels (kCheckLevelsTesting)
    int64_t m_lastAsked = -1;      // the level count, to 64, when the clock was last asked
    int m_depth = 0;               // cells the path has placed, in m_path
    uint8_t m_path[kCellCount] = {};

    // While pruning: the engine's positions of the path's first levels, m_positions[k]
    // for the first k (m_positions[0] of the givens), where bit k of m_known (bit k % 64
    // of word k / 64) is set; m_dead[k] when that position proved to have no solution.
    bool m_pruning = false;
    bool m_testing = true;  // whether the engine may be asked for a solution
    // After a Count that ended the search: its answer, and the solution when it found one
    // (left uninitialised, as it is read only then).
    std::optional<CEngineOutcome> m_counted;
    PuzzleGrid m_countedSolution;
    CConflicts m_conflicts{};  // the engine's, carried from test to test
    int m_choice = 0;          // the engine's way of choosing that settled the last test
    CBandState m_positions[kCellCount + 1];
    // A bit set, so that the deepest known position is found by counting leading zeros
    // where a scan of flags mispredicted.
    uint64_t m_known[2] = {1, 0};
    bool m_dead[kCellCount + 1] = {};
    int64_t m_deadLevels = 0;  // levels of dead branches the pruned search has walked

    // Solutions of the grid met so far, by the count before the search or by its tests.
    static constexpr int kMaxSolutions = 32;
    PuzzleGrid m_solutions[kMaxSolutions];
    int m_solutionCount = 0;
    uint32_t m_lastFound = 0;  // the bit of the solution the last test added, if any
};

}  // namespace VELMO_ISA
