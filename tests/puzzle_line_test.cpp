// ParsePuzzleLine: the accepted forms of a puzzle line and the reasons given for the rest.
#include <gtest/gtest.h>

#include "puzzle_line.h"
#include "test_support.h"

namespace {

const std::string kDots =
    "4.....8.5.3..........7......2.....6.....8.4......1.......6.3.7.5..2.....1.4......";

TEST(ParsePuzzleLine, ReadsDigitsDotsAndZeros) {
    std::string zeros = kDots;
    std::replace(zeros.begin(), zeros.end(), '.', '0');
    for (const std::string& text : {kDots, zeros}) {
        const CPuzzleLine parsed = ParsePuzzleLine(text);
        ASSERT_EQ(parsed.kind, CPuzzleLine::kPuzzle) << parsed.error;
        EXPECT_EQ(GridToText(parsed.grid), kDots);
    }
}

TEST(ParsePuzzleLine, IgnoresWhiteSpaceAndCarriageReturnAtTheEnds) {
    for (const std::string& text : {kDots + "\r", "  " + kDots + " \t", "\t" + kDots + "\r\n"}) {
        const CPuzzleLine parsed = ParsePuzzleLine(text);
        ASSERT_EQ(parsed.kind, CPuzzleLine::kPuzzle) << parsed.error;
        EXPECT_EQ(GridToText(parsed.grid), kDots);
    }
}

TEST(ParsePuzzleLine, SkipsBlankAndCommentLines) {
    for (std::string_view text : {"", "\r", "   \t ", "# a comment", "#", "  # indented\r"}) {
        EXPECT_EQ(ParsePuzzleLine(text).kind, CPuzzleLine::kSkip) << '"' << text << '"';
    }
}

TEST(ParsePuzzleLine, RejectsWrongLengthWithTheCount) {
    struct Case {
        std::string text;
        const char* reason;
    };
    const Case cases[] = {
        {kDots.substr(0, 80), "expected 81 cells, found 80 characters"},
        {kDots + "1", "expected 81 cells, found 82 characters"},
        {"1", "expected 81 cells, found 1 characters"},
        {kDots.substr(0, 40) + " " + kDots.substr(40), "expected 81 cells, found 82 characters"},
    };
    for (const Case& test : cases) {
        const CPuzzleLine parsed = ParsePuzzleLine(test.text);
        EXPECT_EQ(parsed.kind, CPuzzleLine::kInvalid) << test.text;
        EXPECT_EQ(parsed.error, test.reason) << test.text;
    }
}

TEST(ParsePuzzleLine, RejectsOtherCharactersNamingTheCell) {
    struct Case {
        int cell;
        char ch;
        const char* reason;
    };
    const Case cases[] = {
        {0, 'x', "unexpected 'x' at cell 1"},
        {80, '-', "unexpected '-' at cell 81"},
        {40, ' ', "unexpected byte 0x20 at cell 41"},
        {10, '\xc3', "unexpected byte 0xc3 at cell 11"},
        {3, '\0', "unexpected byte 0x00 at cell 4"},
        {7, '*', "unexpected '*' at cell 8"},
    };
    for (const Case& test : cases) {
        std::string text = kDots;
        text[test.cell] = test.ch;
        const CPuzzleLine parsed = ParsePuzzleLine(text);
        EXPECT_EQ(parsed.kind, CPuzzleLine::kInvalid) << test.reason;
        EXPECT_EQ(parsed.error, test.reason);
    }
}

}  // namespace
