// The candidate grid, the steps' values and notation, and the path of easiest steps that the
// rating walks. A candidate is written rRcC=D or rRcC<>D with rows and columns from 1.
#include <algorithm>
#include <cstring>
#include <string>

#include "grid_solver.h"
#include "logic_internal.h"

namespace logic {

namespace {

struct CTechniqueInfo {
    std::string_view name;
    int rating;  // the base value in tenths; chains and loops add to it
};

constexpr std::array<CTechniqueInfo, kTechniqueCount> kTechniques = {{
    {"Full House", 10},
    {"Hidden Single", 12},
    {"Hidden Single", 15},
    {"Direct Pointing", 17},
    {"Direct Claiming", 19},
    {"Direct Hidden Pair", 20},
    {"Naked Single", 23},
    {"Direct Hidden Triple", 25},
    {"Pointing", 26},
    {"Claiming", 28},
    {"Naked Pair", 30},
    {"X-Wing", 32},
    {"Hidden Pair", 34},
    {"Naked Triple", 36},
    {"Swordfish", 38},
    {"Hidden Triple", 40},
    {"XY-Wing", 42},
    {"XYZ-Wing", 44},
    {"Unique Rectangle", 45},
    {"Unique Loop", 45},
    {"Naked Quad", 50},
    {"Jellyfish", 52},
    {"Hidden Quad", 54},
    {"Bivalue Universal Grave", 56},
    {"Aligned Pair Exclusion", 62},
    {"X-Chain", 66},
    {"Y-Cycle", 66},
    {"Bidirectional Cycle", 70},
    {"Forcing Chain", 70},
    {"Aligned Triple Exclusion", 75},
    {"Nishio Forcing Chain", 75},
    {"Cell Forcing Chain", 82},
    {"Region Forcing Chain", 82},
    {"Dynamic Forcing Chain", 85},
    {"Nested Forcing Chain", 90},
    {"Turbot Fish", 40},
    {"WXYZ-Wing", 55},
    {"VWXYZ-Wing", 62},
}};

std::string CandidateText(const CCandidate& c, std::string_view relation) {
    std::string text = "r";
    text += char('1' + c.cell / 9);
    text += 'c';
    text += char('1' + c.cell % 9);
    text += relation;
    text += char('0' + c.digit);
    return text;
}

// Removes `digit` from the candidates of the cells that see `cell`.
void ClearPeers(CCandidateGrid& grid, int cell, int digit) {
    for (uint8_t peer : kCellPeers[cell]) grid.masks[peer] &= uint16_t(~(1u << digit));
}

bool IsSolved(const CCandidateGrid& grid) {
    return std::find(grid.values.begin(), grid.values.end(), 0) == grid.values.end();
}

}  // namespace

// Each cell once for its three units: unit by unit, each cell was read three times, which
// took 554 M of the 20.4 G instructions of the slowest of the hardest puzzles measured, where
// the nested chains build this for every grid they assume; this way 407 M.
// The box and the place in it by table, for each cell: computed, they took 30 M more of the
// 5.0-9.0 sample's 4.36 G instructions, as every step of every path builds the positions.
CUnitPositions::CUnitPositions(const CCandidateGrid& grid) {
    static constexpr std::array<std::array<uint8_t, 2>, kCellCount> kBoxPlace = [] {
        std::array<std::array<uint8_t, 2>, kCellCount> table{};
        for (int cell = 0; cell < kCellCount; ++cell) {
            const int r = cell / 9, c = cell % 9;
            table[cell] = {uint8_t(18 + 3 * (r / 3) + c / 3), uint8_t(3 * (r % 3) + c % 3)};
        }
        return table;
    }();
    for (int cell = 0; cell < kCellCount; ++cell) {
        const int r = cell / 9, c = cell % 9;
        const int box = kBoxPlace[cell][0], inBox = kBoxPlace[cell][1];
        if (grid.values[cell] != 0) {
            const auto bit = uint16_t(1u << grid.values[cell]);
            placed[r] |= bit;
            placed[9 + c] |= bit;
            placed[box] |= bit;
            ++placedCells;
        } else if (grid.masks[cell] == 0) {
            cellWithout = true;
        }
        for (unsigned bits = grid.masks[cell]; bits != 0; bits &= bits - 1) {
            const int d = std::countr_zero(bits);
            pos[r][d] |= uint16_t(1u << c);
            pos[9 + c][d] |= uint16_t(1u << r);
            pos[box][d] |= uint16_t(1u << inBox);
        }
    }
}

bool CUnitPositions::Update(const CCandidateGrid& before, const CCandidateGrid& grid) {
    if (cellWithout) return false;
    auto apply = [&](int cell) {
        const int v0 = before.values[cell], v1 = grid.values[cell];
        const unsigned m0 = before.masks[cell], m1 = grid.masks[cell];
        const int r = cell / 9, c = cell % 9;
        const CCellUnits& units = kCellUnits[cell];
        const int inBox = 3 * (r % 3) + c % 3;
        if (v0 != v1) {
            if (v0 != 0) return false;
            const auto bit = uint16_t(1u << v1);
            placed[r] |= bit;
            placed[9 + c] |= bit;
            placed[units.box] |= bit;
            ++placedCells;
        }
        if (v1 == 0 && m1 == 0) cellWithout = true;
        for (unsigned bits = m0 ^ m1; bits != 0; bits &= bits - 1) {
            const int d = std::countr_zero(bits);
            pos[r][d] ^= uint16_t(1u << c);
            pos[9 + c][d] ^= uint16_t(1u << r);
            pos[units.box][d] ^= uint16_t(1u << inBox);
        }
        return true;
    };
    return ForEachChangedCell(before, grid, apply);
}

// Each placed cell puts its digit in three units, so the units' placed digits count three
// times the placed cells unless a unit has one of them twice.
bool CUnitPositions::Broken() const {
    // The digits with a place in a unit, four at a time: a position mask is below 0x200, so
    // adding 0x7FFF sets a lane's top bit just where it is not 0, and the multiplication
    // gathers the four top bits, each to its own bit from 45 up, without a carry. With a test
    // per digit, this loop took 46 M instructions of the 5.0-9.0 sample, this way 31 M.
    constexpr uint64_t kLanes = 0x7FFF7FFF7FFF7FFF, kTops = 0x8000800080008000;
    constexpr uint64_t kGather =
        1 + (uint64_t(1) << 15) + (uint64_t(1) << 30) + (uint64_t(1) << 45);
    auto nonZero = [&](const uint16_t* lanes) {
        uint64_t word;
        std::memcpy(&word, lanes, sizeof(word));
        return unsigned((((word + kLanes) & kTops) >> 15) * kGather >> 45 & 0xF);
    };
    int placedDigits = 0;
    bool missing = false;
    for (int u = 0; u < kUnitCount; ++u) {
        placedDigits += Count(placed[u]);
        const unsigned possible = nonZero(&pos[u][0]) | nonZero(&pos[u][4]) << 4 |
                                  (pos[u][8] != 0 ? 1u << 8 : 0u) | (pos[u][9] != 0 ? 1u << 9 : 0u);
        missing |= (placed[u] | possible) != kAllDigits;
    }
    return cellWithout || missing || placedDigits != 3 * placedCells;
}

std::array<CCells, 10> DigitCandidates(const CUnitPositions& up) {
    std::array<CCells, 10> cells{};
    for (int d = 1; d <= 9; ++d) {
        for (int r = 0; r < 9; ++r) {
            const uint64_t row = up.pos[r][d];
            const int shift = 9 * r;
            if (shift < 64) cells[d].lo |= row << shift;
            if (shift + 9 > 64)
                cells[d].hi |= shift >= 64 ? row << (shift - 64) : row >> (64 - shift);
        }
    }
    return cells;
}

int BaseRating(CTechnique technique) {
    return kTechniques[int(technique)].rating;
}

CStep MakeStep(CTechnique technique, int unit) {
    CStep step;
    step.technique = technique;
    step.rating = BaseRating(technique);
    step.unit = unit;
    return step;
}

bool IsBroken(const CCandidateGrid& grid) {
    // One pass over the cells without a branch, each unit's digits gathered as it goes: the
    // rating asks this at every step, and a pass per unit took 94 M of the 5.0-9.0 sample's
    // 3.59 G instructions, this one 75 M.
    std::array<unsigned, kUnitCount> placed{}, possible{};
    unsigned twice = 0, empty = 0;
    for (int cell = 0; cell < kCellCount; ++cell) {
        const unsigned mask = grid.masks[cell];
        const unsigned bit = (1u << grid.values[cell]) & ~1u;
        empty |= (bit | mask) == 0 ? 1u : 0u;
        const CCellUnits& units = kCellUnits[cell];
        twice |= (placed[units.row] | placed[units.column] | placed[units.box]) & bit;
        placed[units.row] |= bit;
        placed[units.column] |= bit;
        placed[units.box] |= bit;
        possible[units.row] |= mask;
        possible[units.column] |= mask;
        possible[units.box] |= mask;
    }
    if ((twice | empty) != 0) return true;
    for (int u = 0; u < kUnitCount; ++u) {
        if ((placed[u] | possible[u]) != kAllDigits) return true;
    }
    return false;
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

}  // namespace logic

using namespace logic;

std::string_view TechniqueName(CTechnique technique) {
    return kTechniques[int(technique)].name;
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
        bool placed = Count(masks[cell]) == 1;
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

namespace {

// FindEasiestStep; along a path, with what earlier steps left in `memo` and `memory`.
std::optional<CStep> FindStep(const CCandidateGrid& grid, std::stop_token stop, CPathMemo* memo,
                              CChainMemory* memory) {
    if (stop.stop_requested() || IsSolved(grid)) return std::nullopt;
    std::optional<CUnitPositions> own;
    const CUnitPositions& up = memo ? memo->PositionsOf(grid) : own.emplace(grid);
    if (up.Broken()) return std::nullopt;
    if (auto step = FindBasicStep(grid, up, memo)) return step;
    std::optional<CStep> chain = FindChainStep(grid, stop, INT_MAX, memory, memo);
    if (!chain) return chain;
    // The rated collections' rater counts the Y-cycles among the chains of one assumption,
    // taking the easiest of them all, and tries aligned triple exclusion (7.5) after those and
    // before nishio: a step of the rungs above gives way to them.
    const bool oneAssumption =
        chain->technique == CTechnique::kXChain || chain->technique == CTechnique::kForcingChain;
    if (std::optional<CStep> cycle = FindYCycle(grid)) {
        if (!oneAssumption || cycle->rating < chain->rating) return cycle;
    }
    if (oneAssumption) return chain;
    if (auto step = FindAlignedTripleExclusion(grid, memo)) return step;
    return chain;
}

}  // namespace

std::optional<CStep> FindEasiestStep(const CCandidateGrid& grid, std::stop_token stop) {
    return FindStep(grid, stop, nullptr, nullptr);
}

void ApplyStep(CCandidateGrid& grid, const CStep& step) {
    for (const CCandidate& c : step.placements) {
        grid.values[c.cell] = c.digit;
        grid.masks[c.cell] = 0;
        ClearPeers(grid, c.cell, c.digit);
    }
    for (const CCandidate& c : step.eliminations) {
        grid.masks[c.cell] &= uint16_t(~(1u << c.digit));
    }
}

CRating RatePuzzle(const CCandidateGrid& grid, bool keepPath, std::stop_token stop) {
    CRating result;
    // The exact solver only says whether there is a path to walk; it never picks a step.
    const std::optional<CCandidateGrid> fromGivens = CCandidateGrid::FromGivens(grid.values);
    const int solutions = fromGivens && fromGivens->masks == grid.masks
                              ? CountSolutions(grid.values.data()).count
                              : CountCandidateSolutions(grid);
    if (solutions != 1) {
        result.outcome = solutions == 0 ? CRating::kNoSolution : CRating::kSeveralSolutions;
        return result;
    }
    CCandidateGrid current = grid;
    CPathMemo memo;
    // A grid the nested chains assume at one step is often assumed again at a later one:
    // kept, their answers took a puzzle rated 11.5 from 5.6 G instructions to 5.1 G.
    const std::shared_ptr<CChainMemory> memory = NewChainMemory();
    while (!IsSolved(current)) {
        std::optional<CStep> step = FindStep(current, stop, &memo, memory.get());
        if (!step) {
            result.outcome = CRating::kStopped;
            return result;
        }
        if (step->rating > result.rating) {
            result.rating = step->rating;
            result.hardest = step->technique;
        }
        ApplyStep(current, *step);
        if (keepPath) result.path.push_back(std::move(*step));
    }
    result.outcome = CRating::kRated;
    result.solution = current.values;
    return result;
}
