// Solving or rating one puzzle for velmo-solve and writing its answer in the chosen format.
#include "answers.h"

#include <algorithm>

#include "answer_words.h"
#include "logic.h"

namespace {

constexpr std::string_view kPencilMarksRefused =
    "a pencil-mark puzzle: only --rate, --steps, --min-rating and --max-rating read it";

std::string_view TrimmedComment(std::string_view comment) {
    const size_t first = comment.find_first_not_of(" \t\v\f");
    if (first == std::string_view::npos) return {};
    comment.remove_prefix(first);
    return comment.substr(0, comment.find_last_not_of(" \t\v\f") + 1);
}

// The comment as a table's last column: trimmed, its tabs made spaces.
std::string TableComment(std::string_view comment) {
    std::string text(TrimmedComment(comment));
    std::replace(text.begin(), text.end(), '\t', ' ');
    return text;
}

unsigned KindOf(int count) {
    return count == 0 ? kKindNone : count == 1 ? kKindUnique : kKindMultiple;
}

void AppendDigits(const PuzzleGrid& grid, char* out) {
    for (int cell = 0; cell < kCellCount; ++cell) out[cell] = char('0' + grid[cell]);
}

// A rating in tenths as the scale writes it, with one decimal: 72 as "7.2".
std::string RatingText(int tenths) {
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}

}  // namespace

std::string_view FormatHeader(const CAnswerOptions& options) {
    if (options.format != COutputFormat::kTsv) return "";
    return options.Rating() ? "puzzle\tcount\tsolution\trating\ttechnique\tcomment\n"
                            : "puzzle\tcount\tsolution\tcomment\n";
}

void CPuzzleAnswerer::WriteGrid(const char* cells, std::string& out) const {
    for (int row = 0; row < kGridSize; ++row) {
        out.append(cells + row * kGridSize, kGridSize);
        out.push_back('\n');
    }
}

// In a grid the comment goes on a line of its own before the grid, as a comment line.
void CPuzzleAnswerer::WriteComment(const CPuzzleLine& parsed, std::string& out) const {
    const std::string_view comment = TrimmedComment(parsed.comment);
    if (comment.empty()) return;
    if (comment.front() != '#') out.append("# ");
    out.append(comment);
    out.push_back('\n');
}

// The puzzle's cells as they stood: 81, or a pencil-mark puzzle's 729.
void CPuzzleAnswerer::WritePuzzle(const CPuzzleLine& parsed, std::string& out) const {
    if (parsed.IsPencilMarks()) {
        out.append(parsed.pencilMarks);
    } else {
        out.append(parsed.cells.data(), kCellCount);
    }
}

void CPuzzleAnswerer::WriteInvalid(std::string_view reason, std::string& out) const {
    switch (m_options.format) {
        case COutputFormat::kLine:
            out.append(kAnswerInvalid).push_back('\n');
            break;
        case COutputFormat::kGrid:
        case COutputFormat::kSteps:
            out.append(kAnswerInvalid).append("\n\n");
            break;
        case COutputFormat::kTsv:
            out.append("\t")
                .append(kAnswerInvalid)
                .append("\t\t")
                .append(m_options.Rating() ? "\t\t" : "");
            out.append(reason).push_back('\n');
            break;
    }
}

void CPuzzleAnswerer::Answer(const CPuzzleEntry& entry, std::string_view file, std::string& out,
                             std::string& err, CTally& tally) {
    const CPuzzleLine& parsed = entry.parsed;
    // Answers other than ratings are defined on 81 values, which pencil marks are not.
    const bool refused = parsed.IsPencilMarks() && !m_options.Rating();
    if (parsed.kind == CPuzzleLine::kInvalid || refused) {
        const std::string_view reason = refused ? kPencilMarksRefused : parsed.error;
        ++tally.invalid;
        err.append("velmo-solve: ").append(file).push_back(':');
        err.append(std::to_string(entry.line)).append(": ").append(reason).push_back('\n');
        if (m_options.kinds == 0 && !m_options.RatingFilter()) WriteInvalid(reason, out);
        return;
    }
    ++tally.puzzles;
    if (m_options.Rating()) {
        AnswerRated(parsed, out, tally);
        return;
    }

    // Counting settles counts and filters; the solution a table shows is Solve's, the
    // first in the search order, which for a unique puzzle is the one counted.
    const bool table = m_options.format == COutputFormat::kTsv;
    int count = -1;
    bool solved = false;
    char solution[kCellCount];
    if (m_options.count || m_options.kinds != 0 || table) {
        const CSolutionCount counted = CountSolutions(parsed.grid.data());
        count = counted.count;
        solved = count > 0;
        if (table && count == 1) AppendDigits(counted.solutions[0], solution);
    }
    if ((count < 0 || (table && count == 2)) &&
        (m_options.kinds == 0 || KindOf(count) & m_options.kinds)) {
        PuzzleGrid grid = parsed.grid;
        solved = m_solver.Solve(grid.data(), kCellCount) == 1;
        if (solved) AppendDigits(grid, solution);
    }
    tally.solved += solved;

    if (m_options.kinds != 0 && !(KindOf(count) & m_options.kinds)) return;
    const char* cells = parsed.cells.data();
    switch (m_options.format) {
        case COutputFormat::kLine:
            if (m_options.kinds != 0) {
                out.append(cells, kCellCount);
            } else if (m_options.count) {
                out.append(CountAnswer(count));
            } else if (solved) {
                out.append(solution, kCellCount);
            } else {
                out.append(kAnswerNoSolution);
            }
            out.append(parsed.comment).push_back('\n');
            break;
        case COutputFormat::kGrid:
            WriteComment(parsed, out);
            if (m_options.kinds != 0) {
                WriteGrid(cells, out);
            } else if (m_options.count) {
                out.append(CountAnswer(count)).push_back('\n');
            } else if (solved) {
                WriteGrid(solution, out);
            } else {
                out.append(kAnswerNoSolution).push_back('\n');
            }
            out.push_back('\n');
            break;
        case COutputFormat::kTsv:
            out.append(cells, kCellCount).push_back('\t');
            out.append(CountAnswer(count)).push_back('\t');
            if (solved) out.append(solution, kCellCount);
            out.push_back('\t');
            out.append(TableComment(parsed.comment)).push_back('\n');
            break;
        case COutputFormat::kSteps:
            break;  // a rating format, answered above
    }
}

