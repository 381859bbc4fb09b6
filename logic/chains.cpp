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
#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>
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

class CStaticClosure;

// What each stage of the easier techniques (NestedStage) found on each grid a nested chain
// stalled on. Different assumptions often stall on the same grid (the two candidates of a
// cell, the two places of a digit in a unit lead to the same singles), counting a
// conclusion's chains stalls again on grids already seen, and each level of nesting walks
// through the grids the level before it stalled on.
class CNestedMemo {
  public:
    // Forgets the grids that no chain on `grid`, or on a grid with fewer candidates, can
    // assume: those with a candidate or a digit `grid` no longer has.
    void KeepWithin(const CCandidateGrid& grid) {
        std::erase_if(m_found, [&](const auto& entry) { return !Within(entry.first, grid); });
        m_closures.clear();
    }

    using CResult = std::optional<std::pair<CStep, int>>;

    // nullptr when not yet known. The answers stay where they are until the memo goes.
    const CResult* Find(const CCandidateGrid& grid, int stage) const {
        const auto it = m_found.find(Key(grid, stage));
        return it == m_found.end() ? nullptr : &it->second;
    }
    const CResult& Store(const CCandidateGrid& grid, int stage, CResult result) {
        return m_found.emplace(Key(grid, stage), std::move(result)).first->second;
    }

    // The closure of a grid whose forcing chains found nothing, kept for its cell and region
    // forcing chains, which the next level of nesting looks for there: built again, it took
    // a puzzle rated 11.5 from 5.6 G instructions to 6.2 G. At most kClosures at once (some
    // 20 KB each); taken, it is forgotten.
    void KeepClosure(const CCandidateGrid& grid, std::shared_ptr<CStaticClosure> closure) {
        if (m_closures.size() < kClosures) m_closures.emplace(Key(grid, -1), std::move(closure));
    }
    std::shared_ptr<CStaticClosure> TakeClosure(const CCandidateGrid& grid) {
        const auto it = m_closures.find(Key(grid, -1));
        if (it == m_closures.end()) return nullptr;
        std::shared_ptr<CStaticClosure> closure = std::move(it->second);
        m_closures.erase(it);
        return closure;
    }

  private:
    static bool Within(const std::string& key, const CCandidateGrid& grid) {
        for (int cell = 0; cell < kCellCount; ++cell) {
            const auto value = uint8_t(key[size_t(cell)]);
            uint16_t mask;
            std::memcpy(&mask, key.data() + kCellCount + 2 * cell, sizeof(mask));
            if (grid.values[cell] != 0) {
                if (value != grid.values[cell]) return false;
            } else if (((value != 0 ? 1u << value : mask) & ~grid.masks[cell]) != 0) {
                return false;
            }
        }
        return true;
    }

    static std::string Key(const CCandidateGrid& grid, int stage) {
        std::string key(reinterpret_cast<const char*>(grid.values.data()), grid.values.size());
        key.append(reinterpret_cast<const char*>(grid.masks.data()),
                   grid.masks.size() * sizeof(grid.masks[0]));
        key += char(stage);
        return key;
    }

    static constexpr size_t kClosures = 2048;

    std::unordered_map<std::string, CResult> m_found;
    std::unordered_map<std::string, std::shared_ptr<CStaticClosure>> m_closures;
};

// The grid the rungs work on, and the strong links they may follow.
struct CContext {
    const CCandidateGrid& grid;
    CUnitPositions up;
    std::stop_token stop;
    CNestedMemo* memo;  // shared by the contexts of one FindChainStep, nested ones included
    // The closure of all static links, built by the first rung that needs it: the cell and
    // region forcing chains and, on grids CStrongReach cannot hold, the forcing chains.
    mutable std::shared_ptr<CStaticClosure> closure;
    CContext(const CCandidateGrid& g, std::stop_token s, CNestedMemo* m)
        : grid(g), up(g), stop(s), memo(m) {}
};

// 81 cells as bits, cell i at bit i.
__extension__ typedef unsigned __int128 Bits;

constexpr Bits CellBit(int cell) {
    return Bits(1) << cell;
}
constexpr bool Has(Bits bits, int cell) {
    return (bits >> cell & 1) != 0;
}
constexpr bool Single(Bits bits) {
    return bits != 0 && (bits & (bits - 1)) == 0;
}
int LowestCell(Bits bits) {
    const uint64_t low = uint64_t(bits);
    return low != 0 ? std::countr_zero(low) : 64 + std::countr_zero(uint64_t(bits >> 64));
}

// Calls f(cell) for each cell of `bits`, lowest first, a word at a time: taking the lowest
// of 128 bits off at each turn, the chains' loops over cells cost the 5.0-9.0 sample 56 M
// instructions more (2.133 G, not 2.076 G).
template <class F>
void ForEachCell(Bits bits, F&& f) {
    for (uint64_t w = uint64_t(bits); w != 0; w &= w - 1) f(std::countr_zero(w));
    for (uint64_t w = uint64_t(bits >> 64); w != 0; w &= w - 1) f(64 + std::countr_zero(w));
}

