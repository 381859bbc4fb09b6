// Mending a reading with the solver: the changes are tried as sets, cheapest first, where a
// set's cost is how much less probable it makes the reading; the classifier's second choices
// are few, so even three changes leave at most a few thousand grids to count.
#include "reading_check.h"

#include <algorithm>
#include <cmath>

#include "grid_solver.h"
#include "stable_sort.h"

namespace {

// Of the second choices only the likeliest are tried, keeping the sets of three to about a
// thousand.
constexpr size_t kMaxAlternatives = 20;

struct CAlternative {
    uint8_t cell, value;
    float cost;  // log(probability read) - log(probability of `value`)
};

enum class CVerdict { kOne, kConflict, kNone, kSeveral };

CVerdict Judge(const PuzzleGrid& grid) {
    if (!IsConsistent(grid.data())) return CVerdict::kConflict;
    const int count = CountSolutions(grid.data()).count;
    return count == 1 ? CVerdict::kOne : count == 0 ? CVerdict::kNone : CVerdict::kSeveral;
}

std::string CellName(int cell) {
    return "r" + std::to_string(cell / 9 + 1) + "c" + std::to_string(cell % 9 + 1);
}

std::string DescribeConflict(const PuzzleGrid& grid) {
    static const char* const kUnitKinds[] = {"row", "column", "box"};
    for (int unit = 0; unit < kUnitCount; ++unit) {
        for (int a = 0; a < 9; ++a) {
            for (int b = a + 1; b < 9; ++b) {
                const int x = kUnitCells[unit][a], y = kUnitCells[unit][b];
                if (grid[x] != 0 && grid[x] == grid[y]) {
                    return "two " + std::to_string(grid[x]) + "s in " + kUnitKinds[unit / 9] + " " +
                           std::to_string(unit % 9 + 1) + " (" + CellName(x) + " and " +
                           CellName(y) + ")";
                }
            }
        }
    }
    return "the givens as read conflict";
}

}  // namespace

CReadingCheck CheckReading(const std::array<CellProbabilities, kCellCount>& probabilities) {
    CReadingCheck check;
    for (int cell = 0; cell < kCellCount; ++cell) {
        const CellProbabilities& p = probabilities[cell];
        check.puzzle[cell] = uint8_t(std::max_element(p.begin(), p.end()) - p.begin());
    }
    const CVerdict asRead = Judge(check.puzzle);
    if (asRead == CVerdict::kOne) return check;

    std::vector<CAlternative> alternatives;
    for (int cell = 0; cell < kCellCount; ++cell) {
        const CellProbabilities& p = probabilities[cell];
        const float read = p[check.puzzle[cell]];
        for (int value = 0; value < kCellValues; ++value) {
            if (value == check.puzzle[cell] || !(p[value] >= kMinChangeProbability)) continue;
            alternatives.push_back(
                {uint8_t(cell), uint8_t(value), std::log(read) - std::log(p[value])});
        }
    }
    std::sort(alternatives.begin(), alternatives.end(),
              [](const CAlternative& a, const CAlternative& b) { return a.cost < b.cost; });
    if (alternatives.size() > kMaxAlternatives) alternatives.resize(kMaxAlternatives);

    // Every set of distinct cells up to kMaxChangedCells, fewest changes first, then cheapest.
    std::vector<std::vector<size_t>> sets;
    const size_t n = alternatives.size();
    for (int size = 1; size <= kMaxChangedCells; ++size) {
        std::vector<std::vector<size_t>> ofSize;
        std::vector<size_t> chosen;
        auto extend = [&](auto&& self, size_t from) -> void {
            if (int(chosen.size()) == size) {
                ofSize.push_back(chosen);
                return;
            }
            for (size_t i = from; i < n; ++i) {
                const bool sameCell = std::any_of(chosen.begin(), chosen.end(), [&](size_t k) {
                    return alternatives[k].cell == alternatives[i].cell;
                });
                if (sameCell) continue;
                chosen.push_back(i);
                self(self, i + 1);
                chosen.pop_back();
            }
        };
        extend(extend, 0);
        auto cost = [&](const std::vector<size_t>& set) {
            float sum = 0;
            for (size_t k : set) sum += alternatives[k].cost;
            return sum;
        };
        StableSort(ofSize, [&](const auto& a, const auto& b) { return cost(a) < cost(b); });
        for (const std::vector<size_t>& set : ofSize) {
            PuzzleGrid trial = check.puzzle;
            for (size_t k : set) trial[alternatives[k].cell] = alternatives[k].value;
            if (Judge(trial) != CVerdict::kOne) continue;
            for (size_t k : set) {
                const CAlternative& a = alternatives[k];
                check.changes.push_back({a.cell, check.puzzle[a.cell], a.value});
            }
            std::sort(check.changes.begin(), check.changes.end(),
                      [](const CCellChange& a, const CCellChange& b) { return a.cell < b.cell; });
            check.puzzle = trial;
            check.status = CScanStatus::kCorrected;
            return check;
        }
    }

    switch (asRead) {
        case CVerdict::kConflict:
            check.status = CScanStatus::kConflict;
            check.message = DescribeConflict(check.puzzle);
            break;
        case CVerdict::kNone:
            check.status = CScanStatus::kNoSolution;
            check.message = "the givens as read have no solution";
            break;
        default:
            check.status = CScanStatus::kSeveralSolutions;
            check.message = "the givens as read have more than one solution";
            break;
    }
    return check;
}
