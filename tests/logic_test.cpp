// The logic solver: each technique's step on example puzzles, every step of every path
// checked against the exact solver's solution, and the outcomes without a rating.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <string>
#include <thread>

#include "bits.h"
#include "logic.h"
#include "technique_table.h"
#include "test_support.h"
#include "unit_positions.h"

namespace {

CCandidateGrid Candidates(std::string_view text) {
    return *CCandidateGrid::FromGivens(GridFromText(text));
}

PuzzleGrid SolutionOf(const CCandidateGrid& grid) {
    const CSolutionCount count = CountSolutions(grid.values.data());
    EXPECT_EQ(count.count, 1);
    return count.solutions[0];
}

// Why `step` is wrong for `solution`, or an empty string when it is right.
std::string CheckStep(const CStep& step, const PuzzleGrid& solution) {
    if (step.placements.empty() && step.eliminations.empty()) return "changes nothing";
    for (const CCandidate& c : step.placements) {
        if (solution[c.cell] != c.digit) return "places a wrong digit";
    }
    for (const CCandidate& c : step.eliminations) {
        if (solution[c.cell] == c.digit) return "removes the solution's digit";
    }
    return "";
}

struct CTechniqueCase {
    std::string_view puzzle;
    CTechnique technique;
    std::string_view step;  // FormatStep of the first step of `technique` on the path
    int rating;
};

// Each technique where the path of easiest steps first needs it. The puzzles are from the
// public domain puzzle bank sampled in bench/data; each step was checked by hand on the
// candidates of its grid.
const CTechniqueCase kTechniqueCases[] = {
    {"064000300010003675370000008040582000000401000000967030400000083137800090008000750",
     CTechnique::kFullHouse, "Full House: r5c5=3", 10},
    {"083020090000800100029300008000098700070000060006740000300006980002005000010030540",
     CTechnique::kHiddenSingleBox, "Hidden Single: r2c6=9", 12},
    {"002010800400000005700509006084605170000000000209108304020000090000050000001207600",
     CTechnique::kHiddenSingleLine, "Hidden Single: r5c1=1", 15},
    {"083020090000800100029300008000098700070000060006740000300006980002005000010030540",
     CTechnique::kDirectPointing,
     "Direct Pointing: r2c8=2 (r2c9#2 r4c9#2 r5c9#2 r6c9#2 r7c9#2 r9c9#2)", 17},
    {"890000047006000500050020010000807000730060089020010070000050000500604002000981000",
     CTechnique::kDirectHiddenPair, "Direct Hidden Pair: r8c5=7 (r2c5#4 r2c5#9 r4c5#4 r4c5#9)", 20},
    {"200060908007400000801023540002000080608050104070000600086310409000009800109040003",
     CTechnique::kNakedSingle, "Naked Single: r8c5=7", 23},
    {"006100002080020000034805000307000040060000090040000103000601930000030050500008200",
     CTechnique::kDirectHiddenTriple,
     "Direct Hidden Triple: r3c9=9 (r1c7#3 r1c7#4 r1c7#5 r2c7#3 r2c7#4 r2c7#5 r2c9#4 r2c9#5)", 25},
    {"002000100415000638700000004600050009080030070007901800000020000308070405000403000",
     CTechnique::kPointing, "Pointing: r3c4<>2, r3c6<>2 (r3c7#2 r3c8#2)", 26},
    {"010002800400000070008030050006070004027000680800060500080040300050000009009500060",
     CTechnique::kClaiming, "Claiming: r2c7<>2, r3c7<>2 (r2c9#2 r3c9#2)", 28},
    {"002000100415000638700000004600050009080030070007901800000020000308070405000403000",
     CTechnique::kNakedPair, "Naked Pair: r3c5<>6, r9c5<>6 (r1c5#4 r1c5#6 r6c5#4 r6c5#6)", 30},
    {"800010007020000040000503000030107080009602300600050001005030800001405900000000000",
     CTechnique::kXWing,
     "X-Wing: r6c2<>8, r9c2<>8, r2c5<>8, r3c5<>8, r9c5<>8 (r5c2#8 r5c5#8 r8c2#8 r8c5#8)", 32},
    {"002000100415000638700000004600050009080030070007901800000020000308070405000403000",
     CTechnique::kHiddenPair,
     "Hidden Pair: r4c4<>2, r4c6<>2, r4c6<>4 (r4c4#7 r4c4#8 r4c6#7 r4c6#8)", 34},
    {"890000047006000500050020010000807000730060089020010070000050000500604002000981000",
     CTechnique::kNakedTriple,
     "Naked Triple: r3c7<>3, r3c9<>3 (r3c1#3 r3c1#4 r3c3#3 r3c3#4 r3c3#7 r3c4#4 r3c4#7)", 36},
    {"080700020600000040002601709004006038300508002820100400908407200010000004040002060",
     CTechnique::kSwordfish,
     "Swordfish: r4c2<>7, r6c3<>7, r9c3<>7, r6c8<>7 (r2c2#7 r2c3#7 r5c2#7 r5c3#7 r5c8#7 "
     "r8c3#7 r8c8#7)",
     38},
    {"024009030000600974000080020001040000207050809000060700070090000539006000080100290",
     CTechnique::kHiddenTriple,
     "Hidden Triple: r6c2<>9, r6c9<>2, r6c9<>3 (r6c2#4 r6c2#5 r6c8#1 r6c8#4 r6c8#5 r6c9#1 r6c9#5)",
     40},
    {"000693000064000380020000050001902700000507000030000090006070500070208060082060470",
     CTechnique::kXYWing, "XY-Wing: r4c8<>4 (r1c2#1 r1c2#5 r1c8#1 r1c8#4 r4c2#4 r4c2#5)", 42},
    {"200060908007400000801023540002000080608050104070000600086310409000009800109040003",
     CTechnique::kXYZWing, "XYZ-Wing: r4c4<>7 (r5c4#2 r5c4#7 r5c4#9 r3c4#7 r3c4#9 r5c6#2 r5c6#7)",
     44},
    {"040000090000050000806000407000080000005020700002165900007603500609070302000000000",
     CTechnique::kNakedQuad,
     "Naked Quad: r1c4<>2, r1c6<>2, r2c4<>2, r2c4<>9, r2c6<>1, r2c6<>2, r2c6<>9 (r1c5#1 r1c5#3 "
     "r3c4#2 r3c4#9 r3c5#1 r3c5#3 r3c5#9 r3c6#1 r3c6#2 r3c6#9)",
     50},
    {"058062300320087650700000000000090003000238000800050000000000009083520014006870530",
     CTechnique::kJellyfish,
     "Jellyfish: r1c4<>4, r6c7<>4 (r2c3#4 r2c4#4 r3c3#4 r3c5#4 r3c7#4 r5c3#4 r5c7#4 r7c4#4 "
     "r7c5#4)",
     52},
    {"000006000050870090007250800500000180063000940021000007005021700010093050000500000",
     CTechnique::kHiddenQuad,
     "Hidden Quad: r6c5<>8 (r4c4#3 r4c4#6 r4c4#9 r4c5#3 r4c5#4 r4c5#6 r6c4#3 r6c4#4 r6c4#6 "
     "r6c4#9 r6c5#3 r6c5#4 r6c5#6)",
     54},
    {"650000020008107036020000000000700809000030000906008000000000010310504900070000064",
     CTechnique::kBivalueUniversalGrave, "Bivalue Universal Grave: r5c3=1", 56},
    {"000000407702000090059700030000186002004090600300254000030001920090000704801000000",
     CTechnique::kBivalueUniversalGrave,
     "Bivalue Universal Grave: r2c2<>1, r3c5<>1 (r2c5#1 r3c1#1)", 57},
    {"087600010000078300000200400504000690000000000029000504005002000002130000070005830",
     CTechnique::kBivalueUniversalGrave,
     "Bivalue Universal Grave: r1c9<>5, r3c9<>7 (r2c9#5 r5c9#7 r8c9#5 r8c9#7)", 58},
    {"500000201000930500000008090006000100800702003002000700060300000005019000401000006",
     CTechnique::kAlignedPairExclusion,
     "Aligned Pair Exclusion: r6c6<>5 (r6c5#4 r6c5#6 r6c5#8 r6c5#9 r6c6#4 r6c6#6)", 62},
    {"800010007020000040000503000030107080009602300600050001005030800001405900000000000",
     CTechnique::kTurbotFish, "Turbot Fish: r2c6<>9 (r6c6#9 r6c8#9 r2c9#9 r4c9#9)", 41},
    {"002009010900027500050800009270000300030000090008000062400002050006470001020300800",
     CTechnique::kTurbotFish,
     "Turbot Fish: r4c3<>9, r7c2<>9, r8c2<>9 (r6c2#9 r6c5#9 r9c3#9 r9c5#9)", 40},
    {"500340082600001400040005000024000008300000009800000310000700020001500004760018005",
     CTechnique::kTurbotFish, "Turbot Fish: r3c9<>6 (r3c4#6 r4c4#6 r4c8#6 r6c9#6)", 42},
    {"089020040006097001040100000001000050470000016050000200000008060900650300060070120",
     CTechnique::kGroupedTurbotFish, "Turbot Fish: r4c6<>4 (r4c5#4 r6c5#4 r7c5#4 r7c7#4 r4c7#4)",
     43},
    {"300009002040076080001800600690000800030000010008000037003005400010630050500700008",
     CTechnique::kUniqueRectangle,
     "Unique Rectangle: r7c1<>7 (r7c2#2 r7c2#6 r7c8#2 r7c8#6 r9c2#2 r9c2#6 r9c8#2 r9c8#6)", 45},
    {"890600000020700006070039800050000042700060005140000090005490060300006050000005019",
     CTechnique::kUniqueLoop,
     "Unique Loop: r1c5<>1, r1c5<>4 (r1c9#1 r1c9#4 r1c5#1 r1c5#4 r2c5#1 r2c5#4 r2c3#1 r2c3#4 "
     "r3c3#1 r3c3#4 r3c9#1 r3c9#4)",
     46},
    {"001204500000639000009000600870192045100000006400308007900000004020070050000501000",
     CTechnique::kUniqueLoop,
     "Unique Loop: r9c8<>3, r9c8<>6 (r1c1#3 r1c1#6 r1c2#3 r1c2#6 r9c2#3 r9c2#6 r9c8#3 r9c8#6 "
     "r7c8#3 r7c8#6 r7c6#3 r7c6#6 r8c6#3 r8c6#6 r8c1#3 r8c1#6)",
     47},
    {"700000004054003060600480000000100030008607900030004000000012007040300850500000009",
     CTechnique::kUniqueLoop,
     "Unique Loop: r6c1<>1, r6c1<>2 (r2c7#1 r2c7#2 r2c9#1 r2c9#2 r8c9#1 r8c9#2 r8c1#1 r8c1#2 "
     "r6c1#1 r6c1#2 r5c2#1 r5c2#2 r3c2#1 r3c2#2 r3c3#1 r3c3#2 r9c3#1 r9c3#2 r9c8#1 r9c8#2 "
     "r5c8#1 r5c8#2 r6c7#1 r6c7#2)",
     50},
    {"000000000150000068000925000020090040000407000003102500002000100007060300300701002",
     CTechnique::kWXYZWing,
     "WXYZ-Wing: r9c7<>4 (r8c9#4 r8c9#9 r7c4#5 r7c4#8 r8c6#8 r8c6#9 r9c5#4 r9c5#5)", 55},
    {"870040019003000400000000000007203900001000200000706000390864057080105090010000060",
     CTechnique::kWXYZWing,
     "WXYZ-Wing: r4c5<>5, r5c2<>5 (r5c5#5 r5c5#9 r4c1#4 r4c1#6 r4c2#4 r4c2#5 r4c2#6 r5c1#6 "
     "r5c1#9)",
     56},
    {"000700910300050000000009006001037400930526081006810300800100000000070004057003000",
     CTechnique::kVWXYZWing,
     "VWXYZ-Wing: r7c7<>2 (r9c8#2 r9c8#9 r7c3#2 r7c3#3 r7c6#2 r7c6#5 r7c8#2 r7c8#3 r7c8#5 "
     "r7c8#7 r7c8#9 r7c9#5 r7c9#7 r7c9#9)",
     62},
    {"400003009050607080000590000120000890003000100097000024000068000030905070900400005",
     CTechnique::kThreeLinkXChain,
     "X-Chain: r4c3<>4, r7c2<>4 (r5c2#4 r5c5#4 r2c5#4 r2c7#4 r8c7#4 r8c3#4)", 54},
    {"000000000560000032230040079000060000070501090000708000053000920009806500700000004",
     CTechnique::kYCycle,
     "Y-Cycle: r1c2<>1, r1c8<>6, r4c2<>1, r9c3<>8 (r6c2#1 r6c2#4 r9c2#1 r9c2#8 r9c8#6 r9c8#8 "
     "r6c8#4 r6c8#6)",
     66},
    {"000005009000680000045307060016800074000000000370004950030706540000031000600500000",
     CTechnique::kThreeLinkXChain,
     "X-Chain: r5c3<>8 (r6c3#8 r6c9#8 r7c9#8 r7c1#8 r7c3#8 r8c2#8 r5c2#8)", 57},
    {"100800402070000010405007800007409008000000000600208100002100605090000040306004001",
     CTechnique::kFourLinkXChain,
     "X-Chain: r2c3<>9 (r1c3#9 r1c5#9 r7c5#9 r7c8#9 r9c7#9 r5c7#9 r5c1#9 r2c1#9)", 59},
    {"200060908007400000801023540002000080608050104070000600086310409000009800109040003",
     CTechnique::kForcingChain, "Forcing Chain: r1c8<>3 (r1c8#3)", 71},
    {"060900500000700009700060104300400021090000040120003008603040007900006000001007030",
     CTechnique::kAlignedTripleExclusion,
     "Aligned Triple Exclusion: r9c7<>9 (r7c2#5 r7c2#8 r9c7#4 r9c7#6 r9c7#8 r8c9#2 r8c9#5 "
     "r7c7#2 r7c7#8 r7c7#9 r7c8#5 r7c8#9)",
     75},
    {"006401500300509001000030000205000703030040020670000058060907080000050000002304900",
     CTechnique::kDynamicForcingChain, "Dynamic Forcing Chain: r3c8<>6 (r3c8#6)", 88},
    {"040062000900000020026300480000004870007000600052800000085001360030000008000530010",
     CTechnique::kNishio, "Nishio Forcing Chain: r7c1<>7 (r7c1#7)", 77},
    {"700000810040008200000206003000320900200804007003067000800602000009500080051000002",
     CTechnique::kCellForcingChain, "Cell Forcing Chain: r1c4<>9 (r7c5#1 r7c5#4 r7c5#9)", 85},
    {"200000040009000510000203090300400100000386000004002005060507000013000200070000003",
     CTechnique::kRegionForcingChain, "Region Forcing Chain: r4c9<>9 (r5c2#9 r5c7#9 r5c9#9)", 84},
    {"000000008003000400090020060000079000000061200060502070008000500010000020405000003",
     CTechnique::kNestedForcingChain, "Nested Forcing Chain: r3c6<>5 (r3c6#5)", 96},
};

// Why the links of `step`, a step of a chain technique on `grid`, do not prove it, or an
// empty string when they do. Each link must hold on the grid: a weak one between candidates
// that see each other, a strong one where `to` is the only candidate its cell or one of its
// units leaves once `from` and the links' other starts into it are out. Read in order from
// the step's assumptions (its pattern; for chains of strong links, the first link's start),
// each link starts where the chain already is, and each branch of the assumptions (a
// candidate on and off, or each candidate of a cell or unit on) reaches what the step
// concludes or a contradiction.
std::string CheckLinks(const CStep& step, const CCandidateGrid& grid) {
    using logic::EndOf, logic::Has;
    // A nested chain's main chain may start at, and end in, what its nested steps found,
    // which no link records: its links are checked one by one, and may be none.
    const bool nested = step.technique == CTechnique::kNestedForcingChain;
    if (step.links.empty()) return nested ? "" : "no links";
    using CNode = std::pair<CLinkEnd, bool>;  // an end, and whether it holds the digit
    auto sees = [](const CLinkEnd& a, const CLinkEnd& b) {
        for (int i = 0; i < a.size; ++i) {
            for (int j = 0; j < b.size; ++j) {
                if (a.cells[i] == b.cells[j] ||
                    std::find(kCellPeers[a.cells[i]].begin(), kCellPeers[a.cells[i]].end(),
                              b.cells[j]) == kCellPeers[a.cells[i]].end()) {
                    return false;
                }
            }
        }
        return true;
    };
    auto single = [](const CLinkEnd& end) { return end.size == 1; };
    auto has = [&](const CLinkEnd& end, int cell) {
        return std::find(end.cells.begin(), end.cells.begin() + end.size, cell) !=
               end.cells.begin() + end.size;
    };
    const bool dynamic = step.technique == CTechnique::kNishio ||
                         step.technique == CTechnique::kDynamicForcingChain ||
                         step.technique == CTechnique::kNestedForcingChain;
    for (const CChainLink& link : step.links) {
        for (const CLinkEnd* end : {&link.from, &link.to}) {
            if (end->size < 1 || end->size > 3) return "an end without cells";
            for (int i = 0; i < end->size; ++i) {
                if (!Has(grid, end->cells[i], end->digit)) return "an end that is no candidate";
            }
        }
        const bool sameCell =
            single(link.from) && single(link.to) && link.from.cells[0] == link.to.cells[0];
        if (!link.strong) {
            const bool ok = sameCell ? link.from.digit != link.to.digit
                                     : link.from.digit == link.to.digit && sees(link.from, link.to);
            if (!ok) return "a weak link between candidates that do not see each other";
            continue;
        }
        // The candidates a strong link's `to` needs out: the other candidates of its cell,
        // or the other places of its digit in a unit holding it whole.
        std::vector<CNode> into;
        for (const CChainLink& other : step.links) {
            if (other.strong && other.to == link.to) into.push_back({other.from, false});
        }
        auto covered = [&](const std::vector<std::pair<int, int>>& needed) {
            for (const auto& [cell, d] : needed) {
                bool found = false;
                for (const auto& [end, on] : into)
                    found = found || (end.digit == d && has(end, cell));
                if (!found) return false;
            }
            return true;
        };
        bool ok = false;
        if (single(link.to)) {
            const int cell = link.to.cells[0];
            std::vector<std::pair<int, int>> needed;
            for (int d = 1; d <= 9; ++d) {
                if (d != link.to.digit && Has(grid, cell, d)) needed.push_back({cell, d});
            }
            ok = covered(needed);
        }
        for (int u = 0; u < kUnitCount && !ok; ++u) {
            const auto& cells = kUnitCells[u];
            bool whole = true;
            for (int i = 0; i < link.to.size; ++i) {
                whole =
                    whole && std::find(cells.begin(), cells.end(), link.to.cells[i]) != cells.end();
            }
            if (!whole) continue;
            std::vector<std::pair<int, int>> needed;
            for (uint8_t cell : cells) {
                if (!has(link.to, cell) && Has(grid, cell, link.to.digit)) {
                    needed.push_back({cell, link.to.digit});
                }
            }
            // A static chain's strong link is a unit's two parts alone.
            if (!dynamic && link.from.digit == link.to.digit) {
                size_t part = 0;
                for (const auto& need : needed) part += has(link.from, need.first);
                if (part != needed.size() || part != size_t(link.from.size)) continue;
            }
            ok = covered(needed);
        }
        if (!ok) return "a strong link that leaves other candidates";
    }

    std::vector<CNode> reached;
    auto reach = [&](const CLinkEnd& end, bool on) {
        if (std::find(reached.begin(), reached.end(), CNode{end, on}) == reached.end()) {
            reached.push_back({end, on});
        }
    };
    auto isReached = [&](const CLinkEnd& end, bool on) {
        return std::find(reached.begin(), reached.end(), CNode{end, on}) != reached.end();
    };
    const bool alternating = step.technique == CTechnique::kTurbotFish ||
                             step.technique == CTechnique::kGroupedTurbotFish ||
                             step.technique == CTechnique::kThreeLinkXChain ||
                             step.technique == CTechnique::kFourLinkXChain ||
                             step.technique == CTechnique::kYCycle;
    // Where the chain starts: each branch of the step's assumptions, every one of which must
    // reach the conclusion.
    std::vector<CNode> roots;
    if (alternating) {
        roots.push_back({step.links.front().from, false});
    } else {
        const bool onlyOne = step.pattern.size() == 1;
        for (const CCandidate& c : step.pattern) {
            const CLinkEnd end = EndOf(c.cell, c.digit);
            const bool same =
                onlyOne && ((!step.placements.empty() && step.placements[0] == c) ||
                            (!step.eliminations.empty() && step.eliminations[0] == c));
            if (!same || !step.eliminations.empty()) roots.push_back({end, true});
            if (onlyOne && (!same || !step.placements.empty())) roots.push_back({end, false});
        }
    }
    for (const auto& [end, on] : roots) reach(end, on);
    for (const CChainLink& link : step.links) {
        if (!isReached(link.from, !link.strong) && !nested) {
            return "a link that starts where the chain is not";
        }
        reach(link.to, link.strong);
    }
    if (nested) return "";
    if (alternating) {
        // One of the two ends holds the digit; what the step removes sees both (a loop of
        // two-candidate cells closes on its start instead).
        const CLinkEnd first = step.links.front().from, last = step.links.back().to;
        if (step.technique == CTechnique::kYCycle)
            return last == first ? "" : "a loop that does not close";
        for (const CCandidate& gone : step.eliminations) {
            const CLinkEnd end = EndOf(gone.cell, gone.digit);
            if (gone.digit != first.digit || !sees(end, first) || !sees(end, last)) {
                return "an elimination that does not see both ends";
            }
        }
        return "";
    }
    const CCandidate concluded =
        step.placements.empty() ? step.eliminations[0] : step.placements[0];
    // Whether what `root` reaches, following the links, is the conclusion or a contradiction:
    // a candidate on and off, a cell without candidates, a unit without a place for a digit.
    auto proves = [&](const CNode& root) {
        reached = {root};
        for (size_t size = 0; size != reached.size();) {
            size = reached.size();
            for (const CChainLink& link : step.links) {
                if (isReached(link.from, !link.strong)) reach(link.to, link.strong);
            }
        }
        if (isReached(EndOf(concluded.cell, concluded.digit), !step.placements.empty())) {
            return true;
        }
        for (const auto& [end, on] : reached) {
            if (on && isReached(end, false)) return true;
        }
        for (int u = 0; u < kUnitCount; ++u) {
            for (int d = 1; d <= 9; ++d) {
                bool all = false;
                for (uint8_t cell : kUnitCells[u]) {
                    if (!Has(grid, cell, d)) continue;
                    all = isReached(EndOf(cell, d), false);
                    if (!all) break;
                }
                if (all) return true;
            }
        }
        for (int cell = 0; cell < kCellCount; ++cell) {
            bool all = grid.masks[cell] != 0;
            for (int d = 1; d <= 9 && all; ++d)
                all = !Has(grid, cell, d) || isReached(EndOf(cell, d), false);
            if (all) return true;
        }
        return false;
    };
    for (const CNode& root : roots) {
        if (!proves(root))
            return "a branch that reaches neither the conclusion nor a contradiction";
    }
    return "";
}

bool IsChain(CTechnique t) {
    switch (t) {
        case CTechnique::kTurbotFish:
        case CTechnique::kGroupedTurbotFish:
        case CTechnique::kThreeLinkXChain:
        case CTechnique::kFourLinkXChain:
        case CTechnique::kXChain:
        case CTechnique::kYCycle:
        case CTechnique::kForcingChain:
        case CTechnique::kNishio:
        case CTechnique::kCellForcingChain:
        case CTechnique::kRegionForcingChain:
        case CTechnique::kDynamicForcingChain:
        case CTechnique::kNestedForcingChain:
            return true;
        default:
            return false;
    }
}

TEST(Logic, EachTechniqueFindsItsStep) {
    for (const CTechniqueCase& test : kTechniqueCases) {
        SCOPED_TRACE(std::string(test.puzzle) + " " + std::string(TechniqueName(test.technique)));
        CCandidateGrid grid = Candidates(test.puzzle);
        const PuzzleGrid solution = SolutionOf(grid);
        std::optional<CStep> step;
        while ((step = FindEasiestStep(grid)) && step->technique != test.technique) {
            ApplyStep(grid, *step);
        }
        ASSERT_TRUE(step.has_value()) << "the path never used it";
        EXPECT_EQ(FormatStep(*step), test.step);
        EXPECT_EQ(step->rating, test.rating);
        EXPECT_EQ(CheckStep(*step, solution), "");
        if (IsChain(test.technique)) {
            EXPECT_EQ(CheckLinks(*step, grid), "");
        } else {
            EXPECT_TRUE(step->links.empty());
        }
    }
}

// A technique without a case above is one whose finder nothing checks.
TEST(Logic, EveryTechniqueHasACase) {
    std::array<bool, kTechniqueCount> covered{};
    for (const CTechniqueCase& test : kTechniqueCases) covered[int(test.technique)] = true;
    // X-chains of five strong links or more: none is the easiest step on any grid of the
    // collections, nor on pencil marks made from them by striking candidates.
    covered[int(CTechnique::kXChain)] = true;
    // Never the easiest step: where a line's digit lies in one box and striking it from the
    // box's other lines leaves a hidden single in one of them, the band's third box holds the
    // digit in its third line alone, so a hidden single or a direct pointing comes first.
    covered[int(CTechnique::kDirectClaiming)] = true;
    for (int t = 0; t < kTechniqueCount; ++t) {
        EXPECT_TRUE(covered[t]) << TechniqueName(CTechnique(t)) << " (" << t << ") has no case";
    }
}

// Every step of the path agrees with the only solution, and the path ends with the grid
// solved. Rating the whole corpus takes seconds, as its hardest puzzles need chains nested
// several deep, so every fourth puzzle is rated, and every sixteenth under the sanitizers,
// which run the chains some ten times slower (rate_bench --check follows every path of the
// benchmark collections).
#if defined(__SANITIZE_ADDRESS__)
constexpr size_t kPathSampling = 16;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr size_t kPathSampling = 16;
#else
constexpr size_t kPathSampling = 4;
#endif
#else
constexpr size_t kPathSampling = 4;
#endif

TEST(Logic, PathsAgreeWithTheSolution) {
    const std::vector<CCorpusEntry> corpus = ReadCorpus("unique.txt");
    for (size_t i = 0; i < corpus.size(); i += kPathSampling) {
        const CCorpusEntry& entry = corpus[i];
        SCOPED_TRACE(entry.file + ":" + std::to_string(entry.line) + " " +
                     GridToText(entry.puzzle));
        const CCandidateGrid start = *CCandidateGrid::FromGivens(entry.puzzle);
        const PuzzleGrid solution = GridFromText(entry.solution);
        const CRating rating = RatePuzzle(start, true);
        ASSERT_EQ(rating.outcome, CRating::kRated);
        CCandidateGrid grid = start;
        for (const CStep& step : rating.path) {
            ASSERT_EQ(CheckStep(step, solution), "") << FormatStep(step);
            if (IsChain(step.technique)) {
                EXPECT_EQ(CheckLinks(step, grid), "") << FormatStep(step);
            } else {
                EXPECT_TRUE(step.links.empty()) << FormatStep(step);
            }
            ApplyStep(grid, step);
        }
        EXPECT_EQ(grid.values, solution);
        EXPECT_EQ(rating.solution, solution);
    }
}

// Puzzles of the public bank sampled in bench/data, each with its published rating, where
// one rule of a technique decides the value: the direct pointing counts only the hidden
// single it leaves in a box; the empty rectangle (4.3) comes before the XY-wing; a unique
// loop of six cells is worth 4.6; a chain of three strong links 5.4.
TEST(Logic, RatesAsTheScaleDoes) {
    const std::pair<std::string_view, int> kRated[] = {
        {"570060003030005060601007000053000001000080000900000270000800402080100030200040019", 25},
        {"800002000007008501300014000001000456006000100473000800000460009104900600000700004", 25},
        {"089020040006097001040100000001000050470000016050000200000008060900650300060070120", 43},
        {"030050040510000000700126005090008007601000804400500060900783001000000028060040070", 43},
        {"030000080000791000005000700004080500001204300200305008002508600000000000503010809", 46},
        {"103070002000000040090005001020100503007000200405002060200800030050000000800020709", 54},
    };
    for (const auto& [puzzle, published] : kRated) {
        SCOPED_TRACE(puzzle);
        EXPECT_EQ(RatePuzzle(Candidates(puzzle)).rating, published);
    }
}

// The rating is the hardest step of the path, and the path solves the grid. Each step is
// the one a hint finds on the grid before it: what the rating remembers from step to step
// never changes one (the second puzzle's path takes an aligned triple exclusion after
// others were looked for in vain, the third a WXYZ-wing).
TEST(Logic, RatingIsTheHardestStepOfThePath) {
    for (std::string_view puzzle :
         {"006401500300509001000030000205000703030040020670000058060907080000050000002304900",
          "307000000050080600080900074100007040000050000060400008910004020002070080000000501",
          "200059008000802600080100050490000107000000000807000094030006080006901000100730006"}) {
        SCOPED_TRACE(puzzle);
        const CCandidateGrid start = Candidates(puzzle);
        const CRating rating = RatePuzzle(start, true);
        ASSERT_EQ(rating.outcome, CRating::kRated);
        CCandidateGrid grid = start;
        const CStep* hardest = nullptr;
        for (const CStep& step : rating.path) {
            if (!hardest || step.rating > hardest->rating) hardest = &step;
            const std::optional<CStep> hint = FindEasiestStep(grid);
            ASSERT_TRUE(hint.has_value());
            EXPECT_EQ(FormatStep(*hint), FormatStep(step));
            EXPECT_EQ(hint->links, step.links) << FormatStep(step);
            ApplyStep(grid, step);
        }
        ASSERT_NE(hardest, nullptr);
        EXPECT_EQ(grid.values, SolutionOf(start));
        EXPECT_EQ(rating.rating, hardest->rating);
        EXPECT_EQ(rating.hardest, hardest->technique);
        EXPECT_EQ(RatePuzzle(start).rating, rating.rating);
    }
}

// A puzzle rated 11.4, by chains nested several levels deep, rated to the end,
// every step agreeing with the solution: what the nested rungs remember of the easier
// stages on each grid must keep the stages apart, or the path stalls.
TEST(Logic, DeeplyNestedChainsFinishThePath) {
    const CCandidateGrid start = Candidates(
        "980760500740500000005009070870000003060002000004800600408900700000050009000000010");
    const CRating rating = RatePuzzle(start, true);
    ASSERT_EQ(rating.outcome, CRating::kRated);
    EXPECT_EQ(rating.rating, 114);
    const PuzzleGrid solution = SolutionOf(start);
    CCandidateGrid grid = start;
    for (const CStep& step : rating.path) {
        EXPECT_EQ(CheckStep(step, solution), "") << FormatStep(step);
        if (IsChain(step.technique)) {
            EXPECT_EQ(CheckLinks(step, grid), "") << FormatStep(step);
        }
        ApplyStep(grid, step);
    }
    EXPECT_EQ(grid.values, solution);
}

TEST(Logic, GridsWithoutOneSolutionHaveNoRating) {
    for (const char* file : {"none.txt", "conflicting.txt", "multiple.txt", "near-empty.txt"}) {
        for (const CCorpusEntry& entry : ReadCorpus(file)) {
            SCOPED_TRACE(entry.file + ":" + std::to_string(entry.line));
            const std::optional<CCandidateGrid> grid = CCandidateGrid::FromGivens(entry.puzzle);
            if (!grid) continue;  // a cell above 9
            const CRating rating = RatePuzzle(*grid);
            EXPECT_EQ(rating.outcome,
                      entry.count == 0 ? CRating::kNoSolution : CRating::kSeveralSolutions);
        }
    }
}

// The scale adds a tenth for each length a chain passes of 4, 6, 8, 12, 16, 24, 32, 48, ...
// (by turns half and a third longer than the last), the length being its complexity less two.
TEST(Logic, ChainsAddATenthForEachPublishedLengthTheyPass) {
    constexpr int kLongest[] = {4, 6, 8, 12, 16, 24, 32, 48, 64, 96, 128, 192, 256};
    for (int complexity = 0; complexity <= kLongest[0] + 2; ++complexity) {
        EXPECT_EQ(logic::ChainLengthBonus(complexity), 0) << complexity;
    }
    for (int bonus = 0; bonus < int(std::size(kLongest)); ++bonus) {
        EXPECT_EQ(logic::ChainLengthBonus(kLongest[bonus] + 2), bonus) << kLongest[bonus];
        EXPECT_EQ(logic::ChainLengthBonus(kLongest[bonus] + 3), bonus + 1) << kLongest[bonus];
    }
}

// The subsets within a limit are those of ForSubsets whose values have that many bits at
// most, in the same order, for every set of nine bits, size and limit.
TEST(Logic, SubsetsWithinALimitAreThoseCountedWhole) {
    static constexpr unsigned kValues[9] = {0x006, 0x00C, 0x006, 0x030, 0x0C2,
                                            0x300, 0x014, 0x20A, 0x002};
    auto valueOf = [](int i) { return kValues[i]; };
    int kept = 0;
    for (unsigned available = 0; available < 512; ++available) {
        for (int size = 1; size <= 4; ++size) {
            for (int limit = 1; limit <= 6; ++limit) {
                std::vector<unsigned> expected, found;
                logic::ForSubsets(available, size, [&](unsigned set) {
                    unsigned values = 0;
                    for (unsigned s = set; s != 0; s &= s - 1)
                        values |= kValues[std::countr_zero(s)];
                    if (std::popcount(values) <= limit) expected.push_back(set);
                    return false;
                });
                logic::ForSubsetsWithin(available, size, limit, valueOf, [&](unsigned set) {
                    found.push_back(set);
                    return false;
                });
                ASSERT_EQ(found, expected) << available << " " << size << " " << limit;
                kept += int(found.size());
            }
        }
    }
    EXPECT_GT(kept, 10000);
}

bool SamePositions(const logic::CUnitPositions& a, const logic::CUnitPositions& b) {
    return a.pos == b.pos && a.placed == b.placed && a.placedCells == b.placedCells &&
           a.cellWithout == b.cellWithout;
}

// The rating reads whether a grid is broken from its unit positions: the same answer as
// IsBroken, for each digit struck from a unit, each cell emptied and a digit placed twice;
// and the positions brought up to date from the grid before are those built.
TEST(Logic, PositionsTellABrokenGridAsIsBrokenDoes) {
    const CCandidateGrid start = Candidates(
        "800010007020000040000503000030107080009602300600050001005030800001405900000000000");
    int broken = 0, whole = 0;
    auto check = [&](const CCandidateGrid& grid) {
        const bool expected = logic::IsBroken(grid);
        const logic::CUnitPositions built(grid);
        EXPECT_EQ(built.Broken(), expected);
        // Where a given is replaced, building them again is the only way.
        logic::CUnitPositions updated(start);
        const bool givenReplaced = [&] {
            for (int cell = 0; cell < kCellCount; ++cell) {
                if (start.values[cell] != 0 && grid.values[cell] != start.values[cell]) return true;
            }
            return false;
        }();
        EXPECT_EQ(updated.Update(start, grid), !givenReplaced);
        if (!givenReplaced) {
            EXPECT_TRUE(SamePositions(updated, built));
        }
        ++(expected ? broken : whole);
    };
    check(start);
    for (int u = 0; u < kUnitCount; ++u) {
        for (int d = 1; d <= 9; ++d) {
            CCandidateGrid grid = start;
            for (uint8_t cell : kUnitCells[u]) grid.masks[cell] &= uint16_t(~(1u << d));
            check(grid);
        }
    }
    for (int cell = 0; cell < kCellCount; ++cell) {
        CCandidateGrid grid = start;
        grid.masks[cell] = 0;
        check(grid);
        grid = start;
        const int peer = kCellPeers[cell][0];
        grid.values[cell] = grid.values[peer] != 0 ? grid.values[peer] : 5;
        grid.masks[cell] = 0;
        check(grid);
    }
    EXPECT_GT(broken, 100);
    EXPECT_GT(whole, 100);

    const CRating rating = RatePuzzle(start, true);
    ASSERT_EQ(rating.outcome, CRating::kRated);
    CCandidateGrid grid = start;
    logic::CUnitPositions updated(start);
    for (const CStep& step : rating.path) {
        const CCandidateGrid before = grid;
        ApplyStep(grid, step);
        ASSERT_TRUE(updated.Update(before, grid));
        EXPECT_TRUE(SamePositions(updated, logic::CUnitPositions(grid)));
    }
    // A placed digit taken back, or a cell without candidates before, asks for building.
    EXPECT_FALSE(logic::CUnitPositions(grid).Update(grid, start));
    CCandidateGrid emptied = start;
    emptied.masks[0] = 0;
    emptied.values[0] = 0;
    EXPECT_FALSE(logic::CUnitPositions(emptied).Update(emptied, start));
}

// The count that decides whether the nested chains may run, on the corpus as given and with
// a candidate struck out: the solution's own digit (none left) or one no solution uses.
TEST(Logic, CandidateGridsAreCountedAsTheirCandidatesAllow) {
    for (const std::string& file : CorpusFiles()) {
        for (const CCorpusEntry& entry : ReadCorpus(file)) {
            SCOPED_TRACE(entry.file + ":" + std::to_string(entry.line));
            std::optional<CCandidateGrid> grid = CCandidateGrid::FromGivens(entry.puzzle);
            if (!grid) continue;  // a cell above 9
            const CSolutionCount counted = CountCandidateSolutions(*grid);
            EXPECT_EQ(counted.count, std::min(entry.count, 2));
            if (entry.count != 1) continue;
            EXPECT_EQ(counted.solutions[0], GridFromText(entry.solution));
            const int cell =
                int(std::find(grid->values.begin(), grid->values.end(), 0) - grid->values.begin());
            const int digit = entry.solution[cell] - '0';
            CCandidateGrid struck = *grid;
            struck.masks[cell] &= uint16_t(~(1u << digit));
            EXPECT_EQ(CountCandidateSolutions(struck).count, 0);
            struck.masks[cell] = uint16_t(1u << digit);
            EXPECT_EQ(CountCandidateSolutions(struck).count, 1);
        }
    }
}

// Candidates a person struck out count: a grid read back from its pencil marks gives the
// same step, and once that step's eliminations are struck out by hand, another one.
TEST(Logic, PencilMarksKeepTheStruckOutCandidates) {
    CCandidateGrid grid = Candidates(
        "800010007020000040000503000030107080009602300600050001005030800001405900000000000");
    std::optional<CStep> step;
    while ((step = FindEasiestStep(grid)) && step->technique != CTechnique::kTurbotFish) {
        ApplyStep(grid, *step);
    }
    ASSERT_TRUE(step.has_value());
    std::array<uint16_t, kCellCount> masks{};
    for (int cell = 0; cell < kCellCount; ++cell) {
        masks[cell] = grid.values[cell] != 0 ? uint16_t(1u << grid.values[cell]) : grid.masks[cell];
    }
    std::optional<CCandidateGrid> marked = CCandidateGrid::FromPencilMarks(masks);
    ASSERT_TRUE(marked.has_value());
    EXPECT_EQ(marked->values, grid.values);
    EXPECT_EQ(marked->masks, grid.masks);
    for (const CCandidate& c : step->eliminations) masks[c.cell] &= uint16_t(~(1u << c.digit));
    marked = CCandidateGrid::FromPencilMarks(masks);
    ASSERT_TRUE(marked.has_value());
    const std::optional<CStep> next = FindEasiestStep(*marked);
    ASSERT_TRUE(next.has_value());
    EXPECT_NE(FormatStep(*next), FormatStep(*step));
    masks[0] = 0;
    EXPECT_FALSE(CCandidateGrid::FromPencilMarks(masks).has_value());
}

TEST(Logic, StopEndsTheRating) {
    // One of the hardest known puzzles: its path takes far longer than the stop below.
    const CCandidateGrid grid = Candidates(
        "........8..3...4...9..2..6.....79.......612...6.5.2.7...8...5...1.....2.4.5.....3");
    std::stop_source before;
    before.request_stop();
    EXPECT_EQ(RatePuzzle(grid, false, before.get_token()).outcome, CRating::kStopped);
    EXPECT_FALSE(FindEasiestStep(grid, before.get_token()).has_value());

    std::stop_source during;
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        during.request_stop();
    });
    const CRating rating = RatePuzzle(grid, false, during.get_token());
    stopper.join();
    EXPECT_EQ(rating.outcome, CRating::kStopped);
}

TEST(Logic, FormatsStepsInTheCommunityNotation) {
    CStep step;
    step.technique = CTechnique::kXWing;
    step.placements = {{uint8_t(9 * 3 + 6), 5}};
    step.eliminations = {{uint8_t(1), 7}, {uint8_t(80), 9}};
    EXPECT_EQ(FormatStep(step), "X-Wing: r4c7=5, r1c2<>7, r9c9<>9");
}

}  // namespace
