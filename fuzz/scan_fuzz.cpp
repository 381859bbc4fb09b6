// Fuzz target: the picture reader on any bytes. It must answer, never crash or read out of
// bounds, and what it answers must hold together: a puzzle exactly when a grid was found,
// probabilities that are probabilities, and a reading called read or corrected only when it
// has exactly one solution, with at most three changes.
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "grid_solver.h"
#include "scan.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const CScanResult result = ScanPicture({data, size});
    const bool readable =
        result.status != CScanStatus::kNoPuzzle && result.status != CScanStatus::kBadPicture;
    Check(readable || !result.message.empty());
    if (!readable) return 0;
    for (int cell = 0; cell < kCellCount; ++cell) {
        Check(result.puzzle[cell] <= 9);
        Check(result.certainty[cell] >= 0 && result.certainty[cell] <= 1.0001f);
        float sum = 0;
        for (float p : result.probabilities[cell]) sum += p;
        Check(std::abs(sum - 1) < 1e-3f);
    }
    Check(result.changes.size() <= 3);
    const bool solved =
        result.status == CScanStatus::kRead || result.status == CScanStatus::kCorrected;
    Check(solved ==
          (IsConsistent(result.puzzle.data()) && CountSolutions(result.puzzle.data()).count == 1));
    Check((result.status == CScanStatus::kCorrected) == !result.changes.empty());
    return 0;
}
