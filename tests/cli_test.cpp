// velmo-solve, run as a user runs it: input files and standard input, the output formats and
// filters, messages and exit status, write errors, closed pipes, and streaming in bounded
// memory.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <thread>

#include "logic.h"
#include "program_run.h"
#include "puzzle_line.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;

const std::string kPuzzle =
    "4.....8.5.3..........7......2.....6.....8.4......1.......6.3.7.5..2.....1.4......";
const std::string kSolution =
    "417369825632158947958724316825437169791586432346912758289643571573291684164875293";
const std::string kConflict = "55" + std::string(79, '.');
const std::string kNoSolution = "12345678." + std::string(17, '.') + "9" + std::string(54, '.');
const std::string kEmpty(81, '.');

// The rating answer that the logic library gives `grid`: "7.2\tX-Wing", and its steps.
std::string RatingOf(const std::optional<CCandidateGrid>& grid, std::string* steps = nullptr) {
    const CRating rating = RatePuzzle(*grid, true);
    EXPECT_EQ(rating.outcome, CRating::kRated);
    if (steps != nullptr) {
        for (const CStep& step : rating.path) *steps += FormatStep(step) + "\n";
    }
    return std::to_string(rating.rating / 10) + "." + std::to_string(rating.rating % 10) + "\t" +
           std::string(TechniqueName(rating.hardest));
}

// The pencil marks of a grid of givens: a given alone in its cell, every digit elsewhere.
std::string PencilMarksOf(const std::string& cells) {
    std::string marks;
    for (char ch : cells) {
        for (char digit = '1'; digit <= '9'; ++digit)
            marks += ch == '.' || ch == digit ? digit : '.';
    }
    return marks;
}

// The 9 rows of an 81-character grid, each followed by a line end.
std::string Rows(const std::string& cells) {
    std::string rows;
    for (int row = 0; row < 9; ++row) rows += cells.substr(size_t(row) * 9, 9) + "\n";
    return rows;
}

class CliTest : public CProgramTest {
  protected:
    // Runs velmo-solve with `args` (already quoted for the shell) and `input` on stdin;
    // `redirect` replaces the capture of standard output.
    CRun Run(const std::string& args, const std::string& input = "",
             const std::string& redirect = "") {
        Write("stdin", input);
        const std::string command =
            std::string("'") + VELMO_SOLVE_PATH + "' " + args + " < " + Quote(m_dir / "stdin") +
            (redirect.empty() ? " > " + Quote(m_dir / "stdout") : " " + redirect) + " 2> " +
            Quote(m_dir / "stderr");
        return Shell(command);
    }

    // Runs a shell command whose output lands in the test's stdout and stderr files.
    CRun Shell(const std::string& command) {
        fs::remove(m_dir / "stdout");
        const int raw = std::system(command.c_str());
        CRun run;
        run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        run.out = Slurp(m_dir / "stdout");
        run.err = Slurp(m_dir / "stderr");
        return run;
    }
};

TEST_F(CliTest, SolvesEachPuzzleOfStandardInput) {
    const CRun run =
        Run("", kPuzzle + "\n" + kEmpty + "\n" + kConflict + "\n" + kNoSolution + "\n");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              kSolution + "\n" + std::string(kEmptyGridSolution) + "\nno solution\nno solution\n");
    EXPECT_EQ(run.err, "");
}

TEST_F(CliTest, AcceptsAnyLineEndAByteOrderMarkBlanksCommentsAndZeros) {
    std::string zeros = kPuzzle;
    std::replace(zeros.begin(), zeros.end(), '.', '0');
    const fs::path crlf =
        Write("crlf.txt", "\xef\xbb\xbf# source\r\n\r\n  " + kPuzzle + " \r\n\t\r\n" + zeros);
    const fs::path cr = Write("cr.txt", "\xef\xbb\xbf" + kPuzzle + "\r# x\r" + zeros + "\r");
    const CRun run = Run(Quote(crlf) + " " + Quote(cr));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, kSolution + "\n" + kSolution + "\n" + kSolution + "\n" + kSolution + "\n");
    EXPECT_EQ(run.err, "");
}

TEST_F(CliTest, ReportsMalformedLinesAndGoesOn) {
    std::string wide;
    for (int cell = 0; cell < kCellCount; ++cell) wide += "７";
    const fs::path file = Write("bad.txt", "# header\n" + kPuzzle.substr(1) + "\n" + kPuzzle +
                                               "\n" + "x" + kPuzzle.substr(1) + "\n" + wide + "\n");
    const CRun run = Run(Quote(file));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "invalid\n" + kSolution + "\ninvalid\ninvalid\n");
    const std::string at = "velmo-solve: " + file.string();
    EXPECT_EQ(run.err, at + ":2: expected 81 cells, or 9 in a row of a grid, found 80\n" + at +
                           ":4: unexpected 'x' at cell 1\n" + at +
                           ":5: unexpected '７' (U+FF17) at cell 1\n");
}

TEST_F(CliTest, KeepsTextAfterTheCellsAsAComment) {
    const CRun run = Run("", kPuzzle + "  # from top95\n" + kConflict + "\thard\n");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, kSolution + "  # from top95\nno solution\thard\n");
}

