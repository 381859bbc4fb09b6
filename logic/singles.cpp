// The singles: a unit with one empty cell left (full house), a digit with one place left in a
// unit (hidden single), a cell with one candidate left (naked single).
//
// u is a unit, d a digit.
#include "find_context.h"

namespace logic {

std::optional<CStep> FindFullHouse(CFindContext& ctx) {
    const CCandidateGrid& grid = ctx.grid;
    const CUnitPositions& up = ctx.up;
    for (int u = 0; u < kUnitCount; ++u) {
        // The unit's placed digits first: most units miss more than one, and are left
        // without their empty cells counted.
        const unsigned missing = kAllDigits & ~up.placed[u];
        if (Count(missing) != 1) continue;
        int empty = -1, emptyCount = 0;
        for (uint8_t cell : kUnitCells[u]) {
            if (grid.values[cell] == 0) {
                empty = cell;
                ++emptyCount;
            }
        }
        if (emptyCount != 1) continue;
        const int d = std::countr_zero(missing);
        if (!Has(grid, empty, d)) continue;
        CStep step = MakeStep(CTechnique::kFullHouse, u);
        step.cells = {uint8_t(empty)};
        step.placements = {Cand(empty, d)};
        return step;
    }
    return std::nullopt;
}

namespace {

std::optional<CStep> HiddenSingle(const CUnitPositions& up, bool boxes) {
    for (int n = 0; n < (boxes ? 9 : 18); ++n) {
        const int u = boxes ? 18 + n : n;
        for (int d = 1; d <= 9; ++d) {
            if (Count(up.pos[u][d]) != 1 || (up.placed[u] >> d & 1) != 0) continue;
            const int cell = kUnitCells[u][std::countr_zero(up.pos[u][d])];
            CStep step =
                MakeStep(boxes ? CTechnique::kHiddenSingleBox : CTechnique::kHiddenSingleLine, u);
            step.cells = {uint8_t(cell)};
            step.placements = {Cand(cell, d)};
            return step;
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<CStep> FindHiddenSingleBox(CFindContext& ctx) {
    return HiddenSingle(ctx.up, true);
}

std::optional<CStep> FindHiddenSingleLine(CFindContext& ctx) {
    return HiddenSingle(ctx.up, false);
}

std::optional<CStep> FindNakedSingle(CFindContext& ctx) {
    const CCandidateGrid& grid = ctx.grid;
    for (int cell = 0; cell < kCellCount; ++cell) {
        if (grid.values[cell] != 0 || Count(grid.masks[cell]) != 1) continue;
        CStep step = MakeStep(CTechnique::kNakedSingle);
        step.cells = {uint8_t(cell)};
        step.placements = {Cand(cell, std::countr_zero(grid.masks[cell]))};
        return step;
    }
    return std::nullopt;
}

}  // namespace logic
