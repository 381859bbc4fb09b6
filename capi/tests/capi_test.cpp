// The C interface: its answers are the solver's on the whole test corpus, from any number
// of threads at once, its ratings and steps the logic solver's, and each kind of bad input
// has its own error and leaves the output.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "logic.h"
#include "test_support.h"
#include "velmo.h"

namespace {

std::vector<CCorpusEntry> WholeCorpus() {
    std::vector<CCorpusEntry> all;
    for (const std::string& file : CorpusFiles()) {
        for (CCorpusEntry& entry : ReadCorpus(file)) all.push_back(std::move(entry));
    }
    return all;
}

// Checks every call of velmo.h on one corpus grid, as text and as bytes.
void CheckEntry(const CCorpusEntry& entry) {
    SCOPED_TRACE(entry.file + ":" + std::to_string(entry.line));
    const std::string text = GridToText(entry.puzzle);

    char solution[VELMO_CELLS + 1] = "unchanged";
    ASSERT_EQ(velmo_solve_text(text.data(), text.size(), solution), entry.solution.empty() ? 0 : 1);
    EXPECT_EQ(solution, entry.solution.empty() ? "unchanged" : entry.solution);
    PuzzleGrid grid = entry.puzzle;
    ASSERT_EQ(velmo_solve(grid.data(), grid.size(), grid.data()), entry.solution.empty() ? 0 : 1);
    if (!entry.solution.empty()) {
        EXPECT_EQ(GridToText(grid), entry.solution);
    }

    char solutions[2][VELMO_CELLS + 1] = {};
    ASSERT_EQ(velmo_count_text(text.data(), text.size(), solutions[0]), entry.count);
    unsigned char grids[2][VELMO_CELLS] = {};
    ASSERT_EQ(velmo_count(entry.puzzle.data(), kCellCount, grids[0]), entry.count);
    for (int i = 0; i < entry.count; ++i) {
        PuzzleGrid counted;
        std::memcpy(counted.data(), grids[i], kCellCount);
        EXPECT_TRUE(IsSolutionOf(counted, entry.puzzle)) << i;
        EXPECT_EQ(GridToText(counted), solutions[i]) << i;
    }
    if (entry.count == 2) {
        EXPECT_NE(std::string(solutions[0]), solutions[1]);
    }
    EXPECT_EQ(velmo_count_text(text.data(), text.size(), nullptr), entry.count);

    EXPECT_EQ(velmo_is_consistent_text(text.data(), text.size()), IsConsistent(grid.data()));
    EXPECT_EQ(velmo_is_consistent(entry.puzzle.data(), kCellCount),
              IsConsistent(entry.puzzle.data()));
}

TEST(CApi, AnswersAsTheSolverOnTheCorpus) {
    for (const CCorpusEntry& entry : WholeCorpus()) CheckEntry(entry);
}

TEST(CApi, SameAnswersFromManyThreadsAtOnce) {
    const std::vector<CCorpusEntry> corpus = WholeCorpus();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (const CCorpusEntry& entry : corpus) CheckEntry(entry);
        });
    }
    for (std::thread& thread : threads) thread.join();
}

// The rating and the steps are RatePuzzle's; a grid that is not rated writes nothing.
TEST(CApi, RatesAndWritesStepsAsTheLogicSolver) {
    std::vector<CCorpusEntry> corpus = ReadCorpus("unique.txt");
    corpus.resize(std::min<size_t>(corpus.size(), 8));
    for (const char* file : {"none.txt", "conflicting.txt", "multiple.txt"}) {
        corpus.push_back(ReadCorpus(file).front());
    }
    for (const CCorpusEntry& entry : corpus) {
        SCOPED_TRACE(entry.file + ":" + std::to_string(entry.line));
        const CRating expected = RatePuzzle(*CCandidateGrid::FromGivens(entry.puzzle), true);
        const std::string text = GridToText(entry.puzzle);
        int rating = -1;
        const char* technique = "unchanged";
        char steps[16] = "unchanged";
        const int outcome = velmo_rate_text(text.data(), text.size(), &rating, &technique);
        ASSERT_EQ(velmo_rate(entry.puzzle.data(), kCellCount, nullptr, nullptr), outcome);
        if (entry.count != 1) {
            EXPECT_EQ(outcome, entry.count);
            EXPECT_EQ(rating, -1);
            EXPECT_STREQ(technique, "unchanged");
            EXPECT_EQ(velmo_steps_text(text.data(), text.size(), steps, sizeof steps),
                      entry.count == 0 ? VELMO_ERROR_NO_SOLUTION : VELMO_ERROR_SEVERAL_SOLUTIONS);
            EXPECT_STREQ(steps, "unchanged");
            continue;
        }
        ASSERT_EQ(expected.outcome, CRating::kRated);
        EXPECT_EQ(outcome, 1);
        EXPECT_EQ(rating, expected.rating);
        EXPECT_EQ(technique, TechniqueName(expected.hardest));

        std::string path;
        for (const CStep& step : expected.path) path += FormatStep(step) + "\n";
        // Too small a buffer gets the text cut short and the length to ask for.
        const int needed = velmo_steps_text(text.data(), text.size(), steps, sizeof steps);
        ASSERT_EQ(needed, int(path.size()));
        EXPECT_EQ(steps, path.substr(0, sizeof steps - 1));
        EXPECT_EQ(velmo_steps(entry.puzzle.data(), kCellCount, nullptr, 0), needed);
        std::string whole(size_t(needed) + 1, 'x');
        ASSERT_EQ(velmo_steps(entry.puzzle.data(), kCellCount, whole.data(), whole.size()), needed);
        EXPECT_EQ(whole.c_str(), path);
    }
}

