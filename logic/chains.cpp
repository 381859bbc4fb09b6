// The chain techniques: one implication engine that, from an assumed candidate (on or off),
// follows what must follow, and the rungs that read its results.
//
// A node is a candidate assumed on or off: node = 2 * (9 * cell + d - 1) + on. Propagation
// runs in one of three modes:
//   - static: off leads to on only along the strong links of the grid as it stands (a cell
//     with two candidates, a digit with two places in a unit): X-chains and forcing chains,
//     cell and region forcing chains;
//   - dynamic: off leads to on whenever the assumed grid leaves a single, so everything an
//     assumption implies is used: nishio (one digit only) and dynamic forcing chains;
//   - nested: dynamic, and when it stalls, easier techniques run on the assumed grid.
// Each node keeps its cause, so a conclusion's chain length is the number of its ancestors.
#include <algorithm>
#include <bitset>
#include <memory>
#include <vector>

#include "logic_internal.h"

namespace logic {

namespace {

constexpr int kCandCount = kCellCount * 9;
constexpr int kNodeCount = 2 * kCandCount;

constexpr int NodeOf(int cell, int d, bool on) {
    return 2 * (9 * cell + d - 1) + (on ? 1 : 0);
}
constexpr int CellOf(int node) {
    return node / 18;
}
constexpr int DigitOf(int node) {
    return node / 2 % 9 + 1;
}
constexpr bool IsOn(int node) {
    return (node & 1) != 0;
}

enum class CMode : uint8_t { kStatic, kNishio, kDynamic };

// How a node came to be set.
enum class CCause : uint8_t {
    kNone,    // not set
    kStart,   // the assumption
    kParent,  // follows from one node (`from`)
    kCell,    // the cell's other candidates are off
    kUnit,    // the digit's other places in unit `from` are off
    kNested,  // an easier technique on the assumed grid
};

// Everything that follows from one assumption.
struct CImplications {
    std::bitset<kNodeCount> set;
    std::array<CCause, kNodeCount> cause{};
    std::array<uint16_t, kNodeCount> from{};
    bool contradiction = false;
    std::vector<int> conflict;  // the nodes whose ancestors prove the contradiction
    int nestedWeight = 0;       // chain lengths of the nested steps used
};

// The grid the rungs work on, and the strong links they may follow.
struct CContext {
    const CCandidateGrid& grid;
    CUnitPositions up;
    std::stop_token stop;
    explicit CContext(const CCandidateGrid& g, std::stop_token s) : grid(g), up(g), stop(s) {}
};

class CPropagator {
  public:
    CPropagator(const CContext& ctx, CMode mode, int level)
        : m_ctx(ctx), m_mode(mode), m_level(level) {}

    // Follows `start` to its end, or to a contradiction.
    void Run(int start, CImplications& out) {
        m_out = &out;
        out = CImplications{};
        m_masks = m_ctx.grid.masks;
        m_queue.clear();
        m_head = 0;
        m_start = start;
        Set(start, CCause::kStart, 0);
        for (;;) {
            while (m_head < m_queue.size() && !out.contradiction) Expand(m_queue[m_head++]);
            if (out.contradiction || m_level == 0 || !Nest()) break;
        }
    }

  private:
    bool Known(int node) const { return m_out->set[node]; }

