// Solving one puzzle for velmo-solve and writing its answer in the chosen format.
#include "answers.h"

#include <algorithm>

namespace {

constexpr std::string_view kCounts[] = {"0", "1", "2+"};
constexpr std::string_view kInvalid = "invalid";
constexpr std::string_view kNoSolution = "no solution";

std::string_view TrimmedComment(std::string_view comment) {
    const size_t first = comment.find_first_not_of(" \t\v\f");
    if (first == std::string_view::npos) return {};
    comment.remove_prefix(first);
    return comment.substr(0, comment.find_last_not_of(" \t\v\f") + 1);
}

unsigned KindOf(int count) {
    return count == 0 ? kKindNone : count == 1 ? kKindUnique : kKindMultiple;
}

void AppendDigits(const PuzzleGrid& grid, char* out) {
    for (int cell = 0; cell < kCellCount; ++cell) out[cell] = char('0' + grid[cell]);
}

}  // namespace

std::string_view FormatHeader(COutputFormat format) {
    return format == COutputFormat::kTsv ? "puzzle\tcount\tsolution\tcomment\n" : "";
}

void CPuzzleAnswerer::WriteGrid(const char* cells, std::string& out) const {
    for (int row = 0; row < kGridSize; ++row) {
        out.append(cells + row * kGridSize, kGridSize);
        out.push_back('\n');
    }
}

// In a grid the comment goes on a line of its own before the grid, as a comment line.
void CPuzzleAnswerer::WriteComment(const CPuzzleEntry& entry, std::string& out) const {
    const std::string_view comment = TrimmedComment(entry.parsed.comment);
    if (comment.empty()) return;
    if (comment.front() != '#') out.append("# ");
    out.append(comment);
    out.push_back('\n');
}

void CPuzzleAnswerer::Answer(const CPuzzleEntry& entry, std::string_view file, std::string& out,
                             std::string& err, CTally& tally) {
    const CPuzzleLine& parsed = entry.parsed;
    if (parsed.kind == CPuzzleLine::kInvalid) {
        ++tally.invalid;
        err.append("velmo-solve: ").append(file).push_back(':');
        err.append(std::to_string(entry.line)).append(": ").append(parsed.error).push_back('\n');
        if (m_options.kinds != 0) return;
        switch (m_options.format) {
            case COutputFormat::kLine:
                out.append(kInvalid).push_back('\n');
                break;
            case COutputFormat::kGrid:
                out.append(kInvalid).append("\n\n");
                break;
            case COutputFormat::kTsv:
                out.append("\tinvalid\t\t").append(parsed.error).push_back('\n');
                break;
        }
        return;
    }
    ++tally.puzzles;

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
                out.append(kCounts[count]);
            } else if (solved) {
                out.append(solution, kCellCount);
            } else {
                out.append(kNoSolution);
            }
            out.append(parsed.comment).push_back('\n');
            break;
        case COutputFormat::kGrid:
            WriteComment(entry, out);
            if (m_options.kinds != 0) {
                WriteGrid(cells, out);
            } else if (m_options.count) {
                out.append(kCounts[count]).push_back('\n');
            } else if (solved) {
                WriteGrid(solution, out);
            } else {
                out.append(kNoSolution).push_back('\n');
            }
            out.push_back('\n');
            break;
        case COutputFormat::kTsv: {
            out.append(cells, kCellCount).push_back('\t');
            out.append(kCounts[count]).push_back('\t');
            if (solved) out.append(solution, kCellCount);
            out.push_back('\t');
            std::string comment(TrimmedComment(parsed.comment));
            std::replace(comment.begin(), comment.end(), '\t', ' ');
            out.append(comment).push_back('\n');
            break;
        }
    }
}
