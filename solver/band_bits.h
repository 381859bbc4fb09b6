// The band engine's layout of a position and the tables and bit operations on it, scalar
// and on eight words at once in AVX2 lanes, shared by its propagation, search and set-up.
// Compiled into each version of the engine, in its namespace VELMO_ISA.
//
// Short names: b a band (0-2), d a digit index (0-8, for digit d + 1), x a cell of a band
// (0-26, bit 9 * row + column), a a digit's band word. A mini-row is the three cells where
// a row meets a box; a mini-column where a column meets a box. A band has nine of each.
//
// The permutation rule on a digit's mini-rows in a band, bit 3 * row + box (its
// occupancy), and the six permutations, the box each row's mini-row lies in:
//
//      mini-rows       p0 (0,1,2)   p1 (0,2,1)   p2 (1,0,2)
//        box 0 1 2
//   row 0    0 1 2       X . .        X . .        . X .
//   row 1    3 4 5       . X .        . . X        X . .
//   row 2    6 7 8       . . X        . X .        . . X
//
//                      p3 (1,2,0)   p4 (2,0,1)   p5 (2,1,0)
//
//                        . X .        . . X        . . X
//                        . . X        X . .        . X .
//                        X . .        . X .        X . .
//
// kPermutationsIn maps every occupancy to the permutations (bit p) whose three mini-rows
// it holds, and kPermutationMask to the cells of those mini-rows: a mini-row on none of
// them cannot hold the digit, which is box-line reduction and more. A stack's bands and
// columns take the same rule (kStackPermutation).
#pragma once

#include <array>
#include <bit>
#include <cstdint>

#include "grid.h"

#if defined(__SSE2__) && !defined(VELMO_SCALAR)
#define VELMO_SSE2 1
#include <emmintrin.h>
#endif
#if defined(__BMI2__) && !defined(VELMO_SCALAR)
#include <immintrin.h>
#endif
#if defined(__AVX2__) && !defined(VELMO_SCALAR)
#define VELMO_AVX2 1
#include <immintrin.h>
#endif

