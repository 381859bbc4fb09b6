// The chains of one assumption that comes back to its own opposite: along the static links,
// X-chains (one digit) and forcing chains; following one digit alone, nishio.
#include "propagation.h"
#include "static_closure.h"
#include "static_links.h"

namespace logic {

namespace {

// X-chains and forcing chains: an assumption that, along strong and weak links in turn,
// comes back to its own opposite. X-chains (one digit, cheap to follow) are looked for
// first; then each chain found bounds how far the others need to be followed.
std::optional<CConclusion> UnaryChains(const CContext& ctx, CPathMemo* pathMemo, int slot) {
    std::optional<CConclusion> best;
    // Only where a CStaticClosure stands in for CStrongReach, and made at the first
    // assumption that reaches its opposite: most grids never need its tables.
    std::unique_ptr<CFastStatic> fast;
    CBoards fastBoards;
    const std::vector<int> cands = Candidates(ctx.grid);
    const std::array<CCells, 10> digitCells = DigitCandidates(ctx.up);
    // After `fast` reached the opposite of `start`. A static node has one cause, a link
    // nearer its assumption, so the chain to the opposite counts a node for each wave and
    // the assumption, without following it again with causes.
    auto conclude = [&](int start, CLinks links, int waves) {
        const int target = start ^ 1;
        CConclusion c;
        c.node = target;
        c.complexity = waves + 1;
        c.technique = links == kXLinks ? CTechnique::kXChain : CTechnique::kForcingChain;
        c.rating = (links == kAllLinks ? BaseRating(CTechnique::kForcingChain)
                                       : BaseRating(CTechnique::kXChain)) +
                   ChainLengthBonus(c.complexity);
        c.pattern = {CandOf(start)};
        Offer(best, std::move(c));
    };
    // The links a chain may still have and be easier than the best so far.
    auto bound = [&](int base) {
        if (!best) return int(kNodeCount);
        int nodes = 2;
        while (nodes < kNodeCount && base + ChainLengthBonus(nodes + 1) < best->rating) ++nodes;
        return nodes - 1;
    };
    // X-chains first: one kind of link only, cheaper to follow and easier. (Chains of
    // Y-links alone are not looked for apart: as the rated collections have it, the scale
    // values the chains of two-candidate cells that a Y-only pass would find as mixed ones.)
    for (CLinks links : {kXLinks, kAllLinks}) {
        const int base = links == kAllLinks ? BaseRating(CTechnique::kForcingChain)
                                            : BaseRating(CTechnique::kXChain);
        // No chain of one link comes back to its opposite, so a bound of one link ends
        // the pass: after an X-chain, the forcing chains are mostly not followed at all.
        int waves = bound(base);
        if (waves <= 1) continue;
        // X-links join only candidates of one digit, so a digit's X-chains read its own
        // candidates alone: along the path, a digit that had none, with the same candidates,
        // has none still and stays out of the closure.
        std::vector<int> xCands;
        std::array<Bits, 10> boards{};  // the candidates tried, by digit
        for (int d = 1; d <= 9; ++d) {
            if (links == kXLinks && pathMemo && pathMemo->FoundNothing(slot, d, digitCells[d]))
                continue;
            boards[d] = Bits(digitCells[d].lo) | Bits(digitCells[d].hi) << 64;
        }
        if (links == kXLinks) {
            if (pathMemo) {
                for (int cand : cands) {
                    if (boards[cand % 9 + 1] != 0) xCands.push_back(cand);
                }
            } else {
                xCands = cands;
            }
        }
        const std::vector<int>& tried = links == kXLinks ? xCands : cands;
        const CStrongReach reach(ctx, boards, links);
        std::optional<CStaticClosure> xClosure;
        const CStaticClosure* closure = nullptr;
        if (!reach.Fits()) {
            closure = links == kXLinks ? &xClosure.emplace(ctx, tried, links)
                                       : &AllLinksClosure(ctx, cands);
        }
        // Bit 0: the i-th's node off reaches its opposite; bit 1: its node on. Kept where the
        // memo asks for them all first, so that the walk below need not ask again.
        std::vector<uint8_t> asked;
        auto opposites = [&](size_t i) -> unsigned {
            if (!asked.empty()) return asked[i];
            if (!closure) return reach.Opposites(tried[i]);
            return (closure->ReachesOpposite(2 * int(i)) ? 1 : 0) |
                   (closure->ReachesOpposite(2 * int(i) + 1) ? 2 : 0);
        };
        if (pathMemo && links == kXLinks) {
            unsigned chained = 0;  // the digits with an assumption that reaches its opposite
            std::vector<uint8_t> all(tried.size());
            for (size_t i = 0; i < tried.size(); ++i) {
                all[i] = uint8_t(opposites(i));
                if (all[i] != 0) chained |= 1u << (tried[i] % 9 + 1);
            }
            asked = std::move(all);
            for (int d = 1; d <= 9; ++d) {
                if ((chained >> d & 1) == 0) pathMemo->NoteNothing(slot, d, digitCells[d]);
            }
        }
        for (size_t i = 0; i < tried.size() && waves > 1; ++i) {
            if (ctx.stop.stop_requested()) return std::nullopt;
            const unsigned found = opposites(i);
            if (found == 0) continue;
            for (bool on : {true, false}) {
                if ((found >> (on ? 1 : 0) & 1) == 0) continue;
                const int start = 2 * tried[i] + (on ? 1 : 0);
                int length = -1;
                if (closure) {
                    if (!fast) fast = std::make_unique<CFastStatic>(ctx);
                    if (fast->Run(start, fastBoards, waves, links)) length = fast->Waves();
                } else {
                    length = reach.WavesTo(tried[i], on, waves);
                }
                if (length < 0) continue;
                conclude(start, links, length);
                waves = bound(base);
            }
        }
    }
    return best;
}

// Whether `d` placed in `cell`, followed on its own board (a unit left with one place of
// d takes it), leaves a unit without a place for d or two placements that see each other:
// the same closure as CPropagator's nishio mode, which then follows only the few that
// contradict to count their chains.
bool NishioContradicts(const CContext& ctx, Bits board, int cell, int d) {
    // Only a unit that lost a place can have been left with one or none, so the units are
    // looked at as they lose one instead of all 27 again after each placement.
    Bits placed = CellBit(cell), left = board | CellBit(cell);
    uint32_t pending = 0;
    auto place = [&](int at) {
        ForEachCell(left & kPeerBits[at], [&](int c) { pending |= kCellUnitSet[c]; });
        left &= ~kPeerBits[at];
    };
    place(cell);
    while (pending != 0) {
        const int u = std::countr_zero(pending);
        pending &= pending - 1;
        if ((ctx.up.placed[u] >> d & 1) != 0) continue;
        const Bits places = left & kUnitBits[u];
        if (places == 0) return true;
        if (!Single(places) || (places & placed) != 0) continue;
        const int other = LowestCell(places);
        if ((kPeerBits[other] & placed) != 0) return true;
        placed |= places;
        place(other);
    }
    return false;
}

// Nishio: a digit assumed in a cell that, following that digit alone, leaves a unit
// without a place for it.
std::optional<CConclusion> Nishio(const CContext& ctx, CPathMemo* pathMemo, int slot) {
    std::optional<CConclusion> best;
    // A digit's nishio reads that digit's candidates alone (and where it is placed, which
    // along a path changes only with them): along the path, a digit that contradicted
    // nowhere, with the same candidates, contradicts nowhere still.
    std::array<CCells, 10> digitCells;
    unsigned skipped = 0, found = 0;
    if (pathMemo) {
        digitCells = DigitCandidates(ctx.up);
        for (int d = 1; d <= 9; ++d) {
            if (pathMemo->FoundNothing(slot, d, digitCells[d])) skipped |= 1u << d;
        }
    }
    CPropagator prop(ctx, CMode::kNishio, 0);
    auto imp = std::make_unique<CImplications>();
    std::array<Bits, 10> boards{};
    for (int cell = 0; cell < kCellCount; ++cell) {
        for (unsigned m = ctx.grid.masks[cell]; m != 0; m &= m - 1) {
            boards[std::countr_zero(m)] |= CellBit(cell);
        }
    }
    for (int cand : Candidates(ctx.grid)) {
        if (ctx.stop.stop_requested()) return std::nullopt;
        const int start = 2 * cand + 1;
        if ((skipped >> (cand % 9 + 1) & 1) != 0) continue;
        if (!NishioContradicts(ctx, boards[cand % 9 + 1], cand / 9, cand % 9 + 1)) continue;
        prop.Run(start, *imp);
        if (!imp->contradiction) continue;
        found |= 1u << (cand % 9 + 1);
        CConclusion c;
        c.node = start ^ 1;
        c.complexity = Complexity(ctx, *imp, imp->conflict);
        c.technique = CTechnique::kNishio;
        c.rating = BaseRating(c.technique) + ChainLengthBonus(c.complexity);
        c.pattern = {CandOf(start)};
        Offer(best, std::move(c));
    }
    if (pathMemo) {
        for (int d = 1; d <= 9; ++d) {
            if (((skipped | found) >> d & 1) == 0) pathMemo->NoteNothing(slot, d, digitCells[d]);
        }
    }
    return best;
}

// The links of the chain by which the assumption of `c` (its pattern's candidate) reaches
// its opposite or a contradiction, followed again with causes along the links `links`.
void FindLinks(const CContext& ctx, CConclusion& c, CMode mode, CLinks links) {
    const int start = c.node ^ 1;
    CPropagator prop(ctx, mode, 0, links);
    auto imp = std::make_unique<CImplications>();
    prop.Run(start, *imp);
    AppendLinks(ctx, *imp, mode == CMode::kStatic ? std::vector<int>{c.node} : imp->conflict,
                c.links);
}

}  // namespace

std::optional<CStep> FindOneAssumptionChain(CFindContext& ctx) {
    const CContext& chains = ChainContext(ctx);
    std::optional<CConclusion> c = UnaryChains(chains, ctx.memo, ctx.slot);
    if (!c) return std::nullopt;
    if (ctx.links) {
        FindLinks(chains, *c, CMode::kStatic,
                  c->technique == CTechnique::kXChain ? kXLinks : kAllLinks);
    }
    return StepOf(*c);
}

std::optional<CStep> FindNishio(CFindContext& ctx) {
    const CContext& chains = ChainContext(ctx);
    std::optional<CConclusion> c = Nishio(chains, ctx.memo, ctx.slot);
    if (!c) return std::nullopt;
    if (ctx.links) FindLinks(chains, *c, CMode::kNishio, kAllLinks);
    return StepOf(*c);
}

}  // namespace logic
