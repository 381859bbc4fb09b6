// The one counter of a candidate grid's solutions: for the rating, which walks only a grid
// with exactly one, for the nested chains, which may never end on a grid with several, and
// for the hints, which check a person's work against the solution.
#include "unit_positions.h"

namespace logic {

namespace {

// Depth-first search for solutions on bit boards, naked and hidden singles placed as it
// goes, a cell with the fewest candidates tried first.
class CSolutionCounter {
  public:
    CSolutionCounter(const CCandidateGrid& grid, std::stop_token stop)
        : m_values(grid.values), m_stop(stop) {
        std::array<Bits, 10> placed{};
        for (int cell = 0; cell < kCellCount; ++cell) {
            if (grid.values[cell] != 0) {
                placed[grid.values[cell]] |= CellBit(cell);
                continue;
            }
            m_open |= CellBit(cell);
            for (unsigned m = grid.masks[cell]; m != 0; m &= m - 1) {
                m_cand[std::countr_zero(m)] |= CellBit(cell);
            }
        }
        for (int d = 1; d <= 9; ++d) {
            ForEachCell(placed[d], [&](int c) { m_cand[d] &= ~kPeerBits[c]; });
            for (int u = 0; u < kUnitCount; ++u) {
                if ((placed[d] & kUnitBits[u]) == 0) m_needed[d] |= 1u << u;
            }
        }
    }

    // Up to two solutions, and the first two found.
    CSolutionCount Count() {
        m_found.count = Search(m_cand, m_open, 2);
        return m_found;
    }

  private:
    static void Assign(std::array<Bits, 10>& cand, Bits& open, int cell, int d) {
        const Bits bit = CellBit(cell);
        for (int e = 1; e <= 9; ++e) cand[e] &= ~bit;
        cand[d] = (cand[d] & ~kPeerBits[cell]) | bit;
        open &= ~bit;
    }

    int Search(std::array<Bits, 10> cand, Bits open, int limit) {
        if (m_stop.stop_requested()) return 0;
        for (bool placed = true; placed;) {
            placed = false;
            Bits any = 0, several = 0;
            for (int d = 1; d <= 9; ++d) {
                several |= any & cand[d] & open;
                any |= cand[d] & open;
            }
            if ((open & ~any) != 0) return 0;
            for (Bits singles = open & ~several; singles != 0; singles &= singles - 1) {
                const int cell = LowestCell(singles);
                int d = 1;
                while (!Has(cand[d], cell)) {
                    if (++d > 9) return 0;
                }
                Assign(cand, open, cell, d);
                placed = true;
            }
            for (int d = 1; d <= 9; ++d) {
                for (unsigned units = m_needed[d]; units != 0; units &= units - 1) {
                    const Bits places = cand[d] & kUnitBits[std::countr_zero(units)];
                    if (places == 0) return 0;
                    if (Single(places) && (places & open) != 0) {
                        Assign(cand, open, LowestCell(places), d);
                        placed = true;
                    }
                }
            }
        }
        if (open == 0) {
            Record(cand);
            return 1;
        }
        int best = -1, bestCount = 10;
        for (Bits b = open; b != 0 && bestCount > 2; b &= b - 1) {
            const int cell = LowestCell(b);
            int n = 0;
            for (int d = 1; d <= 9; ++d) n += Has(cand[d], cell) ? 1 : 0;
            if (n < bestCount) {
                best = cell;
                bestCount = n;
            }
        }
        int found = 0;
        for (int d = 1; d <= 9 && found < limit; ++d) {
            if (!Has(cand[d], best)) continue;
            std::array<Bits, 10> next = cand;
            Bits nextOpen = open;
            Assign(next, nextOpen, best, d);
            found += Search(next, nextOpen, limit - found);
        }
        return found;
    }

    // An empty cell of a solution is the one digit whose candidates still hold it.
    void Record(const std::array<Bits, 10>& cand) {
        if (m_recorded == int(m_found.solutions.size())) return;
        PuzzleGrid& solution = m_found.solutions[m_recorded++];
        solution = m_values;
        for (int d = 1; d <= 9; ++d) {
            ForEachCell(cand[d], [&](int c) {
                if (solution[c] == 0) solution[c] = uint8_t(d);
            });
        }
    }

    PuzzleGrid m_values;  // the grid's placed digits
    std::stop_token m_stop;
    CSolutionCount m_found;
    int m_recorded = 0;
    std::array<Bits, 10> m_cand{};
    Bits m_open = 0;                      // empty cells not yet assigned
    std::array<uint32_t, 10> m_needed{};  // bit u set: unit u has no d placed among the givens
};

}  // namespace

}  // namespace logic

CSolutionCount CountCandidateSolutions(const CCandidateGrid& grid, std::stop_token stop) {
    // A grid of givens alone is the exact solver's, which is far faster on an open grid.
    const std::optional<CCandidateGrid> plain = CCandidateGrid::FromGivens(grid.values);
    if (plain && plain->masks == grid.masks) return CountSolutions(grid.values.data());
    if (logic::IsBroken(grid)) return {};
    return logic::CSolutionCounter(grid, stop).Count();
}
