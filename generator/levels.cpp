// The levels' options and the one call that makes a puzzle of a level.
#include "levels.h"

CGeneratorOptions LevelOptions(int level, bool symmetric, uint64_t seed) {
    CGeneratorOptions options;
    options.minRating = kLevels[size_t(level)].minRating;
    options.maxRating = kLevels[size_t(level)].maxRating;
    // The half turn is the symmetry most published puzzles have.
    options.symmetry = symmetric ? CSymmetry::kRotate180 : CSymmetry::kNone;
    options.seed = seed;
    return options;
}

std::optional<CGeneratedPuzzle> MakeLevelPuzzle(
    int level, bool symmetric, uint64_t seed, unsigned threads, std::stop_token stop,
    const std::function<void(const CRunProgress&)>& progress) {
    CGenerator generator(LevelOptions(level, symmetric, seed));
    std::optional<CGeneratedPuzzle> made;
    generator.Run(
        1, threads, std::chrono::nanoseconds(0), std::move(stop),
        [&made](const CGeneratedPuzzle& puzzle) {
            made = puzzle;
            return true;
        },
        progress, std::chrono::milliseconds(100));
    return made;
}
