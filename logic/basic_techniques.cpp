// The techniques up to aligned pair exclusion: singles, locked candidates, subsets, fish,
// wings, unique rectangles, the bivalue universal grave. Each scans for its first instance;
// the "direct" variants place the hidden single their eliminations would leave behind.
//
// u is a unit, i a cell's index in its unit (0-8), d a digit, pos a unit's 9-bit position
// mask of one digit (CUnitPositions).
#include <algorithm>
#include <memory>
#include <new>
#include <unordered_map>
#include <vector>

#include "logic_internal.h"

namespace logic {

namespace {

using Positions = CUnitPositions;

// The memo of one grid's digit techniques, if any, with the digits' candidates it is read
// by, found on first use: most steps never get that far.
class CDigitCandidates {
  public:
    CDigitCandidates(const Positions& up, CPathMemo* memo) : up_(up), memo_(memo) {}

    bool FoundNothing(int slot, int d) { return memo_ && memo_->FoundNothing(slot, d, Of(d)); }
    void NoteNothing(int slot, int d) {
        if (memo_) memo_->NoteNothing(slot, d, Of(d));
    }
    // For a technique that looks at every digit, finding nothing: the digits it may skip,
    // then, once it has found nothing, all the others noted.
    unsigned Skipped(int slot) {
        unsigned skipped = 0;
        for (int d = 1; memo_ && d <= 9; ++d) {
            if (FoundNothing(slot, d)) skipped |= 1u << d;
        }
        return skipped;
    }
    void NoteNothingBut(int slot, unsigned skipped) {
        for (int d = 1; memo_ && d <= 9; ++d) {
            if ((skipped >> d & 1) == 0) NoteNothing(slot, d);
        }
    }

    CPathMemo* Memo() const { return memo_; }
    const CCells& Of(int d) {
        if (!cells_) cells_ = DigitCandidates(up_);
        return (*cells_)[d];
    }

