// The search in its own order, and how the engine keeps it fast.
//
// CGridSolver::Search's answer is its first solution: at each level the cell its rule
// chooses takes its digits in ascending order, and a branch with no solution is walked to
// its end before the next digit is tried. On most grids that is quick, a level or so per
// empty cell, because most dead branches die within a few levels. Its only weakness is a
// dead branch that takes it long to exhaust. So the search runs as written, on masks of
// the digits in each unit, and once the dead branches of a level have taken it more than
// kPruneAfterLevels levels, the engine tests the grid of that level for a solution; with
// none, the level is given up at once, exactly as the search would have left it empty-
// handed after walking every branch. The answer is therefore the search's own.
//
// Bound, in levels and engine tests, with K = kPruneAfterLevels = 96. Each level tests at
// most once. A dead branch of height h (cells left) costs at most (K + 1) * h levels and h
// tests: before its level tests, its dead branches took at most K levels plus the one
// branch during which the count passed K, itself dead and of height h - 1; the test then
// finds nothing left and the level gives up. So a grid without solution costs at most
// 97 * 81 = 7,857 levels and 81 tests. With a solution, the path to the first has at most
// 81 levels; at a level of height h at most 8 dead branches of height h - 1 precede the
// one that leads on, plus one test that finds a solution left, so in all at most
// 776 * (0 + 1 + ... + 80) = 2,514,240 levels besides the path's own 81, and
// 8 * 3,240 + 81 = 26,001 tests. The walk's checks count towards K as levels too
// (kCheckLevelsTesting), which only brings the tests sooner.
//
// What bounds each test: nothing of its own. A test is the band engine searching for one
// solution (band_engine::FindSolutions), which ends, since its tree is finite, but for
// which no bound better than exponential is shown; only the clock, asked at its first
// guess and every 256th, stops it. What tests take in practice is measured
// (docs/performance.md).
//
// The solutions met on the way are kept: the two the count found, and each one a test
// finds. A level that one of them passes through holds a solution, so it is never tested,
// and the search below it knows which branch leads on.
//
// Search's rule is kept exactly (first cell in row-major order with the fewest candidates,
// stopping at a single), on a mask of candidates per cell kept up to date as digits are
// placed, sixteen cells to a vector under AVX2. Its chains of single-candidate levels are
// made in passes over the grid (PlaceSingles says why that is the same).
#include "ordered_search.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstring>
#include <utility>

#if defined(__AVX2__) && !defined(VELMO_SCALAR)
#define VELMO_AVX2 1
#include <immintrin.h>
#endif
// Thirty-two cells to a vector where AVX-512 has the operations on 16-bit lanes.
#if defined(__AVX512BW__) && defined(__AVX512BITALG__) && !defined(VELMO_SCALAR)
#define VELMO_AVX512 1
#endif

