// The static propagation on bit boards, without causes: a wave of links at a time, whether an
// assumption reaches its own opposite (CFastStatic), and the chain to each node it reaches
// (CStaticWaves).
#pragma once

#include "chain_nodes.h"

namespace logic {

// Whether an assumption reaches its own opposite, and everything it reaches, without causes
// and without order: the same closure as CPropagator's static mode, found a wave at a time.
class CFastStatic {
  public:
    explicit CFastStatic(const CContext& ctx) : m_ctx(ctx) {
        for (int cell = 0; cell < kCellCount; ++cell) {
            const unsigned mask = ctx.grid.masks[cell];
            for (unsigned m = mask; m != 0; m &= m - 1)
                m_cand[std::countr_zero(m)] |= CellBit(cell);
            if (Count(mask) == 2) m_bivalue |= CellBit(cell);
        }
        for (int d = 1; d <= 9; ++d) {
            for (int u = 0; u < kUnitCount; ++u) {
                const unsigned pos = ctx.up.pos[u][d];
                if (Count(pos) != 2) continue;
                const auto [a, b] = PairCells(u, pos);
                Pair(d, a, b);
                Pair(d, b, a);
            }
        }
    }

    // Follows `start` for at most `waves` links; true when it reaches its opposite (then
    // `out` is incomplete).
    bool Run(int start, CBoards& out, int waves = kNodeCount, CLinks links = kAllLinks) {
        const bool y = (links & kYLinks) != 0, x = (links & kXLinks) != 0;
        m_waves = 0;
        std::array<Bits, 10> wave{};
        out = CBoards{};
        const int cell = CellOf(start), d = DigitOf(start);
        (IsOn(start) ? out.on : out.off)[d] |= CellBit(cell);
        wave[d] |= CellBit(cell);
        // Weak links lead from on to off, strong ones from off to on, so a wave holds only
        // nodes on or only nodes off, in turn; X-links keep to the start's digit. Only those
        // boards are read.
        const int low = y ? 1 : d, high = y ? 9 : d;
        for (bool on = IsOn(start), any = true; any && waves-- > 0; on = !on) {
            const std::array<Bits, 10> next = Spread(wave, on, low, high, x, y);
            any = false;
            std::array<Bits, 10>& reached = on ? out.off : out.on;
            for (int e = low; e <= high; ++e) {
                wave[e] = next[e] & ~reached[e];
                reached[e] |= wave[e];
                any |= wave[e] != 0;
            }
            ++m_waves;
            if (Has((IsOn(start) ? out.off : out.on)[d], cell)) return out.contradiction = true;
        }
        return false;
    }

    // The nodes one link from `wave`, nodes on where `on` (then they lead to nodes off), of
    // the digits from `low` to `high`.
    std::array<Bits, 10> Spread(const std::array<Bits, 10>& wave, bool on, int low, int high,
                                bool x, bool y) const {
        std::array<Bits, 10> next{};
        if (on) {
            // A cell on for a digit turns its other candidates off: cells on in this
            // wave, and those on for two digits at once, which turn off each other.
            Bits onCells = 0, twice = 0;
            for (int e = low; e <= high; ++e) {
                twice |= onCells & wave[e];
                onCells |= wave[e];
            }
            // The cells turned off gathered first and masked with the candidates once, not
            // for each cell on.
            for (int e = low; e <= high; ++e) {
                Bits off = y ? (onCells & ~wave[e]) | twice : 0;
                ForEachCell(wave[e], [&](int c) { off |= kPeerBits[c]; });
                next[e] = off & m_cand[e];
            }
        } else {
            for (int e = low; e <= high; ++e) {
                const Bits off = wave[e];
                if (off == 0) continue;
                ForEachCell(y ? off & m_bivalue : 0, [&](int c) {
                    next[std::countr_zero(m_ctx.grid.masks[c] & ~(1u << e))] |= CellBit(c);
                });
                ForEachCell(x ? off & m_paired[e] : 0, [&](int c) { next[e] |= m_partner[e][c]; });
            }
        }
        return next;
    }

  private:
    const CContext& m_ctx;
    std::array<Bits, 10> m_cand{};
    Bits m_bivalue = 0;
    int m_waves = 0;  // the links the last Run followed

  public:
    int Waves() const { return m_waves; }

  private:
    void Pair(int d, int cell, int other) {
        if (!Has(m_paired[d], cell)) {
            m_paired[d] |= CellBit(cell);
            m_partner[d][cell] = 0;
        }
        m_partner[d][cell] |= CellBit(other);
    }

    // For each digit and cell, the cells that are its only other place in a unit. Set for
    // the cells of m_paired alone, those with such a place, which are all a wave reads, so
    // the table is never cleared whole.
    std::array<Bits, 10> m_paired{};
    std::array<std::array<Bits, kCellCount>, 10> m_partner;
};

// The waves of one static assumption along all links, made only as far as asked. A static
// node has one cause, a link nearer the assumption (CPropagator follows them breadth first),
// so the chain to a node counts a node for each wave before the one that first holds it,
// and the assumption: what following it with causes and counting its ancestors gives.
class CStaticWaves {
  public:
    CStaticWaves(const CFastStatic& fast, int start) : m_fast(fast), m_startOn(IsOn(start)) {
        std::array<Bits, 10> wave{};
        wave[DigitOf(start)] = CellBit(CellOf(start));
        (m_startOn ? m_on : m_off) = wave;
        m_waves.reserve(kWaves);
        m_waves.push_back(wave);
    }

    // The nodes of the chain to `node`, 0 where the assumption never reaches it, or -1
    // where it is not within `depth` links and the waves are not grown yet that far; waves
    // an earlier question grew further answer with their length, which callers compare
    // with their bound anyway.
    int ChainTo(int node, int depth) {
        const int cell = CellOf(node), d = DigitOf(node);
        while (!Has((IsOn(node) ? m_on : m_off)[d], cell)) {
            if (m_ended) return 0;
            if (int(m_waves.size()) - 1 >= depth) return -1;
            Grow();
        }
        for (size_t k = IsOn(node) == m_startOn ? 0 : 1;; k += 2) {
            if (Has(m_waves[k][d], cell)) return int(k) + 1;
        }
    }

  private:
    void Grow() {
        const bool on = m_startOn == (m_waves.size() % 2 == 1);
        const std::array<Bits, 10> next = m_fast.Spread(m_waves.back(), on, 1, 9, true, true);
        std::array<Bits, 10>& reached = on ? m_off : m_on;
        std::array<Bits, 10> wave{};
        bool any = false;
        for (int e = 1; e <= 9; ++e) {
            wave[e] = next[e] & ~reached[e];
            reached[e] |= wave[e];
            any |= wave[e] != 0;
        }
        if (any) {
            m_waves.push_back(wave);
        } else {
            m_ended = true;
        }
    }

    // Room for this many waves from the start: most chains asked for are shorter.
    static constexpr size_t kWaves = 16;

    const CFastStatic& m_fast;
    bool m_startOn;
    bool m_ended = false;
    std::array<Bits, 10> m_on{}, m_off{};       // the nodes reached so far
    std::vector<std::array<Bits, 10>> m_waves;  // wave k: the nodes k links from the start
};

}  // namespace logic
