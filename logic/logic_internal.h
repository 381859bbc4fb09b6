// What the logic's parts share: the positions of each digit in each unit, the step values,
// and the rungs of techniques that FindEasiestStep climbs.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <stop_token>

#include "logic.h"

namespace logic {

// Each cell's units as a set: bit u for each.
inline constexpr std::array<uint32_t, kCellCount> kCellUnitSet = [] {
    std::array<uint32_t, kCellCount> table{};
    for (int cell = 0; cell < kCellCount; ++cell) {
        const CCellUnits& units = kCellUnits[cell];
        table[cell] = 1u << units.row | 1u << units.column | 1u << units.box;
    }
    return table;
}();

// Where each digit can still go in each unit, from a candidate grid: bit i of pos[u][d] is
// set while digit d is a candidate of kUnitCells[u][i]; placed[u] has bit d set once d is
// placed in u.
struct CUnitPositions {
    std::array<std::array<uint16_t, 10>, kUnitCount> pos{};
    std::array<uint16_t, kUnitCount> placed{};
    // For Broken, counted as the cells go by: where each cell's value is tested anyway, they
    // cost nothing measurable, and a pass of Broken's own over the cells took 21 M more.
    int placedCells = 0;
    bool cellWithout = false;  // an empty cell without a candidate

    explicit CUnitPositions(const CCandidateGrid& grid);

    // Brings these, built for `before`, up to `grid` from the cells that differ. False, and
    // these left unusable, where only building them again can: a placed digit taken back, or
    // an empty cell without a candidate in `before`.
    bool Update(const CCandidateGrid& before, const CCandidateGrid& grid);

    // IsBroken(grid), for the grid these were built from: as a pass of its own at every
    // step of the path, IsBroken took 75 M of the 5.0-9.0 sample's 2.86 G instructions;
    // read from the positions, 34 M.
    bool Broken() const;
};

// The number of digits in a mask of bits 0-9, by table: the library is built for any
// processor, where std::popcount may be a library call, and it counts masks in every loop.
inline constexpr std::array<uint8_t, 1024> kBitCount = [] {
    std::array<uint8_t, 1024> table{};
    for (unsigned i = 0; i < 1024; ++i) table[i] = uint8_t(std::popcount(i));
    return table;
}();
inline int Count(unsigned bits) {
    return kBitCount[bits & 1023];
}

// Subsets of `size` of the 9 bits of `available`, in ascending order of their bits.
template <typename F>
bool ForSubsets(unsigned available, int size, F&& f) {
    if (Count(available) < size) return false;
    // The subsets of `available` in ascending order: (s - available) & available steps to
    // the next one.
    for (unsigned s = (0u - available) & available; s != 0; s = (s - available) & available) {
        if (Count(s) == size && f(s)) return true;
    }
    return false;
}

// As ForSubsets, leaving out the subsets whose values (`valueOf(i)` for bit i, masks of bits
// 0-9) have more than `limit` bits between them, for sizes 1 to 4: each subset is built from
// its highest bit down, and one whose part has more already is not completed. For the
// subsets and fish, which want no more, every subset tried by its count took the hidden
// sets 102 M instructions on the 5.0-9.0 sample, the naked sets 55 M and fish 44 M; this
// way 80 M, 40 M and 26 M.
template <typename V, typename F>
bool ForSubsetsWithin(unsigned available, int size, int limit, V&& valueOf, F&& f) {
    std::array<int, kGridSize> places;
    int n = 0;
    for (unsigned a = available; a != 0; a &= a - 1) places[n++] = std::countr_zero(a);
    if (size < 1 || size > 4 || n < size) return false;
    for (int k0 = size - 1; k0 < n; ++k0) {
        const unsigned v0 = valueOf(places[k0]), s0 = 1u << places[k0];
        if (Count(v0) > limit) continue;
        if (size == 1) {
            if (f(s0)) return true;
            continue;
        }
        for (int k1 = size - 2; k1 < k0; ++k1) {
            const unsigned v1 = v0 | valueOf(places[k1]), s1 = s0 | 1u << places[k1];
            if (Count(v1) > limit) continue;
            if (size == 2) {
                if (f(s1)) return true;
                continue;
            }
            for (int k2 = size - 3; k2 < k1; ++k2) {
                const unsigned v2 = v1 | valueOf(places[k2]), s2 = s1 | 1u << places[k2];
                if (Count(v2) > limit) continue;
                if (size == 3) {
                    if (f(s2)) return true;
                    continue;
                }
                for (int k3 = 0; k3 < k2; ++k3) {
                    if (Count(v2 | valueOf(places[k3])) <= limit && f(s2 | 1u << places[k3])) {
                        return true;
                    }
                }
            }
        }
    }
    return false;
}

// The two cells of unit `u` that `places`, a mask of exactly two of its nine places, names
// (a conjugate pair). The min is never taken; it shows GCC 14, which warns otherwise, that
// the second place is below nine.
inline std::array<uint8_t, 2> PairCells(int u, unsigned places) {
    const int second = std::min(std::countr_zero(places & (places - 1)), kGridSize - 1);
    return {kUnitCells[u][std::countr_zero(places)], kUnitCells[u][second]};
}

// A set of cells as two words, cells 0-63 and 64-80: iterated and counted by the word.
struct CCells {
    uint64_t lo = 0, hi = 0;

