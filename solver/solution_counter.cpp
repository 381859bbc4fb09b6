// Solution counting on a band-wise bit-set representation.
//
// The grid is three bands of three rows. For each band b (0-2) and digit d (0-8) one word,
// candidates[9 * b + d], holds the 27 cells of the band where d is still possible:
//
//     bit = 9 * row-in-band + column        row 0: bits 0-8, row 1: 9-17, row 2: 18-26
//
// A band's nine words lie side by side, so that taking fixed cells from every digit, the
// commonest step, is two 4-word vector operations and one scalar.
//
// A digit occupies exactly one cell in each row and each box of a band, so its three
// "mini-rows" per box pattern must be a permutation of the 3 x 3 mini-row grid. Table
// kPermutationMask keeps only the cells of mini-rows that belong to such a permutation:
// that one lookup does the work of box-line reduction and hidden singles in boxes and rows
// for one digit in one band. A row left with a single cell fixes the digit there.
// Naked singles are found for a whole band at once by counting candidates bit-sliced
// across the nine digit words. When nothing propagates, the search guesses on a cell with
// the fewest candidates (two, almost always) and copies the 32-word state per guess, which
// costs less than undoing.
//
// Columns get the same permutation rule across each stack, and hidden singles in columns,
// in a second pass per digit once the bands are settled: without it a 17-clue puzzle
// needs about fourteen guesses, with it one or two.
#include "solution_counter.h"

#include <array>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr uint32_t kBand = 0x7FFFFFF;
constexpr int kDigits = 9;

constexpr std::array<uint32_t, 512> MakeRowToBoxes() {
    std::array<uint32_t, 512> table{};
    for (uint32_t row = 0; row < 512; ++row) {
        for (int box = 0; box < 3; ++box) {
            if (row & (7u << (3 * box))) table[row] |= 1u << box;
        }
    }
    return table;
}

// Mini-row occupancy (bit 3 * row + box) to the cells of the mini-rows that lie on some
// permutation: one mini-row per row and per box, all occupied. 0 when none exists.
constexpr std::array<uint32_t, 512> MakePermutationMask() {
    constexpr int kPermutations[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2},
                                         {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};
    std::array<uint32_t, 512> table{};
    for (uint32_t occupied = 0; occupied < 512; ++occupied) {
        for (const auto& boxOfRow : kPermutations) {
            bool possible = true;
            for (int row = 0; row < 3; ++row) {
                possible = possible && (occupied & (1u << (3 * row + boxOfRow[row])));
            }
            if (!possible) continue;
            for (int row = 0; row < 3; ++row) {
                table[occupied] |= 7u << (9 * row + 3 * boxOfRow[row]);
            }
        }
    }
    return table;
}

// The same rule across a stack: for one digit, each band takes one of the stack's three
// columns, and each column is taken once. Index bit 3 * band + column (of the stack's
// columns, occupied by the digit in that band) to the (band, column) pairs that lie on
// some permutation, as bit 9 * band + column: shifted by 3 * stack, that is the stack's
// share of the allowed columns of all three bands. 0 when no permutation exists.
constexpr std::array<uint32_t, 512> MakeStackPermutation() {
    std::array<uint32_t, 512> table{};
    const auto cells = MakePermutationMask();
    for (uint32_t occupied = 0; occupied < 512; ++occupied) {
        // A permutation of rows to boxes, read as one of bands to columns.
        for (int band = 0; band < 3; ++band) {
            for (int column = 0; column < 3; ++column) {
                if (cells[occupied] & (1u << (9 * band + 3 * column))) {
                    table[occupied] |= 1u << (9 * band + column);
                }
            }
        }
    }
    return table;
}

// A 9-bit row to itself when it has exactly one bit, else 0.
constexpr std::array<uint16_t, 512> MakeRowSingle() {
    std::array<uint16_t, 512> table{};
    for (uint32_t row = 1; row < 512; ++row) {
        if ((row & (row - 1)) == 0) table[row] = static_cast<uint16_t>(row);
    }
    return table;
}

