// Constraint propagation on a position of the band engine (CBandState); short names as in
// band_bits.h. Compiled into each version of the engine, in its namespace VELMO_ISA.
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
//      puzzles need many more guesses, and some consistent grids without solution, which
//      it refutes at once, take a per-digit engine millions.
// Steps 3 and 4 run only once the cheaper steps before them are settled.
#pragma once

#include <cstdint>

#include "band_bits.h"
#include "band_engine.h"

namespace VELMO_ISA {
// Unnamed: each file that propagates gets its own copy, whose passes the compiler inlines
// into Propagate as it would not into a function shared between files.
namespace {

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
        // Digits 1-8 in one vector rather than two halves.
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
        // Vector loads only in the SSE4 version: the band pass and Fix have just written
        // these words one at a time, and in the AVX2 and AVX-512 versions a word at a time
        // ran faster than vector loads, which likely wait on those stores.
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
        // empty rest counts 32 trailing zeros, an entry without peers): faster, though it
        // takes a few more instructions.
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
        // reading and writing them again after the last.
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
            // mispredicted.
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
        // 64-bit operation counts both, 8 operations a digit instead of 16.
        int first = 0;  // the first digit left to the scalar steps
#if defined(VELMO_AVX2)
        {
            // Digits 1-8 in the lanes, band by band, the bound mini-rows found on all bands
            // at once rather than by a table a band.
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

// Notes a contradiction where propagation found it, `weight` times.
inline void NoteConflict(const CPropagator& propagator, CConflicts& conflicts,
                         uint32_t weight = 1) {
    auto& digits = conflicts[propagator.m_failUnit];
    if (propagator.m_failDigit >= 0) {
        digits[propagator.m_failDigit] += weight;
    } else {
        for (int d = 0; d < kDigits; ++d) digits[d] += weight;
    }
}

}  // namespace
}  // namespace VELMO_ISA
