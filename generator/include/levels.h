// The window's levels of difficulty, bands that tile the scale from 1.0 to its top, and the
// one call that makes a new puzzle of a level, shared by the window and its benchmark.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <stop_token>

#include "generator.h"

// A level: puzzles rated from `minRating` to `maxRating` tenths, both included.
struct CLevel {
    int minRating;
    int maxRating;
};

// From the easiest to the hardest; each band starts a tenth above the one before it ends.
inline constexpr std::array<CLevel, 6> kLevels = {{
    {10, 15},
    {16, 25},
    {26, 49},
    {50, 69},
    {70, 89},
    {90, kScaleTop},
}};

// The options of a new minimal puzzle of level `level` (an index of kLevels), its givens
// symmetric under a half turn when `symmetric`, drawn from `seed`.
CGeneratorOptions LevelOptions(int level, bool symmetric, uint64_t seed);

// One new puzzle of `level`, made on `threads` threads; nullopt when `stop` was requested
// first. `progress`, when set, is called on the calling thread about every 100 ms.
std::optional<CGeneratedPuzzle> MakeLevelPuzzle(
    int level, bool symmetric, uint64_t seed, unsigned threads, std::stop_token stop,
    const std::function<void(const CRunProgress&)>& progress = {});