// The other cells of the band that share a row, column or box with `bit`.
constexpr std::array<uint32_t, 27> MakePeersInBand() {
    std::array<uint32_t, 27> table{};
    for (int x = 0; x < 27; ++x) {
        for (int y = 0; y < 27; ++y) {
            const bool sameRow = x / 9 == y / 9;
            const bool sameColumn = x % 9 == y % 9;
            const bool sameBox = (x % 9) / 3 == (y % 9) / 3;
            if (x != y && (sameRow || sameColumn || sameBox)) table[x] |= 1u << y;
        }
    }
    return table;
}

constexpr auto kRowToBoxes = MakeRowToBoxes();
constexpr auto kPermutationMask = MakePermutationMask();
constexpr auto kRowSingle = MakeRowSingle();
constexpr auto kPeersInBand = MakePeersInBand();
constexpr auto kStackPermutation = MakeStackPermutation();

constexpr int kNextBand[3] = {1, 2, 0};

// Bits set in a band word; a table, since a popcount instruction is not in the baseline
// x86-64 this is built for and the library call is slower.
constexpr std::array<uint8_t, 512> MakeBitCount() {
    std::array<uint8_t, 512> table{};
    for (uint32_t bits = 0; bits < 512; ++bits) {
        for (uint32_t rest = bits; rest; rest &= rest - 1) ++table[bits];
    }
    return table;
}

constexpr auto kBitCount = MakeBitCount();

inline int CountBits(uint32_t word) {
    return kBitCount[word & 511] + kBitCount[(word >> 9) & 511] + kBitCount[word >> 18];
}

// A set of columns (9 bits) to all their cells in a band.
constexpr uint32_t ColumnsToCells(uint32_t columns) {
    return columns * 0x40201u;
}

// The columns in which a band word has a candidate.
constexpr uint32_t Columns(uint32_t cells) {
    return (cells | cells >> 9 | cells >> 18) & 511;
}

inline int LowestBit(uint32_t word) {
    return __builtin_ctz(word);
}

}  // namespace

struct CSolutionCounter::CState {
    uint32_t candidates[3 * kDigits];  // [9 * b + d]: cells of band b where digit d can go
    uint32_t unsolved[3];              // cells of band b without a fixed digit
    uint32_t bandDirty;                // bit 9 * b + d: that word changed since its band pass
    uint32_t columnDirty;              // bit d: digit d changed since its column pass

    uint32_t& Word(int d, int b) { return candidates[9 * b + d]; }

    // Removes `cells` from digit d in band b.
    void Remove(int d, int b, uint32_t cells) {
        // Branch-free: whether anything is removed is close to a coin toss.
        uint32_t& word = Word(d, b);
        const uint32_t removed = (word & cells) != 0;
        word &= ~cells;
        bandDirty |= removed << (9 * b + d);
        columnDirty |= removed << d;
    }