inline constexpr std::array<Bits, kCellCount> kPeerBits = [] {
    std::array<Bits, kCellCount> table{};
    for (int cell = 0; cell < kCellCount; ++cell) {
        for (uint8_t peer : kCellPeers[cell]) table[cell] |= CellBit(peer);
    }
    return table;
}();
inline constexpr std::array<Bits, kUnitCount> kUnitBits = [] {
    std::array<Bits, kUnitCount> table{};
    for (int u = 0; u < kUnitCount; ++u) {
        for (uint8_t cell : kUnitCells[u]) table[u] |= CellBit(cell);
    }
    return table;
}();

// Each cell's units, box, row and column, with its place in each.
inline constexpr std::array<std::array<std::pair<uint8_t, uint8_t>, 3>, kCellCount> kCellPlaces =
    [] {
        std::array<std::array<std::pair<uint8_t, uint8_t>, 3>, kCellCount> table{};
        for (int cell = 0; cell < kCellCount; ++cell) {
            const CCellUnits& units = kCellUnits[cell];
            const int r = cell / 9, c = cell % 9;
            table[cell] = {{{units.box, uint8_t(3 * (r % 3) + c % 3)},
                            {units.row, uint8_t(c)},
                            {units.column, uint8_t(r)}}};
        }
        return table;
    }();

class CPropagator {
  public:
    CPropagator(const CContext& ctx, CMode mode, int level, CLinks links = kAllLinks)
        : m_ctx(ctx), m_mode(mode), m_level(level), m_links(links), m_startPos(ctx.up.pos) {
        for (int cell = 0; cell < kCellCount; ++cell) {
            for (unsigned m = ctx.grid.masks[cell]; m != 0; m &= m - 1) {
                m_startBoards[std::countr_zero(m)] |= CellBit(cell);
            }
        }
        for (int u = 0; u < kUnitCount; ++u) {
            for (unsigned placed = ctx.up.placed[u] & 0x3fe; placed != 0; placed &= placed - 1) {
                m_startPos[u][std::countr_zero(placed)] = kPlacedPos;
            }
        }
    }

    // Follows `start` to its end, or to a contradiction.
    void Run(int start, CImplications& out) {
        Start(start, out);
        Continue();
    }

    // Sets `start` alone; Continue follows it.
    void Start(int start, CImplications& out) {
        m_out = &out;
        // Only `set` says which causes are valid, so the rest need no clearing.
        out.set.reset();
        out.contradiction = false;
        out.conflict.clear();
        out.nestedWeight = 0;
        m_masks = m_ctx.grid.masks;
        m_boards = m_startBoards;
        m_pos = m_startPos;
        // Grown from nothing as it fills, each queue of the assumptions followed again was
        // reallocated some eight times: room for 256 nodes saved 12 M instructions of the
        // 5.0-9.0 sample, and took its minor page faults from 1,650 to 810; room for every
        // node (2.9 KB a queue, many held at once) took them to 10,700.
        m_queue.clear();
        m_queue.reserve(256);
        m_head = 0;
        m_start = start;
        m_depth = 0;
        m_depthEnd = 1;
        m_ended = false;
        Set(start, CCause::kStart, 0);
    }

    // Follows on from where it stopped, and stops again once `target` is set, or before it
    // expands a node `depth` links or more from the start; true when it has reached its end
    // or a contradiction. The causes of a node are known once it is set, so a chain counted
    // then counts as it would at the end.
    bool Continue(int target = -1, int depth = INT_MAX) {
        while (!m_ended) {
            while (m_head < m_queue.size() && !m_out->contradiction) {
                if (target >= 0 && Known(target)) return false;
                if (m_head == m_depthEnd) {
                    ++m_depth;
                    m_depthEnd = m_queue.size();
                }
                if (m_depth >= depth) return false;
                Expand(m_queue[m_head++]);
            }
            if (target >= 0 && Known(target)) return false;
            if (m_out->contradiction || m_level == 0 || !Nest()) m_ended = true;
        }
        return true;
    }

  private:
    bool Known(int node) const { return m_out->set[node]; }

    // Most nodes a node leads to are set already: that test alone inlined where Expand calls it
    // saved 36 M instructions on the 5.0-9.0 sample, a call each.
    void Set(int node, CCause cause, int from) {
        if (!m_out->contradiction && !m_out->set[node]) Reach(node, cause, from);
    }