namespace VELMO_ISA {

inline constexpr uint32_t kBandCells = 0x7FFFFFF;
inline constexpr int kDigits = kGridSize;
inline constexpr int kNextBand[3] = {1, 2, 0};
// Nine bits: a row of a band word, a band's columns or mini-rows, a digit's occupancy of a
// band; and how many such sets there are, the size of the tables they index.
inline constexpr uint32_t kNineBits = 0x1FF;
inline constexpr uint32_t kNineBitSets = kNineBits + 1;

// The six ways a digit can take one mini-row per row and per box: box of row 0, 1, 2.
inline constexpr int kPermutationCount = 6;
inline constexpr int kPermutations[kPermutationCount][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2},
                                                            {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};

#if defined(__BMI2__) && !defined(VELMO_SCALAR)
// Mini-row occupancy, bit 3 * row + box, of a band word: each mini-row's three cells
// folded onto its first, then gathered.
inline uint32_t MiniRows(uint32_t a) {
    return _pext_u32(a | a >> 1 | a >> 2, 0x1249249);
}
#else
// Mini-row occupancy, bit 3 * row + box, of a band word.
inline constexpr std::array<uint32_t, kNineBitSets> kRowToBoxes = [] {
    std::array<uint32_t, kNineBitSets> table{};
    for (uint32_t row = 0; row < kNineBitSets; ++row) {
        for (int box = 0; box < 3; ++box) {
            if (row & (7u << (3 * box))) table[row] |= 1u << box;
        }
    }
    return table;
}();

inline uint32_t MiniRows(uint32_t a) {
    return kRowToBoxes[a & kNineBits] | kRowToBoxes[(a >> 9) & kNineBits] << 3 |
           kRowToBoxes[a >> 18] << 6;
}
#endif

// The cells of the mini-rows in an occupancy.
inline constexpr std::array<uint32_t, kNineBitSets> kMiniRowCells = [] {
    std::array<uint32_t, kNineBitSets> table{};
    for (uint32_t rows = 0; rows < kNineBitSets; ++rows) {
        for (int m = 0; m < 9; ++m) {
            if (rows & (1u << m)) table[rows] |= 7u << (9 * (m / 3) + 3 * (m % 3));
        }
    }
    return table;
}();

// Cells of each permutation, and the permutations (bit p) whose mini-rows an occupancy
// holds: a digit's possible placements in a band.
inline constexpr std::array<uint32_t, kPermutationCount> kPermutationCells = [] {
    std::array<uint32_t, kPermutationCount> table{};
    for (int p = 0; p < kPermutationCount; ++p) {
        for (int row = 0; row < 3; ++row) table[p] |= 7u << (9 * row + 3 * kPermutations[p][row]);
    }
    return table;
}();

inline constexpr std::array<uint8_t, kNineBitSets> kPermutationsIn = [] {
    std::array<uint8_t, kNineBitSets> table{};
    for (uint32_t occupied = 0; occupied < kNineBitSets; ++occupied) {
        for (int p = 0; p < kPermutationCount; ++p) {
            bool inside = true;
            for (int row = 0; row < 3; ++row) {
                inside = inside && (occupied & (1u << (3 * row + kPermutations[p][row])));
            }
            if (inside) table[occupied] |= uint8_t(1u << p);
        }
    }
    return table;
}();

// Occupancy to the cells of its mini-rows that lie on some permutation; 0 when none does.
inline constexpr std::array<uint32_t, kNineBitSets> kPermutationMask = [] {
    std::array<uint32_t, kNineBitSets> table{};
    for (uint32_t occupied = 0; occupied < kNineBitSets; ++occupied) {
        for (int p = 0; p < kPermutationCount; ++p) {
            if (kPermutationsIn[occupied] & (1u << p)) table[occupied] |= kPermutationCells[p];
        }
    }
    return table;
}();

// The same rule across a stack: index bit 3 * band + column (of the stack's three columns
// the digit can take in that band), result the (band, column) pairs on some permutation as
// bit 9 * band + column, ready to be shifted to the stack's columns.
inline constexpr std::array<uint32_t, kNineBitSets> kStackPermutation = [] {
    std::array<uint32_t, kNineBitSets> table{};
    for (uint32_t occupied = 0; occupied < kNineBitSets; ++occupied) {
        const uint32_t cells = kPermutationMask[occupied];
        for (int band = 0; band < 3; ++band) {
            for (int column = 0; column < 3; ++column) {
                if (cells & (1u << (9 * band + 3 * column)))
                    table[occupied] |= 1u << (9 * band + column);
            }
        }
    }
    return table;
}();

// The band and digit index of word 9 * b + d of CBandState::candidates, by table: cheaper
// than dividing by nine in the band pass, which asks at every word.
inline constexpr std::array<uint8_t, 27> kBandOfWord = [] {
    std::array<uint8_t, 27> table{};
    for (int i = 0; i < 27; ++i) table[i] = uint8_t(i / 9);
    return table;
}();
inline constexpr std::array<uint8_t, 27> kDigitOfWord = [] {
    std::array<uint8_t, 27> table{};
    for (int i = 0; i < 27; ++i) table[i] = uint8_t(i % 9);
    return table;
}();

// A set of bits when it has exactly one, else 0.
constexpr uint32_t IfSingle(uint32_t bits) {
    return std::has_single_bit(bits) ? bits : 0;
}

// IfSingle of every row, for the band pass: one lookup where counting takes three
// instructions.
inline constexpr std::array<uint16_t, kNineBitSets> kIfSingle = [] {
    std::array<uint16_t, kNineBitSets> table{};
    for (uint32_t row = 0; row < kNineBitSets; ++row) table[row] = uint16_t(IfSingle(row));
    return table;
}();

// Of 27 bits in groups of three, each bit given the next of its group (bit k of a group
// takes bit k + 1, mod 3) or the one after.
constexpr uint32_t TurnedDown(uint32_t bits) {
    return ((bits >> 1) & 0333333333) | ((bits << 2) & 0444444444);
}
constexpr uint32_t TurnedUp(uint32_t bits) {
    return ((bits >> 2) & 0111111111) | ((bits << 1) & 0666666666);
}

// Of up to 27 bits in groups of three, those alone in their group: each group turned by
// one bit either way shows a bit the other two. A third of the instructions of asking
// each group whether it has a single bit.
constexpr uint32_t AloneInTriples(uint32_t bits) {
    return bits & ~(TurnedDown(bits) | TurnedUp(bits));
}

// Of a digit's mini-rows (bit 9 * band + 3 * row + box), those it must take: alone in
// their row or in their box within the band. The mini-rows that share a box lie three and
// six bits apart in the same band.
constexpr uint32_t BoundMiniRows(uint32_t rows) {
    const uint32_t boxmates = ((rows << 3) & 0770770770) | ((rows >> 3) & 0077077077) |
                              ((rows << 6) & 0700700700) | ((rows >> 6) & 0007007007);
    return AloneInTriples(rows) | (rows & ~boxmates);
}

// Checked against the rule itself, for every occupancy of each band.
static_assert([] {
    for (uint32_t occupied = 0; occupied < kNineBitSets; ++occupied) {
        uint32_t bound = 0;
        for (int m = 0; m < 9; ++m) {
            const uint32_t row = 7u << (3 * (m / 3)), box = 0x49u << (m % 3);
            if ((occupied & (1u << m)) &&
                ((occupied & row) == (1u << m) || (occupied & box) == (1u << m))) {
                bound |= 1u << m;
            }
        }
        for (int b = 0; b < 3; ++b) {
            const uint32_t others = kBandCells & ~(kNineBits << (9 * b));
            if (BoundMiniRows(occupied << (9 * b)) != bound << (9 * b) ||
                (BoundMiniRows(occupied << (9 * b) | others) & (kNineBits << (9 * b))) !=
                    bound << (9 * b)) {
                return false;
            }
        }
    }
    return true;
}());

// For a digit bound to some mini-rows: the other cells of their rows and boxes, which it
// leaves.
inline constexpr std::array<uint32_t, kNineBitSets> kBoundMiniRowsExclude = [] {
    std::array<uint32_t, kNineBitSets> table{};
    for (uint32_t rows = 0; rows < kNineBitSets; ++rows) {
        for (int m = 0; m < 9; ++m) {
            if (!(rows & (1u << m))) continue;
            const uint32_t cells = 7u << (9 * (m / 3) + 3 * (m % 3));
            const uint32_t row = kNineBits << (9 * (m / 3));
            const uint32_t box = 0x1C0E07u << (3 * (m % 3));
            table[rows] |= (row | box) & ~cells;
        }
    }
    return table;
}();

// For columns (9 bits) of one band, the other columns of their boxes.
inline constexpr std::array<uint16_t, kNineBitSets> kBoxmateColumns = [] {
    std::array<uint16_t, kNineBitSets> table{};
    for (uint32_t columns = 0; columns < kNineBitSets; ++columns) {
        for (int c = 0; c < 9; ++c) {
            if (columns & (1u << c)) table[columns] |= uint16_t((7u << (3 * (c / 3))) & ~(1u << c));
        }
    }
    return table;
}();

// The peers of cell x within its band: a band's cells are the grid's first 27 as the
// first band sees them.
inline constexpr std::array<uint32_t, 27> kPeersInBand = [] {
    std::array<uint32_t, 27> table{};
    for (int x = 0; x < 27; ++x) {
        for (uint8_t peer : kCellPeers[x]) {
            if (peer < 27) table[x] |= 1u << peer;
        }
    }
    return table;
}();

// The same with 33 entries, the last 32 none: countr_zero of a word without bits.
inline constexpr std::array<uint32_t, 33> kPeersInBandOr32 = [] {
    std::array<uint32_t, 33> table{};
    for (int x = 0; x < 27; ++x) table[x] = kPeersInBand[x];
    return table;
}();

// A set of columns (9 bits) to all their cells in a band.
constexpr uint32_t ColumnsToCells(uint32_t columns) {
    return columns * 0x40201u;
}

// The columns in which a band word has a candidate.
constexpr uint32_t Columns(uint32_t a) {
    return (a | a >> 9 | a >> 18) & kNineBits;
}

// Of three nine-bit fields, one a band, each given the next band's field or the one after.
constexpr uint32_t NextBands(uint32_t bits) {
    return ((bits >> 9) | (bits << 18)) & kBandCells;
}
constexpr uint32_t LastBands(uint32_t bits) {
    return ((bits >> 18) | (bits << 9)) & kBandCells;
}

// The permutation rule in all three stacks at once, without the table: of a digit's
// mini-columns (bit 9 * band + column), those on a permutation of their stack, where the
// other two bands hold the digit in the other two columns of the stack, one each.
constexpr uint32_t StackRule(uint32_t columns) {
    const uint32_t down = TurnedDown(columns), up = TurnedUp(columns);
    return columns & ((NextBands(down) & LastBands(up)) | (NextBands(up) & LastBands(down)));
}

// Checked against the table, for every occupancy of each stack.
static_assert([] {
    for (uint32_t occupied = 0; occupied < kNineBitSets; ++occupied) {
        for (int stack = 0; stack < 3; ++stack) {
            uint32_t columns = 0;
            for (int band = 0; band < 3; ++band) {
                columns |= ((occupied >> (3 * band)) & 7) << (9 * band + 3 * stack);
            }
            if (StackRule(columns) != kStackPermutation[occupied] << (3 * stack)) return false;
        }
    }
    return true;
}());

#if defined(VELMO_AVX2)
// The same steps on eight words at once, one per lane.
inline __m256i Lanes(uint32_t bits) {
    return _mm256_set1_epi32(static_cast<int>(bits));
}

inline __m256i TurnedDown(__m256i bits) {
    return _mm256_or_si256(_mm256_and_si256(_mm256_srli_epi32(bits, 1), Lanes(0333333333)),
                           _mm256_and_si256(_mm256_slli_epi32(bits, 2), Lanes(0444444444)));
}
inline __m256i TurnedUp(__m256i bits) {
    return _mm256_or_si256(_mm256_and_si256(_mm256_srli_epi32(bits, 2), Lanes(0111111111)),
                           _mm256_and_si256(_mm256_slli_epi32(bits, 1), Lanes(0666666666)));
}

inline __m256i AloneInTriples(__m256i bits) {
    return _mm256_andnot_si256(_mm256_or_si256(TurnedDown(bits), TurnedUp(bits)), bits);
}

// MiniRows without pext: each mini-row folded onto its first cell, and those nine bits
// (every third) then gathered by halving the gaps between them.
inline __m256i MiniRows(__m256i a) {
    __m256i x =
        _mm256_or_si256(a, _mm256_or_si256(_mm256_srli_epi32(a, 1), _mm256_srli_epi32(a, 2)));
    x = _mm256_and_si256(x, Lanes(0x1249249));
    x = _mm256_and_si256(_mm256_or_si256(x, _mm256_srli_epi32(x, 2)), Lanes(0x30C30C3));
    x = _mm256_and_si256(_mm256_or_si256(x, _mm256_srli_epi32(x, 4)), Lanes(0x300F00F));
    x = _mm256_and_si256(_mm256_or_si256(x, _mm256_srli_epi32(x, 8)), Lanes(0xFF0000FF));
    return _mm256_and_si256(_mm256_or_si256(x, _mm256_srli_epi32(x, 16)), Lanes(kNineBits));
}

inline __m256i Columns(__m256i a) {
    return _mm256_and_si256(
        _mm256_or_si256(a, _mm256_or_si256(_mm256_srli_epi32(a, 9), _mm256_srli_epi32(a, 18))),
        Lanes(kNineBits));
}

inline __m256i BoundMiniRows(__m256i rows) {
    const __m256i nearer =
        _mm256_or_si256(_mm256_and_si256(_mm256_slli_epi32(rows, 3), Lanes(0770770770)),
                        _mm256_and_si256(_mm256_srli_epi32(rows, 3), Lanes(0077077077)));
    const __m256i further =
        _mm256_or_si256(_mm256_and_si256(_mm256_slli_epi32(rows, 6), Lanes(0700700700)),
                        _mm256_and_si256(_mm256_srli_epi32(rows, 6), Lanes(0007007007)));
    return _mm256_or_si256(AloneInTriples(rows),
                           _mm256_andnot_si256(_mm256_or_si256(nearer, further), rows));
}

// Three nine-bit fields, one a band, in one word.
inline __m256i Bands(__m256i b0, __m256i b1, __m256i b2) {
    return _mm256_or_si256(b0,
                           _mm256_or_si256(_mm256_slli_epi32(b1, 9), _mm256_slli_epi32(b2, 18)));
}

inline __m256i NextBands(__m256i bits) {
    return _mm256_and_si256(
        _mm256_or_si256(_mm256_srli_epi32(bits, 9), _mm256_slli_epi32(bits, 18)),
        Lanes(kBandCells));
}
inline __m256i LastBands(__m256i bits) {
    return _mm256_and_si256(
        _mm256_or_si256(_mm256_srli_epi32(bits, 18), _mm256_slli_epi32(bits, 9)),
        Lanes(kBandCells));
}

inline __m256i StackRule(__m256i columns) {
    const __m256i down = TurnedDown(columns), up = TurnedUp(columns);
    return _mm256_and_si256(columns,
                            _mm256_or_si256(_mm256_and_si256(NextBands(down), LastBands(up)),
                                            _mm256_and_si256(NextBands(up), LastBands(down))));
}

inline __m256i ColumnsToCells(__m256i columns) {
    return _mm256_mullo_epi32(columns, Lanes(0x40201));
}
#endif

// Bit-sliced counters over up to nine 27-bit sets: which bits are in at least one, two,
// three and four of the sets added.
template <typename Word>
struct CAtLeastOf {
    Word one = 0, two = 0, three = 0, four = 0;
    void Add(Word bits) {
        four |= three & bits;
        three |= two & bits;
        two |= one & bits;
        one |= bits;
    }
};
using CAtLeast = CAtLeastOf<uint32_t>;

// The same for two sets of sets side by side, in the halves of 64-bit words.
struct CAtLeast64 : CAtLeastOf<uint64_t> {
    CAtLeast Low() const { return {uint32_t(one), uint32_t(two), uint32_t(three), uint32_t(four)}; }
    CAtLeast High() const {
        return {uint32_t(one >> 32), uint32_t(two >> 32), uint32_t(three >> 32),
                uint32_t(four >> 32)};
    }
};

}  // namespace VELMO_ISA
