// Puzzle text for the window: conversions around the puzzle-text library.
#include "qt_puzzle_text.h"

std::optional<CPuzzleText> ReadPuzzleText(QStringView text) {
    if (size_t(text.size()) > kMaxPuzzleTextLength) return std::nullopt;
    const QByteArray bytes = text.toUtf8();
    return ReadPuzzleText(std::string_view(bytes.constData(), size_t(bytes.size())));
}

std::optional<PuzzleGrid> PuzzleFromText(QStringView text) {
    const std::optional<CPuzzleText> puzzle = ReadPuzzleText(text);
    if (!puzzle || puzzle->pencilMarks) return std::nullopt;
    return puzzle->values;
}

std::optional<QString> PuzzleLine(const PuzzleGrid& grid) {
    const std::optional<std::string> line = PuzzleToLine(grid);
    if (!line) return std::nullopt;
    return QString::fromLatin1(line->data(), qsizetype(line->size()));
}
