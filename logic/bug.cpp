// The bivalue universal grave: a grid where, but for a few extra candidates, every empty cell
// holds two and every digit has two places in each unit would have two solutions, so one of
// those extra candidates is true. Types 1 to 4 as the rated collections' rater has them:
//   1 (5.6): one cell with extra candidates keeps only those;
//   2 (5.7): the cells with extras all have the same one, which goes from the cells seeing all;
//   3 (5.7 + a tenth per digit of the set beyond one): the cells with extras share a unit,
//            and their extras with other cells of it form a naked set;
//   4 (5.7): two cells with extras share a unit whose places for one of their common digits
//            they are, so each is that digit or its extra.
//
// u is a unit, i a cell's index in its unit, d a digit; an extra is a candidate whose
// removal leaves the grave.
#include <vector>

#include "find_context.h"

namespace logic {

namespace {

// The candidates a cell has beyond the grave's: bits set per cell, or nullopt when the grid
// is no grave with extras. A digit with more than two places in a unit names its extra cell
// there when only one of those places has more than two candidates; when one digit alone
// has too many places anywhere, every cell of more than two candidates holding it in those
// units has it as an extra.
std::optional<std::array<uint16_t, kCellCount>> GraveExtras(const CCandidateGrid& grid,
                                                            const CUnitPositions& up) {
    std::array<uint16_t, kCellCount> extras{};
    std::array<bool, kCellCount> holdsOnly{};
    int onlyDigit = 0;
    bool oneDigit = true;
    for (int u = 0; u < kUnitCount; ++u) {
        for (int d = 1; d <= 9; ++d) {
            const int n = Count(up.pos[u][d]);
            if (n == 0 || n == 2) continue;
            int wide = -1, wideCount = 0;
            for (unsigned p = up.pos[u][d]; p != 0; p &= p - 1) {
                const int cell = kUnitCells[u][std::countr_zero(p)];
                if (Count(grid.masks[cell]) < 3) continue;
                wide = cell;
                ++wideCount;
                if (onlyDigit == 0 || onlyDigit == d) holdsOnly[cell] = true;
            }
            if (wideCount == 0) return std::nullopt;
            if (onlyDigit == 0) onlyDigit = d;
            oneDigit &= onlyDigit == d;
            if (wideCount == 1) extras[wide] |= uint16_t(1u << d);
        }
    }
    if (onlyDigit == 0) return std::nullopt;
    if (oneDigit) {
        for (int cell = 0; cell < kCellCount; ++cell) {
            if (holdsOnly[cell]) extras[cell] |= uint16_t(1u << onlyDigit);
        }
    }
    // Without the extras, the grave: two candidates a cell, two places a digit in each unit.
    CCandidateGrid grave = grid;
    for (int cell = 0; cell < kCellCount; ++cell) {
        grave.masks[cell] &= uint16_t(~extras[cell]);
        if (grid.values[cell] == 0 && Count(grave.masks[cell]) != 2) return std::nullopt;
    }
    const CUnitPositions graveUp(grave);
    for (int u = 0; u < kUnitCount; ++u) {
        for (int d = 1; d <= 9; ++d) {
            const int n = Count(graveUp.pos[u][d]);
            if (n != 0 && n != 2) return std::nullopt;
        }
    }
    return extras;
}

}  // namespace

std::optional<CStep> FindBivalueUniversalGrave(CFindContext& ctx) {
    const CCandidateGrid& grid = ctx.grid;
    const CUnitPositions& up = ctx.up;
    const auto extras = GraveExtras(grid, up);
    if (!extras) return std::nullopt;
    std::vector<int> cells;
    unsigned allExtras = 0;
    for (int cell = 0; cell < kCellCount; ++cell) {
        if ((*extras)[cell] == 0) continue;
        cells.push_back(cell);
        allExtras |= (*extras)[cell];
    }
    CStep base = MakeStep(CTechnique::kBivalueUniversalGrave);
    for (int cell : cells) {
        base.cells.push_back(uint8_t(cell));
        for (unsigned m = (*extras)[cell]; m != 0; m &= m - 1) {
            base.pattern.push_back(Cand(cell, std::countr_zero(m)));
        }
    }
    if (cells.size() == 1) {
        const int cell = cells[0];
        CStep step = base;
        const unsigned kept = (*extras)[cell];
        if (Count(kept) == 1) {
            step.pattern.clear();
            step.placements = {Cand(cell, std::countr_zero(kept))};
        } else {
            for (unsigned m = grid.masks[cell] & ~kept; m != 0; m &= m - 1) {
                step.eliminations.push_back(Cand(cell, std::countr_zero(m)));
            }
        }
        return step;
    }
    auto seesAll = [&](int cell) {
        for (int c : cells) {
            if (c == cell || !SameUnit(c, cell)) return false;
        }
        return true;
    };
    if (Count(allExtras) == 1) {
        const int x = std::countr_zero(allExtras);
        CStep step = base;
        step.rating = BaseRating(CTechnique::kBivalueUniversalGrave) + 1;
        for (int cell = 0; cell < kCellCount; ++cell) {
            if ((grid.masks[cell] >> x & 1) != 0 && seesAll(cell)) {
                step.eliminations.push_back(Cand(cell, x));
            }
        }
        if (!step.eliminations.empty()) return step;
    }
    // The units that hold every cell with extras: boxes first, then rows and columns.
    std::vector<int> shared;
    for (int kind : {2, 0, 1}) {
        const auto unitOf = [kind](int cell) {
            const CCellUnits& u = kCellUnits[cell];
            return kind == 0 ? u.row : kind == 1 ? u.column : u.box;
        };
        bool same = true;
        for (int cell : cells) same &= unitOf(cell) == unitOf(cells[0]);
        if (same) shared.push_back(unitOf(cells[0]));
    }
    if (cells.size() == 2) {
        const int a = cells[0], b = cells[1];
        const unsigned common = grid.masks[a] & grid.masks[b] & ~allExtras;
        if (Count(common) == 1 && !shared.empty()) {
            const int v = std::countr_zero(common);
            CStep step = base;
            step.rating = BaseRating(CTechnique::kBivalueUniversalGrave) + 1;
            step.unit = shared[0];
            for (int cell : {a, b}) {
                for (unsigned m = grid.masks[cell] & ~(*extras)[cell] & ~common; m != 0;
                     m &= m - 1) {
                    step.eliminations.push_back(Cand(cell, std::countr_zero(m)));
                }
            }
            if (!step.eliminations.empty()) {
                for (int cell : {a, b}) step.pattern.push_back(Cand(cell, v));
                return step;
            }
        }
    }
    if (Count(allExtras) == 1) return std::nullopt;
    for (int size = 2; size <= 6; ++size) {
        for (int u : shared) {
            unsigned others = 0;
            for (int i = 0; i < 9; ++i) {
                const int cell = kUnitCells[u][i];
                if (grid.values[cell] == 0 && (*extras)[cell] == 0) others |= 1u << i;
            }
            std::optional<CStep> found;
            ForSubsets(others, size - 1, [&](unsigned set) {
                unsigned digits = 0;
                for (unsigned s = set; s != 0; s &= s - 1) {
                    digits |= grid.masks[kUnitCells[u][std::countr_zero(s)]];
                }
                if (Count(digits) != size || (allExtras & ~digits) != 0) return false;
                CStep step = base;
                step.rating = BaseRating(CTechnique::kBivalueUniversalGrave) + size;
                step.unit = u;
                for (unsigned rest = others & ~set; rest != 0; rest &= rest - 1) {
                    const int cell = kUnitCells[u][std::countr_zero(rest)];
                    for (unsigned m = grid.masks[cell] & digits; m != 0; m &= m - 1) {
                        step.eliminations.push_back(Cand(cell, std::countr_zero(m)));
                    }
                }
                if (step.eliminations.empty()) return false;
                for (unsigned s = set; s != 0; s &= s - 1) {
                    const int cell = kUnitCells[u][std::countr_zero(s)];
                    step.cells.push_back(uint8_t(cell));
                    for (unsigned m = grid.masks[cell]; m != 0; m &= m - 1) {
                        step.pattern.push_back(Cand(cell, std::countr_zero(m)));
                    }
                }
                found = std::move(step);
                return true;
            });
            if (found) return found;
        }
    }
    return std::nullopt;
}

}  // namespace logic
