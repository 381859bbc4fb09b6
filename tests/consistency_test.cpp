// IsConsistent: repeated digits in rows, columns and boxes.
#include <gtest/gtest.h>

#include "grid_solver.h"
#include "test_support.h"

namespace {

PuzzleGrid WithDigits(std::initializer_list<std::tuple<int, int, uint8_t>> placed) {
    PuzzleGrid grid{};
    for (auto [r, c, d] : placed) grid[9 * r + c] = d;
    return grid;
}

TEST(IsConsistent, AcceptsEmptyAndCompleteGrids) {
    EXPECT_EQ(IsConsistent(PuzzleGrid{}.data()), 1);
    EXPECT_EQ(IsConsistent(GridFromText(kEmptyGridSolution).data()), 1);
}

TEST(IsConsistent, RejectsARepeatInAnyUnit) {
    struct Case {
        const char* what;
        PuzzleGrid grid;
    };
    const Case cases[] = {
        {"row, far apart", WithDigits({{0, 0, 5}, {0, 8, 5}})},
        {"last row", WithDigits({{8, 3, 9}, {8, 4, 9}})},
        {"column", WithDigits({{0, 2, 7}, {8, 2, 7}})},
        {"box only", WithDigits({{3, 3, 4}, {5, 5, 4}})},
        {"bottom-right box only", WithDigits({{6, 7, 1}, {8, 6, 1}})},
        {"two bytes above 9 in a row", WithDigits({{1, 1, 12}, {1, 7, 12}})},
        {"two bytes above 9 in a column", WithDigits({{0, 4, 200}, {8, 4, 200}})},
        {"two bytes above 9 in a box only", WithDigits({{6, 6, 10}, {8, 8, 10}})},
        {"the largest byte twice in a box", WithDigits({{3, 0, 255}, {4, 1, 255}})},
    };
    for (const Case& test : cases) {
        EXPECT_EQ(IsConsistent(test.grid.data()), 0) << test.what << ": " << GridToText(test.grid);
    }
}

TEST(IsConsistent, AcceptsDigitsThatShareNoUnit) {
    EXPECT_EQ(IsConsistent(WithDigits({{0, 0, 5}, {4, 4, 5}}).data()), 1);
    // Neighbouring boxes: same band, different columns and rows.
    EXPECT_EQ(IsConsistent(WithDigits({{0, 2, 3}, {1, 3, 3}, {2, 6, 3}}).data()), 1);
    // Only the range-free comparison is made: a lone value above 9 is not a conflict, nor
    // are different values above 9 in one unit, nor the same one in different units.
    EXPECT_EQ(IsConsistent(WithDigits({{2, 2, 12}}).data()), 1);
    EXPECT_EQ(IsConsistent(WithDigits({{0, 0, 10}, {0, 1, 11}, {1, 0, 74}, {2, 2, 138}}).data()),
              1);
    EXPECT_EQ(IsConsistent(WithDigits({{0, 0, 64}, {4, 4, 64}, {8, 8, 128}, {0, 8, 192}}).data()),
              1);
}

TEST(IsConsistent, FindsASingleChangedCellInASolution) {
    const PuzzleGrid solution = GridFromText(kEmptyGridSolution);
    for (int cell = 0; cell < kCellCount; ++cell) {
        PuzzleGrid broken = solution;
        broken[cell] = static_cast<uint8_t>(solution[cell] % 9 + 1);
        EXPECT_EQ(IsConsistent(broken.data()), 0) << "cell " << cell;
    }
}

}  // namespace
