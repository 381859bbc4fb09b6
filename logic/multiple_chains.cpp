// Forcing chains that read many assumptions: each assumption's contradiction, the two sides
// of a candidate agreeing, every candidate of a cell or every place of a digit in a unit
// agreeing. What each assumption implies is kept as a bit set only; the few assumptions a
// conclusion rests on are followed again to count its chain.
//
// cand is a candidate (9 * cell + d - 1), node a candidate on or off (chain_nodes.h).
#include "multiple_chains.h"

#include "propagation.h"
#include "static_closure.h"
#include "static_links.h"

namespace logic {

namespace {

class CMultipleChains {
  public:
    CMultipleChains(const CContext& ctx, CMode mode, int level, bool links,
                    std::vector<CConclusion>* all);

    // The easiest conclusion, or nullopt when there is none, when they all go to `all`, or
    // when the stop was requested.
    std::optional<CConclusion> Run();

  private:
    // What an assumption implies once followed to its end, without causes (dynamic modes).
    CBoards& On(int cand) { return m_onStore[m_index[cand]]; }
    CBoards& Off(int cand) {
        const int i = m_index[cand];
        return m_offAlias[i] >= 0 ? m_onStore[m_offAlias[i]] : m_offStore[i];
    }

    // Follows again the assumptions cut short whose conclusions could still be valued
    // `ceiling` or less, now to `limit`; how many, or -1 when stopped.
    int Follow(int limit, int ceiling);

    // The implications of `node` once `target` is set, or nullptr where the nodes left to
    // expand are `depth` links from it or more; followed to the end with no target.
    const CImplications* WithCauses(int node, int target, int depth);

    // The nodes of the chain from `start` to `node`, or -1 where it is longer than `depth`
    // links.
    int ChainTo(int start, int node, int depth);

    // Every conclusion from the assumptions followed so far, the easiest kept.
    std::optional<CConclusion> Conclude();
    // Finds the links of the chains `c` rests on, followed again with causes.
    void FindLinks(CConclusion& c);
    void Contradictions();
    void BothSides();
    void Groups();
    void Agree(const std::vector<int>& group, CTechnique staticTechnique);

    // Calls `f(node)` for each node of `boards` that changes the grid: by digit, on before
    // off, by cell.
    template <class F>
    void ForEachUseful(const CBoards& boards, F&& f) const;
    // The same for the nodes every assumption of `group` reaches, none at all when one of them
    // reaches its own opposite.
    template <class F>
    void ForCommon(const std::vector<int>& group, F&& f);

    void Offer(CConclusion c);
    bool Hopeless(int base, int partial) const;
    int DepthBelow(int base, int partial);
    void Value(CConclusion& c, CTechnique staticTechnique) const;

    const CContext& m_ctx;
    const int m_level;
    const bool m_dynamic;
    const bool m_links;                     // whether the easiest conclusion's links are found
    std::vector<CConclusion>* const m_all;  // with it, every conclusion, its chains uncounted
    const std::vector<int> m_cands;
    std::array<int16_t, kCandCount> m_index;  // per candidate of the grid, its place in m_cands
    std::vector<CBoards> m_onStore, m_offStore;
    // A candidate off is its only alternative on, where it has one (the other candidate of
    // its cell, the other place of its digit in a unit): the first singles make the two
    // assumptions one grid, so they end alike. The alternative's index, or -1.
    std::vector<int> m_offAlias;
    const CTechnique m_dynamicTechnique;
    const int m_dynamicBase;
    // A conclusion's chain length counts every nested step its assumptions used, so where
    // the rung looks for its easiest conclusion, the assumptions are first followed only
    // while their nested steps stay short; the easiest conclusion of those bounds how far
    // the others are followed after.
    const bool m_bounded;
    std::optional<CFastPropagator> m_fast;
    // The static modes' closure holds everything each assumption reaches, a row of bits each:
    // a group's assumptions agree on the AND of their rows.
    CStaticClosure* m_closure = nullptr;
    std::vector<uint64_t> m_commonRow;
    std::vector<int> m_commonNodes;

    // The chains behind a conclusion, followed again with their causes once per assumption,
    // each only as far as a conclusion asks: until the node it counts is set, and only while
    // that node could still make it easier than the best (DepthBelow).
    struct CFollowed {
        explicit CFollowed(const CPropagator& p) : prop(p) {}
        CImplications imp;
        CPropagator prop;
    };
    const CPropagator m_prop;
    std::vector<std::unique_ptr<CFollowed>> m_followed;
    // Static chains are counted from their waves, without causes.
    std::unique_ptr<CFastStatic> m_fastStatic;
    std::vector<std::unique_ptr<CStaticWaves>> m_waves;

