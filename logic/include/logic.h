// Solving by logic alone, as a person would: a grid of candidates, the techniques of the
// community's difficulty scale as steps, the path of easiest steps, and the rating.
// No Qt and no I/O; built on grid.h's vocabulary (cells, units, digit masks).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "grid.h"
#include "grid_solver.h"

// The techniques, in the order the path of easiest steps tries them: the ids of
// technique_rows.inc's rows.
enum class CTechnique : uint8_t {
#define VELMO_TECHNIQUE(id, ...) id,
#include "technique_rows.inc"
#undef VELMO_TECHNIQUE
};
// Every technique, in that order.
inline constexpr CTechnique kTechniques[] = {
#define VELMO_TECHNIQUE(id, ...) CTechnique::id,
#include "technique_rows.inc"
#undef VELMO_TECHNIQUE
};
inline constexpr int kTechniqueCount = int(std::size(kTechniques));

// The technique's name as the community writes it ("Hidden Single", "X-Wing", ...).
std::string_view TechniqueName(CTechnique technique);
// Its name in the window's language, Chinese, in UTF-8 ("宫内排除", "X翼", ...).
std::string_view TechniqueChineseName(CTechnique technique);

// One candidate: digit `digit` (1-9) in cell `cell` (0-80).
struct CCandidate {
    uint8_t cell = 0;
    uint8_t digit = 0;
    friend bool operator==(const CCandidate&, const CCandidate&) = default;
};

// A puzzle as a person works on it: placed digits, and each empty cell's candidates.
struct CCandidateGrid {
    PuzzleGrid values{};                       // 0 for an empty cell, else its digit
    std::array<uint16_t, kCellCount> masks{};  // empty cells: bit d set while d is possible

    // The givens of `grid` (values 0-9), each empty cell's candidates being the digits no
    // cell of its units holds. nullopt when a cell is above 9.
    static std::optional<CCandidateGrid> FromGivens(const PuzzleGrid& grid);
    // A pencil-mark puzzle: a mask of candidates per cell (bits 1-9). Which cells count as
    // placed is the logic's rule, stated at the definition.
    static std::optional<CCandidateGrid> FromPencilMarks(
        const std::array<uint16_t, kCellCount>& masks);
};

// One end of a chain's link: digit `digit` in one cell, or in a group of two or three cells
// of one box and one line (the end of a grouped link).
struct CLinkEnd {
    uint8_t digit = 0;
    uint8_t size = 0;                // the cells used, 1-3
    std::array<uint8_t, 3> cells{};  // the first `size` are the end's cells
    friend bool operator==(const CLinkEnd&, const CLinkEnd&) = default;
};

// One link of a chain, read from `from` to `to`. A strong link: when `from` is not the digit,
// `to` is (the only other candidate of a cell, the only other place of a digit in a unit, or
// in a dynamic chain the last candidate the chain leaves); a weak link: when `from` is the
// digit, `to` is not (they see each other). Solvers draw strong links solid, weak ones dashed.
struct CChainLink {
    CLinkEnd from, to;
    bool strong = false;
    friend bool operator==(const CChainLink&, const CChainLink&) = default;
};

// One logical step: what it changes and the pattern that proves it.
struct CStep {
    CTechnique technique = CTechnique::kFullHouse;
    int rating = 0;                        // tenths of the scale: 23 for 2.3
    int unit = -1;                         // the row, column or box to look at (grid.h's
                                           // numbering), or -1 when no one unit says it
    std::vector<uint8_t> cells;            // the pattern's cells
    std::vector<CCandidate> pattern;       // the candidates of the pattern that prove it
    std::vector<CCandidate> placements;    // digits it places
    std::vector<CCandidate> eliminations;  // candidates it removes
    // A chain's links, each once, in the order they are followed from the chain's start (its
    // assumption, or the first strong link); a link's `from` is the start or an earlier
    // link's `to`. Empty for a technique that is no chain. A nested chain has its main
    // chain's links: what the nested steps found there starts links of its own.
    std::vector<CChainLink> links;
};

// The step in the community's notation, e.g. "Hidden Single: r4c7=5" or
// "X-Wing: 7 in r2,r8 c3,c6 => r4c3<>7, r5c6<>7".
std::string FormatStep(const CStep& step);

// The easiest step available on `grid`, the one the rating takes. nullopt when no technique
// applies (the grid has no solution or several), or when `stop` was requested.
std::optional<CStep> FindEasiestStep(const CCandidateGrid& grid, std::stop_token stop = {});

// Places the step's digits (and removes them from their units' candidates) and removes its
// eliminations.
void ApplyStep(CCandidateGrid& grid, const CStep& step);

// The rating of a puzzle: the highest step value along its path of easiest steps.
struct CRating {
    enum Outcome : uint8_t {
        kRated,
        kNoSolution,
        kSeveralSolutions,
        kStopped,  // `stop` was requested before the path was complete
    };
    Outcome outcome = kNoSolution;
    int rating = 0;                               // tenths of the scale, when kRated
    CTechnique hardest = CTechnique::kFullHouse;  // the technique of the hardest step
    std::vector<CStep> path;                      // every step, when asked for
    PuzzleGrid solution{};                        // the grid the path ends on, when kRated
};

// Rates `grid`. The path is kept when `keepPath`, its steps with their chains' links; a rating
// alone spends nothing on links.
CRating RatePuzzle(const CCandidateGrid& grid, bool keepPath = false, std::stop_token stop = {});

// RatePuzzle for a caller that wants only ratings up to `maxRating` (tenths): nullopt as soon
// as the path takes a step rated above it, without walking the rest, and without trying the
// techniques whose every step is rated above it. Otherwise what RatePuzzle gives (the path
// not kept), the same rating and hardest technique.
std::optional<CRating> RatePuzzleUpTo(const CCandidateGrid& grid, int maxRating,
                                      std::stop_token stop = {});

// The solutions of `grid` within its candidates, counted up to two, with the first two found;
// for a grid of givens alone, what the exact solver counts. When `stop` is requested, stops
// early with what it found so far.
CSolutionCount CountCandidateSolutions(const CCandidateGrid& grid, std::stop_token stop = {});
