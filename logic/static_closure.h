// Which assumptions reach which along the static links: the transitive closure of their
// implication graph (CStaticClosure), and its cheaper form for the X-chains and forcing
// chains, which ask only which assumptions come back to their own opposite (CStrongReach).
#pragma once

#include "chain_nodes.h"

namespace logic {

// The closure of the static links among `cands`. Nodes are local: 2 * i + on for the i-th
// of `cands`.
//
// One closure costs about what following a few dozen assumptions does, and it tells at
// once which of the several hundred assumptions of a grid can come back to their own
// opposite at all, where following each to its end would mostly find nothing.
//
// A node on leads only to nodes off, and a node off leads on only along a strong link,
// which most have none of: those lead nowhere and get no row. So the search for strongly
// connected components (Tarjan's, whose order finishes a component after every component it
// reaches, so that each row is the OR of rows already complete) runs on the nodes off with a
// strong link alone, stepping over the nodes on between them. A node on comes back to its
// opposite only through those, so the forcing chains (nested, or where CStrongReach cannot
// hold the grid) read that from the components' rows; the rows of the nodes on, what they
// reach directly and the rows of the strong nodes off among those, are made only for the cell
// and region forcing chains, which read them.
class CStaticClosure {
  public:
    CStaticClosure(const CContext& ctx, const std::vector<int>& cands, CLinks links);

    int Words() const { return m_words; }

    // Whether a node reaches its own opposite.
    bool ReachesOpposite(int from) const {
        if ((from & 1) == 0) {
            return m_comp[from] != kSink &&
                   (m_rows[size_t(m_comp[from]) * m_words + size_t(from / 64)] >> (from % 64 + 1) &
                    1) != 0;
        }
        const int i = from / 2;
        // Its row, once made, holds what the nodes it turns off reach, and answers at once.
        if (m_complete) return (Row(from)[i / 32] >> (2 * i % 64) & 1) != 0;
        for (int f = m_firstOff[i]; f < m_firstOff[i + 1]; ++f) {
            const uint64_t* row = &m_rows[size_t(m_compOf[m_offs[f]]) * m_words];
            if ((row[i / 32] >> (2 * i % 64) & 1) != 0) return true;
        }
        return false;
    }

    // Makes the rows of the nodes on, which Row reads.
    void CompleteRows() {
        if (m_complete) return;
        m_complete = true;
        for (int i = 0; i < int(m_cands.size()); ++i) {
            uint64_t* row = Direct(i);
            m_comp[2 * i + 1] = i;
            for (int f = m_firstOff[i]; f < m_firstOff[i + 1]; ++f) {
                Or(row, &m_rows[size_t(m_compOf[m_offs[f]]) * m_words]);
            }
        }
    }

    // The nodes a node on reaches, its own included, as Words() words; after CompleteRows.
    const uint64_t* Row(int from) const { return &m_rows[size_t(m_comp[from]) * m_words]; }

  private:
    // The row of the i-th node on, made with what it reaches directly at the first call.
    uint64_t* Direct(int i) {
        uint64_t* row = &m_rows[size_t(i) * m_words];
        if (m_direct[i] != 0) return row;
        m_direct[i] = 1;
        std::fill_n(row, m_words, 0);
        row[i / 32] |= uint64_t(1) << ((2 * i + 1) % 64);
        const int cell = m_cands[i] / 9, d = m_cands[i] % 9 + 1;
        auto reach = [&](int j) { row[j / 32] |= uint64_t(1) << (2 * j % 64); };
        ForEachCell(kPeerBits[cell] & m_boards[d], [&](int c) { reach(m_index[9 * c + d - 1]); });
        for (unsigned m = m_y ? m_masks[cell] & ~(1u << d) : 0; m != 0; m &= m - 1) {
            reach(m_index[9 * cell + std::countr_zero(m) - 1]);
        }
        return row;
    }

