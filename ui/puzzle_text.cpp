// Reading and writing whole puzzles as text.
#include "puzzle_text.h"

namespace {

bool IsSeparator(QChar ch) {
    return ch == u'|' || ch == u'-' || ch == u'+' || ch == u' ' || ch == u'\t';
}

// Appends the cells of one line to the first `count` cells of `grid`; false when the line
// holds anything but cells and separators, or more cells than the grid has room for.
bool ReadCells(QStringView line, PuzzleGrid& grid, int& count) {
    for (QChar ch : line) {
        if (IsSeparator(ch)) continue;
        if (count == kCellCount) return false;
        if (ch == u'.') {
            grid[count++] = 0;
        } else if (ch >= u'0' && ch <= u'9') {
            grid[count++] = uint8_t(ch.unicode() - u'0');
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace

std::optional<PuzzleGrid> PuzzleFromText(QStringView text) {
    if (text.size() > kMaxPuzzleTextLength) return std::nullopt;

    PuzzleGrid grid{};
    int count = 0;
    int rows = 0;  // lines that held cells
    bool rowsOfNine = true;
    qsizetype start = 0;
    while (start <= text.size()) {
        qsizetype end = start;
        while (end < text.size() && text[end] != u'\n' && text[end] != u'\r') ++end;
        const QStringView line = text.sliced(start, end - start);
        start = end + 1;
        if (end + 1 < text.size() && text[end] == u'\r' && text[end + 1] == u'\n') ++start;

        const QStringView content = line.trimmed();
        if (content.startsWith(u'#')) continue;
        const int before = count;
        if (!ReadCells(content, grid, count)) return std::nullopt;
        if (count == before) continue;
        ++rows;
        rowsOfNine = rowsOfNine && count - before == kGridSize;
    }

    const bool oneLine = rows == 1;
    const bool nineLines = rows == kGridSize && rowsOfNine;
    if (count != kCellCount || !(oneLine || nineLines)) return std::nullopt;
    return grid;
}

std::optional<QString> PuzzleLine(const PuzzleGrid& grid) {
    QString line(kCellCount, u'.');
    for (int i = 0; i < kCellCount; ++i) {
        if (grid[i] > 9) return std::nullopt;
        if (grid[i] != 0) line[i] = QChar(u'0' + grid[i]);
    }
    return line;
}