TEST_F(CliTest, ReadsFilesInOrderAndDashAsStandardInput) {
    const fs::path first = Write("first.txt", kConflict + "\n");
    const fs::path second = Write("second.txt", "bad\n");
    const CRun run = Run(Quote(first) + " - " + Quote(second), kPuzzle + "\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "no solution\n" + kSolution + "\ninvalid\n");
    EXPECT_EQ(run.err, "velmo-solve: " + second.string() + ":1: unexpected 'b' at cell 1\n");
}

TEST_F(CliTest, UnreadableFileIsNamedAndExitsTwo) {
    const fs::path missing = m_dir / "missing.txt";
    const fs::path good = Write("good.txt", kPuzzle + "\n");
    const CRun run = Run(Quote(missing) + " " + Quote(good));
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err,
              "velmo-solve: cannot read '" + missing.string() + "': No such file or directory\n");
    EXPECT_EQ(run.out, kSolution + "\n") << "the readable file is still solved";

    const CRun directory = Run(Quote(m_dir));
    EXPECT_EQ(directory.status, 2);
    EXPECT_EQ(directory.err, "velmo-solve: cannot read '" + m_dir.string() + "': Is a directory\n");
}

TEST_F(CliTest, BinaryInputStopsThatFileWithStatusTwo) {
    const fs::path binary = Write("binary.txt", kPuzzle + "\n" + kPuzzle + '\0' + "\n" + kPuzzle);
    const fs::path good = Write("good.txt", kConflict + "\n");
    const CRun run = Run(Quote(binary) + " " + Quote(good));
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, kSolution + "\nno solution\n");
    EXPECT_EQ(run.err, "velmo-solve: " + binary.string() +
                           ":2: a NUL byte: not a text file (UTF-16?), the rest is not read\n");

    // Endless zeros end at once.
    const CRun zero = Run("/dev/zero");
    EXPECT_EQ(zero.status, 2);
    EXPECT_EQ(zero.out, "");
    EXPECT_NE(zero.err.find("/dev/zero:1: a NUL byte"), std::string::npos) << zero.err;
}

TEST_F(CliTest, UsageErrorsHelpAndVersion) {
    for (const char* args :
         {"--frobnicate", "-x", "--format=xml", "--format", "--count --unique", "--none -c"}) {
        const CRun run = Run(args);
        EXPECT_EQ(run.status, 2) << args;
        EXPECT_EQ(run.out, "") << args;
        EXPECT_NE(run.err.find("Try 'velmo-solve --help'"), std::string::npos) << args;
    }
    const std::pair<const char*, const char*> messages[] = {
        {"--frobnicate", "unknown option '--frobnicate'"},
        {"-cx", "unknown option '-x'"},
        {"--format=xml", "--format takes line, grid or tsv, not 'xml'"},
        {"-f", "--format needs one of line, grid, tsv"},
        {"--count=2", "option '--count' takes no value"},
        {"--threads", "--threads needs a number"},
    };
    for (const auto& [args, message] : messages) {
        EXPECT_EQ(Run(args).err, "velmo-solve: " + std::string(message) +
                                     "\nTry 'velmo-solve --help' for more information.\n")
            << args;
    }

    for (const char* args : {"--help", "-h", "--count --help", "--he", "-ch"}) {
        const CRun help = Run(args);
        EXPECT_EQ(help.status, 0) << args;
        EXPECT_EQ(help.err, "") << args;
        EXPECT_EQ(help.out.rfind("Usage: velmo-solve [OPTION]... [FILE]...\n", 0), 0u) << args;
    }
    for (const char* args : {"--version", "-V", "--vers"}) {
        const CRun version = Run(args);
        EXPECT_EQ(version.status, 0);
        EXPECT_EQ(version.err, "");
        EXPECT_EQ(version.out.rfind("velmo-solve (velmo) ", 0), 0u) << version.out;
        EXPECT_EQ(Lines(version.out).size(), 1u);
    }

    // After "--" a name that starts with a dash is a file.
    const CRun dashed = Run("-- -not-an-option");
    EXPECT_EQ(dashed.status, 2);
    EXPECT_NE(dashed.err.find("cannot read '-not-an-option'"), std::string::npos) << dashed.err;
}

// Short options bundle and long ones shorten as in GNU tools, before or after the files.
TEST_F(CliTest, OptionsBundleAndAbbreviate) {
    const std::string input = kPuzzle + "\n" + kEmpty + "\n";
    const fs::path file = Write("input.txt", input);
    const std::string options[] = {
        "-cj1",          "-c -j1",           "-cj 1",
        "--cou --thr=1", "--co --threads 1", "-j1 " + Quote(file) + " -c",
        "--count -- -"};
    for (const std::string& args : options) {
        const CRun run = Run(args, input);
        EXPECT_EQ(run.status, 0) << args << ": " << run.err;
        EXPECT_EQ(run.out, "1\n2+\n") << args;
    }
    EXPECT_EQ(Run("-cf tsv", input).out, "puzzle\tcount\tsolution\tcomment\n" + kPuzzle + "\t1\t" +
                                             kSolution + "\t\n" + kEmpty + "\t2+\t" +
                                             std::string(kEmptyGridSolution) + "\t\n");
    EXPECT_EQ(Run("--uni --mul", input).out, input);
    EXPECT_EQ(Run("--m", input).err,
              "velmo-solve: option '--m' is ambiguous: --multiple, --min-rating, --max-rating\n"
              "Try 'velmo-solve --help' for more information.\n");
}

