// Helpers shared by the solver and batch-solver tests: grids as text, a scripted platform,
// the test corpus in tests/data/, and the shared puzzle collections.
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

// One grid of the test corpus, a line "puzzle:count:solution" of a file in tests/data/.
struct CCorpusEntry {
    std::string file;
    size_t line = 0;
    PuzzleGrid puzzle{};
    int count = 0;         // solutions up to two: 0, 1, or 2 for two or more
    std::string solution;  // Solve's answer as 81 digits, empty when there is none
};

// The files of the corpus: unique.txt, multiple.txt, near-empty.txt, none.txt,
// conflicting.txt, and crlf.txt (a mix of them with CRLF line ends).
std::vector<std::string> CorpusFiles();
std::string CorpusPath(const std::string& file);

// The grids of one corpus file in file order; a malformed line fails the calling test.
std::vector<CCorpusEntry> ReadCorpus(const std::string& file);

// The shared puzzle collections are optional: the folder VELMO_PUZZLE_DIR names may be
// missing. Tests that read them are registered with velmo_add_gtest's COLLECTIONS argument,
// which labels them "collections" and has them skipped when the folder is missing; a test
// may also skip by itself with VELMO_SKIP_WITHOUT_COLLECTIONS().
bool HaveCollections();
#define VELMO_SKIP_WITHOUT_COLLECTIONS() \
    if (!HaveCollections()) GTEST_SKIP() << "no puzzle collections at " VELMO_PUZZLE_DIR

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
