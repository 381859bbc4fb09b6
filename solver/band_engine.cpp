// The band engine: propagation and search on CBandState.
//
// Short names: b a band (0-2), d a digit index (0-8, for digit d + 1), x a cell of a band
// (0-26, bit 9 * row + column), a a digit's band word. A mini-row is the three cells where
// a row meets a box; a mini-column where a column meets a box. A band has nine of each.
//
// Propagation applies, until nothing changes:
//   1. Per digit and band, the permutation rule: the digit takes one mini-row per row and
//      per box of the band, so its mini-rows must form one of the six 3 x 3 permutations.
//      One table lookup does box-line reduction and hidden singles in rows and boxes; a row
//      left with one cell fixes the digit there.
//   2. Naked singles and empty cells, a band at a time, counting candidates bit-sliced.
//   3. Per digit, the same rule across each stack of three columns, and hidden singles in
//      columns.
//   4. Across digits, the mini-row rule: a mini-row holds exactly three digits. Where only
//      three can go, each of them must be there (and leaves the rest of its row and box);
//      where three are already bound to it, no other digit can be. The same for
//      mini-columns. This is the reasoning a per-digit engine lacks: without it hard
//      puzzles need about 40% more guesses, and some consistent grids without solution,
//      which it refutes at once, take a per-digit engine millions of guesses.
// Steps 3 and 4 run only once the cheaper steps before them are settled.
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
//
// Search (FindSolutions), once propagation has settled a position:
//   - What it branches on. Mostly a digit's placements: of the three bands and three
//     stacks, the one with the fewest placements left over all digits, and in it the digit
//     with the fewest (two or more); each permutation left is a branch, restricting the
//     digit to it (ChooseFewestPlacements). The other way of choosing takes a cell with
//     two candidates that sees the most unsolved cells, a branch per digit
//     (ChooseMostSeenPair). Each branch beyond the first at a choice is a guess; the last
//     reuses the position instead of copying it.
//   - Wide splits near the root. Where the query asks for them and the root is open
//     (kOpenPlacements), the first levels (CEngineQuery::wideLevels) of the first attempt
//     take instead the band or stack with the fewest digits still open and its digit with
//     the most placements, which took 44% of the instructions off the forum's hardest 1106
//     and 24% off its 1905 11+. Only Solve's count of a whole grid asks, and a short
//     narrow attempt goes first (kScoutGuesses).
//   - Attempts with doubling allowances. The first attempt may make kFirstAttemptGuesses
//     guesses; then the search starts afresh from the root with the other way of choosing
//     and twice the allowance, and so on, alternating. A grid that traps one way in a vast
//     dead branch is settled by the other, and the doubling keeps the guesses spent on
//     abandoned attempts below the allowance of the attempt that finishes.
//   - Contradiction weights. Each failed propagation counts one for the band or stack, and
//     the digit, where it showed (CConflicts). The first way of choosing divides a unit's
//     placements by its weight, so that the search turns to where contradictions gather:
//     a contradiction in a small corner of a sparse grid is otherwise met afresh under
//     every guess in the free part. The counts carry over between attempts, and the search
//     in its own order carries them from one test to the next.
// The clock is asked at the first guess and every 256th; a query's maxGuesses cuts it off
// exactly.
#include "band_engine.h"

