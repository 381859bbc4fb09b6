// The options, their checks, and one attempt: a puzzle from a random solution grid, from a
// pattern or around a seed, then rated against the band.
#include <algorithm>
#include <bit>
#include <cctype>

#include "attempt.h"
#include "reduce.h"
#include "solution_counter.h"
#include "solution_grid.h"
#include "technique_table.h"

namespace {

constexpr std::array<std::string_view, kSymmetryCount> kSymmetryNames = {
    "none",         "rotate180", "rotate90",      "left-right",     "top-bottom",
    "both-mirrors", "diagonal",  "anti-diagonal", "both-diagonals",
};

// Lower case, without spaces, hyphens and underscores: "X-Wing", "x wing" and "xwing" agree.
std::string Folded(std::string_view name) {
    std::string folded;
    for (char ch : name) {
        if (ch == ' ' || ch == '-' || ch == '_') continue;
        folded.push_back(char(std::tolower(static_cast<unsigned char>(ch))));
    }
    return folded;
}

// How far above its row's value a step of a technique may be rated (the chains' length adds
// without end), and whether it may be a tenth below (the smaller wings, the Y-cycles).
int MostAbove(CTechnique technique) {
    using T = CTechnique;
    switch (technique) {
        case T::kTurbotFish:
            return 2;
        case T::kUniqueRectangle:
            return 5;
        case T::kUniqueLoop:
            return 10;
        case T::kThreeLinkXChain:
        case T::kFourLinkXChain:
            return 3;
        case T::kWXYZWing:
            return 1;
        case T::kVWXYZWing:
            return 2;
        case T::kBivalueUniversalGrave:
            return 6;
        case T::kXChain:
        case T::kYCycle:
        case T::kForcingChain:
        case T::kNishio:
        case T::kCellForcingChain:
        case T::kRegionForcingChain:
        case T::kDynamicForcingChain:
        case T::kNestedForcingChain:
            return kScaleTop;
        default:
            return 0;
    }
}

// With more givens, some row has nine, and a given whose row, column or box is otherwise
// full can go: the grid's rule fills it back.
constexpr int kMostMinimalGivens = kCellCount - kGridSize;

std::string CellName(int cell) {
    return "r" + std::to_string(cell / kGridSize + 1) + "c" + std::to_string(cell % kGridSize + 1);
}

// An orbit of `pattern`'s cells that no minimal puzzle of the pattern can have as givens:
// each of its cells lies in a unit all of whose cells are givens and none of whose others is
// in the orbit, so with the whole orbit taken away each is the last empty cell of that unit
// and one solution stays. Nullopt when there is none.
std::optional<generator::COrbit> SpareOrbit(const std::array<bool, kCellCount>& pattern,
                                            const std::vector<generator::COrbit>& orbits) {
    std::array<bool, kUnitCount> full{};
    for (int unit = 0; unit < kUnitCount; ++unit) {
        full[unit] = std::all_of(kUnitCells[unit].begin(), kUnitCells[unit].end(),
                                 [&](uint8_t cell) { return pattern[cell]; });
    }
    for (const generator::COrbit& orbit : orbits) {
        if (!pattern[orbit.cells[0]]) continue;
        const auto inOrbit = [&](int cell) {
            return std::find(orbit.cells.begin(), orbit.cells.begin() + orbit.size, cell) !=
                   orbit.cells.begin() + orbit.size;
        };
        bool spare = true;
        for (int k = 0; k < orbit.size && spare; ++k) {
            const CCellUnits& units = kCellUnits[orbit.cells[k]];
            bool alone = false;
            for (const int unit : {int(units.row), int(units.column), int(units.box)}) {
                int others = 0;
                for (const uint8_t cell : kUnitCells[unit]) others += inOrbit(cell);
                alone = alone || (full[unit] && others == 1);
            }
            spare = alone;
        }
        if (spare) return orbit;
    }
    return std::nullopt;
}

}  // namespace

std::string_view SymmetryName(CSymmetry symmetry) {
    return kSymmetryNames[size_t(symmetry)];
}

