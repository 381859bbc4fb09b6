// Forcing chains that read many assumptions: each assumption's contradiction, the two sides
// of a candidate agreeing, every candidate of a cell or every place of a digit in a unit
// agreeing. What each assumption implies is kept as a bit set only; the few assumptions a
// conclusion rests on are followed again to count its chain.
#include "multiple_chains.h"

#include "propagation.h"
#include "static_closure.h"
#include "static_links.h"

namespace logic {

std::optional<CConclusion> MultipleChains(const CContext& ctx, CMode mode, int level,
                                          std::vector<CConclusion>* all) {
    const std::vector<int> cands = Candidates(ctx.grid);
    const bool dynamic = mode != CMode::kStatic;
    // Indexed by candidate; only the grid's candidates are filled in.
    std::vector<CBoards> onStore(dynamic ? cands.size() : 0), offStore(onStore.size());
    // A candidate off is its only alternative on, where it has one (the other candidate of
    // its cell, the other place of its digit in a unit): the first singles make the two
    // assumptions one grid, so they end alike. That saved 9 % of the instructions on every
    // 30th puzzle of top1465.
    std::vector<int> offAlias(offStore.size(), -1);  // the alternative's index, or -1
    std::array<int16_t, kCandCount> index;
    for (size_t i = 0; i < cands.size(); ++i) index[cands[i]] = int16_t(i);
    auto on = [&](int cand) -> CBoards& { return onStore[index[cand]]; };
    auto off = [&](int cand) -> CBoards& {
        const int i = index[cand];
        return offAlias[i] >= 0 ? onStore[offAlias[i]] : offStore[i];
    };
    const CTechnique dynamicTechnique =
        level > 0 ? CTechnique::kNestedForcingChain : CTechnique::kDynamicForcingChain;
    const int dynamicBase =
        level > 0 ? BaseRating(CTechnique::kNestedForcingChain) + 5 * (level - 1)
                  : BaseRating(CTechnique::kDynamicForcingChain);
    // A conclusion's chain length counts every nested step its assumptions used, so an
    // assumption whose nested steps are already long enough to make it harder than a
    // conclusion in hand need not be followed further, and the conclusions resting on it
    // cannot be the easiest. Where the rung looks for its easiest conclusion, the
    // assumptions are first followed only while their nested steps stay short; the easiest
    // conclusion of those bounds how far the others are followed after. That took a puzzle
    // rated 11.5, whose hardest steps nest four deep, from 23.8 G instructions to 21.4 G;
    // where the easiest conclusion needs long nested steps (a rung finding nothing, or one
    // valued 1.5 above its base), the assumptions cut short are followed again from the
    // start, which costs less than 1 %.
    const bool bounded = dynamic && level > 0 && !all;
    std::optional<CFastPropagator> fast;
    // Follows again the assumptions cut short whose conclusions could still be valued
    // `ceiling` or less, now to `limit`; how many, or -1 when stopped.
    auto follow = [&](int limit, int ceiling) {
        int followed = 0;
        for (size_t i = 0; i < cands.size(); ++i) {
            for (bool isOn : {true, false}) {
                if (!isOn && offAlias[i] >= 0) continue;
                CBoards& boards = isOn ? onStore[i] : offStore[i];
                if (!boards.cut || dynamicBase + ChainLengthBonus(boards.weight) > ceiling) {
                    continue;
                }
                if (ctx.stop.stop_requested()) return -1;
                fast->Run(2 * cands[i] + (isOn ? 1 : 0), boards, limit);
                ++followed;
            }
        }
        return followed;
    };
    if (dynamic) {
        fast.emplace(ctx, level);
        for (size_t i = 0; i < cands.size(); ++i) {
            const int alternative = OnlyAlternative(ctx, cands[i]);
            if (alternative >= 0) offAlias[i] = index[alternative];
        }
        // Not followed yet.
        for (CBoards& boards : onStore) boards.cut = true;
        for (CBoards& boards : offStore) boards.cut = true;
        if (follow(bounded ? LongestWithBonus(kFirstBonus) : INT_MAX, INT_MAX) < 0) {
            return std::nullopt;
        }
    }
    // The closure holds everything each static assumption reaches: a few hundred rows of
    // bits, where following each assumption cost some ten times more. A group's assumptions
    // agree on the AND of their rows: made into boards first, row by row, the rows took a
    // puzzle rated 11.5, whose nested chains look for cell and region forcing chains on
    // thousands of grids, to 7.2 G instructions instead of 6.2 G.
    CStaticClosure* closure = dynamic ? nullptr : &AllLinksClosure(ctx, cands);
    if (closure) closure->CompleteRows();
    // The chains behind a conclusion, followed again with their causes once per assumption,
    // each only as far as a conclusion asks: until the node it counts is set, and only while
    // that node could still make it easier than the best (see `depthBelow`). Following each
    // to its end, the agreements' chains took 177 M instructions of the 5.0-9.0 sample's
    // 3.55 G; so, 120 M (3.47 G in all).
    struct CFollowed {
        explicit CFollowed(const CPropagator& p) : prop(p) {}
        CImplications imp;
        CPropagator prop;
    };
    const CPropagator prop(ctx, mode, level);
    std::vector<std::unique_ptr<CFollowed>> followed(2 * cands.size());
    // The implications of `node` once `target` is set, or nullptr where the nodes left to
    // expand are `depth` links from it or more; followed to the end with no target.
    auto withCauses = [&](int node, int target = -1, int depth = INT_MAX) -> const CImplications* {
        // A nested chain's length counts every nested step its assumption used, to the end.
        if (level > 0) target = -1;
        std::unique_ptr<CFollowed>& slot = followed[2 * index[node / 2] + (node & 1)];
        if (!slot) {
            slot = std::make_unique<CFollowed>(prop);
            slot->prop.Start(node, slot->imp);
        }
        if (!slot->prop.Continue(target, depth) && (target < 0 || !slot->imp.set[target])) {
            return nullptr;
        }
        return &slot->imp;
    };
    // The nodes of the chain from `start` to `node`, or -1 where it is longer than `depth`
    // links. Static chains from their waves: with those counted along causes too, the
    // agreements' chains took 95 M instructions of the 5.0-9.0 sample; so, 74 M (3.38 G ->
    // 3.34 G in all).
    std::unique_ptr<CFastStatic> fastStatic;
    std::vector<std::unique_ptr<CStaticWaves>> waves(dynamic ? 0 : 2 * cands.size());
    auto chainTo = [&](int start, int node, int depth) {
        if (!dynamic) {
            if (!fastStatic) fastStatic = std::make_unique<CFastStatic>(ctx);
            std::unique_ptr<CStaticWaves>& slot = waves[2 * index[start / 2] + (start & 1)];
            if (!slot) slot = std::make_unique<CStaticWaves>(*fastStatic, start);
            return slot->ChainTo(node, depth);
        }
        const CImplications* imp = withCauses(start, node, depth);
        return imp ? Complexity(ctx, *imp, {node}) : -1;
    };
    // Calls `f(node)` for each node of `boards` that changes the grid, until it says stop.
    auto forEach = [&](const CBoards& boards, auto&& f) {
        for (int d = 1; d <= 9; ++d) {
            for (bool isOn : {true, false}) {
                for (Bits b = isOn ? boards.on[d] : boards.off[d]; b != 0; b &= b - 1) {
                    const int node = NodeOf(LowestCell(b), d, isOn);
                    if (Useful(ctx.grid, node) && f(node)) return true;
                }
            }
        }
        return false;
    };
    // Every conclusion from the assumptions followed to their end, the easiest kept.
    auto conclude = [&]() -> std::optional<CConclusion> {
        std::optional<CConclusion> best;
        // With `all`, every conclusion is collected, its chains left uncounted.
        auto offer = [&](CConclusion c) {
            if (all) {
                all->push_back(std::move(c));
                return false;
            }
            Offer(best, std::move(c));
            return false;
        };
        // Whether a conclusion of `base` whose chains are already `partial` long can no
        // longer be easier than the best so far: its length only grows with the chains still
        // to count, which then need not be followed. Counting every chain of every cell and
        // region conclusion was 10 % of the 5.0-9.0 sample's instructions.
        auto hopeless = [&](int base, int partial) {
            if (!best) return false;
            const int rating = base + ChainLengthBonus(partial);
            return rating > best->rating || (rating == best->rating && partial >= best->complexity);
        };
        // The depth from which the nodes an assumption expands lead only to chains that make
        // a conclusion of `base`, with `partial` nodes counted apart from them, hopeless: a
        // node n links from its assumption has n + 1 ancestors or more (its cause has one a
        // link nearer), and the nodes from expanding it are a link further. Nested chains'
        // nodes have no ancestors, so no depth there.
        struct {
            int base = -1, rating = 0, complexity = 0, fewest = 0;
        } cached;
        auto depthBelow = [&](int base, int partial) {
            if (!best || level > 0) return INT_MAX;
            if (cached.base != base || cached.rating != best->rating ||
                cached.complexity != best->complexity) {
                cached = {base, best->rating, best->complexity, 1};
                while (cached.fewest <= kNodeCount && !hopeless(base, cached.fewest)) {
                    ++cached.fewest;
                }
            }
            return cached.fewest > kNodeCount ? INT_MAX : cached.fewest - partial - 1;
        };
        auto value = [&](CConclusion& c, CTechnique staticTechnique) {
            c.technique = dynamic ? dynamicTechnique : staticTechnique;
            c.rating = (dynamic ? dynamicBase : BaseRating(staticTechnique)) +
                       ChainLengthBonus(c.complexity);
        };
        if (dynamic) {
            for (int cand : cands) {
                for (bool assumeOn : {true, false}) {
                    const CBoards& boards = assumeOn ? on(cand) : off(cand);
                    if (boards.cut || !boards.contradiction) continue;
                    CConclusion c;
                    c.node = 2 * cand + (assumeOn ? 0 : 1);
                    if (!all) {
                        // A contradiction found expanding a node counts that node's ancestors.
                        // Its chains branch, so they count many more nodes than links: the
                        // bound saved only 8 M instructions on the 5.0-9.0 sample.
                        const CImplications* imp = withCauses(2 * cand + (assumeOn ? 1 : 0), -1,
                                                              depthBelow(dynamicBase, 0));
                        if (!imp) continue;
                        c.complexity = Complexity(ctx, *imp, imp->conflict);
                    }
                    value(c, dynamicTechnique);
                    c.pattern = {CandOf(2 * cand)};
                    if (offer(std::move(c))) return best;
                }
            }
            for (int cand : cands) {
                if (on(cand).cut || off(cand).cut || on(cand).contradiction ||
                    off(cand).contradiction) {
                    continue;
                }
                CBoards both;
                for (int d = 1; d <= 9; ++d) {
                    both.on[d] = on(cand).on[d] & off(cand).on[d];
                    both.off[d] = on(cand).off[d] & off(cand).off[d];
                }
                if (forEach(both, [&](int node) {
                        CConclusion c;
                        c.node = node;
                        if (!all) {
                            c.complexity = chainTo(2 * cand + 1, node, depthBelow(dynamicBase, 3));
                            if (c.complexity < 0) return false;
                            if (hopeless(dynamicBase, c.complexity + 2)) return false;
                            const int other =
                                chainTo(2 * cand, node, depthBelow(dynamicBase, c.complexity + 1));
                            if (other < 0) return false;
                            c.complexity += other;
                        }
                        value(c, dynamicTechnique);
                        c.pattern = {CandOf(2 * cand)};
                        return offer(std::move(c));
                    })) {
                    return best;
                }
            }
        }
        // Every candidate of a cell, every place of a digit in a unit.
        std::vector<uint64_t> commonRow(closure ? size_t(closure->Words()) : 0);
        std::vector<int> commonNodes;
        // Calls `f(node)` for each node every assumption of the group reaches that changes
        // the grid, in forEach's order, until it says stop; false at once when one of them
        // reaches its own opposite.
        auto forCommon = [&](const std::vector<int>& group, auto&& f) {
            if (!closure) {
                CBoards common;
                common.on.fill(~Bits(0));
                common.off.fill(~Bits(0));
                for (int cand : group) {
                    if (on(cand).cut || on(cand).contradiction) return false;
                    for (int d = 1; d <= 9; ++d) {
                        common.on[d] &= on(cand).on[d];
                        common.off[d] &= on(cand).off[d];
                    }
                }
                return forEach(common, f);
            }
            std::fill(commonRow.begin(), commonRow.end(), ~uint64_t(0));
            for (int cand : group) {
                const int local = 2 * index[cand] + 1;
                if (closure->ReachesOpposite(local)) return false;
                const uint64_t* row = closure->Row(local);
                uint64_t any = 0;
                for (size_t i = 0; i < commonRow.size(); ++i) any |= commonRow[i] &= row[i];
                // Nothing in common stays nothing: the rest of the group need not be read.
                if (any == 0) return false;
            }
            // By digit, on before off, by cell, as forEach goes.
            commonNodes.clear();
            for (size_t i = 0; i < commonRow.size(); ++i) {
                for (uint64_t bits = commonRow[i]; bits != 0; bits &= bits - 1) {
                    const int local = 64 * int(i) + std::countr_zero(bits);
                    const int cand = cands[local / 2];
                    const int d = cand % 9 + 1, isOn = local & 1;
                    commonNodes.push_back((2 * d + 1 - isOn) * kCellCount + cand / 9);
                }
            }
            std::sort(commonNodes.begin(), commonNodes.end());
            for (int key : commonNodes) {
                const int node =
                    NodeOf(key % kCellCount, key / kCellCount / 2, key / kCellCount % 2 == 0);
                if (Useful(ctx.grid, node) && f(node)) return true;
            }
            return false;
        };
        auto agree = [&](const std::vector<int>& group, CTechnique staticTechnique) {
            return forCommon(group, [&](int node) {
                CConclusion c;
                c.node = node;
                if (!all) {
                    const int base = dynamic ? dynamicBase : BaseRating(staticTechnique);
                    // Each chain counts at least its assumption and the conclusion.
                    int left = 2 * int(group.size());
                    if (hopeless(base, left)) return false;
                    for (int cand : group) {
                        left -= 2;
                        const int nodes =
                            chainTo(2 * cand + 1, node, depthBelow(base, c.complexity + left + 1));
                        if (nodes < 0) return false;
                        c.complexity += nodes;
                        if (hopeless(base, c.complexity + left)) return false;
                    }
                }
                value(c, staticTechnique);
                for (int cand : group) c.pattern.push_back(CandOf(2 * cand));
                return offer(std::move(c));
            });
        };
        std::vector<int> group;
        for (int cell = 0; cell < kCellCount; ++cell) {
            if (Count(ctx.grid.masks[cell]) < 2) continue;
            group.clear();
            for (unsigned m = ctx.grid.masks[cell]; m != 0; m &= m - 1) {
                group.push_back(9 * cell + std::countr_zero(m) - 1);
            }
            if (agree(group, CTechnique::kCellForcingChain)) return best;
        }
        for (int u = 0; u < kUnitCount; ++u) {
            for (int d = 1; d <= 9; ++d) {
                if (Count(ctx.up.pos[u][d]) < 2) continue;
                group.clear();
                for (unsigned p = ctx.up.pos[u][d]; p != 0; p &= p - 1) {
                    group.push_back(9 * kUnitCells[u][std::countr_zero(p)] + d - 1);
                }
                if (agree(group, CTechnique::kRegionForcingChain)) return best;
            }
        }
        return best;
    };
    std::optional<CConclusion> found = conclude();
    if (bounded) {
        const int ceiling = found ? found->rating : INT_MAX;
        const int more = follow(found ? LongestWithBonus(ceiling - dynamicBase) : INT_MAX, ceiling);
        if (more < 0) return std::nullopt;
        if (more > 0) found = conclude();
    }
    return found;
}

}  // namespace logic