#include <bit>
#include <cstring>

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
namespace {

constexpr uint32_t kBandCells = 0x7FFFFFF;
constexpr int kDigits = kGridSize;
constexpr int kNextBand[3] = {1, 2, 0};
// Nine bits: a row of a band word, a band's columns or mini-rows, a digit's occupancy of a
// band; and how many such sets there are, the size of the tables they index.
constexpr uint32_t kNineBits = 0x1FF;
constexpr uint32_t kNineBitSets = kNineBits + 1;

// The six ways a digit can take one mini-row per row and per box: box of row 0, 1, 2.
constexpr int kPermutationCount = 6;
constexpr int kPermutations[kPermutationCount][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2},
                                                     {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};

#if defined(__BMI2__) && !defined(VELMO_SCALAR)
// Mini-row occupancy, bit 3 * row + box, of a band word: each mini-row's three cells
// folded onto its first, then gathered.
inline uint32_t MiniRows(uint32_t a) {
    return _pext_u32(a | a >> 1 | a >> 2, 0x1249249);
}
#else
// Mini-row occupancy, bit 3 * row + box, of a band word.
constexpr std::array<uint32_t, kNineBitSets> kRowToBoxes = [] {
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
constexpr std::array<uint32_t, kNineBitSets> kMiniRowCells = [] {
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
constexpr std::array<uint32_t, kPermutationCount> kPermutationCells = [] {
    std::array<uint32_t, kPermutationCount> table{};
    for (int p = 0; p < kPermutationCount; ++p) {
        for (int row = 0; row < 3; ++row) table[p] |= 7u << (9 * row + 3 * kPermutations[p][row]);
    }
    return table;
}();

constexpr std::array<uint8_t, kNineBitSets> kPermutationsIn = [] {
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
constexpr std::array<uint32_t, kNineBitSets> kPermutationMask = [] {
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
constexpr std::array<uint32_t, kNineBitSets> kStackPermutation = [] {
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

// The band and digit index of word 9 * b + d of CBandState::candidates, by table: dividing
// by nine took 1% of the instructions on the forum's hardest and on top1465.
constexpr std::array<uint8_t, 27> kBandOfWord = [] {
    std::array<uint8_t, 27> table{};
    for (int i = 0; i < 27; ++i) table[i] = uint8_t(i / 9);
    return table;
}();
constexpr std::array<uint8_t, 27> kDigitOfWord = [] {
    std::array<uint8_t, 27> table{};
    for (int i = 0; i < 27; ++i) table[i] = uint8_t(i % 9);
    return table;
}();

// A set of bits when it has exactly one, else 0.
constexpr uint32_t IfSingle(uint32_t bits) {
    return std::has_single_bit(bits) ? bits : 0;
}

// IfSingle of every row, for the band pass: a lookup where counting took three
// instructions, 3.6% fewer on the forum's hardest and 4% less time.
constexpr std::array<uint16_t, kNineBitSets> kIfSingle = [] {
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
// each group whether it has a single bit: 6.3% fewer in all on the forum's hardest.
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
constexpr std::array<uint32_t, kNineBitSets> kBoundMiniRowsExclude = [] {
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
constexpr std::array<uint16_t, kNineBitSets> kBoxmateColumns = [] {
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
constexpr std::array<uint32_t, 27> kPeersInBand = [] {
    std::array<uint32_t, 27> table{};
    for (int x = 0; x < 27; ++x) {
        for (uint8_t peer : kCellPeers[x]) {
            if (peer < 27) table[x] |= 1u << peer;
        }
    }
    return table;
}();

// The same with 33 entries, the last 32 none: countr_zero of a word without bits.
constexpr std::array<uint32_t, 33> kPeersInBandOr32 = [] {
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

// The column pass's findings for every digit of one position: what the digit keeps in
// each band, the hidden singles of its columns there, and the stacks where it has no
// permutation left (bit stack).
struct CColumnRule {
    uint32_t kept[3][kDigits];
    uint32_t fresh[3][kDigits];
    uint32_t emptyStacks[kDigits];
};

// Per digit, where it can go at the level of mini-rows and mini-columns, as the last
// mini-row pass found it: once propagation has settled, the search chooses its branch
// from these rather than computing them again.
struct COccupancy {
    uint32_t rows[9];     // bit 9 * band + 3 * row + box: the digit can reach that mini-row
    uint32_t columns[9];  // bit 9 * band + column: the digit can reach that mini-column
};

class CPropagator {
  public:
    explicit CPropagator(CBandState& state) : s(state) {}

    // Valid after Propagate returned true.
    COccupancy m_occupancy;
    // After a false: the unit (0-2 band, 3-5 stack) and digit (or -1 for all) where the
    // contradiction showed.
    int m_failUnit = 0;
    int m_failDigit = -1;

    uint32_t& Word(int d, int b) { return s.candidates[9 * b + d]; }

    // Removes `cells` from digit d in band b.
    void Remove(int d, int b, uint32_t cells) {
        // Branch-free: whether anything is removed is close to a coin toss.
        uint32_t& word = Word(d, b);
        const uint32_t removed = (word & cells) != 0;
        word &= ~cells;
        s.bandDirty |= removed << (9 * b + d);
        s.columnDirty |= removed << d;
    }

    // Removes `cells` from all nine digits of band b; returns the digits that lost any.
    uint32_t RemoveFromAll(int b, uint32_t cells) {
        uint32_t* words = &s.candidates[9 * b];
#if defined(VELMO_AVX2)
        // Digits 1-8 in one vector rather than two halves: on top1465 instructions -1.8%
        // and time -1% (-2% on the forum's hardest).
        const __m256i mask = _mm256_set1_epi32(static_cast<int>(cells));
        const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(words));
        const __m256i kept =
            _mm256_cmpeq_epi32(_mm256_and_si256(low, mask), _mm256_setzero_si256());
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(words), _mm256_andnot_si256(mask, low));
        uint32_t changed = ~uint32_t(_mm256_movemask_ps(_mm256_castsi256_ps(kept))) & 0xFF;
        changed |= uint32_t((words[8] & cells) != 0) << 8;
        words[8] &= ~cells;
        return changed;
#elif defined(VELMO_SSE2)
        const __m128i mask = _mm_set1_epi32(static_cast<int>(cells));
        const __m128i zero = _mm_setzero_si128();
        const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(words));
        const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(words + 4));
        const int keptLow =
            _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(_mm_and_si128(low, mask), zero)));
        const int keptHigh =
            _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(_mm_and_si128(high, mask), zero)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(words), _mm_andnot_si128(mask, low));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(words + 4), _mm_andnot_si128(mask, high));
        uint32_t changed = ~uint32_t(keptLow | keptHigh << 4) & 0xFF;
        changed |= uint32_t((words[8] & cells) != 0) << 8;
        words[8] &= ~cells;
        return changed;
#else
        uint32_t changed = 0;
        for (int d = 0; d < kDigits; ++d) {
            changed |= uint32_t((words[d] & cells) != 0) << d;
            words[d] &= ~cells;
        }
        return changed;
#endif
    }

    // Cells of band b with at least one candidate (`once`) and at least two (`twice`).
    void CellsWithCandidates(int b, uint32_t& once, uint32_t& twice) const {
        const uint32_t* words = &s.candidates[9 * b];
        // Not in the AVX2 and AVX-512 versions, where counting a word at a time took 1%
        // less time on top1465 (interleaved runs) for 1.4% more instructions: the band
        // pass and Fix have just written these words one at a time, which vector loads
        // likely wait on. The SSE4 version was as fast either way.
#if defined(VELMO_SSE2) && !defined(VELMO_AVX2)
        // Lanes k hold digits k and k + 4; the lanes are then merged pairwise, where two
        // partial counts (o1, t1) and (o2, t2) make (o1 | o2, t1 | t2 | (o1 & o2)).
        const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(words));
        const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(words + 4));
        __m128i o = _mm_or_si128(low, high);
        __m128i t = _mm_and_si128(low, high);
        __m128i o2 = _mm_shuffle_epi32(o, _MM_SHUFFLE(1, 0, 3, 2));
        __m128i t2 = _mm_shuffle_epi32(t, _MM_SHUFFLE(1, 0, 3, 2));
        t = _mm_or_si128(_mm_or_si128(t, t2), _mm_and_si128(o, o2));
        o = _mm_or_si128(o, o2);
        o2 = _mm_shuffle_epi32(o, _MM_SHUFFLE(2, 3, 0, 1));
        t2 = _mm_shuffle_epi32(t, _MM_SHUFFLE(2, 3, 0, 1));
        t = _mm_or_si128(_mm_or_si128(t, t2), _mm_and_si128(o, o2));
        o = _mm_or_si128(o, o2);
        const uint32_t last = words[8];
        twice = static_cast<uint32_t>(_mm_cvtsi128_si32(t)) |
                (static_cast<uint32_t>(_mm_cvtsi128_si32(o)) & last);
        once = static_cast<uint32_t>(_mm_cvtsi128_si32(o)) | last;
#else
        once = twice = 0;
        for (int d = 0; d < kDigits; ++d) {
            twice |= once & words[d];
            once |= words[d];
        }
#endif
    }

    // Fixes digit d in `cells` of band b, removing it from their peers; with `clearOthers`
    // the other digits leave those cells too (naked singles have none to clear). False when
    // two of the cells see each other.
    bool Fix(int d, int b, uint32_t cells, bool clearOthers) {
        // The first three cells without a loop, whose count varies and so mispredicts (an
        // empty rest counts 32 trailing zeros, an entry without peers). Against the loop,
        // time of Solve in interleaved runs: the forum's hardest 1106 -5%, its 11+ list -7%,
        // top1465 -2%, with 0.9% more instructions.
        const uint32_t second = cells & (cells - 1), third = second & (second - 1);
        uint32_t peers = kPeersInBandOr32[std::countr_zero(cells)] |
                         kPeersInBandOr32[std::countr_zero(second)] |
                         kPeersInBandOr32[std::countr_zero(third)];
        for (uint32_t rest = third & (third - 1); rest; rest &= rest - 1)
            peers |= kPeersInBand[std::countr_zero(rest)];
        if (peers & cells) return Fail(b, d);
        uint32_t changed = 0;
        if (clearOthers) {
            // All nine words at once and d's restored: cheaper than skipping d.
            const uint32_t own = Word(d, b);
            changed = RemoveFromAll(b, cells) & ~(1u << d);
            Word(d, b) = own;
        }
        // The three words of d, with the dirty words noted once rather than each Remove
        // reading and writing them again after the last: time of Solve in interleaved
        // runs -1% to -2% on the forum's hardest lists, with 1.2% more instructions.
        const int b1 = kNextBand[b], b2 = kNextBand[b1];
        const uint32_t columns = ColumnsToCells(Columns(cells));
        const uint32_t a0 = Word(d, b), a1 = Word(d, b1), a2 = Word(d, b2);
        const uint32_t r0 = (a0 & peers) != 0, r1 = (a1 & columns) != 0, r2 = (a2 & columns) != 0;
        Word(d, b) = a0 & ~peers, Word(d, b1) = a1 & ~columns, Word(d, b2) = a2 & ~columns;
        s.bandDirty |= changed << (9 * b) | (r0 << (9 * b) | r1 << (9 * b1) | r2 << (9 * b2)) << d;
        s.columnDirty |= changed | (r0 | r1 | r2) << d;
        s.unsolved[b] &= ~cells;
        return true;
    }

