// The closures' tables, made by Tarjan's search for strongly connected components, whose order
// finishes a component after every component it reaches, so that each row is the OR of rows
// already complete.
#include "static_closure.h"

namespace logic {

CStaticClosure::CStaticClosure(const CContext& ctx, const std::vector<int>& cands, CLinks links)
    : m_cands(cands), m_masks(ctx.grid.masks), m_y((links & kYLinks) != 0) {
    const bool x = (links & kXLinks) != 0;
    const int count = int(cands.size()), n = 2 * count;
    for (int i = 0; i < count; ++i) {
        m_index[cands[i]] = int16_t(i);
        m_boards[cands[i] % 9 + 1] |= CellBit(cands[i] / 9);
    }
    m_words = (n + 63) / 64;
    m_comp.assign(n, kSink);
    // The nodes on each candidate off leads to; those with none stay sinks.
    std::vector<int> firstOn(count + 1), ons;
    ons.reserve(size_t(count) * 2);
    std::array<Bits, 10> strongBoards{};
    int strong = 0;
    for (int i = 0; i < count; ++i) {
        firstOn[i] = int(ons.size());
        const int cell = cands[i] / 9, d = cands[i] % 9 + 1;
        const unsigned mask = ctx.grid.masks[cell];
        if (m_y && Count(mask) == 2) {
            ons.push_back(m_index[9 * cell + std::countr_zero(mask & ~(1u << d)) - 1]);
        }
        const CCellUnits& units = kCellUnits[cell];
        for (int u : {int(units.box), int(units.row), int(units.column)}) {
            const unsigned pos = ctx.up.pos[u][d];
            if (!x || Count(pos) != 2) continue;
            const auto [a, b] = PairCells(u, pos);
            ons.push_back(m_index[9 * (a == cell ? b : a) + d - 1]);
        }
        if (int(ons.size()) > firstOn[i]) {
            ++strong;
            strongBoards[d] |= CellBit(cell);
        }
    }
    firstOn[count] = int(ons.size());
    // The strong nodes off each node on leads to.
    m_firstOff.resize(count + 1);
    m_offs.reserve(size_t(count) * 2);
    for (int i = 0; i < count; ++i) {
        m_firstOff[i] = int(m_offs.size());
        const int cell = cands[i] / 9, d = cands[i] % 9 + 1;
        ForEachCell(kPeerBits[cell] & strongBoards[d],
                    [&](int c) { m_offs.push_back(m_index[9 * c + d - 1]); });
        for (unsigned m = m_y ? ctx.grid.masks[cell] & ~(1u << d) : 0; m != 0; m &= m - 1) {
            const int e = std::countr_zero(m);
            if (Has(strongBoards[e], cell)) m_offs.push_back(m_index[9 * cell + e - 1]);
        }
    }
    m_firstOff[count] = int(m_offs.size());
    m_rows.reset(new uint64_t[size_t(count + strong) * size_t(m_words)]);
    m_direct.assign(count, 0);
    std::vector<int> order(count, -1), low(count), stack;
    std::vector<std::array<int, 3>> frames;  // candidate, next node on, next node off
    m_compOf.assign(count, -1);
    int counter = 0, comps = 0;
    for (int root = 0; root < count; ++root) {
        if (order[root] >= 0 || firstOn[root] == firstOn[root + 1]) continue;
        order[root] = low[root] = counter++;
        stack.push_back(root);
        frames.push_back({root, firstOn[root], -1});
        while (!frames.empty()) {
            std::array<int, 3>& frame = frames.back();
            const int v = frame[0];
            if (frame[2] < 0 || frame[2] == m_firstOff[ons[frame[1]] + 1]) {
                if (frame[2] >= 0) ++frame[1];
                if (frame[1] < firstOn[v + 1]) {
                    frame[2] = m_firstOff[ons[frame[1]]];
                    continue;
                }
            } else {
                const int w = m_offs[frame[2]++];
                if (order[w] < 0) {
                    order[w] = low[w] = counter++;
                    stack.push_back(w);
                    frames.push_back({w, firstOn[w], -1});
                } else if (m_compOf[w] < 0) {
                    low[v] = std::min(low[v], order[w]);
                }
                continue;
            }
            frames.pop_back();
            if (!frames.empty()) {
                const int parent = frames.back()[0];
                low[parent] = std::min(low[parent], low[v]);
            }
            if (low[v] != order[v]) continue;
            const int c = comps++;
            uint64_t* row = &m_rows[size_t(count + c) * m_words];
            std::fill_n(row, m_words, 0);
            const size_t top = stack.size();
            size_t bottom = top;
            do {
                --bottom;
                m_compOf[stack[bottom]] = count + c;
                m_comp[2 * stack[bottom]] = count + c;
                row[stack[bottom] / 32] |= uint64_t(1) << (2 * stack[bottom] % 64);
            } while (stack[bottom] != v);
            for (size_t s = bottom; s < top; ++s) {
                const int member = stack[s];
                for (int e = firstOn[member]; e < firstOn[member + 1]; ++e) {
                    const int on = ons[e];
                    Or(row, Direct(on));
                    for (int f = m_firstOff[on]; f < m_firstOff[on + 1]; ++f) {
                        const int other = m_compOf[m_offs[f]];
                        if (other != count + c) Or(row, &m_rows[size_t(other) * m_words]);
                    }
                }
            }
            stack.resize(bottom);
        }
    }
}

CStaticClosure& AllLinksClosure(const CContext& ctx, const std::vector<int>& cands) {
    if (!ctx.closure) ctx.closure = std::make_shared<CStaticClosure>(ctx, cands, kAllLinks);
    return *ctx.closure;
}

CStrongReach::CStrongReach(const CContext& ctx, const std::array<Bits, 10>& boards, CLinks links)
    : m_x((links & kXLinks) != 0), m_y((links & kYLinks) != 0) {
    if (m_y) {
        Bits any = 0, twice = 0, more = 0;
        for (int d = 1; d <= 9; ++d) {
            more |= twice & boards[d];
            twice |= any & boards[d];
            any |= boards[d];
        }
        for (int d = 1; d <= 9; ++d) m_strong[d] = boards[d] & twice & ~more;
    }
    for (int d = 1; d <= 9 && m_x; ++d) {
        if (boards[d] == 0) continue;
        for (int u = 0; u < kUnitCount; ++u) {
            if (Count(ctx.up.pos[u][d]) == 2) m_strong[d] |= kUnitBits[u] & boards[d];
        }
    }
    for (int d = 1; d <= 9; ++d) {
        for (Bits b = m_strong[d]; b != 0; b &= b - 1) {
            if (m_count == kMost) return;
            const int cell = LowestCell(b);
            m_index[9 * cell + d - 1] = int16_t(m_count);
            m_cands[m_count++] = int16_t(9 * cell + d - 1);
        }
    }
    m_fits = true;
    m_strongSets.fill(0);
    m_reachedSets.fill(0);
    for (int s = 0; s < m_count; ++s) {
        for (uint16_t set : Sets(s)) m_strongSets[set] |= Bit(s);
    }
    // A node off turns on the other strong candidate of each of its units with two places
    // for its digit and, in a cell of two candidates, the cell's other: both strong, so
    // read from the sets as their turned off are, once, rather than from the unit positions
    // at each visit of the search below.
    for (int s = 0; s < m_count; ++s) {
        const int cell = m_cands[s] / 9, d = m_cands[s] % 9 + 1;
        const std::array<uint16_t, 4> sets = CandSets(m_cands[s]);
        const CCellUnits& units = kCellUnits[cell];
        Bits bits = m_strongSets[sets[3]], links = 0;
        if (m_y && Count(ctx.grid.masks[cell]) == 2) links = bits;
        for (int k = 0; k < 3; ++k) {
            bits |= m_strongSets[sets[k]];
            const int u = k == 0 ? units.box : k == 1 ? units.row : units.column;
            if (m_x && Count(ctx.up.pos[u][d]) == 2) links |= m_strongSets[sets[k]];
        }
        m_turnedOff[s] = bits & ~Bit(s);
        m_links[s] = links & ~Bit(s);
    }
    std::array<uint8_t, kMost> order, low, stack, frames;
    std::fill_n(order.begin(), m_count, uint8_t(kMost));
    std::fill_n(m_comp.begin(), m_count, uint8_t(kMost));
    std::array<Bits, kMost> next;  // the successors still to visit
    int counter = 0, depth = 0, top = 0;
    auto push = [&](int v) {
        order[v] = low[v] = uint8_t(counter++);
        stack[top++] = uint8_t(v);
        frames[depth++] = uint8_t(v);
        m_reach[v] = m_links[v];
        next[v] = 0;
        ForEachCell(m_links[v], [&](int c) { next[v] |= m_turnedOff[c]; });
    };
    // Tarjan's search, as CStaticClosure's: a component is finished after every one it
    // reaches, so its reach is the OR of reaches already complete, kept as its first's.
    for (int first = 0; first < m_count; ++first) {
        if (order[first] != kMost) continue;
        push(first);
        while (depth > 0) {
            const int v = frames[depth - 1];
            if (next[v] != 0) {
                const int w = LowestCell(next[v]);
                next[v] &= next[v] - 1;
                if (order[w] == kMost) {
                    push(w);
                } else if (m_comp[w] != kMost) {
                    m_reach[v] |= m_reach[m_comp[w]];
                } else {
                    low[v] = std::min(low[v], order[w]);
                }
                continue;
            }
            --depth;
            if (low[v] == order[v]) {
                int member;
                do {
                    member = stack[--top];
                    m_comp[member] = uint8_t(v);
                    m_reach[v] |= m_reach[member];
                } while (member != v);
            }
            if (depth > 0) {
                const int parent = frames[depth - 1];
                low[parent] = std::min(low[parent], low[v]);
                if (m_comp[v] != kMost) m_reach[parent] |= m_reach[v];
            }
        }
    }
    for (int s = 0; s < m_count; ++s) {
        for (uint16_t set : Sets(s)) m_reachedSets[set] |= m_reach[m_comp[s]];
    }
}

}  // namespace logic