std::optional<CSymmetry> SymmetryByName(std::string_view name) {
    const std::string folded = Folded(name);
    for (int s = 0; s < kSymmetryCount; ++s) {
        if (Folded(kSymmetryNames[s]) == folded) return CSymmetry(s);
    }
    return std::nullopt;
}

CTechniqueChoice TechniqueByName(std::string_view name) {
    CTechniqueChoice choice;
    const std::string folded = Folded(name);
    // The names in the table's order, each once.
    std::vector<std::string_view> names;
    for (const logic::CTechniqueRow& row : logic::kTechniqueTable) {
        if (std::find(names.begin(), names.end(), row.name) == names.end())
            names.push_back(row.name);
    }
    std::vector<std::string_view> starting;
    for (std::string_view candidate : names) {
        const std::string f = Folded(candidate);
        if (f == folded) {
            starting.assign(1, candidate);
            break;
        }
        if (!folded.empty() && f.starts_with(folded)) starting.push_back(candidate);
    }
    if (starting.size() != 1) {
        if (starting.empty()) {
            choice.error = "no technique is called '" + std::string(name) + "'";
        } else {
            choice.error = "'" + std::string(name) + "' could be ";
            for (size_t k = 0; k < starting.size(); ++k) {
                choice.error.append(k == 0 ? "" : k + 1 == starting.size() ? " or " : ", ");
                choice.error.append(starting[k]);
            }
        }
        return choice;
    }
    choice.name = starting[0];
    for (const logic::CTechniqueRow& row : logic::kTechniqueTable) {
        if (row.name == choice.name) choice.mask |= uint64_t(1) << int(row.technique);
    }
    return choice;
}

std::pair<int, int> TechniqueRatings(uint64_t mask) {
    int lowest = kScaleTop, highest = 0;
    for (const logic::CTechniqueRow& row : logic::kTechniqueTable) {
        if ((mask >> int(row.technique) & 1) == 0) continue;
        const bool tenthBelow =
            row.technique == CTechnique::kWXYZWing || row.technique == CTechnique::kYCycle;
        lowest = std::min(lowest, row.value - (tenthBelow ? 1 : 0));
        highest = std::max(highest, std::min(kScaleTop, row.value + MostAbove(row.technique)));
    }
    return {lowest, highest};
}

