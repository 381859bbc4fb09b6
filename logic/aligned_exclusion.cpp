// Aligned pair and triple exclusion (6.2, 7.5): of the ways to fill two or three cells, those
// that the cells seeing them all rule out; a candidate that no way left uses goes.
#include <span>

#include "find_context.h"

namespace logic {

namespace {

// The candidates of cells a, b, c that some allowed filling uses, or nullopt when every one
// does: nothing to remove.
std::optional<std::array<unsigned, 3>> Allowed(const CCandidateGrid& grid,
                                               const std::array<int, 3>& cells,
                                               std::span<const unsigned> blockers) {
    const int a = cells[0], b = cells[1], c = cells[2];
    const bool ab = SameUnit(a, b), ac = SameUnit(a, c), bc = SameUnit(b, c);
    std::array<unsigned, 3> allowed{};
    for (unsigned ma = grid.masks[a]; ma != 0; ma &= ma - 1) {
        const unsigned da = ma & -ma;
        for (unsigned mb = grid.masks[b]; mb != 0; mb &= mb - 1) {
            const unsigned db = mb & -mb;
            if (ab && da == db) continue;
            // The digits of c that a blocker rules out beside these two, all at once rather
            // than digit by digit of c: a blocker the two take but for one digit rules out
            // that digit, one they take whole every digit.
            unsigned ruledOut = (ac ? da : 0) | (bc ? db : 0);
            for (unsigned blocker : blockers) {
                const unsigned rest = blocker & ~(da | db);
                if ((rest & (rest - 1)) == 0) ruledOut |= rest != 0 ? rest : ~0u;
            }
            const unsigned dc = grid.masks[c] & ~ruledOut;
            if (dc == 0) continue;
            allowed[0] |= da;
            allowed[1] |= db;
            allowed[2] |= dc;
            // Most triples allow every candidate: stop as soon as they do. Once b's and c's
            // all are, the other digits of b add nothing with this digit of a.
            if (allowed[1] == grid.masks[b] && allowed[2] == grid.masks[c]) {
                if (allowed[0] == grid.masks[a]) return std::nullopt;
                break;
            }
        }
    }
    return allowed;
}

}  // namespace

// Aligned pair exclusion: two cells that share a unit; a digit of one goes when every digit
// of the other beside it either repeats it in their unit or leaves a cell both see with no
// candidate.
std::optional<CStep> FindAlignedPairExclusion(CFindContext& ctx) {
    const CCandidateGrid& grid = ctx.grid;
    CPathMemo* memo = ctx.memo;
    // Along the rating's path, only the pairs that a cell changed since it last found nothing
    // touches, as for aligned triple exclusion: the others allow every candidate as they
    // did.
    const bool sinceNothing = memo && memo->GridFoundNothing(ctx.slot);
    const CCells changed = sinceNothing ? memo->ChangedSince(ctx.slot, grid) : CCells{};
    // The two-digit cells as a set: those both cells of a pair see are crossed from the
    // peers' sets, with no list made for each pair.
    CCells bivalue;
    for (int cell = 0; cell < kCellCount; ++cell) {
        if (Count(grid.masks[cell]) == 2) bivalue.Set(cell);
    }
    for (int a = 0; a < kCellCount; ++a) {
        if (Count(grid.masks[a]) < 2) continue;
        // A cell as it was without a changed peer pairs only with cells as they were, seen
        // by no changed cell: it is passed over whole, not pair by pair.
        if (sinceNothing && !changed[a] && (changed & kPeerSets[a]).None()) continue;
        const CCells seenByA = kPeerSets[a] & bivalue;
        for (uint8_t b : kCellPeers[a]) {
            if (b < a || Count(grid.masks[b]) < 2) continue;
            if (sinceNothing && !changed[a] && !changed[b] &&
                (changed & kPeerSets[a] & kPeerSets[b]).None()) {
                continue;
            }
            // Per digit of a, the digits of b that a two-digit cell both see forbids beside
            // it, gathered once from the blockers' masks rather than each digit of b tried
            // against every blocker. (The min is never taken, as in PairCells.)
            std::array<uint16_t, 10> blockedWith{};
            (seenByA & kPeerSets[b]).ForEach([&](int c) {
                const unsigned m = grid.masks[c];
                const int x = std::countr_zero(m), y = std::min(std::countr_zero(m & (m - 1)), 9);
                blockedWith[x] |= uint16_t(1u << y);
                blockedWith[y] |= uint16_t(1u << x);
            });
            unsigned allowedA = 0, allowedB = 0;
            for (unsigned ma = grid.masks[a]; ma != 0; ma &= ma - 1) {
                const int da = std::countr_zero(ma);
                const unsigned withB = grid.masks[b] & ~(1u << da) & ~unsigned(blockedWith[da]);
                if (withB == 0) continue;
                allowedA |= 1u << da;
                allowedB |= withB;
            }
            if (allowedA == grid.masks[a] && allowedB == grid.masks[b]) continue;
            CStep step = MakeStep(CTechnique::kAlignedPairExclusion);
            step.cells = {uint8_t(a), uint8_t(b)};
            for (int cell : {a, int(b)}) {
                const unsigned allowed = cell == a ? allowedA : allowedB;
                for (unsigned m = grid.masks[cell]; m != 0; m &= m - 1) {
                    const int d = std::countr_zero(m);
                    ((allowed >> d & 1) != 0 ? step.pattern : step.eliminations)
                        .push_back(Cand(cell, d));
                }
            }
            return step;
        }
    }
    if (memo) memo->NoteGridNothing(ctx.slot, grid);
    return std::nullopt;
}

// Aligned triple exclusion: three cells, and at least two cells of two or three candidates
// that see all three. A way of filling the three is ruled out when two of them that share a
// unit get the same digit, or when it would take every candidate of one of those cells; a
// candidate of the three that no other way uses goes. As the rated collections' rater looks
// for them: the third cell has two or three candidates itself and sees one of the other two.
std::optional<CStep> FindAlignedTripleExclusion(CFindContext& ctx) {
    const CCandidateGrid& grid = ctx.grid;
    CPathMemo* memo = ctx.memo;
    // A triple whose cells and the cells seeing all three are as they were on a grid where
    // nothing was found is found the same way, allowing every candidate: only those that a
    // changed cell touches can be the first to find something now.
    const bool sinceNothing = memo && memo->GridFoundNothing(ctx.slot);
    const CCells changed = sinceNothing ? memo->ChangedSince(ctx.slot, grid) : CCells{};
    // For each cell of two or more candidates, the cells of two or three that see it.
    std::array<CCells, kCellCount> excluders;
    CCells small, base;
    for (int cell = 0; cell < kCellCount; ++cell) {
        const int n = Count(grid.masks[cell]);
        if (grid.values[cell] == 0 && n >= 2 && n <= 3) small.Set(cell);
    }
    std::vector<int> bases;
    for (int cell = 0; cell < kCellCount; ++cell) {
        if (grid.values[cell] != 0 || Count(grid.masks[cell]) < 2) continue;
        for (uint8_t peer : kCellPeers[cell]) {
            if (small[peer]) excluders[cell].Set(peer);
        }
        if (excluders[cell].None()) continue;
        base.Set(cell);
        bases.push_back(cell);
    }
    // At most the twenty peers of a cell see all three: an array, as a vector would test
    // its growth at each.
    std::array<unsigned, 20> blockers;
    std::optional<CStep> found;
    std::array<uint8_t, kCellCount> partners;
    for (const int a : bases) {
        // The cells after a that see two of the cells seeing a, from the peers' sets: the
        // only ones that make a pair with it.
        CCells seenOnceByA, seenTwiceByA;
        excluders[a].ForEach([&](int e) {
            seenTwiceByA = seenTwiceByA | (seenOnceByA & kPeerSets[e]);
            seenOnceByA = seenOnceByA | kPeerSets[e];
        });
        const CCells after =
            a < 63 ? CCells{~((uint64_t(2) << a) - 1), ~uint64_t(0)}
                   : CCells{0, a == 63 ? ~uint64_t(0) : ~((uint64_t(2) << (a - 64)) - 1)};
        int partnerCount = 0;
        (seenTwiceByA & base & after).ForEach([&](int b) {
            partners[partnerCount++] = uint8_t(b);
        });
        for (int j = 0; j < partnerCount; ++j) {
            const int b = partners[j];
            const CCells pair = excluders[a] & excluders[b];
            const bool pairChanged = changed[a] || changed[b];
            const CCells changedSeeingPair = changed & kPeerSets[a] & kPeerSets[b];
            CCells tail = (excluders[a] | excluders[b]) & base;
            tail.Reset(a);
            tail.Reset(b);
            // Of a pair as it was, only the third cells that changed or see a changed cell
            // seeing the pair, taken from the tail as a set before it is walked; so a pair
            // without any is left before the cells seeing it are crossed.
            if (sinceNothing && !pairChanged) {
                CCells near = changed;
                changedSeeingPair.ForEach([&](int e) { near = near | kPeerSets[e]; });
                tail = tail & near;
                if (tail.None()) continue;
            }
            // The third cell must see two of the cells seeing the pair, whose peers' sets say
            // which cells do, for the whole tail at once.
            CCells seenOnce, seenTwice;
            pair.ForEach([&](int e) {
                seenTwice = seenTwice | (seenOnce & kPeerSets[e]);
                seenOnce = seenOnce | kPeerSets[e];
            });
            tail = tail & seenTwice;
            // A triple comes from each of its pairs whose tail holds the third cell: it is
            // taken from the first such pair in the order of this loop only. Read from the
            // peers' sets, cheaper than SameUnit's three comparisons.
            auto tailOf = [&](int p, int q, int r) {
                return small[r] && (kPeerSets[p][r] || kPeerSets[q][r]);
            };
            tail.ForEach([&](int c) {
                if (found) return;
                if (c < b && c > a && tailOf(a, c, b)) return;
                if (c < a && (tailOf(c, a, b) || tailOf(c, b, a))) return;
                const CCells common = pair & excluders[c];
                // A cell with a digit none of the three has can never be left empty by
                // them: only the others are tried against each filling.
                const unsigned digits = grid.masks[a] | grid.masks[b] | grid.masks[c];
                size_t blockerCount = 0;
                common.ForEach([&](int e) {
                    if ((grid.masks[e] & ~digits) == 0) blockers[blockerCount++] = grid.masks[e];
                });
                const std::array<int, 3> cells = {a, b, c};
                const auto allowed =
                    Allowed(grid, cells, std::span<const unsigned>(blockers.data(), blockerCount));
                if (!allowed) return;
                CStep step = MakeStep(CTechnique::kAlignedTripleExclusion);
                for (int cell : cells) step.cells.push_back(uint8_t(cell));
                common.ForEach([&](int e) { step.cells.push_back(uint8_t(e)); });
                for (size_t k = 0; k < step.cells.size(); ++k) {
                    const int cell = step.cells[k];
                    const unsigned kept = k < 3 ? (*allowed)[k] : grid.masks[cell];
                    for (unsigned m = grid.masks[cell]; m != 0; m &= m - 1) {
                        const int d = std::countr_zero(m);
                        ((kept >> d & 1) != 0 ? step.pattern : step.eliminations)
                            .push_back({uint8_t(cell), uint8_t(d)});
                    }
                }
                found = std::move(step);
            });
            if (found) return found;
        }
    }
    if (memo) memo->NoteGridNothing(ctx.slot, grid);
    return std::nullopt;
}

}  // namespace logic
