// Parser for the one-puzzle-a-line text format.
#include "puzzle_line.h"

namespace {

bool IsBlank(char ch) {
    return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n' || ch == '\v' || ch == '\f';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

// Quotes a byte for a message so that control and non-ASCII bytes stay readable.
std::string Describe(char ch) {
    const auto byte = static_cast<unsigned char>(ch);
    if (byte >= 0x21 && byte < 0x7f) return std::string{'\'', ch, '\''};
    static constexpr char kHex[] = "0123456789abcdef";
    return std::string{"byte 0x"} + kHex[byte >> 4] + kHex[byte & 15];
}

}  // namespace

CPuzzleLine ParsePuzzleLine(std::string_view line) {
    CPuzzleLine result;
    const std::string_view text = Trim(line);
    if (text.empty() || text.front() == '#') return result;

    if (text.size() != kCellCount) {
        result.kind = CPuzzleLine::kInvalid;
        result.error = "expected 81 cells, found " + std::to_string(text.size()) + " characters";
        return result;
    }
    for (int cell = 0; cell < kCellCount; ++cell) {
        const char ch = text[cell];
        if (ch >= '1' && ch <= '9') {
            result.grid[cell] = static_cast<uint8_t>(ch - '0');
        } else if (ch == '0' || ch == '.') {
            result.grid[cell] = 0;
        } else {
            result.kind = CPuzzleLine::kInvalid;
            result.error = "unexpected " + Describe(ch) + " at cell " + std::to_string(cell + 1);
            return result;
        }
    }
    result.kind = CPuzzleLine::kPuzzle;
    return result;
}
