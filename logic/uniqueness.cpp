// Unique rectangles and unique loops: cells that would hold the same two digits twice over
// in two solutions, which a puzzle with one solution forbids, so one of their extra digits
// must hold.
//
// u is a unit, i a cell's place in its unit, d a digit.
#include <vector>

#include "find_context.h"

namespace logic {

namespace {

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
void UniqueRectangleType4(const CUnitPositions& up, const CStep& base, int a, int b, unsigned pair,
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
std::optional<CStep> UniqueRectangle(const CCandidateGrid& grid, const CUnitPositions& up) {
    std::optional<CStep> best;
    auto offer = [&](CStep step) {
        if (!best || step.rating < best->rating) best = std::move(step);
    };
    for (int r1 = 0; r1 < 9; ++r1) {
        for (int r2 = r1 + 1; r2 < 9; ++r2) {
            // Two boxes: the rows in one band and the columns in two stacks, or the other
            // way round. Each column's two cells are crossed once for all the pairs of
            // columns, and only the columns where they share two digits or more are paired.
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
                            // four, and make no step.
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

// The value of the easiest loop, one of six cells: a rectangle worth no more is the easier.
constexpr int kEasiestLoop = BaseRating(CTechnique::kUniqueLoop) + 1;

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
    explicit CLoopSearch(CFindContext& ctx) : grid_(ctx.grid), up_(ctx.up), ctx_(ctx) {}

    // Along the rating's path, a pair of digits whose walk found no loop is not walked again
    // while the cells holding both keep their candidates; nor one whose loops removed
    // nothing, while the units its types 3 and 4 read are as they were too.
    std::optional<CStep> Run() {
        CPathMemo* memo = ctx_.memo;
        // Per pair of digits, 1 when it is skipped, 2 when it is walked.
        std::array<uint8_t, 90> decided{};
        int cell = 0;
        for (; cell < kCellCount && !(best_ && best_->rating <= kEasiestLoop); ++cell) {
            if (grid_.values[cell] != 0 || Count(grid_.masks[cell]) != 2) continue;
            const unsigned pair = grid_.masks[cell];
            const int d1 = std::countr_zero(pair), d2 = std::countr_zero(pair & (pair - 1));
            uint8_t& decision = decided[9 * d1 + d2];
            if (decision == 0) {
                decision = memo && memo->LoopsFoundNothing(
                                       d1, d2, ctx_.DigitCells(d1) & ctx_.DigitCells(d2), grid_)
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
                        memo->NoteLoopsNothing(d1, d2, ctx_.DigitCells(d1) & ctx_.DigitCells(d2),
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
    // loops in the same order without walking through them.
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
            // Only the unit's places of both digits, from the positions, not all nine cells.
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
                // its walk found every loop through it.
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
        if (best_ && best_->rating <= BaseRating(CTechnique::kUniqueLoop) + bonus) return;
        std::array<int, kMaxLength> extra;
        size_t extraCount = 0;
        unsigned extraDigits = 0;
        for (int cell : loop_) {
            if (grid_.masks[cell] != pair_) {
                extra[extraCount++] = cell;
                extraDigits |= grid_.masks[cell] & ~pair_;
            }
        }
        // Whether a type can apply, and type 2 remove anything, before the step is built,
        // so that a loop that makes none builds none.
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
            typeTwo = ctx_.DigitCells(std::countr_zero(extraDigits));
            for (size_t i = 0; i < extraCount; ++i) typeTwo = typeTwo & kPeerSets[extra[i]];
        }
        if (extraCount != 1 && typeTwo.None() && !twoOfAUnit) return;
        CStep base = MakeStep(CTechnique::kUniqueLoop);
        base.rating = BaseRating(CTechnique::kUniqueLoop) + bonus;
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
    const CUnitPositions& up_;
    CFindContext& ctx_;
    unsigned pair_ = 0;
    std::array<bool, 90> anyLoop_{};    // per pair of digits, whether its walk found a loop
    std::array<CCells, 90> watched_{};  // and the cells of the units its types 3 and 4 read
    std::array<CCells, 90> kept_;  // and its cells KeepThoseInLoops kept, once the pair is walked
    std::array<uint16_t, kUnitCount> onPair_{};  // per unit, the places of both of pair_'s digits
    std::array<uint32_t, 2> visited_{};  // the units of the loop's cells at even, odd places
    // The cells walked so far, pushed and popped at every step of the walk: a fixed array
    // rather than a vector.
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

}  // namespace

// The easiest of the unique rectangles and loops, as the rater that defines the scale
// sorts them: by value, so a loop of six (4.6) comes before a rectangle of type 3 whose
// naked set is a triple (4.7).
std::optional<CStep> FindUniqueRectangleOrLoop(CFindContext& ctx) {
    std::optional<CStep> rectangle = UniqueRectangle(ctx.grid, ctx.up);
    if (rectangle && rectangle->rating <= kEasiestLoop) return rectangle;
    std::optional<CStep> loop = CLoopSearch(ctx).Run();
    if (loop && (!rectangle || loop->rating < rectangle->rating)) return loop;
    return rectangle;
}

}  // namespace logic