    [[gnu::noinline]] void Reach(int node, CCause cause, int from) {
        // Static chains follow both sides of a candidate as separate nodes; only reaching
        // the assumption's own opposite ends them. Dynamic ones read both sides as a
        // contradiction.
        if (m_mode == CMode::kStatic ? node == (m_start ^ 1) : bool(m_out->set[node ^ 1])) {
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
            if (m_mode != CMode::kNishio && (m_links & kYLinks) != 0) {
                for (unsigned m = m_masks[cell] & ~(1u << d); m != 0; m &= m - 1) {
                    Set(NodeOf(cell, std::countr_zero(m), false), CCause::kParent, node);
                }
            }
            // In ascending order, as kCellPeers has them: by board, not peer by peer, that took
            // the following with causes from 370 M instructions to 345 M on the 5.0-9.0 sample.
            ForEachCell(kPeerBits[cell] & m_boards[d],
                        [&](int c) { Set(NodeOf(c, d, false), CCause::kParent, node); });
            return;
        }
        if (m_mode == CMode::kStatic) {
            const unsigned mask = m_ctx.grid.masks[cell];
            if (Count(mask) == 2 && (m_links & kYLinks) != 0) {
                Set(NodeOf(cell, std::countr_zero(mask & ~(1u << d)), true), CCause::kParent, node);
            }
            const CCellUnits& units = kCellUnits[cell];
            for (int u : {int(units.box), int(units.row), int(units.column)}) {
                const unsigned pos = m_ctx.up.pos[u][d];
                if (Count(pos) != 2 || (m_links & kXLinks) == 0) continue;
                for (unsigned p = pos; p != 0; p &= p - 1) {
                    const int other = kUnitCells[u][std::countr_zero(p)];
                    if (other != cell) Set(NodeOf(other, d, true), CCause::kParent, node);
                }
            }
            return;
        }
        m_masks[cell] &= uint16_t(~(1u << d));
        m_boards[d] &= ~CellBit(cell);
        if (m_mode != CMode::kNishio) {
            if (m_masks[cell] == 0) {
                Contradict(CCause::kCell, cell, cell, 0);
                return;
            }
            if (Count(m_masks[cell]) == 1) {
                Set(NodeOf(cell, std::countr_zero(m_masks[cell]), true), CCause::kCell, cell);
            }
        }
        // The places left in each unit are kept as masks, not counted over the unit's
        // cells: that saved 6 % of the instructions on every 30th puzzle of top1465. The
        // cell's places from a table, and the units where d is placed marked in the masks
        // themselves, took the following with causes from 149 M instructions to 130 M on the
        // 5.0-9.0 sample.
        for (const auto& [u, index] : kCellPlaces[cell]) {
            const unsigned left = m_pos[u][d] &= uint16_t(~(1u << index));
            if (left == 0) {
                Contradict(CCause::kUnit, u, -1, d);
                return;
            }
            if ((left & (left - 1)) == 0) {
                Set(NodeOf(kUnitCells[u][std::countr_zero(left)], d, true), CCause::kUnit, u);
            }
        }
    }

    // A cell left without candidates, or a unit without a place for d: the proof is every
    // candidate of it being off.
    void Contradict(CCause cause, int where, int cell, int d) {
        m_out->contradiction = true;
        m_out->conflict.clear();
        if (cause == CCause::kCell) {
            for (unsigned m = m_ctx.grid.masks[cell]; m != 0; m &= m - 1) {
                m_out->conflict.push_back(NodeOf(cell, std::countr_zero(m), false));
            }
        } else {
            for (unsigned p = m_ctx.up.pos[where][d]; p != 0; p &= p - 1) {
                m_out->conflict.push_back(NodeOf(kUnitCells[where][std::countr_zero(p)], d, false));
            }
        }
    }

    // Runs the easier techniques on the grid as assumed; applies what they find.
    bool Nest();

    // Never empty and never one place, so a unit where d is placed neither contradicts nor
    // places it.
    static constexpr uint16_t kPlacedPos = 0xc000;

    const CContext& m_ctx;
    CMode m_mode;
    int m_level;
    CLinks m_links;
    int m_start = 0;
    CImplications* m_out = nullptr;
    std::array<uint16_t, kCellCount> m_masks{};
    std::array<Bits, 10> m_startBoards{}, m_boards{};  // the cells of each digit, as m_masks'
    // As CUnitPositions, m_masks'; where d is placed in u, kPlacedPos.
    std::array<std::array<uint16_t, 10>, kUnitCount> m_startPos, m_pos{};
    std::vector<uint16_t> m_queue;
    size_t m_head = 0;
    // Breadth first, so the nodes from m_depthEnd on are one link further than m_head's,
    // m_depth links from the start (without nesting, whose nodes have no ancestors).
    size_t m_depthEnd = 0;
    int m_depth = 0;
    bool m_ended = false;
};

// Depth-first search for solutions on bit boards, naked and hidden singles placed as it
// goes, a cell with the fewest candidates tried first. The nested rungs ask it once per
// step that nests, on grids whose hardest part is still ahead.
class CSolutionCounter {
  public:
    explicit CSolutionCounter(const CCandidateGrid& grid) {
        std::array<Bits, 10> placed{};
        for (int cell = 0; cell < kCellCount; ++cell) {
            if (grid.values[cell] != 0) {
                placed[grid.values[cell]] |= CellBit(cell);
                continue;
            }
            m_open |= CellBit(cell);
            for (unsigned m = grid.masks[cell]; m != 0; m &= m - 1) {
                m_cand[std::countr_zero(m)] |= CellBit(cell);
            }
        }
        for (int d = 1; d <= 9; ++d) {
            ForEachCell(placed[d], [&](int c) { m_cand[d] &= ~kPeerBits[c]; });
            for (int u = 0; u < kUnitCount; ++u) {
                if ((placed[d] & kUnitBits[u]) == 0) m_needed[d] |= 1u << u;
            }
        }
    }

