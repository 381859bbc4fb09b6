// What velmo-solve writes for each puzzle: the solution, the count of solutions, the rating or
// the logical steps, or the puzzle itself when it passes a filter, as a line, a 9-line grid or
// a row of a table.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "grid_solver.h"
#include "puzzle_reader.h"
#include "unattended_platform.h"

enum class COutputFormat {
    kLine,   // one line a puzzle
    kGrid,   // 9 lines of 9 cells and a blank line
    kTsv,    // tab-separated: puzzle, count, solution, comment, after a header line
    kSteps,  // the puzzle's line, its logical steps one a line, and a blank line
};

// Bits of CAnswerOptions::kinds: which puzzles a filter lets through, by their solutions.
inline constexpr unsigned kKindNone = 1;      // no solution (givens in conflict included)
inline constexpr unsigned kKindUnique = 2;    // exactly one
inline constexpr unsigned kKindMultiple = 4;  // two or more

struct CAnswerOptions {
    bool count = false;  // answer with the number of solutions, 0, 1 or 2+
    bool rate = false;   // answer with the rating and the hardest technique
    COutputFormat format = COutputFormat::kLine;
    unsigned kinds = 0;  // non-zero: write only the puzzles of these kinds, not answers
    // Either set: write only the puzzles rated within these bounds (tenths, included).
    std::optional<int> minRating, maxRating;

    bool RatingFilter() const { return minRating || maxRating; }
    // The logic solver rates each puzzle; pencil-mark puzzles are read only then.
    bool Rating() const { return rate || RatingFilter() || format == COutputFormat::kSteps; }
};

// What --stats reports.
struct CTally {
    size_t puzzles = 0;
    size_t solved = 0;  // with at least one solution
    size_t invalid = 0;
    size_t rated = 0;

    void Add(const CTally& other) {
        puzzles += other.puzzles;
        solved += other.solved;
        invalid += other.invalid;
        rated += other.rated;
    }
};

// The header line that the options' format writes before any answer; empty when it has none.
std::string_view FormatHeader(const CAnswerOptions& options);

// Solves or rates puzzles and puts their answers into text; each solving thread has its own.
class CPuzzleAnswerer {
  public:
    explicit CPuzzleAnswerer(const CAnswerOptions& options)
        : m_options(options), m_solver(m_platform) {}
    CPuzzleAnswerer(const CPuzzleAnswerer&) = delete;
    CPuzzleAnswerer& operator=(const CPuzzleAnswerer&) = delete;

    // Appends the answer to `entry` to `out`, and for an invalid one the message
    // "velmo-solve: FILE:LINE: reason" to `err`; counts it in `tally`.
    void Answer(const CPuzzleEntry& entry, std::string_view file, std::string& out,
                std::string& err, CTally& tally);

  private:
    void AnswerRated(const CPuzzleLine& parsed, std::string& out, CTally& tally);
    void WriteInvalid(std::string_view reason, std::string& out) const;
    void WriteGrid(const char* cells, std::string& out) const;
    void WriteComment(const CPuzzleLine& parsed, std::string& out) const;
    void WritePuzzle(const CPuzzleLine& parsed, std::string& out) const;

    CAnswerOptions m_options;
    CUnattendedPlatform m_platform;
    CGridSolver m_solver;
};
