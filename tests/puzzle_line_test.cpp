// Reading puzzle text: ParsePuzzleLine on single lines (pencil marks too), CPuzzleReader on
// streams cut anywhere (line ends, byte-order mark, 9-line grids, over-long lines, binary
// data), whole puzzles as the clipboard holds them, files, and the strict 81 cells of the
// C interface and the Python module.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "grid_cells.h"
#include "puzzle_line.h"
#include "puzzle_reader.h"
#include "puzzle_text.h"
#include "test_support.h"

namespace {

const std::string kDots =
    "4.....8.5.3..........7......2.....6.....8.4......1.......6.3.7.5..2.....1.4......";

std::string CellsOf(const CPuzzleLine& parsed, int count = kCellCount) {
    return std::string(parsed.cells.data(), size_t(count));
}

TEST(ParsePuzzleLine, ReadsDigitsDotsAndZerosKeepingTheirCharacters) {
    std::string zeros = kDots;
    std::replace(zeros.begin(), zeros.end(), '.', '0');
    for (const std::string& text : {kDots, zeros}) {
        const CPuzzleLine parsed = ParsePuzzleLine(text);
        ASSERT_EQ(parsed.kind, CPuzzleLine::kPuzzle) << parsed.error;
        EXPECT_EQ(GridToText(parsed.grid), kDots);
        EXPECT_EQ(CellsOf(parsed), text);
        EXPECT_EQ(parsed.comment, "");
    }
}

TEST(ParsePuzzleLine, IgnoresWhiteSpaceAtTheEndsAndSeparatorsBetweenCells) {
    std::string ruled;  // "4.. ... 8.5 | .3. ... ... | ..."
    for (int cell = 0; cell < kCellCount; ++cell) {
        if (cell > 0 && cell % 27 == 0) ruled += " | ";
        if (cell % 3 == 0 && cell % 27 != 0) ruled += ' ';
        ruled += kDots[size_t(cell)];
    }
    for (const std::string& text : {kDots + "\r", "  " + kDots + " \t", "\t" + kDots + "\r\n",
                                    ruled, kDots.substr(0, 40) + " " + kDots.substr(40),
                                    "|" + kDots.substr(0, 9) + "+-" + kDots.substr(9) + "|"}) {
        const CPuzzleLine parsed = ParsePuzzleLine(text);
        ASSERT_EQ(parsed.kind, CPuzzleLine::kPuzzle) << text << ": " << parsed.error;
        EXPECT_EQ(GridToText(parsed.grid), kDots) << text;
        EXPECT_EQ(parsed.comment, "") << text;
    }
}

TEST(ParsePuzzleLine, KeepsTextAfterTheCellsAsItsComment) {
    struct Case {
        std::string text;
        std::string comment;
    };
    const Case cases[] = {
        {kDots + " # the first of top95", " # the first of top95"},
        {kDots + "\t17 clues", "\t17 clues"},
        {kDots + " 17", " 17"},  // digits after a separator start a comment, not more cells
        {kDots + ":1:" + std::string(kEmptyGridSolution), ":1:" + std::string(kEmptyGridSolution)},
        {kDots + "x", "x"},
        {kDots + " é", " é"},
        {kDots + " | ", ""},  // separators alone are no comment
    };
    for (const Case& test : cases) {
        const CPuzzleLine parsed = ParsePuzzleLine(test.text);
        ASSERT_EQ(parsed.kind, CPuzzleLine::kPuzzle) << test.text << ": " << parsed.error;
        EXPECT_EQ(GridToText(parsed.grid), kDots);
        EXPECT_EQ(parsed.comment, test.comment);
    }
}

TEST(ParsePuzzleLine, SkipsBlankAndCommentLines) {
    for (std::string_view text : {"", "\r", "   \t ", "# a comment", "#", "  # indented\r"}) {
        EXPECT_EQ(ParsePuzzleLine(text).kind, CPuzzleLine::kSkip) << '"' << text << '"';
    }
}

TEST(ParsePuzzleLine, ReadsGridRowsAndRules) {
    for (std::string_view text :
         {"4.....8.5", "4 . . | . . . | 8 . 5", "|4..|...|8.5|", " 400000805\r"}) {
        const CPuzzleLine parsed = ParsePuzzleLine(text);
        ASSERT_EQ(parsed.kind, CPuzzleLine::kGridRow) << text << ": " << parsed.error;
        EXPECT_EQ(GridToText(parsed.grid).substr(0, 9), "4.....8.5") << text;
        EXPECT_EQ(GridToText(parsed.grid).substr(9), std::string(72, '.')) << text;
    }
    for (std::string_view text : {"------+-------+------", "+---+---+---+", "|", "- - -"}) {
        EXPECT_EQ(ParsePuzzleLine(text).kind, CPuzzleLine::kRule) << text;
    }
}

TEST(ParsePuzzleLine, RejectsWrongCountsOfCells) {
    struct Case {
        std::string text;
        const char* reason;
    };
    const Case cases[] = {
        {kDots.substr(0, 80), "expected 81 cells, or 9 in a row of a grid, found 80"},
        {"1", "expected 81 cells, or 9 in a row of a grid, found 1"},
        {"12345678 9 1", "expected 81 cells, or 9 in a row of a grid, found 10"},
        {kDots + "1", "expected 81 cells, found 82"},
        {kDots + "12 # two too many", "expected 81 cells, found 83"},
        {kDots + kDots, "expected 81 cells, found 162"},
    };
    for (const Case& test : cases) {
        const CPuzzleLine parsed = ParsePuzzleLine(test.text);
        EXPECT_EQ(parsed.kind, CPuzzleLine::kInvalid) << test.text;
        EXPECT_EQ(parsed.error, test.reason) << test.text;
    }
}

TEST(ParsePuzzleLine, NamesTheFirstOtherCharacterAndItsCell) {
    struct Case {
        int cell;
        std::string ch;
        const char* reason;
    };
    const Case cases[] = {
        {0, "x", "unexpected 'x' at cell 1"},
        {80, "*", "unexpected '*' at cell 81"},
        {10, "\xc3", "unexpected byte 0xc3 at cell 11"},  // not UTF-8: a lone lead byte
        {10, "\x80", "unexpected byte 0x80 at cell 11"},
        {10, "\xc0\xb1", "unexpected byte 0xc0 at cell 11"},  // an overlong '1'
        {3, std::string(1, '\0'), "unexpected byte 0x00 at cell 4"},
        {5, "\x1b", "unexpected byte 0x1b at cell 6"},
        {7, "é", "unexpected 'é' (U+00E9) at cell 8"},
        {0, "１", "unexpected '１' (U+FF11) at cell 1"},  // a full-width digit
        {2, "😀", "unexpected '😀' (U+1F600) at cell 3"},
    };
    for (const Case& test : cases) {
        std::string text = kDots;
        text.replace(size_t(test.cell), 1, test.ch);
        const CPuzzleLine parsed = ParsePuzzleLine(text);
        EXPECT_EQ(parsed.kind, CPuzzleLine::kInvalid) << test.reason;
        EXPECT_EQ(parsed.error, test.reason);
    }
}

TEST(ParsePuzzleLine, CountsCharactersNotBytes) {
    // 81 full-width digits take 243 bytes; the message is about the first character.
    std::string wide;
    for (int cell = 0; cell < kCellCount; ++cell) wide += "５";
    EXPECT_EQ(ParsePuzzleLine(wide).error, "unexpected '５' (U+FF15) at cell 1");
    // Cells are counted as cells after a run of multi-byte characters in a comment too.
    EXPECT_EQ(ParsePuzzleLine("12345678é").error, "unexpected 'é' (U+00E9) at cell 9");
}

// The pencil marks of kDots's givens: a given alone in its cell, every digit elsewhere.
std::string PencilMarksOf(const std::string& cells) {
    std::string marks;
    for (char ch : cells) {
        for (char digit = '1'; digit <= '9'; ++digit) {
            marks += ch == '.' || ch == digit ? digit : '.';
        }
    }
    return marks;
}

TEST(ParsePuzzleLine, ReadsPencilMarks) {
    const std::string marks = PencilMarksOf(kDots);
    std::string spaced, zeros = marks;  // a space between cells; '0' for '.'
    for (size_t i = 0; i < marks.size(); i += 9) spaced += marks.substr(i, 9) + " ";
    std::replace(zeros.begin(), zeros.end(), '.', '0');
    for (const std::string& text : {marks, spaced + "| # hard", zeros + "\t# 8.3"}) {
        const CPuzzleLine parsed = ParsePuzzleLine(text);
        ASSERT_EQ(parsed.kind, CPuzzleLine::kPuzzle) << parsed.error;
        ASSERT_TRUE(parsed.IsPencilMarks());
        EXPECT_EQ(GridToText(parsed.grid), kDots);  // the cells with a single candidate
        EXPECT_EQ(PencilMarksToLine(PencilMarkMasks(parsed.pencilMarks)), marks);
    }
    EXPECT_EQ(ParsePuzzleLine(spaced + "| # hard").comment, " | # hard");
    EXPECT_EQ(ParsePuzzleLine(zeros + "\t# 8.3").comment, "\t# 8.3");
    EXPECT_FALSE(ParsePuzzleLine(kDots).IsPencilMarks());

    std::string misplaced = marks;
    misplaced[9 * 4 + 1] = '3';
    EXPECT_EQ(ParsePuzzleLine(misplaced).error,
              "pencil marks: cell 5 has '3' in place 2, where only 2 or . may stand");
}

// A pencil-mark puzzle with a mark too few or too many is refused whatever its grouping,
// never read as a puzzle of its first 81 marks with the rest as a comment.
TEST(ParsePuzzleLine, RefusesPencilMarksOfTheWrongCount) {
    const std::string marks = PencilMarksOf(kDots);
    // Grouped as cells (9 marks) and as rows (81): the 81st mark ends a group either way.
    const auto grouped = [](const std::string& text, size_t group) {
        std::string spaced;
        for (size_t i = 0; i < text.size(); i += group) spaced += text.substr(i, group) + " ";
        return spaced;
    };
    std::string shortCell = marks, longCell = marks;
    shortCell.erase(9 * 40, 1);
    longCell.insert(9 * 80, ".");
    for (size_t group : {size_t(9), size_t(81)}) {
        const std::string cases[][2] = {
            {grouped(marks.substr(0, 9 * 80), group) + marks.substr(9 * 80, 8), "728"},
            {grouped(marks, group) + "1", "730"},
            {grouped(shortCell, group), "728"},
            {grouped(longCell, group) + "# 9.0", "730"},
            {grouped(marks.substr(0, 9 * 27), group), "243"},
        };
        for (const auto& [text, found] : cases) {
            const CPuzzleLine parsed = ParsePuzzleLine(text);
            EXPECT_EQ(parsed.kind, CPuzzleLine::kInvalid) << text;
            EXPECT_EQ(parsed.error, "expected 81 cells, or 729 in a pencil-mark puzzle, found " +
                                        std::string(found))
                << text;
        }
    }
    EXPECT_EQ(ParsePuzzleLine(marks + "1").error,
              "expected 81 cells, or 729 in a pencil-mark puzzle, found 730");
    EXPECT_EQ(ParsePuzzleLine(marks.substr(1)).error,
              "expected 81 cells, or 729 in a pencil-mark puzzle, found 728");

    // Shorter runs of cells after a puzzle stay its comment: a solution with a count, as
    // velmo-solve --format=tsv writes them, or with a rating.
    const std::string solution(kEmptyGridSolution);
    for (const std::string& comment :
         {"\t1\t" + solution, " " + solution + " " + solution.substr(0, 80)}) {
        const CPuzzleLine parsed = ParsePuzzleLine(kDots + comment);
        ASSERT_EQ(parsed.kind, CPuzzleLine::kPuzzle) << comment << ": " << parsed.error;
        EXPECT_EQ(parsed.comment, comment);
    }
}

// Feeds `text` to a reader in pieces of `piece` bytes (0: all at once) and returns its entries.
std::vector<CPuzzleEntry> ReadAll(std::string_view text, size_t piece = 0, bool* binary = nullptr) {
    CPuzzleReader reader;
    std::vector<CPuzzleEntry> entries;
    if (piece == 0) piece = std::max<size_t>(text.size(), 1);
    for (size_t at = 0; at < text.size(); at += piece) reader.Feed(text.substr(at, piece), entries);
    reader.Finish(entries);
    if (binary != nullptr) *binary = reader.Binary();
    return entries;
}

// One entry as text: "LINE:puzzle-as-dots[ comment]" or "LINE:error".
std::string Describe(const CPuzzleEntry& entry) {
    const std::string head = std::to_string(entry.line) + ":";
    if (entry.parsed.kind == CPuzzleLine::kInvalid) return head + entry.parsed.error;
    return head + GridToText(entry.parsed.grid) + entry.parsed.comment;
}

std::vector<std::string> Described(std::string_view text, size_t piece = 0) {
    std::vector<std::string> lines;
    for (const CPuzzleEntry& entry : ReadAll(text, piece)) lines.push_back(Describe(entry));
    return lines;
}

// The same entries however the input is cut into pieces.
void ExpectEntries(std::string_view text, const std::vector<std::string>& expected) {
    for (size_t piece : {size_t(0), size_t(1), size_t(2), size_t(3), size_t(7), size_t(80)}) {
        EXPECT_EQ(Described(text, piece), expected) << "in pieces of " << piece;
    }
}

TEST(PuzzleReader, AcceptsEveryKindOfLineEnd) {
    const std::string p = kDots;
    ExpectEntries(p + "\n" + p + "\r\n" + p + "\r" + p, {"1:" + p, "2:" + p, "3:" + p, "4:" + p});
    // "\r\r" is two line ends, "\n\r" too: line numbers count both.
    ExpectEntries(p + "\r\r" + p + "\n\r" + p + "\r\n\r\n" + p + "\n",
                  {"1:" + p, "3:" + p, "5:" + p, "7:" + p});
    ExpectEntries("", {});
    ExpectEntries("\n\r\n\r", {});
}

TEST(PuzzleReader, DropsAByteOrderMarkAtTheStartOnly) {
    const std::string mark = "\xef\xbb\xbf";
    ExpectEntries(mark + kDots + "\r\n", {"1:" + kDots});
    ExpectEntries(mark + "# comment\n" + kDots, {"2:" + kDots});
    ExpectEntries(mark, {});
    ExpectEntries(kDots + "\n" + mark + kDots,
                  {"1:" + kDots, "2:unexpected '\xef\xbb\xbf' (U+FEFF) at cell 1"});
    // The start of a mark and then something else is read as it stands.
    ExpectEntries("\xef" + kDots, {"1:unexpected byte 0xef at cell 1"});
    ExpectEntries("\xef\xbb", {"1:unexpected byte 0xef at cell 1"});
}

TEST(PuzzleReader, ReadsGridsOfNineLines) {
    const std::string grid =
        "4 . . | . . . | 8 . 5\n"
        ". 3 . | . . . | . . .\n"
        ". . . | 7 . . | . . .\n"
        "------+-------+------\n"
        ". 2 . | . . . | . 6 .\n"
        ". . . | . 8 . | 4 . .\n"
        ". . . | . 1 . | . . .\n"
        "------+-------+------\n"
        ". . . | 6 . 3 | . 7 .\n"
        "5 . . | 2 . . | . . .\n"
        "1 . 4 | . . . | . . .\n";
    const std::string plain =
        "+-------+\n4.....8.5\r\n.3.......\r\n...7.....\r\n.2.....6.\r\n....8.4..\r\n"
        "....1....\r\n...6.3.7.\r\n5..2.....\r\n1.4......\r\n+-------+\r\n";
    ExpectEntries(grid + "\n" + grid + plain + kDots + "\n",
                  {"1:" + kDots, "13:" + kDots, "25:" + kDots, "35:" + kDots});
    const std::vector<CPuzzleEntry> entries = ReadAll(grid + kDots);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_TRUE(entries[0].fromGrid);
    EXPECT_FALSE(entries[1].fromGrid);
    EXPECT_EQ(CellsOf(entries[0].parsed), kDots);
}

TEST(PuzzleReader, AGridMissingRowsIsInvalidWhereItStarts) {
    const std::string rows = "4.....8.5\n.3.......\n...7.....\n";
    ExpectEntries("# three rows\n" + rows + "\n" + kDots + "\n",
                  {"2:expected 9 rows of a grid, found 3", "6:" + kDots});
    ExpectEntries(rows + kDots + "\n", {"1:expected 9 rows of a grid, found 3", "4:" + kDots});
    ExpectEntries(rows + "# a comment\n", {"1:expected 9 rows of a grid, found 3"});
    ExpectEntries(rows + "bad\n",
                  {"1:expected 9 rows of a grid, found 3", "4:unexpected 'b' at cell 1"});
    ExpectEntries(rows, {"1:expected 9 rows of a grid, found 3"});
    // Ten rows: a grid, then a grid that ends after one row.
    std::string ten, nine;
    for (int row = 0; row < 10; ++row) ten += "123456789\n";
    for (int row = 0; row < 9; ++row) nine += "123456789";
    ExpectEntries(ten, {"1:" + nine, "10:expected 9 rows of a grid, found 1"});
}

TEST(PuzzleReader, AnswersAnOverlongLineAtOnceAndSkipsItsRest) {
    const std::string longLine(kMaxLineLength + 1, '1');
    ExpectEntries(longLine + "\n" + kDots + "\n", {"1:line longer than 16384 bytes", "2:" + kDots});
    // The answer comes before the line ends: an endless line does not hold it up.
    CPuzzleReader reader;
    std::vector<CPuzzleEntry> entries;
    const std::string block(4096, '7');
    for (int i = 0; i < 64; ++i) reader.Feed(block, entries);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(Describe(entries[0]), "1:line longer than 16384 bytes");
    reader.Feed("\n" + kDots + "\n", entries);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(Describe(entries[1]), "2:" + kDots);
    // Exactly the limit is still read as a line; a long comment is still a comment.
    ExpectEntries(std::string(kMaxLineLength - 81, ' ') + kDots, {"1:" + kDots});
    ExpectEntries("#" + std::string(3 * kMaxLineLength, 'x') + "\r\n" + kDots, {"2:" + kDots});
}

TEST(PuzzleReader, StopsAtANulByte) {
    bool binary = false;
    const std::vector<CPuzzleEntry> entries =
        ReadAll(kDots + "\n" + kDots.substr(0, 10) + '\0' + kDots + "\n" + kDots, 5, &binary);
    EXPECT_TRUE(binary);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(Describe(entries[0]), "1:" + kDots);

    // UTF-16 text, as some editors save it.
    std::string utf16 = "\xff\xfe";
    for (char ch : kDots) utf16 += std::string{ch, '\0'};
    ReadAll(utf16, 0, &binary);
    EXPECT_TRUE(binary);
}

TEST(PuzzleReader, ReadsTheWholeCorpus) {
    for (const std::string& file : CorpusFiles()) {
        const std::vector<CCorpusEntry> corpus = ReadCorpus(file);
        ASSERT_FALSE(corpus.empty()) << file;
        std::string text;
        for (const CCorpusEntry& entry : corpus) text += GridToText(entry.puzzle) + "\r\n";
        const std::vector<CPuzzleEntry> entries = ReadAll(text, 4096);
        ASSERT_EQ(entries.size(), corpus.size()) << file;
        for (size_t i = 0; i < entries.size(); ++i) {
            EXPECT_EQ(entries[i].parsed.grid, corpus[i].puzzle) << file << ":" << corpus[i].line;
        }
    }
}

// The clipboard's puzzle: exactly one, in the grammar of puzzle files.
TEST(ReadPuzzleText, ReadsExactlyOnePuzzle) {
    std::string grid;  // nine lines of nine with box rules, as puzzle sites print them
    for (int r = 0; r < 9; ++r) {
        if (r == 3 || r == 6) grid += "------+-------+------\r\n";
        for (int c = 0; c < 9; ++c)
            grid += std::string(c == 3 || c == 6 ? "| " : "") + kDots[size_t(9 * r + c)] + " ";
        grid += "\r\n";
    }
    std::string zeros = kDots;
    std::replace(zeros.begin(), zeros.end(), '.', '0');
    const std::string solved = kDots + ":1:" + std::string(kEmptyGridSolution);
    for (const std::string& text :
         {kDots, zeros, "  " + kDots + "\r\n", grid, "\n# from 17-clue.txt\n" + grid + "\n", solved,
          kDots + " hard", std::string(kMaxPuzzleTextLength - 81, '\n') + kDots}) {
        const std::optional<CPuzzleText> puzzle = ReadPuzzleText(text);
        ASSERT_TRUE(puzzle.has_value()) << text;
        EXPECT_EQ(GridToText(puzzle->values), kDots) << text;
        EXPECT_FALSE(puzzle->pencilMarks);
    }

    std::string ten = grid;
    ten.replace(ten.find("4 . . |"), 7, "4 . . . |");
    for (const std::string& text :
         {std::string(), std::string("5"), kDots.substr(0, 80), kDots + "1", kDots + "\n" + kDots,
          kDots + kDots, "x" + kDots.substr(1), kDots.substr(0, 5) + '\0' + kDots.substr(6),
          "\xef\xbc\x94" + kDots.substr(1), ten,
          kDots.substr(0, 27) + "\n" + kDots.substr(27, 27) + "\n" + kDots.substr(54),
          grid + "1 2 3 4 5 6 7 8 9\n", kDots + std::string(kMaxPuzzleTextLength, ' ')}) {
        EXPECT_FALSE(ReadPuzzleText(text).has_value()) << text;
    }
}

TEST(ReadPuzzleText, ReadsPencilMarksAsValuesAndMasks) {
    std::string marks = PencilMarksOf(kDots);
    marks[10] = '.';  // the second cell keeps 1 and 3-9
    const std::optional<CPuzzleText> puzzle = ReadPuzzleText(marks + "\n");
    ASSERT_TRUE(puzzle.has_value());
    EXPECT_TRUE(puzzle->pencilMarks);
    EXPECT_EQ(puzzle->masks[0], 1u << 4);
    EXPECT_EQ(puzzle->masks[1], 0x3FE & ~(1u << 2));
    EXPECT_EQ(puzzle->masks[6], 1u << 8);
    EXPECT_EQ(puzzle->masks[80], 0x3FE);
    EXPECT_EQ(GridToText(puzzle->values), kDots);
}

TEST(PuzzleToLine, WritesDotsAndDigitsOrNothing) {
    PuzzleGrid grid{};
    grid[0] = 4;
    grid[80] = 9;
    EXPECT_EQ(PuzzleToLine(grid), "4" + std::string(79, '.') + "9");
    EXPECT_EQ(ReadPuzzleText(*PuzzleToLine(grid))->values, grid);
    grid[40] = 10;
    EXPECT_FALSE(PuzzleToLine(grid).has_value());
}

// The strict form of the C interface and the Python module: 81 cells and nothing else.
TEST(GridCells, ReadExactly81CellsAndNameTheFirstThatIsNot) {
    std::string zeros = kDots;
    std::replace(zeros.begin(), zeros.end(), '.', '0');
    PuzzleGrid grid{};
    for (const std::string& text : {kDots, zeros}) {
        EXPECT_TRUE(ReadGridText(text.data(), text.size(), grid).Ok()) << text;
        EXPECT_EQ(GridToText(grid), kDots);
    }
    char written[kCellCount];
    WriteGridText(grid.data(), written);
    EXPECT_EQ(std::string(written, kCellCount), zeros);

    struct Case {
        std::string text;
        CCellsCheck::Error error;
        int cell;
    };
    const Case cases[] = {
        {kDots.substr(0, 80), CCellsCheck::kLength, 0},
        {kDots + "1", CCellsCheck::kLength, 0},
        {kDots.substr(0, 40) + "x" + kDots.substr(41), CCellsCheck::kCharacter, 40},
        {kDots.substr(0, 80) + " ", CCellsCheck::kCharacter, 80},
        {"|" + kDots.substr(1), CCellsCheck::kCharacter, 0},
    };
    for (const Case& test : cases) {
        const CCellsCheck check = ReadGridText(test.text.data(), test.text.size(), grid);
        EXPECT_EQ(check.error, test.error) << test.text;
        EXPECT_EQ(check.cell, test.cell) << test.text;
    }

    const PuzzleGrid given = GridFromText(kDots);
    PuzzleGrid copy{};
    EXPECT_TRUE(ReadGridBytes(given.data(), kCellCount, copy).Ok());
    EXPECT_EQ(copy, given);
    PuzzleGrid above = given;
    above[7] = 10;
    const PuzzleGrid before = copy;
    const CCellsCheck check = ReadGridBytes(above.data(), kCellCount, copy);
    EXPECT_EQ(check.error, CCellsCheck::kValue);
    EXPECT_EQ(check.cell, 7);
    EXPECT_EQ(copy, before) << "left untouched";
    EXPECT_EQ(CheckGrid(given.data(), 80).error, CCellsCheck::kLength);
}

TEST(LoadPuzzleFile, ReadsUpToTheLimitAndSaysWhyNot) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("velmo-load-test-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "three.txt") << "# three\n"
                                     << kDots << "\nbad\n"
                                     << kDots << " # two\r\n"
                                     << kDots;
    const CPuzzleFile all = LoadPuzzleFile(dir / "three.txt");
    EXPECT_EQ(all.error, "");
    ASSERT_EQ(all.entries.size(), 4u);
    EXPECT_EQ(all.entries[1].parsed.error, "unexpected 'b' at cell 1");
    EXPECT_EQ(all.entries[3].line, 5u);
    EXPECT_EQ(all.Grids().size(), 3u);
    const CPuzzleFile two = LoadPuzzleFile(dir / "three.txt", 2);
    ASSERT_EQ(two.entries.size(), 3u);
    EXPECT_EQ(two.entries[2].parsed.comment, " # two");

    std::ofstream(dir / "utf16.txt") << kDots << std::string("\n4\0.\0", 5);
    const CPuzzleFile binary = LoadPuzzleFile(dir / "utf16.txt");
    EXPECT_EQ(binary.entries.size(), 1u);
    EXPECT_NE(binary.error.find("utf16.txt:2: a NUL byte"), std::string::npos) << binary.error;
    EXPECT_NE(LoadPuzzleFile(dir / "missing.txt").error.find("cannot read"), std::string::npos);
    std::filesystem::remove_all(dir);
}

}  // namespace