namespace VELMO_ISA {

// Levels of dead branches the pruned search walks before the engine's propagation checks
// each branch before it is walked. Not from the start: random sparse grids seldom
// backtrack, and their branches are mostly alive, where the check is wasted.
constexpr int64_t kCheckAfterDeadLevels = 16;
// The same before tests are allowed, where the walk goes on before a count (TryPruned), on
// grids of at most 20 givens: since checks propagate in full, sooner pays there.
constexpr int64_t kCheckAfterDeadLevelsWalking = 8;

// Dead levels a level may spend before the engine tests it. The known solutions and the
// checks before walking do most of the pruning, so tests can wait this long; longer saves
// little and loosens the bound above.
constexpr int64_t kPruneAfterLevels = 96;

// What a propagation check before a branch costs, in levels, where the walk weighs its work
// against kPruneAfterLevels: some six levels in instructions, while a test settles a deep
// dead position, the commonest place for checks, in under a guess. Counted as nothing, a
// level whose branches the checks refuted one by one never reached its test, and the walk
// checked a dead subtree node by node. Before tests are allowed, the work brings the count
// sooner instead. Until a solution is known, though, a test must build one, which costs
// most in the open grids that start the search with tests and no count (fewer than 17
// givens), so checks count for nothing there: counted, they brought tests where the walk
// would have finished its dead branches within the levels allowed.
constexpr int64_t kCheckLevelsTesting = 2;
constexpr int64_t kCheckLevelsWalking = 1;

// Depth of the path (cells placed) from which a branch passing its check halves the dead
// levels counted (Step says why); from shallower depths it cost top1465's puzzles of few
// givens more than it saved.
constexpr int kHalveDeadFromDepth = 12;

namespace {

// The mask of a cell as it is filled: more bits than any count of candidates.
constexpr uint16_t kFilled = 0xFFFF;

#if defined(VELMO_AVX2)
// Lanes of each cell's peers, for taking a digit from them with vector operations: one
// row to read where the rows of its three units take three and two merges. Read with
// aligned loads, so aligned to the widest vector: without alignas a compiler may give it
// the 2 bytes of its element type (clang does).
alignas(64) constexpr auto kPeerLanes = [] {
    std::array<std::array<uint16_t, kMaskLanes>, kCellCount> lanes{};
    for (int cell = 0; cell < kCellCount; ++cell) {
        for (uint8_t peer : kCellPeers[cell]) lanes[cell][peer] = 0xFFFF;
    }
    return lanes;
}();

#endif

}  // namespace

bool COrderedSearch::Load(uint8_t* grid) {
    m_grid = grid;
    std::memcpy(m_givens, grid, kCellCount);
    uint16_t used[kUnitCount] = {};
    uint16_t repeated = 0;
    for (int cell = 0; cell < kCellCount; ++cell) {
        if (grid[cell] == 0) continue;
        const CCellUnits& u = kCellUnits[cell];
        const uint16_t bit = uint16_t(1u << grid[cell]);
        repeated |= (used[u.row] | used[u.column] | used[u.box]) & bit;
        used[u.row] |= bit, used[u.column] |= bit, used[u.box] |= bit;
    }
#if defined(VELMO_AVX2)
    // A row at a time, sixteen lanes from its first cell: lanes past its nine fall on the
    // next row, which is stored after it, and past the last row on padding, which the
    // padding of `cells` marks filled. Cheaper than a cell at a time.
    uint8_t cells[kCellCount + 16];
    std::memcpy(cells, grid, kCellCount);
    std::memset(cells + kCellCount, 1, 16);
    alignas(32) uint16_t boxes[3][16] = {};
    for (int band = 0; band < 3; ++band) {
        for (int column = 0; column < 9; ++column)
            boxes[band][column] = used[18 + 3 * band + column / 3];
    }
    // Lanes 0-8 the columns' digits; the rest fall past the row.
    const __m256i columns = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(&used[9]));
    const __m256i digits = _mm256_set1_epi16(int16_t(kAllDigits));
    _mm256_store_si256(reinterpret_cast<__m256i*>(&m_candidates[kMaskLanes - 16]),
                       _mm256_set1_epi16(-1));
    for (int row = 0; row < 9; ++row) {
        const __m256i given = _mm256_cmpgt_epi16(
            _mm256_cvtepu8_epi16(
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(cells + 9 * row))),
            _mm256_setzero_si256());
        const __m256i seen =
            _mm256_or_si256(_mm256_or_si256(_mm256_set1_epi16(int16_t(used[row])), columns),
                            _mm256_load_si256(reinterpret_cast<const __m256i*>(boxes[row / 3])));
        // A given's lane all ones: kFilled.
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(&m_candidates[9 * row]),
                            _mm256_or_si256(_mm256_andnot_si256(seen, digits), given));
    }
#else
    std::fill(std::begin(m_candidates), std::end(m_candidates), kFilled);
    for (int cell = 0; cell < kCellCount; ++cell) {
        if (grid[cell] != 0) continue;
        const CCellUnits& u = kCellUnits[cell];
        m_candidates[cell] = uint16_t(~(used[u.row] | used[u.column] | used[u.box]) & kAllDigits);
    }
#endif
    return repeated == 0;
}