// The rating counts the solutions exactly before it walks, so "0" and "2+" are what --count
// says, and only a puzzle with one solution is rated; a grid with every cell placed has
// nothing to rate, and is answered as solved.
void CPuzzleAnswerer::AnswerRated(const CPuzzleLine& parsed, std::string& out, CTally& tally) {
    const bool steps = m_options.format == COutputFormat::kSteps;
    const bool pencilMarks = parsed.IsPencilMarks();
    const std::optional<CCandidateGrid> start =
        pencilMarks ? CCandidateGrid::FromPencilMarks(PencilMarkMasks(parsed.pencilMarks))
                    : CCandidateGrid::FromGivens(parsed.grid);
    CRating rating;  // no solution, for pencil marks that leave a cell without a candidate
    if (start) rating = RatePuzzle(*start, steps);
    // Only a grid with one solution is walked, so a walk stopped short still had one.
    const int count = rating.outcome == CRating::kNoSolution         ? 0
                      : rating.outcome == CRating::kSeveralSolutions ? 2
                                                                     : 1;
    const bool walked = rating.outcome == CRating::kRated;
    const bool solved = walked && std::ranges::find(start->values, 0) == start->values.end();
    const bool rated = walked && !solved;
    char solution[kCellCount];
    if (walked) AppendDigits(rating.solution, solution);
    tally.solved += count > 0;
    tally.rated += rated;

    if (m_options.RatingFilter()) {
        const bool within = rated && rating.rating >= m_options.minRating.value_or(0) &&
                            rating.rating <= m_options.maxRating.value_or(rating.rating);
        if (!within) return;
    }
    const bool filter = m_options.RatingFilter();
    std::string answer;  // the rating and the technique, or the word for there being none
    if (rated) {
        answer = RatingText(rating.rating) + "\t" + std::string(TechniqueName(rating.hardest));
    } else {
        answer = solved ? kAnswerSolved : CountAnswer(count);
    }
    switch (m_options.format) {
        case COutputFormat::kLine:
            if (filter) {
                WritePuzzle(parsed, out);
            } else {
                out.append(answer);
            }
            out.append(parsed.comment).push_back('\n');
            break;
        case COutputFormat::kGrid:
            WriteComment(parsed, out);
            if (!filter) {
                out.append(answer).push_back('\n');
            } else if (pencilMarks) {
                out.append(parsed.pencilMarks).push_back('\n');
            } else {
                WriteGrid(parsed.cells.data(), out);
            }
            out.push_back('\n');
            break;
        case COutputFormat::kTsv:
            // The columns rating and technique: a solved grid's word stands for the rating.
            WritePuzzle(parsed, out);
            out.push_back('\t');
            out.append(CountAnswer(count)).push_back('\t');
            if (walked) out.append(solution, kCellCount);
            out.push_back('\t');
            if (rated || solved) out.append(answer);
            if (!rated) out.push_back('\t');
            out.push_back('\t');
            out.append(TableComment(parsed.comment)).push_back('\n');
            break;
        case COutputFormat::kSteps:
            WritePuzzle(parsed, out);
            out.append(parsed.comment).push_back('\n');
            if (rated) {
                for (const CStep& step : rating.path) out.append(FormatStep(step)).push_back('\n');
            } else {
                out.append(answer).push_back('\n');
            }
            out.push_back('\n');
            break;
    }
}
