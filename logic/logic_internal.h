// What the logic's parts share: the positions of each digit in each unit, the step values,
// and the rungs of techniques that FindEasiestStep climbs.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <cstdint>
#include <memory>
#include <optional>
#include <stop_token>

#include "logic.h"

namespace logic {

// Where each digit can still go in each unit, from a candidate grid: bit i of pos[u][d] is
// set while digit d is a candidate of kUnitCells[u][i]; placed[u] has bit d set once d is
// placed in u.
struct CUnitPositions {
    std::array<std::array<uint16_t, 10>, kUnitCount> pos{};
    std::array<uint16_t, kUnitCount> placed{};

    explicit CUnitPositions(const CCandidateGrid& grid);
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

// The value of a technique whose value does not depend on the size of its pattern, in tenths.
int BaseRating(CTechnique technique);

// A step of `technique` at its base value.
CStep MakeStep(CTechnique technique, int unit = -1);

// Whether `grid` breaks a rule already: a cell without candidates, a unit where a digit
// has neither a place nor a candidate left, or a digit placed twice in a unit.
bool IsBroken(const CCandidateGrid& grid);

// The techniques up to aligned pair exclusion, easiest first; the first that applies.
std::optional<CStep> FindBasicStep(const CCandidateGrid& grid);

// The eliminations the techniques up to `last` find on `grid`, all of them from the first
// technique that finds any; used by the nested chains on grids they assume. Empty when none.
std::optional<CStep> FindBasicStepUpTo(const CCandidateGrid& grid, CTechnique last);

// The bivalue universal grave, types 1 to 4 (bug.cpp): the first that applies.
std::optional<CStep> FindBivalueUniversalGrave(const CCandidateGrid& grid,
                                               const CUnitPositions& up);

// The wings of a two-candidate cell and an almost locked set of `size` cells of one unit
// (3: the WXYZ-wing, 4: the VWXYZ-wing): the easiest, the one removing the most among the
// easiest. nullopt when there is none.
std::optional<CStep> FindAlsWing(const CCandidateGrid& grid, int size);

// Aligned triple exclusion (triple_exclusion.cpp): the first found, or nullopt.
std::optional<CStep> FindAlignedTripleExclusion(const CCandidateGrid& grid);

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
// candidates, many grids are assumed again. Those `grid` cannot lead to are forgotten.
std::optional<CStep> FindChainStep(const CCandidateGrid& grid, std::stop_token stop,
                                   int maxLevel = INT_MAX, CChainMemory* memory = nullptr);

// Up to `limit` solutions of `grid` as its candidates allow, counted by search: the check
// that lets the nested chains stop on a grid they could never finish.
int CountCandidateSolutions(const CCandidateGrid& grid, int limit = 2);

// The extra tenths a chain of `complexity` nodes is worth over its technique's base value:
// one tenth each time the length passes a limit, the limits growing in turn by half and by
// a third (4, 6, 8, 12, 16, 24, ...).
int ChainLengthBonus(int complexity);

}  // namespace logic
