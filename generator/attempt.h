// What a run prepares once from its options, and one attempt: the puzzle that attempt k
// makes, which depends only on the options, the seed and k.
#pragma once

#include <optional>
#include <stop_token>
#include <string>
#include <utility>
#include <vector>

#include "generator.h"
#include "random.h"
#include "symmetry.h"

namespace generator {

inline constexpr int kLeastGivens = 17;  // no puzzle with fewer has one solution
// The number of givens a puzzle that need not be minimal stops at when no range is asked.
inline constexpr std::pair<int, int> kLooseGivens = {24, 32};

struct CPrepared {
    explicit CPrepared(CGeneratorOptions opts);

    std::string Check(int* seedIndex) const;
    std::optional<CGeneratedPuzzle> Attempt(uint64_t attempt, std::stop_token stop) const;

    CGeneratorOptions options;
    std::vector<COrbit> orbits;         // of the symmetry
    std::vector<COrbit> patternOrbits;  // those of the pattern's cells
    int patternGivens = 0;
    int bandMin = 0, bandMax = kScaleTop;  // the band, narrowed to the techniques' ratings
    bool rate = true;                      // every puzzle is rated
    int leastGivens = kLeastGivens, mostGivens = kCellCount;

  private:
    std::optional<PuzzleGrid> FromGrid(CRandom& random, PuzzleGrid& solution) const;
    std::optional<PuzzleGrid> FromPattern(CRandom& random, PuzzleGrid& solution,
                                          std::stop_token stop) const;
    std::optional<PuzzleGrid> FromSeed(CRandom& random, PuzzleGrid& solution,
                                       std::stop_token stop) const;
};

}  // namespace generator