// velmo.h gives an already solved grid the rating 0, with no steps, where velmo-solve --rate
// answers "solved": a program that links the library keeps the answer it was written for.
TEST(CApi, ASolvedGridIsRatedZero) {
    const std::string solution = ReadCorpus("unique.txt").front().solution;
    int rating = -1;
    EXPECT_EQ(velmo_rate_text(solution.data(), solution.size(), &rating, nullptr), 1);
    EXPECT_EQ(rating, 0);
    char steps[16] = "unchanged";
    EXPECT_EQ(velmo_steps_text(solution.data(), solution.size(), steps, sizeof steps), 0);
    EXPECT_STREQ(steps, "");
}

TEST(CApi, EachBadInputHasItsErrorAndWritesNothing) {
    std::string text(kCellCount, '.');
    char solution[VELMO_CELLS + 1] = "unchanged";
    EXPECT_EQ(velmo_solve_text(text.data(), 80, solution), VELMO_ERROR_LENGTH);
    EXPECT_EQ(velmo_count_text(text.data(), 82, nullptr), VELMO_ERROR_LENGTH);
    for (char bad : {'x', ' ', '\0', '\xc3'}) {
        text[40] = bad;
        EXPECT_EQ(velmo_solve_text(text.data(), text.size(), solution), VELMO_ERROR_CHARACTER);
        EXPECT_EQ(velmo_is_consistent_text(text.data(), text.size()), VELMO_ERROR_CHARACTER);
    }
    EXPECT_STREQ(solution, "unchanged");

    unsigned char grid[VELMO_CELLS] = {};
    unsigned char out[2 * VELMO_CELLS] = {};
    EXPECT_EQ(velmo_solve(grid, 0, out), VELMO_ERROR_LENGTH);
    grid[80] = 10;
    EXPECT_EQ(velmo_solve(grid, kCellCount, out), VELMO_ERROR_VALUE);
    EXPECT_EQ(velmo_count(grid, kCellCount, out), VELMO_ERROR_VALUE);
    EXPECT_EQ(velmo_is_consistent(grid, kCellCount), VELMO_ERROR_VALUE);
    int rating = -1;
    EXPECT_EQ(velmo_rate(grid, kCellCount, &rating, nullptr), VELMO_ERROR_VALUE);
    EXPECT_EQ(velmo_steps(grid, kCellCount, reinterpret_cast<char*>(out), sizeof out),
              VELMO_ERROR_VALUE);
    EXPECT_EQ(velmo_rate_text(text.data(), text.size(), &rating, nullptr), VELMO_ERROR_CHARACTER);
    EXPECT_EQ(rating, -1);
    EXPECT_EQ(std::count(out, out + sizeof out, 0), long(sizeof out));

    EXPECT_EQ(velmo_solve(nullptr, kCellCount, out), VELMO_ERROR_NULL);
    EXPECT_EQ(velmo_solve(grid, kCellCount, nullptr), VELMO_ERROR_NULL);
    EXPECT_EQ(velmo_solve_text(nullptr, 0, solution), VELMO_ERROR_NULL);
    EXPECT_EQ(velmo_is_consistent_text(nullptr, 0), VELMO_ERROR_NULL);
    EXPECT_EQ(velmo_steps_text(text.data(), text.size(), nullptr, 1), VELMO_ERROR_NULL);

    const std::string messages[] = {velmo_error_message(VELMO_ERROR_LENGTH),
                                    velmo_error_message(VELMO_ERROR_CHARACTER),
                                    velmo_error_message(VELMO_ERROR_VALUE),
                                    velmo_error_message(VELMO_ERROR_NULL),
                                    velmo_error_message(VELMO_ERROR_INTERNAL),
                                    velmo_error_message(VELMO_ERROR_NO_SOLUTION),
                                    velmo_error_message(VELMO_ERROR_SEVERAL_SOLUTIONS)};
    for (size_t i = 0; i < std::size(messages); ++i) {
        for (size_t j = 0; j < i; ++j) EXPECT_NE(messages[i], messages[j]);
    }
    EXPECT_STREQ(velmo_error_message(1), "no error");
}

}  // namespace

