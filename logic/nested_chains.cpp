// The chains that nest: where a dynamic chain stalls on the grid it assumes, the easier
// techniques run there, and the deeper the nesting the harder they may be. Here too the
// chains' context of a grid is made, and the rows of the cell and region, dynamic and nested
// forcing chains are found.
#include <bitset>

#include "multiple_chains.h"
#include "nested_memo.h"
#include "static_closure.h"
#include "static_links.h"

namespace logic {

namespace {

// What one stage of the easier techniques finds on an assumed grid, with the chain length it
// adds: stage 0 the techniques up to the XYZ-wing, 1 forcing chains, 2 cell and region forcing
// chains, 3 + k dynamic chains nesting k deep. Each depends on the grid alone, not on how deep
// the chain that asks is nested.
CNestedResult BasicStage(const CContext& ctx, const CCandidateGrid& grid) {
    if (std::optional<CStep> step = ctx.easier(grid)) return std::pair{std::move(*step), 1};
    return std::nullopt;
}

CNestedResult NestedStage(const CContext& inner, int stage) {
    // Every forcing chain at once: each holds on the assumed grid by itself, and one pass
    // over all assumptions costs what finding the first does.
    if (stage == 1) {
        auto fast = std::make_unique<CFastStatic>(inner);
        CBoards boards;
        CStep step = MakeStep(CTechnique::kForcingChain);
        int weight = 0;
        const std::vector<int> cands = Candidates(inner.grid);
        const CStaticClosure& closure = AllLinksClosure(inner, cands);
        for (size_t i = 0; i < cands.size(); ++i) {
            const int cand = cands[i];
            for (bool on : {true, false}) {
                const int local = 2 * int(i) + (on ? 1 : 0);
                if (!closure.ReachesOpposite(local)) continue;
                if (!fast->Run(2 * cand + (on ? 1 : 0), boards)) continue;
                (on ? step.eliminations : step.placements).push_back(CandOf(2 * cand));
                weight += fast->Waves() + 1;
            }
        }
        if (step.eliminations.empty() && step.placements.empty()) return std::nullopt;
        return std::pair{std::move(step), weight};
    }
    // Then every conclusion of the rung, the same way.
    std::vector<CConclusion> found;
    if (stage == 2) {
        MultipleChains(inner, CMode::kStatic, 0, false, &found);
    } else {
        MultipleChains(inner, CMode::kDynamic, stage - 3, false, &found);
    }
    if (found.empty()) return std::nullopt;
    CStep step = MakeStep(CTechnique::kCellForcingChain);
    int weight = 0;
    std::bitset<kNodeCount> seen;
    for (const CConclusion& c : found) {
        if (seen[c.node]) continue;
        seen[c.node] = true;
        (IsOn(c.node) ? step.placements : step.eliminations).push_back(CandOf(c.node));
        weight += int(c.pattern.size()) + 1;
    }
    return std::pair{std::move(step), weight};
}

// What the easier techniques find on an assumed grid for nesting `level` deep: the first
// stage that finds anything, basic techniques first, then chains as deep as the level
// allows. Each stage's answer is remembered by grid, so the levels FindNestedForcingChain
// climbs one after another share it: level 3 walks through the grids level 2 stalled on.
const CNestedResult& MemoNestedStep(const CContext& ctx, const CCandidateGrid& assumed, int level) {
    static const CNestedResult kNone;
    const int last = level < 2 ? 0 : level < 3 ? 1 : level - 1;
    std::optional<CContext> inner;
    for (int stage = 0; stage <= last; ++stage) {
        const CNestedResult* found = ctx.memo->Find(assumed, stage);
        if (!found) {
            // The basic techniques need no context, whose unit positions would be built for
            // every grid.
            if (!inner && stage > 0) {
                inner.emplace(assumed, ctx.stop, ctx.memo, ctx.nest, ctx.easier);
                if (stage == 2) inner->closure = ctx.memo->TakeClosure(assumed);
            }
            CNestedResult result =
                stage == 0 ? BasicStage(ctx, assumed) : NestedStage(*inner, stage);
            // A search cut short by a stop proves nothing; the caller is stopping anyway.
            if (ctx.stop.stop_requested()) return kNone;
            found = &ctx.memo->Store(assumed, stage, std::move(result));
            if (stage == 1 && last == 1 && !*found) ctx.memo->KeepClosure(assumed, inner->closure);
        }
        if (*found) return *found;
    }
    return kNone;
}

}  // namespace

// The memo of a whole path: its steps only remove candidates, so a grid the nested chains
// assume at one step may be assumed again at a later one.
struct CChainMemory {
    CNestedMemo memo;
};

std::shared_ptr<CChainMemory> NewChainMemory() {
    return std::make_shared<CChainMemory>();
}

// The chains' context of one grid, with the nested memo of the grid when the path keeps none.
struct CChainState {
    std::optional<CNestedMemo> local;
    std::optional<CContext> context;
};

const CContext& ChainContext(CFindContext& ctx) {
    if (!ctx.chains) {
        ctx.chains = {new CChainState, [](CChainState* state) { delete state; }};
        CNestedMemo* memo = ctx.chainMemory ? &ctx.chainMemory->memo : &ctx.chains->local.emplace();
        // Those that no chain on this grid, or on a grid with fewer candidates, can assume
        // are forgotten.
        memo->KeepWithin(ctx.grid);
        ctx.chains->context.emplace(ctx.grid, ctx.stop, memo, &MemoNestedStep, ctx.easier);
    }
    return *ctx.chains->context;
}

std::optional<CStep> FindCellOrRegionForcingChain(CFindContext& ctx) {
    if (auto c = MultipleChains(ChainContext(ctx), CMode::kStatic, 0, ctx.links)) return StepOf(*c);
    return std::nullopt;
}

std::optional<CStep> FindDynamicForcingChain(CFindContext& ctx) {
    if (auto c = MultipleChains(ChainContext(ctx), CMode::kDynamic, 0, ctx.links)) {
        return StepOf(*c);
    }
    return std::nullopt;
}

std::optional<CStep> FindNestedForcingChain(CFindContext& ctx) {
    const CContext& chains = ChainContext(ctx);
    // Deeper nesting always ends on a grid with one solution; on any other grid it may never
    // find a step, so it runs only once the candidates are known to allow exactly one.
    if (CountCandidateSolutions(ctx.grid, ctx.stop).count != 1) return std::nullopt;
    for (int level = 1; level < INT_MAX; ++level) {
        if (ctx.stop.stop_requested()) return std::nullopt;
        if (auto c = MultipleChains(chains, CMode::kDynamic, level, ctx.links)) return StepOf(*c);
    }
    return std::nullopt;
}

}  // namespace logic
