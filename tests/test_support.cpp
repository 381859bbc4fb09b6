// Shared test helpers.
#include "test_support.h"

#include "puzzle_line.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>

PuzzleGrid GridFromText(std::string_view text) {
    PuzzleGrid grid{};
    int cell = 0;
    for (char ch : text) {
        if (std::isspace(static_cast<unsigned char>(ch))) continue;
        if (cell == kCellCount) {
            ADD_FAILURE() << "more than 81 cells in " << text;
            break;
        }
        grid[cell++] = (ch >= '1' && ch <= '9') ? static_cast<uint8_t>(ch - '0') : 0;
    }
    if (cell != kCellCount) ADD_FAILURE() << "only " << cell << " cells in " << text;
    return grid;
}

std::string GridToText(const PuzzleGrid& grid) {
    std::string text;
    for (uint8_t value : grid) text += value == 0 ? '.' : char('0' + value);
    return text;
}

bool IsSolutionOf(const PuzzleGrid& solution, const PuzzleGrid& puzzle) {
    for (int cell = 0; cell < kCellCount; ++cell) {
        if (solution[cell] < 1 || solution[cell] > 9) return false;
        if (puzzle[cell] != 0 && puzzle[cell] != solution[cell]) return false;
    }
    return IsConsistent(solution.data()) == 1;
}

std::vector<std::string> CorpusFiles() {
    return {"unique.txt", "multiple.txt",    "near-empty.txt",
            "none.txt",   "conflicting.txt", "crlf.txt"};
}

std::string CorpusPath(const std::string& file) {
    return std::string(VELMO_TEST_DATA_DIR "/") + file;
}

std::vector<CCorpusEntry> ReadCorpus(const std::string& file) {
    std::vector<CCorpusEntry> entries;
    std::ifstream in(CorpusPath(file), std::ios::binary);
    if (!in) {
        ADD_FAILURE() << "cannot read corpus file " << CorpusPath(file);
        return entries;
    }
    std::string line;
    size_t lineNumber = 0;
    while (std::getline(in, line)) {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line.front() == '#') continue;
        CCorpusEntry entry;
        entry.file = file;
        entry.line = lineNumber;
        const size_t first = line.find(':');
        const size_t second = first == std::string::npos ? first : line.find(':', first + 1);
        const CPuzzleLine parsed = ParsePuzzleLine(line.substr(0, first));
        if (second == std::string::npos || parsed.kind != CPuzzleLine::kPuzzle ||
            second - first != 2 || line[first + 1] < '0' || line[first + 1] > '2') {
            ADD_FAILURE() << file << ":" << lineNumber << ": not puzzle:count:solution: " << line;
            continue;
        }
        entry.puzzle = parsed.grid;
        entry.count = line[first + 1] - '0';
        entry.solution = line.substr(second + 1);
        if ((entry.count == 0) != entry.solution.empty() ||
            (!entry.solution.empty() && entry.solution.size() != size_t(kCellCount))) {
            ADD_FAILURE() << file << ":" << lineNumber << ": count and solution disagree: " << line;
            continue;
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

bool HaveCollections() {
    std::error_code error;
    return std::filesystem::is_directory(VELMO_PUZZLE_DIR, error);
}

std::vector<PuzzleGrid> ReadPuzzleFile(const std::string& name, size_t limit) {
    std::vector<PuzzleGrid> puzzles;
    std::ifstream file(std::string(VELMO_PUZZLE_DIR) + "/" + name);
    if (!file) {
        ADD_FAILURE() << "cannot read puzzle file " << VELMO_PUZZLE_DIR << "/" << name;
        return puzzles;
    }
    std::string line;
    size_t lineNumber = 0;
    while (puzzles.size() < limit && std::getline(file, line)) {
        ++lineNumber;
        const CPuzzleLine parsed = ParsePuzzleLine(line);
        if (parsed.kind == CPuzzleLine::kInvalid) {
            ADD_FAILURE() << name << ":" << lineNumber << ": " << parsed.error;
        } else if (parsed.kind == CPuzzleLine::kPuzzle) {
            puzzles.push_back(parsed.grid);
        }
    }
    return puzzles;
}

bool CFakePlatform::AskYesNo(std::string_view text) {
    questions.emplace_back(text);
    if (answers.empty()) {
        ADD_FAILURE() << "unexpected question: " << text;
        return false;
    }
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
}
