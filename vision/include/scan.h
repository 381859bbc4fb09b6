// Reading a puzzle from a picture: the grid found, each cell read (empty or a digit, with how
// sure the reading is) and the reading checked by the solver. No Qt; every front end (the
// window, velmo-scan, libvelmo-scan, the Python module) calls this.
//
// Cell = 9 * r + c as everywhere in velmo; value 0 is an empty cell, 1-9 a digit.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "grid.h"

inline constexpr int kCellValues = 10;  // 0 (empty) and the digits 1-9
using CellProbabilities = std::array<float, kCellValues>;

// How a scan ended. Every outcome but kBadPicture and kNoPuzzle carries a full reading.
enum class CScanStatus : uint8_t {
    kRead,              // the puzzle as read has exactly one solution
    kCorrected,         // the solver changed the cells of `changes` to get exactly one
    kConflict,          // two equal digits in a unit as read, and no allowed change mends it
    kNoSolution,        // consistent as read, but without a solution, and not mended
    kSeveralSolutions,  // more than one solution as read, and not mended
    kNoPuzzle,          // the picture holds no grid of 9 x 9 cells
    kBadPicture,        // the bytes are not a picture this reader takes (see `message`)
};

// One cell the solver changed: what the picture showed and what the puzzle now holds.
struct CCellChange {
    uint8_t cell = 0;
    uint8_t read = 0;     // the most probable reading
    uint8_t written = 0;  // the reading the correction chose instead
};

// A point of the picture as stored, after its orientation tag is applied; pixels.
struct CPicturePoint {
    float x = 0, y = 0;
};

struct CScanResult {
    CScanStatus status = CScanStatus::kNoPuzzle;
    PuzzleGrid puzzle{};  // the reading, with `changes` applied
    // Each cell's probability of each value; the value written in `puzzle` has
    // `certainty[cell]`.
    std::array<CellProbabilities, kCellCount> probabilities{};
    std::array<float, kCellCount> certainty{};
    std::vector<CCellChange> changes;
    // Why the picture was not read, or the conflict found (empty for kRead and kCorrected).
    std::string message;
    // The grid's outer corners, top-left, top-right, bottom-right, bottom-left as the puzzle
    // reads; and how many quarter turns clockwise the picture was from upright.
    std::array<CPicturePoint, 4> corners{};
    int quarterTurns = 0;
};

// Below this certainty a cell is one a person should look at.
inline constexpr float kUnsureBelow = 0.9f;

struct CScanOptions {
    // When not null, receives a PNG of the picture with the grid found and each cell's
    // reading drawn on it (empty if the picture could not be decoded).
    std::vector<uint8_t>* debugPicture = nullptr;
};

// Reads an encoded picture (PNG, JPEG, BMP, WebP, TIFF or PNM; the orientation tag applied).
// Any bytes are safe: a file that is not such a picture, is damaged, or would take more than
// a few hundred megabytes to decode ends with kBadPicture and a message naming the reason.
CScanResult ScanPicture(std::span<const uint8_t> encoded, const CScanOptions& options = {});

// Reads pixels already decoded: `channels` 1 (grey) or 3 (red, green, blue), 8 bits each,
// rows `stride` bytes apart. kBadPicture for sizes out of range.
CScanResult ScanPixels(const uint8_t* pixels, int width, int height, int channels, size_t stride,
                       const CScanOptions& options = {});

// The status as one word for programs ("read", "corrected", "conflict", "no solution",
// "several solutions", "no puzzle", "bad picture").
const char* ScanStatusWord(CScanStatus status);