  private:
    const Positions& up_;
    CPathMemo* memo_;
    std::optional<std::array<CCells, 10>> cells_;
};

bool Has(const CCandidateGrid& grid, int cell, int d) {
    return (grid.masks[cell] >> d & 1) != 0;
}

CCandidate Cand(int cell, int d) {
    return {uint8_t(cell), uint8_t(d)};
}

// The cells of unit u whose bits are set in `bits`.
std::vector<uint8_t> UnitCells(int u, unsigned bits) {
    std::vector<uint8_t> cells;
    for (; bits != 0; bits &= bits - 1) cells.push_back(kUnitCells[u][std::countr_zero(bits)]);
    return cells;
}

std::optional<CStep> FullHouse(const CCandidateGrid& grid, const Positions& up) {
    for (int u = 0; u < kUnitCount; ++u) {
        // The unit's placed digits first: most units miss more than one, and counting every
        // unit's empty cells took 35 M more of the 5.0-9.0 sample's 3.21 G instructions.
        const unsigned missing = kAllDigits & ~up.placed[u];
        if (Count(missing) != 1) continue;
        int empty = -1, emptyCount = 0;
        for (uint8_t cell : kUnitCells[u]) {
            if (grid.values[cell] == 0) {
                empty = cell;
                ++emptyCount;
            }
        }
        if (emptyCount != 1) continue;
        const int d = std::countr_zero(missing);
        if (!Has(grid, empty, d)) continue;
        CStep step = MakeStep(CTechnique::kFullHouse, u);
        step.cells = {uint8_t(empty)};
        step.placements = {Cand(empty, d)};
        return step;
    }
    return std::nullopt;
}

std::optional<CStep> HiddenSingle(const CCandidateGrid& grid, const Positions& up, bool boxes) {
    (void)grid;
    for (int n = 0; n < (boxes ? 9 : 18); ++n) {
        const int u = boxes ? 18 + n : n;
        for (int d = 1; d <= 9; ++d) {
            if (Count(up.pos[u][d]) != 1 || (up.placed[u] >> d & 1) != 0) continue;
            const int cell = kUnitCells[u][std::countr_zero(up.pos[u][d])];
            CStep step =
                MakeStep(boxes ? CTechnique::kHiddenSingleBox : CTechnique::kHiddenSingleLine, u);
            step.cells = {uint8_t(cell)};
            step.placements = {Cand(cell, d)};
            return step;
        }
    }
    return std::nullopt;
}

std::optional<CStep> NakedSingle(const CCandidateGrid& grid) {
    for (int cell = 0; cell < kCellCount; ++cell) {
        if (grid.values[cell] != 0 || Count(grid.masks[cell]) != 1) continue;
        CStep step = MakeStep(CTechnique::kNakedSingle);
        step.cells = {uint8_t(cell)};
        step.placements = {Cand(cell, std::countr_zero(grid.masks[cell]))};
        return step;
    }
    return std::nullopt;
}

// The hidden single of digit d that removing d from `removed` leaves, if any: the placement
// a direct technique makes. The scale's rater looks for it only in the units of the
// pattern's own kind that cross the eliminations (other boxes for a pointing, parallel lines
// for a claiming), so a single it leaves elsewhere does not make the step direct.
std::optional<std::pair<int, int>> HiddenSingleAfter(const CCandidateGrid& grid, int d,
                                                     const std::vector<uint8_t>& removed,
                                                     int patternUnit) {
    std::array<bool, kCellCount> gone{};
    for (uint8_t cell : removed) gone[cell] = true;
    for (uint8_t cell : removed) {
        const CCellUnits& units = kCellUnits[cell];
        const int u = patternUnit >= 18 ? units.box : patternUnit < 9 ? units.row : units.column;
        int left = -1, count = 0;
        for (uint8_t other : kUnitCells[u]) {
            if (Has(grid, other, d) && !gone[other]) {
                left = other;
                ++count;
            }
        }
        if (count == 1) return std::pair{left, u};
    }
    return std::nullopt;
}

// Pointing (a box's digit confined to one line) or claiming (a line's digit confined to one
// box); with `direct`, only those that leave a hidden single, which they place.
std::optional<CStep> Locked(const CCandidateGrid& grid, const Positions& up, bool pointing,
                            bool direct, CDigitCandidates& digits) {
    const int slot = direct ? (pointing ? CPathMemo::kDirectPointing : CPathMemo::kDirectClaiming)
                            : (pointing ? CPathMemo::kPointing : CPathMemo::kClaiming);
    const unsigned skipped = digits.Skipped(slot);
    // Only the digits not skipped, by their bits: testing each digit of each unit, locked
    // candidates took 77 M instructions on the 5.0-9.0 sample, this way 58 M.
    const unsigned looked = kAllDigits & ~skipped;
    for (int u = pointing ? 18 : 0; u < (pointing ? 27 : 18); ++u) {
        for (unsigned m = looked; m != 0; m &= m - 1) {
            const int d = std::countr_zero(m);
            const unsigned pos = up.pos[u][d];
            if (Count(pos) < 2) continue;
            // The other unit all the cells share: a line for a box, the box for a line. Read
            // from the places by mask, a unit's places by index being its boxes' thirds (a
            // box's: its rows) and a box's columns: the nested chains run this on every grid
            // they assume, where with the cells' units compared one by one this took 1.18 G
            // of the 20.4 G instructions of the slowest of the hardest puzzles measured, this
            // way 0.64 G.
            static constexpr unsigned kThirds[3] = {0x7, 0x38, 0x1C0};
            static constexpr unsigned kColumns[3] = {0x49, 0x92, 0x124};
            auto withinOne = [pos](const unsigned(&parts)[3]) {
                return (pos & ~parts[0]) == 0 || (pos & ~parts[1]) == 0 || (pos & ~parts[2]) == 0;
            };
            // The min is never taken (pos has two places at least); it shows GCC 14, which
            // warns otherwise, that the first place is below nine.
            const int firstPlace = std::min(std::countr_zero(pos), kGridSize - 1);
            const CCellUnits& first = kCellUnits[kUnitCells[u][firstPlace]];
            int target = -1;
            if (pointing) {
                target = withinOne(kThirds) ? first.row : withinOne(kColumns) ? first.column : -1;
            } else {
                target = withinOne(kThirds) ? first.box : -1;
            }
            if (target < 0) continue;
            // Nothing to remove unless the target has places outside the pattern's unit, read
            // from its positions: most patterns found remove nothing, and looking for what
            // they remove cell by cell, locked candidates took 58 M instructions on the
            // 5.0-9.0 sample, this way 50 M.
            const int box = (pointing ? u : target) - 18;
            const unsigned inside = pointing ? kThirds[target < 9 ? box % 3 : box / 3]
                                    : u < 9  ? kThirds[u % 3]
                                             : kColumns[(u - 9) % 3];
            if ((up.pos[target][d] & ~inside) == 0) continue;
            std::vector<uint8_t> removed;
            for (uint8_t cell : kUnitCells[target]) {
                const CCellUnits& units = kCellUnits[cell];
                const bool inside =
                    pointing ? units.box == u : (u < 9 ? units.row : units.column) == u;
                if (!inside && Has(grid, cell, d)) removed.push_back(cell);
            }
            if (removed.empty()) continue;
            CStep step;
            if (direct) {
                const auto single = HiddenSingleAfter(grid, d, removed, u);
                if (!single) continue;
                step =
                    MakeStep(pointing ? CTechnique::kDirectPointing : CTechnique::kDirectClaiming,
                             single->second);
                step.placements = {Cand(single->first, d)};
                for (uint8_t cell : removed) step.pattern.push_back(Cand(cell, d));
            } else {
                step = MakeStep(pointing ? CTechnique::kPointing : CTechnique::kClaiming, u);
                for (uint8_t cell : removed) step.eliminations.push_back(Cand(cell, d));
            }
            step.cells = UnitCells(u, pos);
            for (uint8_t cell : step.cells) step.pattern.push_back(Cand(cell, d));
            return step;
        }
    }
    digits.NoteNothingBut(slot, skipped);
    return std::nullopt;
}

// A hidden set of `size` digits in a unit: as many digits confined to as many cells. With
// `direct`, only one that leaves another digit a hidden single in the unit, which it places.
std::optional<CStep> HiddenSet(const CCandidateGrid& grid, const Positions& up, int size,
                               bool direct, CPathMemo* memo) {
    const int slot = (direct ? CPathMemo::kDirectHiddenSet2 : CPathMemo::kHiddenSet2) + size - 2;
    static constexpr CTechnique kDirect[] = {CTechnique::kDirectHiddenPair,
                                             CTechnique::kDirectHiddenTriple};
    static constexpr CTechnique kPlain[] = {CTechnique::kHiddenPair, CTechnique::kHiddenTriple,
                                            CTechnique::kHiddenQuad};
    std::optional<CStep> result;
    for (int u = 0; u < kUnitCount && !result; ++u) {
        if (memo && memo->UnitFoundNothing(slot, u, up.pos[u])) continue;
        unsigned digits = 0;
        for (int d = 1; d <= 9; ++d) {
            const int n = Count(up.pos[u][d]);
            if (n >= 2 && n <= size) digits |= 1u << (d - 1);
        }
        const auto places = [&](int i) { return unsigned(up.pos[u][i + 1]); };
        const bool found = ForSubsetsWithin(digits, size, size, places, [&](unsigned set) {
            unsigned cellBits = 0;
            for (unsigned s = set; s != 0; s &= s - 1)
                cellBits |= up.pos[u][std::countr_zero(s) + 1];
            if (Count(cellBits) != size) return false;
            const unsigned setDigits = set << 1;
            CStep step;
            if (direct) {
                for (int e = 1; e <= 9; ++e) {
                    if ((setDigits >> e & 1) != 0 || Count(up.pos[u][e]) < 2) continue;
                    const unsigned rest = up.pos[u][e] & ~cellBits;
                    if (Count(rest) != 1) continue;
                    step = MakeStep(kDirect[size - 2], u);
                    step.placements = {Cand(kUnitCells[u][std::countr_zero(rest)], e)};
                    break;
                }
                if (step.placements.empty()) return false;
            } else {
                step = MakeStep(kPlain[size - 2], u);
                for (uint8_t cell : UnitCells(u, cellBits)) {
                    for (unsigned m = grid.masks[cell] & ~setDigits; m != 0; m &= m - 1) {
                        step.eliminations.push_back(Cand(cell, std::countr_zero(m)));
                    }
                }
                if (step.eliminations.empty()) return false;
            }
            step.cells = UnitCells(u, cellBits);
            for (uint8_t cell : step.cells) {
                for (unsigned m = grid.masks[cell] & setDigits; m != 0; m &= m - 1) {
                    step.pattern.push_back(Cand(cell, std::countr_zero(m)));
                }
            }
            result = std::move(step);
            return true;
        });
        if (!found && memo) memo->NoteUnitNothing(slot, u, up.pos[u]);
    }
    return result;
}

// A naked set: `size` cells of a unit holding only `size` digits between them.
// The unit's candidates are its digits' positions, which the memo keeps.
std::optional<CStep> NakedSet(const CCandidateGrid& grid, const Positions& up, int size,
                              CPathMemo* memo) {
    static constexpr CTechnique kTechnique[] = {CTechnique::kNakedPair, CTechnique::kNakedTriple,
                                                CTechnique::kNakedQuad};
    const int slot = CPathMemo::kNakedSet2 + size - 2;
    std::optional<CStep> result;
    for (int u = 0; u < kUnitCount && !result; ++u) {
        if (memo && memo->UnitFoundNothing(slot, u, up.pos[u])) continue;
        unsigned cells = 0;
        for (int i = 0; i < 9; ++i) {
            const int n = Count(grid.masks[kUnitCells[u][i]]);
            if (n >= 2 && n <= size) cells |= 1u << i;
        }
        const auto digitsOf = [&](int i) { return unsigned(grid.masks[kUnitCells[u][i]]); };
        const bool found = ForSubsetsWithin(cells, size, size, digitsOf, [&](unsigned set) {
            unsigned digits = 0;
            for (unsigned s = set; s != 0; s &= s - 1) {
                digits |= grid.masks[kUnitCells[u][std::countr_zero(s)]];
            }
            if (Count(digits) != size) return false;
            CStep step = MakeStep(kTechnique[size - 2], u);
            for (int i = 0; i < 9; ++i) {
                const int cell = kUnitCells[u][i];
                if ((set >> i & 1) != 0) continue;
                for (unsigned m = grid.masks[cell] & digits; m != 0; m &= m - 1) {
                    step.eliminations.push_back(Cand(cell, std::countr_zero(m)));
                }
            }
            if (step.eliminations.empty()) return false;
            step.cells = UnitCells(u, set);
            for (uint8_t cell : step.cells) {
                for (unsigned m = grid.masks[cell]; m != 0; m &= m - 1) {
                    step.pattern.push_back(Cand(cell, std::countr_zero(m)));
                }
            }
            result = std::move(step);
            return true;
        });
        if (!found && memo) memo->NoteUnitNothing(slot, u, up.pos[u]);
    }
    return result;
}

// X-wing, swordfish, jellyfish: a digit's places in `size` rows confined to `size` columns
// (or the other way round) rule it out elsewhere in those columns.
std::optional<CStep> Fish(const CCandidateGrid& grid, const Positions& up, int size,
                          CDigitCandidates& digits) {
    static constexpr CTechnique kTechnique[] = {CTechnique::kXWing, CTechnique::kSwordfish,
                                                CTechnique::kJellyfish};
    const int slot = CPathMemo::kFish2 + size - 2;
    const unsigned skipped = digits.Skipped(slot);
    std::optional<CStep> result;
    for (int base = 0; base < 18 && !result; base += 9) {
        const int cover = 9 - base;
        for (unsigned m = kAllDigits & ~skipped; m != 0 && !result; m &= m - 1) {
            const int d = std::countr_zero(m);
            unsigned lines = 0;
            for (int i = 0; i < 9; ++i) {
                const int n = Count(up.pos[base + i][d]);
                if (n >= 2 && n <= size) lines |= 1u << i;
            }
            const auto placesOf = [&](int i) { return unsigned(up.pos[base + i][d]); };
            ForSubsetsWithin(lines, size, size, placesOf, [&](unsigned set) {
                unsigned covered = 0;
                for (unsigned s = set; s != 0; s &= s - 1)
                    covered |= up.pos[base + std::countr_zero(s)][d];
                if (Count(covered) != size) return false;
                CStep step = MakeStep(kTechnique[size - 2]);
                for (unsigned c = covered; c != 0; c &= c - 1) {
                    const int u = cover + std::countr_zero(c);
                    for (int i = 0; i < 9; ++i) {
                        const int cell = kUnitCells[u][i];
                        if ((set >> i & 1) == 0 && Has(grid, cell, d)) {
                            step.eliminations.push_back(Cand(cell, d));
                        }
                    }
                }
                if (step.eliminations.empty()) return false;
                for (unsigned s = set; s != 0; s &= s - 1) {
                    for (uint8_t cell : UnitCells(base + std::countr_zero(s),
                                                  up.pos[base + std::countr_zero(s)][d])) {
                        step.cells.push_back(cell);
                        step.pattern.push_back(Cand(cell, d));
                    }
                }
                result = std::move(step);
                return true;
            });
        }
    }
    if (!result) digits.NoteNothingBut(slot, skipped);
    return result;
}

// Removes `d` from every cell that sees all of `cells` (and is none of them). The peers'
// sets are crossed first, so most calls end without looking at a cell: cell by cell, the
// turbot fish took 500 M instructions on the 5.0-9.0 sample, this way 195 M.
std::vector<CCandidate> SeenByAll(const CCandidateGrid& grid, int d,
                                  std::initializer_list<int> cells) {
    CCells seen{~uint64_t(0), ~uint64_t(0)};
    for (int cell : cells) seen = seen & kPeerSets[cell];
    std::vector<CCandidate> out;
    seen.ForEach([&](int cell) {
        if (Has(grid, cell, d)) out.push_back(Cand(cell, d));
    });
    return out;
}

// Turbot fish: two units where a digit has only two places, one place of each seeing the
// other, so one of the two far ends holds the digit and the cells seeing both lose it.
// Named and valued by the units: two rows or two columns (skyscraper) 4.0, a row and a
// column (two-string kite) 4.1, a box with either 4.2. The grouped ones (4.3, the empty
// rectangle among them) are the strong-link chains of two links, below.
std::optional<CStep> TurbotFish(const CCandidateGrid& grid, const Positions& up,
                                CDigitCandidates& digits) {
    std::optional<CStep> best;
    for (int d = 1; d <= 9; ++d) {
        if (digits.FoundNothing(CPathMemo::kTurbotFish, d)) continue;
        const bool noneBefore = !best;
        // The units where the digit has two places, listed first: testing every pair of
        // units, the turbot fish took 58 M instructions on the 5.0-9.0 sample, this way 51 M.
        // With their two cells, found once for all the pairs they make: found for each
        // pair, the turbot fish took 51 M instructions on the 5.0-9.0 sample, this way 40 M.
        std::array<uint8_t, kUnitCount> twoPlaces;
        std::array<std::array<uint8_t, 2>, kUnitCount> twoCells;
        int twoCount = 0;
        for (int u = 0; u < kUnitCount; ++u) {
            if (Count(up.pos[u][d]) != 2) continue;
            twoCells[twoCount] = PairCells(u, up.pos[u][d]);
            twoPlaces[twoCount++] = uint8_t(u);
        }
        for (int i1 = 0; i1 < twoCount; ++i1) {
            const int u1 = twoPlaces[i1];
            const std::array<uint8_t, 2> a = twoCells[i1];
            for (int i2 = i1 + 1; i2 < twoCount; ++i2) {
                const int u2 = twoPlaces[i2];
                const std::array<uint8_t, 2> b = twoCells[i2];
                if (a[0] == b[0] || a[0] == b[1] || a[1] == b[0] || a[1] == b[1]) continue;
                const int k1 = u1 / 9, k2 = u2 / 9;  // row, column or box
                const int rating = k1 == 2 || k2 == 2 ? 42 : k1 == k2 ? 40 : 41;
                if (best && best->rating <= rating) continue;
                for (int i = 0; i < 2; ++i) {
                    for (int j = 0; j < 2; ++j) {
                        if (!SameUnit(a[i], b[j])) continue;
                        const int endA = a[1 - i], endB = b[1 - j];
                        std::vector<CCandidate> out = SeenByAll(grid, d, {endA, endB});
                        if (out.empty()) continue;
                        CStep step = MakeStep(CTechnique::kTurbotFish);
                        step.rating = rating;
                        step.cells = {a[0], a[1], b[0], b[1]};
                        for (uint8_t cell : step.cells) step.pattern.push_back(Cand(cell, d));
                        step.eliminations = std::move(out);
                        if (!best || step.rating < best->rating) best = std::move(step);
                        break;
                    }
                    if (best && best->rating <= rating) break;
                }
            }
        }
        if (noneBefore && !best) digits.NoteNothing(CPathMemo::kTurbotFish, d);
    }
    return best;
}

// Chains of two, three or four strong links on one digit (the rated collections' rater
// tries them after the plain turbot fish, the hidden quad and the bivalue universal grave).
// A strong link is a unit whose places for the digit split into a near and a far part, one
// of which holds it: two places; or, grouped, up to six places split by boxes in a line
// that crosses only two of them with places, by lines in a box whose places lie in one row
// and one column of it (an empty rectangle, split into those in the row or the column and
// the rest) or in only two of its rows or columns. Each link's far part is seen whole by every
// place of the next link's near part, so the first near part or the last far part holds the digit,
// and a cell seeing both whole loses it. Valued 4.0, 5.4 and 5.8 by the number of links, a tenth
// more when the links mix a box or the two kinds of line, two when they mix all three, three when
// one is grouped; named turbot fish with two links, X-chains with more.
class CStrongLinkSearch {
  public:
    CStrongLinkSearch(const Positions& up, CDigitCandidates& digits) : up_(up), digits_(digits) {}