    constexpr void Set(int cell) { (cell < 64 ? lo : hi) |= uint64_t(1) << (cell & 63); }
    void Reset(int cell) { (cell < 64 ? lo : hi) &= ~(uint64_t(1) << (cell & 63)); }
    bool operator[](int cell) const { return ((cell < 64 ? lo : hi) >> (cell & 63) & 1) != 0; }
    bool None() const { return (lo | hi) == 0; }
    int Size() const { return std::popcount(lo) + std::popcount(hi); }
    // Size() >= 2 without counting: std::popcount is a library call on the processors the
    // library is built for, which in aligned triple exclusion's tests of every triple took
    // 165 M of the 5.0-9.0 sample's 8.4 G instructions.
    bool AtLeastTwo() const {
        return ((lo & (lo - 1)) | (hi & (hi - 1))) != 0 || (lo != 0 && hi != 0);
    }
    CCells operator&(const CCells& o) const { return {lo & o.lo, hi & o.hi}; }
    CCells operator|(const CCells& o) const { return {lo | o.lo, hi | o.hi}; }
    CCells Without(const CCells& o) const { return {lo & ~o.lo, hi & ~o.hi}; }
    bool Within(const CCells& o) const { return Without(o).None(); }
    template <typename F>
    void ForEach(F&& f) const {
        for (uint64_t w = lo; w != 0; w &= w - 1) f(std::countr_zero(w));
        for (uint64_t w = hi; w != 0; w &= w - 1) f(64 + std::countr_zero(w));
    }
};

// The peers of each cell as a set.
inline constexpr std::array<CCells, kCellCount> kPeerSets = [] {
    std::array<CCells, kCellCount> sets{};
    for (int cell = 0; cell < kCellCount; ++cell) {
        for (uint8_t peer : kCellPeers[cell]) sets[cell].Set(peer);
    }
    return sets;
}();

// Whether cells `first` to first + 7 of two grids hold the same values and candidates,
// compared as words; false where fewer than eight cells are left from `first`. Along the path
// most cells are as they were.
inline bool SameEight(const CCandidateGrid& a, const CCandidateGrid& b, int first) {
    if (first + 8 > kCellCount) return false;
    uint64_t valuesA, valuesB, masksA[2], masksB[2];
    std::memcpy(&valuesA, &a.values[first], sizeof(valuesA));
    std::memcpy(&valuesB, &b.values[first], sizeof(valuesB));
    std::memcpy(masksA, &a.masks[first], sizeof(masksA));
    std::memcpy(masksB, &b.masks[first], sizeof(masksB));
    return valuesA == valuesB && masksA[0] == masksB[0] && masksA[1] == masksB[1];
}

// Calls `f(cell)` for each cell whose value or candidates differ between `before` and
// `grid`, in order, until it returns false; false then, else true. Eight cells are
// compared at a time, since along the path most are as they were.
template <typename F>
bool ForEachChangedCell(const CCandidateGrid& before, const CCandidateGrid& grid, F&& f) {
    for (int first = 0; first < kCellCount; first += 8) {
        if (SameEight(before, grid, first)) continue;
        for (int cell = first; cell < std::min(first + 8, kCellCount); ++cell) {
            if ((grid.masks[cell] != before.masks[cell] ||
                 grid.values[cell] != before.values[cell]) &&
                !f(cell)) {
                return false;
            }
        }
    }
    return true;
}

// What the rating remembers from one step of its path to the next: per digit technique, the
// candidates of each digit on which it last found nothing, and per unit technique, the
// positions of the digits in each unit where it last found nothing. Such a technique reads
// nothing else, so while those stay the same it finds nothing there again; on the 5.0-9.0
// sample most digits and units are untouched between two steps that need the techniques
// beyond the singles. The techniques of a few cells keep the last grid where they found
// nothing and look only at what changed since, which holds only along one path: each grid
// with at most the candidates of the one before. One memo serves one path.
class CPathMemo {
  public:
    enum CSlot {
        kTurbotFish,
        kStrongLinks2,
        kStrongLinks3,
        kStrongLinks4,
        kDirectPointing,
        kDirectClaiming,
        kPointing,
        kClaiming,
        kFish2,
        kFish3,
        kFish4,
        kXChains,
        kNishio,
        kSlotCount
    };
    // The hidden pair and triple that place a single, the hidden sets of two to four, the
    // naked sets of two to four.
    enum CUnitSlot { kDirectHiddenSet2, kHiddenSet2 = 2, kNakedSet2 = 5, kUnitSlotCount = 8 };

