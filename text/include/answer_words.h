// The words that stand for an answer where a puzzle has no solution or rating to write, said
// once for velmo-solve and the Python module, which write the same answers.
#pragma once

#include <string_view>

inline constexpr std::string_view kAnswerInvalid = "invalid";  // not a puzzle
inline constexpr std::string_view kAnswerNoSolution = "no solution";
inline constexpr std::string_view kAnswerSolved = "solved";  // rating a grid with no empty cell

// The count of solutions, counted up to two: "0", "1" or "2+" for `count` 0, 1 or 2.
constexpr std::string_view CountAnswer(int count) {
    constexpr std::string_view kCounts[] = {"0", "1", "2+"};
    return kCounts[count];
}