// A hint for a person solving by hand: the step the logic solver finds on their grid, once
// their entries and strike-outs agree with the solution; what is wrong, where one does not.
class CApiHint : public ::testing::Test {
  protected:
    static constexpr std::string_view kPuzzle =
        "002000100415000638700000004600050009080030070007901800000020000308070405000403000";

    void SetUp() override {
        puzzle = GridFromText(kPuzzle);
        const CSolutionCount count = CountSolutions(puzzle.data());
        ASSERT_EQ(count.count, 1);
        solution = count.solutions[0];
        result = std::make_unique<velmo_hint_result>();
        result->size = sizeof(velmo_hint_result);
    }

    int Hint(const unsigned char* entries = nullptr, const unsigned short* struck = nullptr) {
        return velmo_hint(puzzle.data(), entries, struck, result.get());
    }

    // Walks the puzzle's path of steps with a hint before each, counting in `chains` the
    // hints with links. Fails unless the path has more than `atLeast` steps and ends solved.
    void WalkThePath(int atLeast, int& chains);

    // The first empty cell of the puzzle.
    int FirstEmpty() const { return int(std::ranges::find(puzzle, 0) - puzzle.begin()); }

    PuzzleGrid puzzle, solution;
    std::unique_ptr<velmo_hint_result> result;
};

// The person places each step's digits and strikes out its eliminations; each hint is the
// step, its chain's links included. The second puzzle's path takes turbot fish, forcing
// chains, a Y-cycle and an X-chain.
TEST_F(CApiHint, GivesTheStepOfTheLogicSolverAlongThePath) {
    int chains = 0;
    WalkThePath(40, chains);
    puzzle = GridFromText(
        "200060908007400000801023540002000080608050104070000600086310409000009800109040003");
    chains = 0;
    WalkThePath(30, chains);
    EXPECT_GT(chains, 5);
}

void CApiHint::WalkThePath(int atLeast, int& chains) {
    PuzzleGrid entries{};
    std::array<unsigned short, kCellCount> struck{};
    CCandidateGrid grid = *CCandidateGrid::FromGivens(puzzle);
    int steps = 0;
    while (std::optional<CStep> step = FindEasiestStep(grid)) {
        SCOPED_TRACE(FormatStep(*step));
        ASSERT_EQ(Hint(entries.data(), struck.data()), VELMO_OK);
        ASSERT_EQ(result->outcome, VELMO_HINT_STEP);
        EXPECT_STREQ(result->technique, std::string(TechniqueName(step->technique)).c_str());
        EXPECT_EQ(result->rating, step->rating);
        EXPECT_EQ(result->unit, step->unit);
        EXPECT_EQ(result->notation, FormatStep(*step));
        ASSERT_EQ(result->cell_count, step->cells.size());
        EXPECT_TRUE(std::equal(step->cells.begin(), step->cells.end(), result->cells));
        ASSERT_EQ(result->pattern_count, step->pattern.size());
        ASSERT_EQ(result->placement_count, step->placements.size());
        for (size_t k = 0; k < step->placements.size(); ++k) {
            EXPECT_EQ(result->placements[k].cell, step->placements[k].cell);
            EXPECT_EQ(result->placements[k].digit, step->placements[k].digit);
        }
        ASSERT_EQ(result->elimination_count, step->eliminations.size());
        for (size_t k = 0; k < step->eliminations.size(); ++k) {
            EXPECT_EQ(result->eliminations[k].cell, step->eliminations[k].cell);
            EXPECT_EQ(result->eliminations[k].digit, step->eliminations[k].digit);
        }
        EXPECT_EQ(result->wrong_cell_count, 0u);
        EXPECT_EQ(result->link_count, step->links.size());
        for (size_t k = 0; k < std::min(step->links.size(), size_t(VELMO_LINKS)); ++k) {
            const velmo_link& link = result->links[k];
            for (const auto& [end, expected] : {std::pair{link.from, step->links[k].from},
                                                std::pair{link.to, step->links[k].to}}) {
                EXPECT_EQ(end.digit, expected.digit);
                ASSERT_EQ(end.cell_count, expected.size);
                EXPECT_TRUE(
                    std::equal(end.cells, end.cells + end.cell_count, expected.cells.begin()));
            }
            EXPECT_EQ(link.strong != 0, step->links[k].strong);
        }
        chains += !step->links.empty();
        ApplyStep(grid, *step);
        for (const CCandidate& c : step->placements) entries[c.cell] = c.digit;
        for (const CCandidate& c : step->eliminations) struck[c.cell] |= uint16_t(1u << c.digit);
        ++steps;
    }
    EXPECT_GT(steps, atLeast);
    EXPECT_EQ(Hint(entries.data(), struck.data()), VELMO_OK);
    EXPECT_EQ(result->outcome, VELMO_HINT_SOLVED);
}