    int Count(int limit) const { return Search(m_cand, m_open, limit); }

  private:
    static void Assign(std::array<Bits, 10>& cand, Bits& open, int cell, int d) {
        const Bits bit = CellBit(cell);
        for (int e = 1; e <= 9; ++e) cand[e] &= ~bit;
        cand[d] = (cand[d] & ~kPeerBits[cell]) | bit;
        open &= ~bit;
    }

    int Search(std::array<Bits, 10> cand, Bits open, int limit) const {
        for (bool placed = true; placed;) {
            placed = false;
            Bits any = 0, several = 0;
            for (int d = 1; d <= 9; ++d) {
                several |= any & cand[d] & open;
                any |= cand[d] & open;
            }
            if ((open & ~any) != 0) return 0;
            for (Bits singles = open & ~several; singles != 0; singles &= singles - 1) {
                const int cell = LowestCell(singles);
                int d = 1;
                while (!Has(cand[d], cell)) {
                    if (++d > 9) return 0;
                }
                Assign(cand, open, cell, d);
                placed = true;
            }
            for (int d = 1; d <= 9; ++d) {
                for (unsigned units = m_needed[d]; units != 0; units &= units - 1) {
                    const Bits places = cand[d] & kUnitBits[std::countr_zero(units)];
                    if (places == 0) return 0;
                    if (Single(places) && (places & open) != 0) {
                        Assign(cand, open, LowestCell(places), d);
                        placed = true;
                    }
                }
            }
        }
        if (open == 0) return 1;
        int best = -1, bestCount = 10;
        for (Bits b = open; b != 0 && bestCount > 2; b &= b - 1) {
            const int cell = LowestCell(b);
            int n = 0;
            for (int d = 1; d <= 9; ++d) n += Has(cand[d], cell) ? 1 : 0;
            if (n < bestCount) {
                best = cell;
                bestCount = n;
            }
        }
        int found = 0;
        for (int d = 1; d <= 9 && found < limit; ++d) {
            if (!Has(cand[d], best)) continue;
            std::array<Bits, 10> next = cand;
            Bits nextOpen = open;
            Assign(next, nextOpen, best, d);
            found += Search(next, nextOpen, limit - found);
        }
        return found;
    }

    std::array<Bits, 10> m_cand{};
    Bits m_open = 0;                      // empty cells not yet assigned
    std::array<uint32_t, 10> m_needed{};  // bit u set: unit u has no d placed among the givens
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

// The dynamic propagation on bit boards, without causes: the same closure as CPropagator
// in its dynamic and nested modes, found some ten times faster. The rungs run it for every
// assumption, and follow again with CPropagator only the few a conclusion rests on.
class CFastPropagator {
  public:
    CFastPropagator(const CContext& ctx, int level) : m_ctx(ctx), m_level(level) {
        for (int cell = 0; cell < kCellCount; ++cell) {
            if (ctx.grid.values[cell] != 0) continue;
            m_empty |= CellBit(cell);
            for (unsigned m = ctx.grid.masks[cell]; m != 0; m &= m - 1) {
                m_start[std::countr_zero(m)] |= CellBit(cell);
            }
        }
        for (int d = 1; d <= 9; ++d) {
            bool quiet = true;
            for (int u = 0; u < kUnitCount; ++u) {
                if ((ctx.up.placed[u] >> d & 1) != 0) continue;
                m_open[d] |= 1u << u;
                const Bits places = m_start[d] & kUnitBits[u];
                quiet = quiet && places != 0 && !Single(places);
            }
            m_quietStart[d] = quiet ? m_start[d] : ~Bits(0);
        }
    }

    // Stops, with `out.cut`, where it would nest once more with the nested steps' chain
    // lengths already above `limit`.
    void Run(int node, CBoards& out, int limit = INT_MAX) {
        m_cand = m_start;
        m_assigned = 0;
        m_done.fill(0);
        m_quiet = m_quietStart;
        m_contradiction = false;
        m_weight = 0;
        out.cut = false;
        const int cell = CellOf(node), d = DigitOf(node);
        if (IsOn(node)) {
            Assign(cell, d);
        } else {
            m_cand[d] &= ~CellBit(cell);
        }
        while (!m_contradiction) {
            if (Singles()) continue;
            if (m_contradiction || m_level == 0) break;
            if (m_weight > limit) {
                out.cut = true;
                break;
            }
            if (!Nest()) break;
        }
        out.weight = m_weight;
        out.contradiction = m_contradiction;
        for (int e = 1; e <= 9; ++e) {
            out.on[e] = m_cand[e] & m_assigned;
            out.off[e] = m_start[e] & ~m_cand[e];
        }
    }

