// The start grids of the generator are spread over all solution grids: many drawn, no two the
// same up to the grid's symmetries and relabelling. Slow: a canonical form for each.
#include <gtest/gtest.h>

#include <set>

#include "generator.h"
#include "random.h"
#include "solution_grid.h"
#include "test_support.h"

namespace {

TEST(GeneratorForms, TenThousandStartGridsHaveTenThousandForms) {
    std::set<PuzzleGrid> forms;
    for (uint64_t k = 0; k < 10000; ++k) {
        generator::CRandom random(12345, k);
        const PuzzleGrid grid = generator::RandomSolutionGrid(random);
        ASSERT_TRUE(IsSolutionOf(grid, PuzzleGrid{})) << k;
        forms.insert(CanonicalForm(grid, grid));
    }
    EXPECT_EQ(forms.size(), 10000u);
}

}  // namespace
