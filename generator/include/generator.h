// The generator: new puzzles with one solution, of a chosen difficulty, symmetry and pattern,
// made from random solution grids or around seed puzzles. No Qt and no I/O: the exact solver
// proves each puzzle's one solution, the logic's rating places it on the difficulty scale.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "grid.h"
#include "logic.h"

// The symmetries the givens of a puzzle may have.
enum class CSymmetry : uint8_t {
    kNone,
    kRotate180,        // half a turn about the centre
    kRotate90,         // a quarter turn
    kMirrorLeftRight,  // the left half mirrors the right
    kMirrorTopBottom,
    kBothMirrors,
    kDiagonal,  // mirrored in the diagonal from top left to bottom right
    kAntiDiagonal,
    kBothDiagonals,
};
inline constexpr int kSymmetryCount = int(CSymmetry::kBothDiagonals) + 1;

// The name the command line and the libraries use: "none", "rotate180", "rotate90",
// "left-right", "top-bottom", "both-mirrors", "diagonal", "anti-diagonal", "both-diagonals".
std::string_view SymmetryName(CSymmetry symmetry);
// The symmetry of a name, in any case; nullopt for no such name.
std::optional<CSymmetry> SymmetryByName(std::string_view name);

// The top of the difficulty scale, in tenths: no band may start above it.
inline constexpr int kScaleTop = 120;

// The techniques of the table that `name` names, as --rate writes them ("X-Wing", "Hidden
// Single"), in any case and with or without its spaces and hyphens, or the start of one name
// alone; a name that several techniques share ("X-Chain") names them all. Bit t of `mask` for
// CTechnique t; `error` says why there are none (unknown, or which names it could start).
struct CTechniqueChoice {
    uint64_t mask = 0;
    std::string name;  // the name as --rate writes it
    std::string error;
};
CTechniqueChoice TechniqueByName(std::string_view name);

// The ratings a step of one of `mask`'s techniques may have, in tenths: [first, second].
std::pair<int, int> TechniqueRatings(uint64_t mask);

struct CGeneratorOptions {
    int minRating = 0;          // tenths: a puzzle is kept when rated from minRating
    int maxRating = kScaleTop;  //   to maxRating, both included
    uint64_t techniques = 0;    // non-zero: its hardest step is one of these (TechniqueByName)
    CSymmetry symmetry = CSymmetry::kNone;
    int minGivens = 0;  // 0: no least number of givens
    int maxGivens = 0;  // 0: no most
    // Cells that are the givens, exactly; empty: any.
    std::optional<std::array<bool, kCellCount>> pattern;
    // No given (no symmetric set of givens) can go without a second solution.
    bool minimal = true;
    // When not empty, puzzles are made around these (each with one solution): a few givens
    // changed, taken away or added. They are never written out.
    std::vector<PuzzleGrid> seeds;
    // Puzzles that no puzzle made may equal up to the grid's symmetries and relabelling (the
    // seeds are always among them).
    std::vector<PuzzleGrid> excluded;
    // The same, given by their canonical forms (CanonicalForm), which cost nothing to take in:
    // a long list known in advance, such as the collections a program ships with.
    std::vector<PuzzleGrid> excludedForms;
    uint64_t seed = 0;
    // Rate every puzzle, band or not; without a band or technique, false leaves them unrated.
    bool rate = true;
};

// Why the options cannot be met, or empty when they can: a band above the scale's top or
// upside down, below 1.0, a technique outside the band, a pattern without the symmetry or
// with fewer than 17 givens or a number outside the range, a range of givens upside down or
// below 17 or that the symmetry's sets of cells cannot sum to, a seed without exactly one
// solution or without the symmetry or pattern. `seedIndex` receives the index of the seed at
// fault, or -1.
std::string CheckOptions(const CGeneratorOptions& options, int* seedIndex = nullptr);

struct CGeneratedPuzzle {
    PuzzleGrid puzzle{};    // 0 for an empty cell
    PuzzleGrid solution{};  // its one solution
    int rating = 0;         // tenths; 0 when not rated
    CTechnique hardest = CTechnique::kFullHouse;
    int givens = 0;
    uint64_t attempt = 0;  // the attempt of the run that made it
};

namespace generator {
struct CPrepared;
}

// How a run ended.
enum class CRunEnd : uint8_t {
    kDone,       // every puzzle asked for was found
    kTimeLimit,  // the time limit struck first
    kStopped,    // the stop was requested, or the caller's delivery said stop
};

struct CRunProgress {
    int found = 0;  // delivered so far
    int asked = 0;
    uint64_t tried = 0;  // attempts finished
    uint64_t kept = 0;   // of those, the ones that gave a puzzle within the options
    double seconds = 0;  // since the run began
};

// Makes puzzles on a number of threads. Attempt k of a run depends only on the options, the
// seed and k; the puzzles come out in the order of their attempts, a puzzle equal to one
// before it or to an excluded one (up to symmetry and relabelling) left out, so the same
// options and seed give the same puzzles in the same order on any number of threads.
class CGenerator {
  public:
    // `options` must have passed CheckOptions.
    explicit CGenerator(CGeneratorOptions options);
    ~CGenerator();
    CGenerator(const CGenerator&) = delete;
    CGenerator& operator=(const CGenerator&) = delete;

    // Runs until `count` puzzles are delivered, `timeLimit` (when positive) has passed or
    // `stop` is requested. `deliver` gets each puzzle in order, on the calling thread, as
    // soon as it and all before it are found; it returns false to end the run. A run that
    // ends early delivers the puzzles it found, in order, before it returns. `progress`, when
    // set, is called on the calling thread about every `progressEvery`.
    CRunEnd Run(int count, unsigned threads, std::chrono::nanoseconds timeLimit,
                std::stop_token stop, const std::function<bool(const CGeneratedPuzzle&)>& deliver,
                const std::function<void(const CRunProgress&)>& progress = {},
                std::chrono::nanoseconds progressEvery = std::chrono::milliseconds(200));

    // Attempt `attempt` alone, on this thread: its puzzle when it makes one within the
    // options (before any comparison with other puzzles), else nullopt. nullopt too when
    // `stop` is requested.
    std::optional<CGeneratedPuzzle> Attempt(uint64_t attempt, std::stop_token stop = {}) const;

  private:
    std::unique_ptr<const generator::CPrepared> m_prepared;
};

// The form of a puzzle with one solution (`solution`) that every puzzle made from it by the
// grid's symmetries (rows swapped within a band, bands swapped, the same for columns and
// stacks, the grid mirrored in its diagonal) and by relabelling its digits shares, and that
// no other puzzle has: the least of them as 81 digits, 0 for an empty cell, with the digits
// relabelled in the order they first appear. A full grid is its own solution.
PuzzleGrid CanonicalForm(const PuzzleGrid& puzzle, const PuzzleGrid& solution);

// A number that puzzles of one form always share and puzzles of different forms seldom do;
// a cheap first test before CanonicalForm.
uint64_t FormInvariant(const PuzzleGrid& puzzle);