    void Set(int node, CCause cause, int from) {
        if (m_out->contradiction) return;
        if (m_out->set[node]) return;
        if (m_out->set[node ^ 1]) {
            // Static chains may reach both sides of a candidate along different links, and
            // keep the first; only the assumption's own opposite ends them.
            if (m_mode == CMode::kStatic && node != (m_start ^ 1)) return;
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
            if (m_mode != CMode::kNishio) {
                for (unsigned m = m_masks[cell] & ~(1u << d); m != 0; m &= m - 1) {
                    Set(NodeOf(cell, LowestBit(m), false), CCause::kParent, node);
                }
            }
            for (uint8_t peer : kCellPeers[cell]) {
                if ((m_masks[peer] >> d & 1) != 0)
                    Set(NodeOf(peer, d, false), CCause::kParent, node);
            }
            return;
        }
        if (m_mode == CMode::kStatic) {
            const unsigned mask = m_ctx.grid.masks[cell];
            if (Count(mask) == 2) {
                Set(NodeOf(cell, LowestBit(mask & ~(1u << d)), true), CCause::kParent, node);
            }
            const CCellUnits& units = kCellUnits[cell];
            for (int u : {int(units.box), int(units.row), int(units.column)}) {
                const unsigned pos = m_ctx.up.pos[u][d];
                if (Count(pos) != 2) continue;
                for (unsigned p = pos; p != 0; p &= p - 1) {
                    const int other = kUnitCells[u][LowestBit(p)];
                    if (other != cell) Set(NodeOf(other, d, true), CCause::kParent, node);
                }
            }
            return;
        }
        m_masks[cell] &= uint16_t(~(1u << d));
        if (m_mode != CMode::kNishio) {
            if (m_masks[cell] == 0) {
                Contradict(CCause::kCell, cell, cell, 0);
                return;
            }
            if (Count(m_masks[cell]) == 1) {
                Set(NodeOf(cell, LowestBit(m_masks[cell]), true), CCause::kCell, cell);
            }
        }
        const CCellUnits& units = kCellUnits[cell];
        for (int u : {int(units.box), int(units.row), int(units.column)}) {
            if ((m_ctx.up.placed[u] >> d & 1) != 0) continue;
            int left = -1, count = 0;
            for (uint8_t other : kUnitCells[u]) {
                if ((m_masks[other] >> d & 1) != 0) {
                    left = other;
                    ++count;
                }
            }
            if (count == 0) {
                Contradict(CCause::kUnit, u, -1, d);
                return;
            }
            if (count == 1) Set(NodeOf(left, d, true), CCause::kUnit, u);
        }
    }

    // A cell left without candidates, or a unit without a place for d: the proof is every
    // candidate of it being off.
    void Contradict(CCause cause, int where, int cell, int d) {
        m_out->contradiction = true;
        m_out->conflict.clear();
        if (cause == CCause::kCell) {
            for (unsigned m = m_ctx.grid.masks[cell]; m != 0; m &= m - 1) {
                m_out->conflict.push_back(NodeOf(cell, LowestBit(m), false));
            }
        } else {
            for (unsigned p = m_ctx.up.pos[where][d]; p != 0; p &= p - 1) {
                m_out->conflict.push_back(NodeOf(kUnitCells[where][LowestBit(p)], d, false));
            }
        }
    }

    // Runs the easier techniques on the grid as assumed; applies what they find.
    bool Nest();

