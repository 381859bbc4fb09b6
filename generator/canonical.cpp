// Canonical forms of puzzles: the least image of a puzzle under the grid's symmetries and the
// relabelling of its digits, found through its solution grid.
//
// A symmetry is a choice of transposition t, the order of the rows (bands in any order, the
// rows of each band in any order) and of the columns (the same by stacks), 2 x 1,296 x 1,296
// of them. Images are compared as 81 digits after relabelling in the order of first
// appearance. For a full grid the first row always becomes 123456789, whatever the columns'
// order; so each (t, first row, column order), 2 x 9 x 1,296, fixes the relabelling, and the
// rest of the least image follows by sorting: the first band's two other rows smaller first,
// each other band's rows sorted, the two bands by their first rows. A candidate whose second
// row is larger than the best so far is dropped at once. The symmetries giving the least grid
// (one, unless the grid is symmetric) then map the puzzle, and the least of its images is the
// puzzle's form: two puzzles are equivalent exactly when their solutions' least grids are the
// same and their givens, mapped so, fall on the same cells.
#include <algorithm>
#include <array>
#include <vector>

#include "generator.h"

namespace {

using CRow = std::array<uint8_t, 9>;

// The 1,296 orders of the columns that keep stacks together: source column of each place.
const std::vector<CRow>& ColumnOrders() {
    static const std::vector<CRow> orders = [] {
        std::vector<CRow> all;
        std::array<int, 3> stacks{0, 1, 2};
        do {
            std::array<int, 3> a{0, 1, 2};
            do {
                std::array<int, 3> b{0, 1, 2};
                do {
                    std::array<int, 3> c{0, 1, 2};
                    do {
                        const std::array<int, 3>* within[3] = {&a, &b, &c};
                        CRow order{};
                        for (int s = 0; s < 3; ++s) {
                            for (int k = 0; k < 3; ++k) {
                                order[3 * s + k] = uint8_t(3 * stacks[s] + (*within[s])[k]);
                            }
                        }
                        all.push_back(order);
                    } while (std::next_permutation(c.begin(), c.end()));
                } while (std::next_permutation(b.begin(), b.end()));
            } while (std::next_permutation(a.begin(), a.end()));
        } while (std::next_permutation(stacks.begin(), stacks.end()));
        return all;
    }();
    return orders;
}

// A symmetry with its relabelling: image cell (i, j) is source cell (rows[i], columns[j]) of
// the grid transposed or not, its digit d written label[d].
struct CMapping {
    bool transposed = false;
    CRow rows{};
    CRow columns{};
    std::array<uint8_t, 10> label{};
};

uint8_t At(const PuzzleGrid& grid, bool transposed, int r, int c) {
    return transposed ? grid[9 * c + r] : grid[9 * r + c];
}

// The least grid among the images of `solution`, and every mapping that gives it.
std::vector<CMapping> LeastMappings(const PuzzleGrid& solution) {
    const std::vector<CRow>& orders = ColumnOrders();
    std::vector<CMapping> best;
    PuzzleGrid bestGrid{};
    bool any = false;
    for (int t = 0; t < 2; ++t) {
        std::array<CRow, 9> rows{};  // the grid, transposed or not
        for (int r = 0; r < 9; ++r) {
            for (int c = 0; c < 9; ++c) rows[r][c] = At(solution, t == 1, r, c);
        }
        for (int first = 0; first < 9; ++first) {
            const int band = first / 3;
            const int a = 3 * band + (first % 3 == 0 ? 1 : 0);
            const int b = 3 * band + (first % 3 == 2 ? 1 : 2);
            for (const CRow& order : orders) {
                std::array<uint8_t, 10> label{};
                for (int j = 0; j < 9; ++j) label[rows[first][order[j]]] = uint8_t(j + 1);
                const auto image = [&](int r) {
                    CRow row;
                    for (int j = 0; j < 9; ++j) row[j] = label[rows[r][order[j]]];
                    return row;
                };
                CRow second = image(a), third = image(b);
                int secondRow = a, thirdRow = b;
                if (third < second) {
                    std::swap(second, third);
                    std::swap(secondRow, thirdRow);
                }
                if (any) {
                    const auto cmp = std::lexicographical_compare_three_way(
                        second.begin(), second.end(), bestGrid.begin() + 9, bestGrid.begin() + 18);
                    if (cmp > 0) continue;
                }
                // The rest: each other band's rows sorted, the bands by their first rows.
                std::array<std::array<std::pair<CRow, int>, 3>, 2> others{};
                for (int k = 0, o = 0; k < 3; ++k) {
                    if (k == band) continue;
                    for (int i = 0; i < 3; ++i) others[o][i] = {image(3 * k + i), 3 * k + i};
                    std::sort(others[o].begin(), others[o].end());
                    ++o;
                }
                if (others[1][0].first < others[0][0].first) std::swap(others[0], others[1]);
                CMapping mapping;
                mapping.transposed = t == 1;
                mapping.rows = {uint8_t(first), uint8_t(secondRow), uint8_t(thirdRow)};
                for (int o = 0; o < 2; ++o) {
                    for (int i = 0; i < 3; ++i)
                        mapping.rows[3 + 3 * o + i] = uint8_t(others[o][i].second);
                }
                mapping.columns = order;
                mapping.label = label;
                PuzzleGrid grid{};
                for (int j = 0; j < 9; ++j) grid[j] = uint8_t(j + 1);
                for (int j = 0; j < 9; ++j) {
                    grid[9 + j] = second[j];
                    grid[18 + j] = third[j];
                }
                for (int o = 0; o < 2; ++o) {
                    for (int i = 0; i < 3; ++i) {
                        std::copy(others[o][i].first.begin(), others[o][i].first.end(),
                                  grid.begin() + 27 * (o + 1) + 9 * i);
                    }
                }
                if (!any || grid < bestGrid) {
                    any = true;
                    bestGrid = grid;
                    best.assign(1, mapping);
                } else if (grid == bestGrid) {
                    best.push_back(mapping);
                }
            }
        }
    }
    return best;
}

}  // namespace

