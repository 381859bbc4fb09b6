// The solver's check of a reading: a puzzle read with a conflict, without a solution or with
// several is mended where a few cells read otherwise give exactly one solution.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "scan.h"

inline constexpr int kMaxChangedCells = 3;
inline constexpr float kMinChangeProbability = 0.2f;  // of a reading a cell may change to

struct CReadingCheck {
    CScanStatus status = CScanStatus::kRead;  // kRead, kCorrected, kConflict, kNoSolution or
                                              // kSeveralSolutions
    PuzzleGrid puzzle{};                      // as read, or mended when kCorrected
    std::vector<CCellChange> changes;         // in cell order
    std::string message;                      // the conflict, when not mended
};

// Takes each cell's most probable value. When that puzzle has not exactly one solution, tries
// changing one cell, then two, then three, each to a value of probability at least
// kMinChangeProbability, the most probable change first; the first that leaves exactly one
// solution is taken. Otherwise the puzzle stays as read and `message` says what is wrong.
CReadingCheck CheckReading(const std::array<CellProbabilities, kCellCount>& probabilities);
