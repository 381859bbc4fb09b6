// The solution engine: candidate bit sets band by band, constraint propagation, and a
// search that counts solutions from any position. Compiled once per instruction set, each
// in its own namespace VELMO_ISA; private to the solver library. Its parts: the layout and
// its tables (band_bits.h), propagation (band_propagator.h), the search (band_search.cpp),
// and setting up and reading positions (band_positions.cpp).
#pragma once

#include <array>
#include <cstdint>

#include "engine.h"
#include "grid.h"

namespace VELMO_ISA {

// Whether the caller's clock says stop; built into each version like the rest.
inline bool Expired(const CExpiry& expiry) {
    return expiry.expired && expiry.expired(expiry.context);
}

// One position: where each digit can still go, band by band. Band b holds rows 3b-3b+2;
// in a band word, bit 9 * (row in band) + column is a cell:
//
//     row 0 of the band: bits 0-8    row 1: bits 9-17    row 2: bits 18-26
//
// A band's nine digit words lie side by side, so that taking cells from every digit, the
// commonest step, is a couple of vector operations.
struct CBandState {
    uint32_t candidates[27];  // [9 * b + d - 1]: cells of band b where digit d can still go
    uint32_t unsolved[3];     // cells of band b whose digit is not fixed yet
    uint32_t bandDirty;       // bit 9 * b + d - 1: that word changed since its band pass
    uint32_t columnDirty;     // bit d - 1: digit d changed since its column pass
};

// Per band or stack (0-2 bands, 3-5 stacks) and digit index (digit - 1), a count.
inline constexpr int kBandsAndStacks = 6;
using CConflicts = std::array<std::array<uint32_t, kGridSize>, kBandsAndStacks>;

// Levels of the search, from the root, that split wide (band_search.cpp,
// ChooseFewestPlacements, says why).
inline constexpr int kWideLevels = 3;

// One query to the engine: what to look for, and what it found.
struct CEngineQuery {
    int limit = 2;                    // stop after this many solutions
    PuzzleGrid* solutions = nullptr;  // null, or room for `limit` grids: the solutions found
    CExpiry expiry;                   // asked every 256 guesses; true abandons the search
    int64_t maxGuesses = INT64_MAX;   // a guess beyond this many abandons the search

    // Contradictions met so far: the search branches where they cluster.
    CConflicts conflicts{};

    // Which way of choosing the first attempt takes: 0 the fewest placements, 1 the pair
    // that sees most; the attempts alternate from it.
    int firstChoice = 0;
    // The first this many levels split wide (Solve's count of a whole grid asks for
    // kWideLevels); set to 0 by the search where its root is not open enough for them
    // (band_search.cpp, kOpenPlacements), or after a wide attempt ran out of guesses.
    int wideLevels = 0;
    // While searching: whether this is the short narrow attempt that goes before wide splits.
    bool scouting = false;
    // The way of choosing of the current attempt; after the search, of the one that ended.
    int Choice() const { return (attempt + firstChoice) % 2; }
    // While searching: which attempt this is, and the guess count at which it gives way to
    // the next, which starts afresh (restart).
    int attempt = 0;
    int64_t attemptEnd = 0;
    bool restart = false;

    int found = 0;         // solutions found, at most `limit`
    int64_t guesses = 0;   // branches taken beyond the first at each choice
    bool aborted = false;  // `expiry` said to stop, or the guesses passed maxGuesses
};

namespace band_engine {

// Sets `state` to the position of `grid` (81 cells, each 0-9) and propagates. False when
// the givens break a rule or propagation proves that no solution exists.
bool Load(const uint8_t* grid, CBandState& state);

// Fixes the digits that `grid` (81 cells, each 0-9) holds in the listed cells and that
// `state`, a propagated position, has not fixed yet, then propagates. False when that leaves
// no solution; where propagation showed it, then, is counted into `met`
// (CEngineQuery::conflicts) when that is not null.
bool Place(CBandState& state, const uint8_t* grid, const uint8_t* cells, int count,
           CConflicts* met = nullptr);

// Writes the digits of `state`, a position with every cell fixed, into `grid` (81 cells).
void Fill(const CBandState& state, uint8_t* grid);

// Takes from `cell` (0-80) every digit not in `digits` (bit d for digit d), for the next
// propagation to settle (FindSolutions propagates first). False when that leaves no
// solution: propagation has fixed the cell to a digit not in `digits`.
bool Keep(CBandState& state, int cell, unsigned digits);

// Searches for solutions of a position that Load, Place or Keep left, as `query`
// asks. Every solution is found exactly once, so `found` below the limit on a search that
// was not aborted is the number of solutions.
void FindSolutions(const CBandState& state, CEngineQuery& query);

}  // namespace band_engine

}  // namespace VELMO_ISA