PuzzleGrid CanonicalForm(const PuzzleGrid& puzzle, const PuzzleGrid& solution) {
    PuzzleGrid least{};
    bool any = false;
    for (const CMapping& m : LeastMappings(solution)) {
        PuzzleGrid image{};
        for (int i = 0; i < 9; ++i) {
            for (int j = 0; j < 9; ++j) {
                const int r = m.rows[i], c = m.columns[j];
                if (At(puzzle, m.transposed, r, c) != 0) {
                    image[9 * i + j] = m.label[At(solution, m.transposed, r, c)];
                }
            }
        }
        if (!any || image < least) least = image;
        any = true;
    }
    return least;
}

uint64_t FormInvariant(const PuzzleGrid& puzzle) {
    std::array<int, 9> rows{}, columns{}, boxes{};
    std::array<int, 10> digits{};
    for (int cell = 0; cell < kCellCount; ++cell) {
        if (puzzle[cell] == 0) continue;
        ++rows[cell / 9];
        ++columns[cell % 9];
        ++boxes[kCellUnits[cell].box - 18];
        ++digits[puzzle[cell]];
    }
    // Each given by what the symmetries keep: its row's and column's counts (either way
    // round, for the transposition), its box's, and how often its digit is given.
    std::array<uint16_t, kCellCount> features{};
    int n = 0;
    for (int cell = 0; cell < kCellCount; ++cell) {
        if (puzzle[cell] == 0) continue;
        const int r = rows[cell / 9], c = columns[cell % 9];
        features[n++] = uint16_t(std::min(r, c) << 12 | std::max(r, c) << 8 |
                                 boxes[kCellUnits[cell].box - 18] << 4 | digits[puzzle[cell]]);
    }
    std::sort(features.begin(), features.begin() + n);
    uint64_t hash = 0xCBF29CE484222325ull ^ uint64_t(n);
    for (int k = 0; k < n; ++k) {
        hash = (hash ^ features[k]) * 0x100000001B3ull;
        hash ^= hash >> 29;
    }
    return hash;
}
