// The hint for a person solving by hand, below every front end: their grid built from the
// puzzle, their entries and strike-outs; their mistakes named before any step; and the one
// counter of a candidate grid's solutions that decides it. Also the technique table's rules
// that the walk relies on.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <map>
#include <set>
#include <stop_token>

#include "hint.h"
#include "logic.h"
#include "technique_table.h"
#include "test_support.h"

namespace {

constexpr std::string_view kPuzzle =
    "002000100415000638700000004600050009080030070007901800000020000308070405000403000";

class LogicHint : public ::testing::Test {
  protected:
    void SetUp() override {
        puzzle = *CCandidateGrid::FromGivens(GridFromText(kPuzzle));
        const CSolutionCount count = CountSolutions(puzzle.values.data());
        ASSERT_EQ(count.count, 1);
        solution = count.solutions[0];
    }

    int FirstEmpty() const {
        return int(std::ranges::find(puzzle.values, 0) - puzzle.values.begin());
    }

    CCandidateGrid puzzle;
    PuzzleGrid solution;
};

TEST_F(LogicHint, TheWorkingGridHoldsEntriesAndStrikeOutsWhereThePuzzleLeavesRoom) {
    const int empty = FirstEmpty();
    const int given = int(std::ranges::find_if(puzzle.values, [](uint8_t v) { return v; }) -
                          puzzle.values.begin());
    PuzzleGrid entries{};
    entries[empty] = solution[empty];
    entries[given] = uint8_t(puzzle.values[given] % 9 + 1);  // over a given: not the person's
    CandidateMasks struck{};
    struck[given] = kAllDigits;
    const int other = int(std::find(puzzle.values.begin() + empty + 1, puzzle.values.end(), 0) -
                          puzzle.values.begin());
    const int gone = std::countr_zero(unsigned(puzzle.masks[other]));
    struck[other] = uint16_t(1u << gone);

    const CCandidateGrid working = WorkingGrid(puzzle, entries, struck);
    EXPECT_EQ(working.values[empty], solution[empty]);
    EXPECT_EQ(working.masks[empty], 0);
    EXPECT_EQ(working.values[given], puzzle.values[given]);
    for (uint8_t peer : kCellPeers[empty]) {
        EXPECT_FALSE(working.masks[peer] >> solution[empty] & 1) << int(peer);
    }
    EXPECT_FALSE(working.masks[other] >> gone & 1);
}

TEST_F(LogicHint, MistakesComeBeforeAnyStepEntriesFirst) {
    const int empty = FirstEmpty();
    PuzzleGrid entries{};
    CandidateMasks struck{};
    struck[empty] = uint16_t(1u << solution[empty]);
    CHint hint = FindHint(puzzle, WorkingGrid(puzzle, entries, struck));
    EXPECT_EQ(hint.outcome, CHint::kWrongStrikeOuts);
    ASSERT_EQ(hint.wrongCandidates.size(), 1u);
    EXPECT_EQ(hint.wrongCandidates[0], (CCandidate{uint8_t(empty), solution[empty]}));
    EXPECT_FALSE(hint.step.has_value());

    // Two wrong entries, both named, in the order of the cells, ahead of the strike-out.
    int wrong = 0;
    for (int cell = kCellCount - 1; cell >= 0 && wrong < 2; --cell) {
        if (puzzle.values[cell] != 0 || cell == empty) continue;
        entries[cell] = uint8_t(solution[cell] % 9 + 1);
        ++wrong;
    }
    hint = FindHint(puzzle, WorkingGrid(puzzle, entries, struck));
    EXPECT_EQ(hint.outcome, CHint::kWrongEntries);
    ASSERT_EQ(hint.wrongCells.size(), 2u);
    EXPECT_LT(hint.wrongCells[0], hint.wrongCells[1]);
}

TEST_F(LogicHint, TheStepIsTheEasiestOnThePersonsGridAndASolvedGridSaysSo) {
    PuzzleGrid entries{};
    entries[0] = solution[0];
    const CCandidateGrid working = WorkingGrid(puzzle, entries, {});
    const CHint hint = FindHint(puzzle, working);
    ASSERT_EQ(hint.outcome, CHint::kStep);
    EXPECT_EQ(FormatStep(*hint.step), FormatStep(*FindEasiestStep(working)));
    EXPECT_NE(FormatStep(*hint.step), FormatStep(*FindEasiestStep(puzzle)));

    EXPECT_EQ(FindHint(puzzle, WorkingGrid(puzzle, solution, {})).outcome, CHint::kSolved);
}

TEST_F(LogicHint, APuzzleWithoutOneSolutionHasNoHintAndAStopIsNoAnswer) {
    const CCandidateGrid open = *CCandidateGrid::FromGivens({});
    EXPECT_EQ(FindHint(open, open).outcome, CHint::kSeveralSolutions);
    PuzzleGrid clash = puzzle.values;
    clash[FirstEmpty()] =
        clash[std::ranges::find_if(clash, [](uint8_t v) { return v; }) - clash.begin()];
    const CCandidateGrid broken = *CCandidateGrid::FromGivens(clash);
    EXPECT_EQ(FindHint(broken, broken).outcome, CHint::kNoSolution);

    // Pencil marks that leave a cell without a candidate are no puzzle for FromPencilMarks;
    // the help keeps the grid, and answers that it has no solution.
    CandidateMasks marks{};
    for (int cell = 0; cell < kCellCount; ++cell) {
        marks[cell] =
            puzzle.values[cell] ? uint16_t(1u << puzzle.values[cell]) : puzzle.masks[cell];
    }
    marks[FirstEmpty()] = 0;
    const CCandidateGrid marked = PencilMarkPuzzle(marks);
    EXPECT_EQ(FindHint(marked, marked).outcome, CHint::kNoSolution);

    std::stop_source stop;
    stop.request_stop();
    const CHint stopped = FindHint(marked, marked, stop.get_token());
    EXPECT_EQ(stopped.outcome, CHint::kStopped);
}

TEST_F(LogicHint, GridsAlongThePathAreEachStepsGrid) {
    const CRating rating = RatePuzzle(puzzle, true);
    const std::vector<CCandidateGrid> grids = GridsAlongPath(puzzle, rating.path);
    ASSERT_EQ(grids.size(), rating.path.size());
    EXPECT_EQ(grids[0].values, puzzle.values);
    for (size_t i = 0; i + 1 < grids.size(); ++i) {
        CCandidateGrid next = grids[i];
        ApplyStep(next, rating.path[i]);
        EXPECT_EQ(next.values, grids[i + 1].values) << i;
        EXPECT_EQ(next.masks, grids[i + 1].masks) << i;
    }
}

// The counter of a grid with candidates struck out, where the exact solver cannot answer: it
// finds two different solutions within the candidates, and a stop is never taken for "no
// solution" by the rating.
TEST(LogicCount, CountsWithinTheCandidatesAndAStopIsNoAnswer) {
    CCandidateGrid open = *CCandidateGrid::FromGivens({});
    open.masks[0] = uint16_t(1u << 5) | uint16_t(1u << 7);  // not a grid of givens alone
    const CSolutionCount count = CountCandidateSolutions(open);
    ASSERT_EQ(count.count, 2);
    EXPECT_NE(count.solutions[0], count.solutions[1]);
    for (const PuzzleGrid& solution : count.solutions) {
        EXPECT_TRUE(IsSolutionOf(solution, PuzzleGrid{}));
        EXPECT_TRUE(solution[0] == 5 || solution[0] == 7);
    }

    std::stop_source stop;
    stop.request_stop();
    EXPECT_EQ(CountCandidateSolutions(open, stop.get_token()).count, 0);
    CCandidateGrid one = *CCandidateGrid::FromGivens(GridFromText(kPuzzle));
    uint16_t& first = one.masks[std::ranges::find(one.values, 0) - one.values.begin()];
    first &= uint16_t(first - 1);  // a candidate struck out: no grid of givens alone
    EXPECT_EQ(RatePuzzle(one, false, stop.get_token()).outcome, CRating::kStopped);
}

// The walk calls each finder once in its turn and takes the easiest step of the turn: a
// finder named by two rows must name them in one turn, or it would run twice.
TEST(TechniqueTable, RowsFoundTogetherShareOneTurnAndEveryRowIsNamed) {
    std::map<logic::CFinder, int> turnOf;
    int turn = -1;
    for (const logic::CTechniqueRow& row : logic::kTechniqueTable) {
        SCOPED_TRACE(row.name);
        if (!row.withAbove) ++turn;
        const auto [it, added] = turnOf.emplace(row.find, turn);
        EXPECT_EQ(it->second, turn) << "a finder in two turns";
        EXPECT_FALSE(row.name.empty());
        EXPECT_TRUE(std::ranges::any_of(row.chineseName, [](char c) { return c & 0x80; }));
        EXPECT_GE(row.value, 10);
        EXPECT_LE(row.value, 90);
    }
    EXPECT_FALSE(logic::kTechniqueTable[0].withAbove);
}

}  // namespace
