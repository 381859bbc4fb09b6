// Fuzz target: the batch solver's line parser on arbitrary lines.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "puzzle_line.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string line(reinterpret_cast<const char*>(data), size);
    const CPuzzleLine parsed = ParsePuzzleLine(line);
    switch (parsed.kind) {
        case CPuzzleLine::kSkip:
        case CPuzzleLine::kPuzzle:
            if (!parsed.error.empty()) std::abort();
            break;
        case CPuzzleLine::kInvalid:
            if (parsed.error.empty()) std::abort();
            break;
    }
    if (parsed.kind == CPuzzleLine::kPuzzle) {
        // The cells written back in the file format parse to the same grid.
        std::string again;
        for (uint8_t value : parsed.grid) {
            if (value > 9) std::abort();
            again += value ? char('0' + value) : '.';
        }
        const CPuzzleLine reparsed = ParsePuzzleLine(again);
        if (reparsed.kind != CPuzzleLine::kPuzzle || reparsed.grid != parsed.grid) std::abort();
    }
    return 0;
}
