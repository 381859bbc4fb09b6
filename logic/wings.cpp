// The larger wings: a cell of two candidates x and z, and an almost locked set, n cells of
// one unit holding n + 1 digits between them, x and z among them. When every cell of the set
// that holds x sees the two-candidate cell, x is their restricted common digit: x in the
// cell locks the set's other n digits into its n cells, so z is in the cell or in the set,
// and a cell seeing every z of both loses it. When z is restricted as well, the n + 1 cells
// hold exactly their n + 1 digits: x goes like z, and each other digit of the set from the
// cells seeing all its places in the set.
//
// The rated collections' rater names them by their size (n = 3 a WXYZ-wing, 4 a VWXYZ-wing;
// the XYZ-wing is n = 2) and values them 5.5 and 6.2, a tenth or two more when the set's
// largest cell is of middling size. The larger ones its newer versions know (UVWXYZ 6.6,
// TUVWXYZ 7.5) are not in the collections' ratings: with them velmo agreed less.
//
// u is a unit, i a cell's index in its unit, d a digit, als the set's cells.
#include <vector>

#include "find_context.h"

namespace logic {

namespace {

struct CSet {
    std::array<int, 4> cells{};
    int size = 0;
    unsigned digits = 0;

    bool Contains(int cell) const {
        for (int i = 0; i < size; ++i) {
            if (cells[i] == cell) return true;
        }
        return false;
    }
    // Whether every cell of the set holding `d` sees `cell`, one not in the set. By the peers'
    // sets, cheaper than SameUnit's comparisons.
    bool AllSee(const CCandidateGrid& grid, int d, int cell) const {
        const CCells& peers = kPeerSets[cell];
        for (int i = 0; i < size; ++i) {
            if ((grid.masks[cells[i]] >> d & 1) != 0 && !peers[cells[i]]) return false;
        }
        return true;
    }
};

// The wing's value in tenths, by the set's size and the candidates of its largest cell:
// the sizes at either end of what the set allows are easier to see than the middle ones.
int WingRating(int size, int largest) {
    return size == 3 ? BaseRating(CTechnique::kWXYZWing) + 1 - std::abs(3 - largest)
                     : BaseRating(CTechnique::kVWXYZWing) + 2 - std::abs(3 - largest);
}

// Removes `d` from the cells outside the set and the pincer that see every cell of the set
// holding it, and the pincer too when `withPincer`. Those cells are crossed from the peers'
// sets first, and most calls end there.
void SeenBySet(const CCandidateGrid& grid, const std::array<CCells, 10>& candidates,
               const CSet& als, int pincer, int d, bool withPincer, std::vector<CCandidate>& out) {
    int first = -1;
    CCells seen = candidates[d];
    for (int i = 0; i < als.size; ++i) {
        if ((grid.masks[als.cells[i]] >> d & 1) == 0) continue;
        if (first < 0) first = als.cells[i];
        seen = seen & kPeerSets[als.cells[i]];
    }
    if (first < 0) return;
    if (withPincer) seen = seen & kPeerSets[pincer];
    seen.Reset(pincer);
    if (seen.None()) return;
    // In the order of the first cell's peers, as the steps have always listed them.
    for (uint8_t cell : kCellPeers[first]) {
        if (!seen[cell]) continue;
        bool known = false;
        for (const CCandidate& c : out) known |= c.cell == cell && c.digit == d;
        if (!known) out.push_back(Cand(cell, d));
    }
}

// XY-wing (a bivalue pivot) and XYZ-wing (a trivalue pivot): two bivalue pincers that see
// the pivot, between them forcing their shared digit z into one of the cells.
std::optional<CStep> Wing(CFindContext& ctx, bool xyz) {
    const CCandidateGrid& grid = ctx.grid;
    CPathMemo* memo = ctx.memo;
    // Along the rating's path, as for the wings of an almost locked set: only the wings with
    // a cell changed since they last found nothing.
    const int slot = ctx.slot;
    const bool sinceNothing = memo && memo->GridFoundNothing(slot);
    const CCells changed = sinceNothing ? memo->ChangedSince(slot, grid) : CCells{};
    const int pivotSize = xyz ? 3 : 2;
    for (int pivot = 0; pivot < kCellCount; ++pivot) {
        const unsigned pm = grid.masks[pivot];
        if (Count(pm) != pivotSize) continue;
        const bool pivotChanged = !sinceNothing || changed[pivot];
        if (!pivotChanged && (changed & kPeerSets[pivot]).None()) continue;
        // The pivot's peers that can be pincers, listed once in the peers' order before the
        // pairs are tried: two candidates, exactly one of them the pivot's for an XY-wing,
        // both for an XYZ-wing.
        std::array<uint8_t, kPeerCount> pincers;
        int pincerCount = 0;
        for (uint8_t peer : kCellPeers[pivot]) {
            const unsigned m = grid.masks[peer];
            if (Count(m) == 2 && (xyz ? (m & ~pm) == 0 : Count(m & pm) == 1)) {
                pincers[pincerCount++] = peer;
            }
        }
        for (int ia = 0; ia < pincerCount; ++ia) {
            const int a = pincers[ia];
            const unsigned am = grid.masks[a];
            for (int ib = ia + 1; ib < pincerCount; ++ib) {
                const int b = pincers[ib];
                const unsigned bm = grid.masks[b];
                if (am == bm) continue;
                if (!pivotChanged && !changed[a] && !changed[b]) continue;
                unsigned z;
                if (xyz) {
                    if (Count(am & bm) != 1) continue;
                    z = am & bm;
                } else {
                    z = am & bm;
                    if (Count(z) != 1 || (z & pm) != 0 || (am & pm) == (bm & pm)) continue;
                }
                const int d = std::countr_zero(z);
                std::vector<CCandidate> out =
                    xyz ? SeenByAll(grid, d, {pivot, a, b}) : SeenByAll(grid, d, {a, b});
                if (out.empty()) continue;
                CStep step = MakeStep(xyz ? CTechnique::kXYZWing : CTechnique::kXYWing);
                step.cells = {uint8_t(pivot), uint8_t(a), uint8_t(b)};
                for (int cell : {pivot, a, b}) {
                    for (unsigned m = grid.masks[cell]; m != 0; m &= m - 1) {
                        step.pattern.push_back(Cand(cell, std::countr_zero(m)));
                    }
                }
                step.eliminations = std::move(out);
                return step;
            }
        }
    }
    if (memo) memo->NoteGridNothing(slot, grid);
    return std::nullopt;
}

std::optional<CStep> AlsWing(CFindContext& ctx, int size) {
    const CCandidateGrid& grid = ctx.grid;
    CPathMemo* memo = ctx.memo;
    static constexpr CTechnique kTechnique[] = {CTechnique::kWXYZWing, CTechnique::kVWXYZWing};
    // Along the rating's path candidates only go: a wing whose set and pincer are as they were
    // on a grid where nothing was found still removes nothing, the cells it would remove
    // from having at most the candidates they had.
    const int slot = ctx.slot;
    const bool sinceNothing = memo && memo->GridFoundNothing(slot);
    const CCells changed = sinceNothing ? memo->ChangedSince(slot, grid) : CCells{};
    std::array<int, kCellCount> pincers{};
    int pincerCount = 0;
    for (int cell = 0; cell < kCellCount; ++cell) {
        if (grid.values[cell] == 0 && Count(grid.masks[cell]) == 2) pincers[pincerCount++] = cell;
    }
    // The pincers changed since, in the same order: the only ones a set as it was can use.
    std::array<int, kCellCount> changedPincers{};
    int changedPincerCount = 0;
    CCells nearChangedPincer;
    for (int p = 0; p < pincerCount; ++p) {
        if (!changed[pincers[p]]) continue;
        changedPincers[changedPincerCount++] = pincers[p];
        nearChangedPincer = nearChangedPincer | kPeerSets[pincers[p]];
    }
    std::array<CCells, 10> candidates{};
    for (int cell = 0; cell < kCellCount; ++cell) {
        for (unsigned m = grid.masks[cell]; m != 0; m &= m - 1) {
            candidates[std::countr_zero(m)].Set(cell);
        }
    }
    std::optional<CStep> best;
    for (int u = 0; u < kUnitCount; ++u) {
        unsigned usable = 0, changedUsable = 0, nearChanged = 0;
        for (int i = 0; i < 9; ++i) {
            const int cell = kUnitCells[u][i];
            const int n = Count(grid.masks[cell]);
            if (n < 2 || n > size + 1) continue;
            usable |= 1u << i;
            if (!sinceNothing || changed[cell]) changedUsable |= 1u << i;
            if (nearChangedPincer[cell]) nearChanged |= 1u << i;
        }
        // A set as it was finds nothing but with a changed pincer, which sees a cell of it
        // (one holding the restricted digit): other sets are not read, nor a unit without
        // any.
        if (changedUsable == 0 && nearChanged == 0) continue;
        auto trySet = [&](unsigned set) {
            const bool setChanged = (set & changedUsable) != 0;
            if (!setChanged && (set & nearChanged) == 0) return false;
            CSet als;
            int largest = 0;
            for (unsigned s = set; s != 0; s &= s - 1) {
                const int cell = kUnitCells[u][std::countr_zero(s)];
                als.cells[als.size++] = cell;
                als.digits |= grid.masks[cell];
                largest = std::max(largest, Count(grid.masks[cell]));
            }
            if (Count(als.digits) != size + 1) return false;
            // A set in one line of a box is that line's too: it is taken there.
            if (u >= 18) {
                bool oneRow = true, oneColumn = true;
                for (int i = 1; i < size; ++i) {
                    oneRow &= kCellUnits[als.cells[i]].row == kCellUnits[als.cells[0]].row;
                    oneColumn &= kCellUnits[als.cells[i]].column == kCellUnits[als.cells[0]].column;
                }
                if (oneRow || oneColumn) return false;
            }
            const int rating = WingRating(size, largest);
            if (best && best->rating < rating) return false;
            const int* const tried = setChanged ? pincers.data() : changedPincers.data();
            const int triedCount = setChanged ? pincerCount : changedPincerCount;
            // A pincer sees a cell of the set holding its restricted digit: the others are
            // left before its digits are looked for in the set's cells.
            CCells seeingSet;
            for (int i = 0; i < size; ++i) seeingSet = seeingSet | kPeerSets[als.cells[i]];
            for (int p = 0; p < triedCount; ++p) {
                const int pincer = tried[p];
                const unsigned pm = grid.masks[pincer];
                if ((pm & ~als.digits) != 0 || !seeingSet[pincer] || als.Contains(pincer)) {
                    continue;
                }
                const int a = std::countr_zero(pm), b = std::countr_zero(pm & (pm - 1));
                const bool aRestricted = als.AllSee(grid, a, pincer);
                const bool bRestricted = als.AllSee(grid, b, pincer);
                if (!aRestricted && !bRestricted) continue;
                std::vector<CCandidate> out;
                if (aRestricted) SeenBySet(grid, candidates, als, pincer, b, true, out);
                if (bRestricted) SeenBySet(grid, candidates, als, pincer, a, true, out);
                if (aRestricted && bRestricted) {
                    for (unsigned m = als.digits & ~pm; m != 0; m &= m - 1) {
                        SeenBySet(grid, candidates, als, pincer, std::countr_zero(m), false, out);
                    }
                }
                if (out.empty()) continue;
                if (best && (best->rating < rating ||
                             (best->rating == rating && best->eliminations.size() >= out.size()))) {
                    continue;
                }
                CStep step = MakeStep(kTechnique[size - 3], u);
                step.rating = rating;
                step.cells.push_back(uint8_t(pincer));
                for (int i = 0; i < size; ++i) step.cells.push_back(uint8_t(als.cells[i]));
                for (uint8_t cell : step.cells) {
                    for (unsigned m = grid.masks[cell]; m != 0; m &= m - 1) {
                        step.pattern.push_back(Cand(cell, std::countr_zero(m)));
                    }
                }
                step.eliminations = std::move(out);
                best = std::move(step);
            }
            return false;
        };
        // A part already of more digits than the set may hold is not completed.
        const auto digitsOf = [&](int i) { return unsigned(grid.masks[kUnitCells[u][i]]); };
        ForSubsetsWithin(usable, size, size + 1, digitsOf, trySet);
    }
    if (!best && memo) memo->NoteGridNothing(slot, grid);
    return best;
}

}  // namespace

std::optional<CStep> FindXYWing(CFindContext& ctx) {
    return Wing(ctx, false);
}

std::optional<CStep> FindXYZWing(CFindContext& ctx) {
    return Wing(ctx, true);
}

std::optional<CStep> FindWXYZWing(CFindContext& ctx) {
    return AlsWing(ctx, 3);
}

std::optional<CStep> FindVWXYZWing(CFindContext& ctx) {
    return AlsWing(ctx, 4);
}

}  // namespace logic