void COrderedSearch::Set(int cell, int d) {
    m_grid[cell] = uint8_t(d);
    const uint16_t bit = uint16_t(1u << d);
#if defined(VELMO_AVX512)
    const __m512i digit = _mm512_set1_epi16(int16_t(bit));
    for (int k = 0; k < kMaskLanes; k += 32) {
        const __m512i peers = _mm512_load_si512(&kPeerLanes[cell][k]);
        // Filled peers lose the digit too, as under AVX2 below: masks & ~(peers & digit).
        constexpr int kKeepUnlessBoth = 0x2A;
        _mm512_store_si512(&m_candidates[k],
                           _mm512_ternarylogic_epi32(
                               peers, digit, _mm512_load_si512(&m_candidates[k]), kKeepUnlessBoth));
    }
#elif defined(VELMO_AVX2)
    const __m256i digit = _mm256_set1_epi16(int16_t(bit));
    for (int k = 0; k < kMaskLanes; k += 16) {
        const __m256i peers =
            _mm256_load_si256(reinterpret_cast<const __m256i*>(&kPeerLanes[cell][k]));
        __m256i* masks = reinterpret_cast<__m256i*>(&m_candidates[k]);
        // Filled peers lose the digit too, cheaper than sparing them: the bits above the
        // digits, which they keep, mark them (see Counts).
        _mm256_store_si256(
            masks, _mm256_andnot_si256(_mm256_and_si256(peers, digit), _mm256_load_si256(masks)));
    }
#else
    for (uint8_t peer : kCellPeers[cell]) {
        // Filled cells keep their mark.
        if (m_candidates[peer] != kFilled) m_candidates[peer] &= uint16_t(~bit);
    }
#endif
    m_candidates[cell] = kFilled;
}

#if defined(VELMO_AVX2) && !defined(VELMO_AVX512)
namespace {

// Candidate counts of sixteen cells, by nibbles through a table; filled cells count 16 or
// more. (Under AVX2 a filled cell's mask is kFilled less the digits its peers took since,
// which leaves bit 0 and bits 10-15: never one or two bits, but only 7.)
inline __m256i Counts(const uint16_t* masks) {
    const __m256i nibbles = _mm256_setr_epi8(0, 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4, 0, 1,
                                             1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4);
    const __m256i low = _mm256_set1_epi8(0x0F);
    const __m256i v = _mm256_load_si256(reinterpret_cast<const __m256i*>(masks));
    const __m256i bytes = _mm256_add_epi8(
        _mm256_shuffle_epi8(nibbles, _mm256_and_si256(v, low)),
        _mm256_shuffle_epi8(nibbles, _mm256_and_si256(_mm256_srli_epi16(v, 4), low)));
    const __m256i counts =
        _mm256_srli_epi16(_mm256_mullo_epi16(bytes, _mm256_set1_epi16(0x0101)), 8);
    const __m256i filled = _mm256_srai_epi16(v, 15);
    return _mm256_or_si256(counts, _mm256_and_si256(filled, _mm256_set1_epi16(16)));
}

}  // namespace
#endif

