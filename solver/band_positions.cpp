// Setting up and reading the band engine's positions: a grid's givens (Load), cells placed
// on a position (Place), digits taken from a cell (Keep), a settled position's digits
// (Fill). Short names as in band_bits.h.
#include <bit>

#include "band_bits.h"
#include "band_engine.h"
#include "band_propagator.h"

namespace VELMO_ISA {
namespace {

// Propagates after Place's placements; false, with where it showed noted into `met`, when
// no solution is left.
bool Settle(CPropagator& propagator, CConflicts* met) {
    if (propagator.Propagate()) return true;
    // Counted as several of a search's own: where the search in its own order meets
    // contradictions, a test of a level above it must refute the same branches again.
    constexpr uint32_t kPlaceConflictWeight = 4;
    if (met) NoteConflict(propagator, *met, kPlaceConflictWeight);
    return false;
}

// Up to this many cells Place fixes one by one (Place says why).
constexpr int kFixOneByOne = 6;

// A cell's band and its bit there, by table for Place: dividing by 27 takes a multiply and
// four more instructions a cell.
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
    // fills, whatever the order; and much cheaper on the grids that propagation refutes at
    // once, where the set-up is most of the work.
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
    // cells. But most of its checks place a few cells, for which the batch's tables over
    // all digits cost more than fixing each (kFixOneByOne).
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
    // Remove for each digit and band read and wrote the dirty words).
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
        // only in cells not fixed: the search in its own order meets such cells in its
        // tests, and they are refuted here rather than by a search.
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

}  // namespace band_engine

}  // namespace VELMO_ISA