    void Or(uint64_t* row, const uint64_t* from) const {
        for (int i = 0; i < m_words; ++i) row[i] |= from[i];
    }

    static constexpr int kSink = -2;
    // Kept for the rows made later: a grid's closure outlives the context it was made in.
    std::vector<int> m_cands;
    std::array<uint16_t, kCellCount> m_masks;
    bool m_y;
    bool m_complete = false;
    int m_words = 0;
    std::array<int16_t, kCandCount> m_index;
    std::array<Bits, 10> m_boards{};
    std::vector<int> m_comp;    // each node's row, or kSink
    std::vector<int> m_compOf;  // each candidate's node off's row, or -1 without a strong link
    std::vector<int> m_firstOff, m_offs;  // per node on, the strong nodes off it leads to
    std::vector<uint8_t> m_direct;        // per node on, whether its row has its direct links
    // The nodes on's rows, then the components'; each cleared as it is first made, as the
    // X-chains never make most rows of the nodes on.
    std::unique_ptr<uint64_t[]> m_rows;
};

// The closure of all static links of `ctx`'s grid, made at the first call; `cands` are the
// grid's candidates, as Candidates lists them.
CStaticClosure& AllLinksClosure(const CContext& ctx, const std::vector<int>& cands);

// Which assumptions come back to their own opposite along the static links, and nothing
// more: what the X-chains and forcing chains ask. A node off leads on only along a strong
// link, and the candidate at its other end has that link too; so past its first link a chain
// holds, as nodes on, only candidates with a strong link (strong candidates), and the nodes
// off that lead on are theirs too. The reach of each strong node off is kept as the strong
// nodes on it reaches, a bit per strong candidate; its successors, the strong nodes off those
// turn off, are found as sets from each unit's and cell's strong candidates. A node on comes
// back to its opposite when the strong candidates it turns off reach one that would turn it
// off; for the many without a strong link, the reach of all a unit's or a cell's strong
// candidates is that of those it turns off there. A grid with more strong candidates than
// fit in two words of bits, which is rare, is left to CStaticClosure.
//
// The X-chains and forcing chains ask this at every step of the path: far cheaper to make
// and to ask than CStaticClosure with every row of the nodes on, which only the cell and
// region forcing chains build, where they run.
class CStrongReach {
  public:
    // `boards` hold, per digit, its candidates whole or none of them.
    CStrongReach(const CContext& ctx, const std::array<Bits, 10>& boards, CLinks links);

    // Whether the strong candidates fit; if not, nothing else may be asked.
    bool Fits() const { return m_fits; }

    // Whether the candidate's nodes reach their own opposites: bit 0 its node off, bit 1 its
    // node on.
    unsigned Opposites(int cand) const {
        const int cell = cand / 9, d = cand % 9 + 1;
        if (!Has(m_strong[d], cell)) {
            Bits turnedOff = 0, reached = 0;
            for (uint16_t set : CandSets(cand)) {
                turnedOff |= m_strongSets[set];
                reached |= m_reachedSets[set];
            }
            return (turnedOff & reached) != 0 ? 2 : 0;
        }
        // Its own reach is in its units' and cell's: those it turns off are taken one by one.
        const int s = m_index[cand];
        Bits reached = 0;
        ForEachCell(m_turnedOff[s], [&](int c) { reached |= m_reach[m_comp[c]]; });
        return ((m_reach[m_comp[s]] & Bit(s)) != 0 ? 1 : 0) |
               ((m_turnedOff[s] & reached) != 0 ? 2 : 0);
    }