  private:
    void Assign(int cell, int d) {
        const Bits bit = CellBit(cell);
        for (int e = 1; e <= 9; ++e) m_cand[e] &= ~bit;
        m_cand[d] = (m_cand[d] & ~kPeerBits[cell]) | bit;
        m_assigned |= bit;
        m_done[d] |= kCellUnitSet[cell];
    }

    // Places every naked and hidden single once; whether any was placed.
    bool Singles() {
        Bits any = 0, several = 0;
        for (int d = 1; d <= 9; ++d) {
            several |= any & m_cand[d];
            any |= m_cand[d];
        }
        if ((m_empty & ~any) != 0) return m_contradiction = true, false;
        bool placed = false;
        for (Bits singles = m_empty & ~m_assigned & any & ~several; singles != 0;
             singles &= singles - 1) {
            const int cell = LowestCell(singles);
            int d = 1;
            while (!Has(m_cand[d], cell)) {
                if (++d > 9) return m_contradiction = true, false;
            }
            Assign(cell, d);
            placed = true;
        }
        // A unit where the digit is assigned keeps that one place; skipping those units
        // saved 3 % of the instructions on every 30th puzzle of top1465.
        // A digit whose candidates are as they were when its units placed nothing places
        // nothing again: its units only get fewer, its cells assigned more. Skipping those
        // saved 20 M of the 5.0-9.0 sample's 3.57 G instructions.
        // And of those, only the units that lost a place since: the others have places as
        // they had then, none of them a single not yet assigned. Looking at those units
        // alone, the grid's own counting as the first such time where its units have two
        // places or more, took the 5.0-9.0 sample from 3.34 G instructions to 3.28 G.
        for (int d = 1; d <= 9; ++d) {
            if (m_cand[d] == m_quiet[d]) continue;
            uint32_t changed = ~0u;
            if (m_quiet[d] != ~Bits(0)) {
                changed = 0;
                ForEachCell(m_quiet[d] & ~m_cand[d], [&](int c) { changed |= kCellUnitSet[c]; });
            }
            bool placedHere = false;
            for (unsigned open = m_open[d] & ~m_done[d] & changed; open != 0; open &= open - 1) {
                const Bits places = m_cand[d] & kUnitBits[std::countr_zero(open)];
                if (places == 0) return m_contradiction = true, false;
                if (Single(places) && (places & m_assigned) == 0) {
                    Assign(LowestCell(places), d);
                    placedHere = true;
                }
            }
            if (placedHere) {
                placed = true;
            } else {
                m_quiet[d] = m_cand[d];
            }
        }
        return placed;
    }

    bool Nest();

    const CContext& m_ctx;
    int m_level;
    std::array<Bits, 10> m_start{}, m_cand{};
    Bits m_empty = 0, m_assigned = 0;
    std::array<uint32_t, 10> m_open{};  // bit u: the grid has not placed d in unit u
    std::array<uint32_t, 10> m_done{};  // bit u: this assumption has assigned d in unit u
    std::array<Bits, 10> m_quiet{};     // the candidates on which d's units last placed nothing
    // The grid's candidates of d where its units have two places or more, else all ones:
    // none looked at yet.
    std::array<Bits, 10> m_quietStart{};
    bool m_contradiction = false;
    int m_weight = 0;  // the chain lengths of the nested steps used, as CImplications has them
};

// The static propagation on bit boards, without causes and without order: whether an
// assumption reaches its own opposite, and everything it reaches. The same closure as
// CPropagator's static mode, found a wave at a time.
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
        // nodes on or only nodes off, in turn; X-links keep to the start's digit. Reading
        // only those boards took the forcing chains' passes from 213 M instructions to
        // 158 M on the 5.0-9.0 sample.
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
            // The cells turned off gathered first and masked with the candidates once: a mask
            // for each cell on took 6 M more of the 5.0-9.0 sample's 2.69 G instructions.
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
    // the cells of m_paired alone, those with such a place, which are all a wave reads:
    // clearing the whole table took 13 K instructions a grid, 26 M of the 5.0-9.0 sample's
    // 3.41 G; clearing it for each digit's candidates, and reading it for every cell off,
    // 16 M more of its 2.69 G than this.
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

    // Most chains asked for are shorter: growing the waves from one took 11 M instructions
    // of the 5.0-9.0 sample.
    static constexpr size_t kWaves = 16;

    const CFastStatic& m_fast;
    bool m_startOn;
    bool m_ended = false;
    std::array<Bits, 10> m_on{}, m_off{};       // the nodes reached so far
    std::vector<std::array<Bits, 10>> m_waves;  // wave k: the nodes k links from the start
};

