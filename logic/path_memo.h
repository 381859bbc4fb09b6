// What the rating remembers from one step of its path to the next, so that a technique does
// not look again where nothing it reads has changed since it last found nothing.
//
// Each row of the technique table that keeps a memo has a slot of its kind (MemoSlot): per
// digit, the candidates of each digit on which it last found nothing; per unit, the positions
// of the digits in each unit; per grid, the last grid on which it found nothing, so that it
// looks only at what changed since. Such a technique reads nothing else, so it finds nothing
// there again. That holds only along one path, each grid with at most the candidates of the
// one before: one memo serves one path.
#pragma once

#include <array>
#include <optional>

#include "technique_table.h"
#include "unit_positions.h"

namespace logic {

class CPathMemo {
  public:
    bool FoundNothing(int slot, int d, const CCells& candidates) const {
        const CCells& known = m_nothing[slot][d];
        return (m_known[slot] >> d & 1) != 0 && known.lo == candidates.lo &&
               known.hi == candidates.hi;
    }
    void NoteNothing(int slot, int d, const CCells& candidates) {
        m_nothing[slot][d] = candidates;
        m_known[slot] |= uint16_t(1u << d);
    }

    bool UnitFoundNothing(int slot, int u, const std::array<uint16_t, 10>& pos) const {
        return (m_unitKnown[slot] >> u & 1) != 0 && m_unitNothing[slot][u] == pos;
    }
    void NoteUnitNothing(int slot, int u, const std::array<uint16_t, 10>& pos) {
        m_unitNothing[slot][u] = pos;
        m_unitKnown[slot] |= 1u << u;
    }

    bool GridFoundNothing(int slot) const { return m_gridNothing[slot].has_value(); }
    void NoteGridNothing(int slot, const CCandidateGrid& grid) { m_gridNothing[slot] = grid; }
    // The cells whose candidates differ from those of the grid noted in `slot`.
    CCells ChangedSince(int slot, const CCandidateGrid& grid) const {
        CCells changed;
        if (!m_gridNothing[slot]) return changed;
        ForEachChangedCell(*m_gridNothing[slot], grid, [&](int cell) {
            changed.Set(cell);
            return true;
        });
        return changed;
    }

    // Per pair of digits, when the unique loops of the pair removed nothing: the cells holding
    // both, those of them that can be in a loop (`kept`), and the cells of the units the
    // loops' types 3 and 4 read (`watched`), with the candidates of these two. With fewer
    // cells holding both the walk finds fewer loops, through cells that can be in a loop, and
    // type 2 reads cells that along the path only lose candidates: so the loops remove nothing
    // while the cells holding both are among those, and those that remain of the kept and
    // the watched ones are as they were.
    bool LoopsFoundNothing(int d1, int d2, const CCells& cells, const CCandidateGrid& grid) const {
        const CPairCells& known = m_loopsNothing[9 * d1 + d2];
        if (!known.known || !cells.Within(known.cells)) return false;
        bool same = true;
        ((known.kept & cells) | known.watched).ForEach([&](int cell) {
            same &= known.masks[cell] == grid.masks[cell];
        });
        return same;
    }
    void NoteLoopsNothing(int d1, int d2, const CCells& cells, const CCells& kept,
                          const CCells& watched, const CCandidateGrid& grid) {
        CPairCells& known = m_loopsNothing[9 * d1 + d2];
        known.known = true;
        known.cells = cells;
        known.kept = kept;
        known.watched = watched;
        (kept | watched).ForEach([&](int cell) { known.masks[cell] = grid.masks[cell]; });
    }

    // The unit positions of `grid`: those of the grid asked for before, brought up to date,
    // as a step changes a few cells.
    const CUnitPositions& PositionsOf(const CCandidateGrid& grid) {
        if (!m_positions || !m_positions->Update(m_positionsGrid, grid)) m_positions.emplace(grid);
        m_positionsGrid = grid;
        return *m_positions;
    }

  private:
    static constexpr int kDigitSlots = MemoSlotCount(CMemo::kByDigit);
    static constexpr int kUnitSlots = MemoSlotCount(CMemo::kByUnit);
    static constexpr int kGridSlots = MemoSlotCount(CMemo::kByGrid);

    struct CPairCells {
        bool known = false;
        CCells cells, kept, watched;
        std::array<uint16_t, kCellCount> masks;
    };

    // The masks and positions are read only once their flags say they were noted, so they
    // need no clearing for each puzzle.
    std::array<std::array<CCells, 10>, kDigitSlots> m_nothing;
    std::array<CPairCells, 90> m_loopsNothing;
    std::array<uint16_t, kDigitSlots> m_known{};
    std::array<std::array<std::array<uint16_t, 10>, kUnitCount>, kUnitSlots> m_unitNothing;
    std::array<uint32_t, kUnitSlots> m_unitKnown{};
    std::array<std::optional<CCandidateGrid>, kGridSlots> m_gridNothing;
    std::optional<CUnitPositions> m_positions;
    CCandidateGrid m_positionsGrid;  // the grid m_positions is of
};

}  // namespace logic