    bool FoundNothing(int slot, int d, const CCells& candidates) const {
        const CCells& known = nothing_[slot][d];
        return (known_[slot] >> d & 1) != 0 && known.lo == candidates.lo &&
               known.hi == candidates.hi;
    }
    void NoteNothing(int slot, int d, const CCells& candidates) {
        nothing_[slot][d] = candidates;
        known_[slot] |= uint16_t(1u << d);
    }
    bool UnitFoundNothing(int slot, int u, const std::array<uint16_t, 10>& pos) const {
        return (unitKnown_[slot] >> u & 1) != 0 && unitNothing_[slot][u] == pos;
    }
    void NoteUnitNothing(int slot, int u, const std::array<uint16_t, 10>& pos) {
        unitNothing_[slot][u] = pos;
        unitKnown_[slot] |= 1u << u;
    }
    // Per pair of digits, when the unique loops of the pair removed nothing: the cells holding
    // both, those of them that can be in a loop (`kept`), and the cells of the units the
    // loops' types 3 and 4 read (`watched`), with the candidates of these two. With fewer
    // cells holding both the walk finds fewer loops, through cells that can be in a loop, and
    // type 2 reads cells that along the path only lose candidates: so the loops remove nothing
    // while the cells holding both are among those, and those that remain of the kept and
    // the watched ones are as they were. Asking for the same cells holding both and
    // candidates, the walk took 134 M instructions on the 5.0-9.0 sample, this way 71 M.
    bool LoopsFoundNothing(int d1, int d2, const CCells& cells, const CCandidateGrid& grid) const {
        const CPairCells& known = loopsNothing_[9 * d1 + d2];
        if (!known.known || !cells.Within(known.cells)) return false;
        bool same = true;
        ((known.kept & cells) | known.watched).ForEach([&](int cell) {
            same &= known.masks[cell] == grid.masks[cell];
        });
        return same;
    }
    void NoteLoopsNothing(int d1, int d2, const CCells& cells, const CCells& kept,
                          const CCells& watched, const CCandidateGrid& grid) {
        CPairCells& known = loopsNothing_[9 * d1 + d2];
        known.known = true;
        known.cells = cells;
        known.kept = kept;
        known.watched = watched;
        (kept | watched).ForEach([&](int cell) { known.masks[cell] = grid.masks[cell]; });
    }

    // Per technique of a few cells (wings, aligned pairs and triples), the last grid on which
    // it found nothing, if any.
    enum CGridSlot {
        kXYWings,
        kXYZWings,
        kAlignedPairs,
        kAlignedTriples,
        kAlsWings3,
        kAlsWings4,
        kGridSlotCount
    };
    bool GridFoundNothing(int slot) const { return gridNothing_[slot].has_value(); }
    void NoteGridNothing(int slot, const CCandidateGrid& grid) { gridNothing_[slot] = grid; }
    // The cells whose candidates differ from those of that grid. Eight cells at a time as
    // words: cell by cell, this took 10 M of the 5.0-9.0 sample's 2.49 G instructions, this
    // way about 6 M.
    CCells ChangedSince(int slot, const CCandidateGrid& grid) const {
        CCells changed;
        if (!gridNothing_[slot]) return changed;
        ForEachChangedCell(*gridNothing_[slot], grid, [&](int cell) {
            changed.Set(cell);
            return true;
        });
        return changed;
    }

    // The unit positions of `grid`: those of the grid asked for before, brought up to date.
    // Along the path a step changes a few cells; built again at every step, the positions
    // took 86 M of the 5.0-9.0 sample's 2.80 G instructions, this way 16 M.
    const CUnitPositions& PositionsOf(const CCandidateGrid& grid) {
        if (!positions_ || !positions_->Update(positionsGrid_, grid)) positions_.emplace(grid);
        positionsGrid_ = grid;
        return *positions_;
    }

  private:
    struct CPairCells {
        bool known = false;
        CCells cells, kept, watched;
        std::array<uint16_t, kCellCount> masks;
    };