// A caller built with velmo.h as it was before the links were added gets the hint, and
// nothing is written past its result's end.
TEST_F(CApiHint, FillsAnEarlierResultUpToItsEnd) {
    const size_t earlier = offsetof(velmo_hint_result, link_count);
    auto* bytes = reinterpret_cast<unsigned char*>(result.get());
    std::memset(bytes + earlier, 0xab, sizeof(velmo_hint_result) - earlier);
    result->size = earlier;
    ASSERT_EQ(Hint(), VELMO_OK);
    EXPECT_EQ(result->outcome, VELMO_HINT_STEP);
    EXPECT_EQ(result->size, earlier);
    EXPECT_TRUE(std::all_of(bytes + earlier, bytes + sizeof(velmo_hint_result),
                            [](unsigned char b) { return b == 0xab; }));
    result->size = earlier - 1;
    EXPECT_EQ(Hint(), VELMO_ERROR_SIZE);
}

TEST_F(CApiHint, NamesWrongEntriesAndStrikeOutsAndASolvedGrid) {
    const int cell = FirstEmpty();
    PuzzleGrid entries{};
    entries[cell] = uint8_t(solution[cell] % 9 + 1);  // any digit but the solution's
    ASSERT_EQ(Hint(entries.data()), VELMO_OK);
    EXPECT_EQ(result->outcome, VELMO_HINT_WRONG_ENTRIES);
    ASSERT_EQ(result->wrong_cell_count, 1u);
    EXPECT_EQ(result->wrong_cells[0], cell);
    EXPECT_EQ(result->technique, nullptr);

    // An entry over a given is not the person's: it is read as no entry.
    entries = {};
    entries[std::ranges::find_if(puzzle, [](uint8_t v) { return v != 0; }) - puzzle.begin()] = 9;
    ASSERT_EQ(Hint(entries.data()), VELMO_OK);
    EXPECT_EQ(result->outcome, VELMO_HINT_STEP);

    std::array<unsigned short, kCellCount> struck{};
    struck[cell] = uint16_t(1u << solution[cell]);
    ASSERT_EQ(Hint(nullptr, struck.data()), VELMO_OK);
    EXPECT_EQ(result->outcome, VELMO_HINT_WRONG_STRIKE_OUTS);
    ASSERT_EQ(result->wrong_candidate_count, 1u);
    EXPECT_EQ(result->wrong_candidates[0].cell, cell);
    EXPECT_EQ(result->wrong_candidates[0].digit, solution[cell]);

    ASSERT_EQ(Hint(solution.data()), VELMO_OK);
    EXPECT_EQ(result->outcome, VELMO_HINT_SOLVED);
}

TEST_F(CApiHint, SaysWhenThePuzzleHasNoSolutionOrSeveral) {
    puzzle = {};
    ASSERT_EQ(Hint(), VELMO_OK);
    EXPECT_EQ(result->outcome, VELMO_HINT_SEVERAL_SOLUTIONS);
    puzzle[0] = puzzle[1] = 5;
    ASSERT_EQ(Hint(), VELMO_OK);
    EXPECT_EQ(result->outcome, VELMO_HINT_NO_SOLUTION);
}

