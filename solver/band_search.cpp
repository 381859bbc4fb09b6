// The band engine's search for solutions (FindSolutions) from a propagated position; short
// names as in band_bits.h.
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
//     the most placements, which pays on the hardest puzzles. Only Solve's count of a whole
//     grid asks, and a short narrow attempt goes first (kScoutGuesses).
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
#include <bit>

#include "band_bits.h"
#include "band_engine.h"
#include "band_propagator.h"

namespace VELMO_ISA {
namespace {

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
    // One instruction where BMI2 has it.
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
// the placements until a unit or digit has met this many. So much keeps hard puzzles at
// their unweighted guesses and still refutes a small corner of a sparse grid quickly; a
// lighter weight costs the hard puzzles guesses.
constexpr uint64_t kConflictScale = 256;

CChoice ChooseFewestPlacements(const CBandState& s, const COccupancy& occupancy,
                               const CConflicts& conflicts, bool wide) {
    // Of the six bands and stacks, the one with the fewest placements left over all digits,
    // then its digit with the fewest (two or more). Where placements are few the grid is
    // most constrained, so each branch settles much at once; on the hardest puzzles it took
    // fewer guesses than bands alone or a cell of two candidates.
    //
    // Placements are weighed against the contradictions met in each unit and digit so
    // far: a grid whose contradiction sits in a small corner, with free cells around it,
    // is otherwise refuted afresh under every branch taken in the free part.
    //
    // Near the root (`wide`, CEngineQuery::wideLevels) the search splits wide instead:
    // the band or stack with the fewest digits still open (ties: the most placements),
    // and in it the digit with the most placements, up to six branches. A split near the
    // root divides the whole tree, and on the hardest puzzles the fewest placements split
    // it into halves each nearly as hard as the whole. Deeper, the fewest placements do
    // better again (kWideLevels is where the gain stopped). Easier puzzles pay for wide
    // splits, so only a root that is open enough splits wide (kOpenPlacements).
    CUnitOccupancies occupied;
    UnitOccupancies(occupancy, occupied);
    CChoice choice;
    if (wide) {
        // Fewest open digits, then most placements (at most 54), as one key; the digits
        // open are counted only here, as counting them at every choice costs.
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
// pay on the hardest puzzles and cost the easier ones (ChooseFewestPlacements), and of the
// signs tried this total at the root told them apart best.
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
// seldom cut short where the first way of choosing was right. Half as many would halve what
// a grid that traps the first way costs, but as often cut short a count this many finishes.
constexpr int64_t kFirstAttemptGuesses = 512;
// Guesses of the narrow attempt that goes before wide splits on an open root. Wide splits
// ignore the contradiction weights, so where narrow levels would go straight to a small dead
// corner, every wide branch meets it afresh. A short narrow attempt first settles such grids;
// the rest pay its guesses once, and more of them cost the hardest puzzles more.
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

}  // namespace

namespace band_engine {

void FindSolutions(const CBandState& state, CEngineQuery& query) {
    // Attempts with two ways of choosing, each given twice the guesses of the one before:
    // a grid that traps one choice in a vast dead branch is settled by the other, and the
    // doubling keeps the waste to at most that of the attempt that succeeds.
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
        // the narrow ones settle at once, so they cost at most one allowance more.
        if (query.wideLevels > 0 && query.Choice() == 0) {
            query.wideLevels = 0;
            query.attempt = -1;
            allowance = kFirstAttemptGuesses / 2;
        }
    }
}

}  // namespace band_engine

}  // namespace VELMO_ISA
