// Solution counting on a band-wise bit-set representation.
//
// The grid is three bands of three rows. For each digit d (0-8) and band b (0-2) one word
// holds the 27 cells of the band where d is still possible:
//
//     bit = 9 * row-in-band + column        row 0: bits 0-8, row 1: 9-17, row 2: 18-26
//
// A digit occupies exactly one cell in each row and each box of a band, so its three
// "mini-rows" per box pattern must be a permutation of the 3 x 3 mini-row grid. Table
// kPermutationMask keeps only the cells of mini-rows that belong to such a permutation:
// that one lookup does the work of box-line reduction and hidden singles in boxes and rows
// for one digit in one band. A row left with a single cell fixes the digit there.
// Naked singles are found for a whole band at once by counting candidates bit-sliced
// across the nine digit words. When nothing propagates, the search guesses on a cell with
// the fewest candidates (two, almost always) and copies the 57-word state per guess, which
// costs less than undoing.
#include "solution_counter.h"

#include <array>
#include <cstring>

namespace {

constexpr uint32_t kBand = 0x7FFFFFF;
constexpr int kDigits = 9;

constexpr std::array<uint32_t, 512> MakeRowToBoxes() {
    std::array<uint32_t, 512> table{};
    for (uint32_t row = 0; row < 512; ++row) {
        for (int box = 0; box < 3; ++box) {
            if (row & (7u << (3 * box))) table[row] |= 1u << box;
        }
    }
    return table;
}

// Mini-row occupancy (bit 3 * row + box) to the cells of the mini-rows that lie on some
// permutation: one mini-row per row and per box, all occupied. 0 when none exists.
constexpr std::array<uint32_t, 512> MakePermutationMask() {
    constexpr int kPermutations[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2},
                                         {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};
    std::array<uint32_t, 512> table{};
    for (uint32_t occupied = 0; occupied < 512; ++occupied) {
        for (const auto& boxOfRow : kPermutations) {
            bool possible = true;
            for (int row = 0; row < 3; ++row) {
                possible = possible && (occupied & (1u << (3 * row + boxOfRow[row])));
            }
            if (!possible) continue;
            for (int row = 0; row < 3; ++row) {
                table[occupied] |= 7u << (9 * row + 3 * boxOfRow[row]);
            }
        }
    }
    return table;
}

// A 9-bit row to itself when it has exactly one bit, else 0.
constexpr std::array<uint16_t, 512> MakeRowSingle() {
    std::array<uint16_t, 512> table{};
    for (uint32_t row = 1; row < 512; ++row) {
        if ((row & (row - 1)) == 0) table[row] = static_cast<uint16_t>(row);
    }
    return table;
}

// The other cells of the band that share a row, column or box with `bit`.
constexpr std::array<uint32_t, 27> MakePeersInBand() {
    std::array<uint32_t, 27> table{};
    for (int x = 0; x < 27; ++x) {
        for (int y = 0; y < 27; ++y) {
            const bool sameRow = x / 9 == y / 9;
            const bool sameColumn = x % 9 == y % 9;
            const bool sameBox = (x % 9) / 3 == (y % 9) / 3;
            if (x != y && (sameRow || sameColumn || sameBox)) table[x] |= 1u << y;
        }
    }
    return table;
}

constexpr auto kRowToBoxes = MakeRowToBoxes();
constexpr auto kPermutationMask = MakePermutationMask();
constexpr auto kRowSingle = MakeRowSingle();
constexpr auto kPeersInBand = MakePeersInBand();

constexpr uint32_t ColumnMask(int column) { return 0x40201u << column; }

inline int LowestBit(uint32_t word) { return __builtin_ctz(word); }

}  // namespace

struct CSolutionCounter::CState {
    uint32_t candidates[kDigits * 3];  // [3 * d + b]: cells of band b where digit d can go
    uint32_t seen[kDigits * 3];        // candidates as last propagated; a difference means work
    uint32_t unsolved[3];              // cells of band b without a fixed digit

    // Fixes digit d in cell `x` of band b.
    void Place(int d, int b, int x) {
        const uint32_t bit = 1u << x;
        for (int e = 0; e < kDigits; ++e) candidates[3 * e + b] &= ~bit;
        candidates[3 * d + b] |= bit;
        candidates[3 * d + b] &= ~kPeersInBand[x];
        const uint32_t column = ColumnMask(x % 9);
        candidates[3 * d + (b + 1) % 3] &= ~column;
        candidates[3 * d + (b + 2) % 3] &= ~column;
        unsolved[b] &= ~bit;
    }
};