    bool Propagate() {
        for (;;) {
            if (!BandPass() || !NakedSingles()) return false;
            if (s.bandDirty) continue;
            if (!ColumnPass()) return false;
            if (s.bandDirty) continue;
            // A grid with every cell fixed that the passes above found sound is a
            // solution: the mini-row rule can add nothing (as often as not, the givens
            // alone led here).
            if ((s.unsolved[0] | s.unsolved[1] | s.unsolved[2]) == 0) return true;
            if (!MiniRowPass()) return false;
            if ((s.bandDirty | s.columnDirty) == 0) return true;
        }
    }

  private:
    bool Fail(int unit, int d) {
        m_failUnit = unit;
        m_failDigit = d;
        return false;
    }

    // Step 1 for every changed word.
    bool BandPass() {
        while (s.bandDirty) {
            const int i = std::countr_zero(s.bandDirty);
            s.bandDirty &= s.bandDirty - 1;
            const int b = kBandOfWord[i], d = kDigitOfWord[i];
            const uint32_t a = s.candidates[i];
            const uint32_t kept = a & kPermutationMask[MiniRows(a)];
            if (kept == 0) return Fail(b, d);
            // Stored whether changed or not: a quarter of the words change, and the test
            // mispredicted. On top1465 (AVX2 version, callgrind) mispredicted branches
            // -14.5%, instructions +1.6%; time of Solve (AVX-512, interleaved) -1.3%.
            s.candidates[i] = kept;
            s.columnDirty |= uint32_t(kept != a) << d;
            const uint32_t singles = kIfSingle[kept & kNineBits] |
                                     kIfSingle[(kept >> 9) & kNineBits] << 9 |
                                     kIfSingle[kept >> 18] << 18;
            const uint32_t fresh = singles & s.unsolved[b];
            if (fresh && !Fix(d, b, fresh, true)) return false;
        }
        return true;
    }

    // Step 2: `once` gathers the cells with at least one candidate, `twice` those with two.
    bool NakedSingles() {
        for (int b = 0; b < 3; ++b) {
            if (s.unsolved[b] == 0) continue;
            uint32_t once, twice;
            CellsWithCandidates(b, once, twice);
            if (s.unsolved[b] & ~once) return Fail(b, -1);
            const uint32_t singles = s.unsolved[b] & ~twice;
            if (singles == 0) continue;
#if defined(VELMO_AVX2)
            // The digits that have singles found by one compare, not asked one by one:
            // a Fix here takes only its own digit from cells.
            const __m256i words =
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(&s.candidates[9 * b]));
            const __m256i none = _mm256_cmpeq_epi32(
                _mm256_and_si256(words, _mm256_set1_epi32(static_cast<int>(singles))),
                _mm256_setzero_si256());
            uint32_t digits = ~uint32_t(_mm256_movemask_ps(_mm256_castsi256_ps(none))) & 0xFF;
            digits |= uint32_t((singles & Word(8, b)) != 0) << 8;
            for (; digits; digits &= digits - 1) {
                const int d = std::countr_zero(digits);
                if (!Fix(d, b, singles & Word(d, b), false)) return false;
            }
#else
            for (int d = 0; d < kDigits; ++d) {
                const uint32_t cells = singles & Word(d, b);
                if (cells && !Fix(d, b, cells, false)) return false;
            }
#endif
        }
        return true;
    }

    // Step 3 for every changed digit.
    bool ColumnPass() {
#if defined(VELMO_AVX2)
        // The rule worked out for all nine digits at once, eight in vector lanes, and then
        // applied to the changed digits in the same order as a digit at a time: a Fix
        // changes other digits, so after one the rule is worked out again.
        while (s.columnDirty) {
            CColumnRule rule;
            WorkOutColumnRule(rule);
            for (bool fixed = false; s.columnDirty && !fixed;) {
                const int d = std::countr_zero(s.columnDirty);
                s.columnDirty &= s.columnDirty - 1;
                if (d == 8) WorkOutColumnRule(rule, 8);
                if (const uint32_t empty = rule.emptyStacks[d]) {
                    return Fail(3 + std::countr_zero(empty), d);
                }
                // Stored whether changed or not, as in the band pass.
                for (int b = 0; b < 3; ++b) {
                    const uint32_t kept = rule.kept[b][d];
                    s.bandDirty |= uint32_t(kept != Word(d, b)) << (9 * b + d);
                    Word(d, b) = kept;
                }
                // A Fix of a column's single in one band leaves the other bands' singles as
                // they were: they lie in other columns, and rows and boxes are not shared.
                for (int b = 0; b < 3; ++b) {
                    if (const uint32_t fresh = rule.fresh[b][d]) {
                        if (!Fix(d, b, fresh, true)) return false;
                        fixed = true;
                    }
                }
            }
        }
        return true;
#else
        while (s.columnDirty) {
            const int d = std::countr_zero(s.columnDirty);
            s.columnDirty &= s.columnDirty - 1;
            uint32_t* a[3] = {&Word(d, 0), &Word(d, 1), &Word(d, 2)};
            const uint32_t occupied[3] = {Columns(*a[0]), Columns(*a[1]), Columns(*a[2])};
            uint32_t allowed = 0;  // bit 9 * band + column
            for (int shift = 0; shift < 9; shift += 3) {
                const uint32_t index = ((occupied[0] >> shift) & 7) |
                                       ((occupied[1] >> shift) & 7) << 3 |
                                       ((occupied[2] >> shift) & 7) << 6;
                const uint32_t pairs = kStackPermutation[index];
                if (pairs == 0) return Fail(3 + shift / 3, d);
                allowed |= pairs << shift;
            }
            uint32_t once = 0, twice = 0;
            for (int b = 0; b < 3; ++b) {
                const uint32_t kept = *a[b] & ColumnsToCells((allowed >> (9 * b)) & kNineBits);
                if (kept != *a[b]) {
                    *a[b] = kept;
                    s.bandDirty |= 1u << (9 * b + d);
                }
                const uint32_t r0 = kept & kNineBits, r1 = (kept >> 9) & kNineBits, r2 = kept >> 18;
                twice |= (once & (r0 | r1 | r2)) | (r0 & r1) | ((r0 | r1) & r2);
                once |= r0 | r1 | r2;
            }
            const uint32_t lone = ColumnsToCells(once & ~twice);
            for (int b = 0; b < 3; ++b) {
                const uint32_t fresh = *a[b] & lone & s.unsolved[b];
                if (fresh && !Fix(d, b, fresh, true)) return false;
            }
        }
        return true;
#endif
    }

