// velmo-solve: solves every puzzle of a text file, one puzzle a line, with the window's solver.
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "grid_solver.h"
#include "puzzle_line.h"
#include "unattended_platform.h"

namespace {

constexpr std::string_view kUsage =
    "Usage: velmo-solve [OPTION]... [FILE]...\n"
    "Solve the puzzles in each FILE (standard input when there is none, or for -).\n"
    "\n"
    "One puzzle a line: 81 cells row by row, 1-9 a given, 0 or . an empty cell.\n"
    "Blank lines and lines starting with # are skipped.\n"
    "For each puzzle one line is written: the 81-digit solution, 'no solution', or\n"
    "'invalid' for a malformed line (its reason goes to standard error).\n"
    "\n"
    "  --count       write how many solutions each puzzle has instead: 0, 1 or 2+\n"
    "  --stats       after the run, write counts and timing to standard error\n"
    "  --threads N   solve on N threads (default: one per core); output stays in order\n"
    "  --help        show this text and exit\n"
    "\n"
    "Exit status: 0 if every line was well-formed, 1 if any was invalid,\n"
    "2 for a usage error or a file that cannot be read.\n";

struct COptions {
    bool count = false;
    bool stats = false;
    unsigned threads = 0;  // 0: one per core
    std::vector<std::string> files;
};

// One line of input that is not skipped, in input order, with its answer once solved.
struct CJob {
    CPuzzleLine parsed;
    std::string_view file;
    size_t line = 0;
    bool solved = false;      // has a solution (or, with --count, one or more)
    char answer[kCellCount];  // the line to write, `answerLength` characters
    uint8_t answerLength = 0;

    void SetAnswer(std::string_view text) {
        std::copy(text.begin(), text.end(), answer);
        answerLength = static_cast<uint8_t>(text.size());
    }
    std::string_view Answer() const { return std::string_view(answer, answerLength); }
};

constexpr std::string_view kInvalid = "invalid";
constexpr std::string_view kNoSolution = "no solution";

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

// Adds a job for every line of `text` that is a puzzle or malformed.
void AddJobs(std::string_view name, std::string_view text, std::vector<CJob>& jobs) {
    size_t lineNumber = 0;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++lineNumber;
        CPuzzleLine parsed = ParsePuzzleLine(line);
        if (parsed.kind == CPuzzleLine::kSkip) continue;
        CJob& job = jobs.emplace_back();
        job.parsed = std::move(parsed);
        job.file = name;
        job.line = lineNumber;
    }
}

void Solve(CJob& job, bool countOnly, CGridSolver& solver) {
    if (job.parsed.kind == CPuzzleLine::kInvalid) {
        job.SetAnswer(kInvalid);
        return;
    }
    if (countOnly) {
        static constexpr std::string_view kCounts[] = {"0", "1", "2+"};
        const int count = CountSolutions(job.parsed.grid.data()).count;
        job.solved = count > 0;
        job.SetAnswer(kCounts[count]);
        return;
    }
    PuzzleGrid grid = job.parsed.grid;
    job.solved = solver.Solve(grid.data(), kCellCount) == 1;
    if (!job.solved) {
        job.SetAnswer(kNoSolution);
        return;
    }
    for (int cell = 0; cell < kCellCount; ++cell) job.answer[cell] = char('0' + grid[cell]);
    job.answerLength = kCellCount;
}

// Solves all jobs on `threads` threads; each takes blocks of jobs from a shared counter.
void SolveAll(std::vector<CJob>& jobs, bool countOnly, unsigned threads) {
    constexpr size_t kBlock = 64;
    std::atomic<size_t> next{0};
    const auto work = [&] {
        CUnattendedPlatform platform;
        CGridSolver solver(platform);
        for (;;) {
            const size_t first = next.fetch_add(kBlock);
            if (first >= jobs.size()) return;
            const size_t last = std::min(jobs.size(), first + kBlock);
            for (size_t i = first; i < last; ++i) Solve(jobs[i], countOnly, solver);
        }
    };
    threads = std::max(1u, std::min<unsigned>(threads, unsigned(jobs.size() / kBlock + 1)));
    std::vector<std::thread> helpers;
    for (unsigned t = 1; t < threads; ++t) helpers.emplace_back(work);
    work();
    for (std::thread& helper : helpers) helper.join();
}

