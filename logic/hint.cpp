// The hint's checks of a person's work, and the grid they work on.
//
// Short names: i is a cell index, d a digit 1-9.
#include "hint.h"

CCandidateGrid WorkingGrid(const CCandidateGrid& puzzle, const PuzzleGrid& cells,
                           const CandidateMasks& struck) {
    CCandidateGrid grid = puzzle;
    for (int i = 0; i < kCellCount; ++i) {
        const int d = cells[i];
        if (d < 1 || d > 9 || grid.values[i] != 0) continue;
        grid.values[i] = uint8_t(d);
        grid.masks[i] = 0;
        for (uint8_t peer : kCellPeers[i]) grid.masks[peer] &= uint16_t(~(1u << d));
    }
    for (int i = 0; i < kCellCount; ++i) {
        if (grid.values[i] == 0) grid.masks[i] &= uint16_t(~struck[i]);
    }
    return grid;
}

CCandidateGrid PencilMarkPuzzle(const CandidateMasks& masks) {
    if (std::optional<CCandidateGrid> grid = CCandidateGrid::FromPencilMarks(masks)) return *grid;
    CCandidateGrid grid;
    for (int i = 0; i < kCellCount; ++i) grid.masks[i] = masks[i] & kAllDigits;
    return grid;
}

CHint FindHint(const CCandidateGrid& puzzle, const CCandidateGrid& working, std::stop_token stop) {
    CHint hint;
    const CSolutionCount count = CountCandidateSolutions(puzzle, stop);
    if (stop.stop_requested()) {
        hint.outcome = CHint::kStopped;
        return hint;
    }
    if (count.count == 0) {
        hint.outcome = CHint::kNoSolution;
        return hint;
    }
    if (count.count > 1) {
        hint.outcome = CHint::kSeveralSolutions;
        return hint;
    }
    const PuzzleGrid& solution = count.solutions[0];
    bool filled = true;
    for (int i = 0; i < kCellCount; ++i) {
        const int d = working.values[i];
        if (d == 0) {
            filled = false;
            if (!(working.masks[i] & (1u << solution[i]))) {
                hint.wrongCandidates.push_back({uint8_t(i), solution[i]});
            }
        } else if (d != solution[i]) {
            hint.wrongCells.push_back(uint8_t(i));
        }
    }
    if (!hint.wrongCells.empty()) {
        hint.outcome = CHint::kWrongEntries;
        return hint;
    }
    if (!hint.wrongCandidates.empty()) {
        hint.outcome = CHint::kWrongStrikeOuts;
        return hint;
    }
    if (filled) {
        hint.outcome = CHint::kSolved;
        return hint;
    }
    hint.step = FindEasiestStep(working, stop);
    if (stop.stop_requested()) {
        hint.outcome = CHint::kStopped;
        hint.step.reset();
    } else {
        hint.outcome = hint.step ? CHint::kStep : CHint::kNoStep;
    }
    return hint;
}

std::vector<CCandidateGrid> GridsAlongPath(const CCandidateGrid& start,
                                           const std::vector<CStep>& path) {
    std::vector<CCandidateGrid> grids;
    grids.reserve(path.size());
    CCandidateGrid grid = start;
    for (const CStep& step : path) {
        grids.push_back(grid);
        ApplyStep(grid, step);
    }
    return grids;
}