// Which assumptions reach which along the static links: the transitive closure of their
// implication graph. Nodes are local: 2 * i + on for the i-th of `cands`.
//
// One closure costs about what following a few dozen assumptions does, and it tells at
// once which of the several hundred assumptions of a grid can come back to their own
// opposite at all: on the 5.0-9.0 sample, following every assumption to its end was 41 %
// of all instructions, most of it for assumptions that reach nothing.
//
// A node on leads only to nodes off, and a node off leads on only along a strong link,
// which most have none of: those lead nowhere and get no row. So the search for strongly
// connected components (Tarjan's, whose order finishes a component after every component it
// reaches, so that each row is the OR of rows already complete) runs on the nodes off with a
// strong link alone, stepping over the nodes on between them. A node on comes back to its
// opposite only through those, so the forcing chains (nested, or where CStrongReach cannot
// hold the grid) read that from the components' rows; the rows of the nodes on, what they
// reach directly and the rows of the strong nodes off among those, are made only for the cell
// and region forcing chains, which read them. With the same answers, that took the 5.0-9.0
// sample's closures of all links from 304 M instructions to 236 M, and the whole sample from
// 3.67 G to 3.64 G: the rows of the nodes on that the components need are most of them, so
// the saving is mostly the search's.
class CStaticClosure {
  public:
    CStaticClosure(const CContext& ctx, const std::vector<int>& cands, CLinks links)
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

    int Words() const { return m_words; }

