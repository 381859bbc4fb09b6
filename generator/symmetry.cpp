// The symmetries of the givens, as maps of cells: each symmetry is the group its maps make.
#include "symmetry.h"

#include <algorithm>

namespace generator {

namespace {

using CMap = int (*)(int r, int c);  // the cell that (r, c) goes to

constexpr int Rotate180(int r, int c) {
    return 9 * (8 - r) + 8 - c;
}
constexpr int Rotate90(int r, int c) {
    return 9 * c + 8 - r;
}
constexpr int MirrorLeftRight(int r, int c) {
    return 9 * r + 8 - c;
}
constexpr int MirrorTopBottom(int r, int c) {
    return 9 * (8 - r) + c;
}
constexpr int Diagonal(int r, int c) {
    return 9 * c + r;
}
constexpr int AntiDiagonal(int r, int c) {
    return 9 * (8 - c) + 8 - r;
}

// Maps that generate each symmetry's group.
std::vector<CMap> Generators(CSymmetry symmetry) {
    switch (symmetry) {
        case CSymmetry::kNone:
            return {};
        case CSymmetry::kRotate180:
            return {Rotate180};
        case CSymmetry::kRotate90:
            return {Rotate90};
        case CSymmetry::kMirrorLeftRight:
            return {MirrorLeftRight};
        case CSymmetry::kMirrorTopBottom:
            return {MirrorTopBottom};
        case CSymmetry::kBothMirrors:
            return {MirrorLeftRight, MirrorTopBottom};
        case CSymmetry::kDiagonal:
            return {Diagonal};
        case CSymmetry::kAntiDiagonal:
            return {AntiDiagonal};
        case CSymmetry::kBothDiagonals:
            return {Diagonal, AntiDiagonal};
    }
    return {};
}

}  // namespace

std::vector<COrbit> Orbits(CSymmetry symmetry) {
    const std::vector<CMap> maps = Generators(symmetry);
    std::vector<COrbit> orbits;
    std::array<bool, kCellCount> seen{};
    for (int first = 0; first < kCellCount; ++first) {
        if (seen[first]) continue;
        COrbit orbit;
        orbit.cells[orbit.size++] = uint8_t(first);
        seen[first] = true;
        // The closure of the first cell under the maps; every group here has at most 4.
        for (int k = 0; k < orbit.size; ++k) {
            for (CMap map : maps) {
                const int next = map(orbit.cells[k] / 9, orbit.cells[k] % 9);
                if (!seen[next]) {
                    seen[next] = true;
                    orbit.cells[orbit.size++] = uint8_t(next);
                }
            }
        }
        orbits.push_back(orbit);
    }
    return orbits;
}

bool HasSymmetry(const PuzzleGrid& puzzle, CSymmetry symmetry) {
    for (const COrbit& orbit : Orbits(symmetry)) {
        const bool given = puzzle[orbit.cells[0]] != 0;
        for (int k = 1; k < orbit.size; ++k) {
            if ((puzzle[orbit.cells[k]] != 0) != given) return false;
        }
    }
    return true;
}

}  // namespace generator
