// Following one assumption to everything it implies: CPropagator with the cause of each node,
// for counting a conclusion's chains, and CFastPropagator on bit boards without causes, for
// finding which assumptions conclude anything at all.
#pragma once

#include "chain_nodes.h"

namespace logic {

// Each cell's units, box, row and column, with its place in each.
inline constexpr std::array<std::array<std::pair<uint8_t, uint8_t>, 3>, kCellCount> kCellPlaces =
    [] {
        std::array<std::array<std::pair<uint8_t, uint8_t>, 3>, kCellCount> table{};
        for (int cell = 0; cell < kCellCount; ++cell) {
            const CCellUnits& units = kCellUnits[cell];
            const int r = cell / 9, c = cell % 9;
            table[cell] = {{{units.box, uint8_t(3 * (r % 3) + c % 3)},
                            {units.row, uint8_t(c)},
                            {units.column, uint8_t(r)}}};
        }
        return table;
    }();

class CPropagator {
  public:
    CPropagator(const CContext& ctx, CMode mode, int level, CLinks links = kAllLinks)
        : m_ctx(ctx), m_mode(mode), m_level(level), m_links(links), m_startPos(ctx.up.pos) {
        for (int cell = 0; cell < kCellCount; ++cell) {
            for (unsigned m = ctx.grid.masks[cell]; m != 0; m &= m - 1) {
                m_startBoards[std::countr_zero(m)] |= CellBit(cell);
            }
        }
        for (int u = 0; u < kUnitCount; ++u) {
            for (unsigned placed = ctx.up.placed[u] & 0x3fe; placed != 0; placed &= placed - 1) {
                m_startPos[u][std::countr_zero(placed)] = kPlacedPos;
            }
        }
    }

    // Follows `start` to its end, or to a contradiction.
    void Run(int start, CImplications& out) {
        Start(start, out);
        Continue();
    }

    // Sets `start` alone; Continue follows it.
    void Start(int start, CImplications& out) {
        m_out = &out;
        // Only `set` says which causes are valid, so the rest need no clearing.
        out.set.reset();
        out.contradiction = false;
        out.conflict.clear();
        out.nestedWeight = 0;
        m_masks = m_ctx.grid.masks;
        m_boards = m_startBoards;
        m_pos = m_startPos;
        // Room for 256 nodes: grown from nothing, a queue is reallocated some eight times;
        // room for every node (2.9 KB a queue, many held at once) costs page faults instead.
        m_queue.clear();
        m_queue.reserve(256);
        m_head = 0;
        m_start = start;
        m_depth = 0;
        m_depthEnd = 1;
        m_ended = false;
        Set(start, CCause::kStart, 0);
    }

    // Follows on from where it stopped, and stops again once `target` is set, or before it
    // expands a node `depth` links or more from the start; true when it has reached its end
    // or a contradiction. The causes of a node are known once it is set, so a chain counted
    // then counts as it would at the end.
    bool Continue(int target = -1, int depth = INT_MAX) {
        while (!m_ended) {
            while (m_head < m_queue.size() && !m_out->contradiction) {
                if (target >= 0 && Known(target)) return false;
                if (m_head == m_depthEnd) {
                    ++m_depth;
                    m_depthEnd = m_queue.size();
                }
                if (m_depth >= depth) return false;
                Expand(m_queue[m_head++]);
            }
            if (target >= 0 && Known(target)) return false;
            if (m_out->contradiction || m_level == 0 || !Nest()) m_ended = true;
        }
        return true;
    }

  private:
    bool Known(int node) const { return m_out->set[node]; }

    // Most nodes a node leads to are set already: that test alone is inlined where Expand
    // calls it, saving a call each.
    void Set(int node, CCause cause, int from) {
        if (!m_out->contradiction && !m_out->set[node]) Reach(node, cause, from);
    }

    [[gnu::noinline]] void Reach(int node, CCause cause, int from) {
        // Static chains follow both sides of a candidate as separate nodes; only reaching
        // the assumption's own opposite ends them. Dynamic ones read both sides as a
        // contradiction.
        if (m_mode == CMode::kStatic ? node == (m_start ^ 1) : bool(m_out->set[node ^ 1])) {
            m_out->set[node] = true;
            m_out->cause[node] = cause;
            m_out->from[node] = uint16_t(from);
            m_out->contradiction = true;
            m_out->conflict = {node, node ^ 1};
            return;
        }
        m_out->set[node] = true;
        m_out->cause[node] = cause;
        m_out->from[node] = uint16_t(from);
        m_queue.push_back(uint16_t(node));
    }