    // The masks and positions are read only once their flags say they were noted: cleared
    // for every puzzle, they took 9 M of the 5.0-9.0 sample's 2.81 G instructions.
    std::array<std::array<CCells, 10>, kSlotCount> nothing_;
    std::array<CPairCells, 90> loopsNothing_;
    std::array<uint16_t, kSlotCount> known_{};
    std::array<std::array<std::array<uint16_t, 10>, kUnitCount>, kUnitSlotCount> unitNothing_;
    std::array<uint32_t, kUnitSlotCount> unitKnown_{};
    std::array<std::optional<CCandidateGrid>, kGridSlotCount> gridNothing_;
    std::optional<CUnitPositions> positions_;
    CCandidateGrid positionsGrid_;  // the grid positions_ is of
};

// The cells where each digit is a candidate, from the rows' positions.
std::array<CCells, 10> DigitCandidates(const CUnitPositions& up);

// The value of a technique whose value does not depend on the size of its pattern, in tenths.
int BaseRating(CTechnique technique);

// A step of `technique` at its base value.
CStep MakeStep(CTechnique technique, int unit = -1);

// Whether `grid` breaks a rule already: a cell without candidates, a unit where a digit
// has neither a place nor a candidate left, or a digit placed twice in a unit.
bool IsBroken(const CCandidateGrid& grid);

// The techniques up to aligned pair exclusion, easiest first; the first that applies. With a
// memo, along the rating's path: the same step, found with what earlier steps left in it.
std::optional<CStep> FindBasicStep(const CCandidateGrid& grid, CPathMemo* memo = nullptr);
// The same, with the grid's positions already built.
std::optional<CStep> FindBasicStep(const CCandidateGrid& grid, const CUnitPositions& up,
                                   CPathMemo* memo);

// The eliminations the techniques up to `last` find on `grid`, all of them from the first
// technique that finds any; used by the nested chains on grids they assume. Empty when none.
std::optional<CStep> FindBasicStepUpTo(const CCandidateGrid& grid, CTechnique last);

// The bivalue universal grave, types 1 to 4 (bug.cpp): the first that applies.
std::optional<CStep> FindBivalueUniversalGrave(const CCandidateGrid& grid,
                                               const CUnitPositions& up);

// The wings of a two-candidate cell and an almost locked set of `size` cells of one unit
// (3: the WXYZ-wing, 4: the VWXYZ-wing): the easiest, the one removing the most among the
// easiest. nullopt when there is none. With a memo, along the rating's path: the same, found
// looking only at the wings with a cell changed since it last found nothing.
std::optional<CStep> FindAlsWing(const CCandidateGrid& grid, int size, CPathMemo* memo = nullptr);

// Aligned triple exclusion (triple_exclusion.cpp): the first found, or nullopt. With a memo,
// along the rating's path: the same step, found looking only at the triples that what
// changed since it last found nothing touches.
std::optional<CStep> FindAlignedTripleExclusion(const CCandidateGrid& grid,
                                                CPathMemo* memo = nullptr);

// The easiest Y-cycle (y_cycles.cpp), or nullopt.
std::optional<CStep> FindYCycle(const CCandidateGrid& grid);

// What the nested chains found on the grids they assumed, kept from one FindChainStep to the
// next along a path of steps (chains.cpp).
struct CChainMemory;
std::shared_ptr<CChainMemory> NewChainMemory();

// The chain techniques, from X-chains up: the easiest step of the first rung that finds
// one, nesting at most `maxLevel` deep. nullopt when stopped, or when no rung finds any;
// without a limit that happens only on a grid without exactly one solution. `memory`, when
// given, keeps the answers for the next call: along a path, whose grids only lose
// candidates, many grids are assumed again. Those `grid` cannot lead to are forgotten. With
// a path memo, along the rating's path: the same step, the X-chains and nishio not looked
// for on the digits whose candidates are as they were when they found none there.
std::optional<CStep> FindChainStep(const CCandidateGrid& grid, std::stop_token stop,
                                   int maxLevel = INT_MAX, CChainMemory* memory = nullptr,
                                   CPathMemo* pathMemo = nullptr);

// Up to `limit` solutions of `grid` as its candidates allow, counted by search: the check
// that lets the nested chains stop on a grid they could never finish.
int CountCandidateSolutions(const CCandidateGrid& grid, int limit = 2);

// The extra tenths a chain of `complexity` nodes is worth over its technique's base value:
// one tenth each time the length passes a limit, the limits growing in turn by half and by
// a third (4, 6, 8, 12, 16, 24, ...).
int ChainLengthBonus(int complexity);

}  // namespace logic