bool COrderedSearch::PlaceSingles(int64_t& placed) {
    // Search places a cell with one candidate at a level of its own, the first such cell in
    // row-major order each time, until none is left or a cell has none. Where it goes, the
    // placements reach the same grid in any order, and a cell left without candidates
    // stays so until Search meets it: so they are made here in passes over the grid,
    // without a level each, and the branching that follows is Search's own.
    for (bool again = true; again;) {
        again = false;
#if defined(VELMO_AVX512)
        for (int k = 0; k < kMaskLanes; k += 32) {
            // As under AVX2 below, a compare into a mask a bit a cell.
            const __m512i masks = _mm512_load_si512(&m_candidates[k]);
            const __m512i rest =
                _mm512_and_si512(masks, _mm512_sub_epi16(masks, _mm512_set1_epi16(1)));
            uint32_t few = _mm512_cmpeq_epi16_mask(rest, _mm512_setzero_si512());
            while (few) {
                const int cell = k + std::countr_zero(few);
                few &= few - 1;
#elif defined(VELMO_AVX2)
        for (int k = 0; k < kMaskLanes; k += 16) {
            // At most one candidate: no bit left once the lowest is cleared (a filled
            // cell's mask keeps many). Three operations where counting them takes nine.
            const __m256i masks =
                _mm256_load_si256(reinterpret_cast<const __m256i*>(&m_candidates[k]));
            const __m256i rest =
                _mm256_and_si256(masks, _mm256_sub_epi16(masks, _mm256_set1_epi16(1)));
            uint32_t few =
                uint32_t(_mm256_movemask_epi8(_mm256_cmpeq_epi16(rest, _mm256_setzero_si256())));
            while (few) {
                const int lane = std::countr_zero(few) / 2;
                few &= ~(3u << (2 * lane));
                const int cell = k + lane;
#else
        for (int k = 0; k < 1; ++k) {
            for (int cell = 0; cell < kCellCount; ++cell) {
                if (m_candidates[cell] == kFilled || std::popcount(m_candidates[cell]) > 1)
                    continue;
#endif
                // Earlier placements of this pass may have left it none.
                const unsigned mask = m_candidates[cell];
                if (mask == 0) return false;
                if (!std::has_single_bit(mask)) continue;
                m_path[m_depth++] = uint8_t(cell);
                Set(cell, std::countr_zero(mask));
                ++placed;
                again = true;
            }
        }
    }
    return true;
}

int COrderedSearch::SelectBranch(int& cell, unsigned& digits) const {
    // The first cell with the fewest candidates; all have two or more now.
#if defined(VELMO_AVX512)
    // As under AVX2 below, thirty-two cells a vector, with a count instruction.
    constexpr int kVectors = kMaskLanes / 32;
    __m512i masks[kVectors];
    const __m512i one = _mm512_set1_epi16(1);
    for (int k = 0; k < kVectors; ++k) {
        masks[k] = _mm512_load_si512(&m_candidates[32 * k]);
        const __m512i rest = _mm512_and_si512(masks[k], _mm512_sub_epi16(masks[k], one));
        const __m512i beyond = _mm512_and_si512(rest, _mm512_sub_epi16(rest, one));
        if (const uint32_t pairs = _mm512_cmpeq_epi16_mask(beyond, _mm512_setzero_si512())) {
            cell = 32 * k + std::countr_zero(pairs);
            digits = m_candidates[cell];
            return 1;
        }
    }
    // A filled cell (its top bit set) counts kFilledCount: above any empty cell's.
    constexpr int kFilledCount = 16;
    const __m512i filledCount = _mm512_set1_epi16(kFilledCount);
    __m512i counts[kVectors];
    __m512i least = filledCount;
    for (int k = 0; k < kVectors; ++k) {
        counts[k] = _mm512_mask_mov_epi16(_mm512_popcnt_epi16(masks[k]),
                                          _mm512_movepi16_mask(masks[k]), filledCount);
        least = _mm512_min_epu16(least, counts[k]);
    }
    // Masked extracts: GCC 12 warns of the contents the unmasked ones leave undefined.
    const __m256i quarter = _mm256_min_epu16(_mm512_maskz_extracti64x4_epi64(0xF, least, 0),
                                             _mm512_maskz_extracti64x4_epi64(0xF, least, 1));
    const __m128i half =
        _mm_min_epu16(_mm256_castsi256_si128(quarter), _mm256_extracti128_si256(quarter, 1));
    const int smallest = _mm_cvtsi128_si32(_mm_minpos_epu16(half)) & 0xFFFF;
    if (smallest >= kFilledCount) return 0;
    const __m512i wanted = _mm512_set1_epi16(int16_t(smallest));
    for (int k = 0;; ++k) {
        if (const uint32_t hits = _mm512_cmpeq_epi16_mask(counts[k], wanted)) {
            cell = 32 * k + std::countr_zero(hits);
            digits = m_candidates[cell];
            return 1;
        }
    }
#elif defined(VELMO_AVX2)
    // Two, the fewest possible, is the commonest: a cell with two candidates has no bit
    // left once its lowest two are cleared, which costs less than counting.
    for (int k = 0; k < kMaskLanes; k += 16) {
        const __m256i masks = _mm256_load_si256(reinterpret_cast<const __m256i*>(&m_candidates[k]));
        const __m256i one = _mm256_set1_epi16(1);
        const __m256i rest = _mm256_and_si256(masks, _mm256_sub_epi16(masks, one));
        const __m256i beyond = _mm256_and_si256(rest, _mm256_sub_epi16(rest, one));
        const uint32_t pairs =
            uint32_t(_mm256_movemask_epi8(_mm256_cmpeq_epi16(beyond, _mm256_setzero_si256())));
        if (pairs) {
            cell = k + std::countr_zero(pairs) / 2;
            digits = m_candidates[cell];
            return 1;
        }
    }
    // The least count of a filled cell (Counts): above any empty cell's.
    constexpr int kFilledCount = 16;
    __m256i counts[kMaskLanes / 16];
    __m256i least = _mm256_set1_epi16(kFilledCount);
    for (int k = 0; k < kMaskLanes / 16; ++k) {
        counts[k] = Counts(&m_candidates[16 * k]);
        least = _mm256_min_epu16(least, counts[k]);
    }
    const __m128i half =
        _mm_min_epu16(_mm256_castsi256_si128(least), _mm256_extracti128_si256(least, 1));
    const int smallest = _mm_cvtsi128_si32(_mm_minpos_epu16(half)) & 0xFFFF;
    if (smallest >= kFilledCount) return 0;
    const __m256i wanted = _mm256_set1_epi16(int16_t(smallest));
    for (int k = 0;; ++k) {
        const int hits = _mm256_movemask_epi8(_mm256_cmpeq_epi16(counts[k], wanted));
        if (hits) {
            cell = 16 * k + std::countr_zero(uint32_t(hits)) / 2;
            digits = m_candidates[cell];
            return 1;
        }
    }
#else
    constexpr int kAboveAnyCount = kGridSize + 1;  // more than any empty cell's count
    int best = kAboveAnyCount;
    for (int candidate = 0; candidate < kCellCount; ++candidate) {
        if (m_candidates[candidate] == kFilled) continue;
        const int count = std::popcount(m_candidates[candidate]);
        if (count < best) best = count, cell = candidate, digits = m_candidates[candidate];
    }
    return best == kAboveAnyCount ? 0 : 1;
#endif
}

// Copies one level's candidate masks: inline, a call to memcpy would cost as much as the
// copy.
inline void CopyMasks(const uint16_t* from, uint16_t* to) {
#if defined(VELMO_AVX512)
    for (int k = 0; k < kMaskLanes; k += 32)
        _mm512_store_si512(to + k, _mm512_load_si512(from + k));
#elif defined(VELMO_AVX2)
    for (int k = 0; k < kMaskLanes; k += 16) {
        _mm256_store_si256(reinterpret_cast<__m256i*>(to + k),
                           _mm256_load_si256(reinterpret_cast<const __m256i*>(from + k)));
    }
#else
    uint64_t words[kMaskLanes / 4];
    std::memcpy(words, from, sizeof words);
    std::memcpy(to, words, sizeof words);
#endif
}

std::optional<CEngineOutcome> COrderedSearch::Step(uint32_t through) {
    if (m_budget <= 0) {
        if (!m_pruning && m_afterRootCheck > 0) {
            // Run's root check (Run says why).
            m_budget = std::exchange(m_afterRootCheck, 0);
            m_rootBuilt = true;
            m_rootDead = !band_engine::Load(m_givens, m_positions[0]);
            if (m_rootDead) return std::nullopt;
        } else {
            if (!m_pruning || m_testing || !Count()) return std::nullopt;
            through = SolutionsThroughPath();
        }
    }
    // The clock is asked every 64 levels or so rather than at each: reading it would cost
    // more than the level itself.
    if ((m_levels & ~int64_t{63}) != m_lastAsked) {
        m_lastAsked = m_levels & ~int64_t{63};
        if (Expired(m_expiry)) return CEngineOutcome::kExpired;
    }

    // Undoes this level's placements on the way back up: the path is as it was, and the
    // masks the level above puts back from its own copy. The grid's cells are left as
    // they are: only the path's are read, and the run puts the grid back once at its end
    // (Restore). Clearing them a level at a time was a loop of varying length, which
    // mispredicted.
    const int pathStart = m_depth;
    const auto giveUp = [this, pathStart](std::optional<CEngineOutcome> outcome) {
        if (outcome == CEngineOutcome::kNoSolution) m_deadLevels += m_depth - pathStart + 1;
        m_depth = pathStart;
        return outcome;
    };
    int64_t placed = 1;
    const bool alive = PlaceSingles(placed);
    m_levels += placed;
    m_budget -= placed;
    if (!alive) return giveUp(CEngineOutcome::kNoSolution);

    int cell = -1;
    unsigned digits = 0;
    if (SelectBranch(cell, digits) == 0) return CEngineOutcome::kSolved;

    if (m_pruning) {
        // A digit the engine's deepest position on the path has ruled out for the cell
        // leads to no solution, so its branch is one the search would walk in vain; the
        // root's full propagation alone rules out many before any check is made. (Random
        // sparse grids pay a little: they seldom meet a dead branch, and the checks that
        // the counting below starts are mostly wasted on them.)
        const int base = KnownBase(m_depth);
        if (m_dead[base]) return giveUp(CEngineOutcome::kNoSolution);
        // A position propagation has settled has one solution, the only one below it: the
        // walk down to it would only confirm it, a level and a check at a time.
        const CBandState& known = m_positions[base];
        if ((known.unsolved[0] | known.unsolved[1] | known.unsolved[2]) == 0) {
            Complete(base);
            return CEngineOutcome::kSolved;
        }
        const uint32_t* words = &known.candidates[9 * (cell / 27)];
        const int x = cell % 27;
#if defined(VELMO_AVX2)
        // The cell's bit of the first eight digits' words moved to their sign bits.
        const __m256i low = _mm256_sll_epi32(
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(words)), _mm_cvtsi32_si128(31 - x));
        const unsigned possible =
            unsigned(_mm256_movemask_ps(_mm256_castsi256_ps(low))) << 1 | (words[8] >> x & 1u) << 9;
#else
        unsigned possible = 0;
        for (int d = 0; d < kGridSize; ++d) possible |= (words[d] >> x & 1u) << (d + 1);
#endif
        // Where propagation rules out digits that the masks allow, checking each branch
        // pays: counted as that many dead levels each, checks begin after two of them.
        m_deadLevels += kCheckAfterDeadLevels * std::popcount(digits & ~possible);
        digits &= possible;
        if (digits == 0) return giveUp(CEngineOutcome::kNoSolution);
    }

    const int64_t start = m_levels + m_checkWork;
    // A level that a known solution passes through holds a solution: a test could only
    // say so.
    bool tested = !m_pruning || through != 0;
    const int depth = m_depth++;
    m_path[depth] = uint8_t(cell);
    CopyMasks(m_candidates, m_saved[depth]);
    for (;;) {
        const int d = std::countr_zero(digits);
        digits &= digits - 1;
        Set(cell, d);
        uint32_t below = 0;
        for (uint32_t rest = through; rest; rest &= rest - 1) {
            const int k = std::countr_zero(rest);
            if (m_solutions[k][cell] == d) below |= 1u << k;
        }
        // A digit below the one a known solution takes here is a dead branch the order
        // makes the search refute, and the engine's propagation alone mostly refutes it
        // at once; so, once the walk has met dead branches, is any branch.
        const bool checked =
            m_pruning && below == 0 &&
            (through != 0 ||
             m_deadLevels > (m_testing ? kCheckAfterDeadLevels : kCheckAfterDeadLevelsWalking));
        bool refuted = false;
        if (checked) {
            if (!m_testing) {
                m_checkWork += kCheckLevelsWalking;
            } else if (m_solutionCount > 0) {
                m_checkWork += kCheckLevelsTesting;
            }
            refuted = !PositionAlive();
        }
        // Most branches that pass the check lie on the path to the first solution, where
        // checking the levels below is wasted: deep in the path, each one passed halves
        // the dead levels counted, so that a run of them stops the checks until the walk
        // meets dead branches again. Not near the root, where a walk that stops its checks
        // passes its budget sooner and counts, and the dead branches the order forces pass
        // checks high up.
        if (checked && !refuted && depth >= kHalveDeadFromDepth) m_deadLevels /= 2;
        const std::optional<CEngineOutcome> outcome =
            refuted ? CEngineOutcome::kNoSolution : Step(below);
        if (outcome == CEngineOutcome::kSolved) return outcome;
        if (outcome != CEngineOutcome::kNoSolution) return giveUp(outcome);
        if (digits == 0) break;
        CopyMasks(m_saved[depth], m_candidates);
        // The engine's positions past this point of the path no longer match it.
        ForgetBelow(depth);
        if (!tested && m_levels + m_checkWork - start > kPruneAfterLevels) {
            // This level's branches so far were dead and took the search long: the engine
            // decides whether any branch left holds a solution before they are walked too.
            tested = true;
            m_depth = depth;
            const bool counted = !m_testing && Count();
            std::optional<bool> solvable = true;
            if (m_testing) {
                // The solutions just counted may settle it without a test.
                through = counted ? SolutionsThroughPath() : 0;
                if (through == 0) {
                    solvable = HasSolution(cell, digits);
                    if (solvable.value_or(false)) through = m_lastFound;
                }
            }
            m_depth = depth + 1;
            if (!m_testing) return giveUp(std::nullopt);
            if (!solvable) return giveUp(CEngineOutcome::kExpired);
            if (!*solvable) break;
        }
    }
    return giveUp(CEngineOutcome::kNoSolution);
}

int COrderedSearch::KnownBase(int depth) const {
    if (depth >= 64) {
        if (const uint64_t high = m_known[1] & (~uint64_t{0} >> (127 - depth)))
            return 127 - std::countl_zero(high);
        depth = 63;
    }
    return 63 - std::countl_zero(m_known[0] & (~uint64_t{0} >> (63 - depth)));
}

void COrderedSearch::ForgetBelow(int depth) {
    if (depth < 64) {
        m_known[0] &= ~uint64_t{0} >> (63 - depth);
        m_known[1] = 0;
    } else {
        m_known[1] &= ~uint64_t{0} >> (127 - depth);
    }
}

bool COrderedSearch::PositionAlive() {
    // From the deepest position known on the path: consecutive tests share most of their
    // path, so this places a few digits instead of the whole path.
    // With full propagation, not only its cheaper first steps: most dead branches that the
    // order meets before its answer die under full propagation without a guess, and the
    // quick steps let the walk go on into them, checking level after level.
    if (!(m_known[m_depth / 64] >> (m_depth % 64) & 1)) {
        const int base = KnownBase(m_depth);
        // The contradictions met here steer the engine's next test towards them.
        m_positions[m_depth] = m_positions[base];
        m_dead[m_depth] =
            m_dead[base] || !band_engine::Place(m_positions[m_depth], m_grid, m_path + base,
                                                m_depth - base, &m_conflicts);
        m_known[m_depth / 64] |= uint64_t{1} << (m_depth % 64);
    }
    return !m_dead[m_depth];
}

std::optional<bool> COrderedSearch::HasSolution(int cell, unsigned digits) {
    ++m_tests;
    if (!PositionAlive()) return false;
    // Only the digits the walk has not yet refuted: their branches were walked or
    // checked dead, and left in they made the engine refute the same subtrees again, the
    // deeper tests' among them. Where propagation has fixed the cell to a refuted digit,
    // nothing is left.
    CBandState position = m_positions[m_depth];
    if (!band_engine::Keep(position, cell, digits)) return false;
    PuzzleGrid found;
    CEngineQuery query;
    query.limit = 1;
    query.solutions = &found;
    query.expiry = m_expiry;
    // Tests refute related grids, so the contradictions one met guide the next, and the
    // way of choosing that settled the last one starts.
    query.conflicts = m_conflicts;
    query.firstChoice = m_choice;
    // Without wide splits (the query's default): they pay where a hard puzzle is counted
    // from its root, but a test is asked of a position the walk found dead branches in,
    // most often itself dead, and a dead position that is still open near its root (sparse
    // grids) was refuted narrow in a fraction of the guesses.
    band_engine::FindSolutions(position, query);
    m_conflicts = query.conflicts;
    m_choice = query.Choice();
    m_guesses += query.guesses;
    if (query.aborted) return std::nullopt;
    m_lastFound = query.found > 0 ? AddSolution(found) : 0;
    return query.found > 0;
}

bool COrderedSearch::Count() {
    // Where the walk stops deep in its path, the dead branch that stopped it is small, and
    // testing it and the levels above it costs less than counting the whole grid; where it
    // stops near the root, the grid is more often a hard puzzle with one solution, which
    // tests would settle only after refuting the rest one level at a time. The walks of
    // hard puzzles mostly stop shallower than this, those of climbed grids deeper.
    constexpr int kTestFromDepth = 10;
    if (m_depth >= kTestFromDepth) {
        m_testing = true;
        m_budget = INT64_MAX;
        return true;
    }
    PuzzleGrid found[2];
    CEngineQuery query;
    query.limit = 2;
    query.solutions = found;
    query.expiry = m_expiry;
    // Narrow (the query's default), as the count cut off before the walk: the grids that
    // reach here have at most 20 givens and an open root, where wide splits seldom pay.
    // But wide where the grid has at most 17 givens, the fewest of a puzzle with one
    // solution: those that get here are mostly open grids without solution, whose narrow
    // count can be long.
    constexpr int kWideCountGivens = 17;
    if (kCellCount - std::count(m_givens, m_givens + kCellCount, 0) <= kWideCountGivens)
        query.wideLevels = kWideLevels;
    band_engine::FindSolutions(m_positions[0], query);
    m_guesses += query.guesses;
    if (query.aborted) {
        m_counted = CEngineOutcome::kExpired;
    } else if (query.found == 0) {
        m_counted = CEngineOutcome::kNoSolution;
    } else if (query.found == 1) {
        m_counted = CEngineOutcome::kSolved;
        m_countedSolution = found[0];
    } else {
        AddSolution(found[0]);
        AddSolution(found[1]);
        m_testing = true;
        m_budget = INT64_MAX;
        m_choice = query.Choice();
        return true;
    }
    return false;
}

void COrderedSearch::Complete(int base) {
    uint8_t solution[kCellCount];
    band_engine::Fill(m_positions[base], solution);
    // The path's levels since that position agree with it: their singles agree with any
    // solution, and every digit chosen since was one the position allowed (Step).
    for (int i = base; i < m_depth; ++i) assert(m_grid[m_path[i]] == solution[m_path[i]]);
    std::memcpy(m_grid, solution, kCellCount);
}

uint32_t COrderedSearch::SolutionsThroughPath() const {
    uint32_t through = 0;
    for (int k = 0; k < m_solutionCount; ++k) {
        bool agrees = true;
        for (int i = 0; i < m_depth && agrees; ++i) {
            agrees = m_solutions[k][m_path[i]] == m_grid[m_path[i]];
        }
        through |= uint32_t(agrees) << k;
    }
    return through;
}

uint32_t COrderedSearch::AddSolution(const PuzzleGrid& solution) {
    if (m_solutionCount == kMaxSolutions) return 0;
    m_solutions[m_solutionCount] = solution;
    return 1u << m_solutionCount++;
}

CEngineOutcome COrderedSearch::RunPruned(uint8_t* grid, const CBandState& root, int choice,
                                         std::span<const PuzzleGrid> solutions,
                                         const CConflicts& conflicts) {
    return Prune(grid, root, choice, solutions, conflicts, INT64_MAX, true);
}

CEngineOutcome COrderedSearch::TryPruned(uint8_t* grid, const CBandState& root, int64_t levelBudget,
                                         const CConflicts& conflicts) {
    return Prune(grid, root, 0, {}, conflicts, levelBudget, false);
}

CEngineOutcome COrderedSearch::Prune(uint8_t* grid, const CBandState& root, int choice,
                                     std::span<const PuzzleGrid> solutions,
                                     const CConflicts& conflicts, int64_t levelBudget, bool tests) {
    m_pruning = true;
    m_testing = tests;
    m_counted.reset();
    m_deadLevels = 0;
    m_solutionCount = 0;
    uint32_t through = 0;
    for (const PuzzleGrid& solution : solutions) through |= AddSolution(solution);
    m_choice = choice;
    // The count's contradictions guide the first test as a test's guide the next.
    m_conflicts = conflicts;
    m_positions[0] = root;
    m_dead[0] = false;
    m_known[0] = 1;
    m_known[1] = 0;
    Load(grid);
    m_budget = levelBudget;
    m_depth = 0;
    m_lastAsked = -1;
    const std::optional<CEngineOutcome> outcome = Step(through);
    m_pruning = false;
    if (outcome) {
        if (*outcome != CEngineOutcome::kSolved) Restore();
        return *outcome;
    }
    // A count ended the search, which has unwound.
    if (m_counted == CEngineOutcome::kSolved) {
        std::copy(m_countedSolution.begin(), m_countedSolution.end(), grid);
    } else {
        Restore();
    }
    return m_counted.value_or(CEngineOutcome::kExpired);
}

std::optional<CEngineOutcome> COrderedSearch::Run(uint8_t* grid, int64_t levelBudget,
                                                  int64_t rootCheckAfter) {
    m_rootBuilt = m_rootDead = false;
    if (!Load(grid)) return CEngineOutcome::kNoSolution;
    // A grid without solution that the engine's propagation refutes at once may still take
    // the search its whole budget, a dead branch after another. The check, made once the
    // search has gone past what most grids take, bounds what such a grid costs at the levels
    // before it.
    m_budget = std::min(levelBudget, rootCheckAfter);
    m_afterRootCheck = levelBudget - m_budget;
    m_depth = 0;
    m_lastAsked = -1;
    const std::optional<CEngineOutcome> outcome = Step(0);
    if (outcome != CEngineOutcome::kSolved) Restore();
    if (m_rootDead) return CEngineOutcome::kNoSolution;
    return outcome;
}

void COrderedSearch::Restore() {
    std::memcpy(m_grid, m_givens, kCellCount);
}

}  // namespace VELMO_ISA