    // The easiest chain of `links` links. A digit's links are found when first needed and
    // kept for the next calls (one allocation): this runs before the chains on every step
    // that needs them, for two, three and four links.
    std::optional<CStep> Run(int links) {
        links_ = links;
        if (links == 2) return RunTwo();
        const int slot = CPathMemo::kStrongLinks2 + links - 2;
        best_.reset();
        for (d_ = 1; d_ <= 9; ++d_) {
            if (digits_.FoundNothing(slot, d_)) continue;
            FindDigitLinks();
            // Only chains of three or four links look past the next link; the nested chains,
            // which run the chains of two links on every grid they assume, never do.
            if ((seenNextFound_ >> d_ & 1) == 0) {
                for (int k = 0; k < t_->linkCount; ++k) {
                    t_->seenNext[k] = {};
                    for (int i = 0; i < t_->nextCount[k]; ++i) {
                        t_->seenNext[k] = t_->seenNext[k] | t_->seen[t_->next[k][i]];
                    }
                }
                seenNextFound_ |= 1u << d_;
            }
            digitFound_ = false;
            ExtendAll();
            if (!digitFound_) digits_.NoteNothing(slot, d_);
        }
        return std::move(best_);
    }

  private:
    // The links of digit d_, found once; t_ is set to them.
    void FindDigitLinks() {
        if (!linkRoom_) linkRoom_.reset(new std::byte[10 * sizeof(CDigitLinks)]);
        t_ = linkTables_[d_];
        if (t_ != nullptr) return;
        t_ = linkTables_[d_] = new (linkRoom_.get() + d_ * sizeof(CDigitLinks)) CDigitLinks;
        FindLinks();
    }

    // Every chain of digit d_ and links_ links, offered in turn.
    void ExtendAll() {
        for (int k = 0; k < t_->linkCount; ++k) {
            // What a chain removes sees its first near part whole: where no candidate
            // does, no chain from this link removes anything. With the test on the last
            // link below, the chains of strong links took 1.55 G instructions on the
            // 5.0-9.0 sample instead of 2.42 G.
            if (t_->seenNear[k].None()) continue;
            chain_[0] = uint8_t(k);
            size_ = 1;
            Extend();
        }
    }

