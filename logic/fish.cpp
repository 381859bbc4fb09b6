// Fish and turbot fish, patterns of one digit: its places in n rows confined to n columns
// (or the other way round) rule it out elsewhere in those columns (X-wing, swordfish,
// jellyfish); two units where it has two places, one of each seeing the other, rule it out
// of the cells seeing both far ends (turbot fish).
//
// u is a unit, i a cell's place in its unit, d a digit.
#include <vector>

#include "find_context.h"

namespace logic {

namespace {

// X-wing, swordfish, jellyfish: a digit's places in `size` rows confined to `size` columns
// (or the other way round) rule it out elsewhere in those columns.
std::optional<CStep> Fish(CFindContext& ctx, int size) {
    static constexpr CTechnique kTechnique[] = {CTechnique::kXWing, CTechnique::kSwordfish,
                                                CTechnique::kJellyfish};
    const CCandidateGrid& grid = ctx.grid;
    const CUnitPositions& up = ctx.up;
    const unsigned skipped = ctx.Skipped();
    std::optional<CStep> result;
    for (int base = 0; base < 18 && !result; base += 9) {
        const int cover = 9 - base;
        for (unsigned m = kAllDigits & ~skipped; m != 0 && !result; m &= m - 1) {
            const int d = std::countr_zero(m);
            unsigned lines = 0;
            for (int i = 0; i < 9; ++i) {
                const int n = Count(up.pos[base + i][d]);
                if (n >= 2 && n <= size) lines |= 1u << i;
            }
            const auto placesOf = [&](int i) { return unsigned(up.pos[base + i][d]); };
            ForSubsetsWithin(lines, size, size, placesOf, [&](unsigned set) {
                unsigned covered = 0;
                for (unsigned s = set; s != 0; s &= s - 1)
                    covered |= up.pos[base + std::countr_zero(s)][d];
                if (Count(covered) != size) return false;
                CStep step = MakeStep(kTechnique[size - 2]);
                for (unsigned c = covered; c != 0; c &= c - 1) {
                    const int u = cover + std::countr_zero(c);
                    for (int i = 0; i < 9; ++i) {
                        const int cell = kUnitCells[u][i];
                        if ((set >> i & 1) == 0 && Has(grid, cell, d)) {
                            step.eliminations.push_back(Cand(cell, d));
                        }
                    }
                }
                if (step.eliminations.empty()) return false;
                for (unsigned s = set; s != 0; s &= s - 1) {
                    for (uint8_t cell : UnitCells(base + std::countr_zero(s),
                                                  up.pos[base + std::countr_zero(s)][d])) {
                        step.cells.push_back(cell);
                        step.pattern.push_back(Cand(cell, d));
                    }
                }
                result = std::move(step);
                return true;
            });
        }
    }
    if (!result) ctx.NoteNothingBut(skipped);
    return result;
}

}  // namespace

// Turbot fish: two units where a digit has only two places, one place of each seeing the
// other, so one of the two far ends holds the digit and the cells seeing both lose it.
// Named and valued by the units: two rows or two columns (skyscraper) 4.0, a row and a
// column (two-string kite) 4.1, a box with either 4.2. The grouped ones (4.3, the empty
// rectangle among them) are the strong-link chains of two links (strong_links.cpp).
std::optional<CStep> FindTurbotFish(CFindContext& ctx) {
    const CCandidateGrid& grid = ctx.grid;
    const CUnitPositions& up = ctx.up;
    std::optional<CStep> best;
    for (int d = 1; d <= 9; ++d) {
        if (ctx.FoundNothing(d)) continue;
        const bool noneBefore = !best;
        // The units where the digit has two places, with their two cells, listed once for
        // all the pairs they make rather than found for every pair of units.
        std::array<uint8_t, kUnitCount> twoPlaces;
        std::array<std::array<uint8_t, 2>, kUnitCount> twoCells;
        int twoCount = 0;
        for (int u = 0; u < kUnitCount; ++u) {
            if (Count(up.pos[u][d]) != 2) continue;
            twoCells[twoCount] = PairCells(u, up.pos[u][d]);
            twoPlaces[twoCount++] = uint8_t(u);
        }
        for (int i1 = 0; i1 < twoCount; ++i1) {
            const int u1 = twoPlaces[i1];
            const std::array<uint8_t, 2> a = twoCells[i1];
            for (int i2 = i1 + 1; i2 < twoCount; ++i2) {
                const int u2 = twoPlaces[i2];
                const std::array<uint8_t, 2> b = twoCells[i2];
                if (a[0] == b[0] || a[0] == b[1] || a[1] == b[0] || a[1] == b[1]) continue;
                const int k1 = u1 / 9, k2 = u2 / 9;  // row, column or box
                const int rating = BaseRating(CTechnique::kTurbotFish) + (k1 == 2 || k2 == 2 ? 2
                                                                          : k1 == k2         ? 0
                                                                                             : 1);
                if (best && best->rating <= rating) continue;
                for (int i = 0; i < 2; ++i) {
                    for (int j = 0; j < 2; ++j) {
                        if (!SameUnit(a[i], b[j])) continue;
                        const int endA = a[1 - i], endB = b[1 - j];
                        std::vector<CCandidate> out = SeenByAll(grid, d, {endA, endB});
                        if (out.empty()) continue;
                        CStep step = MakeStep(CTechnique::kTurbotFish);
                        step.rating = rating;
                        step.cells = {a[0], a[1], b[0], b[1]};
                        for (uint8_t cell : step.cells) step.pattern.push_back(Cand(cell, d));
                        step.eliminations = std::move(out);
                        // One far end holds the digit: if the first does not, its strong link
                        // puts the digit opposite, which rules it out of the cell that sees
                        // it, whose strong link puts it at the other far end.
                        if (ctx.links) {
                            step.links = {{EndOf(endA, d), EndOf(a[i], d), true},
                                          {EndOf(a[i], d), EndOf(b[j], d), false},
                                          {EndOf(b[j], d), EndOf(endB, d), true}};
                        }
                        if (!best || step.rating < best->rating) best = std::move(step);
                        break;
                    }
                    if (best && best->rating <= rating) break;
                }
            }
        }
        if (noneBefore && !best) ctx.NoteNothing(d);
    }
    return best;
}

std::optional<CStep> FindXWing(CFindContext& ctx) {
    return Fish(ctx, 2);
}

std::optional<CStep> FindSwordfish(CFindContext& ctx) {
    return Fish(ctx, 3);
}

std::optional<CStep> FindJellyfish(CFindContext& ctx) {
    return Fish(ctx, 4);
}

}  // namespace logic
