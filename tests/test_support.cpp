// Shared test helpers.
#include "test_support.h"

#include "puzzle_reader.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>

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

namespace {

// The puzzles of the file at `path`; a file that cannot be read, or an invalid entry, fails
// the calling test.
std::vector<CPuzzleEntry> LoadOrFail(const std::string& path, size_t limit = SIZE_MAX) {
    CPuzzleFile file = LoadPuzzleFile(path, limit);
    if (!file.error.empty()) ADD_FAILURE() << file.error;
    std::erase_if(file.entries, [&](const CPuzzleEntry& entry) {
        if (entry.parsed.kind != CPuzzleLine::kInvalid) return false;
        ADD_FAILURE() << path << ":" << entry.line << ": " << entry.parsed.error;
        return true;
    });
    return std::move(file.entries);
}

}  // namespace

std::vector<CCorpusEntry> ReadCorpus(const std::string& file) {
    std::vector<CCorpusEntry> entries;
    for (const CPuzzleEntry& read : LoadOrFail(CorpusPath(file))) {
        // The comment is ":count:solution".
        const std::string& tail = read.parsed.comment;
        CCorpusEntry entry;
        entry.file = file;
        entry.line = read.line;
        entry.puzzle = read.parsed.grid;
        if (tail.size() < 3 || tail[0] != ':' || tail[1] < '0' || tail[1] > '2' || tail[2] != ':') {
            ADD_FAILURE() << file << ":" << read.line << ": not puzzle:count:solution";
            continue;
        }
        entry.count = tail[1] - '0';
        entry.solution = tail.substr(3);
        if ((entry.count == 0) != entry.solution.empty() ||
            (!entry.solution.empty() && entry.solution.size() != size_t(kCellCount))) {
            ADD_FAILURE() << file << ":" << read.line << ": count and solution disagree: " << tail;
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
    for (const CPuzzleEntry& entry : LoadOrFail(std::string(VELMO_PUZZLE_DIR "/") + name, limit)) {
        puzzles.push_back(entry.parsed.grid);
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
