// Taking givens away while one solution stays: the exact solver decides, except where a cell
// taken away is plainly fixed by the givens left (its peers hold the eight other digits).
#include "reduce.h"

#include <algorithm>

#include "grid_solver.h"

namespace generator {

namespace {

// True when the empty cell `cell` of `puzzle` can hold only one digit beside its peers.
bool IsNakedSingle(const PuzzleGrid& puzzle, int cell) {
    unsigned seen = 0;
    for (uint8_t peer : kCellPeers[cell]) seen |= 1u << puzzle[peer];
    return std::popcount(seen & kAllDigits) == 8;
}

}  // namespace

bool HasOneSolution(const PuzzleGrid& puzzle) {
    return CountSolutions(puzzle.data()).count == 1;
}

int CountGivens(const PuzzleGrid& puzzle) {
    return int(kCellCount - std::count(puzzle.begin(), puzzle.end(), 0));
}

void Reduce(PuzzleGrid& puzzle, std::span<const COrbit> order, int stopAt) {
    int givens = CountGivens(puzzle);
    for (const COrbit& orbit : order) {
        if (givens <= stopAt) return;
        if (puzzle[orbit.cells[0]] == 0) continue;
        std::array<uint8_t, 4> kept{};
        for (int k = 0; k < orbit.size; ++k) {
            kept[k] = puzzle[orbit.cells[k]];
            puzzle[orbit.cells[k]] = 0;
        }
        // Cells each fixed by the givens left leave the one solution as it was.
        bool fixed = true;
        for (int k = 0; k < orbit.size && fixed; ++k) fixed = IsNakedSingle(puzzle, orbit.cells[k]);
        if (fixed || HasOneSolution(puzzle)) {
            givens -= orbit.size;
        } else {
            for (int k = 0; k < orbit.size; ++k) puzzle[orbit.cells[k]] = kept[k];
        }
    }
}

bool IsMinimal(const PuzzleGrid& puzzle, std::span<const COrbit> orbits) {
    PuzzleGrid trial = puzzle;
    for (const COrbit& orbit : orbits) {
        if (puzzle[orbit.cells[0]] == 0) continue;
        for (int k = 0; k < orbit.size; ++k) trial[orbit.cells[k]] = 0;
        if (HasOneSolution(trial)) return false;
        for (int k = 0; k < orbit.size; ++k) trial[orbit.cells[k]] = puzzle[orbit.cells[k]];
    }
    return true;
}

}  // namespace generator