// Writes the answers in input order, in large blocks.
void WriteAnswers(const std::vector<CJob>& jobs) {
    std::string out;
    out.reserve(1 << 17);
    const auto flush = [&out] {
        std::fwrite(out.data(), 1, out.size(), stdout);
        std::fflush(stdout);
        out.clear();
    };
    for (const CJob& job : jobs) {
        if (job.parsed.kind == CPuzzleLine::kInvalid) {
            // The answers so far go out first, so that a terminal shows the message
            // next to the line it is about.
            flush();
            std::cerr << "velmo-solve: " << job.file << ':' << job.line << ": " << job.parsed.error
                      << '\n';
        }
        out.append(job.Answer());
        out.push_back('\n');
        if (out.size() >= (1 << 16)) flush();
    }
    flush();
}

// What --stats reports, summed over the files.
struct CTally {
    size_t puzzles = 0;
    size_t solved = 0;
    size_t invalid = 0;
    double seconds = 0;

    void Add(const std::vector<CJob>& jobs) {
        for (const CJob& job : jobs) {
            if (job.parsed.kind == CPuzzleLine::kInvalid) {
                ++invalid;
            } else {
                ++puzzles;
                solved += job.solved;
            }
        }
    }

    void Write() const {
        char text[256];
        std::snprintf(text, sizeof text,
                      "puzzles: %zu, solved: %zu, without solution: %zu, invalid: %zu, "
                      "time: %.3f s, %.2f us/puzzle\n",
                      puzzles, solved, puzzles - solved, invalid, seconds,
                      puzzles ? seconds * 1e6 / double(puzzles) : 0.0);
        std::cerr << text;
    }
};

int UsageError(const std::string& message) {
    std::cerr << "velmo-solve: " << message << "\nTry 'velmo-solve --help' for more information.\n";
    return 2;
}

// Parses the command line; returns -1 to go on, else the exit status.
int ParseOptions(int argc, char** argv, COptions& options) {
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (optionsEnded || arg == "-" || arg.empty() || arg[0] != '-') {
            options.files.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--help") {
            std::cout << kUsage;
            return 0;
        } else if (arg == "--count") {
            options.count = true;
        } else if (arg == "--stats") {
            options.stats = true;
        } else if (arg == "--threads" || arg.rfind("--threads=", 0) == 0) {
            std::string value;
            if (arg == "--threads") {
                if (i + 1 == argc) return UsageError("--threads needs a number");
                value = argv[++i];
            } else {
                value = arg.substr(std::strlen("--threads="));
            }
            unsigned threads = 0;
            const auto [end, error] =
                std::from_chars(value.data(), value.data() + value.size(), threads);
            if (error != std::errc() || end != value.data() + value.size() || threads < 1 ||
                threads > 1024) {
                return UsageError("--threads takes a whole number from 1 to 1024, not '" + value +
                                  "'");
            }
            options.threads = threads;
        } else {
            return UsageError("unknown option '" + arg + "'");
        }
    }
    if (options.files.empty()) options.files.push_back("-");
    if (options.threads == 0) options.threads = std::max(1u, std::thread::hardware_concurrency());
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    COptions options;
    if (const int status = ParseOptions(argc, argv, options); status >= 0) return status;

    // Files are read and solved in turn, so that an unreadable file's message comes after
    // the answers to the files before it.
    int status = 0;
    CTally tally;
    for (const std::string& name : options.files) {
        std::string text;
        if (!ReadAll(name, text)) {
            std::cerr << "velmo-solve: cannot read '" << name << "': " << std::strerror(errno)
                      << '\n';
            status = 2;
            continue;
        }
        std::vector<CJob> jobs;
        AddJobs(name, text, jobs);
        const auto start = std::chrono::steady_clock::now();
        SolveAll(jobs, options.count, options.threads);
        tally.seconds +=
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        WriteAnswers(jobs);
        const size_t invalidBefore = tally.invalid;
        tally.Add(jobs);
        if (tally.invalid > invalidBefore && status == 0) status = 1;
    }
    if (options.stats) tally.Write();
    return status;
}