    // The chains of two links, digit by digit. Each is worth 4.3 (only grouped ones are
    // left), so the easiest is the first that removes the most, and a digit's first depends
    // on its candidates alone. The nested chains ask on thousands of grids they assume,
    // where most digits' candidates are as on a grid asked before (96 % of them on a puzzle
    // rated 11.5), so each digit's answer is remembered by its candidates, per thread, up
    // to kTwoLinkAnswers of them (a few MB). That took the puzzle from 4.88 G instructions
    // to 3.42 G: finding the links had been a quarter of them.
    std::optional<CStep> RunTwo() {
        struct CKey {
            uint64_t lo, hi;  // the digit's candidates, as CCells, with the digit in hi's top bits
            bool operator==(const CKey&) const = default;
        };
        struct CHash {
            size_t operator()(const CKey& k) const {
                return std::hash<uint64_t>()(k.lo * 0x9E3779B97F4A7C15u ^ k.hi);
            }
        };
        static constexpr size_t kTwoLinkAnswers = size_t(1) << 15;
        thread_local std::unordered_map<CKey, std::optional<CStep>, CHash> answers;
        std::optional<CStep> best;
        for (d_ = 1; d_ <= 9; ++d_) {
            if (digits_.FoundNothing(CPathMemo::kStrongLinks2, d_)) continue;
            const CCells& cells = digits_.Of(d_);
            const CKey key{cells.lo, cells.hi | uint64_t(d_) << 56};
            auto it = answers.find(key);
            if (it == answers.end()) {
                FindDigitLinks();
                best_.reset();
                ExtendAll();
                if (answers.size() >= kTwoLinkAnswers) answers.clear();
                it = answers.emplace(key, std::move(best_)).first;
            }
            const std::optional<CStep>& found = it->second;
            if (!found) digits_.NoteNothing(CPathMemo::kStrongLinks2, d_);
            if (found && (!best || found->eliminations.size() > best->eliminations.size())) {
                best = found;
            }
        }
        return best;
    }

    // Two a line; a box four of an empty rectangle (its crossing is unique) and two of each
    // kind of line.
    static constexpr int kMaxLinks = 2 * 18 + 8 * 9;

    struct Link {
        uint8_t unit;
        bool grouped;  // a unit of three to six places
        CCells near, far;
    };

    // The links of one digit.
    struct CDigitLinks {
        CCells candidates;  // the cells where the digit is a candidate
        // Filled up to linkCount, and each link's next up to its nextCount: left
        // uninitialised beyond, as most of it is on most steps.
        std::array<Link, kMaxLinks> table;
        std::array<CCells, kMaxLinks> seen;      // per link, the cells seeing its far part whole
        std::array<CCells, kMaxLinks> seenNear;  // and its near part whole
        std::array<CCells, kMaxLinks> seenNext;  // the union of its next links' seen
        std::array<std::array<uint8_t, kMaxLinks>, kMaxLinks> next;  // the links it goes on with
        std::array<uint8_t, kMaxLinks> nextCount;
        int linkCount = 0;
    };

    void FindLinks() {
        t_->candidates = digits_.Of(d_);
        t_->linkCount = 0;
        for (int u = 0; u < kUnitCount; ++u) {
            const unsigned pos = up_.pos[u][d_];
            if (Count(pos) == 2) {
                const unsigned first = pos & (0u - pos);
                AddLinks(u, first, pos & ~first, false);
            } else if (Count(pos) >= 3 && Count(pos) <= 6) {
                AddGroupedLinks(u, pos);
            }
        }
        // The links each link's far part lets the chain go on with, found through the
        // links whose near part starts at each cell it sees: at most two of each line
        // holding it, eight of its box.
        std::array<std::array<uint8_t, 2 * 2 + 8>, kCellCount> starts;
        std::array<uint8_t, kCellCount> startCount{};
        for (int j = 0; j < t_->linkCount; ++j) {
            int first = -1;
            t_->table[j].near.ForEach([&](int cell) { first = first < 0 ? cell : first; });
            starts[first][startCount[first]++] = uint8_t(j);
        }
        // In locals: the links' bytes written may alias the tables' other members, which
        // were read again for each (finding the links 109 M -> 107 M instructions).
        CDigitLinks& t = *t_;
        for (int k = 0; k < t.linkCount; ++k) {
            const CCells seen = t.seen[k];
            const int unit = t.table[k].unit;
            uint8_t* next = t.next[k].data();
            int count = 0;
            seen.ForEach([&](int cell) {
                for (int i = 0; i < startCount[cell]; ++i) {
                    const int j = starts[cell][i];
                    if (t.table[j].unit != unit && t.table[j].near.Within(seen)) {
                        next[count++] = uint8_t(j);
                    }
                }
            });
            t.nextCount[k] = uint8_t(count);
        }
    }

    // The cells a unit's places `bits` name.
    static CCells CellsOf(int u, unsigned bits) {
        CCells cells;
        for (; bits != 0; bits &= bits - 1) cells.Set(kUnitCells[u][std::countr_zero(bits)]);
        return cells;
    }

    // Both ways round, a link between two parts of the unit's places, the part first
    // named the near one first. Each part's cells and the cells seeing it whole found once
    // for both: link by link, finding the links took 128 M instructions on the 5.0-9.0
    // sample, this way 109 M.
    void AddLinks(int u, unsigned part, unsigned rest, bool grouped) {
        const CCells partCells = CellsOf(u, part), restCells = CellsOf(u, rest);
        CCells seenPart = t_->candidates, seenRest = t_->candidates;
        partCells.ForEach([&](int cell) { seenPart = seenPart & kPeerSets[cell]; });
        restCells.ForEach([&](int cell) { seenRest = seenRest & kPeerSets[cell]; });
        const int k = t_->linkCount;
        t_->table[k] = {uint8_t(u), grouped, partCells, restCells};
        t_->seen[k] = seenRest;
        t_->seenNear[k] = seenPart;
        t_->table[k + 1] = {uint8_t(u), grouped, restCells, partCells};
        t_->seen[k + 1] = seenPart;
        t_->seenNear[k + 1] = seenRest;
        t_->linkCount = k + 2;
    }

    // The grouped links of a unit with three to six places `pos`.
    void AddGroupedLinks(int u, unsigned pos) {
        // A unit's places in the three boxes of a line, or in the three rows and the three
        // columns of a box (by index in the unit).
        static constexpr unsigned kThirds[3] = {0x7, 0x38, 0x1C0};
        static constexpr unsigned kColumns[3] = {0x49, 0x92, 0x124};
        auto split = [&](const unsigned(&parts)[3]) {
            unsigned first = 0, second = 0;
            for (unsigned part : parts) {
                if ((pos & part) == 0) continue;
                if (first == 0) {
                    first = pos & part;
                } else if (second == 0) {
                    second = pos & part;
                } else {
                    return;
                }
            }
            if (second != 0) AddLinks(u, first, second, true);
        };
        if (u < 18) {
            split(kThirds);
            return;
        }
        // Two rows or two columns: with three places the same as an empty rectangle.
        if (Count(pos) >= 4) {
            split(kThirds);
            split(kColumns);
        }
        for (int h = 0; h < 9; ++h) {
            const unsigned row = kThirds[h / 3], column = kColumns[h % 3];
            if ((pos & ~(row | column)) != 0 || (pos & ~row) == 0 || (pos & ~column) == 0) {
                continue;
            }
            AddLinks(u, pos & row, pos & ~row, true);
            AddLinks(u, pos & column, pos & ~column, true);
        }
    }

    // Called with a chain of fewer than links_ links. The search's members are read into
    // locals once: the chain's bytes written in the loop may alias them, so they were read
    // again on every pass. With that and the last link offered here rather than through
    // another call, extending the chains took 143 M instructions on the 5.0-9.0 sample
    // instead of 168 M.
    void Extend() {
        const CDigitLinks& t = *t_;
        const int size = size_;
        const int remaining = links_ - size;
        const int last = chain_[size - 1];
        const CCells firstSeen = t.seenNear[chain_[0]];
        const int count = t.nextCount[last];
        for (int i = 0; i < count; ++i) {
            const int k = t.next[last][i];
            // The last link's far part must be seen whole by a cell the first near part is;
            // the link before the last needs a next link for which that holds. The second
            // test took the chains of three and four links from 1.02 G instructions on the
            // 5.0-9.0 sample to 0.47 G.
            if (remaining == 1 && (firstSeen & t.seen[k]).None()) continue;
            if (remaining == 2 && (firstSeen & t.seenNext[k]).None()) continue;
            if (Uses(k)) continue;
            chain_[size] = uint8_t(k);
            size_ = size + 1;
            if (remaining == 1) {
                Offer();
            } else {
                Extend();
            }
            size_ = size;
        }
    }

    bool Uses(int k) const {
        const Link& next = t_->table[k];
        for (int i = 0; i < size_; ++i) {
            const Link& l = t_->table[chain_[i]];
            if (l.unit == next.unit || !((l.near | l.far) & (next.near | next.far)).None()) {
                return true;
            }
        }
        return false;
    }

