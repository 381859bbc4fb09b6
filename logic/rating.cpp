// The walk over the technique table that finds the easiest step, and the rating: the path of
// easiest steps from the puzzle to its solution, and the hardest step along it.
#include <algorithm>
#include <climits>

#include "find_context.h"

namespace logic {

namespace {

// Per row, its memo slot, and whether its finder ran already in its turn, under a row above.
constexpr std::array<int, kTechniqueCount> kSlots = [] {
    std::array<int, kTechniqueCount> slots{};
    for (int row = 0; row < kTechniqueCount; ++row) slots[row] = MemoSlot(row);
    return slots;
}();
// Made at start-up: under the sanitizers GCC does not compare functions' addresses at compile
// time.
const std::array<bool, kTechniqueCount> kFoundAbove = [] {
    std::array<bool, kTechniqueCount> found{};
    for (int row = 0; row < kTechniqueCount; ++row) {
        for (int above = row; above > 0 && kTechniqueTable[above].withAbove; --above) {
            found[row] = found[row] || kTechniqueTable[above - 1].find == kTechniqueTable[row].find;
        }
    }
    return found;
}();

// Tries the rows before `end` in order, a turn at a time: the first turn whose finders find a
// step gives the easiest of them, the one found first on a tie.
std::optional<CStep> WalkRows(CFindContext& ctx, int end) {
    for (int row = 0; row < end;) {
        std::optional<CStep> best;
        do {
            if (!kFoundAbove[row]) {
                if (ctx.stop.stop_requested()) return std::nullopt;
                ctx.slot = kSlots[row];
                std::optional<CStep> step = kTechniqueTable[row].find(ctx);
                if (step && (!best || step->rating < best->rating)) best = std::move(step);
            }
            ++row;
        } while (row < end && kTechniqueTable[row].withAbove);
        if (best) return best;
    }
    return std::nullopt;
}

// The rows up to the XYZ-wing, without a memo: what the nested chains run on the grids they
// assume.
std::optional<CStep> EasierSteps(const CCandidateGrid& grid) {
    const CUnitPositions up(grid);
    CFindContext ctx(grid, up, nullptr, {}, nullptr, &EasierSteps, false);
    return WalkRows(ctx, int(CTechnique::kXYZWing) + 1);
}

bool IsSolved(const CCandidateGrid& grid) {
    return std::find(grid.values.begin(), grid.values.end(), 0) == grid.values.end();
}

// FindEasiestStep; along a path, with what earlier steps left in `memo` and `chainMemory`,
// trying only the rows before `end`. The step records its chain's links when `links`.
std::optional<CStep> FindStep(const CCandidateGrid& grid, std::stop_token stop, CPathMemo* memo,
                              CChainMemory* chainMemory, bool links, int end = kTechniqueCount) {
    if (stop.stop_requested() || IsSolved(grid)) return std::nullopt;
    std::optional<CUnitPositions> own;
    const CUnitPositions& up = memo ? memo->PositionsOf(grid) : own.emplace(grid);
    if (up.Broken()) return std::nullopt;
    CFindContext ctx(grid, up, memo, stop, chainMemory, &EasierSteps, links);
    return WalkRows(ctx, end);
}

// The rows a path rated at most `maxRating` may need. No finder rates a step more than a
// tenth below its row's value (the smaller wings of an almost locked set and the Y-cycles go
// that tenth below), so a step of a row after the last whose value less a tenth is within
// the bound is above it, and so is the path that takes it.
int RowsWithin(int maxRating) {
    int end = kTechniqueCount;
    while (end > 0 && kTechniqueTable[end - 1].value - 1 > maxRating) --end;
    return end;
}

// The rating, walked while the path stays at or below `maxRating`; nullopt once it does not.
std::optional<CRating> Rate(const CCandidateGrid& grid, bool keepPath, std::stop_token stop,
                            int maxRating) {
    CRating result;
    // The count only says whether there is a path to walk; it never picks a step.
    const int solutions = CountCandidateSolutions(grid, stop).count;
    if (stop.stop_requested()) {
        result.outcome = CRating::kStopped;
        return result;
    }
    if (solutions != 1) {
        result.outcome = solutions == 0 ? CRating::kNoSolution : CRating::kSeveralSolutions;
        return result;
    }
    const int end = RowsWithin(maxRating);
    CCandidateGrid current = grid;
    CPathMemo memo;
    // A grid the nested chains assume at one step is often assumed again at a later one.
    const std::shared_ptr<CChainMemory> chainMemory = NewChainMemory();
    while (!IsSolved(current)) {
        std::optional<CStep> step =
            FindStep(current, stop, &memo, chainMemory.get(), keepPath, end);
        if (!step) {
            if (stop.stop_requested() || end == kTechniqueCount) {
                result.outcome = CRating::kStopped;
                return result;
            }
            return std::nullopt;  // the path's next step is of a row past `end`
        }
        if (step->rating > maxRating) return std::nullopt;
        if (step->rating > result.rating) {
            result.rating = step->rating;
            result.hardest = step->technique;
        }
        ApplyStep(current, *step);
        if (keepPath) result.path.push_back(std::move(*step));
    }
    result.outcome = CRating::kRated;
    result.solution = current.values;
    return result;
}

}  // namespace

}  // namespace logic

using namespace logic;

std::optional<CStep> FindEasiestStep(const CCandidateGrid& grid, std::stop_token stop) {
    return FindStep(grid, stop, nullptr, nullptr, true);
}

CRating RatePuzzle(const CCandidateGrid& grid, bool keepPath, std::stop_token stop) {
    return *Rate(grid, keepPath, stop, INT_MAX);
}

std::optional<CRating> RatePuzzleUpTo(const CCandidateGrid& grid, int maxRating,
                                      std::stop_token stop) {
    return Rate(grid, false, stop, maxRating);
}
