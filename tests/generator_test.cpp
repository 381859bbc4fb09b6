// The generator's promises, checked on what it makes: one solution, minimal when asked, the
// symmetry, pattern, number of givens and band asked, no repeats up to the grid's symmetries,
// the same puzzles on any number of threads, and refusal of options no puzzle can meet.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <set>

#include "generator.h"
#include "grid_solver.h"
#include "random.h"
#include "test_support.h"

namespace {

// The cell a symmetry's generators send (r, c) to; the group they generate is the symmetry.
using CMap = int (*)(int r, int c);
int Cell(int r, int c) {
    return 9 * r + c;
}
std::vector<CMap> Generators(CSymmetry symmetry) {
    const CMap half = [](int r, int c) { return Cell(8 - r, 8 - c); };
    const CMap quarter = [](int r, int c) { return Cell(c, 8 - r); };
    const CMap leftRight = [](int r, int c) { return Cell(r, 8 - c); };
    const CMap topBottom = [](int r, int c) { return Cell(8 - r, c); };
    const CMap diagonal = [](int r, int c) { return Cell(c, r); };
    const CMap anti = [](int r, int c) { return Cell(8 - c, 8 - r); };
    switch (symmetry) {
        case CSymmetry::kNone:
            return {};
        case CSymmetry::kRotate180:
            return {half};
        case CSymmetry::kRotate90:
            return {quarter};
        case CSymmetry::kMirrorLeftRight:
            return {leftRight};
        case CSymmetry::kMirrorTopBottom:
            return {topBottom};
        case CSymmetry::kBothMirrors:
            return {leftRight, topBottom};
        case CSymmetry::kDiagonal:
            return {diagonal};
        case CSymmetry::kAntiDiagonal:
            return {anti};
        case CSymmetry::kBothDiagonals:
            return {diagonal, anti};
    }
    return {};
}

// The cells `cell` is sent to by the symmetry's group, itself included.
std::vector<int> OrbitOf(int cell, CSymmetry symmetry) {
    std::vector<int> orbit{cell};
    for (size_t k = 0; k < orbit.size(); ++k) {
        for (CMap map : Generators(symmetry)) {
            const int image = map(orbit[k] / 9, orbit[k] % 9);
            if (std::find(orbit.begin(), orbit.end(), image) == orbit.end()) orbit.push_back(image);
        }
    }
    return orbit;
}

int Givens(const PuzzleGrid& puzzle) {
    return int(std::count_if(puzzle.begin(), puzzle.end(), [](uint8_t v) { return v != 0; }));
}

// Every property a puzzle of the run must have, checked without the generator's own code.
void ExpectSound(const CGeneratedPuzzle& made, const CGeneratorOptions& options) {
    const std::string text = GridToText(made.puzzle);
    SCOPED_TRACE(text);
    const CSolutionCount counted = CountSolutions(made.puzzle.data());
    ASSERT_EQ(counted.count, 1);
    EXPECT_EQ(counted.solutions[0], made.solution);
    EXPECT_EQ(made.givens, Givens(made.puzzle));
    for (int cell = 0; cell < kCellCount; ++cell) {
        for (int image : OrbitOf(cell, options.symmetry)) {
            EXPECT_EQ(made.puzzle[cell] != 0, made.puzzle[image] != 0) << cell << " " << image;
        }
        if (options.pattern) {
            EXPECT_EQ(made.puzzle[cell] != 0, (*options.pattern)[cell]) << cell;
        }
    }
    if (options.minGivens != 0) {
        EXPECT_GE(made.givens, options.minGivens);
    }
    if (options.maxGivens != 0) {
        EXPECT_LE(made.givens, options.maxGivens);
    }
    if (options.minimal) {
        for (int cell = 0; cell < kCellCount; ++cell) {
            if (made.puzzle[cell] == 0) continue;
            PuzzleGrid fewer = made.puzzle;
            for (int image : OrbitOf(cell, options.symmetry)) fewer[image] = 0;
            EXPECT_EQ(CountSolutions(fewer.data()).count, 2) << "cell " << cell << " can go";
        }
    }
    if (options.rate || options.minRating > 0 || options.maxRating < kScaleTop ||
        options.techniques != 0) {
        const CRating rating = RatePuzzle(*CCandidateGrid::FromGivens(made.puzzle));
        ASSERT_EQ(rating.outcome, CRating::kRated);
        EXPECT_EQ(rating.rating, made.rating);
        EXPECT_EQ(rating.hardest, made.hardest);
        EXPECT_GE(rating.rating, options.minRating);
        EXPECT_LE(rating.rating, options.maxRating);
        if (options.techniques != 0) {
            EXPECT_TRUE(options.techniques >> int(rating.hardest) & 1);
        }
    }
}

std::vector<CGeneratedPuzzle> Generate(const CGeneratorOptions& options, int count,
                                       unsigned threads = 1, CRunEnd* end = nullptr) {
    EXPECT_EQ(CheckOptions(options), "");
    std::vector<CGeneratedPuzzle> made;
    CGenerator generator(options);
    const CRunEnd ended = generator.Run(count, threads, std::chrono::nanoseconds(0), {},
                                        [&](const CGeneratedPuzzle& puzzle) {
                                            made.push_back(puzzle);
                                            return true;
                                        });
    if (end != nullptr) *end = ended;
    return made;
}

// A puzzle the grid's symmetries and a relabelling of digits make of `puzzle`, drawn at random.
PuzzleGrid Transformed(const PuzzleGrid& puzzle, uint64_t seed) {
    generator::CRandom random(seed, 0);
    std::array<int, 9> rows, columns, digits;
    std::array<int, 3> bands = {0, 1, 2}, stacks = {0, 1, 2};
    random.Shuffle(bands.data(), 3);
    random.Shuffle(stacks.data(), 3);
    for (int b = 0; b < 3; ++b) {
        std::array<int, 3> within = {0, 1, 2}, across = {0, 1, 2};
        random.Shuffle(within.data(), 3);
        random.Shuffle(across.data(), 3);
        for (int k = 0; k < 3; ++k) {
            rows[3 * b + k] = 3 * bands[b] + within[k];
            columns[3 * b + k] = 3 * stacks[b] + across[k];
        }
    }
    std::iota(digits.begin(), digits.end(), 1);
    random.Shuffle(digits.data(), 9);
    const bool transpose = random.Below(2) == 1;
    PuzzleGrid out{};
    for (int r = 0; r < 9; ++r) {
        for (int c = 0; c < 9; ++c) {
            const uint8_t v = puzzle[Cell(rows[r], columns[c])];
            out[transpose ? Cell(c, r) : Cell(r, c)] = v == 0 ? 0 : uint8_t(digits[v - 1]);
        }
    }
    return out;
}

PuzzleGrid SolutionOf(const PuzzleGrid& puzzle) {
    const CSolutionCount counted = CountSolutions(puzzle.data());
    EXPECT_EQ(counted.count, 1);
    return counted.solutions[0];
}

TEST(Generator, PuzzlesHaveOneSolutionAndAreMinimalInTheirBand) {
    CGeneratorOptions options;
    options.seed = 7;
    for (const CGeneratedPuzzle& made : Generate(options, 20)) ExpectSound(made, options);
    options.minRating = 26;
    options.maxRating = 45;
    options.seed = 8;
    const std::vector<CGeneratedPuzzle> banded = Generate(options, 10);
    ASSERT_EQ(banded.size(), 10u);
    for (const CGeneratedPuzzle& made : banded) ExpectSound(made, options);
}

TEST(Generator, EverySymmetryIsKeptAndMinimalInItsSets) {
    for (int s = 0; s < kSymmetryCount; ++s) {
        CGeneratorOptions options;
        options.symmetry = CSymmetry(s);
        options.seed = 100 + uint64_t(s);
        SCOPED_TRACE(SymmetryName(options.symmetry));
        const std::vector<CGeneratedPuzzle> made = Generate(options, 4);
        ASSERT_EQ(made.size(), 4u);
        for (const CGeneratedPuzzle& puzzle : made) ExpectSound(puzzle, options);
        EXPECT_EQ(SymmetryByName(SymmetryName(options.symmetry)), options.symmetry);
    }
}

TEST(Generator, NotMinimalKeepsTheNumberOfGivensAsked) {
    CGeneratorOptions options;
    options.minimal = false;
    options.minGivens = 30;
    options.maxGivens = 33;
    options.symmetry = CSymmetry::kRotate180;
    options.seed = 3;
    const std::vector<CGeneratedPuzzle> made = Generate(options, 10);
    ASSERT_EQ(made.size(), 10u);
    for (const CGeneratedPuzzle& puzzle : made) ExpectSound(puzzle, options);
}

TEST(Generator, APatternGivesItsCellsExactly) {
    // 26 givens in rotation about the centre.
    const std::string text =
        "x...x...x"
        ".x..x..x."
        "..x...x.."
        "...x.x..."
        "xx.....xx"
        "...x.x..."
        "..x...x.."
        ".x..x..x."
        "x...x...x";
    std::array<bool, kCellCount> pattern{};
    for (int cell = 0; cell < kCellCount; ++cell) pattern[cell] = text[cell] == 'x';
    CGeneratorOptions options;
    options.pattern = pattern;
    options.symmetry = CSymmetry::kRotate180;
    options.seed = 11;
    const std::vector<CGeneratedPuzzle> made = Generate(options, 3);
    ASSERT_EQ(made.size(), 3u);
    for (const CGeneratedPuzzle& puzzle : made) ExpectSound(puzzle, options);
}

TEST(Generator, TheHardestStepIsOfTheTechniqueAsked) {
    CGeneratorOptions options;
    const CTechniqueChoice choice = TechniqueByName("x wing");
    ASSERT_NE(choice.mask, 0u) << choice.error;
    EXPECT_EQ(choice.name, "X-Wing");
    options.techniques = choice.mask;
    options.seed = 5;
    const std::vector<CGeneratedPuzzle> made = Generate(options, 3);
    ASSERT_EQ(made.size(), 3u);
    for (const CGeneratedPuzzle& puzzle : made) {
        ExpectSound(puzzle, options);
        EXPECT_EQ(puzzle.hardest, CTechnique::kXWing);
    }
    EXPECT_EQ(TechniqueByName("no such step").mask, 0u);
    EXPECT_NE(TechniqueByName("X").error, "");  // the start of several names
}

TEST(Generator, TheSameSeedGivesTheSamePuzzlesOnAnyNumberOfThreads) {
    CGeneratorOptions options;
    options.minRating = 26;
    options.maxRating = 45;
    options.seed = 42;
    const std::vector<CGeneratedPuzzle> one = Generate(options, 24, 1);
    const std::vector<CGeneratedPuzzle> two = Generate(options, 24, 2);
    const std::vector<CGeneratedPuzzle> four = Generate(options, 24, 4);
    ASSERT_EQ(one.size(), 24u);
    ASSERT_EQ(two.size(), 24u);
    ASSERT_EQ(four.size(), 24u);
    for (size_t k = 0; k < one.size(); ++k) {
        EXPECT_EQ(one[k].puzzle, two[k].puzzle) << k;
        EXPECT_EQ(one[k].puzzle, four[k].puzzle) << k;
        EXPECT_EQ(one[k].attempt, two[k].attempt) << k;
    }
    options.seed = 43;
    EXPECT_NE(Generate(options, 1)[0].puzzle, one[0].puzzle);
}

TEST(Generator, NoPuzzleOfARunRepeatsAnotherOrAnExcludedOneUpToSymmetry) {
    CGeneratorOptions options;
    options.seed = 9;
    const std::vector<CGeneratedPuzzle> made = Generate(options, 40);
    std::set<PuzzleGrid> forms;
    for (const CGeneratedPuzzle& puzzle : made)
        forms.insert(CanonicalForm(puzzle.puzzle, puzzle.solution));
    EXPECT_EQ(forms.size(), made.size());
    // The first puzzle of the same run, disguised, excluded: the run leaves it out.
    options.excluded = {Transformed(made[0].puzzle, 1), Transformed(made[2].puzzle, 2)};
    const std::vector<CGeneratedPuzzle> without = Generate(options, 3);
    ASSERT_EQ(without.size(), 3u);
    EXPECT_EQ(without[0].puzzle, made[1].puzzle);
    EXPECT_EQ(without[1].puzzle, made[3].puzzle);
    EXPECT_EQ(without[2].puzzle, made[4].puzzle);
}

TEST(Generator, PuzzlesNearSeedsAreNewAndWithinTheBand) {
    CGeneratorOptions options;
    options.seed = 21;
    options.minRating = 26;
    options.maxRating = 60;
    for (const CGeneratedPuzzle& seed : Generate(options, 3)) options.seeds.push_back(seed.puzzle);
    options.seed = 22;
    ASSERT_EQ(CheckOptions(options), "");
    const std::vector<CGeneratedPuzzle> made = Generate(options, 8);
    ASSERT_EQ(made.size(), 8u);
    std::set<PuzzleGrid> seedForms;
    for (const PuzzleGrid& seed : options.seeds)
        seedForms.insert(CanonicalForm(seed, SolutionOf(seed)));
    for (const CGeneratedPuzzle& puzzle : made) {
        ExpectSound(puzzle, options);
        EXPECT_FALSE(seedForms.contains(CanonicalForm(puzzle.puzzle, puzzle.solution)));
    }
}

TEST(Generator, CanonicalFormsAgreeExactlyOnDisguisedPuzzles) {
    CGeneratorOptions options;
    options.seed = 31;
    const std::vector<CGeneratedPuzzle> made = Generate(options, 10);
    std::set<PuzzleGrid> forms;
    for (const CGeneratedPuzzle& puzzle : made) {
        const PuzzleGrid form = CanonicalForm(puzzle.puzzle, puzzle.solution);
        forms.insert(form);
        for (uint64_t k = 0; k < 20; ++k) {
            const PuzzleGrid other = Transformed(puzzle.puzzle, 1000 * puzzle.attempt + k);
            EXPECT_EQ(CanonicalForm(other, SolutionOf(other)), form);
            EXPECT_EQ(FormInvariant(other), FormInvariant(puzzle.puzzle));
        }
        // The form is itself the puzzle in disguise.
        EXPECT_EQ(Givens(form), puzzle.givens);
        EXPECT_EQ(CountSolutions(form.data()).count, 1);
    }
    EXPECT_EQ(forms.size(), made.size());
}

// The band's test gives up on a path once it steps above the band: at a puzzle's own rating it
// must still give the whole rating, a tenth below it nothing.
TEST(Generator, TheRatingUpToABoundAgreesAtItsEdge) {
    CGeneratorOptions options;
    options.seed = 61;
    for (const CGeneratedPuzzle& made : Generate(options, 60)) {
        const CCandidateGrid grid = *CCandidateGrid::FromGivens(made.puzzle);
        const std::optional<CRating> within = RatePuzzleUpTo(grid, made.rating);
        ASSERT_TRUE(within.has_value()) << GridToText(made.puzzle);
        EXPECT_EQ(within->rating, made.rating);
        EXPECT_EQ(within->hardest, made.hardest);
        EXPECT_EQ(within->solution, made.solution);
        EXPECT_FALSE(RatePuzzleUpTo(grid, made.rating - 1).has_value()) << GridToText(made.puzzle);
    }
}

TEST(Generator, ARunEndsWhenTheCallerOrTheClockSays) {
    CGeneratorOptions options;
    options.seed = 4;
    CGenerator generator(options);
    int delivered = 0;
    const CRunEnd byCaller =
        generator.Run(100, 2, std::chrono::nanoseconds(0), {},
                      [&](const CGeneratedPuzzle&) { return ++delivered < 2; });
    EXPECT_EQ(byCaller, CRunEnd::kStopped);
    EXPECT_EQ(delivered, 2);

    // A band few random puzzles reach, asked for more than a moment allows.
    options.minRating = 90;
    CRunEnd end = CRunEnd::kDone;
    CGenerator hard(options);
    int found = 0;
    end = hard.Run(1000, 2, std::chrono::milliseconds(200), {}, [&](const CGeneratedPuzzle& p) {
        ExpectSound(p, options);
        ++found;
        return true;
    });
    EXPECT_EQ(end, CRunEnd::kTimeLimit);
    EXPECT_LT(found, 1000);

    std::stop_source stop;
    stop.request_stop();
    EXPECT_EQ(hard.Run(1000, 2, std::chrono::nanoseconds(0), stop.get_token(),
                       [](const CGeneratedPuzzle&) { return true; }),
              CRunEnd::kStopped);
}

TEST(Generator, OptionsNoPuzzleCanMeetAreRefused) {
    const auto refused = [](auto change) {
        CGeneratorOptions options;
        change(options);
        return !CheckOptions(options).empty();
    };
    EXPECT_FALSE(refused([](CGeneratorOptions&) {}));
    EXPECT_TRUE(refused([](CGeneratorOptions& o) { o.minRating = 121; }));
    EXPECT_TRUE(refused([](CGeneratorOptions& o) { o.minRating = 50, o.maxRating = 40; }));
    EXPECT_TRUE(refused([](CGeneratorOptions& o) { o.maxRating = 5; }));
    EXPECT_TRUE(refused([](CGeneratorOptions& o) {
        o.techniques = TechniqueByName("X-Wing").mask, o.minRating = 70;
    }));
    EXPECT_FALSE(refused([](CGeneratorOptions& o) {
        o.techniques = TechniqueByName("X-Wing").mask, o.minRating = 30, o.maxRating = 40;
    }));
    EXPECT_TRUE(refused([](CGeneratorOptions& o) { o.minGivens = 40, o.maxGivens = 30; }));
    EXPECT_TRUE(refused([](CGeneratorOptions& o) { o.minGivens = 10, o.maxGivens = 16; }));
    // Rotation by a quarter turn moves cells in fours and the centre alone: 17-19 cannot be.
    EXPECT_TRUE(refused([](CGeneratorOptions& o) {
        o.symmetry = CSymmetry::kRotate90, o.minGivens = 18, o.maxGivens = 19;
    }));
    EXPECT_FALSE(refused([](CGeneratorOptions& o) {
        o.symmetry = CSymmetry::kRotate90, o.minGivens = 18, o.maxGivens = 20;
    }));
    std::array<bool, kCellCount> few{};
    std::fill_n(few.begin(), 16, true);
    EXPECT_TRUE(refused([&](CGeneratorOptions& o) { o.pattern = few; }));
    std::array<bool, kCellCount> lopsided{};
    std::fill_n(lopsided.begin(), 30, true);
    EXPECT_TRUE(refused(
        [&](CGeneratorOptions& o) { o.pattern = lopsided, o.symmetry = CSymmetry::kRotate180; }));
    // Its first three rows are full: no minimal puzzle has it, any other puzzle may.
    EXPECT_TRUE(refused([&](CGeneratorOptions& o) { o.pattern = lopsided; }));
    EXPECT_FALSE(refused([&](CGeneratorOptions& o) { o.pattern = lopsided, o.minimal = false; }));
    // Puzzles that need not be minimal stop at 24-32 givens when no number is asked, but a
    // pattern has its own.
    std::array<bool, kCellCount> many{};
    for (int cell = 0; cell < kCellCount; cell += 2) many[cell] = true;
    EXPECT_FALSE(refused([&](CGeneratorOptions& o) { o.pattern = many, o.minimal = false; }));
    EXPECT_TRUE(refused([](CGeneratorOptions& o) { o.seeds = {PuzzleGrid{}}; }));
    int seedIndex = -1;
    CGeneratorOptions options;
    options.seeds = {Generate(CGeneratorOptions{}, 1)[0].puzzle, PuzzleGrid{}};
    EXPECT_NE(CheckOptions(options, &seedIndex), "");
    EXPECT_EQ(seedIndex, 1);
}

}  // namespace
