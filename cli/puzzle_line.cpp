// Parser for one line of a puzzle file.
#include "puzzle_line.h"

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

CPuzzleLine ParsePuzzleLine(std::string_view line) {
    const std::string_view text = Trim(line);
    if (text.empty() || text.front() == '#') return {};

    CPuzzleLine result;
    int cells = 0;
    size_t i = 0;
    for (; i < text.size(); ++i) {
        const char ch = text[i];
        if (cells == kCellCount) break;  // a comment, or a cell too many
        if (IsCell(ch)) {
            result.cells[cells] = ch;
            result.grid[cells] = ch == '.' ? 0 : static_cast<uint8_t>(ch - '0');
            ++cells;
        } else if (!IsSeparator(ch)) {
            break;
        }
    }

    if (cells == kCellCount) {
        const std::string_view rest = text.substr(i);
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
    if (cells == kGridRowCells) {
        result.kind = CPuzzleLine::kGridRow;
        return result;
    }
    if (cells == 0) {
        result.kind = CPuzzleLine::kRule;
        return result;
    }
    return Invalid("expected 81 cells, or 9 in a row of a grid, found " + std::to_string(cells));
}
