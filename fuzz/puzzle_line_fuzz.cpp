// Fuzz target: the reading of puzzle text, from a single line to a stream fed in pieces and
// a whole clipboard, and the answers velmo-solve writes for what it reads.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "answers.h"
#include "puzzle_line.h"
#include "puzzle_reader.h"
#include "puzzle_text.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

void CheckLine(std::string_view line) {
    const CPuzzleLine parsed = ParsePuzzleLine(line);
    Check((parsed.kind == CPuzzleLine::kInvalid) == !parsed.error.empty());
    if (parsed.kind != CPuzzleLine::kPuzzle) return;
    // The cells written back in the file format parse to the same grid.
    std::string again;
    for (uint8_t value : parsed.grid) {
        Check(value <= 9);
        again += value ? char('0' + value) : '.';
    }
    const CPuzzleLine reparsed = ParsePuzzleLine(again + parsed.comment);
    Check(reparsed.kind == CPuzzleLine::kPuzzle && reparsed.grid == parsed.grid);
}

std::vector<CPuzzleEntry> Read(std::string_view text, size_t piece, bool& binary) {
    CPuzzleReader reader;
    std::vector<CPuzzleEntry> entries;
    for (size_t at = 0; at < text.size(); at += piece) reader.Feed(text.substr(at, piece), entries);
    reader.Finish(entries);
    binary = reader.Binary();
    return entries;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CheckLine(text);

    // However the stream is cut, the same entries come out.
    bool binary = false, binaryInPieces = false;
    const std::vector<CPuzzleEntry> whole = Read(text, size + 1, binary);
    const std::vector<CPuzzleEntry> pieces = Read(text, 1 + size % 7, binaryInPieces);
    Check(binary == binaryInPieces && whole.size() == pieces.size());
    uint64_t line = 0;
    for (size_t i = 0; i < whole.size(); ++i) {
        const CPuzzleLine& a = whole[i].parsed;
        const CPuzzleLine& b = pieces[i].parsed;
        Check(a.kind == b.kind && a.grid == b.grid && a.error == b.error && a.comment == b.comment);
        Check(whole[i].line == pieces[i].line && whole[i].line >= line);
        Check(a.kind == CPuzzleLine::kPuzzle || a.kind == CPuzzleLine::kInvalid);
        line = whole[i].line;
    }

    // The clipboard's reader finds a puzzle exactly when the stream holds that one alone.
    if (const std::optional<CPuzzleText> puzzle = ReadPuzzleText(text)) {
        Check(!binary && whole.size() == 1 && whole[0].parsed.grid == puzzle->values);
    } else {
        Check(size > kMaxPuzzleTextLength || binary || whole.size() != 1 ||
              whole[0].parsed.kind != CPuzzleLine::kPuzzle);
    }

    // Every invalid entry gets an answer in every format, one line, and a message. Solving
    // the puzzles is solve_fuzz's work.
    for (const COutputFormat format : {COutputFormat::kLine, COutputFormat::kTsv}) {
        CAnswerOptions options;
        options.format = format;
        options.count = size % 2 == 0;
        CPuzzleAnswerer answerer(options);
        std::string out, err;
        CTally tally;
        for (const CPuzzleEntry& entry : whole) {
            if (entry.parsed.kind != CPuzzleLine::kInvalid) continue;
            const size_t before = out.size();
            const size_t errBefore = err.size();
            answerer.Answer(entry, "fuzz", out, err, tally);
            Check(out.size() > before && out.back() == '\n' &&
                  out.find('\n', before) == out.size() - 1);
            Check(err.size() > errBefore && err.back() == '\n');
        }
    }
    return 0;
}