    void Expand(int node) {
        const int cell = CellOf(node), d = DigitOf(node);
        if (IsOn(node)) {
            if (m_mode != CMode::kNishio && (m_links & kYLinks) != 0) {
                for (unsigned m = m_masks[cell] & ~(1u << d); m != 0; m &= m - 1) {
                    Set(NodeOf(cell, std::countr_zero(m), false), CCause::kParent, node);
                }
            }
            // In ascending order, as kCellPeers has them, but by board rather than peer by peer.
            ForEachCell(kPeerBits[cell] & m_boards[d],
                        [&](int c) { Set(NodeOf(c, d, false), CCause::kParent, node); });
            return;
        }
        if (m_mode == CMode::kStatic) {
            const unsigned mask = m_ctx.grid.masks[cell];
            if (Count(mask) == 2 && (m_links & kYLinks) != 0) {
                Set(NodeOf(cell, std::countr_zero(mask & ~(1u << d)), true), CCause::kParent, node);
            }
            const CCellUnits& units = kCellUnits[cell];
            for (int u : {int(units.box), int(units.row), int(units.column)}) {
                const unsigned pos = m_ctx.up.pos[u][d];
                if (Count(pos) != 2 || (m_links & kXLinks) == 0) continue;
                for (unsigned p = pos; p != 0; p &= p - 1) {
                    const int other = kUnitCells[u][std::countr_zero(p)];
                    if (other != cell) Set(NodeOf(other, d, true), CCause::kParent, node);
                }
            }
            return;
        }
        m_masks[cell] &= uint16_t(~(1u << d));
        m_boards[d] &= ~CellBit(cell);
        if (m_mode != CMode::kNishio) {
            if (m_masks[cell] == 0) {
                Contradict(CCause::kCell, cell, cell, 0);
                return;
            }
            if (Count(m_masks[cell]) == 1) {
                Set(NodeOf(cell, std::countr_zero(m_masks[cell]), true), CCause::kCell, cell);
            }
        }
        // The places left in each unit are kept as masks, not counted over the unit's cells;
        // the cell's places come from a table, and a unit where d is placed is marked in its
        // mask itself (kPlacedPos), so it needs no test of its own.
        for (const auto& [u, index] : kCellPlaces[cell]) {
            const unsigned left = m_pos[u][d] &= uint16_t(~(1u << index));
            if (left == 0) {
                Contradict(CCause::kUnit, u, -1, d);
                return;
            }
            if ((left & (left - 1)) == 0) {
                Set(NodeOf(kUnitCells[u][std::countr_zero(left)], d, true), CCause::kUnit, u);
            }
        }
    }

    // A cell left without candidates, or a unit without a place for d: the proof is every
    // candidate of it being off.
    void Contradict(CCause cause, int where, int cell, int d) {
        m_out->contradiction = true;
        m_out->conflict.clear();
        if (cause == CCause::kCell) {
            for (unsigned m = m_ctx.grid.masks[cell]; m != 0; m &= m - 1) {
                m_out->conflict.push_back(NodeOf(cell, std::countr_zero(m), false));
            }
        } else {
            for (unsigned p = m_ctx.up.pos[where][d]; p != 0; p &= p - 1) {
                m_out->conflict.push_back(NodeOf(kUnitCells[where][std::countr_zero(p)], d, false));
            }
        }
    }

    // Runs the easier techniques on the grid as assumed; applies what they find.
    bool Nest();

    // Never empty and never one place, so a unit where d is placed neither contradicts nor
    // places it.
    static constexpr uint16_t kPlacedPos = 0xc000;

    const CContext& m_ctx;
    CMode m_mode;
    int m_level;
    CLinks m_links;
    int m_start = 0;
    CImplications* m_out = nullptr;
    std::array<uint16_t, kCellCount> m_masks{};
    std::array<Bits, 10> m_startBoards{}, m_boards{};  // the cells of each digit, as m_masks'
    // As CUnitPositions, m_masks'; where d is placed in u, kPlacedPos.
    std::array<std::array<uint16_t, 10>, kUnitCount> m_startPos, m_pos{};
    std::vector<uint16_t> m_queue;
    size_t m_head = 0;
    // Breadth first, so the nodes from m_depthEnd on are one link further than m_head's,
    // m_depth links from the start (without nesting, whose nodes have no ancestors).
    size_t m_depthEnd = 0;
    int m_depth = 0;
    bool m_ended = false;
};

// The dynamic propagation on bit boards, without causes: the same closure as CPropagator
// in its dynamic and nested modes, found some ten times faster. The rungs run it for every
// assumption, and follow again with CPropagator only the few a conclusion rests on.
class CFastPropagator {
  public:
    CFastPropagator(const CContext& ctx, int level) : m_ctx(ctx), m_level(level) {
        for (int cell = 0; cell < kCellCount; ++cell) {
            if (ctx.grid.values[cell] != 0) continue;
            m_empty |= CellBit(cell);
            for (unsigned m = ctx.grid.masks[cell]; m != 0; m &= m - 1) {
                m_start[std::countr_zero(m)] |= CellBit(cell);
            }
        }
        for (int d = 1; d <= 9; ++d) {
            bool quiet = true;
            for (int u = 0; u < kUnitCount; ++u) {
                if ((ctx.up.placed[u] >> d & 1) != 0) continue;
                m_open[d] |= 1u << u;
                const Bits places = m_start[d] & kUnitBits[u];
                quiet = quiet && places != 0 && !Single(places);
            }
            m_quietStart[d] = quiet ? m_start[d] : ~Bits(0);
        }
    }