#if defined(VELMO_AVX2)
    // Step 3 for digit d alone, with the rule's arithmetic rather than the table.
    void WorkOutColumnRule(CColumnRule& rule, int d) const {
        const uint32_t a[3] = {s.candidates[d], s.candidates[9 + d], s.candidates[18 + d]};
        const uint32_t allowed =
            StackRule(Columns(a[0]) | Columns(a[1]) << 9 | Columns(a[2]) << 18);
        uint32_t empty = 0;
        for (int stack = 0; stack < 3; ++stack) {
            empty |= uint32_t((allowed & ColumnsToCells(7u << (3 * stack))) == 0) << stack;
        }
        rule.emptyStacks[d] = empty;
        uint32_t kept[3], once = 0, twice = 0;
        for (int b = 0; b < 3; ++b) {
            kept[b] = a[b] & ColumnsToCells((allowed >> (9 * b)) & kNineBits);
            const uint32_t r0 = kept[b] & kNineBits, r1 = (kept[b] >> 9) & kNineBits,
                           r2 = kept[b] >> 18;
            twice |= (once & (r0 | r1 | r2)) | (r0 & r1) | ((r0 | r1) & r2);
            once |= r0 | r1 | r2;
        }
        const uint32_t lone = ColumnsToCells(once & ~twice);
        for (int b = 0; b < 3; ++b) {
            rule.kept[b][d] = kept[b];
            rule.fresh[b][d] = kept[b] & lone & s.unsolved[b];
        }
    }

    // Step 3 for digits 1-8 in the lanes; digit 9 is left to the other form, for when it is due.
    void WorkOutColumnRule(CColumnRule& rule) const {
        __m256i w[3];
        for (int b = 0; b < 3; ++b) {
            w[b] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(&s.candidates[9 * b]));
        }
        const __m256i allowed = StackRule(Bands(Columns(w[0]), Columns(w[1]), Columns(w[2])));
        const __m256i zero = _mm256_setzero_si256();
        __m256i empty = zero;
        for (int stack = 0; stack < 3; ++stack) {
            const __m256i none = _mm256_cmpeq_epi32(
                _mm256_and_si256(allowed, Lanes(ColumnsToCells(7u << (3 * stack)))), zero);
            empty = _mm256_or_si256(empty, _mm256_and_si256(none, Lanes(1u << stack)));
        }
        const auto store = [](uint32_t* to, __m256i v) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(to), v);
        };
        store(rule.emptyStacks, empty);
        __m256i kept[3], once = zero, twice = zero;
        for (int b = 0; b < 3; ++b) {
            const __m256i columns =
                _mm256_and_si256(_mm256_srli_epi32(allowed, 9 * b), Lanes(kNineBits));
            kept[b] = _mm256_and_si256(w[b], ColumnsToCells(columns));
            const __m256i r0 = _mm256_and_si256(kept[b], Lanes(kNineBits));
            const __m256i r1 = _mm256_and_si256(_mm256_srli_epi32(kept[b], 9), Lanes(kNineBits));
            const __m256i r2 = _mm256_srli_epi32(kept[b], 18);
            const __m256i r01 = _mm256_or_si256(r0, r1);
            const __m256i any = _mm256_or_si256(r01, r2);
            twice = _mm256_or_si256(
                twice, _mm256_or_si256(
                           _mm256_and_si256(once, any),
                           _mm256_or_si256(_mm256_and_si256(r0, r1), _mm256_and_si256(r01, r2))));
            once = _mm256_or_si256(once, any);
        }
        const __m256i lone = ColumnsToCells(_mm256_andnot_si256(twice, once));
        for (int b = 0; b < 3; ++b) {
            store(rule.kept[b], kept[b]);
            store(rule.fresh[b],
                  _mm256_and_si256(_mm256_and_si256(kept[b], lone), Lanes(s.unsolved[b])));
        }
    }
#endif

    // Step 4, on all 27 mini-rows and 27 mini-columns at once: per digit, a 27-bit set of
    // the mini-rows it can reach (bit 9 * band + 3 * row + box) and of those it is bound to;
    // likewise for mini-columns (bit 9 * band + column).
    bool MiniRowPass() {
        uint32_t* const rows = m_occupancy.rows;
        uint32_t* const columns = m_occupancy.columns;
        uint32_t boundRows[kDigits], boundColumns[kDigits];
        // Mini-rows in the low half of each count, mini-columns in the high half: one
        // 64-bit operation counts both, 8 operations a digit instead of 16. It took 3.7%
        // of the instructions off the forum's hardest, and 4-5% of the time.
        int first = 0;  // the first digit left to the scalar steps
#if defined(VELMO_AVX2)
        {
            // Digits 1-8 in the lanes, band by band. With the bound mini-rows found on all
            // bands at once rather than by a table a band, the forum's hardest took 12%
            // fewer instructions than a digit at a time (the SSE4 version, which has only
            // the latter, 8.5% fewer).
            const auto band = [this](int b) {
                return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(&s.candidates[9 * b]));
            };
            const __m256i w0 = band(0), w1 = band(1), w2 = band(2);
            const __m256i r = Bands(MiniRows(w0), MiniRows(w1), MiniRows(w2));
            const __m256i c0 = Columns(w0), c1 = Columns(w1), c2 = Columns(w2);
            const __m256i c = Bands(c0, c1, c2);
            const __m256i aloneInColumn = Bands(_mm256_andnot_si256(_mm256_or_si256(c1, c2), c0),
                                                _mm256_andnot_si256(_mm256_or_si256(c0, c2), c1),
                                                _mm256_andnot_si256(_mm256_or_si256(c0, c1), c2));
            const auto store = [](uint32_t* to, __m256i v) {
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(to), v);
            };
            store(rows, r), store(boundRows, BoundMiniRows(r)), store(columns, c);
            store(boundColumns, _mm256_or_si256(aloneInColumn, AloneInTriples(c)));
            first = 8;
        }
#endif
        for (int d = first; d < kDigits; ++d) {
            uint32_t r = 0, c = 0;
            for (int b = 0; b < 3; ++b) {
                r |= MiniRows(Word(d, b)) << (9 * b);
                c |= Columns(Word(d, b)) << (9 * b);
            }
            // A mini-column is bound when it is the digit's only one in its column (no
            // other band has the column) or in its box.
            const uint32_t c0 = c & kNineBits, c1 = (c >> 9) & kNineBits, c2 = c >> 18;
            const uint32_t aloneInColumn =
                (c0 & ~(c1 | c2)) | (c1 & ~(c0 | c2)) << 9 | (c2 & ~(c0 | c1)) << 18;
            const uint32_t aloneInBox = AloneInTriples(c);
            rows[d] = r, boundRows[d] = BoundMiniRows(r), columns[d] = c;
            boundColumns[d] = aloneInColumn | aloneInBox;
        }
        CAtLeast64 count, boundCount;
        for (int d = 0; d < kDigits; ++d) {
            count.Add(rows[d] | uint64_t{columns[d]} << 32);
            boundCount.Add(boundRows[d] | uint64_t{boundColumns[d]} << 32);
        }
        const CAtLeast rowCount = count.Low(), boundRowCount = boundCount.Low();
        const CAtLeast columnCount = count.High(), boundColumnCount = boundCount.High();
        if (const uint32_t short_ = (~rowCount.three | boundRowCount.four) & kBandCells) {
            return Fail(std::countr_zero(short_) / 9, -1);
        }
        if (const uint32_t short_ = (~columnCount.three | boundColumnCount.four) & kBandCells) {
            return Fail(3 + (std::countr_zero(short_) % 9) / 3, -1);
        }
        // Exactly three reachable, not all bound yet: bind them. Three bound, more
        // reachable: the others leave.
        const uint32_t bindRows = rowCount.three & ~rowCount.four & ~boundRowCount.three;
        const uint32_t clearRows = boundRowCount.three & rowCount.four;
        const uint32_t bindColumns =
            columnCount.three & ~columnCount.four & ~boundColumnCount.three;
        const uint32_t clearColumns = boundColumnCount.three & columnCount.four;
        if ((bindRows | clearRows | bindColumns | clearColumns) == 0) return true;
        for (int d = 0; d < kDigits; ++d) {
            const uint32_t free = rows[d] & ~boundRows[d];
            const uint32_t bind = bindRows & free, clear = clearRows & free;
            const uint32_t freeColumns = columns[d] & ~boundColumns[d];
            const uint32_t bindC = bindColumns & freeColumns, clearC = clearColumns & freeColumns;
            if ((bind | clear | bindC | clearC) == 0) continue;
            for (int b = 0; b < 3; ++b) {
                const int shift = 9 * b;
                const uint32_t bindHere = (bind >> shift) & kNineBits,
                               clearHere = (clear >> shift) & kNineBits;
                if (bindHere) Remove(d, b, kBoundMiniRowsExclude[bindHere]);
                if (clearHere) Remove(d, b, kMiniRowCells[clearHere]);
                const uint32_t bindC9 = (bindC >> shift) & kNineBits,
                               clearC9 = (clearC >> shift) & kNineBits;
                if (bindC9) {
                    const uint32_t column = ColumnsToCells(bindC9);
                    Remove(d, kNextBand[b], column);
                    Remove(d, kNextBand[kNextBand[b]], column);
                    Remove(d, b, ColumnsToCells(kBoxmateColumns[bindC9]));
                }
                if (clearC9) Remove(d, b, ColumnsToCells(clearC9));
            }
        }
        return true;
    }

    CBandState& s;
};

