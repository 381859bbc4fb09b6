// Splitting a stream of puzzle text into puzzles, in bounded memory: line ends of any kind,
// a byte-order mark, 9-line grids, lines too long to be puzzles, and binary data.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "puzzle_line.h"

// One puzzle of the input, or what stands where one was expected and is not.
struct CPuzzleEntry {
    CPuzzleLine parsed;     // kind kPuzzle or kInvalid
    uint64_t line = 0;      // where it starts, counted from 1
    bool fromGrid = false;  // read as 9 lines of 9 cells
};

// The longest line kept. A longer line cannot be a puzzle: it is answered as invalid as soon
// as it passes this length, and its rest is skipped without being kept, so that a file of
// one endless line neither fills memory nor holds up the answer.
inline constexpr size_t kMaxLineLength = 16384;

class CPuzzleReader {
  public:
    // Reads `block`, the next bytes of the input, and appends to `entries` every puzzle and
    // invalid entry that it completes. Lines end with "\n", "\r\n" or "\r"; a UTF-8
    // byte-order mark at the very start is dropped. Does nothing once Binary() is true.
    void Feed(std::string_view block, std::vector<CPuzzleEntry>& entries);

    // The end of the input: appends the last line's entry, if it had no line end, and an
    // entry for a grid that is still missing rows.
    void Finish(std::vector<CPuzzleEntry>& entries);

    // True once a NUL byte was met: the input is not text (UTF-16, say). The line it was met
    // on gives no entry, and nothing after it is read.
    bool Binary() const { return m_binary; }
    uint64_t LineNumber() const { return m_lineNumber; }  // the line being read

  private:
    void EndLine(std::vector<CPuzzleEntry>& entries);
    void Append(std::string_view bytes, std::vector<CPuzzleEntry>& entries);
    void AbandonGrid(std::vector<CPuzzleEntry>& entries);
    void Add(std::vector<CPuzzleEntry>& entries, CPuzzleLine parsed, uint64_t line);

    std::string m_line;        // the current line so far, at most kMaxLineLength bytes
    bool m_overlong = false;   // the current line passed kMaxLineLength: answered, rest skipped
    bool m_afterCr = false;    // the last byte was '\r': a '\n' now ends no further line
    size_t m_markMatched = 0;  // bytes of the byte-order mark matched at the start
    bool m_started = false;    // past the place where a byte-order mark may stand
    bool m_binary = false;
    uint64_t m_lineNumber = 1;

    CPuzzleLine m_grid;  // the grid being read, its rows so far in the first cells
    int m_gridRows = 0;
    uint64_t m_gridLine = 0;  // the line of its first row
};

// A whole file of puzzles, read by CPuzzleReader: what tests, benchmarks and tools load.
struct CPuzzleFile {
    std::vector<CPuzzleEntry> entries;  // its puzzles and invalid entries, in file order
    std::string error;                  // why it could not be read, or not in whole; else empty

    // The grids of its puzzles (pencil-mark puzzles included, as their single candidates).
    std::vector<PuzzleGrid> Grids() const;
};

// Reads the file at `path`, stopping after `limit` puzzles. `error` names the file and says
// why when it cannot be opened or read, or is not text; the entries up to there are kept.
CPuzzleFile LoadPuzzleFile(const std::string& path, size_t limit = SIZE_MAX);