    // Removes `cells` from all nine digits of band b; returns the digits that lost any.
    uint32_t RemoveFromAll(int b, uint32_t cells) {
        uint32_t* words = &candidates[9 * b];
#if defined(__SSE2__)
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
    void CountCandidates(int b, uint32_t& once, uint32_t& twice) const {
        const uint32_t* words = &candidates[9 * b];
#if defined(__SSE2__)
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

    // Fixes digit d in `cells` of band b, removing it from their peers; with
    // `clearOthers` the other digits leave those cells too (naked singles have none to
    // clear). False when two of the cells see each other.
    bool Fix(int d, int b, uint32_t cells, bool clearOthers) {
        uint32_t peers = 0;
        for (uint32_t rest = cells; rest; rest &= rest - 1) peers |= kPeersInBand[LowestBit(rest)];
        if (peers & cells) return false;
        if (clearOthers) {
            // All nine words at once and d's restored: cheaper than skipping d.
            const uint32_t own = Word(d, b);
            const uint32_t changed = RemoveFromAll(b, cells) & ~(1u << d);
            Word(d, b) = own;
            bandDirty |= changed << (9 * b);
            columnDirty |= changed;
        }
        Remove(d, b, peers);
        const uint32_t columns = ColumnsToCells(Columns(cells));
        Remove(d, kNextBand[b], columns);
        Remove(d, kNextBand[kNextBand[b]], columns);
        unsolved[b] &= ~cells;
        return true;
    }
};

bool CSolutionCounter::Propagate(CState& s) {
    for (;;) {
        // Bands: each changed word through the permutation rule; rows left with one cell
        // fix the digit there.
        while (s.bandDirty) {
            const int i = LowestBit(s.bandDirty);
            s.bandDirty &= s.bandDirty - 1;
            const int b = i / 9, d = i % 9;
            const uint32_t a = s.candidates[i];
            const uint32_t occupied =
                kRowToBoxes[a & 511] | kRowToBoxes[(a >> 9) & 511] << 3 | kRowToBoxes[a >> 18] << 6;
            const uint32_t kept = a & kPermutationMask[occupied];
            if (kept == 0) return false;
            if (kept != a) {
                s.candidates[i] = kept;
                s.columnDirty |= 1u << d;
            }
            const uint32_t singles = uint32_t(kRowSingle[kept & 511]) |
                                     uint32_t(kRowSingle[(kept >> 9) & 511]) << 9 |
                                     uint32_t(kRowSingle[kept >> 18]) << 18;
            const uint32_t fresh = singles & s.unsolved[b];
            if (fresh && !s.Fix(d, b, fresh, true)) return false;
        }

        // Naked singles and empty cells, a band at a time: `once` gathers cells with at
        // least one candidate, `twice` those with at least two.
        for (int b = 0; b < 3; ++b) {
            if (s.unsolved[b] == 0) continue;
            uint32_t once, twice;
            s.CountCandidates(b, once, twice);
            if (s.unsolved[b] & ~once) return false;
            const uint32_t singles = s.unsolved[b] & ~twice;
            if (singles == 0) continue;
            for (int d = 0; d < kDigits; ++d) {
                const uint32_t cells = singles & s.Word(d, b);
                if (cells && !s.Fix(d, b, cells, false)) return false;
            }
        }
        if (s.bandDirty) continue;

        // Columns, a digit at a time: the permutation rule across each stack, then hidden
        // singles in columns (a column whose nine cells hold the digit once).
        while (s.columnDirty) {
            const int d = LowestBit(s.columnDirty);
            s.columnDirty &= s.columnDirty - 1;
            uint32_t* a[3] = {&s.Word(d, 0), &s.Word(d, 1), &s.Word(d, 2)};
            const uint32_t occupied[3] = {Columns(*a[0]), Columns(*a[1]), Columns(*a[2])};
            uint32_t allowed = 0;  // bit 9 * band + column
            for (int shift = 0; shift < 9; shift += 3) {
                const uint32_t index = ((occupied[0] >> shift) & 7) |
                                       ((occupied[1] >> shift) & 7) << 3 |
                                       ((occupied[2] >> shift) & 7) << 6;
                const uint32_t pairs = kStackPermutation[index];
                if (pairs == 0) return false;
                allowed |= pairs << shift;
            }
            uint32_t once = 0, twice = 0;
            for (int b = 0; b < 3; ++b) {
                const uint32_t kept = *a[b] & ColumnsToCells((allowed >> (9 * b)) & 511);
                if (kept != *a[b]) {
                    *a[b] = kept;
                    s.bandDirty |= 1u << (9 * b + d);
                }
                const uint32_t r0 = kept & 511, r1 = (kept >> 9) & 511, r2 = kept >> 18;
                twice |= (once & (r0 | r1 | r2)) | (r0 & r1) | ((r0 | r1) & r2);
                once |= r0 | r1 | r2;
            }
            const uint32_t lone = ColumnsToCells(once & ~twice);
            for (int b = 0; b < 3; ++b) {
                const uint32_t fresh = *a[b] & lone & s.unsolved[b];
                if (fresh && !s.Fix(d, b, fresh, true)) return false;
            }
        }
        if (s.bandDirty == 0 && s.columnDirty == 0) return true;
    }
}

void CSolutionCounter::Record(const CState& s) {
    uint8_t* const out = m_found == 0 ? m_firstFound : m_found == 1 ? m_secondFound : nullptr;
    ++m_found;
    if (out == nullptr) return;
    for (int d = 0; d < kDigits; ++d) {
        for (int b = 0; b < 3; ++b) {
            for (uint32_t cells = s.candidates[9 * b + d]; cells; cells &= cells - 1) {
                out[27 * b + LowestBit(cells)] = static_cast<uint8_t>(d + 1);
            }
        }
    }
}

void CSolutionCounter::Branch(CState& s) {
    if (!Propagate(s)) return;
    if ((s.unsolved[0] | s.unsolved[1] | s.unsolved[2]) == 0) {
        Record(s);
        return;
    }
    if ((++m_guesses & 255) == 0 && m_expired && m_expired()) {
        m_aborted = true;
        return;
    }

    // A cell with the fewest candidates, counted bit-sliced per band up to four (singles
    // are gone, so two is the fewest). Among cells with two, the one that sees the most
    // unsolved cells: its guess reaches furthest. On the hard list that makes 10 guesses
    // a puzzle where the first such cell makes 13, and the one seeing the most other
    // two-candidate cells 12.
    uint32_t pairs[3] = {0, 0, 0};
    int b = -1;
    uint32_t cells = 0;
    int fewest = 5;
    for (int band = 0; band < 3; ++band) {
        if (s.unsolved[band] == 0) continue;
        uint32_t one = 0, two = 0, three = 0, four = 0;
        for (int d = 0; d < kDigits; ++d) {
            const uint32_t c = s.candidates[9 * band + d];
            four |= three & c;
            three |= two & c;
            two |= one & c;
            one |= c;
        }
        pairs[band] = s.unsolved[band] & ~three;
        const uint32_t byCount[3] = {pairs[band], s.unsolved[band] & three & ~four,
                                     s.unsolved[band]};
        for (int rank = 2; rank < fewest; ++rank) {
            if (byCount[rank - 2]) {
                b = band, cells = byCount[rank - 2], fewest = rank;
                break;
            }
        }
    }
    if (fewest == 2) {
        int mostSeen = -1;
        for (int band = 0; band < 3; ++band) {
            const uint32_t unsolvedBelow = s.unsolved[kNextBand[band]];
            const uint32_t unsolvedAbove = s.unsolved[kNextBand[kNextBand[band]]];
            for (uint32_t rest = pairs[band]; rest; rest &= rest - 1) {
                const int x = LowestBit(rest);
                const uint32_t column = ColumnsToCells(1u << (x % 9));
                const int seen = CountBits(kPeersInBand[x] & s.unsolved[band]) +
                                 CountBits(column & unsolvedBelow) +
                                 CountBits(column & unsolvedAbove);
                if (seen > mostSeen) mostSeen = seen, b = band, cells = 1u << x;
            }
        }
    }
    const int x = LowestBit(cells);
    const uint32_t bit = 1u << x;

    int digits[kDigits];
    int count = 0;
    for (int d = 0; d < kDigits; ++d) {
        if (s.candidates[9 * b + d] & bit) digits[count++] = d;
    }
    for (int k = 0; k < count; ++k) {
        if (k + 1 < count) {
            CState guess = s;
            guess.Fix(digits[k], b, bit, true);
            Branch(guess);
        } else {
            s.Fix(digits[k], b, bit, true);
            Branch(s);
        }
        if (m_found >= m_limit || m_aborted) return;
    }
}

int CSolutionCounter::Count(const uint8_t* grid, int limit, uint8_t* firstFound,
                            uint8_t* secondFound) {
    m_limit = limit;
    m_found = 0;
    m_aborted = false;
    m_firstFound = firstFound;
    m_secondFound = secondFound;
    m_guesses = 0;

    CState s;
    std::fill(std::begin(s.candidates), std::end(s.candidates), kBand);
    s.bandDirty = (1u << 27) - 1;
    s.columnDirty = (1u << kDigits) - 1;
    std::fill(std::begin(s.unsolved), std::end(s.unsolved), kBand);
    for (int cell = 0; cell < kCellCount; ++cell) {
        if (grid[cell] == 0) continue;
        const int d = grid[cell] - 1, b = cell / 27, x = cell % 27;
        // A given that an earlier given already ruled out: the grid breaks a rule.
        if (!(s.Word(d, b) & (1u << x))) return 0;
        s.Fix(d, b, 1u << x, true);
    }
    Branch(s);
    return m_aborted ? -1 : m_found;
}