    void Offer() {
        static constexpr int kBase[] = {0, 0, 40, 54, 58};
        bool box = false, row = false, column = false, grouped = false;
        CCells cells;
        for (int i = 0; i < size_; ++i) {
            const Link& l = t_->table[chain_[i]];
            (l.unit >= 18 ? box : l.unit >= 9 ? column : row) = true;
            grouped |= l.grouped;
            cells = cells | l.near | l.far;
        }
        // Two plain links are the turbot fish, found before.
        if (links_ == 2 && !grouped) return;
        const int rating = kBase[links_] + (grouped                  ? 3
                                            : box && row && column   ? 2
                                            : box || (row && column) ? 1
                                                                     : 0);
        // What it removes first, whatever the best so far: whether the digit has a chain at
        // all is what the memo keeps.
        const CCells out = (t_->seenNear[chain_[0]] & t_->seen[chain_[size_ - 1]]).Without(cells);
        if (out.None()) return;
        digitFound_ = true;
        if (best_ && best_->rating < rating) return;
        if (best_ && best_->rating == rating && int(best_->eliminations.size()) >= out.Size()) {
            return;
        }
        CStep step = MakeStep(links_ == 2 ? CTechnique::kTurbotFish : CTechnique::kXChain);
        step.rating = rating;
        for (int i = 0; i < size_; ++i) {
            const Link& l = t_->table[chain_[i]];
            for (const CCells& part : {l.near, l.far}) {
                part.ForEach([&](int cell) {
                    step.cells.push_back(uint8_t(cell));
                    step.pattern.push_back(Cand(cell, d_));
                });
            }
        }
        out.ForEach([&](int cell) { step.eliminations.push_back(Cand(cell, d_)); });
        best_ = std::move(step);
    }

    const Positions& up_;
    int links_ = 0;
    int d_ = 0;
    CDigitCandidates& digits_;
    // Room for the ten digits' links, some 200 KB, allocated for each search. Kept per
    // thread instead, they took 33 M fewer of the 5.0-9.0 sample's 3.21 G instructions, but
    // rate_bench rated it a sixth slower: without this large block allocated and freed, the
    // allocator gave memory back and took it again between the chains' allocations (8,000
    // page faults instead of 2,500). A digit's links are made in it when first found: made
    // for all ten with the room, their cell sets' initial values took 33 M of the 5.0-9.0
    // sample's 2.52 G instructions, this way 7 M (page faults unchanged).
    std::unique_ptr<std::byte[]> linkRoom_;
    std::array<CDigitLinks*, 10> linkTables_{};
    unsigned seenNextFound_ = 0;  // by digit
    CDigitLinks* t_ = nullptr;    // d_'s
    std::array<uint8_t, 4> chain_{};
    int size_ = 0;
    bool digitFound_ = false;  // whether d_ has a chain removing something
    std::optional<CStep> best_;
};

// XY-wing (a bivalue pivot) and XYZ-wing (a trivalue pivot): two bivalue pincers that see
// the pivot, between them forcing their shared digit z into one of the cells.
std::optional<CStep> Wing(const CCandidateGrid& grid, bool xyz, CPathMemo* memo) {
    // Along the rating's path, as for the wings of an almost locked set: only the wings with
    // a cell changed since they last found nothing. On the 5.0-9.0 sample this took them
    // from 89 M instructions to 56 M.
    const int slot = xyz ? CPathMemo::kXYZWings : CPathMemo::kXYWings;
    const bool sinceNothing = memo && memo->GridFoundNothing(slot);
    const CCells changed = sinceNothing ? memo->ChangedSince(slot, grid) : CCells{};
    const int pivotSize = xyz ? 3 : 2;
    for (int pivot = 0; pivot < kCellCount; ++pivot) {
        const unsigned pm = grid.masks[pivot];
        if (Count(pm) != pivotSize) continue;
        const bool pivotChanged = !sinceNothing || changed[pivot];
        if (!pivotChanged && (changed & kPeerSets[pivot]).None()) continue;
        // The pivot's peers of two candidates, listed first in the peers' order: testing
        // every pair of peers, the XY- and XYZ-wings took 56 M instructions on the 5.0-9.0
        // sample, this way 38 M. Only those sharing one digit with an XY-wing's pivot, and
        // none but its digits with an XYZ-wing's, as a pincer must: listing all, the wings
        // took 35 M, this way 25 M.
        std::array<uint8_t, kPeerCount> pincers;
        int pincerCount = 0;
        for (uint8_t peer : kCellPeers[pivot]) {
            const unsigned m = grid.masks[peer];
            if (Count(m) == 2 && (xyz ? (m & ~pm) == 0 : Count(m & pm) == 1)) {
                pincers[pincerCount++] = peer;
            }
        }
        for (int ia = 0; ia < pincerCount; ++ia) {
            const int a = pincers[ia];
            const unsigned am = grid.masks[a];
            for (int ib = ia + 1; ib < pincerCount; ++ib) {
                const int b = pincers[ib];
                const unsigned bm = grid.masks[b];
                if (am == bm) continue;
                if (!pivotChanged && !changed[a] && !changed[b]) continue;
                unsigned z;
                if (xyz) {
                    if (Count(am & bm) != 1) continue;
                    z = am & bm;
                } else {
                    z = am & bm;
                    if (Count(z) != 1 || (z & pm) != 0 || (am & pm) == (bm & pm)) continue;
                }
                const int d = std::countr_zero(z);
                std::vector<CCandidate> out =
                    xyz ? SeenByAll(grid, d, {pivot, a, b}) : SeenByAll(grid, d, {a, b});
                if (out.empty()) continue;
                CStep step = MakeStep(xyz ? CTechnique::kXYZWing : CTechnique::kXYWing);
                step.cells = {uint8_t(pivot), uint8_t(a), uint8_t(b)};
                for (int cell : {pivot, a, b}) {
                    for (unsigned m = grid.masks[cell]; m != 0; m &= m - 1) {
                        step.pattern.push_back(Cand(cell, std::countr_zero(m)));
                    }
                }
                step.eliminations = std::move(out);
                return step;
            }
        }
    }
    if (memo) memo->NoteGridNothing(slot, grid);
    return std::nullopt;
}

// Unique rectangle type 3: one of the two cells with extra digits must hold one of them, so
// together they act as one cell of those digits, which with others of a unit they share may
// form a naked set. Worth a tenth more for each digit of the set beyond one.
template <typename F>
void UniqueRectangleType3(const CCandidateGrid& grid, const CStep& base, int a, int b,
                          unsigned extraDigits, F&& offer) {
    const CCellUnits &ua = kCellUnits[a], &ub = kCellUnits[b];
    for (int u : {int(ua.row), int(ua.column), int(ua.box)}) {
        if (u != ub.row && u != ub.column && u != ub.box) continue;
        unsigned others = 0;
        for (int i = 0; i < 9; ++i) {
            const int cell = kUnitCells[u][i];
            if (cell != a && cell != b && grid.masks[cell] != 0) others |= 1u << i;
        }
        for (int size = 1; size <= 3; ++size) {
            const auto digitsOf = [&](int i) { return extraDigits | grid.masks[kUnitCells[u][i]]; };
            ForSubsetsWithin(others, size, size + 1, digitsOf, [&](unsigned set) {
                unsigned digits = extraDigits;
                for (unsigned s = set; s != 0; s &= s - 1) {
                    digits |= grid.masks[kUnitCells[u][std::countr_zero(s)]];
                }
                if (Count(digits) != size + 1) return false;
                CStep step = base;
                step.unit = u;
                step.rating = BaseRating(CTechnique::kUniqueRectangle) + size;
                for (int i = 0; i < 9; ++i) {
                    const int cell = kUnitCells[u][i];
                    if ((set >> i & 1) != 0 || cell == a || cell == b) continue;
                    for (unsigned m = grid.masks[cell] & digits; m != 0; m &= m - 1) {
                        step.eliminations.push_back(Cand(cell, std::countr_zero(m)));
                    }
                }
                if (step.eliminations.empty()) return false;
                offer(std::move(step));
                return true;
            });
        }
    }
}

// Unique rectangle type 4: one of the pair confined, in a unit the two cells with extra digits
// share, to those two cells makes it theirs, so the pair's other digit goes from both.
template <typename F>
void UniqueRectangleType4(const Positions& up, const CStep& base, int a, int b, unsigned pair,
                          F&& offer) {
    const CCellUnits &ua = kCellUnits[a], &ub = kCellUnits[b];
    for (int u : {int(ua.row), int(ua.column), int(ua.box)}) {
        if (u != ub.row && u != ub.column && u != ub.box) continue;
        for (unsigned m = pair; m != 0; m &= m - 1) {
            const int d = std::countr_zero(m);
            if (Count(up.pos[u][d]) != 2) continue;
            const int other = std::countr_zero(pair & ~(1u << d));
            CStep step = base;
            step.unit = u;
            step.eliminations = {Cand(a, other), Cand(b, other)};
            offer(std::move(step));
        }
    }
}

// Unique rectangles of types 1, 2 and 4 (and 3, above): four cells in two rows, two columns and two
// boxes that would hold the same two digits twice over, which a puzzle with one solution forbids.
std::optional<CStep> UniqueRectangle(const CCandidateGrid& grid, const Positions& up) {
    std::optional<CStep> best;
    auto offer = [&](CStep step) {
        if (!best || step.rating < best->rating) best = std::move(step);
    };
    for (int r1 = 0; r1 < 9; ++r1) {
        for (int r2 = r1 + 1; r2 < 9; ++r2) {
            // Two boxes: the rows in one band and the columns in two stacks, or the other
            // way round. The first column's two cells are crossed once for all the second
            // columns: the loops' tests took 105 M more instructions on the 5.0-9.0 sample.
            // Each column's two cells crossed once, and the columns taken by their bits where
            // two digits at least are common to both: tested one by one, unique rectangles took
            // 9 M more instructions on the 5.0-9.0 sample.
            const bool sameBand = r1 / 3 == r2 / 3;
            std::array<unsigned, 9> both;
            unsigned columns = 0;
            for (int c = 0; c < 9; ++c) {
                both[c] = grid.masks[9 * r1 + c] & grid.masks[9 * r2 + c];
                if (Count(both[c]) >= 2) columns |= 1u << c;
            }
            for (unsigned m1 = columns; m1 != 0; m1 &= m1 - 1) {
                const int c1 = std::countr_zero(m1);
                const unsigned stack = 0x7u << (3 * (c1 / 3));
                const unsigned seconds = columns & ~((2u << c1) - 1) & (sameBand ? ~stack : stack);
                for (unsigned m2 = seconds; m2 != 0; m2 &= m2 - 1) {
                    const int c2 = std::countr_zero(m2);
                    const std::array<int, 4> cells = {9 * r1 + c1, 9 * r1 + c2, 9 * r2 + c1,
                                                      9 * r2 + c2};
                    const unsigned common = both[c1] & both[c2];
                    if (Count(common) < 2) continue;
                    for (unsigned pa = common; pa != 0; pa &= pa - 1) {
                        for (unsigned pb = pa & (pa - 1); pb != 0; pb &= pb - 1) {
                            const unsigned pair = (pa & -pa) | (pb & -pb);
                            // The cells with extra digits, counted before a step is built:
                            // most rectangles of a grid with many candidates have three or
                            // four; building the step first cost 97 M more instructions on
                            // the 5.0-9.0 sample (7.01 G in all).
                            std::array<int, 4> extra{};
                            size_t extraCount = 0;
                            for (int cell : cells) {
                                if (grid.masks[cell] != pair) extra[extraCount++] = cell;
                            }
                            if (extraCount != 1 &&
                                (extraCount != 2 || !SameUnit(extra[0], extra[1]))) {
                                continue;
                            }
                            CStep step = MakeStep(CTechnique::kUniqueRectangle);
                            for (int cell : cells) step.cells.push_back(uint8_t(cell));
                            for (int cell : cells) {
                                for (unsigned m = pair; m != 0; m &= m - 1) {
                                    step.pattern.push_back(Cand(cell, std::countr_zero(m)));
                                }
                            }
                            if (extraCount == 1) {
                                for (unsigned m = pair; m != 0; m &= m - 1) {
                                    step.eliminations.push_back(
                                        Cand(extra[0], std::countr_zero(m)));
                                }
                                offer(step);
                                continue;
                            }
                            const unsigned more0 = grid.masks[extra[0]] & ~pair;
                            const unsigned more1 = grid.masks[extra[1]] & ~pair;
                            if (more0 == more1 && Count(more0) == 1) {
                                const int x = std::countr_zero(more0);
                                step.eliminations = SeenByAll(grid, x, {extra[0], extra[1]});
                                if (!step.eliminations.empty()) offer(step);
                                continue;
                            }
                            UniqueRectangleType3(grid, step, extra[0], extra[1], more0 | more1,
                                                 offer);
                            UniqueRectangleType4(up, step, extra[0], extra[1], pair, offer);
                        }
                    }
                }
            }
        }
    }
    return best;
}

// The cells of each unit as a set.
constexpr std::array<CCells, kUnitCount> kUnitSets = [] {
    std::array<CCells, kUnitCount> sets{};
    for (int u = 0; u < kUnitCount; ++u) {
        for (uint8_t cell : kUnitCells[u]) sets[u].Set(cell);
    }
    return sets;
}();

// Unique loops: six or more cells holding the same two digits, each row, column and box
// they visit visited by two of them, one of each parity along the loop, which a puzzle with
// one solution forbids just as a rectangle. Found by walking from a cell of only the two
// digits, never along two units of one kind in a row, with at most two cells holding other
// digits too (more only while they all add the same one digit). Types 1 to 4 as for the
// rectangles, worth a tenth more for six cells, two for eight, five from ten.
class CLoopSearch {
  public:
    CLoopSearch(const CCandidateGrid& grid, const Positions& up, CDigitCandidates& digits)
        : grid_(grid), up_(up), digits_(digits) {}