void Record(const CBandState& s, CEngineQuery& query) {
    if (query.solutions != nullptr) band_engine::Fill(s, query.solutions[query.found].data());
    ++query.found;
}

// What to branch on: the placements of digit d in a band or a stack (each permutation a
// branch), or, once every digit's mini-rows are settled, the digits of one cell.
struct CChoice {
    int unit = -1;       // 0-2: band, 3-5: stack 0-2; -1: a cell
    int d = -1;          // with a unit: the digit
    uint32_t occupancy;  // with a unit: d's occupancy there, as kPermutationsIn indexes it
    int b = -1;          // with a cell: its band
    uint32_t cell = 0;   // with a cell: its bit in band b
};

// A digit's placements left in a band or a stack, by its occupancy there: a table rather
// than counting kPermutationsIn's bits, since each choice takes 54 of them.
constexpr std::array<uint8_t, kNineBitSets> kPlacementCounts = [] {
    std::array<uint8_t, kNineBitSets> table{};
    for (uint32_t o = 0; o < kNineBitSets; ++o)
        table[o] = uint8_t(std::popcount(kPermutationsIn[o]));
    return table;
}();

inline int PlacementCount(uint32_t occupancy) {
    return kPlacementCounts[occupancy];
}

// A digit's mini-column occupancy (bit 9 * band + column) to its occupancy in one stack,
// bit 3 * band + column of the stack's three.
inline uint32_t StackOccupancy(uint32_t columns, int stack) {
    // One instruction where BMI2 has it: 1.8% fewer instructions on the forum's hardest.
#if defined(__BMI2__) && !defined(VELMO_SCALAR)
    return _pext_u32(columns, ColumnsToCells(7u << (3 * stack)));
#else
    const uint32_t part = columns >> (3 * stack);
    return (part & 7) | ((part >> 6) & 0x38) | ((part >> 12) & 0x1C0);
#endif
}

// Each digit's occupancy in each band (units 0-2) and stack (3-5).
using CUnitOccupancies = uint32_t[kBandsAndStacks][kDigits];
inline void UnitOccupancies(const COccupancy& occupancy, CUnitOccupancies& occupied) {
    for (int d = 0; d < kDigits; ++d) {
        for (int unit = 0; unit < 3; ++unit) {
            occupied[unit][d] = (occupancy.rows[d] >> (9 * unit)) & kNineBits;
            occupied[3 + unit][d] = StackOccupancy(occupancy.columns[d], unit);
        }
    }
}

CChoice ChooseFirstCell(const CBandState& s) {
    // Counted bit-sliced per band up to three; singles are gone, so two is the fewest.
    CChoice choice;
    uint32_t threeOrMore[3];
    for (int b = 0; b < 3; ++b) {
        CAtLeast count;
        for (int d = 0; d < kDigits; ++d) count.Add(s.candidates[9 * b + d]);
        const uint32_t pairs = s.unsolved[b] & ~count.three;
        if (pairs) {
            choice.b = b, choice.cell = 1u << std::countr_zero(pairs);
            return choice;
        }
        threeOrMore[b] = s.unsolved[b] & count.three;
    }
    for (int b = 0; b < 3; ++b) {
        if (threeOrMore[b]) {
            choice.b = b, choice.cell = 1u << std::countr_zero(threeOrMore[b]);
            return choice;
        }
    }
    return choice;
}

// How much the contradictions met weigh against a unit's placements: the choice follows
// the placements until a unit or digit has met this many. 256 keeps hard puzzles at their
// unweighted guesses and still refutes a small corner quickly. Guesses a puzzle (top1465 /
// forum hardest 1106 / its 11+ list) and on two grids whose contradiction sits in a small
// corner of a sparse grid:
//
//     unweighted      8.9 / 111 / 63    1,087 and 19,486
//     weight 1        9.7 / 139 / 88       39 and 44
//     weight 64       8.5 / 116 / 67       79 and 64
//     weight 256      8.6 / 110 / 62      187 and 135
constexpr uint64_t kConflictScale = 256;

CChoice ChooseFewestPlacements(const CBandState& s, const COccupancy& occupancy,
                               const CConflicts& conflicts, bool wide) {
    // Of the six bands and stacks, the one with the fewest placements left over all digits,
    // then its digit with the fewest (two or more). Where placements are few the grid is
    // most constrained, so each branch settles much at once. Measured against other choices,
    // before the weighting below (guesses a puzzle when counting to two):
    //
    //                                  top1465   forum hardest 1106   1905 11+
    //   bands and stacks (this)          8.9           111               63
    //   bands only                       9.4           121               76
    //   two-candidate cell seeing most   8.6           148               84
    //   first two-candidate cell        13.4           289              134
    //
    // Placements are weighed against the contradictions met in each unit and digit so
    // far: a grid whose contradiction sits in a small corner, with free cells around it,
    // is otherwise refuted afresh under every branch taken in the free part.
    //
    // Near the root (`wide`, CEngineQuery::wideLevels) the search splits wide instead:
    // the band or stack with the fewest digits still open (ties: the most placements),
    // and in it the digit with the most placements, up to six branches. A split near the
    // root divides the whole tree, and on the hardest puzzles the fewest placements split
    // it into halves each nearly as hard as the whole; the gain came from roots where
    // every band and stack still had five or more digits open (wide splits only where
    // some had at most four gained nothing). Deeper, the fewest placements do better
    // again. Nodes of the search (propagations) a puzzle, wide on none / 1 / 2 / 3 / 4
    // levels / all:
    //
    //                          forum hardest 1106   1905 11+ (every 4th)   top1465
    //   none                         220                 124                  15.4
    //   1                            182                 119                  16.4
    //   2                            128                  97                  16.9
    //   3 (this)                     110                  89                  17.6
    //   4                            111                  91                  18.4
    //   all                          115                  93                  19.1
    //
    // With the digit of fewest placements in the wide unit: 3 levels 172 / 120 / 17.0;
    // the unit of fewest placements and its digit of most: 347 / 229 / 33.8. Puzzles of
    // top1465 pay for it: the engine's instructions (callgrind, AVX2) on 3 levels
    // against none, forum hardest 1106 -46%, every 4th of 1905 11+ -27%, top1465 +12%
    // (2 levels: -39%, -22%, +9%). So only a root that is open enough splits wide
    // (kOpenPlacements); a first narrow attempt cut off after a few guesses instead lost
    // most of the gain on the hardest lists.
    CUnitOccupancies occupied;
    UnitOccupancies(occupancy, occupied);
    CChoice choice;
    if (wide) {
        // Fewest open digits, then most placements (at most 54), as one key; the digits
        // open are counted only here: counted at every choice they cost top1465 1.8% of
        // its instructions.
        int bestKey = 0;
        for (int unit = 0; unit < kBandsAndStacks; ++unit) {
            int total = 0, open = 0;
            for (int d = 0; d < kDigits; ++d) {
                const int count = PlacementCount(occupied[unit][d]);
                total += count;
                open += count > 1;
            }
            // A unit whose every digit has one placement left has nothing to branch on.
            if (total == kDigits) continue;
            const int key = 64 * open - total;
            if (choice.unit < 0 || key < bestKey) bestKey = key, choice.unit = unit;
        }
        if (choice.unit < 0) return ChooseFirstCell(s);
        int most = 1;
        for (int d = 0; d < kDigits; ++d) {
            const int count = PlacementCount(occupied[choice.unit][d]);
            if (count > most)
                most = count, choice.d = d, choice.occupancy = occupied[choice.unit][d];
        }
        return choice;
    }
    uint64_t bestTotal = 0, bestWeight = 1;
    for (int unit = 0; unit < kBandsAndStacks; ++unit) {
        uint64_t total = 0, weight = kConflictScale;
        for (int d = 0; d < kDigits; ++d) {
            total += PlacementCount(occupied[unit][d]);
            weight += conflicts[unit][d];
        }
        // As above; then the smallest total / weight, compared without dividing.
        if (total > kDigits && (choice.unit < 0 || total * bestWeight < bestTotal * weight)) {
            bestTotal = total, bestWeight = weight, choice.unit = unit;
        }
    }
    if (choice.unit < 0) return ChooseFirstCell(s);
    uint64_t fewest = 0, fewestWeight = 1;
    for (int d = 0; d < kDigits; ++d) {
        const uint64_t count = PlacementCount(occupied[choice.unit][d]);
        const uint64_t weight = kConflictScale + conflicts[choice.unit][d];
        if (count >= 2 && (choice.d < 0 || count * fewestWeight < fewest * weight)) {
            fewest = count, fewestWeight = weight;
            choice.d = d, choice.occupancy = occupied[choice.unit][d];
        }
    }
    return choice;
}

