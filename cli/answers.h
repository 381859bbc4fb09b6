// What velmo-solve writes for each puzzle: the solution, the count of solutions, or the
// puzzle itself when it passes a filter, as a line, a 9-line grid or a row of a table.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "grid_solver.h"
#include "puzzle_reader.h"
#include "unattended_platform.h"

enum class COutputFormat {
    kLine,  // one line a puzzle
    kGrid,  // 9 lines of 9 cells and a blank line
    kTsv,   // tab-separated: puzzle, count, solution, comment, after a header line
};

// Bits of CAnswerOptions::kinds: which puzzles a filter lets through, by their solutions.
inline constexpr unsigned kKindNone = 1;      // no solution (givens in conflict included)
inline constexpr unsigned kKindUnique = 2;    // exactly one
inline constexpr unsigned kKindMultiple = 4;  // two or more

struct CAnswerOptions {
    bool count = false;  // answer with the number of solutions, 0, 1 or 2+
    COutputFormat format = COutputFormat::kLine;
    unsigned kinds = 0;  // non-zero: write only the puzzles of these kinds, not answers
};

// What --stats reports.
struct CTally {
    size_t puzzles = 0;
    size_t solved = 0;  // with at least one solution
    size_t invalid = 0;

    void Add(const CTally& other) {
        puzzles += other.puzzles;
        solved += other.solved;
        invalid += other.invalid;
    }
};

// The header line that the format writes before any answer; empty when it has none.
std::string_view FormatHeader(COutputFormat format);

// Solves puzzles and puts their answers into text; each solving thread has its own.
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
    void WriteGrid(const char* cells, std::string& out) const;
    void WriteComment(const CPuzzleEntry& entry, std::string& out) const;

    CAnswerOptions m_options;
    CUnattendedPlatform m_platform;
    CGridSolver m_solver;
};