    // Along the rating's path, a pair of digits whose walk found no loop is not walked again
    // while the cells holding both keep their candidates: on the 5.0-9.0 sample the walk
    // took 370 M instructions without this, 290 M with it. Nor one whose loops removed
    // nothing, while the units its types 3 and 4 read are as they were too: 70 % of the walk
    // went to such pairs, and it took 165 M instructions, this way 134 M.
    std::optional<CStep> Run() {
        CPathMemo* memo = digits_.Memo();
        // Per pair of digits, 1 when it is skipped, 2 when it is walked.
        std::array<uint8_t, 90> decided{};
        int cell = 0;
        for (; cell < kCellCount && !(best_ && best_->rating <= 46); ++cell) {
            if (grid_.values[cell] != 0 || Count(grid_.masks[cell]) != 2) continue;
            const unsigned pair = grid_.masks[cell];
            const int d1 = std::countr_zero(pair), d2 = std::countr_zero(pair & (pair - 1));
            uint8_t& decision = decided[9 * d1 + d2];
            if (decision == 0) {
                decision =
                    memo && memo->LoopsFoundNothing(d1, d2, digits_.Of(d1) & digits_.Of(d2), grid_)
                        ? 1
                        : 2;
            }
            if (decision == 1) continue;
            if (pair != pair_) {
                pair_ = pair;
                for (int u = 0; u < kUnitCount; ++u) onPair_[u] = up_.pos[u][d1] & up_.pos[u][d2];
                KeepThoseInLoops();
                CCells& kept = kept_[9 * d1 + d2];
                kept = {};
                for (int r = 0; r < 9; ++r) {
                    for (unsigned bits = onPair_[r]; bits != 0; bits &= bits - 1) {
                        kept.Set(9 * r + std::countr_zero(bits));
                    }
                }
            }
            const int r = cell / 9, c = cell % 9;
            if ((onPair_[r] >> c & 1) == 0) continue;
            loop_.count = 0;
            loop_.push_back(cell);
            visited_[0] = kCellUnitSet[cell];
            visited_[1] = 0;
            Walk(cell, -1, 2, 0);
        }
        // Only once every pair's walk is complete.
        if (memo && cell == kCellCount) {
            for (int d1 = 1; d1 <= 9; ++d1) {
                for (int d2 = d1 + 1; d2 <= 9; ++d2) {
                    // A pair with loops only where every loop was offered in full.
                    if (decided[9 * d1 + d2] == 2 && (!anyLoop_[9 * d1 + d2] || !best_)) {
                        memo->NoteLoopsNothing(d1, d2, digits_.Of(d1) & digits_.Of(d2),
                                               kept_[9 * d1 + d2], watched_[9 * d1 + d2], grid_);
                    }
                }
            }
        }
        return std::move(best_);
    }