    // The links from the candidate's node on (or off) to its opposite, as CFastStatic::Run
    // counts its waves, or -1 where that is more than `waves`. Past the first link its waves
    // hold, as nodes on, strong candidates alone, and only the nodes off of strong candidates
    // lead on: the waves of those alone, a bit each, are the same, and the node on comes
    // back to its opposite at the wave after one that holds a strong candidate turning it
    // off: far fewer bits to spread than CFastStatic's boards of every node.
    int WavesTo(int cand, bool on, int waves) const {
        const int cell = cand / 9, d = cand % 9 + 1;
        const bool strong = Has(m_strong[d], cell);
        const int s = strong ? m_index[cand] : 0;
        Bits seenOn = 0, seenOff = 0, offs = 0, turningOff = 0;
        int count = 0;
        if (on) {
            turningOff = strong ? m_turnedOff[s] : TurningOff(cell, d);
            if (strong) seenOn = Bit(s);
            if (++count > waves) return -1;
            offs = seenOff = turningOff;
        } else {
            offs = seenOff = Bit(s);
        }
        for (;;) {
            if (++count > waves) return -1;
            Bits ons = 0;
            ForEachCell(offs, [&](int c) { ons |= m_links[c]; });
            ons &= ~seenOn;
            if (!on && (ons & Bit(s)) != 0) return count;
            if (ons == 0) return -1;
            seenOn |= ons;
            if (++count > waves) return -1;
            if (on && (ons & turningOff) != 0) return count;
            offs = 0;
            ForEachCell(ons, [&](int c) { offs |= m_turnedOff[c]; });
            offs &= ~seenOff;
            if (offs == 0) return -1;
            seenOff |= offs;
        }
    }

  private:
    static constexpr int kMost = 128;

    // The strong candidates that a candidate without a strong link turns off.
    Bits TurningOff(int cell, int d) const {
        Bits bits = 0;
        for (uint16_t set : CandSets(9 * cell + d - 1)) bits |= m_strongSets[set];
        return bits;
    }
    static constexpr Bits Bit(int s) { return Bits(1) << s; }

    // The sets a candidate's strong candidates are gathered by: its box's, row's and column's
    // of its digit, and its cell's (left empty without Y-links); by table, rather than made
    // from the cell and digit at each call.
    static std::array<uint16_t, 4> CandSets(int cand) { return kCandSets[size_t(cand)]; }
    std::array<uint16_t, 4> Sets(int s) const {
        std::array<uint16_t, 4> sets = CandSets(m_cands[s]);
        if (!m_y) sets[3] = kSets;
        return sets;
    }

    // Per unit and digit, then per cell, the strong candidates there and the union of their
    // reaches; and one more, never read, where Sets(s) sends a cell's without Y-links.
    static constexpr size_t kSets = kUnitCount * 10 + kCellCount;
    static constexpr std::array<std::array<uint16_t, 4>, kCandCount> kCandSets = [] {
        std::array<std::array<uint16_t, 4>, kCandCount> table{};
        for (int cell = 0; cell < kCellCount; ++cell) {
            const CCellUnits& units = kCellUnits[cell];
            for (int d = 1; d <= 9; ++d) {
                table[size_t(9 * cell + d - 1)] = {
                    uint16_t(units.box * 10 + d), uint16_t(units.row * 10 + d),
                    uint16_t(units.column * 10 + d), uint16_t(kUnitCount * 10 + cell)};
            }
        }
        return table;
    }();
    bool m_x, m_y;
    bool m_fits = false;
    int m_count = 0;                          // the strong candidates
    std::array<Bits, 10> m_strong{};          // the strong candidates of each digit
    std::array<int16_t, kCandCount> m_index;  // per strong candidate, its number
    std::array<int16_t, kMost> m_cands;       // per number, the candidate
    std::array<uint8_t, kMost> m_comp;        // per number, its component's first
    std::array<Bits, kMost> m_reach;          // per number, the strong nodes on it reaches
    std::array<Bits, kMost> m_links;          // per number, those its node off turns on
    std::array<Bits, kMost> m_turnedOff;      // per number, the strong candidates its on turns off
    std::array<Bits, kSets + 1> m_strongSets, m_reachedSets;
};

}  // namespace logic