TEST_F(CliTest, RejectsBadThreadCounts) {
    for (const char* args : {"--threads 0", "--threads x", "--threads=", "--threads 2x",
                             "--threads", "-j 1025", "--threads=-1"}) {
        const CRun run = Run(args);
        EXPECT_EQ(run.status, 2) << args;
        EXPECT_NE(run.err.find("--threads"), std::string::npos) << args << ": " << run.err;
    }
}

TEST_F(CliTest, CountsSolutionsUpToTwo) {
    const CRun run =
        Run("--count", kPuzzle + "\n" + kEmpty + "\n" + kConflict + "\n" + kNoSolution + "\nbad\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "1\n2+\n0\n0\ninvalid\n");
}

TEST_F(CliTest, StatsGoToStandardError) {
    const CRun run = Run("--stats", kPuzzle + "\n" + kConflict + "\nbad\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, kSolution + "\nno solution\ninvalid\n");
    EXPECT_NE(run.err.find("puzzles: 2, solved: 1, without solution: 1, invalid: 1, time: "),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find(" us/puzzle\n"), std::string::npos) << run.err;
}

TEST_F(CliTest, EmptyInputWritesNothing) {
    const CRun run = Run("", "");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(Run("--format=tsv", "").out, "puzzle\tcount\tsolution\tcomment\n");
}

// Each corpus file as it stands: its ":count:solution" tails are comments to velmo-solve.
TEST_F(CliTest, AnswersAgreeWithTheCorpusInEveryFormat) {
    for (const std::string& file : CorpusFiles()) {
        const std::vector<CCorpusEntry> corpus = ReadCorpus(file);
        const std::string path = "'" + CorpusPath(file) + "'";
        const std::vector<std::string> line = Lines(Run(path).out);
        const std::vector<std::string> count = Lines(Run("--count " + path).out);
        const std::vector<std::string> table = Lines(Run("--format=tsv " + path).out);
        const CRun grid = Run("--format=grid " + path);
        ASSERT_EQ(line.size(), corpus.size()) << file;
        ASSERT_EQ(count.size(), corpus.size()) << file;
        ASSERT_EQ(table.size(), corpus.size() + 1) << file;
        EXPECT_EQ(table[0], "puzzle\tcount\tsolution\tcomment");
        std::string expectedGrid;
        for (size_t i = 0; i < corpus.size(); ++i) {
            const CCorpusEntry& entry = corpus[i];
            const std::string comment = ":" + std::to_string(entry.count) + ":" + entry.solution;
            const std::string counted = entry.count == 2 ? "2+" : std::to_string(entry.count);
            const std::string answer = entry.count == 0 ? "no solution" : entry.solution;
            const std::string where = file + ":" + std::to_string(entry.line);
            EXPECT_EQ(line[i], answer + comment) << where;
            EXPECT_EQ(count[i], counted + comment) << where;
            EXPECT_EQ(table[i + 1], GridToText(entry.puzzle) + "\t" + counted + "\t" +
                                        entry.solution + "\t" + comment)
                << where;
            expectedGrid += "# " + comment + "\n" +
                            (entry.count == 0 ? "no solution\n" : Rows(entry.solution)) + "\n";
        }
        EXPECT_EQ(grid.out, expectedGrid) << file;
        EXPECT_EQ(grid.status, 0) << grid.err;
    }
}

TEST_F(CliTest, FiltersWriteThePuzzlesOfTheirKindAsTheyStood) {
    std::string input = "# a mix\nbad\n";
    std::string unique, multiple, none;
    for (const std::string& file : CorpusFiles()) {
        for (const CCorpusEntry& entry : ReadCorpus(file)) {
            // Half the lines with zeros for empty cells and a comment, as they may stand.
            std::string text = GridToText(entry.puzzle);
            if (entry.line % 2 == 0) {
                std::replace(text.begin(), text.end(), '.', '0');
                text += " # " + file;
            }
            input += text + "\n";
            (entry.count == 0 ? none : entry.count == 1 ? unique : multiple) += text + "\n";
        }
    }
    const fs::path file = Write("mix.txt", input);
    const CRun onlyUnique = Run("--unique " + Quote(file));
    EXPECT_EQ(onlyUnique.status, 1) << "the bad line still counts";
    EXPECT_EQ(onlyUnique.out, unique);
    EXPECT_EQ(onlyUnique.err, "velmo-solve: " + file.string() + ":2: unexpected 'b' at cell 1\n");
    EXPECT_EQ(Run("--multiple " + Quote(file)).out, multiple);
    EXPECT_EQ(Run("--none " + Quote(file)).out, none);

    // Filters combine, and keep the input order.
    std::string noneOrMultiple;
    for (const std::string& line : Lines(input)) {
        if (none.find(line + "\n") != std::string::npos ||
            multiple.find(line + "\n") != std::string::npos) {
            noneOrMultiple += line + "\n";
        }
    }
    EXPECT_EQ(Run("--none --multiple " + Quote(file)).out, noneOrMultiple);

    // In a table, a filter keeps the rows of its kind.
    const std::vector<std::string> rows = Lines(Run("--format=tsv --unique " + Quote(file)).out);
    ASSERT_EQ(rows.size(), Lines(unique).size() + 1);
    for (size_t i = 1; i < rows.size(); ++i) {
        EXPECT_NE(rows[i].find("\t1\t"), std::string::npos) << rows[i];
    }

    // In a grid, the puzzle's own cells.
    EXPECT_EQ(Run("--format=grid --unique", kPuzzle + "\n" + kConflict + "\n").out,
              Rows(kPuzzle) + "\n");
}

TEST_F(CliTest, GridFormatWritesNineRowsAndABlankLine) {
    const CRun run = Run("--format=grid", kPuzzle + " # first\n" + kConflict + "\nbad\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "# first\n" + Rows(kSolution) + "\nno solution\n\ninvalid\n\n");
    EXPECT_EQ(Run("-fgrid --count", kPuzzle + "\n" + kEmpty + "\n").out, "1\n\n2+\n\n");
}

TEST_F(CliTest, TableHasAHeaderAndOneRowAPuzzle) {
    const CRun run = Run("--format tsv", kPuzzle + " a\tb \n" + kEmpty + "\n" + kConflict + "\n" +
                                             kPuzzle.substr(1) + "\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "puzzle\tcount\tsolution\tcomment\n" + kPuzzle + "\t1\t" + kSolution +
                           "\ta b\n" + kEmpty + "\t2+\t" + std::string(kEmptyGridSolution) +
                           "\t\n" + kConflict + "\t0\t\t\n" +
                           "\tinvalid\t\texpected 81 cells, or 9 in a row of a grid, found 80\n");
}

TEST_F(CliTest, ReadsNineLineGrids) {
    std::string ruled;
    const std::string rows = Rows(kPuzzle);
    for (size_t row = 0; row < 9; ++row) {
        const std::string cells = rows.substr(row * 10, 9);
        if (row == 3 || row == 6) ruled += "------+-------+------\n";
        for (size_t c = 0; c < 9; ++c) {
            ruled += std::string(c == 0 ? "" : c % 3 == 0 ? " | " : " ") + cells[c];
        }
        ruled += "\r\n";
    }
    const CRun run = Run("", ruled + "\n" + rows + kEmpty + "\n" + rows.substr(0, 30) + "\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, kSolution + "\n" + kSolution + "\n" + std::string(kEmptyGridSolution) +
                           "\ninvalid\n");
    EXPECT_EQ(run.err, "velmo-solve: -:23: expected 9 rows of a grid, found 3\n");
}

TEST_F(CliTest, ThreadsKeepInputOrder) {
    // Enough grids, of every kind and some invalid, that every thread gets several chunks.
    std::string input;
    for (int round = 0; round < 12; ++round) {
        for (const std::string& file : CorpusFiles()) {
            for (const CCorpusEntry& entry : ReadCorpus(file)) {
                input += GridToText(entry.puzzle) + "\n";
                if (entry.line % 61 == 0) input += "bad " + std::to_string(round) + "\n";
            }
        }
    }
    const fs::path file = Write("many.txt", input);
    const CRun one = Run("--threads 1 " + Quote(file));
    ASSERT_EQ(one.status, 1);
    EXPECT_EQ(Lines(one.out).size(), Lines(input).size());
    // Through a pipe the input comes in many small chunks, as it arrives.
    for (const char* threads : {"--threads=2", "-j 5", "--threads 16"}) {
        const CRun many = Shell("cat " + Quote(file) + " | '" VELMO_SOLVE_PATH "' " + threads +
                                " > " + Quote(m_dir / "stdout") + " 2> " + Quote(m_dir / "stderr"));
        EXPECT_TRUE(many.out == one.out) << threads;
    }
    const CRun whole = Run("-j3 " + Quote(file));
    EXPECT_EQ(whole.status, 1);
    EXPECT_TRUE(whole.out == one.out);
    EXPECT_TRUE(whole.err == one.err);
}

TEST_F(CliTest, MessagesStandNextToTheirLinesInOneFile) {
    std::string input, expected;
    for (int i = 0; i < 3000; ++i) {
        if (i % 7 == 3) {
            input += "bad\n";
            expected += "velmo-solve: " + (m_dir / "input.txt").string() + ":" +
                        std::to_string(i + 1) + ": unexpected 'b' at cell 1\ninvalid\n";
        } else {
            input += kPuzzle + "\n";
            expected += kSolution + "\n";
        }
    }
    const fs::path file = Write("input.txt", input);
    const CRun run = Shell("'" VELMO_SOLVE_PATH "' -j 3 " + Quote(file) + " > " +
                           Quote(m_dir / "stdout") + " 2>&1");
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.out == expected);
}

TEST_F(CliTest, WriteErrorIsReportedWithStatusTwo) {
    std::string input;
    for (int i = 0; i < 20000; ++i) input += kPuzzle + "\n";
    for (const char* args : {"", "--format=tsv", "--help", "--version"}) {
        const CRun run = Run(args, input, "> /dev/full");
        EXPECT_EQ(run.status, 2) << args;
        EXPECT_EQ(run.err, "velmo-solve: write error: No space left on device\n") << args;
    }
}

// The run ends at the first failed write, though its input is still open and silent.
TEST_F(CliTest, WriteErrorEndsTheRunAtOnce) {
    int in[2];
    ASSERT_EQ(::pipe2(in, O_CLOEXEC), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(in[0], STDIN_FILENO);
        ::dup2(::open("/dev/full", O_WRONLY), STDOUT_FILENO);
        ::dup2(::open((m_dir / "stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644),
               STDERR_FILENO);
        ::execl(VELMO_SOLVE_PATH, VELMO_SOLVE_PATH, static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(in[0]);
    const std::string line = kPuzzle + "\n";
    ASSERT_EQ(::write(in[1], line.data(), line.size()), ssize_t(line.size()));
    // The input stays open: only the write error can end the run. A minute is far beyond
    // what it takes, and keeps a failing test from hanging.
    int raw = 0;
    pid_t ended = 0;
    for (int waited = 0; waited < 6000 && (ended = ::waitpid(pid, &raw, WNOHANG)) == 0; ++waited) {
        ::usleep(10000);
    }
    if (ended == 0) ::kill(pid, SIGKILL), ::waitpid(pid, &raw, 0);
    ::close(in[1]);
    ASSERT_EQ(ended, pid) << "still running while its input is open";
    EXPECT_EQ(WEXITSTATUS(raw), 2);
    EXPECT_EQ(Slurp(m_dir / "stderr"), "velmo-solve: write error: No space left on device\n");
}

// An output left non-blocking by whoever started the run is waited on when it is full.
TEST_F(CliTest, NonBlockingOutputIsWaitedOn) {
    std::string input;
    for (int i = 0; i < 5000; ++i) input += kPuzzle + "\n";
    const fs::path file = Write("input.txt", input);
    int out[2];
    ASSERT_EQ(::pipe2(out, O_CLOEXEC), 0);
    ASSERT_EQ(::fcntl(out[1], F_SETFL, O_NONBLOCK), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::execl(VELMO_SOLVE_PATH, VELMO_SOLVE_PATH, file.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(out[1]);
    // Let the pipe fill up before anything is read, so that the writer meets EAGAIN.
    const int capacity = ::fcntl(out[0], F_GETPIPE_SZ);
    for (int queued = 0, tries = 0; queued < capacity - 100 && tries < 6000; ++tries) {
        ::ioctl(out[0], FIONREAD, &queued);
        ::usleep(10000);
    }
    std::string answers;
    char block[65536];
    for (ssize_t got; (got = ::read(out[0], block, sizeof block)) > 0;)
        answers.append(block, size_t(got));
    ::close(out[0]);
    int raw = 0;
    ::waitpid(pid, &raw, 0);
    EXPECT_EQ(WEXITSTATUS(raw), 0);
    EXPECT_EQ(Lines(answers).size(), 5000u);
    EXPECT_EQ(Lines(answers).back(), kSolution);
}

TEST_F(CliTest, ClosedPipeEndsQuietly) {
    // Endless input: the run can only end because the reader of its output has gone.
    const std::string solve = "'" VELMO_SOLVE_PATH "'";
    const CRun run = Shell("yes '" + kPuzzle + "' | " + solve + " | head -n 2 > " +
                           Quote(m_dir / "stdout") + " 2> " + Quote(m_dir / "stderr"));
    EXPECT_EQ(run.out, kSolution + "\n" + kSolution + "\n");
    EXPECT_EQ(run.err, "");

    // With SIGPIPE ignored the write fails instead: still no message, and status 2.
    const CRun ignored = Shell("trap '' PIPE; (yes '" + kPuzzle + "' | " + solve + " 2> " +
                               Quote(m_dir / "stderr") + "; echo $? > " + Quote(m_dir / "status") +
                               ") | head -n 1 > " + Quote(m_dir / "stdout"));
    EXPECT_EQ(ignored.out, kSolution + "\n");
    EXPECT_EQ(ignored.err, "");
    EXPECT_EQ(Slurp(m_dir / "status"), "2\n");
}

// velmo-solve started with pipes to its standard input and output.
class CChild {
  public:
    explicit CChild(const std::vector<std::string>& args, const fs::path& err,
                    bool ignorePipeSignal = false) {
        int in[2], out[2];
        EXPECT_EQ(::pipe2(in, O_CLOEXEC), 0);
        EXPECT_EQ(::pipe2(out, O_CLOEXEC), 0);
        m_pid = ::fork();
        if (m_pid == 0) {
            if (ignorePipeSignal) ::signal(SIGPIPE, SIG_IGN);
            // AddressSanitizer holds freed memory back for a while (256 MB by default), which
            // would hide what the program itself keeps.
            const char* asan = std::getenv("ASAN_OPTIONS");
            const std::string options = std::string(asan ? asan : "") + ":quarantine_size_mb=4";
            ::setenv("ASAN_OPTIONS", options.c_str(), 1);
            ::dup2(in[0], STDIN_FILENO);
            ::dup2(out[1], STDOUT_FILENO);
            const int errFd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            ::dup2(errFd, STDERR_FILENO);
            std::vector<char*> argv{const_cast<char*>(VELMO_SOLVE_PATH)};
            for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
            argv.push_back(nullptr);
            ::execv(VELMO_SOLVE_PATH, argv.data());
            ::_exit(127);
        }
        ::close(in[0]);
        ::close(out[1]);
        m_in = in[1];
        m_out = out[0];
    }
    ~CChild() {
        CloseInput();
        if (m_out >= 0) ::close(m_out);
        if (m_pid > 0) Wait();
    }

    bool Send(std::string_view data) {
        while (!data.empty()) {
            const ssize_t written = ::write(m_in, data.data(), data.size());
            if (written <= 0) return false;
            data.remove_prefix(size_t(written));
        }
        return true;
    }
    void CloseInput() {
        if (m_in >= 0) ::close(m_in);
        m_in = -1;
    }
    void CloseOutput() {
        if (m_out >= 0) ::close(m_out);
        m_out = -1;
    }

    // Reads one line of output, waiting at most `seconds`; empty when none came.
    std::string ReadLine(int seconds) {
        for (;;) {
            if (const size_t end = m_buffer.find('\n'); end != std::string::npos) {
                std::string line = m_buffer.substr(0, end);
                m_buffer.erase(0, end + 1);
                return line;
            }
            pollfd ready{m_out, POLLIN, 0};
            if (::poll(&ready, 1, seconds * 1000) <= 0) return "";
            char block[4096];
            const ssize_t got = ::read(m_out, block, sizeof block);
            if (got <= 0) return "";
            m_buffer.append(block, size_t(got));
        }
    }
    // Reads the rest of the output; keeps its first `keep` bytes and counts its lines.
    std::string ReadAll(size_t keep = SIZE_MAX, size_t* lines = nullptr) {
        std::string all = std::move(m_buffer);
        size_t count = size_t(std::count(all.begin(), all.end(), '\n'));
        char block[65536];
        for (ssize_t got; (got = ::read(m_out, block, sizeof block)) > 0;) {
            count += size_t(std::count(block, block + got, '\n'));
            if (all.size() < keep) all.append(block, std::min(size_t(got), keep - all.size()));
        }
        if (lines != nullptr) *lines = count;
        return all;
    }

    // Waits for the end; returns the exit status, and the peak memory in KiB in `maxRssKb`.
    int Wait(long* maxRssKb = nullptr) {
        int raw = 0;
        rusage usage{};
        ::wait4(m_pid, &raw, 0, &usage);
        m_pid = -1;
        if (maxRssKb != nullptr) *maxRssKb = usage.ru_maxrss;
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }

    // Waits at most `seconds` for the end; returns the wait status, or nullopt when the run
    // was still going and had to be killed.
    std::optional<int> WaitAtMost(int seconds) {
        int raw = 0;
        for (int waited = 0; waited < seconds * 100; ++waited) {
            if (::waitpid(m_pid, &raw, WNOHANG) == m_pid) {
                m_pid = -1;
                return raw;
            }
            ::usleep(10000);
        }
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, &raw, 0);
        m_pid = -1;
        return std::nullopt;
    }

  private:
    pid_t m_pid = -1;
    int m_in = -1;
    int m_out = -1;
    std::string m_buffer;
};

TEST_F(CliTest, AnswersWhileTheInputStillFlows) {
    CChild child({"--threads", "2"}, m_dir / "stderr");
    ASSERT_TRUE(child.Send(kPuzzle + "\n"));
    EXPECT_EQ(child.ReadLine(60), kSolution) << "no answer before the input ended";
    ASSERT_TRUE(child.Send("bad\n" + kConflict + "\n"));
    EXPECT_EQ(child.ReadLine(60), "invalid");
    EXPECT_EQ(child.ReadLine(60), "no solution");
    child.CloseInput();
    EXPECT_EQ(child.ReadAll(), "");
    EXPECT_EQ(child.Wait(), 1);
}

// The reader of the output goes while the run waits on input that is still open: nothing
// is left to write, and still the run ends, as a write to the closed pipe would end it.
TEST_F(CliTest, ClosedPipeEndsTheRunThoughNothingIsLeftToWrite) {
    for (const bool ignored : {false, true}) {
        CChild child({}, m_dir / "stderr", ignored);
        ASSERT_TRUE(child.Send(kPuzzle + "\n"));
        EXPECT_EQ(child.ReadLine(60), kSolution);
        child.CloseOutput();
        // A minute is far beyond what it takes, and keeps a failing test from hanging.
        const std::optional<int> raw = child.WaitAtMost(60);
        ASSERT_TRUE(raw.has_value()) << "still running after its reader went";
        if (ignored) {
            EXPECT_TRUE(WIFEXITED(*raw) && WEXITSTATUS(*raw) == 2) << *raw;
        } else {
            EXPECT_TRUE(WIFSIGNALED(*raw) && WTERMSIG(*raw) == SIGPIPE) << *raw;
        }
        EXPECT_EQ(Slurp(m_dir / "stderr"), "");
    }
}

// Each rating is written as soon as those before it are, not once every puzzle read with it
// is rated, and a reader that has what it wanted ends the run while the rest are rated.
TEST_F(CliTest, RatingWritesEachAnswerWhenItsTurnComes) {
    // Among the slowest of the hardest to rate, well over a tenth of a second each.
    const std::string slow =
        "........6..5..18...9...8.7....8.2.....3.1.2..4..5.3....6.....9...83..1..7.......4";
    std::string input = kPuzzle + "\n";
    for (int i = 0; i < 15; ++i) input += slow + "\n";
    const fs::path file = Write("input.txt", input);
    CChild child({"--rate", "-j2", file.string()}, m_dir / "stderr");
    EXPECT_EQ(child.ReadLine(600), RatingOf(CCandidateGrid::FromGivens(GridFromText(kPuzzle))));
    int ready = 0;  // answers out at once after the first
    while (!child.ReadLine(0).empty()) ++ready;
    EXPECT_LT(ready, 15) << "the first answer waited for the last";
    child.CloseOutput();
    const std::optional<int> raw = child.WaitAtMost(60);
    ASSERT_TRUE(raw.has_value()) << "still running after its reader went";
    EXPECT_TRUE(WIFSIGNALED(*raw) && WTERMSIG(*raw) == SIGPIPE) << *raw;
}

// Sends `repeat` copies of `block` (then `tail`) from a thread of its own and returns the
// start of what came out and how many lines; the peak memory of the run lands in `maxRssKb`.
std::string Stream(CChild& child, const std::string& block, size_t repeat, const std::string& tail,
                   size_t& lines, int& status, long& maxRssKb) {
    std::thread feeder([&] {
        for (size_t i = 0; i < repeat && child.Send(block);) ++i;
        child.Send(tail);
        child.CloseInput();
    });
    std::string out = child.ReadAll(4096, &lines);
    feeder.join();
    status = child.Wait(&maxRssKb);
    return out;
}

// Memory stays bounded whatever the input: the limit here is far below the size of the
// input, and well above what a run needs.
constexpr long kMemoryLimitKb = 96 * 1024;

TEST_F(CliTest, MemoryStaysBoundedOnOneEndlessLine) {
    CChild child({}, m_dir / "stderr");
    size_t lines = 0;
    int status = 0;
    long maxRssKb = 0;
    const std::string out = Stream(child, std::string(1 << 20, '1'), 512, "\n" + kPuzzle + "\n",
                                   lines, status, maxRssKb);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(out, "invalid\n" + kSolution + "\n");
    EXPECT_EQ(Slurp(m_dir / "stderr"), "velmo-solve: -:1: line longer than 16384 bytes\n");
    EXPECT_LT(maxRssKb, kMemoryLimitKb) << "for 512 MiB of input";
}

TEST_F(CliTest, MemoryStaysBoundedOnManyLines) {
    // Long comments make many bytes of few lines, which are cheap to answer.
    std::string block = kPuzzle + "\n";
    const std::string comment = " " + std::string(1000, 'c');
    for (int i = 0; i < 99; ++i) block += kConflict + comment + "\n";
    CChild child({"-j", "2"}, m_dir / "stderr");
    size_t lines = 0;
    int status = 0;
    long maxRssKb = 0;
    const std::string out = Stream(child, block, 2000, "", lines, status, maxRssKb);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(lines, 200000u);
    EXPECT_EQ(out.substr(0, 95), kSolution + "\nno solution" + comment.substr(0, 2));
    EXPECT_LT(maxRssKb, kMemoryLimitKb) << "for 200,000 lines, 216 MB of input";
}

// The shared collections through velmo-solve, when they are there: every answer is the first
// solution in the search order, and the answers are the same on any number of threads.
class CliCollections : public CliTest {};

TEST_F(CliCollections, AnswersAreTheFirstSolutionsOnAnyThreadCount) {
    CFakePlatform platform;
    CGridSolver search(platform);
    search.m_timeLimitEnabled = 0;
    for (const char* name : {"top1465.txt", "17-clue.txt", "serg-benchmark.txt"}) {
        const std::string path = "'" VELMO_PUZZLE_DIR "/" + std::string(name) + "'";
        const CRun one = Run("--threads 1 " + path);
        const CRun two = Run("--threads 2 " + path);
        ASSERT_EQ(one.status, 0) << name << ": " << one.err;
        EXPECT_TRUE(one.out == two.out) << name;
        const std::vector<PuzzleGrid> puzzles = ReadPuzzleFile(name);
        const std::vector<std::string> answers = Lines(one.out);
        ASSERT_EQ(answers.size(), puzzles.size()) << name;
        // The puzzles of the first two have one solution each; every grid of the third has
        // several, and the plain search finds its first in well under a millisecond.
        const bool several = std::string_view(name) == "serg-benchmark.txt";
        for (size_t i = 0; i < puzzles.size(); ++i) {
            std::string expected;
            if (several) {
                search.m_grid = puzzles[i];
                ASSERT_EQ(search.Search(0), SEARCH_SOLVED) << GridToText(puzzles[i]);
                expected = GridToText(search.m_grid);
            }
            ASSERT_TRUE(several ? answers[i] == expected
                                : IsSolutionOf(GridFromText(answers[i]), puzzles[i]))
                << name << " puzzle " << GridToText(puzzles[i]) << "\nanswered " << answers[i]
                << "\nexpected " << expected;
        }
    }
}

// The rating options: each puzzle rated as the logic library rates it, in input order on any
// number of threads, pencil marks read only by them.
TEST_F(CliTest, RatesStepsAndFiltersByRating) {
    const std::vector<CCorpusEntry> corpus = ReadCorpus("unique.txt");
    constexpr size_t kRated = 12;
    ASSERT_GE(corpus.size(), kRated);
    const std::string pencil = PencilMarksOf(GridToText(corpus[0].puzzle));
    std::string input = pencil + " # marks\n" + kEmpty + "\n" + kConflict + "\nbad\n";
    std::string steps = pencil + " # marks\n", table;
    std::string rated = RatingOf(CCandidateGrid::FromPencilMarks(PencilMarkMasks(pencil)), &steps) +
                        " # marks\n2+\n0\ninvalid\n";
    steps += "\n" + kEmpty + "\n2+\n\n" + kConflict + "\n0\n\ninvalid\n\n";
    std::vector<std::pair<int, std::string>> ratings;  // of the corpus's puzzles, in tenths
    for (size_t i = 0; i < kRated; ++i) {
        const std::string puzzle = GridToText(corpus[i].puzzle);
        steps += puzzle + "\n";
        const std::string rating = RatingOf(CCandidateGrid::FromGivens(corpus[i].puzzle), &steps);
        input += puzzle + "\n";
        rated += rating + "\n";
        steps += "\n";
        if (i == 0) table = puzzle + "\t1\t" + corpus[0].solution + "\t" + rating + "\t\n";
        const size_t dot = rating.find('.');
        ratings.emplace_back(std::stoi(rating.substr(0, dot)) * 10 + rating[dot + 1] - '0', puzzle);
    }
    for (const char* threads : {"-j1", "-j3"}) {
        const CRun run = Run(std::string("--rate ") + threads, input);
        EXPECT_EQ(run.status, 1) << threads;
        EXPECT_TRUE(run.out == rated) << threads << ":\n" << run.out;
        EXPECT_EQ(run.err, "velmo-solve: -:4: unexpected 'b' at cell 1\n");
        EXPECT_TRUE(Run(std::string("--steps ") + threads, input).out == steps) << threads;
    }
    const std::vector<std::string> rows = Lines(Run("--rate --format=tsv", input).out);
    ASSERT_EQ(rows.size(), 5 + kRated);
    EXPECT_EQ(rows[0], "puzzle\tcount\tsolution\trating\ttechnique\tcomment");
    EXPECT_EQ(rows[2], kEmpty + "\t2+\t\t\t\t");
    EXPECT_EQ(rows[4], "\tinvalid\t\t\t\tunexpected 'b' at cell 1");
    EXPECT_EQ(rows[5] + "\n", table);

    // The bounds are included; a grid without a rating is never written.
    std::sort(ratings.begin(), ratings.end());
    const int low = ratings[3].first, high = ratings[8].first;
    std::string within;
    for (const CCorpusEntry& entry : std::vector(corpus.begin(), corpus.begin() + kRated)) {
        const std::string puzzle = GridToText(entry.puzzle);
        const auto found = std::find_if(ratings.begin(), ratings.end(), [&](const auto& rating) {
            return rating.second == puzzle;
        });
        if (found->first >= low && found->first <= high) within += puzzle + "\n";
    }
    const auto bound = [](int tenths) {
        return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
    };
    const CRun filtered =
        Run("--min-rating=" + bound(low) + " --max-rating " + bound(high) + " -j2", input);
    EXPECT_EQ(filtered.out, within);
    EXPECT_FALSE(within.empty());

    // A mark short, written a cell a group: no puzzle of its first 81 marks, in any mode.
    const std::string shortOne = pencil.substr(0, pencil.size() - 1);
    std::string grouped;
    for (size_t i = 0; i < shortOne.size(); i += 9) grouped += shortOne.substr(i, 9) + " ";
    for (const char* args : {"", "--count", "--rate", "--steps"}) {
        const CRun run = Run(args, grouped + "\n");
        EXPECT_EQ(run.status, 1) << args;
        EXPECT_EQ(run.out, std::string_view(args) == "--steps" ? "invalid\n\n" : "invalid\n")
            << args;
        EXPECT_EQ(run.err,
                  "velmo-solve: -:1: expected 81 cells, or 729 in a pencil-mark puzzle, found "
                  "728\n")
            << args;
    }

    // Other answers are defined on 81 values.
    const CRun solved = Run("", pencil + "\n");
    EXPECT_EQ(solved.status, 1);
    EXPECT_EQ(solved.out, "invalid\n");
    EXPECT_EQ(solved.err,
              "velmo-solve: -:1: a pencil-mark puzzle: only --rate, --steps, "
              "--min-rating and --max-rating read it\n");
}

// A grid with every cell placed has no step to rate: the rating options say so in its place.
TEST_F(CliTest, AFullGridIsSolvedNotRated) {
    const std::string input = kSolution + " # full\n" + PencilMarksOf(kSolution) + "\n";
    const CRun rated = Run("--rate", input);
    EXPECT_EQ(rated.status, 0) << rated.err;
    EXPECT_EQ(rated.out, "solved # full\nsolved\n");
    EXPECT_EQ(Run("--steps", input).out,
              kSolution + " # full\nsolved\n\n" + PencilMarksOf(kSolution) + "\nsolved\n\n");
    EXPECT_EQ(Run("--rate --format=grid", kSolution + "\n").out, "solved\n\n");
    EXPECT_EQ(Lines(Run("--rate --format=tsv", kSolution + "\n").out).back(),
              kSolution + "\t1\t" + kSolution + "\tsolved\t\t");
    EXPECT_EQ(Run("--min-rating=0", input).out, "") << "no rating, so not within any bounds";
    // Answers that are not ratings stay as they were.
    EXPECT_EQ(Run("--count", kSolution + "\n").out, "1\n");
    EXPECT_EQ(Run("", kSolution + "\n").out, kSolution + "\n");
}

}  // namespace