TEST_F(CApiHint, RefusesBadInputAndLeavesTheResult) {
    velmo_hint_result& out = *result;
    out.outcome = -42;
    EXPECT_EQ(velmo_hint(nullptr, nullptr, nullptr, &out), VELMO_ERROR_NULL);
    EXPECT_EQ(velmo_hint(puzzle.data(), nullptr, nullptr, nullptr), VELMO_ERROR_NULL);
    out.size = 0;
    EXPECT_EQ(Hint(), VELMO_ERROR_SIZE);
    out.size = sizeof(velmo_hint_result);
    PuzzleGrid bad = puzzle;
    bad[40] = 10;
    EXPECT_EQ(velmo_hint(bad.data(), nullptr, nullptr, &out), VELMO_ERROR_VALUE);
    EXPECT_EQ(Hint(bad.data()), VELMO_ERROR_VALUE);
    std::array<unsigned short, kCellCount> struck{};
    struck[3] = 1;  // bit 0 is no digit
    EXPECT_EQ(Hint(nullptr, struck.data()), VELMO_ERROR_VALUE);
    struck[3] = 1u << 10;
    EXPECT_EQ(Hint(nullptr, struck.data()), VELMO_ERROR_VALUE);
    EXPECT_EQ(out.outcome, -42);
    EXPECT_STRNE(velmo_error_message(VELMO_ERROR_SIZE), "unknown error");
}

// What velmo_generate writes is what the other calls say of it: one solution, the rating and
// technique velmo_rate gives, within the band; the same seed, the same puzzles on any thread
// count; a run that cannot finish ends by its time limit or the caller's flag.
TEST(CApiGenerate, PuzzlesAreWhatTheOtherCallsSayAndTheSameOnAnyThreads) {
    velmo_generate_options options{};
    options.size = sizeof options;
    options.min_rating = 26;
    options.max_rating = 45;
    options.symmetry = VELMO_SYMMETRY_ROTATE180;
    options.seed = 12;
    std::vector<velmo_generated> one(6), two(6);
    ASSERT_EQ(velmo_generate(&options, one.data(), one.size()), 6);
    options.threads = 2;
    ASSERT_EQ(velmo_generate(&options, two.data(), two.size()), 6);
    for (size_t k = 0; k < one.size(); ++k) {
        const velmo_generated& p = one[k];
        EXPECT_STREQ(p.puzzle, two[k].puzzle);
        char solutions[2 * (VELMO_CELLS + 1)] = {};
        ASSERT_EQ(velmo_count_text(p.puzzle, VELMO_CELLS, solutions), 1) << p.puzzle;
        EXPECT_STREQ(solutions, p.solution);
        int rating = 0;
        const char* technique = nullptr;
        ASSERT_EQ(velmo_rate_text(p.puzzle, VELMO_CELLS, &rating, &technique), 1);
        EXPECT_EQ(rating, p.rating);
        EXPECT_STREQ(technique, p.technique);
        EXPECT_GE(rating, 26);
        EXPECT_LE(rating, 45);
        EXPECT_EQ(p.givens, int(std::count_if(p.puzzle, p.puzzle + VELMO_CELLS,
                                              [](char ch) { return ch != '.'; })));
        for (int cell = 0; cell < VELMO_CELLS; ++cell)
            EXPECT_EQ(p.puzzle[cell] == '.', p.puzzle[80 - cell] == '.') << p.puzzle;
    }
}

TEST(CApiGenerate, EndsByTheTimeLimitOrTheFlagAndRefusesWhatCannotBe) {
    velmo_generate_options options{};
    options.size = sizeof options;
    options.min_rating = 115;  // few puzzles rate so high
    options.time_limit = 0.2;
    std::vector<velmo_generated> out(100);
    const int made = velmo_generate(&options, out.data(), out.size());
    EXPECT_GE(made, 0);
    EXPECT_LT(made, 100);

    volatile int cancel = 0;
    options.time_limit = 0;
    options.cancel = &cancel;
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        cancel = 1;
    });
    EXPECT_LT(velmo_generate(&options, out.data(), out.size()), 100);
    canceller.join();

    velmo_generate_options bad = options;
    bad.cancel = nullptr;
    bad.min_rating = 130;
    EXPECT_EQ(velmo_generate(&bad, out.data(), out.size()), VELMO_ERROR_OPTIONS);
    bad = options;
    bad.technique = "no such technique";
    EXPECT_EQ(velmo_generate(&bad, out.data(), out.size()), VELMO_ERROR_OPTIONS);
    bad = options;
    bad.symmetry = 9;
    EXPECT_EQ(velmo_generate(&bad, out.data(), out.size()), VELMO_ERROR_OPTIONS);
    EXPECT_EQ(velmo_generate(&options, out.data(), 0), VELMO_ERROR_OPTIONS);
    bad = options;
    bad.size = sizeof bad - 1;
    EXPECT_EQ(velmo_generate(&bad, out.data(), out.size()), VELMO_ERROR_SIZE);
    EXPECT_EQ(velmo_generate(nullptr, out.data(), out.size()), VELMO_ERROR_NULL);
    EXPECT_STREQ(velmo_error_message(VELMO_ERROR_OPTIONS),
                 "the options cannot be met by any puzzle");
}
