// Naked and hidden sets: as many cells of a unit holding only as many digits between them
// (naked), or as many digits confined to as many cells of a unit (hidden), of two to four.
// The "direct" hidden ones count only where they leave a hidden single, which they place.
//
// u is a unit, i a cell's place in its unit, d a digit.
#include "find_context.h"

namespace logic {

namespace {

// A hidden set of `size` digits in a unit: as many digits confined to as many cells. With
// `direct`, only one that leaves another digit a hidden single in the unit, which it places.
std::optional<CStep> HiddenSet(CFindContext& ctx, int size, bool direct) {
    const CCandidateGrid& grid = ctx.grid;
    const CUnitPositions& up = ctx.up;
    CPathMemo* memo = ctx.memo;
    const int slot = ctx.slot;
    static constexpr CTechnique kDirect[] = {CTechnique::kDirectHiddenPair,
                                             CTechnique::kDirectHiddenTriple};
    static constexpr CTechnique kPlain[] = {CTechnique::kHiddenPair, CTechnique::kHiddenTriple,
                                            CTechnique::kHiddenQuad};
    std::optional<CStep> result;
    for (int u = 0; u < kUnitCount && !result; ++u) {
        if (memo && memo->UnitFoundNothing(slot, u, up.pos[u])) continue;
        unsigned digits = 0;
        for (int d = 1; d <= 9; ++d) {
            const int n = Count(up.pos[u][d]);
            if (n >= 2 && n <= size) digits |= 1u << (d - 1);
        }
        const auto places = [&](int i) { return unsigned(up.pos[u][i + 1]); };
        const bool found = ForSubsetsWithin(digits, size, size, places, [&](unsigned set) {
            unsigned cellBits = 0;
            for (unsigned s = set; s != 0; s &= s - 1)
                cellBits |= up.pos[u][std::countr_zero(s) + 1];
            if (Count(cellBits) != size) return false;
            const unsigned setDigits = set << 1;
            CStep step;
            if (direct) {
                for (int e = 1; e <= 9; ++e) {
                    if ((setDigits >> e & 1) != 0 || Count(up.pos[u][e]) < 2) continue;
                    const unsigned rest = up.pos[u][e] & ~cellBits;
                    if (Count(rest) != 1) continue;
                    step = MakeStep(kDirect[size - 2], u);
                    step.placements = {Cand(kUnitCells[u][std::countr_zero(rest)], e)};
                    break;
                }
                if (step.placements.empty()) return false;
            } else {
                step = MakeStep(kPlain[size - 2], u);
                for (uint8_t cell : UnitCells(u, cellBits)) {
                    for (unsigned m = grid.masks[cell] & ~setDigits; m != 0; m &= m - 1) {
                        step.eliminations.push_back(Cand(cell, std::countr_zero(m)));
                    }
                }
                if (step.eliminations.empty()) return false;
            }
            step.cells = UnitCells(u, cellBits);
            for (uint8_t cell : step.cells) {
                for (unsigned m = grid.masks[cell] & setDigits; m != 0; m &= m - 1) {
                    step.pattern.push_back(Cand(cell, std::countr_zero(m)));
                }
            }
            result = std::move(step);
            return true;
        });
        if (!found && memo) memo->NoteUnitNothing(slot, u, up.pos[u]);
    }
    return result;
}

// A naked set: `size` cells of a unit holding only `size` digits between them.
// The unit's candidates are its digits' positions, which the memo keeps.
std::optional<CStep> NakedSet(CFindContext& ctx, int size) {
    static constexpr CTechnique kTechnique[] = {CTechnique::kNakedPair, CTechnique::kNakedTriple,
                                                CTechnique::kNakedQuad};
    const CCandidateGrid& grid = ctx.grid;
    const CUnitPositions& up = ctx.up;
    CPathMemo* memo = ctx.memo;
    const int slot = ctx.slot;
    std::optional<CStep> result;
    for (int u = 0; u < kUnitCount && !result; ++u) {
        if (memo && memo->UnitFoundNothing(slot, u, up.pos[u])) continue;
        unsigned cells = 0;
        for (int i = 0; i < 9; ++i) {
            const int n = Count(grid.masks[kUnitCells[u][i]]);
            if (n >= 2 && n <= size) cells |= 1u << i;
        }
        const auto digitsOf = [&](int i) { return unsigned(grid.masks[kUnitCells[u][i]]); };
        const bool found = ForSubsetsWithin(cells, size, size, digitsOf, [&](unsigned set) {
            unsigned digits = 0;
            for (unsigned s = set; s != 0; s &= s - 1) {
                digits |= grid.masks[kUnitCells[u][std::countr_zero(s)]];
            }
            if (Count(digits) != size) return false;
            CStep step = MakeStep(kTechnique[size - 2], u);
            for (int i = 0; i < 9; ++i) {
                const int cell = kUnitCells[u][i];
                if ((set >> i & 1) != 0) continue;
                for (unsigned m = grid.masks[cell] & digits; m != 0; m &= m - 1) {
                    step.eliminations.push_back(Cand(cell, std::countr_zero(m)));
                }
            }
            if (step.eliminations.empty()) return false;
            step.cells = UnitCells(u, set);
            for (uint8_t cell : step.cells) {
                for (unsigned m = grid.masks[cell]; m != 0; m &= m - 1) {
                    step.pattern.push_back(Cand(cell, std::countr_zero(m)));
                }
            }
            result = std::move(step);
            return true;
        });
        if (!found && memo) memo->NoteUnitNothing(slot, u, up.pos[u]);
    }
    return result;
}

}  // namespace

std::optional<CStep> FindDirectHiddenPair(CFindContext& ctx) {
    return HiddenSet(ctx, 2, true);
}

std::optional<CStep> FindDirectHiddenTriple(CFindContext& ctx) {
    return HiddenSet(ctx, 3, true);
}

std::optional<CStep> FindNakedPair(CFindContext& ctx) {
    return NakedSet(ctx, 2);
}

std::optional<CStep> FindHiddenPair(CFindContext& ctx) {
    return HiddenSet(ctx, 2, false);
}

std::optional<CStep> FindNakedTriple(CFindContext& ctx) {
    return NakedSet(ctx, 3);
}

std::optional<CStep> FindHiddenTriple(CFindContext& ctx) {
    return HiddenSet(ctx, 3, false);
}

std::optional<CStep> FindNakedQuad(CFindContext& ctx) {
    return NakedSet(ctx, 4);
}

std::optional<CStep> FindHiddenQuad(CFindContext& ctx) {
    return HiddenSet(ctx, 4, false);
}

}  // namespace logic
