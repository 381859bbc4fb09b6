// velmo-solve, run as a user runs it: input files and standard input, output, messages and
// exit status.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "test_support.h"

namespace {

namespace fs = std::filesystem;

const std::string kPuzzle =
    "4.....8.5.3..........7......2.....6.....8.4......1.......6.3.7.5..2.....1.4......";
const std::string kSolution =
    "417369825632158947958724316825437169791586432346912758289643571573291684164875293";
const std::string kConflict = "55" + std::string(79, '.');
const std::string kNoSolution = "12345678." + std::string(17, '.') + "9" + std::string(54, '.');

struct CRun {
    int status = -1;
    std::string out;
    std::string err;
};

class CliTest : public ::testing::Test {
  protected:
    fs::path m_dir;

    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_dir = fs::temp_directory_path() /
                ("velmo-cli-test-" + std::to_string(::getpid()) + "-" + info->name());
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    fs::path Write(const std::string& name, const std::string& text) {
        const fs::path path = m_dir / name;
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    static std::string Slurp(const fs::path& path) {
        std::ifstream file(path, std::ios::binary);
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }

    // Runs velmo-solve with `args` (already quoted for the shell) and `input` on stdin.
    CRun Run(const std::string& args, const std::string& input = "") {
        Write("stdin", input);
        const std::string command = std::string("'") + VELMO_SOLVE_PATH + "' " + args + " < '" +
                                    (m_dir / "stdin").string() + "' > '" +
                                    (m_dir / "stdout").string() + "' 2> '" +
                                    (m_dir / "stderr").string() + "'";
        const int raw = std::system(command.c_str());
        CRun run;
        run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        run.out = Slurp(m_dir / "stdout");
        run.err = Slurp(m_dir / "stderr");
        return run;
    }
};

TEST_F(CliTest, SolvesEachPuzzleOfStandardInput) {
    const CRun run = Run(
        "", kPuzzle + "\n" + std::string(81, '.') + "\n" + kConflict + "\n" + kNoSolution + "\n");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              kSolution + "\n" + std::string(kEmptyGridSolution) + "\nno solution\nno solution\n");
    EXPECT_EQ(run.err, "");
}

TEST_F(CliTest, AcceptsCrlfBlanksCommentsAndZeros) {
    std::string zeros = kPuzzle;
    std::replace(zeros.begin(), zeros.end(), '.', '0');
    const fs::path file =
        Write("mixed.txt", "# source\r\n\r\n  " + kPuzzle + " \r\n\t\r\n" + zeros);
    const CRun run = Run("'" + file.string() + "'");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, kSolution + "\n" + kSolution + "\n");
}

TEST_F(CliTest, ReportsMalformedLinesAndGoesOn) {
    const fs::path file = Write("bad.txt", "# header\n" + kPuzzle.substr(1) + "\n" + kPuzzle +
                                               "\n" + "x" + kPuzzle.substr(1) + "\n");
    const CRun run = Run("'" + file.string() + "'");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "invalid\n" + kSolution + "\ninvalid\n");
    EXPECT_EQ(run.err, "velmo-solve: " + file.string() +
                           ":2: expected 81 cells, found 80 characters\n" +
                           "velmo-solve: " + file.string() + ":4: unexpected 'x' at cell 1\n");
}

TEST_F(CliTest, ReadsFilesInOrderAndDashAsStandardInput) {
    const fs::path first = Write("first.txt", kConflict + "\n");
    const fs::path second = Write("second.txt", "bad\n");
    const CRun run = Run("'" + first.string() + "' - '" + second.string() + "'", kPuzzle + "\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "no solution\n" + kSolution + "\ninvalid\n");
    EXPECT_EQ(run.err,
              "velmo-solve: " + second.string() + ":1: expected 81 cells, found 3 characters\n");
}

TEST_F(CliTest, UnreadableFileIsNamedAndExitsTwo) {
    const fs::path missing = m_dir / "missing.txt";
    const fs::path good = Write("good.txt", kPuzzle + "\n");
    const CRun run = Run("'" + missing.string() + "' '" + good.string() + "'");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("cannot read '" + missing.string() + "'"), std::string::npos) << run.err;
    EXPECT_EQ(run.out, kSolution + "\n") << "the readable file is still solved";

    const CRun directory = Run("'" + m_dir.string() + "'");
    EXPECT_EQ(directory.status, 2);
    EXPECT_NE(directory.err.find(m_dir.string()), std::string::npos) << directory.err;
}

TEST_F(CliTest, UsageErrorsAndHelp) {
    const CRun unknown = Run("--frobnicate");
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.err.find("--frobnicate"), std::string::npos);
    EXPECT_EQ(unknown.out, "");

    const CRun help = Run("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Usage: velmo-solve"), std::string::npos);

    // After "--" a name that starts with a dash is a file.
    const CRun dashed = Run("-- -not-an-option");
    EXPECT_EQ(dashed.status, 2);
    EXPECT_NE(dashed.err.find("cannot read '-not-an-option'"), std::string::npos) << dashed.err;
}

TEST_F(CliTest, CountsSolutionsUpToTwo) {
    const CRun run = Run("--count", kPuzzle + "\n" + std::string(81, '.') + "\n" + kConflict +
                                        "\n" + kNoSolution + "\nbad\n");
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

TEST_F(CliTest, ThreadsKeepInputOrder) {
    // Enough puzzles, of mixed kinds, that every thread gets several blocks.
    const std::vector<PuzzleGrid> puzzles = ReadPuzzleFile("serg-benchmark.txt", 600);
    std::string input;
    for (size_t i = 0; i < puzzles.size(); ++i) {
        input += GridToText(puzzles[i]) + "\n";
        if (i % 97 == 0) input += kConflict + "\n";
    }
    const fs::path file = Write("many.txt", input);
    const CRun one = Run("--threads 1 '" + file.string() + "'");
    const CRun four = Run("--threads=4 '" + file.string() + "'");
    EXPECT_EQ(one.status, 0);
    EXPECT_EQ(four.status, 0);
    EXPECT_EQ(std::count(one.out.begin(), one.out.end(), '\n'), 607);
    EXPECT_EQ(four.out, one.out);
}

TEST_F(CliTest, RejectsBadThreadCounts) {
    for (const char* args :
         {"--threads 0", "--threads x", "--threads=", "--threads 2x", "--threads"}) {
        const CRun run = Run(args);
        EXPECT_EQ(run.status, 2) << args;
        EXPECT_NE(run.err.find("--threads"), std::string::npos) << args << ": " << run.err;
    }
}

TEST_F(CliTest, EmptyInputWritesNothing) {
    const CRun run = Run("", "");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "");
}

}  // namespace