    std::optional<CConclusion> m_best;  // of the Conclude under way
    struct {
        int base = -1, rating = 0, complexity = 0, fewest = 0;
    } m_depthCache;  // DepthBelow's last answer, for the best it was asked with
};

CMultipleChains::CMultipleChains(const CContext& ctx, CMode mode, int level, bool links,
                                 std::vector<CConclusion>* all)
    : m_ctx(ctx),
      m_level(level),
      m_dynamic(mode != CMode::kStatic),
      m_links(links && !all),
      m_all(all),
      m_cands(Candidates(ctx.grid)),
      m_onStore(m_dynamic ? m_cands.size() : 0),
      m_offStore(m_onStore.size()),
      m_offAlias(m_offStore.size(), -1),
      m_dynamicTechnique(level > 0 ? CTechnique::kNestedForcingChain
                                   : CTechnique::kDynamicForcingChain),
      m_dynamicBase(level > 0 ? BaseRating(CTechnique::kNestedForcingChain) + 5 * (level - 1)
                              : BaseRating(CTechnique::kDynamicForcingChain)),
      m_bounded(m_dynamic && level > 0 && !all),
      m_prop(ctx, mode, level),
      m_followed(2 * m_cands.size()),
      m_waves(m_dynamic ? 0 : 2 * m_cands.size()) {
    for (size_t i = 0; i < m_cands.size(); ++i) m_index[m_cands[i]] = int16_t(i);
}

std::optional<CConclusion> CMultipleChains::Run() {
    if (m_dynamic) {
        m_fast.emplace(m_ctx, m_level);
        for (size_t i = 0; i < m_cands.size(); ++i) {
            const int alternative = OnlyAlternative(m_ctx, m_cands[i]);
            if (alternative >= 0) m_offAlias[i] = m_index[alternative];
        }
        // Not followed yet.
        for (CBoards& boards : m_onStore) boards.cut = true;
        for (CBoards& boards : m_offStore) boards.cut = true;
        if (Follow(m_bounded ? LongestWithBonus(kFirstBonus) : INT_MAX, INT_MAX) < 0) {
            return std::nullopt;
        }
    } else {
        m_closure = &AllLinksClosure(m_ctx, m_cands);
        m_closure->CompleteRows();
        m_commonRow.resize(size_t(m_closure->Words()));
    }
    std::optional<CConclusion> found = Conclude();
    if (m_bounded) {
        // Where the easiest needs long nested steps, the assumptions cut short are followed
        // again, as far as a conclusion of theirs could still be easier.
        const int ceiling = found ? found->rating : INT_MAX;
        const int more =
            Follow(found ? LongestWithBonus(ceiling - m_dynamicBase) : INT_MAX, ceiling);
        if (more < 0) return std::nullopt;
        if (more > 0) found = Conclude();
    }
    if (found && m_links) FindLinks(*found);
    return found;
}

void CMultipleChains::FindLinks(CConclusion& c) {
    auto chain = [&](int start, int target) {
        const CImplications* imp = WithCauses(start, target, INT_MAX);
        if (imp == nullptr) return;
        AppendLinks(m_ctx, *imp,
                    target >= 0 && imp->set[target] ? std::vector<int>{target} : imp->conflict,
                    c.links);
    };
    const int first = 2 * (9 * c.pattern.front().cell + c.pattern.front().digit - 1);
    if (c.pattern.size() > 1) {
        // Every candidate of a cell, or every place of a digit in a unit, leads to it.
        for (const CCandidate& p : c.pattern) chain(NodeOf(p.cell, p.digit, true), c.node);
    } else if (c.node / 2 == first / 2) {
        // The assumption's opposite: the assumption contradicts itself.
        chain(c.node ^ 1, -1);
    } else {
        // The candidate on and off both lead to it.
        chain(first + 1, c.node);
        chain(first, c.node);
    }
}

int CMultipleChains::Follow(int limit, int ceiling) {
    int followed = 0;
    for (size_t i = 0; i < m_cands.size(); ++i) {
        for (bool isOn : {true, false}) {
            if (!isOn && m_offAlias[i] >= 0) continue;
            CBoards& boards = isOn ? m_onStore[i] : m_offStore[i];
            if (!boards.cut || m_dynamicBase + ChainLengthBonus(boards.weight) > ceiling) {
                continue;
            }
            if (m_ctx.stop.stop_requested()) return -1;
            m_fast->Run(2 * m_cands[i] + (isOn ? 1 : 0), boards, limit);
            ++followed;
        }
    }
    return followed;
}

const CImplications* CMultipleChains::WithCauses(int node, int target, int depth) {
    // A nested chain's length counts every nested step its assumption used, to the end.
    if (m_level > 0) target = -1;
    std::unique_ptr<CFollowed>& slot = m_followed[2 * m_index[node / 2] + (node & 1)];
    if (!slot) {
        slot = std::make_unique<CFollowed>(m_prop);
        slot->prop.Start(node, slot->imp);
    }
    if (!slot->prop.Continue(target, depth) && (target < 0 || !slot->imp.set[target])) {
        return nullptr;
    }
    return &slot->imp;
}

int CMultipleChains::ChainTo(int start, int node, int depth) {
    if (!m_dynamic) {
        if (!m_fastStatic) m_fastStatic = std::make_unique<CFastStatic>(m_ctx);
        std::unique_ptr<CStaticWaves>& slot = m_waves[2 * m_index[start / 2] + (start & 1)];
        if (!slot) slot = std::make_unique<CStaticWaves>(*m_fastStatic, start);
        return slot->ChainTo(node, depth);
    }
    const CImplications* imp = WithCauses(start, node, depth);
    return imp ? Complexity(m_ctx, *imp, {node}) : -1;
}

std::optional<CConclusion> CMultipleChains::Conclude() {
    m_best.reset();
    m_depthCache = {};
    if (m_dynamic) {
        Contradictions();
        BothSides();
    }
    Groups();
    return std::move(m_best);
}

void CMultipleChains::Offer(CConclusion c) {
    if (m_all) {
        m_all->push_back(std::move(c));
    } else {
        logic::Offer(m_best, std::move(c));
    }
}

// Whether a conclusion of `base` whose chains are already `partial` long can no longer be
// easier than the best so far: its length only grows with the chains still to count, which
// then need not be followed.
bool CMultipleChains::Hopeless(int base, int partial) const {
    if (!m_best) return false;
    const int rating = base + ChainLengthBonus(partial);
    return rating > m_best->rating || (rating == m_best->rating && partial >= m_best->complexity);
}

// The depth from which the nodes an assumption expands lead only to chains that make a
// conclusion of `base`, with `partial` nodes counted apart from them, hopeless: a node n links
// from its assumption has n + 1 ancestors or more (its cause has one a link nearer), and the
// nodes from expanding it are a link further. Nested chains' nodes have no ancestors, so no
// depth there.
int CMultipleChains::DepthBelow(int base, int partial) {
    if (!m_best || m_level > 0) return INT_MAX;
    auto& cached = m_depthCache;
    if (cached.base != base || cached.rating != m_best->rating ||
        cached.complexity != m_best->complexity) {
        cached = {base, m_best->rating, m_best->complexity, 1};
        while (cached.fewest <= kNodeCount && !Hopeless(base, cached.fewest)) ++cached.fewest;
    }
    return cached.fewest > kNodeCount ? INT_MAX : cached.fewest - partial - 1;
}

void CMultipleChains::Value(CConclusion& c, CTechnique staticTechnique) const {
    c.technique = m_dynamic ? m_dynamicTechnique : staticTechnique;
    c.rating =
        (m_dynamic ? m_dynamicBase : BaseRating(staticTechnique)) + ChainLengthBonus(c.complexity);
}

// An assumption that contradicts itself: its opposite holds.
void CMultipleChains::Contradictions() {
    for (int cand : m_cands) {
        for (bool assumeOn : {true, false}) {
            const CBoards& boards = assumeOn ? On(cand) : Off(cand);
            if (boards.cut || !boards.contradiction) continue;
            CConclusion c;
            c.node = 2 * cand + (assumeOn ? 0 : 1);
            if (!m_all) {
                // A contradiction found expanding a node counts that node's ancestors.
                const CImplications* imp =
                    WithCauses(2 * cand + (assumeOn ? 1 : 0), -1, DepthBelow(m_dynamicBase, 0));
                if (!imp) continue;
                c.complexity = Complexity(m_ctx, *imp, imp->conflict);
            }
            Value(c, m_dynamicTechnique);
            c.pattern = {CandOf(2 * cand)};
            Offer(std::move(c));
        }
    }
}

// What a candidate on and the same candidate off both imply holds.
void CMultipleChains::BothSides() {
    for (int cand : m_cands) {
        if (On(cand).cut || Off(cand).cut || On(cand).contradiction || Off(cand).contradiction) {
            continue;
        }
        CBoards both;
        for (int d = 1; d <= 9; ++d) {
            both.on[d] = On(cand).on[d] & Off(cand).on[d];
            both.off[d] = On(cand).off[d] & Off(cand).off[d];
        }
        ForEachUseful(both, [&](int node) {
            CConclusion c;
            c.node = node;
            if (!m_all) {
                c.complexity = ChainTo(2 * cand + 1, node, DepthBelow(m_dynamicBase, 3));
                if (c.complexity < 0 || Hopeless(m_dynamicBase, c.complexity + 2)) return;
                const int other =
                    ChainTo(2 * cand, node, DepthBelow(m_dynamicBase, c.complexity + 1));
                if (other < 0) return;
                c.complexity += other;
            }
            Value(c, m_dynamicTechnique);
            c.pattern = {CandOf(2 * cand)};
            Offer(std::move(c));
        });
    }
}

// What every candidate of a cell implies holds, and what every place of a digit in a unit does.
void CMultipleChains::Groups() {
    std::vector<int> group;
    for (int cell = 0; cell < kCellCount; ++cell) {
        if (Count(m_ctx.grid.masks[cell]) < 2) continue;
        group.clear();
        for (unsigned m = m_ctx.grid.masks[cell]; m != 0; m &= m - 1) {
            group.push_back(9 * cell + std::countr_zero(m) - 1);
        }
        Agree(group, CTechnique::kCellForcingChain);
    }
    for (int u = 0; u < kUnitCount; ++u) {
        for (int d = 1; d <= 9; ++d) {
            if (Count(m_ctx.up.pos[u][d]) < 2) continue;
            group.clear();
            for (unsigned p = m_ctx.up.pos[u][d]; p != 0; p &= p - 1) {
                group.push_back(9 * kUnitCells[u][std::countr_zero(p)] + d - 1);
            }
            Agree(group, CTechnique::kRegionForcingChain);
        }
    }
}

void CMultipleChains::Agree(const std::vector<int>& group, CTechnique staticTechnique) {
    ForCommon(group, [&](int node) {
        CConclusion c;
        c.node = node;
        if (!m_all) {
            const int base = m_dynamic ? m_dynamicBase : BaseRating(staticTechnique);
            // Each chain counts at least its assumption and the conclusion.
            int left = 2 * int(group.size());
            if (Hopeless(base, left)) return;
            for (int cand : group) {
                left -= 2;
                const int nodes =
                    ChainTo(2 * cand + 1, node, DepthBelow(base, c.complexity + left + 1));
                if (nodes < 0) return;
                c.complexity += nodes;
                if (Hopeless(base, c.complexity + left)) return;
            }
        }
        Value(c, staticTechnique);
        for (int cand : group) c.pattern.push_back(CandOf(2 * cand));
        Offer(std::move(c));
    });
}

template <class F>
void CMultipleChains::ForEachUseful(const CBoards& boards, F&& f) const {
    for (int d = 1; d <= 9; ++d) {
        for (bool isOn : {true, false}) {
            for (Bits b = isOn ? boards.on[d] : boards.off[d]; b != 0; b &= b - 1) {
                const int node = NodeOf(LowestCell(b), d, isOn);
                if (Useful(m_ctx.grid, node)) f(node);
            }
        }
    }
}

template <class F>
void CMultipleChains::ForCommon(const std::vector<int>& group, F&& f) {
    if (!m_closure) {
        CBoards common;
        common.on.fill(~Bits(0));
        common.off.fill(~Bits(0));
        for (int cand : group) {
            if (On(cand).cut || On(cand).contradiction) return;
            for (int d = 1; d <= 9; ++d) {
                common.on[d] &= On(cand).on[d];
                common.off[d] &= On(cand).off[d];
            }
        }
        ForEachUseful(common, f);
        return;
    }
    std::fill(m_commonRow.begin(), m_commonRow.end(), ~uint64_t(0));
    for (int cand : group) {
        const int local = 2 * m_index[cand] + 1;
        if (m_closure->ReachesOpposite(local)) return;
        const uint64_t* row = m_closure->Row(local);
        uint64_t any = 0;
        for (size_t i = 0; i < m_commonRow.size(); ++i) any |= m_commonRow[i] &= row[i];
        // Nothing in common stays nothing: the rest of the group need not be read.
        if (any == 0) return;
    }
    // In ForEachUseful's order: keys by digit, on before off, by cell.
    m_commonNodes.clear();
    for (size_t i = 0; i < m_commonRow.size(); ++i) {
        for (uint64_t bits = m_commonRow[i]; bits != 0; bits &= bits - 1) {
            const int local = 64 * int(i) + std::countr_zero(bits);
            const int cand = m_cands[local / 2];
            const int d = cand % 9 + 1, isOn = local & 1;
            m_commonNodes.push_back((2 * d + 1 - isOn) * kCellCount + cand / 9);
        }
    }
    std::sort(m_commonNodes.begin(), m_commonNodes.end());
    for (int key : m_commonNodes) {
        const int node = NodeOf(key % kCellCount, key / kCellCount / 2, key / kCellCount % 2 == 0);
        if (Useful(m_ctx.grid, node)) f(node);
    }
}

}  // namespace

std::optional<CConclusion> MultipleChains(const CContext& ctx, CMode mode, int level, bool links,
                                          std::vector<CConclusion>* all) {
    return CMultipleChains(ctx, mode, level, links, all).Run();
}

}  // namespace logic
