// Reading and writing whole puzzles as text.
#include "puzzle_text.h"

#include <vector>

#include "puzzle_reader.h"

std::optional<CPuzzleText> ReadPuzzleText(std::string_view text) {
    if (text.size() > kMaxPuzzleTextLength) return std::nullopt;
    CPuzzleReader reader;
    std::vector<CPuzzleEntry> entries;
    reader.Feed(text, entries);
    reader.Finish(entries);
    if (reader.Binary() || entries.size() != 1) return std::nullopt;
    const CPuzzleLine& parsed = entries.front().parsed;
    if (parsed.kind != CPuzzleLine::kPuzzle) return std::nullopt;
    CPuzzleText puzzle;
    puzzle.values = parsed.grid;
    if (parsed.IsPencilMarks()) {
        puzzle.pencilMarks = true;
        puzzle.masks = PencilMarkMasks(parsed.pencilMarks);
    }
    return puzzle;
}

std::optional<std::string> PuzzleToLine(const PuzzleGrid& grid) {
    std::string line(kCellCount, '.');
    for (int cell = 0; cell < kCellCount; ++cell) {
        if (grid[cell] > kGridSize) return std::nullopt;
        if (grid[cell] != 0) line[cell] = char('0' + grid[cell]);
    }
    return line;
}

std::string PencilMarksToLine(const CandidateMasks& masks) {
    std::string line(kPencilMarkCount, '.');
    for (int cell = 0; cell < kCellCount; ++cell) {
        for (int digit = 1; digit <= kGridSize; ++digit) {
            if (masks[cell] & (1u << digit))
                line[size_t(cell * kGridSize + digit - 1)] = char('0' + digit);
        }
    }
    return line;
}
