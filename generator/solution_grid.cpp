// Random solution grids, each equally likely: the boxes are drawn one after another, each
// from the fillings its placed neighbours allow, and a draw is kept with probability
// (fillings allowed) / (the most any draw of that box can allow), else the whole grid is
// drawn again. A grid then comes out with probability 1 / (product of those maxima), the
// same for every grid.
//
// Boxes b = 0-8, band by band; in a box, i is its row and j its column (0-2), and a filling
// lists the box's nine digits row by row. Box 0 is drawn as 1-9 in order and the digits are
// relabelled at random at the end, which keeps every grid equally likely. What each box
// allows, given those before it:
//   1 and 3: box 0's rows (for 1) or columns (for 3): 12,096 fillings, always;
//   2 and 6: their rows (columns) are fixed sets, in any order: 216, always;
//   4: box 3's rows and box 1's columns: 384-448 fillings (kMostCentreFillings);
//   5 and 7: rows (columns) fixed, each digit barred from one column (row): 0 or 8;
//   8: rows and columns fixed: 0 or 1.
// So only box 4 is kept by chance, and boxes 5, 7 and 8 when they have a filling at all;
// about one draw in ten gives a grid.
#include "solution_grid.h"

#include <algorithm>
#include <array>
#include <vector>

namespace generator {

namespace {

using CBox = std::array<uint8_t, 9>;    // a filling: digit at 3 * i + j
using CSets = std::array<uint16_t, 3>;  // three disjoint sets of digits (bit d for digit d)

constexpr int kMostCentreFillings = 448;

// The ordered partitions of 1-9 into three sets of three, none meeting the set of the same
// place in `barred` (box 0's rows or columns): 56 of them.
std::vector<CSets> Partitions(const CSets& barred) {
    std::vector<CSets> all;
    for (unsigned a = 0; a < 1u << 10; a += 2) {
        if (std::popcount(a) != 3 || (a & barred[0])) continue;
        for (unsigned b = 0; b < 1u << 10; b += 2) {
            if (std::popcount(b) != 3 || (b & (a | barred[1]))) continue;
            const unsigned c = kAllDigits & ~(a | b);
            if (c & barred[2]) continue;
            all.push_back({uint16_t(a), uint16_t(b), uint16_t(c)});
        }
    }
    return all;
}

// The three digits of a set, in a random order.
std::array<uint8_t, 3> Shuffled(uint16_t set, CRandom& random) {
    std::array<uint8_t, 3> digits{};
    int n = 0;
    for (unsigned m = set; m; m &= m - 1) digits[n++] = uint8_t(std::countr_zero(m));
    random.Shuffle(digits.data(), 3);
    return digits;
}

// The fillings of the centre box, box 4, by the places its digits are barred from: digit d
// may not stand in row r(d) (where box 3 has it) nor in column c(d) (where box 1 has it).
// Fillings depend only on how many digits have each pair (r, c): a class. Each class keeps
// its fillings for digits numbered in the order of their pairs; the real digits, sorted the
// same way, take their places.
class CCentreFillings {
  public:
    CCentreFillings() {
        // Every 3 x 3 table of counts whose rows and columns sum to 3, by its top-left 2 x 2.
        for (int a = 0; a <= 3; ++a)
            for (int b = 0; b <= 3; ++b)
                for (int c = 0; c <= 3; ++c)
                    for (int d = 0; d <= 3; ++d) {
                        const int counts[3][3] = {{a, b, 3 - a - b},
                                                  {c, d, 3 - c - d},
                                                  {3 - a - c, 3 - b - d, a + b + c + d - 3}};
                        bool valid = true;
                        for (const auto& row : counts)
                            for (int count : row) valid = valid && count >= 0;
                        if (valid) Build(Key(a, b, c, d), counts);
                    }
    }

    // The number of fillings for barred places `rows` and `columns` (indexed by digit).
    int Count(const std::array<uint8_t, 10>& rows, const std::array<uint8_t, 10>& columns) const {
        return int(m_classes[KeyOf(rows, columns)].size());
    }

    // Filling number `index` of that class, with the real digits.
    CBox Filling(const std::array<uint8_t, 10>& rows, const std::array<uint8_t, 10>& columns,
                 int index) const {
        std::array<uint8_t, 9> order{};  // the digits sorted by their pairs
        int n = 0;
        for (int pair = 0; pair < 9; ++pair) {
            for (int d = 1; d <= 9; ++d) {
                if (rows[d] * 3 + columns[d] == pair) order[n++] = uint8_t(d);
            }
        }
        const CBox& filling = m_classes[KeyOf(rows, columns)][index];
        CBox box{};
        for (int cell = 0; cell < 9; ++cell) box[cell] = order[filling[cell]];
        return box;
    }

