// What the finders of one grid share: the grid and its unit positions, the path's memo when
// rating, and what a finder builds once for the rows after it.
#pragma once

#include <memory>
#include <optional>
#include <stop_token>

#include "path_memo.h"

namespace logic {

class CStrongLinkSearch;  // strong_links.cpp
struct CChainState;       // nested_chains.cpp
struct CChainMemory;      // nested_chains.cpp

// What the nested chains run on the grids they assume: the techniques up to the XYZ-wing,
// without a memo. The walk over the table hands it down, so the chains need not know the table.
using CEasierSteps = std::optional<CStep> (*)(const CCandidateGrid& grid);

// The nested chains' answers kept from one grid of a path to the next (nested_chains.cpp).
std::shared_ptr<CChainMemory> NewChainMemory();

class CFindContext {
  public:
    CFindContext(const CCandidateGrid& grid, const CUnitPositions& up, CPathMemo* memo,
                 std::stop_token stop, CChainMemory* chainMemory, CEasierSteps easier, bool links)
        : grid(grid),
          up(up),
          memo(memo),
          stop(stop),
          chainMemory(chainMemory),
          easier(easier),
          links(links) {}

    const CCandidateGrid& grid;
    const CUnitPositions& up;
    CPathMemo* const memo;  // along the rating's path, else null
    const std::stop_token stop;
    CChainMemory* const chainMemory;  // the nested chains' answers along the path, or null
    const CEasierSteps easier;
    // Whether the steps found record their chains' links (CStep::links): only where a step is
    // kept to be shown, never on the grids the nested chains assume or for a rating alone.
    const bool links;
    int slot = 0;  // the memo slot of the row whose finder runs (MemoSlot)

    // The cells where digit d is a candidate; made for every digit when first asked.
    const CCells& DigitCells(int d) {
        if (!m_digitCells) m_digitCells = DigitCandidates(up);
        return (*m_digitCells)[d];
    }

    // With a memo, whether the running row found nothing on d's candidates as they are now,
    // and noting that it did; without one, never and nothing.
    bool FoundNothing(int d) { return memo && memo->FoundNothing(slot, d, DigitCells(d)); }
    void NoteNothing(int d) {
        if (memo) memo->NoteNothing(slot, d, DigitCells(d));
    }
    // For a row that looks at every digit: the digits it may skip, as bits; and, once it has
    // found nothing, all the others noted.
    unsigned Skipped() {
        unsigned skipped = 0;
        for (int d = 1; memo && d <= 9; ++d) {
            if (FoundNothing(d)) skipped |= 1u << d;
        }
        return skipped;
    }
    void NoteNothingBut(unsigned skipped) {
        for (int d = 1; memo && d <= 9; ++d) {
            if ((skipped >> d & 1) == 0) NoteNothing(d);
        }
    }

    // Made by the first finder that needs them, for the rows after it; each with the deleter of
    // the file that knows its type.
    template <class T>
    using COwned = std::unique_ptr<T, void (*)(T*)>;
    COwned<CStrongLinkSearch> strongLinks{nullptr, nullptr};
    COwned<CChainState> chains{nullptr, nullptr};

  private:
    std::optional<std::array<CCells, 10>> m_digitCells;
};

}  // namespace logic
