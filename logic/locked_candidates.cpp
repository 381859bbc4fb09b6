// Locked candidates: a box's digit confined to one line (pointing) or a line's digit confined
// to one box (claiming) goes from the rest of the other unit. The "direct" ones count only
// where that leaves a hidden single, which they place.
//
// u is a unit, d a digit, pos a unit's 9-bit position mask of one digit (CUnitPositions).
#include <vector>

#include "find_context.h"

namespace logic {

namespace {

// The hidden single of digit d that removing d from `removed` leaves, if any: the placement
// a direct technique makes. The scale's rater looks for it only in the units of the
// pattern's own kind that cross the eliminations (other boxes for a pointing, parallel lines
// for a claiming), so a single it leaves elsewhere does not make the step direct.
std::optional<std::pair<int, int>> HiddenSingleAfter(const CCandidateGrid& grid, int d,
                                                     const std::vector<uint8_t>& removed,
                                                     int patternUnit) {
    std::array<bool, kCellCount> gone{};
    for (uint8_t cell : removed) gone[cell] = true;
    for (uint8_t cell : removed) {
        const CCellUnits& units = kCellUnits[cell];
        const int u = patternUnit >= 18 ? units.box : patternUnit < 9 ? units.row : units.column;
        int left = -1, count = 0;
        for (uint8_t other : kUnitCells[u]) {
            if (Has(grid, other, d) && !gone[other]) {
                left = other;
                ++count;
            }
        }
        if (count == 1) return std::pair{left, u};
    }
    return std::nullopt;
}

// Pointing (a box's digit confined to one line) or claiming (a line's digit confined to one
// box); with `direct`, only those that leave a hidden single, which they place.
std::optional<CStep> Locked(CFindContext& ctx, bool pointing, bool direct) {
    const CCandidateGrid& grid = ctx.grid;
    const CUnitPositions& up = ctx.up;
    const unsigned skipped = ctx.Skipped();
    // Only the digits the memo does not skip, walked by their bits rather than each tested.
    const unsigned looked = kAllDigits & ~skipped;
    for (int u = pointing ? 18 : 0; u < (pointing ? 27 : 18); ++u) {
        for (unsigned m = looked; m != 0; m &= m - 1) {
            const int d = std::countr_zero(m);
            const unsigned pos = up.pos[u][d];
            if (Count(pos) < 2) continue;
            // The other unit all the cells share: a line for a box, the box for a line. Read
            // from the places by mask, a unit's places by index being its boxes' thirds (a
            // box's: its rows) and a box's columns, not from the cells' units one by one: the
            // nested chains run this on every grid they assume.
            static constexpr unsigned kThirds[3] = {0x7, 0x38, 0x1C0};
            static constexpr unsigned kColumns[3] = {0x49, 0x92, 0x124};
            auto withinOne = [pos](const unsigned(&parts)[3]) {
                return (pos & ~parts[0]) == 0 || (pos & ~parts[1]) == 0 || (pos & ~parts[2]) == 0;
            };
            // The min is never taken (pos has two places at least); it shows GCC 14, which
            // warns otherwise, that the first place is below nine.
            const int firstPlace = std::min(std::countr_zero(pos), kGridSize - 1);
            const CCellUnits& first = kCellUnits[kUnitCells[u][firstPlace]];
            int target = -1;
            if (pointing) {
                target = withinOne(kThirds) ? first.row : withinOne(kColumns) ? first.column : -1;
            } else {
                target = withinOne(kThirds) ? first.box : -1;
            }
            if (target < 0) continue;
            // Nothing to remove unless the target has places outside the pattern's unit, read
            // from its positions before any cell is looked at: most patterns remove nothing.
            const int box = (pointing ? u : target) - 18;
            const unsigned inside = pointing ? kThirds[target < 9 ? box % 3 : box / 3]
                                    : u < 9  ? kThirds[u % 3]
                                             : kColumns[(u - 9) % 3];
            if ((up.pos[target][d] & ~inside) == 0) continue;
            std::vector<uint8_t> removed;
            for (uint8_t cell : kUnitCells[target]) {
                const CCellUnits& units = kCellUnits[cell];
                const bool inside =
                    pointing ? units.box == u : (u < 9 ? units.row : units.column) == u;
                if (!inside && Has(grid, cell, d)) removed.push_back(cell);
            }
            if (removed.empty()) continue;
            CStep step;
            if (direct) {
                const auto single = HiddenSingleAfter(grid, d, removed, u);
                if (!single) continue;
                step =
                    MakeStep(pointing ? CTechnique::kDirectPointing : CTechnique::kDirectClaiming,
                             single->second);
                step.placements = {Cand(single->first, d)};
                for (uint8_t cell : removed) step.pattern.push_back(Cand(cell, d));
            } else {
                step = MakeStep(pointing ? CTechnique::kPointing : CTechnique::kClaiming, u);
                for (uint8_t cell : removed) step.eliminations.push_back(Cand(cell, d));
            }
            step.cells = UnitCells(u, pos);
            for (uint8_t cell : step.cells) step.pattern.push_back(Cand(cell, d));
            return step;
        }
    }
    ctx.NoteNothingBut(skipped);
    return std::nullopt;
}

}  // namespace

std::optional<CStep> FindDirectPointing(CFindContext& ctx) {
    return Locked(ctx, true, true);
}

std::optional<CStep> FindDirectClaiming(CFindContext& ctx) {
    return Locked(ctx, false, true);
}

std::optional<CStep> FindPointing(CFindContext& ctx) {
    return Locked(ctx, true, false);
}

std::optional<CStep> FindClaiming(CFindContext& ctx) {
    return Locked(ctx, false, false);
}

}  // namespace logic