    // Whether a node reaches its own opposite.
    bool ReachesOpposite(int from) const {
        if ((from & 1) == 0) {
            return m_comp[from] != kSink &&
                   (m_rows[size_t(m_comp[from]) * m_words + size_t(from / 64)] >> (from % 64 + 1) &
                    1) != 0;
        }
        const int i = from / 2;
        // Its row, once made, holds what the nodes it turns off reach: asked from those, the
        // cell and region forcing chains' questions took 18 M instructions of the 5.0-9.0
        // sample, 4 M so.
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
    // X-chains never make most rows of the nodes on: cleared all at once, the closures took
    // 285 M instructions of the 5.0-9.0 sample (memset 40 M of them), this way 270 M.
    std::unique_ptr<uint64_t[]> m_rows;
};

// `cands` are the grid's candidates, as Candidates lists them.
CStaticClosure& AllLinksClosure(const CContext& ctx, const std::vector<int>& cands) {
    if (!ctx.closure) ctx.closure = std::make_shared<CStaticClosure>(ctx, cands, kAllLinks);
    return *ctx.closure;
}

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
// fit in two words of bits is left to CStaticClosure (none on the 5.0-9.0 sample).
//
// The X-chains and forcing chains built both closures of CStaticClosure at every step of the
// path for this alone, the rows of the nodes on included: 269 M instructions of the 5.0-9.0
// sample's 2.80 G, their questions some 45 M more. This takes 31 M, with cheaper questions,
// and the cell and region forcing chains build the closure of all links themselves where they
// run (73 M, on a third of the grids): the sample went to 2.73 G.
class CStrongReach {
  public:
    // `boards` hold, per digit, its candidates whole or none of them.
    CStrongReach(const CContext& ctx, const std::array<Bits, 10>& boards, CLinks links)
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
        // read from the sets as their turned off are. (Found from the unit positions at each
        // visit of the search below, with the digits' boards gathered from a list of
        // candidates, they cost the 5.0-9.0 sample 19 M instructions more: 2.196 G, not 2.177 G.)
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
    // off. CFastStatic, on boards of every node, took about 145 M instructions of the 5.0-9.0
    // sample's 2.67 G for the X-chains and forcing chains; this, 23 M.
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
    // of its digit, and its cell's (left empty without Y-links).
    // (A table by candidate: made from its cell's and digit at each call, they cost the
    // 5.0-9.0 sample 6 M instructions more: 2.170 G, not 2.163 G.)
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
                    visit(NodeOf(cell, std::countr_zero(m), false));
                }
                break;
            case CCause::kUnit: {
                const int u = imp.from[node];
                for (unsigned p = ctx.up.pos[u][d]; p != 0; p &= p - 1) {
                    const int other = kUnitCells[u][std::countr_zero(p)];
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

// The most nodes a chain may have for ChainLengthBonus to value it `bonus` tenths or less;
// -1 below zero.
int LongestWithBonus(int bonus) {
    if (bonus < 0) return -1;
    int ceiling = 4;
    bool odd = false;
    for (int i = 0; i < bonus && ceiling < INT_MAX / 2; ++i, odd = !odd) {
        ceiling = odd ? ceiling * 4 / 3 : ceiling * 3 / 2;
    }
    return ceiling + 2;
}

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

// Gathered first and then allocated once: grown by push_back, with its reallocations, the
// lists took 15 M instructions of the 5.0-9.0 sample, 7 M so.
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

// X-chains and forcing chains: an assumption that, along strong and weak links in turn,
// comes back to its own opposite. X-chains (one digit, cheap to follow) are looked for
// first; then each chain found bounds how far the others need to be followed.
std::optional<CConclusion> UnaryChains(const CContext& ctx, bool firstOnly,
                                       CPathMemo* pathMemo = nullptr) {
    std::optional<CConclusion> best;
    // Only where a CStaticClosure stands in for CStrongReach, made at the first assumption
    // that reaches its opposite: made for every grid, its tables were 8 M of the 5.0-9.0
    // sample's 2.73 G instructions.
    std::unique_ptr<CFastStatic> fast;
    CBoards fastBoards;
    const std::vector<int> cands = Candidates(ctx.grid);
    const std::array<CCells, 10> digitCells = DigitCandidates(ctx.up);
    // After `fast` reached the opposite of `start`. A static node has one cause, a link
    // nearer its assumption, so the chain to the opposite counts a node for each wave and
    // the assumption: not following it again with causes to count them took the 5.0-9.0
    // sample from 3.48 G instructions to 3.41 G.
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
        // has none still and stays out of the closure. (The X-chains' closure was 6 % of
        // the 5.0-9.0 sample's instructions.)
        std::vector<int> xCands;
        std::array<Bits, 10> boards{};  // the candidates tried, by digit
        for (int d = 1; d <= 9; ++d) {
            if (links == kXLinks && pathMemo &&
                pathMemo->FoundNothing(CPathMemo::kXChains, d, digitCells[d]))
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
        // memo asks for them all first: asked again, they were 5 M of the 5.0-9.0 sample.
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
                if ((chained >> d & 1) == 0)
                    pathMemo->NoteNothing(CPathMemo::kXChains, d, digitCells[d]);
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
                if (firstOnly && best) return best;
                waves = bound(base);
            }
        }
    }
    return best;
}

// Whether `d` placed in `cell`, followed on its own board (a unit left with one place of
// d takes it), leaves a unit without a place for d or two placements that see each other:
// the same closure as CPropagator's nishio mode, which then follows only the few that
// contradict to count their chains. Following every candidate with causes (with the few
// forcing chains') was 9 % of the instructions on every 30th puzzle of top1465.
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
std::optional<CConclusion> Nishio(const CContext& ctx, CPathMemo* pathMemo = nullptr) {
    std::optional<CConclusion> best;
    // A digit's nishio reads that digit's candidates alone (and where it is placed, which
    // along a path changes only with them): along the path, a digit that contradicted
    // nowhere, with the same candidates, contradicts nowhere still.
    std::array<CCells, 10> digitCells;
    unsigned skipped = 0, found = 0;
    if (pathMemo) {
        digitCells = DigitCandidates(ctx.up);
        for (int d = 1; d <= 9; ++d) {
            if (pathMemo->FoundNothing(CPathMemo::kNishio, d, digitCells[d])) skipped |= 1u << d;
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
            if (((skipped | found) >> d & 1) == 0)
                pathMemo->NoteNothing(CPathMemo::kNishio, d, digitCells[d]);
        }
    }
    return best;
}

// The candidate that must hold when `cand` does not, if one alone must: the other of a cell
// with two, or the other place of a digit with two in a unit. -1 when none.
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

// Forcing chains that read many assumptions: each assumption's contradiction, the two sides
// of a candidate agreeing, every candidate of a cell or every place of a digit in a unit
// agreeing. What each assumption implies is kept as a bit set only; the few assumptions a
// conclusion rests on are followed again to count its chain.
std::optional<CConclusion> MultipleChains(const CContext& ctx, CMode mode, int level,
                                          bool firstOnly, std::vector<CConclusion>* all = nullptr) {
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
        level > 0 ? 90 + 5 * (level - 1) : BaseRating(CTechnique::kDynamicForcingChain);
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
    const bool bounded = dynamic && level > 0 && !all && !firstOnly;
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
            return firstOnly;
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
                                      bool withNishio, CPathMemo* pathMemo = nullptr) {
    if (auto c = UnaryChains(ctx, firstOnly, pathMemo)) return c;
    if (withNishio) {
        if (auto c = Nishio(ctx, pathMemo)) return c;
    }
    if (auto c = MultipleChains(ctx, CMode::kStatic, 0, firstOnly)) return c;
    for (int level = 0; level <= maxLevel; ++level) {
        if (ctx.stop.stop_requested()) return std::nullopt;
        if (auto c = MultipleChains(ctx, CMode::kDynamic, level, firstOnly)) return c;
    }
    return std::nullopt;
}

// What one stage of the easier techniques finds on an assumed grid, with the chain length it
// adds: stage 0 the basic techniques, 1 forcing chains, 2 cell and region forcing chains,
// 3 + k dynamic chains nesting k deep (NestedStage, the first BasicStage). Each depends on
// the grid alone, not on how deep the chain that asks is nested.
CNestedMemo::CResult BasicStage(const CCandidateGrid& grid) {
    if (std::optional<CStep> step = FindBasicStepUpTo(grid, CTechnique::kXYZWing)) {
        return std::pair{std::move(*step), 1};
    }
    return std::nullopt;
}

CNestedMemo::CResult NestedStage(const CContext& inner, int stage) {
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
// allows. Each stage's answer is remembered by grid, so the levels FindChainStep climbs
// one after another share it: level 3 walks through the grids level 2 stalled on.
const CNestedMemo::CResult& MemoNestedStep(const CContext& ctx, const CCandidateGrid& assumed,
                                           int level) {
    static const CNestedMemo::CResult kNone;
    const int last = level < 2 ? 0 : level < 3 ? 1 : level - 1;
    std::optional<CContext> inner;
    for (int stage = 0; stage <= last; ++stage) {
        const CNestedMemo::CResult* found = ctx.memo->Find(assumed, stage);
        if (!found) {
            // The basic techniques need no context: building its unit positions for every
            // grid took 2 % of the instructions of a puzzle rated 11.5.
            if (!inner && stage > 0) {
                inner.emplace(assumed, ctx.stop, ctx.memo);
                if (stage == 2) inner->closure = ctx.memo->TakeClosure(assumed);
            }
            CNestedMemo::CResult result =
                stage == 0 ? BasicStage(assumed) : NestedStage(*inner, stage);
            // A search cut short by a stop proves nothing; the caller is stopping anyway.
            if (ctx.stop.stop_requested()) return kNone;
            found = &ctx.memo->Store(assumed, stage, std::move(result));
            if (stage == 1 && last == 1 && !*found) ctx.memo->KeepClosure(assumed, inner->closure);
        }
        if (*found) return *found;
    }
    return kNone;
}

bool CPropagator::Nest() {
    // The grid as assumed: every node on is a placed digit.
    CCandidateGrid assumed = m_ctx.grid;
    for (int cell = 0; cell < kCellCount; ++cell) {
        if (assumed.values[cell] != 0) continue;
        assumed.masks[cell] = m_masks[cell];
        for (unsigned m = m_masks[cell]; m != 0; m &= m - 1) {
            if (Known(NodeOf(cell, std::countr_zero(m), true))) {
                assumed.values[cell] = uint8_t(std::countr_zero(m));
                assumed.masks[cell] = 0;
                break;
            }
        }
    }
    const CNestedMemo::CResult& nested = MemoNestedStep(m_ctx, assumed, m_level);
    if (!nested) return false;
    m_out->nestedWeight += nested->second;
    const size_t before = m_queue.size();
    for (const CCandidate& p : nested->first.placements) {
        Set(NodeOf(p.cell, p.digit, true), CCause::kNested, 0);
    }
    for (const CCandidate& e : nested->first.eliminations) {
        Set(NodeOf(e.cell, e.digit, false), CCause::kNested, 0);
    }
    return m_queue.size() > before || m_out->contradiction;
}

bool CFastPropagator::Nest() {
    CCandidateGrid assumed = m_ctx.grid;
    for (int cell = 0; cell < kCellCount; ++cell) {
        if (assumed.values[cell] != 0) continue;
        unsigned mask = 0;
        for (int d = 1; d <= 9; ++d) mask |= Has(m_cand[d], cell) ? 1u << d : 0;
        if (Has(m_assigned, cell)) {
            assumed.values[cell] = uint8_t(std::countr_zero(mask));
            assumed.masks[cell] = 0;
        } else {
            assumed.masks[cell] = uint16_t(mask);
        }
    }
    const CNestedMemo::CResult& nested = MemoNestedStep(m_ctx, assumed, m_level);
    if (!nested) return false;
    m_weight += nested->second;
    for (const CCandidate& p : nested->first.placements) {
        if (!Has(m_cand[p.digit], p.cell)) return m_contradiction = true;
        Assign(p.cell, p.digit);
    }
    for (const CCandidate& e : nested->first.eliminations) m_cand[e.digit] &= ~CellBit(e.cell);
    return true;
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

int CountCandidateSolutions(const CCandidateGrid& grid, int limit) {
    if (IsBroken(grid)) return 0;
    return CSolutionCounter(grid).Count(limit);
}

std::optional<CStep> FindChainStep(const CCandidateGrid& grid, std::stop_token stop, int maxLevel,
                                   CChainMemory* memory, CPathMemo* pathMemo) {
    CNestedMemo local;
    CNestedMemo& memo = memory ? memory->memo : local;
    memo.KeepWithin(grid);
    const CContext ctx(grid, stop, &memo);
    if (auto c = ChainRungs(ctx, 0, false, true, pathMemo)) return StepOf(*c);
    // Deeper nesting always ends on a grid with one solution; on any other grid it may never
    // find a step, so it runs only once the candidates are known to allow exactly one.
    if (CountCandidateSolutions(grid) != 1) return std::nullopt;
    for (int level = 1; level <= maxLevel; ++level) {
        if (stop.stop_requested()) return std::nullopt;
        if (auto c = MultipleChains(ctx, CMode::kDynamic, level, false)) return StepOf(*c);
    }
    return std::nullopt;
}

}  // namespace logic