// Whether a position is open enough for wide splits near the root: more than this many
// placements left over all digits in all six bands and stacks (54 when solved). Wide splits
// pay on the hardest puzzles and cost the easier ones (ChooseFewestPlacements), and this
// total at the root told them apart best of the signs tried (open digits, unsolved cells,
// digits with two placements): three quarters of the puzzles of the forum's hardest lists
// have more than 155, three quarters of top1465's at most 139. The engine's instructions
// against wide splits at every root: forum hardest 1106 +0.8%, every 4th of 1905 11+
// +0.2%, top1465 -7.6% (+3.2% against no wide splits), 3,000 of 17-clue +0.9%; a limit of
// 148 or 152 changed the nodes of the search by under 1%.
constexpr int kOpenPlacements = 150;

bool OpenForWideSplits(const COccupancy& occupancy) {
    CUnitOccupancies occupied;
    UnitOccupancies(occupancy, occupied);
    int total = 0;
    for (const auto& unit : occupied) {
        for (const uint32_t o : unit) total += PlacementCount(o);
    }
    return total > kOpenPlacements;
}

// Restricts digit d in `unit` to permutation p of its placements.
void Restrict(CBandState& s, int d, int unit, int p) {
    if (unit < 3) {
        s.candidates[9 * unit + d] &= kPermutationCells[p];
        s.bandDirty |= 1u << (9 * unit + d);
    } else {
        const int stack = unit - 3;
        const uint32_t stackCells = ColumnsToCells(7u << (3 * stack));
        for (int b = 0; b < 3; ++b) {
            const uint32_t keep =
                ~stackCells | ColumnsToCells(1u << (3 * stack + kPermutations[p][b]));
            s.candidates[9 * b + d] &= keep;
            s.bandDirty |= 1u << (9 * b + d);
        }
    }
    s.columnDirty |= 1u << d;
}

// Notes a contradiction where propagation found it, `weight` times.
void NoteConflict(const CPropagator& propagator, CConflicts& conflicts, uint32_t weight = 1) {
    auto& digits = conflicts[propagator.m_failUnit];
    if (propagator.m_failDigit >= 0) {
        digits[propagator.m_failDigit] += weight;
    } else {
        for (int d = 0; d < kDigits; ++d) digits[d] += weight;
    }
}

CChoice ChooseMostSeenPair(const CBandState& s) {
    // A cell with two candidates that sees the most unsolved cells: its guess reaches
    // furthest. Weaker than ChooseFewestPlacements on hard puzzles, but it fails on
    // other grids, which is what the second attempt of a search needs (see FindSolutions).
    CChoice choice;
    int mostSeen = -1;
    for (int band = 0; band < 3; ++band) {
        CAtLeast count;
        for (int d = 0; d < kDigits; ++d) count.Add(s.candidates[9 * band + d]);
        const uint32_t pairs = s.unsolved[band] & ~count.three;
        const uint32_t unsolvedBelow = s.unsolved[kNextBand[band]];
        const uint32_t unsolvedAbove = s.unsolved[kNextBand[kNextBand[band]]];
        for (uint32_t rest = pairs; rest; rest &= rest - 1) {
            const int x = std::countr_zero(rest);
            const uint32_t column = ColumnsToCells(1u << (x % 9));
            const int seen = std::popcount(kPeersInBand[x] & s.unsolved[band]) +
                             std::popcount(column & unsolvedBelow) +
                             std::popcount(column & unsolvedAbove);
            if (seen > mostSeen) mostSeen = seen, choice.b = band, choice.cell = 1u << x;
        }
    }
    return choice.cell ? choice : ChooseFirstCell(s);
}

// Guesses of the first attempt: puzzles of the hardest lists rarely need more, so it is
// seldom cut short where the first way of choosing was right. On the forum's hardest 1106,
// guesses a puzzle: 109.8 with one way of choosing only; 115.3 from 256; 110.2 from 512.
// The grid that trapped the first way takes 333 guesses from 256 and 589 from 512. Since
// wide splits, 256 costs the hardest lists nothing and halves what a trap of the first way
// costs (a climbed grid 526 -> 270 guesses), but as often cuts short a count that 512 would
// finish: of 851 grids climbed on the count's guesses, 187 took Solve twice as long, 67 half,
// and one of a climb on the work 517 us -> 1.5 ms.
constexpr int64_t kFirstAttemptGuesses = 512;
// Guesses of the narrow attempt that goes before wide splits on an open root. Wide splits
// ignore the contradiction weights, so where narrow levels would go straight to a small dead
// corner, every wide branch meets it afresh: a grid of 21 givens without solution, which the
// narrow count refutes in 3 guesses, took 508 wide (a climb on Solve's time found it, at
// 100 x the peer's count). A short narrow attempt first settles such grids; the rest pay its
// guesses once. Instructions of velmo-solve against none: forum hardest 1106 +3.8%, 1905 11+
// +5.2%, top1465 +0.3%; guesses a puzzle on 1106 69.6 -> 73.5 (8: 77.5, 16: 85.1). Fresh climbs
// on time (24 x 3000 steps, three seeds) topped at 15 x the peer's count, against 18-125 x
// without it.
constexpr int64_t kScoutGuesses = 4;

// Counts a guess; false, and the search abandoned, when it is one more than allowed.
bool Guess(CEngineQuery& query) {
    if (++query.guesses <= query.maxGuesses) return true;
    query.aborted = true;
    return false;
}