    const CContext& m_ctx;
    CMode m_mode;
    int m_level;
    int m_start = 0;
    CImplications* m_out = nullptr;
    std::array<uint16_t, kCellCount> m_masks{};
    std::vector<uint16_t> m_queue;
    size_t m_head = 0;
};

// The number of nodes a conclusion rests on: the node and all its ancestors.
int Ancestors(const CContext& ctx, const CImplications& imp, const std::vector<int>& nodes,
              std::bitset<kNodeCount>& seen) {
    std::vector<int> stack;
    int count = 0;
    for (int node : nodes) {
        if (!seen[node] && imp.set[node]) {
            seen[node] = true;
            stack.push_back(node);
        }
    }
    while (!stack.empty()) {
        const int node = stack.back();
        stack.pop_back();
        ++count;
        auto visit = [&](int parent) {
            if (imp.set[parent] && !seen[parent]) {
                seen[parent] = true;
                stack.push_back(parent);
            }
        };
        const int cell = CellOf(node), d = DigitOf(node);
        switch (imp.cause[node]) {
            case CCause::kParent:
                visit(imp.from[node]);
                break;
            case CCause::kCell:
                for (unsigned m = ctx.grid.masks[cell] & ~(1u << d); m != 0; m &= m - 1) {
                    visit(NodeOf(cell, LowestBit(m), false));
                }
                break;
            case CCause::kUnit: {
                const int u = imp.from[node];
                for (unsigned p = ctx.up.pos[u][d]; p != 0; p &= p - 1) {
                    const int other = kUnitCells[u][LowestBit(p)];
                    if (other != cell) visit(NodeOf(other, d, false));
                }
                break;
            }
            default:
                break;
        }
    }
    return count;
}

int Complexity(const CContext& ctx, const CImplications& imp, const std::vector<int>& nodes) {
    std::bitset<kNodeCount> seen;
    return Ancestors(ctx, imp, nodes, seen) + imp.nestedWeight;
}

// What a rung concludes, and what it is worth.
struct CConclusion {
    int node = -1;  // the candidate on (placed) or off (eliminated)
    int rating = 0;
    int complexity = 0;
    CTechnique technique = CTechnique::kForcingChain;
    std::vector<CCandidate> pattern;  // the assumptions it starts from
};

void Offer(std::optional<CConclusion>& best, CConclusion c) {
    if (!best || c.rating < best->rating ||
        (c.rating == best->rating && c.complexity < best->complexity)) {
        best = std::move(c);
    }
}

CCandidate CandOf(int node) {
    return {uint8_t(CellOf(node)), uint8_t(DigitOf(node))};
}

// Whether the conclusion changes the grid: places a digit not yet placed, or removes a
// candidate still there.
bool Useful(const CCandidateGrid& grid, int node) {
    const int cell = CellOf(node), d = DigitOf(node);
    if (grid.values[cell] != 0) return false;
    return IsOn(node) || (grid.masks[cell] >> d & 1) != 0;
}

std::vector<int> Candidates(const CCandidateGrid& grid) {
    std::vector<int> cands;
    for (int cell = 0; cell < kCellCount; ++cell) {
        for (unsigned m = grid.masks[cell]; m != 0; m &= m - 1) {
            cands.push_back(9 * cell + LowestBit(m) - 1);
        }
    }
    return cands;
}

// X-chains and forcing chains: an assumption that, along strong and weak links in turn,
// comes back to its own opposite.
std::optional<CConclusion> UnaryChains(const CContext& ctx, bool firstOnly) {
    std::optional<CConclusion> best;
    CPropagator prop(ctx, CMode::kStatic, 0);
    auto imp = std::make_unique<CImplications>();
    for (int cand : Candidates(ctx.grid)) {
        if (ctx.stop.stop_requested()) return std::nullopt;
        for (bool on : {true, false}) {
            const int start = 2 * cand + (on ? 1 : 0);
            prop.Run(start, *imp);
            // The static propagation keeps the first side it reaches, so look for the
            // opposite among what it would have set: an on that leads to its own off.
            const int target = start ^ 1;
            if (!imp->contradiction || !imp->set[target]) continue;
            CConclusion c;
            c.node = target;
            c.complexity = Complexity(ctx, *imp, {target});
            std::bitset<kNodeCount> seen;
            Ancestors(ctx, *imp, {target}, seen);
            bool oneDigit = true;
            for (int node = 0; node < kNodeCount && oneDigit; ++node) {
                if (seen[node] && DigitOf(node) != DigitOf(start)) oneDigit = false;
            }
            c.technique = oneDigit ? CTechnique::kXChain : CTechnique::kForcingChain;
            c.rating = BaseRating(c.technique) + ChainLengthBonus(c.complexity);
            c.pattern = {CandOf(start)};
            Offer(best, std::move(c));
            if (firstOnly) return best;
        }
    }
    return best;
}

// Nishio: a digit assumed in a cell that, following that digit alone, leaves a unit
// without a place for it.
std::optional<CConclusion> Nishio(const CContext& ctx) {
    std::optional<CConclusion> best;
    CPropagator prop(ctx, CMode::kNishio, 0);
    auto imp = std::make_unique<CImplications>();
    for (int cand : Candidates(ctx.grid)) {
        if (ctx.stop.stop_requested()) return std::nullopt;
        const int start = 2 * cand + 1;
        prop.Run(start, *imp);
        if (!imp->contradiction) continue;
        CConclusion c;
        c.node = start ^ 1;
        c.complexity = Complexity(ctx, *imp, imp->conflict);
        c.technique = CTechnique::kNishio;
        c.rating = BaseRating(c.technique) + ChainLengthBonus(c.complexity);
        c.pattern = {CandOf(start)};
        Offer(best, std::move(c));
    }
    return best;
}

// Forcing chains that read many assumptions: each assumption's contradiction, the two sides
// of a candidate agreeing, every candidate of a cell or every place of a digit in a unit
// agreeing. `base` is the technique family's value: static or dynamic or nested.
std::optional<CConclusion> MultipleChains(const CContext& ctx, CMode mode, int level,
                                          bool firstOnly) {
    const std::vector<int> cands = Candidates(ctx.grid);
    std::vector<std::unique_ptr<CImplications>> on(kCandCount), off(kCandCount);
    CPropagator prop(ctx, mode, level);
    const bool dynamic = mode != CMode::kStatic;
    const int nestedBase = level > 0 ? 90 + 5 * (level - 1) : 0;
    const CTechnique dynamicTechnique =
        level > 0 ? CTechnique::kNestedForcingChain : CTechnique::kDynamicForcingChain;
    const int dynamicBase = level > 0 ? nestedBase : BaseRating(CTechnique::kDynamicForcingChain);
    std::optional<CConclusion> best;
    auto offer = [&](CConclusion c) {
        Offer(best, std::move(c));
        return firstOnly;
    };
    for (int cand : cands) {
        if (ctx.stop.stop_requested()) return std::nullopt;
        on[cand] = std::make_unique<CImplications>();
        prop.Run(2 * cand + 1, *on[cand]);
        if (dynamic) {
            off[cand] = std::make_unique<CImplications>();
            prop.Run(2 * cand, *off[cand]);
        }
    }
    // Contradictions and the two sides of one candidate.
    if (dynamic) {
        for (int cand : cands) {
            for (bool assumeOn : {true, false}) {
                const CImplications& imp = assumeOn ? *on[cand] : *off[cand];
                if (!imp.contradiction) continue;
                CConclusion c;
                c.node = 2 * cand + (assumeOn ? 0 : 1);
                c.complexity = Complexity(ctx, imp, imp.conflict);
                c.technique = dynamicTechnique;
                c.rating = dynamicBase + ChainLengthBonus(c.complexity);
                c.pattern = {CandOf(2 * cand)};
                if (offer(std::move(c))) return best;
            }
        }
        for (int cand : cands) {
            const CImplications &a = *on[cand], &b = *off[cand];
            if (a.contradiction || b.contradiction) continue;
            const std::bitset<kNodeCount> both = a.set & b.set;
            if (both.none()) continue;
            for (int node = 0; node < kNodeCount; ++node) {
                if (!both[node] || !Useful(ctx.grid, node)) continue;
                CConclusion c;
                c.node = node;
                c.complexity = Complexity(ctx, a, {node}) + Complexity(ctx, b, {node});
                c.technique = dynamicTechnique;
                c.rating = dynamicBase + ChainLengthBonus(c.complexity);
                c.pattern = {CandOf(2 * cand)};
                if (offer(std::move(c))) return best;
            }
        }
    }
    // Every candidate of a cell, every place of a digit in a unit.
    auto agree = [&](const std::vector<int>& group, bool cellGroup) {
        std::bitset<kNodeCount> common;
        common.set();
        for (int cand : group) {
            if (on[cand]->contradiction) return false;
            common &= on[cand]->set;
        }
        if (common.none()) return false;
        for (int node = 0; node < kNodeCount; ++node) {
            if (!common[node] || !Useful(ctx.grid, node)) continue;
            bool isStart = false;
            for (int cand : group) isStart |= node / 2 == cand;
            if (isStart) continue;
            CConclusion c;
            c.node = node;
            for (int cand : group) c.complexity += Complexity(ctx, *on[cand], {node});
            if (dynamic) {
                c.technique = dynamicTechnique;
                c.rating = dynamicBase + ChainLengthBonus(c.complexity);
            } else {
                c.technique =
                    cellGroup ? CTechnique::kCellForcingChain : CTechnique::kRegionForcingChain;
                c.rating = BaseRating(c.technique) + ChainLengthBonus(c.complexity);
            }
            for (int cand : group) c.pattern.push_back(CandOf(2 * cand));
            if (offer(std::move(c))) return true;
        }
        return false;
    };
    std::vector<int> group;
    for (int cell = 0; cell < kCellCount; ++cell) {
        if (Count(ctx.grid.masks[cell]) < 2) continue;
        group.clear();
        for (unsigned m = ctx.grid.masks[cell]; m != 0; m &= m - 1) {
            group.push_back(9 * cell + LowestBit(m) - 1);
        }
        if (agree(group, true)) return best;
    }
    for (int u = 0; u < kUnitCount; ++u) {
        for (int d = 1; d <= 9; ++d) {
            if (Count(ctx.up.pos[u][d]) < 2) continue;
            group.clear();
            for (unsigned p = ctx.up.pos[u][d]; p != 0; p &= p - 1) {
                group.push_back(9 * kUnitCells[u][LowestBit(p)] + d - 1);
            }
            if (agree(group, false)) return best;
        }
    }
    return best;
}

CStep StepOf(const CConclusion& c) {
    CStep step = MakeStep(c.technique);
    step.rating = c.rating;
    step.pattern = c.pattern;
    for (const CCandidate& p : c.pattern) {
        if (std::find(step.cells.begin(), step.cells.end(), p.cell) == step.cells.end()) {
            step.cells.push_back(p.cell);
        }
    }
    (IsOn(c.node) ? step.placements : step.eliminations).push_back(CandOf(c.node));
    return step;
}

// The rungs from X-chains up to nesting `maxLevel` deep; the first rung that finds
// anything gives its easiest conclusion (or, with `firstOnly`, its first).
std::optional<CConclusion> ChainRungs(const CContext& ctx, int maxLevel, bool firstOnly,
                                      bool withNishio) {
    if (auto c = UnaryChains(ctx, firstOnly)) return c;
    if (withNishio) {
        if (auto c = Nishio(ctx)) return c;
    }
    if (auto c = MultipleChains(ctx, CMode::kStatic, 0, firstOnly)) return c;
    for (int level = 0; level <= maxLevel; ++level) {
        if (ctx.stop.stop_requested()) return std::nullopt;
        if (auto c = MultipleChains(ctx, CMode::kDynamic, level, firstOnly)) return c;
    }
    return std::nullopt;
}

bool CPropagator::Nest() {
    // The grid as assumed: every node on is a placed digit.
    CCandidateGrid assumed = m_ctx.grid;
    for (int cell = 0; cell < kCellCount; ++cell) {
        if (assumed.values[cell] != 0) continue;
        assumed.masks[cell] = m_masks[cell];
        for (unsigned m = m_masks[cell]; m != 0; m &= m - 1) {
            if (Known(NodeOf(cell, LowestBit(m), true))) {
                assumed.values[cell] = uint8_t(LowestBit(m));
                assumed.masks[cell] = 0;
                break;
            }
        }
    }
    std::optional<CStep> step = FindBasicStepUpTo(assumed, CTechnique::kXYZWing);
    int weight = 1;
    if (!step && m_level >= 2) {
        const CContext inner(assumed, m_ctx.stop);
        std::optional<CConclusion> c;
        if (m_level == 2) {
            c = UnaryChains(inner, true);
        } else if (m_level == 3) {
            c = UnaryChains(inner, true);
            if (!c) c = MultipleChains(inner, CMode::kStatic, 0, true);
        } else {
            c = ChainRungs(inner, m_level - 4, true, false);
        }
        if (c) {
            step = StepOf(*c);
            weight = c->complexity;
        }
    }
    if (!step) return false;
    m_out->nestedWeight += weight;
    const size_t before = m_queue.size();
    for (const CCandidate& p : step->placements)
        Set(NodeOf(p.cell, p.digit, true), CCause::kNested, 0);
    for (const CCandidate& e : step->eliminations)
        Set(NodeOf(e.cell, e.digit, false), CCause::kNested, 0);
    return m_queue.size() > before || m_out->contradiction;
}

}  // namespace

std::optional<CStep> FindChainStep(const CCandidateGrid& grid, std::stop_token stop) {
    const CContext ctx(grid, stop);
    if (auto c = ChainRungs(ctx, 0, false, true)) return StepOf(*c);
    // Deeper nesting always ends on a grid with one solution; on any other grid it may never
    // find a step, so it runs only once the candidates are known to allow exactly one.
    if (CountCandidateSolutions(grid) != 1) return std::nullopt;
    for (int level = 1;; ++level) {
        if (stop.stop_requested()) return std::nullopt;
        if (auto c = MultipleChains(ctx, CMode::kDynamic, level, false)) return StepOf(*c);
    }
}

}  // namespace logic
