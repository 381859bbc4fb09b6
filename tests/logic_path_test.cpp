// The rating's path, step by step, over the whole range of the scale: each step right for the
// solution, and the one a hint finds. RatePuzzle carries what it learnt from step to step
// (where a technique found nothing, the nested chains' answers), FindEasiestStep starts
// afresh, and along the path both must take the same step.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "bench_puzzles.h"
#include "logic.h"
#include "test_support.h"

namespace {

// Under the sanitizers a quarter of each sample is followed.
constexpr size_t kSanitizerStride = kSanitized ? 4 : 1;

// All a step says, so that two steps compare whole and a difference shows.
std::string Describe(const CStep& step) {
    std::string text = FormatStep(step) + " [technique " + std::to_string(int(step.technique)) +
                       ", rating " + std::to_string(step.rating) + ", unit " +
                       std::to_string(step.unit) + ", cells";
    for (uint8_t cell : step.cells) text += " " + std::to_string(cell);
    return text + "]";
}

bool Has(const CCandidateGrid& grid, const CCandidate& c) {
    return grid.values[c.cell] == 0 && (grid.masks[c.cell] >> c.digit & 1) != 0;
}

bool InUnit(int unit, int cell) {
    if (unit < 0 || unit >= kUnitCount) return false;
    const auto& cells = kUnitCells[unit];
    return std::find(cells.begin(), cells.end(), cell) != cells.end();
}

// Whether `step` names the unit its technique is about, which a hint shows: a single's or a
// set's holds its cells and what it places, a locked candidates' its pattern's cells, and a
// direct one's the single it leaves.
bool NamesItsUnit(const CStep& step) {
    using T = CTechnique;
    const auto holds = [&](const auto& cells, auto cellOf) {
        return std::ranges::all_of(cells,
                                   [&](const auto& c) { return InUnit(step.unit, cellOf(c)); });
    };
    const auto cellOf = [](const CCandidate& c) { return int(c.cell); };
    const auto itself = [](uint8_t cell) { return int(cell); };
    switch (step.technique) {
        case T::kHiddenSingleBox:
            return step.unit >= 18 && holds(step.placements, cellOf);
        case T::kHiddenSingleLine:
            return step.unit < 18 && holds(step.placements, cellOf);
        case T::kFullHouse:
        case T::kDirectHiddenPair:
        case T::kDirectHiddenTriple:
        case T::kNakedPair:
        case T::kNakedTriple:
        case T::kNakedQuad:
        case T::kHiddenPair:
        case T::kHiddenTriple:
        case T::kHiddenQuad:
            return holds(step.placements, cellOf) && holds(step.cells, itself);
        case T::kPointing:
        case T::kClaiming:
            return holds(step.cells, itself);
        case T::kDirectPointing:
        case T::kDirectClaiming:
            return holds(step.placements, cellOf);
        default:
            return step.unit >= -1 && step.unit < kUnitCount;
    }
}

// Why `step` is wrong on `grid` for `solution`, or an empty string: it must change something,
// place and remove only candidates there are, agree with the solution, prove itself with
// candidates there are, and name its unit.
std::string StepFault(const CCandidateGrid& grid, const CStep& step, const PuzzleGrid& solution) {
    if (step.placements.empty() && step.eliminations.empty()) return "changes nothing";
    for (const CCandidate& c : step.placements) {
        if (!Has(grid, c)) return "places a digit that is no candidate";
        if (solution[c.cell] != c.digit) return "places a wrong digit";
    }
    for (const CCandidate& c : step.eliminations) {
        if (!Has(grid, c)) return "removes a candidate that is not there";
        if (solution[c.cell] == c.digit) return "removes the solution's digit";
    }
    for (const CCandidate& c : step.pattern) {
        if (!Has(grid, c)) return "its pattern has a candidate that is not there";
    }
    if (!NamesItsUnit(step)) return "names the wrong unit";
    return "";
}

// Where the rated path of `puzzle` goes wrong, or an empty string: each step must be right
// and be the hint on the grid before it, and the path end on the only solution.
std::string PathFault(const PuzzleGrid& puzzle) {
    const CSolutionCount count = CountSolutions(puzzle.data());
    if (count.count != 1) return "not one solution";
    const PuzzleGrid& solution = count.solutions[0];
    const CCandidateGrid start = *CCandidateGrid::FromGivens(puzzle);
    const CRating rating = RatePuzzle(start, true);
    if (rating.outcome != CRating::kRated) return "not rated";
    CCandidateGrid grid = start;
    int hardest = 0;
    for (size_t i = 0; i < rating.path.size(); ++i) {
        const CStep& step = rating.path[i];
        const std::string taken = Describe(step);
        const std::string at = "step " + std::to_string(i) + ", " + taken + ": ";
        if (const std::string fault = StepFault(grid, step, solution); !fault.empty()) {
            return at + fault;
        }
        const std::optional<CStep> hint = FindEasiestStep(grid);
        if (!hint) return at + "no hint";
        if (Describe(*hint) != taken) return at + "the hint is " + Describe(*hint);
        hardest = std::max(hardest, step.rating);
        ApplyStep(grid, step);
    }
    if (grid.values != solution) return "the path does not end on the solution";
    if (rating.solution != solution) return "the rating's solution is not the solution";
    if (hardest != rating.rating) return "the rating is not the path's hardest step";
    return "";
}

void ExpectRightPaths(const std::string& file, const std::vector<PuzzleGrid>& puzzles) {
    ASSERT_FALSE(puzzles.empty()) << file;
    for (const PuzzleGrid& puzzle : puzzles) {
        EXPECT_EQ(PathFault(puzzle), "") << file << ": " << GridToText(puzzle);
    }
}

std::vector<PuzzleGrid> BenchGrids(const std::string& file, size_t stride) {
    std::vector<PuzzleGrid> grids;
    for (const CBenchPuzzle& puzzle : ReadBenchPuzzles(file, stride)) grids.push_back(puzzle.grid);
    return grids;
}

// Rated 1.2 to 9.1: every line of the bank's samples. A memo that skips a technique wrongly
// does so on a few puzzles in a thousand, so a sample of them would miss it.
TEST(LogicPath, StepsAreRightAndAreTheHintsOnTheBankSamples) {
    for (const char* file : {"exchange-below5-sample.txt", "exchange-5to9-sample.txt",
                             "exchange-5to9-heldout.txt", "exchange-diabolical-sample.txt"}) {
        ExpectRightPaths(file, BenchGrids(file, kSanitizerStride));
    }
}

// Rated about 9.5 to 11.5, where the nested chains' answers are carried along the path.
TEST(LogicPath, StepsAreRightAndAreTheHintsOnTheHardestLists) {
    ExpectRightPaths("forum-hardest-1106.txt",
                     BenchGrids("forum-hardest-1106.txt", 60 * kSanitizerStride));
    ExpectRightPaths("forum-hardest-1905-11plus.txt",
                     BenchGrids("forum-hardest-1905-11plus.txt", 300 * kSanitizerStride));
}

// An older list of hard puzzles, rated from 2 to above 9: every fourth.
TEST(LogicPath, StepsAreRightAndAreTheHintsOnTop1465) {
    const std::vector<PuzzleGrid> all = ReadPuzzleFile("top1465.txt");
    std::vector<PuzzleGrid> sample;
    for (size_t i = 0; i < all.size(); i += 4 * kSanitizerStride) sample.push_back(all[i]);
    ExpectRightPaths("top1465.txt", sample);
}

}  // namespace