// Searches below `s`, which is not yet propagated and lies `level` choices below the root;
// returns true to stop.
bool Branch(CBandState& s, CEngineQuery& query, int level) {
    CPropagator propagator(s);
    if (!propagator.Propagate()) {
        NoteConflict(propagator, query.conflicts);
        return false;
    }
    if ((s.unsolved[0] | s.unsolved[1] | s.unsolved[2]) == 0) {
        Record(s, query);
        return query.found >= query.limit;
    }
    // The clock is asked at the first guess and every 256th after: reading it at every
    // node would cost more than the node.
    if ((query.guesses & 255) == 0 && Expired(query.expiry)) {
        query.aborted = true;
        return true;
    }

    if (query.guesses >= query.attemptEnd) {
        query.restart = true;
        return true;
    }
    if (level == 0 && (query.wideLevels > 0 || query.scouting) &&
        !OpenForWideSplits(propagator.m_occupancy)) {
        // No wide splits, so nothing to scout for: this is the first attempt proper.
        query.wideLevels = 0;
        if (query.scouting) {
            query.scouting = false;
            query.attemptEnd = query.guesses + kFirstAttemptGuesses;
        }
    }
    const CChoice choice = query.Choice() == 0
                               ? ChooseFewestPlacements(s, propagator.m_occupancy, query.conflicts,
                                                        level < query.wideLevels)
                               : ChooseMostSeenPair(s);
    if (choice.unit >= 0) {
        for (uint32_t rest = kPermutationsIn[choice.occupancy]; rest;) {
            const int p = std::countr_zero(rest);
            rest &= rest - 1;
            const bool last = rest == 0;
            CBandState guess;
            CBandState& next = last ? s : (guess = s);
            if (!last && !Guess(query)) return true;
            Restrict(next, choice.d, choice.unit, p);
            if (Branch(next, query, level + 1)) return true;
        }
        return false;
    }
    const int b = choice.b;
    const uint32_t bit = choice.cell;
    uint32_t digits = 0;
    for (int d = 0; d < kDigits; ++d) digits |= uint32_t((s.candidates[9 * b + d] & bit) != 0) << d;
    while (digits) {
        const int d = std::countr_zero(digits);
        digits &= digits - 1;
        const bool last = digits == 0;
        CBandState guess;
        CBandState& next = last ? s : (guess = s);
        if (!last && !Guess(query)) return true;
        CPropagator fixer(next);
        if (!fixer.Fix(d, b, bit, true)) {
            NoteConflict(fixer, query.conflicts);
            continue;
        }
        if (Branch(next, query, level + 1)) return true;
    }
    return false;
}

// Propagates after Place's placements; false, with where it showed noted into `met`, when
// no solution is left.
bool Settle(CPropagator& propagator, CConflicts* met) {
    if (propagator.Propagate()) return true;
    // Counted as several of a search's own: where the search in its own order meets
    // contradictions, a test of a level above it must refute the same branches again.
    // Instructions on the grids climbed on time in bench/data / 80 more climbed so /
    // climbed on the work, against not counting them: weight 1 -8% / - / +0.2%; 4 -15% /
    // -6% / +0.3%; 16 and 64 -15% / - / +0.3%.
    constexpr uint32_t kPlaceConflictWeight = 4;
    if (met) NoteConflict(propagator, *met, kPlaceConflictWeight);
    return false;
}

// Up to this many cells Place fixes one by one (Place says why).
constexpr int kFixOneByOne = 6;

// A cell's band and its bit there, by table for Place: dividing by 27 took a multiply and
// four more instructions a cell (instructions of velmo-solve on the climbed grids -0.4%,
// on top1465's grids of at most 20 givens -0.2%).
constexpr std::array<uint8_t, kCellCount> kBandOfCell = [] {
    std::array<uint8_t, kCellCount> table{};
    for (int cell = 0; cell < kCellCount; ++cell) table[cell] = uint8_t(cell / 27);
    return table;
}();
constexpr std::array<uint8_t, kCellCount> kCellInBand = [] {
    std::array<uint8_t, kCellCount> table{};
    for (int cell = 0; cell < kCellCount; ++cell) table[cell] = uint8_t(cell % 27);
    return table;
}();

}  // namespace

