// The C interface: velmo.h's functions on the solver's own Solve, CountSolutions and
// IsConsistent, and the logic solver's RatePuzzle and FindHint. Each call builds what it needs on
// its stack, so calls never share state.
#include "velmo.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstddef>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "generator.h"
#include "grid_cells.h"
#include "grid_solver.h"
#include "hint.h"
#include "logic.h"
#include "unattended_platform.h"

namespace {

// The window's answer without the window: a stopped clock never reaches the minute, so
// the question that follows it is never asked.
int SolveGrid(PuzzleGrid& grid) {
    CUnattendedPlatform platform;
    CGridSolver solver(platform);
    return solver.Solve(grid.data(), kCellCount) == 1 ? 1 : 0;
}

// The status that velmo.h gives for what a check of the input found.
int Status(const CCellsCheck& check) {
    switch (check.error) {
        case CCellsCheck::kNone:
            return VELMO_OK;
        case CCellsCheck::kLength:
            return VELMO_ERROR_LENGTH;
        case CCellsCheck::kCharacter:
            return VELMO_ERROR_CHARACTER;
        case CCellsCheck::kValue:
            return VELMO_ERROR_VALUE;
    }
    return VELMO_ERROR_INTERNAL;
}

// Nothing below is known to throw; a failure to allocate, should the solver ever
// allocate, must still not cross into C.
template <typename Call>
int Guarded(Call call) noexcept {
    try {
        return call();
    } catch (...) {
        return VELMO_ERROR_INTERNAL;
    }
}

// RatePuzzle's outcome as velmo_rate answers it: 1 rated, 0 or 2 as velmo_count. Every grid
// with one solution has a path, so a path that stops short is the solver failing.
int RateOutcome(const CRating& rating) {
    switch (rating.outcome) {
        case CRating::kRated:
            return 1;
        case CRating::kNoSolution:
            return 0;
        case CRating::kSeveralSolutions:
            return 2;
        case CRating::kStopped:
            break;
    }
    return VELMO_ERROR_INTERNAL;
}

int RateGrid(const PuzzleGrid& grid, int* rating, const char** technique) {
    const std::optional<CCandidateGrid> start = CCandidateGrid::FromGivens(grid);
    if (!start) return VELMO_ERROR_VALUE;
    const CRating rated = RatePuzzle(*start);
    const int outcome = RateOutcome(rated);
    if (outcome == 1) {
        if (rating != nullptr) *rating = rated.rating;
        // The names are string literals, so each view ends at a '\0'.
        if (technique != nullptr) *technique = TechniqueName(rated.hardest).data();
    }
    return outcome;
}

int WriteSteps(const PuzzleGrid& grid, char* buffer, size_t size) {
    const std::optional<CCandidateGrid> start = CCandidateGrid::FromGivens(grid);
    if (!start) return VELMO_ERROR_VALUE;
    const CRating rated = RatePuzzle(*start, true);
    switch (RateOutcome(rated)) {
        case 1:
            break;
        case 0:
            return VELMO_ERROR_NO_SOLUTION;
        case 2:
            return VELMO_ERROR_SEVERAL_SOLUTIONS;
        default:
            return VELMO_ERROR_INTERNAL;
    }
    std::string text;
    for (const CStep& step : rated.path) text.append(FormatStep(step)).push_back('\n');
    if (text.size() > size_t(INT_MAX)) return VELMO_ERROR_INTERNAL;
    if (size > 0) {
        const size_t written = std::min(text.size(), size - 1);
        std::memcpy(buffer, text.data(), written);
        buffer[written] = '\0';
    }
    return int(text.size());
}

velmo_candidate CandidateOf(const CCandidate& c) {
    return {c.cell, c.digit};
}

velmo_link_end EndOf(const CLinkEnd& end) {
    velmo_link_end out{end.digit, end.size, {}};
    std::copy_n(end.cells.begin(), end.size, out.cells);
    return out;
}

template <size_t N>
size_t CopyCandidates(const std::vector<CCandidate>& from, velmo_candidate (&to)[N]) {
    const size_t count = std::min(from.size(), N);
    std::transform(from.begin(), from.begin() + std::ptrdiff_t(count), to, CandidateOf);
    return count;
}

// FindHint's answer in velmo.h's terms; false for an outcome velmo.h has none for.
bool FillHint(const CHint& hint, velmo_hint_result& out) {
    switch (hint.outcome) {
        case CHint::kStep: {
            const CStep& step = *hint.step;
            out.outcome = VELMO_HINT_STEP;
            out.technique = TechniqueName(step.technique).data();
            out.rating = step.rating;
            out.unit = step.unit;
            out.cell_count = std::min(step.cells.size(), size_t(VELMO_CELLS));
            std::copy_n(step.cells.begin(), out.cell_count, out.cells);
            out.pattern_count = CopyCandidates(step.pattern, out.pattern);
            out.placement_count = CopyCandidates(step.placements, out.placements);
            out.elimination_count = CopyCandidates(step.eliminations, out.eliminations);
            const std::string notation = FormatStep(step);
            const size_t length = std::min(notation.size(), sizeof(out.notation) - 1);
            std::memcpy(out.notation, notation.data(), length);
            out.notation[length] = '\0';
            out.link_count = step.links.size();
            for (size_t k = 0; k < std::min(step.links.size(), size_t(VELMO_LINKS)); ++k) {
                const CChainLink& link = step.links[k];
                out.links[k] = {EndOf(link.from), EndOf(link.to),
                                link.strong ? uint8_t(1) : uint8_t(0)};
            }
            return true;
        }
        case CHint::kSolved:
            out.outcome = VELMO_HINT_SOLVED;
            return true;
        case CHint::kNoSolution:
            out.outcome = VELMO_HINT_NO_SOLUTION;
            return true;
        case CHint::kSeveralSolutions:
            out.outcome = VELMO_HINT_SEVERAL_SOLUTIONS;
            return true;
        case CHint::kWrongEntries:
            out.outcome = VELMO_HINT_WRONG_ENTRIES;
            out.wrong_cell_count = std::min(hint.wrongCells.size(), size_t(VELMO_CELLS));
            std::copy_n(hint.wrongCells.begin(), out.wrong_cell_count, out.wrong_cells);
            return true;
        case CHint::kWrongStrikeOuts:
            out.outcome = VELMO_HINT_WRONG_STRIKE_OUTS;
            out.wrong_candidate_count = CopyCandidates(hint.wrongCandidates, out.wrong_candidates);
            return true;
        case CHint::kNoStep:
            out.outcome = VELMO_HINT_NO_STEP;
            return true;
        case CHint::kStopped:
            break;
    }
    return false;
}

// The smallest result a caller may give: the struct as velmo_hint first had it, before the
// links were added at its end. A caller's result is filled up to its size.
constexpr size_t kHintResultSize = offsetof(velmo_hint_result, link_count);

}  // namespace