namespace generator {

namespace {

std::string RatingText(int tenths) {
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}

// Whether some sum of the orbits' sizes falls within [low, high].
bool OrbitsCanSum(const std::vector<COrbit>& orbits, int low, int high) {
    std::array<bool, kCellCount + 1> reachable{};
    reachable[0] = true;
    for (const COrbit& orbit : orbits) {
        for (int n = kCellCount; n >= orbit.size; --n)
            reachable[n] = reachable[n] || reachable[n - orbit.size];
    }
    for (int n = low; n <= high; ++n) {
        if (reachable[n]) return true;
    }
    return false;
}

}  // namespace

CPrepared::CPrepared(CGeneratorOptions opts) : options(std::move(opts)) {
    orbits = Orbits(options.symmetry);
    bandMin = options.minRating;
    bandMax = options.maxRating;
    if (options.techniques != 0) {
        const auto [low, high] = TechniqueRatings(options.techniques);
        bandMin = std::max(bandMin, low);
        bandMax = std::min(bandMax, high);
    }
    rate = options.rate || bandMin > 0 || bandMax < kScaleTop || options.techniques != 0;
    if (options.pattern) {
        patternGivens = 0;
        for (bool given : *options.pattern) patternGivens += given;
        for (const COrbit& orbit : orbits) {
            if ((*options.pattern)[orbit.cells[0]]) patternOrbits.push_back(orbit);
        }
    }
    leastGivens = std::max(kLeastGivens, options.minGivens);
    mostGivens = options.maxGivens != 0 ? options.maxGivens : kCellCount;
    // A pattern has its own number of givens.
    if (!options.minimal && options.minGivens == 0 && options.maxGivens == 0 && !options.pattern) {
        leastGivens = kLooseGivens.first;
        mostGivens = kLooseGivens.second;
    }
}

// A puzzle from a random solution grid: givens taken away in a random order while one
// solution stays, down to a minimal puzzle or to a number drawn from the range.
std::optional<PuzzleGrid> CPrepared::FromGrid(CRandom& random, PuzzleGrid& solution) const {
    solution = RandomSolutionGrid(random);
    std::vector<COrbit> order = orbits;
    random.Shuffle(order.data(), int(order.size()));
    PuzzleGrid puzzle = solution;
    const int target =
        options.minimal ? 0
                        : leastGivens + int(random.Below(uint32_t(mostGivens - leastGivens + 1)));
    Reduce(puzzle, order, target);
    return puzzle;
}

// A puzzle of the pattern's cells: the digits of a random solution grid there, changed one
// at a time while the solutions they allow do not grow in number, until one is left.
std::optional<PuzzleGrid> CPrepared::FromPattern(CRandom& random, PuzzleGrid& solution,
                                                 std::stop_token stop) const {
    constexpr int kCap = 64;     // counts beyond this are all "many"
    constexpr int kSteps = 400;  // changes tried from one grid
    std::vector<uint8_t> cells;
    for (int cell = 0; cell < kCellCount; ++cell) {
        if ((*options.pattern)[cell]) cells.push_back(uint8_t(cell));
    }
    const PuzzleGrid grid = RandomSolutionGrid(random);
    PuzzleGrid puzzle{};
    for (uint8_t cell : cells) puzzle[cell] = grid[cell];
    int count = CountSolutionsUpTo(puzzle, kCap);
    for (int step = 0; step < kSteps && count > 1 && !stop.stop_requested(); ++step) {
        const int cell = cells[random.Below(uint32_t(cells.size()))];
        unsigned free = kAllDigits;
        for (uint8_t peer : kCellPeers[cell]) free &= ~(1u << puzzle[peer]);
        free &= ~(1u << puzzle[cell]);
        if (free == 0) continue;
        int pick = int(random.Below(uint32_t(std::popcount(free))));
        while (pick-- > 0) free &= free - 1;
        const uint8_t was = puzzle[cell];
        puzzle[cell] = uint8_t(std::countr_zero(free));
        const int changed = CountSolutionsUpTo(puzzle, kCap);
        if (changed >= 1 && changed <= count) {
            count = changed;
        } else {
            puzzle[cell] = was;
        }
    }
    if (count != 1) return std::nullopt;
    const CSolutionCount proved = CountSolutions(puzzle.data());
    if (proved.count != 1) return std::nullopt;
    solution = proved.solutions[0];
    if (options.minimal && !IsMinimal(puzzle, patternOrbits)) return std::nullopt;
    return puzzle;
}

// A puzzle near a seed: one or two changes (a symmetric set of givens taken away, added, or
// given other digits), a second solution ruled out by adding givens of one of the two found
// (as often as kRepairs), then made minimal when asked.
std::optional<PuzzleGrid> CPrepared::FromSeed(CRandom& random, PuzzleGrid& solution,
                                              std::stop_token stop) const {
    constexpr int kTries = 40;
    constexpr int kRepairs = 4;
    const PuzzleGrid& seed = options.seeds[random.Below(uint32_t(options.seeds.size()))];
    const bool patterned = options.pattern.has_value();
    for (int t = 0; t < kTries && !stop.stop_requested(); ++t) {
        PuzzleGrid puzzle = seed;
        const int changes = 1 + int(random.Below(2));
        for (int c = 0; c < changes; ++c) {
            const COrbit& orbit = orbits[random.Below(uint32_t(orbits.size()))];
            const bool given = puzzle[orbit.cells[0]] != 0;
            if (patterned && !given) continue;
            // A given orbit is taken away, or given other digits; an empty one is added.
            const bool remove = given && !patterned && random.Below(2) == 0;
            for (int k = 0; k < orbit.size; ++k) puzzle[orbit.cells[k]] = 0;
            if (remove) continue;
            for (int k = 0; k < orbit.size; ++k) {
                const int cell = orbit.cells[k];
                unsigned free = kAllDigits;
                for (uint8_t peer : kCellPeers[cell]) free &= ~(1u << puzzle[peer]);
                if (given) free &= ~(1u << seed[cell]);
                if (free == 0) break;
                int pick = int(random.Below(uint32_t(std::popcount(free))));
                while (pick-- > 0) free &= free - 1;
                puzzle[cell] = uint8_t(std::countr_zero(free));
            }
            if (orbit.size > 0 && puzzle[orbit.cells[orbit.size - 1]] == 0) {
                for (int k = 0; k < orbit.size; ++k) puzzle[orbit.cells[k]] = 0;  // no digit fits
                if (patterned) break;
            }
        }
        if (patterned && CountGivens(puzzle) != patternGivens) continue;
        CSolutionCount counted = CountSolutions(puzzle.data());
        for (int r = 0; r < kRepairs && counted.count == 2 && !patterned; ++r) {
            // A cell where the two solutions differ, and its orbit, given from one of them.
            std::vector<uint8_t> differ;
            for (int cell = 0; cell < kCellCount; ++cell) {
                if (counted.solutions[0][cell] != counted.solutions[1][cell])
                    differ.push_back(uint8_t(cell));
            }
            const int cell = differ[random.Below(uint32_t(differ.size()))];
            const PuzzleGrid& from = counted.solutions[random.Below(2)];
            for (const COrbit& orbit : orbits) {
                if (std::find(orbit.cells.begin(), orbit.cells.begin() + orbit.size, cell) ==
                    orbit.cells.begin() + orbit.size) {
                    continue;
                }
                for (int k = 0; k < orbit.size; ++k) puzzle[orbit.cells[k]] = from[orbit.cells[k]];
                break;
            }
            counted = CountSolutions(puzzle.data());
        }
        if (counted.count != 1) continue;
        solution = counted.solutions[0];
        if (options.minimal) {
            std::vector<COrbit> order = patterned ? patternOrbits : orbits;
            random.Shuffle(order.data(), int(order.size()));
            if (patterned) {
                if (!IsMinimal(puzzle, order)) continue;
            } else {
                Reduce(puzzle, order);
            }
        }
        if (puzzle == seed) continue;
        return puzzle;
    }
    return std::nullopt;
}

std::optional<CGeneratedPuzzle> CPrepared::Attempt(uint64_t attempt, std::stop_token stop) const {
    CRandom random(options.seed, attempt);
    PuzzleGrid solution{};
    const std::optional<PuzzleGrid> puzzle = !options.seeds.empty()
                                                 ? FromSeed(random, solution, stop)
                                             : options.pattern ? FromPattern(random, solution, stop)
                                                               : FromGrid(random, solution);
    if (!puzzle || stop.stop_requested()) return std::nullopt;
    CGeneratedPuzzle made;
    made.puzzle = *puzzle;
    made.solution = solution;
    made.givens = CountGivens(*puzzle);
    made.attempt = attempt;
    if (made.givens < leastGivens || made.givens > mostGivens) return std::nullopt;
    if (rate) {
        const std::optional<CRating> rating =
            RatePuzzleUpTo(*CCandidateGrid::FromGivens(*puzzle), bandMax, stop);
        if (!rating || rating->outcome != CRating::kRated || rating->rating < bandMin) {
            return std::nullopt;
        }
        if (options.techniques != 0 && (options.techniques >> int(rating->hardest) & 1) == 0) {
            return std::nullopt;
        }
        made.rating = rating->rating;
        made.hardest = rating->hardest;
    }
    return made;
}

std::string CPrepared::Check(int* seedIndex) const {
    if (seedIndex) *seedIndex = -1;
    const CGeneratorOptions& o = options;
    if (o.minRating > kScaleTop) {
        return "no puzzle is rated above " + RatingText(kScaleTop) + ", the top of the scale";
    }
    if (o.minRating > o.maxRating) {
        return "the least rating, " + RatingText(o.minRating) + ", is above the most, " +
               RatingText(o.maxRating);
    }
    if (o.maxRating < 10) return "no puzzle is rated below 1.0, the easiest step";
    if (o.techniques != 0 && bandMin > bandMax) {
        const auto [low, high] = TechniqueRatings(o.techniques);
        return "its hardest step rates a puzzle " +
               (low == high ? RatingText(low) : RatingText(low) + " to " + RatingText(high)) +
               ", outside the ratings asked, " + RatingText(o.minRating) + " to " +
               RatingText(o.maxRating);
    }
    if (o.minGivens < 0 || o.maxGivens < 0 || o.maxGivens > kCellCount ||
        o.minGivens > kCellCount) {
        return "the givens number from 0 to 81";
    }
    if (o.maxGivens != 0 && o.minGivens > o.maxGivens) {
        return "the least number of givens, " + std::to_string(o.minGivens) +
               ", is above the most, " + std::to_string(o.maxGivens);
    }
    if (o.maxGivens != 0 && o.maxGivens < kLeastGivens) {
        return "a puzzle with one solution has at least 17 givens";
    }
    if (o.pattern) {
        if (patternGivens < kLeastGivens) {
            return "the pattern has " + std::to_string(patternGivens) +
                   " givens; a puzzle with one solution has at least 17";
        }
        PuzzleGrid cells{};
        for (int cell = 0; cell < kCellCount; ++cell) cells[cell] = (*o.pattern)[cell];
        if (!HasSymmetry(cells, o.symmetry)) {
            return "the pattern is not symmetric " + std::string(SymmetryName(o.symmetry));
        }
        if (patternGivens < leastGivens || patternGivens > mostGivens) {
            return "the pattern has " + std::to_string(patternGivens) +
                   " givens, outside the number asked";
        }
        if (o.minimal) {
            if (const std::optional<COrbit> spare = SpareOrbit(*o.pattern, orbits)) {
                std::string cells;
                for (int k = 0; k < spare->size; ++k) {
                    cells += (k == 0                 ? ""
                              : k + 1 == spare->size ? " and "
                                                     : ", ") +
                             CellName(spare->cells[k]);
                }
                return "no minimal puzzle has this pattern: " +
                       (spare->size == 1 ? "the given at " + cells + " could go, the last"
                                         : "the givens at " + cells + " could go, each the last") +
                       " of a row, column or box full of givens";
            }
        }
    } else if (o.minimal && o.symmetry == CSymmetry::kNone && leastGivens > kMostMinimalGivens) {
        return "a minimal puzzle has at most " + std::to_string(kMostMinimalGivens) +
               " givens: with more, some row is full of them, and any of those could go";
    } else if (!OrbitsCanSum(orbits, leastGivens, mostGivens)) {
        return "with symmetry " + std::string(SymmetryName(o.symmetry)) +
               " the givens cannot number " + std::to_string(leastGivens) + " to " +
               std::to_string(mostGivens);
    }
    for (size_t k = 0; k < o.seeds.size(); ++k) {
        if (seedIndex) *seedIndex = int(k);
        const PuzzleGrid& seed = o.seeds[k];
        if (std::any_of(seed.begin(), seed.end(), [](uint8_t v) { return v > 9; })) {
            return "not a puzzle";
        }
        if (!HasOneSolution(seed)) return "not a puzzle with one solution";
        if (!HasSymmetry(seed, o.symmetry)) {
            return "its givens are not symmetric " + std::string(SymmetryName(o.symmetry));
        }
        if (o.pattern) {
            for (int cell = 0; cell < kCellCount; ++cell) {
                if ((seed[cell] != 0) != (*o.pattern)[cell])
                    return "its givens are not the pattern";
            }
        }
    }
    if (seedIndex) *seedIndex = -1;
    return "";
}

}  // namespace generator

std::string CheckOptions(const CGeneratorOptions& options, int* seedIndex) {
    return generator::CPrepared(options).Check(seedIndex);
}