  private:
    static int Key(int a, int b, int c, int d) { return a + 4 * b + 16 * c + 64 * d; }
    static int KeyOf(const std::array<uint8_t, 10>& rows, const std::array<uint8_t, 10>& columns) {
        int counts[2][2] = {};
        for (int d = 1; d <= 9; ++d) {
            if (rows[d] < 2 && columns[d] < 2) ++counts[rows[d]][columns[d]];
        }
        return Key(counts[0][0], counts[0][1], counts[1][0], counts[1][1]);
    }

    void Build(int key, const int (&counts)[3][3]) {
        std::array<uint8_t, 9> row{}, column{};  // of the numbered digits
        int n = 0;
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c)
                for (int k = 0; k < counts[r][c]; ++k) {
                    row[n] = uint8_t(r);
                    column[n++] = uint8_t(c);
                }
        CBox filling{};
        Place(0, 0, row, column, filling, m_classes[key]);
    }

    static void Place(int digit, unsigned used, const std::array<uint8_t, 9>& row,
                      const std::array<uint8_t, 9>& column, CBox& filling, std::vector<CBox>& out) {
        if (digit == 9) {
            out.push_back(filling);
            return;
        }
        for (int cell = 0; cell < 9; ++cell) {
            if ((used >> cell & 1) || cell / 3 == row[digit] || cell % 3 == column[digit]) continue;
            filling[cell] = uint8_t(digit);
            Place(digit + 1, used | 1u << cell, row, column, filling, out);
        }
    }

    std::array<std::vector<CBox>, 256> m_classes;
};

struct CTables {
    std::vector<CSets> rowPartitions;     // box 1's rows beside box 0 = 1-9 in order
    std::vector<CSets> columnPartitions;  // box 3's columns below it
    CCentreFillings centre;
};

const CTables& Tables() {
    static const CTables tables = [] {
        CTables t;
        CSets rows{}, columns{};
        for (int k = 0; k < 9; ++k) {
            rows[k / 3] |= uint16_t(1u << (k + 1));
            columns[k % 3] |= uint16_t(1u << (k + 1));
        }
        t.rowPartitions = Partitions(rows);
        t.columnPartitions = Partitions(columns);
        return t;
    }();
    return tables;
}

// Cell of row i, column j of box b.
constexpr int CellOf(int b, int i, int j) {
    return 9 * (3 * (b / 3) + i) + 3 * (b % 3) + j;
}

uint16_t RowSet(const PuzzleGrid& g, int b, int i) {
    uint16_t set = 0;
    for (int j = 0; j < 3; ++j) set |= uint16_t(1u << g[CellOf(b, i, j)]);
    return set;
}
uint16_t ColumnSet(const PuzzleGrid& g, int b, int j) {
    uint16_t set = 0;
    for (int i = 0; i < 3; ++i) set |= uint16_t(1u << g[CellOf(b, i, j)]);
    return set;
}

// Fills box `b` whose rows hold fixed sets, each digit d barred from column barred[d]: each
// row's digits go to the columns in one of the orders that bars none, and each row with any
// has exactly two (three digits barred from three different columns, or two from one and
// the third from another). False when a row has none.
bool FillRowsAvoidingColumns(PuzzleGrid& g, int b, const CSets& rowSets,
                             const std::array<uint8_t, 10>& barred, CRandom& random,
                             bool transposed) {
    std::array<std::array<uint8_t, 3>, 3> chosen{};
    for (int i = 0; i < 3; ++i) {
        std::array<uint8_t, 3> digits{};
        int n = 0;
        for (unsigned m = rowSets[i]; m; m &= m - 1) digits[n++] = uint8_t(std::countr_zero(m));
        std::array<std::array<uint8_t, 3>, 2> fits{};
        int fitting = 0;
        std::sort(digits.begin(), digits.end());
        do {
            if (barred[digits[0]] != 0 && barred[digits[1]] != 1 && barred[digits[2]] != 2) {
                fits[fitting++] = digits;
            }
        } while (std::next_permutation(digits.begin(), digits.end()));
        if (fitting == 0) return false;
        chosen[i] = fits[random.Below(2)];
    }
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j)
            g[transposed ? CellOf(b, j, i) : CellOf(b, i, j)] = chosen[i][j];
    }
    return true;
}

