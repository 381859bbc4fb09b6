// Helpers shared by the solver and batch-solver tests: grids as text, a scripted platform,
// and the shared puzzle collections.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "grid_solver.h"

// 81 characters, '1'-'9' a digit, '.' or '0' empty; any white space in `text` is ignored so
// that grids can be written row by row.
PuzzleGrid GridFromText(std::string_view text);
std::string GridToText(const PuzzleGrid& grid);

// True when `solution` is complete, breaks no rule, and keeps every given of `puzzle`.
bool IsSolutionOf(const PuzzleGrid& solution, const PuzzleGrid& puzzle);

// The puzzle lines of a shared collection (comments and CRLF handled), at most `limit`.
std::vector<PuzzleGrid> ReadPuzzleFile(const std::string& name, size_t limit = SIZE_MAX);

// A platform whose clock and answers the test scripts, and which records what was asked.
class CFakePlatform final : public CSolverPlatform {
  public:
    // Called with the number of earlier readings; the default clock stands still at 0.
    std::function<uint32_t(int reading)> clock = [](int) { return 0u; };
    std::deque<bool> answers;  // answers to give, in order; asking beyond them fails the test

    int readings = 0;
    int beeps = 0;
    std::vector<std::string> questions;

    uint32_t TickCount() override { return clock(readings++); }
    void QuestionBeep() override { ++beeps; }
    bool AskYesNo(std::string_view text) override;
};

// The first complete grid in the search order: what an empty grid solves to.
inline constexpr std::string_view kEmptyGridSolution =
    "123456789456789123789123456231674895875912364694538217317265948542897631968341572";
