// The chains' shared helpers: the grid's candidates, the only alternative of a candidate, the
// length of a conclusion's chains and what it is worth, and the step it makes.
#include "chain_nodes.h"

namespace logic {

namespace {

// Calls `f(parent)` for each node whose being set set `node`, as its cause says.
template <class F>
void ForEachParent(const CContext& ctx, const CImplications& imp, int node, F&& f) {
    const int cell = CellOf(node), d = DigitOf(node);
    switch (imp.cause[node]) {
        case CCause::kParent:
            f(int(imp.from[node]));
            break;
        case CCause::kCell:
            for (unsigned m = ctx.grid.masks[cell] & ~(1u << d); m != 0; m &= m - 1) {
                f(NodeOf(cell, std::countr_zero(m), false));
            }
            break;
        case CCause::kUnit: {
            const int u = imp.from[node];
            for (unsigned p = ctx.up.pos[u][d]; p != 0; p &= p - 1) {
                const int other = kUnitCells[u][std::countr_zero(p)];
                if (other != cell) f(NodeOf(other, d, false));
            }
            break;
        }
        default:
            break;
    }
}

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
        ForEachParent(ctx, imp, node, [&](int parent) {
            if (imp.set[parent] && !seen[parent]) {
                seen[parent] = true;
                stack.push_back(parent);
            }
        });
    }
    return count;
}

}  // namespace

void AppendLinks(const CContext& ctx, const CImplications& imp, const std::vector<int>& nodes,
                 std::vector<CChainLink>& links) {
    // Depth first, each node's links written once all its parents' are, so that every link
    // comes after those that lead to its start. One assumption's links come once each; only
    // those of an earlier call may be written again.
    const auto earlier = std::ptrdiff_t(links.size());
    std::bitset<kNodeCount> seen;
    std::vector<std::pair<int, bool>> stack;  // a node, and whether its parents are done
    for (auto it = nodes.rbegin(); it != nodes.rend(); ++it) stack.push_back({*it, false});
    while (!stack.empty()) {
        const auto [node, parentsDone] = stack.back();
        stack.pop_back();
        if (!imp.set[node]) continue;
        if (parentsDone) {
            ForEachParent(ctx, imp, node, [&](int parent) {
                if (!imp.set[parent]) return;
                const CChainLink link{EndOf(CellOf(parent), DigitOf(parent)),
                                      EndOf(CellOf(node), DigitOf(node)),
                                      !IsOn(parent) && IsOn(node)};
                if (std::find(links.begin(), links.begin() + earlier, link) ==
                    links.begin() + earlier) {
                    links.push_back(link);
                }
            });
            continue;
        }
        if (seen[node]) continue;
        seen[node] = true;
        stack.push_back({node, true});
        ForEachParent(ctx, imp, node, [&](int parent) {
            if (imp.set[parent] && !seen[parent]) stack.push_back({parent, false});
        });
    }
}

int Complexity(const CContext& ctx, const CImplications& imp, const std::vector<int>& nodes) {
    std::bitset<kNodeCount> seen;
    return Ancestors(ctx, imp, nodes, seen) + imp.nestedWeight;
}

int ChainLengthBonus(int complexity) {
    int bonus = 0;
    int ceiling = 4;
    bool odd = false;
    for (int length = complexity - 2; length > ceiling; odd = !odd) {
        ++bonus;
        ceiling = odd ? ceiling * 4 / 3 : ceiling * 3 / 2;
    }
    return bonus;
}

int LongestWithBonus(int bonus) {
    if (bonus < 0) return -1;
    int ceiling = 4;
    bool odd = false;
    for (int i = 0; i < bonus && ceiling < INT_MAX / 2; ++i, odd = !odd) {
        ceiling = odd ? ceiling * 4 / 3 : ceiling * 3 / 2;
    }
    return ceiling + 2;
}

void Offer(std::optional<CConclusion>& best, CConclusion c) {
    if (!best || c.rating < best->rating ||
        (c.rating == best->rating && c.complexity < best->complexity)) {
        best = std::move(c);
    }
}

// Gathered first and then allocated once.
std::vector<int> Candidates(const CCandidateGrid& grid) {
    std::array<int, kCandCount> cands;
    size_t count = 0;
    for (int cell = 0; cell < kCellCount; ++cell) {
        for (unsigned m = grid.masks[cell]; m != 0; m &= m - 1) {
            cands[count++] = 9 * cell + std::countr_zero(m) - 1;
        }
    }
    return std::vector<int>(cands.begin(), cands.begin() + std::ptrdiff_t(count));
}

int OnlyAlternative(const CContext& ctx, int cand) {
    const int cell = cand / 9, d = cand % 9 + 1;
    const unsigned mask = ctx.grid.masks[cell];
    if (Count(mask) == 2) return 9 * cell + std::countr_zero(mask & ~(1u << d)) - 1;
    const CCellUnits& units = kCellUnits[cell];
    for (int u : {int(units.box), int(units.row), int(units.column)}) {
        const unsigned pos = ctx.up.pos[u][d];
        if (Count(pos) != 2) continue;
        const auto [a, b] = PairCells(u, pos);
        return 9 * (a == cell ? b : a) + d - 1;
    }
    return -1;
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
    step.links = c.links;
    return step;
}

}  // namespace logic
