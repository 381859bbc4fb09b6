// A plain depth-first count: the cell with the fewest candidates first, digits by masks of
// the units. Enough for grids of a pattern's many givens, where it runs a few hundred levels.
#include "solution_counter.h"

#include <bit>

namespace generator {

namespace {

class CCounter {
  public:
    explicit CCounter(const PuzzleGrid& puzzle, int cap) : m_cap(cap) {
        for (int cell = 0; cell < kCellCount; ++cell) {
            if (puzzle[cell] == 0) {
                m_empty[m_emptyCount++] = uint8_t(cell);
            } else {
                Place(cell, puzzle[cell]);
            }
        }
    }

    int Count() {
        Search(0);
        return m_found;
    }

  private:
    unsigned Free(int cell) const {
        const CCellUnits& u = kCellUnits[cell];
        return kAllDigits & ~(m_used[u.row] | m_used[u.column] | m_used[u.box]);
    }
    void Place(int cell, int d) {
        const CCellUnits& u = kCellUnits[cell];
        m_used[u.row] |= 1u << d;
        m_used[u.column] |= 1u << d;
        m_used[u.box] |= 1u << d;
    }
    void Unplace(int cell, int d) {
        const CCellUnits& u = kCellUnits[cell];
        m_used[u.row] &= ~(1u << d);
        m_used[u.column] &= ~(1u << d);
        m_used[u.box] &= ~(1u << d);
    }

    // Cells m_empty[depth..] are still empty.
    void Search(int depth) {
        if (depth == m_emptyCount) {
            ++m_found;
            return;
        }
        int best = depth, fewest = 10;
        unsigned bestFree = 0;
        for (int k = depth; k < m_emptyCount; ++k) {
            const unsigned free = Free(m_empty[k]);
            const int n = std::popcount(free);
            if (n < fewest) {
                fewest = n;
                best = k;
                bestFree = free;
                if (n <= 1) break;
            }
        }
        if (fewest == 0) return;
        std::swap(m_empty[depth], m_empty[best]);
        const int cell = m_empty[depth];
        for (unsigned m = bestFree; m != 0 && m_found < m_cap; m &= m - 1) {
            const int d = std::countr_zero(m);
            Place(cell, d);
            Search(depth + 1);
            Unplace(cell, d);
        }
        std::swap(m_empty[depth], m_empty[best]);
    }

    const int m_cap;
    int m_found = 0;
    std::array<unsigned, kUnitCount> m_used{};  // bit d: digit d placed in the unit
    std::array<uint8_t, kCellCount> m_empty{};
    int m_emptyCount = 0;
};

}  // namespace

int CountSolutionsUpTo(const PuzzleGrid& puzzle, int cap) {
    return CCounter(puzzle, cap).Count();
}

}  // namespace generator
