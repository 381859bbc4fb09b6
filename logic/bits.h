// The bit tools every technique uses: digit masks counted and split into subsets, and sets of
// cells, as two words (CCells) or as one 128-bit board (Bits) where the chains shift whole
// boards at a time.
//
// d is a digit 1-9, u a unit (grid.h's numbering), cell an index 0-80.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "logic.h"

namespace logic {

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

inline CCandidate Cand(int cell, int d) {
    return {uint8_t(cell), uint8_t(d)};
}

inline bool Has(const CCandidateGrid& grid, int cell, int d) {
    return (grid.masks[cell] >> d & 1) != 0;
}

// The cells of unit u whose places are set in `bits`.
inline std::vector<uint8_t> UnitCells(int u, unsigned bits) {
    std::vector<uint8_t> cells;
    for (; bits != 0; bits &= bits - 1) cells.push_back(kUnitCells[u][std::countr_zero(bits)]);
    return cells;
}

// Each cell's units as a set: bit u for each.
inline constexpr std::array<uint32_t, kCellCount> kCellUnitSet = [] {
    std::array<uint32_t, kCellCount> table{};
    for (int cell = 0; cell < kCellCount; ++cell) {
        const CCellUnits& units = kCellUnits[cell];
        table[cell] = 1u << units.row | 1u << units.column | 1u << units.box;
    }
    return table;
}();

// Subsets of `size` of the 9 bits of `available`, in ascending order of their bits, until
// `f(subset)` says stop; whether it did.
template <typename F>
bool ForSubsets(unsigned available, int size, F&& f) {
    if (Count(available) < size) return false;
    // (s - available) & available steps to the next subset of `available`.
    for (unsigned s = (0u - available) & available; s != 0; s = (s - available) & available) {
        if (Count(s) == size && f(s)) return true;
    }
    return false;
}

// As ForSubsets, for sizes 1 to 4, leaving out the subsets whose values (`valueOf(i)` for
// bit i, masks of bits 0-9) have more than `limit` bits between them: each subset is built
// from its highest bit down, and one whose part has more already is not completed. The
// subsets and fish want no more, and most subsets have more.
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
    // Size() >= 2 without counting, which may be a library call (see kBitCount).
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

// A chain link's end: digit d in one cell, or in the cells of `cells` (a group of one box and
// one line, so three at most).
inline CLinkEnd EndOf(int cell, int d) {
    return {uint8_t(d), 1, {uint8_t(cell), 0, 0}};
}
inline CLinkEnd EndOf(const CCells& cells, int d) {
    CLinkEnd end{uint8_t(d), 0, {}};
    cells.ForEach([&](int cell) {
        if (end.size < end.cells.size()) end.cells[end.size++] = uint8_t(cell);
    });
    return end;
}

// The peers of each cell as a set.
inline constexpr std::array<CCells, kCellCount> kPeerSets = [] {
    std::array<CCells, kCellCount> sets{};
    for (int cell = 0; cell < kCellCount; ++cell) {
        for (uint8_t peer : kCellPeers[cell]) sets[cell].Set(peer);
    }
    return sets;
}();

// The candidates `d` of the cells that see all of `cells` (and are none of them): what a
// pattern that puts d in one of `cells` removes. The peers' sets are crossed first, so most
// calls end without looking at a cell.
inline std::vector<CCandidate> SeenByAll(const CCandidateGrid& grid, int d,
                                         std::initializer_list<int> cells) {
    CCells seen{~uint64_t(0), ~uint64_t(0)};
    for (int cell : cells) seen = seen & kPeerSets[cell];
    std::vector<CCandidate> out;
    seen.ForEach([&](int cell) {
        if (Has(grid, cell, d)) out.push_back(Cand(cell, d));
    });
    return out;
}

// 81 cells as one board, cell i at bit i: the chains and the solution counter spread whole
// boards of a digit's candidates at once.
__extension__ typedef unsigned __int128 Bits;

constexpr Bits CellBit(int cell) {
    return Bits(1) << cell;
}
constexpr bool Has(Bits bits, int cell) {
    return (bits >> cell & 1) != 0;
}
constexpr bool Single(Bits bits) {
    return bits != 0 && (bits & (bits - 1)) == 0;
}
inline int LowestCell(Bits bits) {
    const uint64_t low = uint64_t(bits);
    return low != 0 ? std::countr_zero(low) : 64 + std::countr_zero(uint64_t(bits >> 64));
}

// Calls f(cell) for each cell of `bits`, lowest first, a word at a time: cheaper than taking
// the lowest of 128 bits off at each turn.
template <class F>
void ForEachCell(Bits bits, F&& f) {
    for (uint64_t w = uint64_t(bits); w != 0; w &= w - 1) f(std::countr_zero(w));
    for (uint64_t w = uint64_t(bits >> 64); w != 0; w &= w - 1) f(64 + std::countr_zero(w));
}

inline constexpr std::array<Bits, kCellCount> kPeerBits = [] {
    std::array<Bits, kCellCount> table{};
    for (int cell = 0; cell < kCellCount; ++cell) {
        for (uint8_t peer : kCellPeers[cell]) table[cell] |= CellBit(peer);
    }
    return table;
}();
inline constexpr std::array<Bits, kUnitCount> kUnitBits = [] {
    std::array<Bits, kUnitCount> table{};
    for (int u = 0; u < kUnitCount; ++u) {
        for (uint8_t cell : kUnitCells[u]) table[u] |= CellBit(cell);
    }
    return table;
}();

}  // namespace logic