  private:
    static constexpr int kMaxLength = 14;

    // Each row, column and box of a loop's cell holds another of its cells (IsValid): a cell
    // of both digits without another in one of its units is in no loop, nor then a cell left
    // alone by it. Those taken out of onPair_ until none is left, the walk offers the same
    // loops in the same order; walking through them, unique rectangles and loops took 313 M
    // instructions on the 5.0-9.0 sample, this way 278 M.
    void KeepThoseInLoops() {
        for (bool removed = true; removed;) {
            removed = false;
            for (int r = 0; r < 9; ++r) {
                for (unsigned bits = onPair_[r]; bits != 0; bits &= bits - 1) {
                    const int c = std::countr_zero(bits);
                    const int box = 18 + 3 * (r / 3) + c / 3;
                    if (Count(onPair_[r]) >= 2 && Count(onPair_[9 + c]) >= 2 &&
                        Count(onPair_[box]) >= 2) {
                        continue;
                    }
                    onPair_[r] &= uint16_t(~(1u << c));
                    onPair_[9 + c] &= uint16_t(~(1u << r));
                    onPair_[box] &= uint16_t(~(1u << (3 * (r % 3) + c % 3)));
                    removed = true;
                }
            }
        }
    }

    void Walk(int cell, int lastKind, int allowedExtra, unsigned extraDigits) {
        const CCellUnits& units = kCellUnits[cell];
        const int byKind[3] = {units.row, units.column, units.box};
        for (int kind = 0; kind < 3; ++kind) {
            if (kind == lastKind) continue;
            // Only the unit's places of both digits, from the positions: reading all nine
            // cells of each unit, the walk took 250 M more instructions on the 5.0-9.0
            // sample (7.25 G in all).
            const int u = byKind[kind];
            for (unsigned bits = onPair_[u]; bits != 0; bits &= bits - 1) {
                const int next = kUnitCells[u][std::countr_zero(bits)];
                if (next == loop_[0] && loop_.size() >= 6 && loop_.size() % 2 == 0) {
                    Offer();
                    continue;
                }
                if (loop_.size() >= kMaxLength) continue;
                const unsigned mask = grid_.masks[next];
                // A cell of only the two digits before the first was a first itself, and
                // its walk found every loop through it: the walk took 28 % fewer instructions on
                // the 5.0-9.0 sample.
                if (mask == pair_ && next < loop_[0]) continue;
                // Cells of one parity never share a unit in a loop: this cuts the walk
                // short on grids with many candidates.
                const uint32_t nextUnits = kCellUnitSet[next];
                uint32_t& sameParity = visited_[loop_.size() % 2];
                if ((sameParity & nextUnits) != 0) continue;
                const unsigned extra = extraDigits | (mask & ~pair_);
                const bool plain = mask == pair_;
                if (!plain && Count(extra) != 1 && allowedExtra == 0) continue;
                sameParity |= nextUnits;
                loop_.push_back(next);
                Walk(next, kind, plain ? allowedExtra : allowedExtra - 1, extra);
                loop_.pop_back();
                visited_[loop_.size() % 2] &= ~nextUnits;
            }
        }
    }

    // Every unit of the loop visited once by a cell at an even place and once at an odd one.
    bool IsValid() const {
        std::array<uint8_t, kUnitCount> even{}, odd{};
        for (size_t i = 0; i < loop_.size(); ++i) {
            const CCellUnits& u = kCellUnits[loop_[i]];
            for (int unit : {int(u.row), int(u.column), int(u.box)}) {
                if (++(i % 2 == 0 ? even : odd)[unit] > 1) return false;
            }
        }
        return even == odd;
    }

    void Offer() {
        if (!IsValid()) return;
        const int pairIndex = 9 * std::countr_zero(pair_) + std::countr_zero(pair_ & (pair_ - 1));
        anyLoop_[pairIndex] = true;
        const int length = int(loop_.size());
        const int bonus = length >= 10 ? 5 : length >= 8 ? 2 : 1;
        if (best_ && best_->rating <= 45 + bonus) return;
        std::array<int, kMaxLength> extra;
        size_t extraCount = 0;
        unsigned extraDigits = 0;
        for (int cell : loop_) {
            if (grid_.masks[cell] != pair_) {
                extra[extraCount++] = cell;
                extraDigits |= grid_.masks[cell] & ~pair_;
            }
        }
        // Whether a type can apply, and type 2 remove anything, before the step is built:
        // building it for every loop found, unique rectangles and loops took 278 M
        // instructions on the 5.0-9.0 sample, this way 247 M.
        const bool twoOfAUnit = extraCount == 2 && SameUnit(extra[0], extra[1]);
        if (twoOfAUnit) {
            const CCellUnits &ua = kCellUnits[extra[0]], &ub = kCellUnits[extra[1]];
            for (int u : {int(ua.row), int(ua.column), int(ua.box)}) {
                if (u == ub.row || u == ub.column || u == ub.box) {
                    watched_[pairIndex] = watched_[pairIndex] | kUnitSets[u];
                }
            }
        }
        CCells typeTwo;
        if (extraCount >= 2 && Count(extraDigits) == 1) {
            typeTwo = digits_.Of(std::countr_zero(extraDigits));
            for (size_t i = 0; i < extraCount; ++i) typeTwo = typeTwo & kPeerSets[extra[i]];
        }
        if (extraCount != 1 && typeTwo.None() && !twoOfAUnit) return;
        CStep base = MakeStep(CTechnique::kUniqueLoop);
        base.rating = 45 + bonus;
        for (int cell : loop_) base.cells.push_back(uint8_t(cell));
        for (int cell : loop_) {
            for (unsigned m = pair_; m != 0; m &= m - 1) {
                base.pattern.push_back(Cand(cell, std::countr_zero(m)));
            }
        }
        auto take = [&](CStep step) {
            if (!step.eliminations.empty() && (!best_ || step.rating < best_->rating)) {
                best_ = std::move(step);
            }
        };
        if (extraCount == 1) {
            CStep step = base;
            for (unsigned m = pair_; m != 0; m &= m - 1) {
                step.eliminations.push_back(Cand(extra[0], std::countr_zero(m)));
            }
            take(std::move(step));
            return;
        }
        if (!typeTwo.None()) {
            // Type 2: one of the cells with the extra digit holds it.
            const int x = std::countr_zero(extraDigits);
            CStep step = base;
            typeTwo.ForEach([&](int cell) { step.eliminations.push_back(Cand(cell, x)); });
            take(std::move(step));
        }
        if (!twoOfAUnit) return;
        if (Count(extraDigits) >= 2) {
            UniqueRectangleType3(grid_, base, extra[0], extra[1], extraDigits, [&](CStep step) {
                step.rating += bonus;
                step.technique = CTechnique::kUniqueLoop;
                take(std::move(step));
            });
        }
        UniqueRectangleType4(up_, base, extra[0], extra[1], pair_, take);
    }

    const CCandidateGrid& grid_;
    const Positions& up_;
    CDigitCandidates& digits_;
    unsigned pair_ = 0;
    std::array<bool, 90> anyLoop_{};    // per pair of digits, whether its walk found a loop
    std::array<CCells, 90> watched_{};  // and the cells of the units its types 3 and 4 read
    std::array<CCells, 90> kept_;  // and its cells KeepThoseInLoops kept, once the pair is walked
    std::array<uint16_t, kUnitCount> onPair_{};  // per unit, the places of both of pair_'s digits
    std::array<uint32_t, 2> visited_{};  // the units of the loop's cells at even, odd places
    // The cells walked so far, in a fixed array: in a vector, pushed and popped at every
    // step, unique rectangles and loops took 247 M instructions on the 5.0-9.0 sample, this
    // way 223 M.
    struct CLoop {
        std::array<int, kMaxLength> cells;
        size_t count = 0;