extern "C" {

int velmo_solve(const unsigned char* grid, size_t length, unsigned char* solution) {
    if (grid == nullptr || solution == nullptr) return VELMO_ERROR_NULL;
    return Guarded([&] {
        PuzzleGrid work;
        if (const int status = Status(ReadGridBytes(grid, length, work)); status != VELMO_OK)
            return status;
        const int solved = SolveGrid(work);
        if (solved) std::memcpy(solution, work.data(), kCellCount);
        return solved;
    });
}

int velmo_solve_text(const char* text, size_t length, char* solution) {
    if (text == nullptr || solution == nullptr) return VELMO_ERROR_NULL;
    return Guarded([&] {
        PuzzleGrid work;
        if (const int status = Status(ReadGridText(text, length, work)); status != VELMO_OK)
            return status;
        const int solved = SolveGrid(work);
        if (solved) {
            WriteGridText(work.data(), solution);
            solution[kCellCount] = '\0';
        }
        return solved;
    });
}

int velmo_count(const unsigned char* grid, size_t length, unsigned char* solutions) {
    if (grid == nullptr) return VELMO_ERROR_NULL;
    return Guarded([&] {
        if (const int status = Status(CheckGrid(grid, length)); status != VELMO_OK) return status;
        const CSolutionCount counted = CountSolutions(grid);
        if (solutions != nullptr) {
            for (int i = 0; i < counted.count; ++i) {
                std::memcpy(solutions + i * kCellCount, counted.solutions[i].data(), kCellCount);
            }
        }
        return counted.count;
    });
}

int velmo_count_text(const char* text, size_t length, char* solutions) {
    if (text == nullptr) return VELMO_ERROR_NULL;
    return Guarded([&] {
        PuzzleGrid grid;
        if (const int status = Status(ReadGridText(text, length, grid)); status != VELMO_OK)
            return status;
        const CSolutionCount counted = CountSolutions(grid.data());
        if (solutions != nullptr) {
            for (int i = 0; i < counted.count; ++i) {
                char* out = solutions + i * (kCellCount + 1);
                WriteGridText(counted.solutions[i].data(), out);
                out[kCellCount] = '\0';
            }
        }
        return counted.count;
    });
}

int velmo_is_consistent(const unsigned char* grid, size_t length) {
    if (grid == nullptr) return VELMO_ERROR_NULL;
    if (const int status = Status(CheckGrid(grid, length)); status != VELMO_OK) return status;
    return IsConsistent(grid);
}

int velmo_is_consistent_text(const char* text, size_t length) {
    if (text == nullptr) return VELMO_ERROR_NULL;
    PuzzleGrid grid;
    if (const int status = Status(ReadGridText(text, length, grid)); status != VELMO_OK)
        return status;
    return IsConsistent(grid.data());
}

int velmo_rate(const unsigned char* grid, size_t length, int* rating, const char** technique) {
    if (grid == nullptr) return VELMO_ERROR_NULL;
    return Guarded([&] {
        PuzzleGrid work;
        if (const int status = Status(ReadGridBytes(grid, length, work)); status != VELMO_OK)
            return status;
        return RateGrid(work, rating, technique);
    });
}

int velmo_rate_text(const char* text, size_t length, int* rating, const char** technique) {
    if (text == nullptr) return VELMO_ERROR_NULL;
    return Guarded([&] {
        PuzzleGrid work;
        if (const int status = Status(ReadGridText(text, length, work)); status != VELMO_OK)
            return status;
        return RateGrid(work, rating, technique);
    });
}

int velmo_steps(const unsigned char* grid, size_t length, char* buffer, size_t size) {
    if (grid == nullptr || (buffer == nullptr && size > 0)) return VELMO_ERROR_NULL;
    return Guarded([&] {
        PuzzleGrid work;
        if (const int status = Status(ReadGridBytes(grid, length, work)); status != VELMO_OK)
            return status;
        return WriteSteps(work, buffer, size);
    });
}

int velmo_steps_text(const char* text, size_t length, char* buffer, size_t size) {
    if (text == nullptr || (buffer == nullptr && size > 0)) return VELMO_ERROR_NULL;
    return Guarded([&] {
        PuzzleGrid work;
        if (const int status = Status(ReadGridText(text, length, work)); status != VELMO_OK)
            return status;
        return WriteSteps(work, buffer, size);
    });
}

int velmo_hint(const unsigned char* givens, const unsigned char* entries,
               const unsigned short* struck, velmo_hint_result* out) {
    if (givens == nullptr || out == nullptr) return VELMO_ERROR_NULL;
    if (out->size < kHintResultSize) return VELMO_ERROR_SIZE;
    return Guarded([&]() -> int {
        PuzzleGrid puzzle, cells{};
        if (const int status = Status(ReadGridBytes(givens, kCellCount, puzzle));
            status != VELMO_OK)
            return status;
        if (entries != nullptr) {
            if (const int status = Status(ReadGridBytes(entries, kCellCount, cells));
                status != VELMO_OK)
                return status;
        }
        CandidateMasks masks{};
        for (int cell = 0; struck != nullptr && cell < kCellCount; ++cell) {
            if ((struck[cell] & ~kAllDigits) != 0) return VELMO_ERROR_VALUE;
            masks[cell] = struck[cell];
        }
        const CCandidateGrid start = *CCandidateGrid::FromGivens(puzzle);
        const CHint hint = FindHint(start, WorkingGrid(start, cells, masks));
        // Some 32 KB: on the heap, not on a caller's thread stack that may be small.
        auto result = std::make_unique<velmo_hint_result>();
        std::memset(result.get(), 0, sizeof(*result));
        if (!FillHint(hint, *result)) return VELMO_ERROR_INTERNAL;
        result->size = out->size;
        std::memcpy(out, result.get(), std::min(out->size, sizeof(velmo_hint_result)));
        return VELMO_OK;
    });
}

int velmo_generate(const velmo_generate_options* options, velmo_generated* puzzles, size_t count) {
    if (options == nullptr || puzzles == nullptr) return VELMO_ERROR_NULL;
    if (options->size < sizeof(velmo_generate_options)) return VELMO_ERROR_SIZE;
    if (count == 0 || count > size_t(INT_MAX)) return VELMO_ERROR_OPTIONS;
    return Guarded([&]() -> int {
        const velmo_generate_options& o = *options;
        if (o.symmetry < 0 || o.symmetry >= kSymmetryCount || o.threads < 0 || o.threads > 1024 ||
            !(o.time_limit >= 0) || o.time_limit > 1e9) {
            return VELMO_ERROR_OPTIONS;
        }
        CGeneratorOptions g;
        g.minRating = o.min_rating;
        g.maxRating = o.max_rating == 0 ? kScaleTop : o.max_rating;
        if (o.technique != nullptr) {
            g.techniques = TechniqueByName(o.technique).mask;
            if (g.techniques == 0) return VELMO_ERROR_OPTIONS;
        }
        g.symmetry = CSymmetry(o.symmetry);
        g.minGivens = o.min_givens;
        g.maxGivens = o.max_givens;
        g.minimal = o.not_minimal == 0;
        g.seed = o.seed;
        if (!CheckOptions(g).empty()) return VELMO_ERROR_OPTIONS;
        CGenerator generator(std::move(g));
        std::stop_source stop;
        int made = 0;
        const auto deliver = [&](const CGeneratedPuzzle& p) {
            velmo_generated& out = puzzles[made++];
            for (int cell = 0; cell < kCellCount; ++cell) {
                out.puzzle[cell] = p.puzzle[cell] == 0 ? '.' : char('0' + p.puzzle[cell]);
                out.solution[cell] = char('0' + p.solution[cell]);
            }
            out.puzzle[kCellCount] = out.solution[kCellCount] = '\0';
            out.rating = p.rating;
            out.technique = TechniqueName(p.hardest).data();
            out.givens = p.givens;
            return true;
        };
        const auto poll = [&](const CRunProgress&) {
            if (o.cancel != nullptr && *o.cancel != 0) stop.request_stop();
        };
        generator.Run(int(count), unsigned(std::max(1, o.threads)),
                      std::chrono::nanoseconds(int64_t(o.time_limit * 1e9)), stop.get_token(),
                      deliver, poll, std::chrono::milliseconds(10));
        return made;
    });
}

const char* velmo_error_message(int status) {
    switch (status) {
        case VELMO_ERROR_LENGTH:
            return "the puzzle does not have 81 cells";
        case VELMO_ERROR_CHARACTER:
            return "a character is not a cell (1-9, or 0 or . for an empty cell)";
        case VELMO_ERROR_VALUE:
            return "a cell holds a value above 9";
        case VELMO_ERROR_NULL:
            return "a null pointer was given";
        case VELMO_ERROR_INTERNAL:
            return "the solver failed";
        case VELMO_ERROR_NO_SOLUTION:
            return "the puzzle has no solution, so no logical steps";
        case VELMO_ERROR_SEVERAL_SOLUTIONS:
            return "the puzzle has several solutions, so no logical steps";
        case VELMO_ERROR_SIZE:
            return "the result's size is not set, or smaller than this library's";
        case VELMO_ERROR_OPTIONS:
            return "the options cannot be met by any puzzle";
        default:
            return status >= 0 ? "no error" : "unknown error";
    }
}

const char* velmo_version(void) {
    return VELMO_VERSION;
}

}  // extern "C"
