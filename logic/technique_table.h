// The techniques, one row each, in the order the path of easiest steps tries them: what each
// is called, what it is worth and which function finds it. Adding a technique is a row here,
// its value in logic.h's CTechnique at the same place, and its finder.
#pragma once

#include <array>
#include <optional>
#include <string_view>

#include "logic.h"

namespace logic {

class CFindContext;

// A finder looks at the grid of its context and gives the step it finds, or nullopt.
using CFinder = std::optional<CStep> (*)(CFindContext& ctx);

// What a row remembers along the rating's path, to skip what is as it was when it last found
// nothing there (CPathMemo): the candidates of each digit, the positions in each unit, the
// whole grid, or, for the unique loops, the cells of each pair of digits.
enum class CMemo : uint8_t { kNone, kByDigit, kByUnit, kByGrid, kByDigitPair };

struct CTechniqueRow {
    CTechnique technique;
    std::string_view name;         // as the community writes it: FormatStep and --rate print it
    std::string_view chineseName;  // the window's
    int value;                     // tenths of the scale; the base where the finder adds to it
    CFinder find;
    CMemo memo;
    // Tried in one turn with the row above: the walk takes the easiest step the turn's
    // finders give (the one found first on a tie), each finder called once, in row order.
    // Rows found together name the same finder.
    bool withAbove = false;
};

// The finders, by family: singles.cpp, locked_candidates.cpp, subsets.cpp, fish.cpp,
// strong_links.cpp, wings.cpp, uniqueness.cpp, bug.cpp, aligned_exclusion.cpp, y_cycles.cpp,
// unary_chains.cpp, nested_chains.cpp.
std::optional<CStep> FindFullHouse(CFindContext& ctx);
std::optional<CStep> FindHiddenSingleBox(CFindContext& ctx);
std::optional<CStep> FindHiddenSingleLine(CFindContext& ctx);
std::optional<CStep> FindDirectPointing(CFindContext& ctx);
std::optional<CStep> FindDirectClaiming(CFindContext& ctx);
std::optional<CStep> FindDirectHiddenPair(CFindContext& ctx);
std::optional<CStep> FindNakedSingle(CFindContext& ctx);
std::optional<CStep> FindDirectHiddenTriple(CFindContext& ctx);
std::optional<CStep> FindPointing(CFindContext& ctx);
std::optional<CStep> FindClaiming(CFindContext& ctx);
std::optional<CStep> FindNakedPair(CFindContext& ctx);
std::optional<CStep> FindXWing(CFindContext& ctx);
std::optional<CStep> FindHiddenPair(CFindContext& ctx);
std::optional<CStep> FindNakedTriple(CFindContext& ctx);
std::optional<CStep> FindSwordfish(CFindContext& ctx);
std::optional<CStep> FindHiddenTriple(CFindContext& ctx);
std::optional<CStep> FindTurbotFish(CFindContext& ctx);
std::optional<CStep> FindGroupedTurbotFish(CFindContext& ctx);
std::optional<CStep> FindXYWing(CFindContext& ctx);
std::optional<CStep> FindXYZWing(CFindContext& ctx);
std::optional<CStep> FindUniqueRectangleOrLoop(CFindContext& ctx);
std::optional<CStep> FindNakedQuad(CFindContext& ctx);
std::optional<CStep> FindJellyfish(CFindContext& ctx);
std::optional<CStep> FindHiddenQuad(CFindContext& ctx);
std::optional<CStep> FindThreeLinkXChain(CFindContext& ctx);
std::optional<CStep> FindWXYZWing(CFindContext& ctx);
std::optional<CStep> FindBivalueUniversalGrave(CFindContext& ctx);
std::optional<CStep> FindFourLinkXChain(CFindContext& ctx);
std::optional<CStep> FindVWXYZWing(CFindContext& ctx);
std::optional<CStep> FindAlignedPairExclusion(CFindContext& ctx);
std::optional<CStep> FindOneAssumptionChain(CFindContext& ctx);
std::optional<CStep> FindYCycle(CFindContext& ctx);
std::optional<CStep> FindAlignedTripleExclusion(CFindContext& ctx);
std::optional<CStep> FindNishio(CFindContext& ctx);
std::optional<CStep> FindCellOrRegionForcingChain(CFindContext& ctx);
std::optional<CStep> FindDynamicForcingChain(CFindContext& ctx);
std::optional<CStep> FindNestedForcingChain(CFindContext& ctx);

// The order and the values are those of the rater that rated the community's collections.
inline constexpr std::array<CTechniqueRow, kTechniqueCount> kTechniqueTable = [] {
    using enum CMemo;
    using T = CTechnique;
    // clang-format off
    return std::array<CTechniqueRow, kTechniqueCount>{{
    {T::kFullHouse,             "Full House",               "唯一空格",             10, FindFullHouse,             kNone},
    {T::kHiddenSingleBox,       "Hidden Single",            "宫内排除",             12, FindHiddenSingleBox,       kNone},
    {T::kHiddenSingleLine,      "Hidden Single",            "行列排除",             15, FindHiddenSingleLine,      kNone},
    {T::kDirectPointing,        "Direct Pointing",          "直观区块摒除（宫）",   17, FindDirectPointing,        kByDigit},
    {T::kDirectClaiming,        "Direct Claiming",          "直观区块摒除（行列）", 19, FindDirectClaiming,        kByDigit},
    {T::kDirectHiddenPair,      "Direct Hidden Pair",       "直观隐性数对",         20, FindDirectHiddenPair,      kByUnit},
    {T::kNakedSingle,           "Naked Single",             "唯余法",               23, FindNakedSingle,           kNone},
    {T::kDirectHiddenTriple,    "Direct Hidden Triple",     "直观隐性三数组",       25, FindDirectHiddenTriple,    kByUnit},
    {T::kPointing,              "Pointing",                 "区块摒除（宫）",       26, FindPointing,              kByDigit},
    {T::kClaiming,              "Claiming",                 "区块摒除（行列）",     28, FindClaiming,              kByDigit},
    {T::kNakedPair,             "Naked Pair",               "显性数对",             30, FindNakedPair,             kByUnit},
    {T::kXWing,                 "X-Wing",                   "X翼",                  32, FindXWing,                 kByDigit},
    {T::kHiddenPair,            "Hidden Pair",              "隐性数对",             34, FindHiddenPair,            kByUnit},
    {T::kNakedTriple,           "Naked Triple",             "显性三数组",           36, FindNakedTriple,           kByUnit},
    {T::kSwordfish,             "Swordfish",                "剑鱼",                 38, FindSwordfish,             kByDigit},
    {T::kHiddenTriple,          "Hidden Triple",            "隐性三数组",           40, FindHiddenTriple,          kByUnit},
    // Two rows or columns (skyscraper) 4.0, a row and a column (two-string kite) 4.1, a box 4.2.
    {T::kTurbotFish,            "Turbot Fish",              "多宝鱼",               40, FindTurbotFish,            kByDigit},
    {T::kGroupedTurbotFish,     "Turbot Fish",              "多宝鱼",               43, FindGroupedTurbotFish,     kByDigit},
    {T::kXYWing,                "XY-Wing",                  "XY翼",                 42, FindXYWing,                kByGrid},
    {T::kXYZWing,               "XYZ-Wing",                 "XYZ翼",                44, FindXYZWing,               kByGrid},
    // A tenth more for each digit of a type 3's naked set beyond one.
    {T::kUniqueRectangle,       "Unique Rectangle",         "唯一矩形",             45, FindUniqueRectangleOrLoop, kNone},
    // A tenth more for six cells, two for eight, five from ten.
    {T::kUniqueLoop,            "Unique Loop",              "唯一环",               45, FindUniqueRectangleOrLoop, kByDigitPair, true},
    {T::kNakedQuad,             "Naked Quad",               "显性四数组",           50, FindNakedQuad,             kByUnit},
    {T::kJellyfish,             "Jellyfish",                "水母",                 52, FindJellyfish,             kByDigit},
    {T::kHiddenQuad,            "Hidden Quad",              "隐性四数组",           54, FindHiddenQuad,            kByUnit},
    // A tenth more when the links mix a box or both kinds of line, two for all three, three
    // when one is grouped (strong_links.cpp); the same for four links.
    {T::kThreeLinkXChain,       "X-Chain",                  "X链",                  54, FindThreeLinkXChain,       kByDigit},
    // A tenth less or more by the candidates of the set's largest cell.
    {T::kWXYZWing,              "WXYZ-Wing",                "WXYZ翼",               55, FindWXYZWing,              kByGrid},
    // Types 2 to 4 a tenth more, and type 3 a tenth for each digit of its naked set beyond one.
    {T::kBivalueUniversalGrave, "Bivalue Universal Grave",  "全双值坟墓",           56, FindBivalueUniversalGrave, kNone},
    {T::kFourLinkXChain,        "X-Chain",                  "X链",                  58, FindFourLinkXChain,        kByDigit},
    {T::kVWXYZWing,             "VWXYZ-Wing",               "VWXYZ翼",              62, FindVWXYZWing,             kByGrid},
    {T::kAlignedPairExclusion,  "Aligned Pair Exclusion",   "数对排除",             62, FindAlignedPairExclusion,  kByGrid},
    // From here on, ChainLengthBonus is added for the length of the chain.
    {T::kXChain,                "X-Chain",                  "X链",                  66, FindOneAssumptionChain,    kByDigit},
    {T::kYCycle,                "Y-Cycle",                  "Y环",                  66, FindYCycle,                kNone,   true},
    {T::kForcingChain,          "Forcing Chain",            "强制链",               70, FindOneAssumptionChain,    kNone,   true},
    {T::kAlignedTripleExclusion,"Aligned Triple Exclusion", "三数组排除",           75, FindAlignedTripleExclusion, kByGrid},
    {T::kNishio,                "Nishio Forcing Chain",     "单数试探",             75, FindNishio,                kByDigit},
    {T::kCellForcingChain,      "Cell Forcing Chain",       "单元格强制链",         82, FindCellOrRegionForcingChain, kNone},
    {T::kRegionForcingChain,    "Region Forcing Chain",     "区域强制链",           82, FindCellOrRegionForcingChain, kNone, true},
    {T::kDynamicForcingChain,   "Dynamic Forcing Chain",    "动态强制链",           85, FindDynamicForcingChain,   kNone},
    // Nesting one deep; five tenths more for each level deeper.
    {T::kNestedForcingChain,    "Nested Forcing Chain",     "嵌套强制链",           90, FindNestedForcingChain,    kNone},
    }};
    // clang-format on
}();

constexpr const CTechniqueRow& RowOf(CTechnique technique) {
    return kTechniqueTable[size_t(technique)];
}

// The value of a technique whose value does not depend on its pattern, in tenths.
constexpr int BaseRating(CTechnique technique) {
    return RowOf(technique).value;
}

// A step of `technique` at its base value.
inline CStep MakeStep(CTechnique technique, int unit = -1) {
    CStep step;
    step.technique = technique;
    step.rating = BaseRating(technique);
    step.unit = unit;
    return step;
}

// The memo slot of a row of memo kind `kind`: its place among the rows of that kind.
constexpr int MemoSlot(int row) {
    int slot = 0;
    for (int r = 0; r < row; ++r) slot += kTechniqueTable[r].memo == kTechniqueTable[row].memo;
    return slot;
}
constexpr int MemoSlotCount(CMemo kind) {
    int count = 0;
    for (const CTechniqueRow& row : kTechniqueTable) count += row.memo == kind;
    return count;
}

// The extra tenths a chain of `complexity` nodes is worth over its technique's base value:
// one tenth each time the length passes a limit, the limits growing in turn by half and by
// a third (4, 6, 8, 12, 16, 24, ...).
int ChainLengthBonus(int complexity);

}  // namespace logic
