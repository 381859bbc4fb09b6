// The help's checks and the working grid.
//
// Short names: i is a cell index, d a digit 1-9.
#include "explain_analysis.h"

#include <bit>

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

namespace {

// Depth-first over the candidates, the cell with the fewest first. Pencil-mark puzzles come
// with most candidates already gone, so this stays small beside the exact solver's work.
class CCandidateSearch {
  public:
    CCandidateSearch(const CCandidateGrid& grid, std::stop_token stop)
        : m_values(grid.values), m_masks(grid.masks), m_stop(stop) {}

    CSolutionCount Run() {
        for (int i = 0; i < kCellCount; ++i) {
            if (m_values[i] > 9) return m_count;
            if (m_values[i] == 0) continue;
            for (uint8_t peer : kCellPeers[i]) {
                if (m_values[peer] == m_values[i]) return m_count;
            }
        }
        Search();
        return m_count;
    }

  private:
    void Search() {
        if (m_count.count == 2 || m_stop.stop_requested()) return;
        int best = -1;
        unsigned bestMask = 0;
        for (int i = 0; i < kCellCount; ++i) {
            if (m_values[i] != 0) continue;
            unsigned mask = m_masks[i];
            for (uint8_t peer : kCellPeers[i]) mask &= ~(1u << m_values[peer]);
            if (best < 0 || std::popcount(mask) < std::popcount(bestMask)) {
                best = i;
                bestMask = mask;
                if (mask == 0) return;
            }
        }
        if (best < 0) {
            m_count.solutions[m_count.count++] = m_values;
            return;
        }
        for (unsigned mask = bestMask; mask != 0; mask &= mask - 1) {
            m_values[best] = uint8_t(std::countr_zero(mask));
            Search();
        }
        m_values[best] = 0;
    }

    PuzzleGrid m_values;
    CandidateMasks m_masks;
    std::stop_token m_stop;
    CSolutionCount m_count;
};

// Whether `grid` holds no candidates besides those its placed digits leave: a puzzle of
// givens alone, which the exact solver answers.
bool OnlyGivens(const CCandidateGrid& grid) {
    const std::optional<CCandidateGrid> plain = CCandidateGrid::FromGivens(grid.values);
    return plain && plain->masks == grid.masks;
}

}  // namespace

CSolutionCount CountCandidateSolutions(const CCandidateGrid& grid, std::stop_token stop) {
    return CCandidateSearch(grid, stop).Run();
}

CHint FindHint(const CCandidateGrid& puzzle, const CCandidateGrid& working, std::stop_token stop) {
    CHint hint;
    const CSolutionCount count = OnlyGivens(puzzle) ? CountSolutions(puzzle.values.data())
                                                    : CountCandidateSolutions(puzzle, stop);
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