// One draw; false when it is not kept.
bool TryGrid(PuzzleGrid& g, CRandom& random) {
    const CTables& tables = Tables();
    for (int k = 0; k < 9; ++k) g[CellOf(0, k / 3, k % 3)] = uint8_t(k + 1);

    // Box 1 by its rows' sets, box 2 the rest of each row; boxes 3 and 6 the same by columns.
    const CSets& rows1 = tables.rowPartitions[random.Below(uint32_t(tables.rowPartitions.size()))];
    const CSets& cols3 =
        tables.columnPartitions[random.Below(uint32_t(tables.columnPartitions.size()))];
    for (int k = 0; k < 3; ++k) {
        const auto a = Shuffled(rows1[k], random);
        const auto c = Shuffled(uint16_t(kAllDigits & ~(RowSet(g, 0, k) | rows1[k])), random);
        const auto d = Shuffled(cols3[k], random);
        for (int j = 0; j < 3; ++j) {
            g[CellOf(1, k, j)] = a[j];
            g[CellOf(2, k, j)] = c[j];
            g[CellOf(3, j, k)] = d[j];
        }
    }
    for (int k = 0; k < 3; ++k) {
        const auto e =
            Shuffled(uint16_t(kAllDigits & ~(ColumnSet(g, 0, k) | ColumnSet(g, 3, k))), random);
        for (int i = 0; i < 3; ++i) g[CellOf(6, i, k)] = e[i];
    }

    // Box 4, kept with probability (its fillings) / kMostCentreFillings.
    std::array<uint8_t, 10> barredRow{}, barredColumn{};
    for (int k = 0; k < 9; ++k) {
        barredRow[g[CellOf(3, k / 3, k % 3)]] = uint8_t(k / 3);
        barredColumn[g[CellOf(1, k / 3, k % 3)]] = uint8_t(k % 3);
    }
    const int centre = tables.centre.Count(barredRow, barredColumn);
    const uint32_t pick = random.Below(kMostCentreFillings);
    if (int(pick) >= centre) return false;
    const CBox box4 = tables.centre.Filling(barredRow, barredColumn, int(pick));
    for (int k = 0; k < 9; ++k) g[CellOf(4, k / 3, k % 3)] = box4[k];

    // Box 5: rows fixed by boxes 3 and 4, columns barred by box 2. Box 7: columns fixed by
    // boxes 1 and 4, rows barred by box 6.
    CSets sets{};
    std::array<uint8_t, 10> barred{};
    for (int k = 0; k < 3; ++k)
        sets[k] = uint16_t(kAllDigits & ~(RowSet(g, 3, k) | RowSet(g, 4, k)));
    for (int k = 0; k < 9; ++k) barred[g[CellOf(2, k / 3, k % 3)]] = uint8_t(k % 3);
    if (!FillRowsAvoidingColumns(g, 5, sets, barred, random, false)) return false;
    for (int k = 0; k < 3; ++k) {
        sets[k] = uint16_t(kAllDigits & ~(ColumnSet(g, 1, k) | ColumnSet(g, 4, k)));
    }
    for (int k = 0; k < 9; ++k) barred[g[CellOf(6, k / 3, k % 3)]] = uint8_t(k / 3);
    if (!FillRowsAvoidingColumns(g, 7, sets, barred, random, true)) return false;

    // Box 8: each digit's row and column are fixed; a grid when no two share a cell.
    for (int i = 0; i < 3; ++i) {
        const uint16_t row = uint16_t(kAllDigits & ~(RowSet(g, 6, i) | RowSet(g, 7, i)));
        for (int j = 0; j < 3; ++j) {
            const uint16_t both =
                row & uint16_t(kAllDigits & ~(ColumnSet(g, 2, j) | ColumnSet(g, 5, j)));
            if (std::popcount(both) != 1) return false;
            g[CellOf(8, i, j)] = uint8_t(std::countr_zero(both));
        }
    }
    return true;
}

}  // namespace

PuzzleGrid RandomSolutionGrid(CRandom& random) {
    PuzzleGrid grid{};
    while (!TryGrid(grid, random)) {
    }
    std::array<uint8_t, 10> label{0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    random.Shuffle(label.data() + 1, 9);
    for (uint8_t& cell : grid) cell = label[cell];
    return grid;
}

}  // namespace generator