bool CSolutionCounter::Propagate(CState& s) {
    for (;;) {
        bool changed = true;
        while (changed) {
            changed = false;
            for (int i = 0; i < kDigits * 3; ++i) {
                if (s.candidates[i] == s.seen[i]) continue;
                changed = true;
                const int b = i % 3;
                uint32_t a = s.candidates[i];
                const uint32_t occupied = kRowToBoxes[a & 511] | kRowToBoxes[(a >> 9) & 511] << 3 |
                                          kRowToBoxes[a >> 18] << 6;
                a &= kPermutationMask[occupied];
                if (a == 0) return false;

                const uint32_t singles = uint32_t(kRowSingle[a & 511]) |
                                         uint32_t(kRowSingle[(a >> 9) & 511]) << 9 |
                                         uint32_t(kRowSingle[a >> 18]) << 18;
                uint32_t fresh = singles & s.unsolved[b];
                if (fresh == 0) {
                    s.candidates[i] = s.seen[i] = a;
                    continue;
                }
                // Fixing cells may leave further rows with one cell: `seen` stays stale so
                // that this word is looked at again.
                s.candidates[i] = a;
                const int d = i / 3;
                while (fresh) {
                    s.Place(d, b, LowestBit(fresh));
                    fresh &= fresh - 1;
                }
                if (s.candidates[i] == 0) return false;
            }
        }

        // Naked singles and empty cells, a band at a time: `once` gathers cells with at
        // least one candidate, `twice` those with at least two.
        bool placed = false;
        for (int b = 0; b < 3; ++b) {
            if (s.unsolved[b] == 0) continue;
            uint32_t once = 0, twice = 0;
            for (int d = 0; d < kDigits; ++d) {
                twice |= once & s.candidates[3 * d + b];
                once |= s.candidates[3 * d + b];
            }
            if (s.unsolved[b] & ~once) return false;
            uint32_t singles = s.unsolved[b] & ~twice;
            while (singles) {
                const int x = LowestBit(singles);
                singles &= singles - 1;
                for (int d = 0; d < kDigits; ++d) {
                    if (s.candidates[3 * d + b] & (1u << x)) {
                        s.Place(d, b, x);
                        break;
                    }
                }
                placed = true;
            }
        }
        if (!placed) return true;
    }
}

void CSolutionCounter::Record(const CState& s) {
    if (m_found++ == 0 && m_firstFound != nullptr) {
        for (int d = 0; d < kDigits; ++d) {
            for (int b = 0; b < 3; ++b) {
                for (uint32_t cells = s.candidates[3 * d + b]; cells; cells &= cells - 1) {
                    m_firstFound[27 * b + LowestBit(cells)] = static_cast<uint8_t>(d + 1);
                }
            }
        }
    }
}

void CSolutionCounter::Branch(CState& s) {
    if (!Propagate(s)) return;
    if ((s.unsolved[0] | s.unsolved[1] | s.unsolved[2]) == 0) {
        Record(s);
        return;
    }
    if ((++m_guesses & 255) == 0 && m_expired && m_expired()) {
        m_aborted = true;
        return;
    }

    // The first cell with the fewest candidates, counted bit-sliced per band up to four.
    // Singles are gone, so an unsolved cell has two candidates or more.
    int b = -1;
    uint32_t cells = 0;
    int fewest = 5;
    for (int band = 0; band < 3 && fewest > 2; ++band) {
        if (s.unsolved[band] == 0) continue;
        uint32_t one = 0, two = 0, three = 0, four = 0;
        for (int d = 0; d < kDigits; ++d) {
            const uint32_t c = s.candidates[3 * d + band];
            four |= three & c;
            three |= two & c;
            two |= one & c;
            one |= c;
        }
        const uint32_t byCount[3] = {s.unsolved[band] & ~three, s.unsolved[band] & three & ~four,
                                     s.unsolved[band]};
        for (int rank = 2; rank < fewest; ++rank) {
            if (byCount[rank - 2]) {
                b = band, cells = byCount[rank - 2], fewest = rank;
                break;
            }
        }
    }
    const int x = LowestBit(cells);
    const uint32_t bit = 1u << x;

    int digits[kDigits];
    int count = 0;
    for (int d = 0; d < kDigits; ++d) {
        if (s.candidates[3 * d + b] & bit) digits[count++] = d;
    }
    for (int k = 0; k < count; ++k) {
        if (k + 1 < count) {
            CState guess = s;
            guess.Place(digits[k], b, x);
            Branch(guess);
        } else {
            s.Place(digits[k], b, x);
            Branch(s);
        }
        if (m_found >= m_limit || m_aborted) return;
    }
}

int CSolutionCounter::Count(const uint8_t* grid, int limit, uint8_t* firstFound) {
    m_limit = limit;
    m_found = 0;
    m_aborted = false;
    m_firstFound = firstFound;
    m_guesses = 0;

    CState s;
    std::fill(std::begin(s.candidates), std::end(s.candidates), kBand);
    std::fill(std::begin(s.seen), std::end(s.seen), 0u);
    std::fill(std::begin(s.unsolved), std::end(s.unsolved), kBand);
    for (int cell = 0; cell < kCellCount; ++cell) {
        if (grid[cell] == 0) continue;
        const int d = grid[cell] - 1, b = cell / 27, x = cell % 27;
        // A given that an earlier given already ruled out: the grid breaks a rule.
        if (!(s.candidates[3 * d + b] & (1u << x))) return 0;
        s.Place(d, b, x);
    }
    Branch(s);
    return m_aborted ? -1 : m_found;
}
