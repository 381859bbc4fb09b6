// Parser for one line of puzzle text.
#include "puzzle_line.h"

#include <algorithm>
#include <bit>
#include <cstdio>

namespace {

bool IsBlank(char ch) {
    return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n' || ch == '\v' || ch == '\f';
}

bool IsCell(char ch) {
    return (ch >= '0' && ch <= '9') || ch == '.';
}

bool IsSeparator(char ch) {
    return IsBlank(ch) || ch == '|' || ch == '-' || ch == '+';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

// The code point that starts `text` and its length in bytes, or length 0 when `text` does
// not start with a well-formed UTF-8 sequence of two to four bytes.
struct CCodePoint {
    char32_t value = 0;
    size_t length = 0;
};

CCodePoint DecodeUtf8(std::string_view text) {
    const auto lead = static_cast<unsigned char>(text[0]);
    size_t length;
    char32_t value;
    char32_t smallest;  // shorter forms of the same code point are not UTF-8
    if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2, value = lead & 0x1f, smallest = 0x80;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3, value = lead & 0x0f, smallest = 0x800;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4, value = lead & 0x07, smallest = 0x10000;
    } else {
        return {};
    }
    if (text.size() < length) return {};
    for (size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[i]);
        if ((next & 0xc0) != 0x80) return {};
        value = (value << 6) | (next & 0x3f);
    }
    if (value < smallest || value > 0x10ffff || (value >= 0xd800 && value <= 0xdfff)) return {};
    return {value, length};
}

// How many cells the text from a run of cells and separators on holds, up to the first
// character that is neither.
size_t CountCells(std::string_view text) {
    size_t cells = 0;
    for (char ch : text) {
        if (IsCell(ch)) {
            ++cells;
        } else if (!IsSeparator(ch)) {
            break;
        }
    }
    return cells;
}

CPuzzleLine Invalid(std::string error) {
    CPuzzleLine result;
    result.kind = CPuzzleLine::kInvalid;
    result.error = std::move(error);
    return result;
}

}  // namespace

std::string DescribeCharacter(std::string_view text) {
    const auto byte = static_cast<unsigned char>(text[0]);
    if (byte >= 0x21 && byte < 0x7f) return std::string{'\'', text[0], '\''};
    char buffer[32];
    if (byte >= 0x80) {
        if (const CCodePoint point = DecodeUtf8(text); point.length != 0) {
            std::snprintf(buffer, sizeof buffer, "' (U+%04X)", unsigned(point.value));
            return "'" + std::string(text.substr(0, point.length)) + buffer;
        }
    }
    std::snprintf(buffer, sizeof buffer, "byte 0x%02x", unsigned(byte));
    return buffer;
}

namespace {

// Fills in a pencil-mark puzzle from its 729 cells, or says which character is out of place.
CPuzzleLine PencilMarkPuzzle(std::string_view marks) {
    CPuzzleLine result;
    for (int cell = 0; cell < kCellCount; ++cell) {
        for (int place = 1; place <= kGridSize; ++place) {
            const char ch = marks[size_t(cell * kGridSize + place - 1)];
            if (ch != '.' && ch != '0' && ch != '0' + place) {
                return Invalid("pencil marks: cell " + std::to_string(cell + 1) + " has '" +
                               std::string(1, ch) + "' in place " + std::to_string(place) +
                               ", where only " + std::to_string(place) + " or . may stand");
            }
        }
    }
    result.kind = CPuzzleLine::kPuzzle;
    result.pencilMarks = marks;
    const CandidateMasks masks = PencilMarkMasks(marks);
    for (int cell = 0; cell < kCellCount; ++cell) {
        const bool single = std::has_single_bit(masks[cell]);
        result.grid[cell] = single ? uint8_t(std::countr_zero(masks[cell])) : 0;
        result.cells[cell] = single ? char('0' + result.grid[cell]) : '.';
    }
    return result;
}

}  // namespace

CandidateMasks PencilMarkMasks(std::string_view pencilMarks) {
    CandidateMasks masks{};
    for (int cell = 0; cell < kCellCount; ++cell) {
        for (int place = 1; place <= kGridSize; ++place) {
            if (pencilMarks[size_t(cell * kGridSize + place - 1)] == '0' + place) {
                masks[cell] |= uint16_t(1u << place);
            }
        }
    }
    return masks;
}

CPuzzleLine ParsePuzzleLine(std::string_view line) {
    const std::string_view text = Trim(line);
    if (text.empty() || text.front() == '#') return {};

    // Cells are gathered up to a pencil-mark puzzle's count; the 81 of a puzzle come first.
    std::array<char, kPencilMarkCount> gathered;
    int cells = 0;
    size_t afterPuzzle = 0;  // where the 81st cell ends
    size_t i = 0;
    for (; i < text.size() && cells < kPencilMarkCount; ++i) {
        const char ch = text[i];
        if (IsCell(ch)) {
            gathered[size_t(cells++)] = ch;
            if (cells == kCellCount) afterPuzzle = i + 1;
        } else if (!IsSeparator(ch)) {
            break;
        }
    }
    // A pencil-mark puzzle written in groups, one mark short or over, would otherwise read
    // as a puzzle of its first 81 marks and a comment of the rest.
    const size_t runCells =
        size_t(cells) + (cells == kPencilMarkCount ? CountCells(text.substr(i)) : 0);
    if (runCells >= kMiscountedPencilMarks && runCells != size_t(kPencilMarkCount)) {
        return Invalid("expected 81 cells, or 729 in a pencil-mark puzzle, found " +
                       std::to_string(runCells));
    }
    if (runCells == size_t(kPencilMarkCount)) {
        CPuzzleLine result = PencilMarkPuzzle(std::string_view(gathered.data(), gathered.size()));
        const std::string_view rest = text.substr(i);
        if (result.kind == CPuzzleLine::kPuzzle &&
            rest.find_first_not_of(" \t\v\f|-+") != std::string_view::npos) {
            result.comment = rest;
        }
        return result;
    }

    CPuzzleLine result;
    const int puzzleCells = std::min(cells, kCellCount);
    for (int cell = 0; cell < puzzleCells; ++cell) {
        const char ch = gathered[size_t(cell)];
        result.cells[cell] = ch;
        result.grid[cell] = ch == '.' ? 0 : static_cast<uint8_t>(ch - '0');
    }
    if (cells >= kCellCount) {
        // A cell right after the 81st is a cell too many; after a separator, digits are a
        // comment's ("... 17 clues").
        const std::string_view rest = text.substr(afterPuzzle);
        if (!rest.empty() && IsCell(rest.front())) {
            return Invalid("expected 81 cells, found " +
                           std::to_string(kCellCount + CountCells(rest)));
        }
        result.kind = CPuzzleLine::kPuzzle;
        if (rest.find_first_not_of(" \t\v\f|-+") != std::string_view::npos) {
            result.comment = rest;
        }
        return result;
    }
    if (i < text.size()) {
        return Invalid("unexpected " + DescribeCharacter(text.substr(i)) + " at cell " +
                       std::to_string(cells + 1));
    }
    if (cells == kGridSize) {
        result.kind = CPuzzleLine::kGridRow;
        return result;
    }
    if (cells == 0) {
        result.kind = CPuzzleLine::kRule;
        return result;
    }
    return Invalid("expected 81 cells, or 9 in a row of a grid, found " + std::to_string(cells));
}
