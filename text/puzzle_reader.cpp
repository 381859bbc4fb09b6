// Splits a stream of puzzle text into lines and lines into puzzles.
#include "puzzle_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>

namespace {

constexpr std::string_view kByteOrderMark = "\xef\xbb\xbf";

bool IsComment(std::string_view line) {
    const size_t first = line.find_first_not_of(" \t\v\f");
    return first != std::string_view::npos && line[first] == '#';
}

}  // namespace

void CPuzzleReader::Add(std::vector<CPuzzleEntry>& entries, CPuzzleLine parsed, uint64_t line) {
    CPuzzleEntry& entry = entries.emplace_back();
    entry.parsed = std::move(parsed);
    entry.line = line;
}

// A grid missing rows is answered as invalid where it began; what ended it is read on its own.
void CPuzzleReader::AbandonGrid(std::vector<CPuzzleEntry>& entries) {
    if (m_gridRows == 0) return;
    CPuzzleLine invalid;
    invalid.kind = CPuzzleLine::kInvalid;
    invalid.error = "expected 9 rows of a grid, found " + std::to_string(m_gridRows);
    Add(entries, std::move(invalid), m_gridLine);
    entries.back().fromGrid = true;
    m_gridRows = 0;
}

void CPuzzleReader::EndLine(std::vector<CPuzzleEntry>& entries) {
    if (m_overlong) {
        m_overlong = false;
    } else {
        CPuzzleLine parsed = ParsePuzzleLine(m_line);
        switch (parsed.kind) {
            case CPuzzleLine::kGridRow: {
                if (m_gridRows == 0) m_gridLine = m_lineNumber;
                const int first = m_gridRows * kGridSize;
                std::copy_n(parsed.grid.begin(), kGridSize, m_grid.grid.begin() + first);
                std::copy_n(parsed.cells.begin(), kGridSize, m_grid.cells.begin() + first);
                if (++m_gridRows == kGridSize) {
                    m_grid.kind = CPuzzleLine::kPuzzle;
                    Add(entries, m_grid, m_gridLine);
                    entries.back().fromGrid = true;
                    m_gridRows = 0;
                }
                break;
            }
            case CPuzzleLine::kRule:
                break;
            case CPuzzleLine::kSkip:
                AbandonGrid(entries);
                break;
            case CPuzzleLine::kPuzzle:
            case CPuzzleLine::kInvalid:
                AbandonGrid(entries);
                Add(entries, std::move(parsed), m_lineNumber);
                break;
        }
    }
    m_line.clear();
    ++m_lineNumber;
}

// Adds bytes that end no line to the current line.
void CPuzzleReader::Append(std::string_view bytes, std::vector<CPuzzleEntry>& entries) {
    if (m_overlong || bytes.empty()) return;
    if (m_line.size() + bytes.size() <= kMaxLineLength) {
        m_line.append(bytes);
        return;
    }
    m_line.append(bytes.substr(0, kMaxLineLength - m_line.size()));
    m_overlong = true;
    AbandonGrid(entries);
    if (IsComment(m_line)) return;
    CPuzzleLine invalid;
    invalid.kind = CPuzzleLine::kInvalid;
    invalid.error = "line longer than " + std::to_string(kMaxLineLength) + " bytes";
    Add(entries, std::move(invalid), m_lineNumber);
    m_line.clear();
}

void CPuzzleReader::Feed(std::string_view block, std::vector<CPuzzleEntry>& entries) {
    while (!m_started && !block.empty()) {
        if (block.front() == kByteOrderMark[m_markMatched]) {
            block.remove_prefix(1);
            if (++m_markMatched == kByteOrderMark.size()) m_started = true;
        } else {
            // Not a mark after all: the bytes matched so far belong to the first line.
            m_started = true;
            Append(kByteOrderMark.substr(0, m_markMatched), entries);
        }
    }
    while (!block.empty() && !m_binary) {
        if (m_afterCr && block.front() == '\n') block.remove_prefix(1);
        m_afterCr = false;
        const auto end = std::find_if(block.begin(), block.end(),
                                      [](char ch) { return ch == '\n' || ch == '\r' || ch == 0; });
        const size_t length = size_t(end - block.begin());
        Append(block.substr(0, length), entries);
        if (length == block.size()) return;
        const char stop = block[length];
        block.remove_prefix(length + 1);
        if (stop == 0) {
            m_binary = true;
            return;
        }
        m_afterCr = stop == '\r';
        EndLine(entries);
    }
}

void CPuzzleReader::Finish(std::vector<CPuzzleEntry>& entries) {
    if (m_binary) return;
    if (!m_started) {
        m_started = true;
        Append(kByteOrderMark.substr(0, m_markMatched), entries);
    }
    if (!m_line.empty() || m_overlong) EndLine(entries);
    AbandonGrid(entries);
}

std::vector<PuzzleGrid> CPuzzleFile::Grids() const {
    std::vector<PuzzleGrid> grids;
    for (const CPuzzleEntry& entry : entries) {
        if (entry.parsed.kind == CPuzzleLine::kPuzzle) grids.push_back(entry.parsed.grid);
    }
    return grids;
}

CPuzzleFile LoadPuzzleFile(const std::string& path, size_t limit) {
    CPuzzleFile file;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        file.error = "cannot read '" + path + "': " + std::strerror(errno);
        return file;
    }
    if (limit == 0) return file;
    CPuzzleReader reader;
    size_t puzzles = 0;
    size_t counted = 0;  // entries already looked at for puzzles
    std::vector<char> block(64 * 1024);
    bool ended = false;
    while (!ended) {
        in.read(block.data(), std::streamsize(block.size()));
        if (in.bad()) {
            file.error = "cannot read '" + path + "'";
            return file;
        }
        reader.Feed(std::string_view(block.data(), size_t(in.gcount())), file.entries);
        if (reader.Binary()) {
            file.error = path + ":" + std::to_string(reader.LineNumber()) +
                         ": a NUL byte: not a text file (UTF-16?), the rest is not read";
            return file;
        }
        ended = !in;
        if (ended) reader.Finish(file.entries);
        for (; counted < file.entries.size(); ++counted) {
            if (file.entries[counted].parsed.kind != CPuzzleLine::kPuzzle) continue;
            if (++puzzles == limit) {
                file.entries.resize(counted + 1);
                return file;
            }
        }
    }
    return file;
}