namespace band_engine {

bool Load(const uint8_t* grid, CBandState& s) {
    // All givens at once rather than fixed one by one (Place): the same position before
    // propagation, since each word is what no given of its digit sees and no other given
    // fills, whatever the order. On the consistent grids without solution, which
    // propagation mostly refutes at once, Solve went from 7,600 instructions a grid to
    // 4,250 (with the consistency check over the givens alone) and from 1.05 to 0.42 us.
    const auto [low, high] = NonZeroCells(grid);
    const uint32_t filled[3] = {uint32_t(low) & kBandCells, uint32_t(low >> 27) & kBandCells,
                                uint32_t(low >> 54 | high << 10) & kBandCells};
    // [9 * b + d]: digit d's givens in band b, and the band's cells they see.
    uint32_t given[27] = {}, seen[27] = {};
    for (int b = 0; b < 3; ++b) {
        const uint8_t* band = grid + 27 * b;
        for (uint32_t rest = filled[b]; rest; rest &= rest - 1) {
            const int x = std::countr_zero(rest);
            const int slot = 9 * b + band[x] - 1;
            given[slot] |= 1u << x;
            seen[slot] |= kPeersInBand[x];
        }
    }
    uint32_t conflicts = 0;
    for (int d = 0; d < kDigits; ++d) {
        const uint32_t c0 = Columns(given[d]), c1 = Columns(given[9 + d]),
                       c2 = Columns(given[18 + d]);
        conflicts |= (c0 & c1) | (c0 & c2) | (c1 & c2);
        const uint32_t columns = ColumnsToCells(c0 | c1 | c2);
        for (int b = 0; b < 3; ++b) {
            const uint32_t mine = given[9 * b + d], others = seen[9 * b + d];
            conflicts |= mine & others;
            s.candidates[9 * b + d] = (kBandCells & ~filled[b] & ~others & ~columns) | mine;
        }
    }
    for (int b = 0; b < 3; ++b) s.unsolved[b] = kBandCells & ~filled[b];
    s.bandDirty = kBandCells;
    s.columnDirty = (1u << kDigits) - 1;
    return conflicts == 0 && CPropagator(s).Propagate();
}

bool Place(CBandState& s, const uint8_t* grid, const uint8_t* cells, int count, CConflicts* met) {
    // The cells at once, as Load takes the givens, rather than fixed one by one: the same
    // position, since the candidates each leaves do not depend on the order. The search in
    // its own order places the path since the last known position here, often dozens of
    // cells: on the climbed grids 3% fewer instructions, and 3% less time. But most of its
    // checks place a few cells, for which the batch's tables over all digits cost more
    // than fixing each: from up to 6 cells one by one, instructions on the grids climbed
    // on time in bench/data -3.2%, top1465 -2.1%, 17-clue -0.3% (up to 2: -2.7% / -1.7%,
    // 4: -3.1% / -2.1%, 8: -3.1% / -2.1%, all: +1.1% / -0.7%).
    CPropagator propagator(s);
    if (count <= kFixOneByOne) {
        for (int i = 0; i < count; ++i) {
            const int cell = cells[i];
            const int d = grid[cell] - 1, b = kBandOfCell[cell];
            const uint32_t bit = 1u << kCellInBand[cell];
            // Ruled out by the givens, the path so far or a cell fixed before it.
            if (!(s.candidates[9 * b + d] & bit)) return false;
            if (s.unsolved[b] & bit) propagator.Fix(d, b, bit, true);
        }
        return Settle(propagator, met);
    }
    // [9 * b + d]: the cells of band b that take digit d, and the band's cells they see.
    uint32_t placed[27] = {}, seen[27] = {};
    uint32_t fresh[3] = {};
    for (int i = 0; i < count; ++i) {
        const int cell = cells[i];
        const int d = grid[cell] - 1, b = kBandOfCell[cell], x = kCellInBand[cell];
        const uint32_t bit = 1u << x;
        // A digit that the givens or the path so far ruled out: no solution.
        if (!(s.candidates[9 * b + d] & bit)) return false;
        if (!(s.unsolved[b] & bit)) continue;
        placed[9 * b + d] |= bit;
        seen[9 * b + d] |= kPeersInBand[x];
        fresh[b] |= bit;
    }
    // Two of the cells that take the same digit and see each other: no solution.
    uint32_t conflicts = 0, columns[kDigits];
    for (int d = 0; d < kDigits; ++d) {
        const uint32_t c0 = Columns(placed[d]), c1 = Columns(placed[9 + d]),
                       c2 = Columns(placed[18 + d]);
        conflicts |= (c0 & c1) | (c0 & c2) | (c1 & c2);
        columns[d] = c0 | c1 | c2;
        for (int b = 0; b < 3; ++b) conflicts |= placed[9 * b + d] & seen[9 * b + d];
    }
    if (conflicts) return false;
#if defined(VELMO_AVX2)
    // Each band in one pass, digits 1-8 in vector lanes: every digit leaves the cells,
    // each cell's own digit is put back, and the digit leaves the cells' peers and columns
    // (the steps below, with the same candidates and dirty words as they leave, where a
    // Remove for each digit and band read and wrote the dirty words). Instructions of
    // velmo-solve on the climbed grids -1.5%, on top1465's grids of at most 20 givens
    // -0.8%; Solve's time on both -1.1% (AVX-512, four interleaved pairs on one core).
    const auto at = [](const uint32_t* words) {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(words));
    };
    const __m256i columnCells = ColumnsToCells(at(columns));
    const __m256i zero = _mm256_setzero_si256();
    for (int b = 0; b < 3; ++b) {
        uint32_t* const words = &s.candidates[9 * b];
        const __m256i own = at(&placed[9 * b]);
        const __m256i taken = Lanes(fresh[b]);
        const __m256i before = at(words);
        const __m256i kept = _mm256_or_si256(_mm256_andnot_si256(taken, before), own);
        const __m256i lost =
            _mm256_andnot_si256(own, _mm256_or_si256(at(&seen[9 * b]), columnCells));
        const __m256i cleared =
            _mm256_and_si256(_mm256_cmpeq_epi32(_mm256_and_si256(before, taken), zero),
                             _mm256_cmpeq_epi32(_mm256_and_si256(kept, lost), zero));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(words), _mm256_andnot_si256(lost, kept));
        uint32_t changed = ~uint32_t(_mm256_movemask_ps(_mm256_castsi256_ps(cleared))) & 0xFF;
        const uint32_t last = words[8];
        const uint32_t lastKept = (last & ~fresh[b]) | placed[9 * b + 8];
        const uint32_t lastLost =
            (seen[9 * b + 8] | ColumnsToCells(columns[8])) & ~placed[9 * b + 8];
        changed |= uint32_t(((last & fresh[b]) | (lastKept & lastLost)) != 0) << 8;
        words[8] = lastKept & ~lastLost;
        s.bandDirty |= changed << (9 * b);
        s.columnDirty |= changed;
        s.unsolved[b] &= ~fresh[b];
    }
#else
    for (int b = 0; b < 3; ++b) {
        if (fresh[b] == 0) continue;
        // Every digit leaves the cells, then each cell's own digit is put back.
        const uint32_t changed = propagator.RemoveFromAll(b, fresh[b]);
        s.bandDirty |= changed << (9 * b);
        s.columnDirty |= changed;
        for (int d = 0; d < kDigits; ++d) s.candidates[9 * b + d] |= placed[9 * b + d];
        s.unsolved[b] &= ~fresh[b];
    }
    for (int d = 0; d < kDigits; ++d) {
        if (columns[d] == 0) continue;
        const uint32_t column = ColumnsToCells(columns[d]);
        for (int b = 0; b < 3; ++b) {
            propagator.Remove(d, b, (seen[9 * b + d] | column) & ~placed[9 * b + d]);
        }
    }
#endif
    return Settle(propagator, met);
}

void Fill(const CBandState& s, uint8_t* grid) {
    for (int d = 0; d < kDigits; ++d) {
        for (int b = 0; b < 3; ++b) {
            for (uint32_t cells = s.candidates[9 * b + d]; cells; cells &= cells - 1) {
                grid[27 * b + std::countr_zero(cells)] = uint8_t(d + 1);
            }
        }
    }
}

bool Keep(CBandState& s, int cell, unsigned digits) {
    const int b = kBandOfCell[cell];
    const uint32_t bit = 1u << kCellInBand[cell];
    if (!(s.unsolved[b] & bit)) {
        // Its digit taken out, a fixed cell would be left empty, which propagation checks
        // only in cells not fixed: the search in its own order met 134 such cells in its
        // tests over 191,000 climbed and reviewed grids, refuted all the same, but by a search.
        for (int d = 0; d < kDigits; ++d) {
            if ((s.candidates[9 * b + d] & bit) && !(digits >> (d + 1) & 1u)) return false;
        }
        return true;
    }
    CPropagator propagator(s);
    for (int d = 0; d < kDigits; ++d) {
        if (!(digits >> (d + 1) & 1u)) propagator.Remove(d, b, bit);
    }
    return true;
}

void FindSolutions(const CBandState& state, CEngineQuery& query) {
    // Attempts with two ways of choosing, each given twice the guesses of the one before:
    // a grid that traps one choice in a vast dead branch (a satisfiable grid took one
    // 33,015 guesses where the other needs 21) is settled by the other, and the doubling
    // keeps the waste to at most that of the attempt that succeeds.
    query.guesses = 0;
    query.aborted = false;
    int64_t allowance = kFirstAttemptGuesses;
    const int wideLevels = query.wideLevels;
    query.scouting = wideLevels > 0;
    if (query.scouting) query.wideLevels = 0;
    for (query.attempt = 0;; ++query.attempt, allowance *= 2) {
        query.found = 0;
        query.restart = false;
        query.attemptEnd = query.guesses + (query.scouting ? kScoutGuesses : allowance);
        CBandState s = state;
        Branch(s, query, 0);
        if (!query.restart || query.aborted) break;
        if (query.scouting) {
            query.scouting = false;
            query.wideLevels = wideLevels;
            query.attempt = -1;
            allowance = kFirstAttemptGuesses / 2;
            continue;
        }
        // A wide first attempt that ran out of guesses is an extra one: the attempts start
        // again narrow, as they would without it. Wide splits trap some open grids that
        // the narrow ones settle at once (a sparse grid without solution: 70 guesses
        // narrow, 7,367 when every other attempt split wide), so they cost at most one
        // allowance more than before them.
        if (query.wideLevels > 0 && query.Choice() == 0) {
            query.wideLevels = 0;
            query.attempt = -1;
            allowance = kFirstAttemptGuesses / 2;
        }
    }
}

}  // namespace band_engine

}  // namespace VELMO_ISA