    // Stops, with `out.cut`, where it would nest once more with the nested steps' chain
    // lengths already above `limit`.
    void Run(int node, CBoards& out, int limit = INT_MAX) {
        m_cand = m_start;
        m_assigned = 0;
        m_done.fill(0);
        m_quiet = m_quietStart;
        m_contradiction = false;
        m_weight = 0;
        out.cut = false;
        const int cell = CellOf(node), d = DigitOf(node);
        if (IsOn(node)) {
            Assign(cell, d);
        } else {
            m_cand[d] &= ~CellBit(cell);
        }
        while (!m_contradiction) {
            if (Singles()) continue;
            if (m_contradiction || m_level == 0) break;
            if (m_weight > limit) {
                out.cut = true;
                break;
            }
            if (!Nest()) break;
        }
        out.weight = m_weight;
        out.contradiction = m_contradiction;
        for (int e = 1; e <= 9; ++e) {
            out.on[e] = m_cand[e] & m_assigned;
            out.off[e] = m_start[e] & ~m_cand[e];
        }
    }

  private:
    void Assign(int cell, int d) {
        const Bits bit = CellBit(cell);
        for (int e = 1; e <= 9; ++e) m_cand[e] &= ~bit;
        m_cand[d] = (m_cand[d] & ~kPeerBits[cell]) | bit;
        m_assigned |= bit;
        m_done[d] |= kCellUnitSet[cell];
    }

    // Places every naked and hidden single once; whether any was placed.
    bool Singles() {
        Bits any = 0, several = 0;
        for (int d = 1; d <= 9; ++d) {
            several |= any & m_cand[d];
            any |= m_cand[d];
        }
        if ((m_empty & ~any) != 0) return m_contradiction = true, false;
        bool placed = false;
        for (Bits singles = m_empty & ~m_assigned & any & ~several; singles != 0;
             singles &= singles - 1) {
            const int cell = LowestCell(singles);
            int d = 1;
            while (!Has(m_cand[d], cell)) {
                if (++d > 9) return m_contradiction = true, false;
            }
            Assign(cell, d);
            placed = true;
        }
        // Hidden singles, passing over what cannot hold a new one: a unit where the digit is
        // assigned keeps that one place; a digit whose candidates are as they were when its
        // units placed nothing places nothing again (its units only get fewer, its cells
        // assigned more); and of another digit, only the units that lost a place since then.
        // The grid's own candidates are such a time where each of d's units has two places or
        // more (m_quietStart).
        for (int d = 1; d <= 9; ++d) {
            if (m_cand[d] == m_quiet[d]) continue;
            uint32_t changed = ~0u;
            if (m_quiet[d] != ~Bits(0)) {
                changed = 0;
                ForEachCell(m_quiet[d] & ~m_cand[d], [&](int c) { changed |= kCellUnitSet[c]; });
            }
            bool placedHere = false;
            for (unsigned open = m_open[d] & ~m_done[d] & changed; open != 0; open &= open - 1) {
                const Bits places = m_cand[d] & kUnitBits[std::countr_zero(open)];
                if (places == 0) return m_contradiction = true, false;
                if (Single(places) && (places & m_assigned) == 0) {
                    Assign(LowestCell(places), d);
                    placedHere = true;
                }
            }
            if (placedHere) {
                placed = true;
            } else {
                m_quiet[d] = m_cand[d];
            }
        }
        return placed;
    }

    bool Nest();

    const CContext& m_ctx;
    int m_level;
    std::array<Bits, 10> m_start{}, m_cand{};
    Bits m_empty = 0, m_assigned = 0;
    std::array<uint32_t, 10> m_open{};  // bit u: the grid has not placed d in unit u
    std::array<uint32_t, 10> m_done{};  // bit u: this assumption has assigned d in unit u
    std::array<Bits, 10> m_quiet{};     // the candidates on which d's units last placed nothing
    // The grid's candidates of d where its units have two places or more, else all ones:
    // none looked at yet.
    std::array<Bits, 10> m_quietStart{};
    bool m_contradiction = false;
    int m_weight = 0;  // the chain lengths of the nested steps used, as CImplications has them
};

}  // namespace logic
