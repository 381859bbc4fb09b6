// Where a dynamic propagation stalls, it nests: the easier techniques run on the grid as
// assumed, through the hook of its context, and what they find is followed in turn.
#include "propagation.h"

namespace logic {

bool CPropagator::Nest() {
    // The grid as assumed: every node on is a placed digit.
    CCandidateGrid assumed = m_ctx.grid;
    for (int cell = 0; cell < kCellCount; ++cell) {
        if (assumed.values[cell] != 0) continue;
        assumed.masks[cell] = m_masks[cell];
        for (unsigned m = m_masks[cell]; m != 0; m &= m - 1) {
            if (Known(NodeOf(cell, std::countr_zero(m), true))) {
                assumed.values[cell] = uint8_t(std::countr_zero(m));
                assumed.masks[cell] = 0;
                break;
            }
        }
    }
    const CNestedResult& nested = m_ctx.nest(m_ctx, assumed, m_level);
    if (!nested) return false;
    m_out->nestedWeight += nested->second;
    const size_t before = m_queue.size();
    for (const CCandidate& p : nested->first.placements) {
        Set(NodeOf(p.cell, p.digit, true), CCause::kNested, 0);
    }
    for (const CCandidate& e : nested->first.eliminations) {
        Set(NodeOf(e.cell, e.digit, false), CCause::kNested, 0);
    }
    return m_queue.size() > before || m_out->contradiction;
}

bool CFastPropagator::Nest() {
    CCandidateGrid assumed = m_ctx.grid;
    for (int cell = 0; cell < kCellCount; ++cell) {
        if (assumed.values[cell] != 0) continue;
        unsigned mask = 0;
        for (int d = 1; d <= 9; ++d) mask |= Has(m_cand[d], cell) ? 1u << d : 0;
        if (Has(m_assigned, cell)) {
            assumed.values[cell] = uint8_t(std::countr_zero(mask));
            assumed.masks[cell] = 0;
        } else {
            assumed.masks[cell] = uint16_t(mask);
        }
    }
    const CNestedResult& nested = m_ctx.nest(m_ctx, assumed, m_level);
    if (!nested) return false;
    m_weight += nested->second;
    for (const CCandidate& p : nested->first.placements) {
        if (!Has(m_cand[p.digit], p.cell)) return m_contradiction = true;
        Assign(p.cell, p.digit);
    }
    for (const CCandidate& e : nested->first.eliminations) m_cand[e.digit] &= ~CellBit(e.cell);
    return true;
}

}  // namespace logic
