// The C interface: its answers are the solver's on the whole test corpus, from any number
// of threads at once, and each kind of bad input has its own error and leaves the output.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

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
    EXPECT_EQ(std::count(out, out + sizeof out, 0), long(sizeof out));

    EXPECT_EQ(velmo_solve(nullptr, kCellCount, out), VELMO_ERROR_NULL);
    EXPECT_EQ(velmo_solve(grid, kCellCount, nullptr), VELMO_ERROR_NULL);
    EXPECT_EQ(velmo_solve_text(nullptr, 0, solution), VELMO_ERROR_NULL);
    EXPECT_EQ(velmo_is_consistent_text(nullptr, 0), VELMO_ERROR_NULL);

    const std::string messages[] = {
        velmo_error_message(VELMO_ERROR_LENGTH), velmo_error_message(VELMO_ERROR_CHARACTER),
        velmo_error_message(VELMO_ERROR_VALUE), velmo_error_message(VELMO_ERROR_NULL),
        velmo_error_message(VELMO_ERROR_INTERNAL)};
    for (size_t i = 0; i < std::size(messages); ++i) {
        for (size_t j = 0; j < i; ++j) EXPECT_NE(messages[i], messages[j]);
    }
    EXPECT_STREQ(velmo_error_message(1), "no error");
}

}  // namespace
