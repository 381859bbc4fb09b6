// The table of techniques that the path of easiest steps walks, made of technique_rows.inc's
// rows: what each is called, what it is worth, which function finds it, what its memo keeps.
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
    bool withAbove = false;  // kWithAbove: tried in one turn with the row above
};

// The finders, by family: singles.cpp, locked_candidates.cpp, subsets.cpp, fish.cpp,
// strong_links.cpp, wings.cpp, uniqueness.cpp, bug.cpp, aligned_exclusion.cpp, y_cycles.cpp,
// unary_chains.cpp, nested_chains.cpp. Rows found together declare their finder again.
#define VELMO_TECHNIQUE(id, name, chineseName, value, finder, ...) \
    std::optional<CStep> finder(CFindContext& ctx);
#include "technique_rows.inc"
#undef VELMO_TECHNIQUE

inline constexpr bool kAlone = false, kWithAbove = true;

inline constexpr std::array<CTechniqueRow, kTechniqueCount> kTechniqueTable = [] {
    using enum CMemo;
    return std::array<CTechniqueRow, kTechniqueCount>{{
#define VELMO_TECHNIQUE(id, name, chineseName, value, finder, memo, turn) \
    {CTechnique::id, name, chineseName, value, finder, memo, turn},
#include "technique_rows.inc"
#undef VELMO_TECHNIQUE
    }};
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