        size_t size() const { return count; }
        int operator[](size_t i) const { return cells[i]; }
        void push_back(int cell) { cells[count++] = cell; }
        void pop_back() { --count; }
        const int* begin() const { return cells.data(); }
        const int* end() const { return cells.data() + count; }
    };
    CLoop loop_;
    std::optional<CStep> best_;
};

// The easiest of the unique rectangles and loops, as the rater that defines the scale
// sorts them: by value, so a loop of six (4.6) comes before a rectangle of type 3 whose
// naked set is a triple (4.7).
std::optional<CStep> UniqueRectangleOrLoop(const CCandidateGrid& grid, const Positions& up,
                                           CDigitCandidates& digits) {
    std::optional<CStep> rectangle = UniqueRectangle(grid, up);
    if (rectangle && rectangle->rating <= 46) return rectangle;
    std::optional<CStep> loop = CLoopSearch(grid, up, digits).Run();
    if (loop && (!rectangle || loop->rating < rectangle->rating)) return loop;
    return rectangle;
}

// Aligned pair exclusion: two cells that share a unit; a digit of one goes when every digit
// of the other beside it either repeats it in their unit or leaves a cell both see with no
// candidate.
std::optional<CStep> AlignedPairExclusion(const CCandidateGrid& grid, CPathMemo* memo) {
    // Along the rating's path, only the pairs that a cell changed since it last found nothing
    // touches, as for aligned triple exclusion: the others allow every candidate as they
    // did. On the 5.0-9.0 sample this took it from 178 M instructions to 87 M.
    const bool sinceNothing = memo && memo->GridFoundNothing(CPathMemo::kAlignedPairs);
    const CCells changed =
        sinceNothing ? memo->ChangedSince(CPathMemo::kAlignedPairs, grid) : CCells{};
    // The two-digit cells both see, from bit sets: cell by cell, with a list allocated for
    // each pair, this took 539 M instructions on the 5.0-9.0 sample, this way 178 M.
    CCells bivalue;
    for (int cell = 0; cell < kCellCount; ++cell) {
        if (Count(grid.masks[cell]) == 2) bivalue.Set(cell);
    }
    for (int a = 0; a < kCellCount; ++a) {
        if (Count(grid.masks[a]) < 2) continue;
        // A cell as it was without a changed peer pairs only with cells as they were, seen
        // by no changed cell: testing those pairs one by one, aligned pair exclusion took
        // 87 M instructions on the 5.0-9.0 sample, this way 69 M.
        if (sinceNothing && !changed[a] && (changed & kPeerSets[a]).None()) continue;
        const CCells seenByA = kPeerSets[a] & bivalue;
        for (uint8_t b : kCellPeers[a]) {
            if (b < a || Count(grid.masks[b]) < 2) continue;
            if (sinceNothing && !changed[a] && !changed[b] &&
                (changed & kPeerSets[a] & kPeerSets[b]).None()) {
                continue;
            }
            // Per digit of a, the digits of b that a two-digit cell both see forbids beside
            // it, from the blockers' masks: each digit of b tried against every blocker, aligned
            // pair exclusion took 58 M instructions on the 5.0-9.0 sample, this way 38 M. (The
            // min is never taken, as in PairCells.)
            std::array<uint16_t, 10> blockedWith{};
            (seenByA & kPeerSets[b]).ForEach([&](int c) {
                const unsigned m = grid.masks[c];
                const int x = std::countr_zero(m), y = std::min(std::countr_zero(m & (m - 1)), 9);
                blockedWith[x] |= uint16_t(1u << y);
                blockedWith[y] |= uint16_t(1u << x);
            });
            unsigned allowedA = 0, allowedB = 0;
            for (unsigned ma = grid.masks[a]; ma != 0; ma &= ma - 1) {
                const int da = std::countr_zero(ma);
                const unsigned withB = grid.masks[b] & ~(1u << da) & ~unsigned(blockedWith[da]);
                if (withB == 0) continue;
                allowedA |= 1u << da;
                allowedB |= withB;
            }
            if (allowedA == grid.masks[a] && allowedB == grid.masks[b]) continue;
            CStep step = MakeStep(CTechnique::kAlignedPairExclusion);
            step.cells = {uint8_t(a), uint8_t(b)};
            for (int cell : {a, int(b)}) {
                const unsigned allowed = cell == a ? allowedA : allowedB;
                for (unsigned m = grid.masks[cell]; m != 0; m &= m - 1) {
                    const int d = std::countr_zero(m);
                    ((allowed >> d & 1) != 0 ? step.pattern : step.eliminations)
                        .push_back(Cand(cell, d));
                }
            }
            return step;
        }
    }
    if (memo) memo->NoteGridNothing(CPathMemo::kAlignedPairs, grid);
    return std::nullopt;
}

// Every technique of this file in the order the scale tries them, up to `last`.
std::optional<CStep> FindUpTo(const CCandidateGrid& grid, const Positions& up, CTechnique last,
                              CPathMemo* memo) {
    CDigitCandidates digits(up, memo);
    CStrongLinkSearch strongLinks(up, digits);
    using T = CTechnique;
    auto within = [&](T t) { return int(t) <= int(last); };
    std::optional<CStep> step;
    if (within(T::kFullHouse) && (step = FullHouse(grid, up))) return step;
    if (within(T::kHiddenSingleBox) && (step = HiddenSingle(grid, up, true))) return step;
    if (within(T::kHiddenSingleLine) && (step = HiddenSingle(grid, up, false))) return step;
    if (within(T::kDirectPointing) && (step = Locked(grid, up, true, true, digits))) return step;
    if (within(T::kDirectClaiming) && (step = Locked(grid, up, false, true, digits))) return step;
    if (within(T::kDirectHiddenPair) && (step = HiddenSet(grid, up, 2, true, memo))) return step;
    if (within(T::kNakedSingle) && (step = NakedSingle(grid))) return step;
    if (within(T::kDirectHiddenTriple) && (step = HiddenSet(grid, up, 3, true, memo))) return step;
    if (within(T::kPointing) && (step = Locked(grid, up, true, false, digits))) return step;
    if (within(T::kClaiming) && (step = Locked(grid, up, false, false, digits))) return step;
    if (within(T::kNakedPair) && (step = NakedSet(grid, up, 2, memo))) return step;
    if (within(T::kXWing) && (step = Fish(grid, up, 2, digits))) return step;
    if (within(T::kHiddenPair) && (step = HiddenSet(grid, up, 2, false, memo))) return step;
    if (within(T::kNakedTriple) && (step = NakedSet(grid, up, 3, memo))) return step;
    if (within(T::kSwordfish) && (step = Fish(grid, up, 3, digits))) return step;
    if (within(T::kHiddenTriple) && (step = HiddenSet(grid, up, 3, false, memo))) return step;
    if (within(T::kHiddenTriple) && (step = TurbotFish(grid, up, digits))) return step;
    if (within(T::kHiddenTriple) && (step = strongLinks.Run(2))) return step;
    if (within(T::kXYWing) && (step = Wing(grid, false, memo))) return step;
    if (within(T::kXYZWing) && (step = Wing(grid, true, memo))) return step;
    if (within(T::kUniqueRectangle) && (step = UniqueRectangleOrLoop(grid, up, digits)))
        return step;
    if (within(T::kNakedQuad) && (step = NakedSet(grid, up, 4, memo))) return step;
    if (within(T::kJellyfish) && (step = Fish(grid, up, 4, digits))) return step;
    if (within(T::kHiddenQuad) && (step = HiddenSet(grid, up, 4, false, memo))) return step;
    if (within(T::kHiddenQuad) && (step = strongLinks.Run(3))) return step;
    if (within(T::kHiddenQuad) && (step = FindAlsWing(grid, 3, memo))) return step;
    if (within(T::kBivalueUniversalGrave) && (step = FindBivalueUniversalGrave(grid, up)))
        return step;
    if (within(T::kBivalueUniversalGrave) && (step = strongLinks.Run(4))) {
        return step;
    }
    if (within(T::kBivalueUniversalGrave) && (step = FindAlsWing(grid, 4, memo))) return step;
    if (within(T::kAlignedPairExclusion) && (step = AlignedPairExclusion(grid, memo))) return step;

    return std::nullopt;
}

}  // namespace

std::optional<CStep> FindBasicStep(const CCandidateGrid& grid, CPathMemo* memo) {
    return FindUpTo(grid, Positions(grid), CTechnique::kAlignedPairExclusion, memo);
}

std::optional<CStep> FindBasicStep(const CCandidateGrid& grid, const CUnitPositions& up,
                                   CPathMemo* memo) {
    return FindUpTo(grid, up, CTechnique::kAlignedPairExclusion, memo);
}

std::optional<CStep> FindBasicStepUpTo(const CCandidateGrid& grid, CTechnique last) {
    return FindUpTo(grid, Positions(grid), last, nullptr);
}

}  // namespace logic
