// The candidate grid and the steps' notation: a grid from givens or pencil marks, a step
// applied to it, and a step written as the community writes it (r4c7=5, r1c2<>7).
#include <bit>
#include <string>

#include "technique_table.h"

namespace logic {

namespace {

std::string CandidateText(const CCandidate& c, std::string_view relation) {
    std::string text = "r";
    text += char('1' + c.cell / 9);
    text += 'c';
    text += char('1' + c.cell % 9);
    text += relation;
    text += char('0' + c.digit);
    return text;
}

}  // namespace

}  // namespace logic

using namespace logic;

std::string_view TechniqueName(CTechnique technique) {
    return RowOf(technique).name;
}

std::string_view TechniqueChineseName(CTechnique technique) {
    return RowOf(technique).chineseName;
}

std::optional<CCandidateGrid> CCandidateGrid::FromGivens(const PuzzleGrid& grid) {
    CCandidateGrid result;
    for (int cell = 0; cell < kCellCount; ++cell) {
        if (grid[cell] > 9) return std::nullopt;
        result.values[cell] = grid[cell];
    }
    for (int cell = 0; cell < kCellCount; ++cell) {
        if (grid[cell] != 0) continue;
        unsigned mask = kAllDigits;
        for (uint8_t peer : kCellPeers[cell]) mask &= ~(1u << grid[peer]);
        result.masks[cell] = uint16_t(mask);
    }
    return result;
}

// A cell counts as placed when it has one candidate and no cell it sees still has that
// digit as a candidate, as in a grid whose givens have been cleared from their units. A
// cell with a single candidate that a peer still shares is an empty cell: the single is a
// step to find. A mask with no candidate, or with bits other than 1-9, is no puzzle.
std::optional<CCandidateGrid> CCandidateGrid::FromPencilMarks(
    const std::array<uint16_t, kCellCount>& masks) {
    CCandidateGrid result;
    for (int cell = 0; cell < kCellCount; ++cell) {
        if (masks[cell] == 0 || (masks[cell] & ~kAllDigits) != 0) return std::nullopt;
    }
    for (int cell = 0; cell < kCellCount; ++cell) {
        bool placed = std::popcount(masks[cell]) == 1;
        for (uint8_t peer : kCellPeers[cell]) {
            if (placed && (masks[peer] & masks[cell]) != 0) placed = false;
        }
        if (placed) {
            result.values[cell] = uint8_t(std::countr_zero(masks[cell]));
        } else {
            result.masks[cell] = masks[cell];
        }
    }
    return result;
}

std::string FormatStep(const CStep& step) {
    std::string text(TechniqueName(step.technique));
    text += ": ";
    bool first = true;
    for (const CCandidate& c : step.placements) {
        if (!first) text += ", ";
        text += CandidateText(c, "=");
        first = false;
    }
    for (const CCandidate& c : step.eliminations) {
        if (!first) text += ", ";
        text += CandidateText(c, "<>");
        first = false;
    }
    if (!step.pattern.empty()) {
        text += " (";
        for (size_t i = 0; i < step.pattern.size(); ++i) {
            if (i != 0) text += ' ';
            text += CandidateText(step.pattern[i], "#");
        }
        text += ')';
    }
    return text;
}

void ApplyStep(CCandidateGrid& grid, const CStep& step) {
    for (const CCandidate& c : step.placements) {
        grid.values[c.cell] = c.digit;
        grid.masks[c.cell] = 0;
        for (uint8_t peer : kCellPeers[c.cell]) grid.masks[peer] &= uint16_t(~(1u << c.digit));
    }
    for (const CCandidate& c : step.eliminations) {
        grid.masks[c.cell] &= uint16_t(~(1u << c.digit));
    }
}
