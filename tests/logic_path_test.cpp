// The rating's path against hints: RatePuzzle carries what it learnt from step to step (where
// a technique found nothing, the nested chains' answers), FindEasiestStep starts afresh, and
// along the path both must take the same step, over the whole range of the scale.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bench_puzzles.h"
#include "logic.h"
#include "test_support.h"

namespace {

// The chains run some fifteen times slower under the sanitizers, where a quarter of each
// sample is followed.
#if defined(__SANITIZE_ADDRESS__)
constexpr size_t kSanitizerStride = 4;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr size_t kSanitizerStride = 4;
#else
constexpr size_t kSanitizerStride = 1;
#endif
#else
constexpr size_t kSanitizerStride = 1;
#endif

// All a step says, so that two steps compare whole and a difference shows.
std::string Describe(const CStep& step) {
    std::string text = FormatStep(step) + " [technique " + std::to_string(int(step.technique)) +
                       ", rating " + std::to_string(step.rating) + ", unit " +
                       std::to_string(step.unit) + ", cells";
    for (uint8_t cell : step.cells) text += " " + std::to_string(cell);
    return text + "]";
}

// Where the rated path of `puzzle` and the hints along it part, or an empty string.
std::string PathAgainstHints(const PuzzleGrid& puzzle) {
    const CCandidateGrid start = *CCandidateGrid::FromGivens(puzzle);
    const CRating rating = RatePuzzle(start, true);
    if (rating.outcome != CRating::kRated) return "not rated";
    CCandidateGrid grid = start;
    int hardest = 0;
    for (size_t i = 0; i < rating.path.size(); ++i) {
        const CStep& step = rating.path[i];
        const std::optional<CStep> hint = FindEasiestStep(grid);
        const std::string taken = Describe(step);
        if (!hint) return "step " + std::to_string(i) + ": no hint, the path took " + taken;
        if (Describe(*hint) != taken) {
            return "step " + std::to_string(i) + ": the path took " + taken + "\n  the hint is " +
                   Describe(*hint);
        }
        hardest = std::max(hardest, step.rating);
        ApplyStep(grid, step);
    }
    if (grid.values != rating.solution) return "the path does not end on its solution";
    if (hardest != rating.rating) return "the rating is not the path's hardest step";
    return "";
}

void ExpectHintsFollowThePath(const std::string& file, const std::vector<PuzzleGrid>& puzzles) {
    ASSERT_FALSE(puzzles.empty()) << file;
    for (const PuzzleGrid& puzzle : puzzles) {
        EXPECT_EQ(PathAgainstHints(puzzle), "") << file << ": " << GridToText(puzzle);
    }
}

std::vector<PuzzleGrid> BenchGrids(const std::string& file, size_t stride) {
    std::vector<PuzzleGrid> grids;
    for (const CBenchPuzzle& puzzle : ReadBenchPuzzles(file, stride)) grids.push_back(puzzle.grid);
    return grids;
}

// Rated 1.2 to 9.1: every line of the bank's samples. A memo that skips a technique wrongly
// does so on a few puzzles in a thousand, so a sample of them would miss it.
TEST(LogicPath, HintsFollowThePathOnTheBankSamples) {
    for (const char* file : {"exchange-below5-sample.txt", "exchange-5to9-sample.txt",
                             "exchange-5to9-heldout.txt", "exchange-diabolical-sample.txt"}) {
        ExpectHintsFollowThePath(file, BenchGrids(file, kSanitizerStride));
    }
}

// Rated about 9.5 to 11.5, where the nested chains' answers are carried along the path.
TEST(LogicPath, HintsFollowThePathOnTheHardestLists) {
    ExpectHintsFollowThePath("forum-hardest-1106.txt",
                             BenchGrids("forum-hardest-1106.txt", 60 * kSanitizerStride));
    ExpectHintsFollowThePath("forum-hardest-1905-11plus.txt",
                             BenchGrids("forum-hardest-1905-11plus.txt", 300 * kSanitizerStride));
}

// An older list of hard puzzles, rated from 2 to above 9: every fourth.
TEST(LogicPath, HintsFollowThePathOnTop1465) {
    const std::vector<PuzzleGrid> all = ReadPuzzleFile("top1465.txt");
    std::vector<PuzzleGrid> sample;
    for (size_t i = 0; i < all.size(); i += 4 * kSanitizerStride) sample.push_back(all[i]);
    ExpectHintsFollowThePath("top1465.txt", sample);
}

}  // namespace
