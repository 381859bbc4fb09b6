// The vocabulary of the chain techniques: a node is a candidate assumed on or off, node =
// 2 * (9 * cell + d - 1) + on, and everything that follows from an assumption is found by
// propagation in one of three modes:
//   - static: off leads to on only along the strong links of the grid as it stands (a cell
//     with two candidates, a digit with two places in a unit): X-chains and forcing chains,
//     cell and region forcing chains;
//   - dynamic: off leads to on whenever the assumed grid leaves a single, so everything an
//     assumption implies is used: nishio (one digit only) and dynamic forcing chains;
//   - nested: dynamic, and when it stalls, easier techniques run on the assumed grid.
// Each node keeps its cause, so a conclusion's chain length is the number of its ancestors.
// A candidate (cand) is 9 * cell + d - 1.
#pragma once

#include <algorithm>
#include <bitset>
#include <climits>
#include <memory>
#include <optional>
#include <stop_token>
#include <utility>
#include <vector>

#include "find_context.h"

namespace logic {

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

// Which links a static chain follows: X-links join a digit's places in a unit, Y-links the
// candidates of a cell. Chains of one kind only are easier than those that mix them.
enum CLinks : uint8_t { kXLinks = 1, kYLinks = 2, kAllLinks = 3 };

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
    // Valid where `set` only: left uninitialised, as clearing them cost more than following.
    std::array<CCause, kNodeCount> cause;
    std::array<uint16_t, kNodeCount> from;
    bool contradiction = false;
    std::vector<int> conflict;  // the nodes whose ancestors prove the contradiction
    int nestedWeight = 0;       // chain lengths of the nested steps used
};

// What follows from one assumption, as the cells each digit is placed in and removed from.
struct CBoards {
    std::array<Bits, 10> on{}, off{};
    bool contradiction = false;
    // Nested propagation only: the chain lengths of the nested steps used, and whether it
    // stopped there, unfinished, once they passed its limit.
    int weight = 0;
    bool cut = false;
};

class CNestedMemo;     // nested_memo.h
class CStaticClosure;  // static_closure.h
struct CContext;

// What the easier techniques found on a grid a nested chain assumed, with the chain length
// they add.
using CNestedResult = std::optional<std::pair<CStep, int>>;

// Runs the easier techniques on a grid that an assumption of nesting `level` leaves; handed to
// the propagation by the nested chains above it (MemoNestedStep).
using CNestHook = const CNestedResult& (*)(const CContext& ctx, const CCandidateGrid& assumed,
                                           int level);

// The grid the chains work on, and the strong links they may follow.
struct CContext {
    const CCandidateGrid& grid;
    CUnitPositions up;
    std::stop_token stop;
    CNestedMemo* memo;  // shared by the contexts of one grid's chains, nested ones included
    CNestHook nest;
    CEasierSteps easier;
    // The closure of all static links, built by the first rung that needs it: the cell and
    // region forcing chains and, on grids CStrongReach cannot hold, the forcing chains.
    mutable std::shared_ptr<CStaticClosure> closure;
    CContext(const CCandidateGrid& g, std::stop_token s, CNestedMemo* m, CNestHook n,
             CEasierSteps e)
        : grid(g), up(g), stop(s), memo(m), nest(n), easier(e) {}
};

// The chains' context for the grid of `ctx`, made by the first chain row that runs and kept
// for the rows after it (nested_chains.cpp).
const CContext& ChainContext(CFindContext& ctx);

// How long the nested steps of the assumptions a rung follows first may grow: a conclusion of
// nested chains valued this far above the rung's base value bounds the others' search.
constexpr int kFirstBonus = 4;

// What a rung concludes, and what it is worth.
struct CConclusion {
    int node = -1;  // the candidate on (placed) or off (eliminated)
    int rating = 0;
    int complexity = 0;
    CTechnique technique = CTechnique::kForcingChain;
    std::vector<CCandidate> pattern;  // the assumptions it starts from
    std::vector<CChainLink> links;    // its chains, found once it is the easiest (AppendLinks)
};

// Keeps `c` in `best` when it is easier: valued less, or as much with fewer nodes.
void Offer(std::optional<CConclusion>& best, CConclusion c);

inline CCandidate CandOf(int node) {
    return {uint8_t(CellOf(node)), uint8_t(DigitOf(node))};
}

// Whether the conclusion changes the grid: places a digit not yet placed, or removes a
// candidate still there.
inline bool Useful(const CCandidateGrid& grid, int node) {
    const int cell = CellOf(node), d = DigitOf(node);
    if (grid.values[cell] != 0) return false;
    return IsOn(node) || (grid.masks[cell] >> d & 1) != 0;
}

// The grid's candidates, cell by cell.
std::vector<int> Candidates(const CCandidateGrid& grid);

// The candidate that must hold when `cand` does not, if one alone must: the other of a cell
// with two, or the other place of a digit with two in a unit. -1 when none.
int OnlyAlternative(const CContext& ctx, int cand);

// The number of nodes a conclusion rests on: `nodes` and all their ancestors, and the chain
// lengths of the nested steps used.
int Complexity(const CContext& ctx, const CImplications& imp, const std::vector<int>& nodes);

// Appends to `links` the links by which `imp` reaches `nodes` from its assumption: every link
// of their ancestors, each after the links that lead to its own start, and none that `links`
// holds already. Nodes a nested step set start links of their own.
void AppendLinks(const CContext& ctx, const CImplications& imp, const std::vector<int>& nodes,
                 std::vector<CChainLink>& links);

// The most nodes a chain may have for ChainLengthBonus to value it `bonus` tenths or less;
// -1 below zero.
int LongestWithBonus(int bonus);

// The step a conclusion makes.
CStep StepOf(const CConclusion& c);

}  // namespace logic
