// A hint for a person solving by hand: the grid they work on (the puzzle, the digits they
// entered, the candidates they or applied hints struck out) is checked against the puzzle's
// solution before a step is looked for, so that no hint builds on a mistake. Every front end
// (the window, the C library, the Python module) asks this.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <stop_token>
#include <vector>

#include "logic.h"

using CandidateMasks = std::array<uint16_t, kCellCount>;  // bit d: digit d, as in CCandidateGrid

// `puzzle` with the digits of `cells` that it does not hold placed (each removing its digit
// from the candidates of the cells it sees) and the candidates of `struck` removed. A cell of
// `cells` that is empty, or holds a value above 9, stays as the puzzle has it.
CCandidateGrid WorkingGrid(const CCandidateGrid& puzzle, const PuzzleGrid& cells,
                           const CandidateMasks& struck);

// A pencil-mark puzzle (bit d of each cell: d is a candidate) as the help works on it: the
// cells the logic counts as placed, and the candidates of the others. A cell without any
// candidate stays empty with none, so that the help answers 无解 rather than refusing it.
CCandidateGrid PencilMarkPuzzle(const CandidateMasks& masks);

struct CHint {
    enum Outcome : uint8_t {
        kStep,              // `step` is the next one
        kSolved,            // every cell is filled, and rightly
        kNoSolution,        // the puzzle has none
        kSeveralSolutions,  // the puzzle has more than one
        kWrongEntries,      // `wrongCells` hold digits the solution does not have there
        kWrongStrikeOuts,   // `wrongCandidates` were struck out but are the solution's digits
        kNoStep,            // no technique applies
        kStopped,           // the stop was requested first
    };
    Outcome outcome = kNoStep;
    std::optional<CStep> step;
    std::vector<uint8_t> wrongCells;
    std::vector<CCandidate> wrongCandidates;
};

// The next step for `working`, a grid made by WorkingGrid from `puzzle`. The puzzle's
// solution (within its candidates for a pencil-mark puzzle) decides whether the puzzle has
// exactly one and whether the person's digits and strike-outs agree with it; it never
// chooses the step.
CHint FindHint(const CCandidateGrid& puzzle, const CCandidateGrid& working,
               std::stop_token stop = {});

// The grid before each step of `path`, starting from `start`.
std::vector<CCandidateGrid> GridsAlongPath(const CCandidateGrid& start,
                                           const std::vector<CStep>& path);
