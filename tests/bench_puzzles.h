// The puzzle files of bench/data as the logic tests read them: each puzzle with the rating
// on the community's scale that its line may carry after it ("5.4" or "ER=5.4").
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "puzzle_reader.h"

// The sanitizers run the logic's chains ten to twenty times slower: the tests that read these
// files follow fewer of their puzzles then.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kSanitized = true;
#else
inline constexpr bool kSanitized = false;
#endif
#else
inline constexpr bool kSanitized = false;
#endif

struct CBenchPuzzle {
    uint64_t line = 0;
    PuzzleGrid grid{};
    int published = -1;  // the line's rating in tenths, or -1 without one
};

// The puzzles of bench/data/`name` in file order, every `stride`-th from the first; a file
// that cannot be read, or a line that is no puzzle, fails the calling test.
inline std::vector<CBenchPuzzle> ReadBenchPuzzles(const std::string& name, size_t stride = 1) {
    const CPuzzleFile file = LoadPuzzleFile(std::string(VELMO_BENCH_DATA_DIR "/") + name);
    if (!file.error.empty()) ADD_FAILURE() << file.error;
    std::vector<CBenchPuzzle> puzzles;
    size_t index = 0;
    for (const CPuzzleEntry& entry : file.entries) {
        if (entry.parsed.kind != CPuzzleLine::kPuzzle) {
            ADD_FAILURE() << name << ":" << entry.line << ": " << entry.parsed.error;
            continue;
        }
        if (index++ % stride != 0) continue;
        CBenchPuzzle puzzle;
        puzzle.line = entry.line;
        puzzle.grid = entry.parsed.grid;
        std::string rest = entry.parsed.comment;
        if (const size_t er = rest.find("ER="); er != std::string::npos) rest.erase(0, er + 3);
        char* end = nullptr;
        const double value = std::strtod(rest.c_str(), &end);
        if (end != rest.c_str()) puzzle.published = int(std::lround(value * 10));
        puzzles.push_back(puzzle);
    }
    return puzzles;
}
