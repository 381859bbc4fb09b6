// velmo-solve: solves every puzzle of a text file, one puzzle a line, with the window's solver.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "grid_solver.h"
#include "puzzle_line.h"

namespace {

constexpr std::string_view kUsage =
    "Usage: velmo-solve [FILE]...\n"
    "Solve the puzzles in each FILE (standard input when there is none, or for -).\n"
    "\n"
    "One puzzle a line: 81 cells row by row, 1-9 a given, 0 or . an empty cell.\n"
    "Blank lines and lines starting with # are skipped.\n"
    "For each puzzle one line is written: the 81-digit solution, 'no solution', or\n"
    "'invalid' for a malformed line (its reason goes to standard error).\n"
    "\n"
    "  --help  show this text and exit\n"
    "\n"
    "Exit status: 0 if every line was well-formed, 1 if any was invalid,\n"
    "2 for a usage error or a file that cannot be read.\n";

// The batch solver never asks: its clock stands still, so the time limit cannot strike,
// which is how the window's solver behaves once the user has said to go on.
class CUnattendedPlatform final : public CSolverPlatform {
public:
    uint32_t TickCount() override { return 0; }
    void QuestionBeep() override {}
    bool AskYesNo(std::string_view) override { return true; }
};

// Standard output collected in large blocks: one write per block instead of one per line.
class COutput {
public:
    ~COutput() { Flush(); }
    void Line(std::string_view text) {
        m_buffer.append(text);
        m_buffer.push_back('\n');
        if (m_buffer.size() >= kBlock) Flush();
    }
    void Flush() {
        std::fwrite(m_buffer.data(), 1, m_buffer.size(), stdout);
        std::fflush(stdout);
        m_buffer.clear();
    }

private:
    static constexpr size_t kBlock = 1 << 16;
    std::string m_buffer;
};

// Reads a whole file, or standard input for "-". On failure errno says why.
bool ReadAll(const std::string& name, std::string& text) {
    std::FILE* file = name == "-" ? stdin : std::fopen(name.c_str(), "rb");
    if (file == nullptr) return false;
    char block[1 << 16];
    size_t got;
    while ((got = std::fread(block, 1, sizeof block, file)) > 0) text.append(block, got);
    const bool ok = !std::ferror(file);
    const int error = errno;
    if (file != stdin) std::fclose(file);
    errno = error;
    return ok;
}

// Solves every line of `text`; returns false when any line was malformed.
bool SolveText(std::string_view name, std::string_view text, CGridSolver& solver, COutput& out) {
    bool allWellFormed = true;
    size_t lineNumber = 0;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++lineNumber;

        CPuzzleLine parsed = ParsePuzzleLine(line);
        if (parsed.kind == CPuzzleLine::kSkip) continue;
        if (parsed.kind == CPuzzleLine::kInvalid) {
            allWellFormed = false;
            out.Line("invalid");
            std::cerr << "velmo-solve: " << name << ':' << lineNumber << ": " << parsed.error
                      << '\n';
            continue;
        }
        if (!solver.Solve(parsed.grid.data(), kCellCount)) {
            out.Line("no solution");
            continue;
        }
        char digits[kCellCount];
        for (int cell = 0; cell < kCellCount; ++cell) digits[cell] = char('0' + parsed.grid[cell]);
        out.Line(std::string_view(digits, kCellCount));
    }
    return allWellFormed;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> files;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (optionsEnded || arg == "-" || arg.empty() || arg[0] != '-') {
            files.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--help") {
            std::cout << kUsage;
            return 0;
        } else {
            std::cerr << "velmo-solve: unknown option '" << arg << "'\n"
                      << "Try 'velmo-solve --help' for more information.\n";
            return 2;
        }
    }
    if (files.empty()) files.push_back("-");

    std::ios::sync_with_stdio(false);
    CUnattendedPlatform platform;
    CGridSolver solver(platform);
    COutput out;
    int status = 0;
    for (const std::string& name : files) {
        std::string text;
        if (!ReadAll(name, text)) {
            out.Flush();
            std::cerr << "velmo-solve: cannot read '" << name << "': " << std::strerror(errno)
                      << '\n';
            status = 2;
            continue;
        }
        if (!SolveText(name, text, solver, out) && status == 0) status = 1;
    }
    return status;
}
