// Y-cycles: a loop of two-candidate cells, each sharing a unit and a digit with the next,
// where each cell's digit that links it to the next is the one the previous link does not
// use. Going round either way one of the two colourings holds: each cell holds its outgoing
// digit, or each its incoming one. A cell outside the loop that sees a cell of the loop
// holding digit d in one colouring and a cell holding d in the other loses d.
//
// The rated collections' rater finds them among the chains of one assumption and values them
// 6.5 plus the chains' bonus for their length, counted as two nodes a cell; loops longer
// than kMaxCells are left to the chains, which are never worth more by then.
#include <vector>

#include "find_context.h"

namespace logic {

namespace {

constexpr int kMaxCells = 10;

class CYCycleSearch {
  public:
    CYCycleSearch(const CCandidateGrid& grid, bool links) : grid_(grid), links_(links) {
        for (int cell = 0; cell < kCellCount; ++cell) {
            bivalue_[cell] = grid.values[cell] == 0 && Count(grid.masks[cell]) == 2;
        }
    }

    std::optional<CStep> Run() {
        for (start_ = 0; start_ < kCellCount; ++start_) {
            if (!bivalue_[start_]) continue;
            // Start with the lower digit going out; the loop read the other way round goes
            // out with the higher one and is the same loop.
            const unsigned m = grid_.masks[start_];
            firstIn_ = std::countr_zero(m & (m - 1));
            loop_[0] = start_;
            out_[0] = std::countr_zero(m);
            size_ = 1;
            used_[start_] = true;
            Extend();
            used_[start_] = false;
        }
        return std::move(best_);
    }

  private:
    int Rating(int cells) const { return 65 + ChainLengthBonus(2 * cells); }

    void Extend() {
        const int cell = loop_[size_ - 1], d = out_[size_ - 1];
        for (uint8_t next : kCellPeers[cell]) {
            if (!bivalue_[next] || (grid_.masks[next] >> d & 1) == 0) continue;
            if (next == start_) {
                if (size_ >= 4 && d == firstIn_) Offer();
                continue;
            }
            // Each loop once: its first cell is its lowest.
            if (next < start_ || used_[next] || size_ == kMaxCells) continue;
            if (best_ && best_->rating <= Rating(size_ + 1)) continue;
            used_[next] = true;
            loop_[size_] = next;
            out_[size_] = std::countr_zero(grid_.masks[next] & ~(1u << d));
            ++size_;
            Extend();
            --size_;
            used_[next] = false;
        }
    }

    void Offer() {
        const int rating = Rating(size_);
        // Per digit, the cells holding it in the outgoing colouring and in the incoming one.
        std::array<std::vector<int>, 10> outgoing, incoming;
        for (int i = 0; i < size_; ++i) {
            outgoing[out_[i]].push_back(loop_[i]);
            incoming[std::countr_zero(grid_.masks[loop_[i]] & ~(1u << out_[i]))].push_back(
                loop_[i]);
        }
        CStep step = MakeStep(CTechnique::kYCycle);
        step.rating = rating;
        for (int cell = 0; cell < kCellCount; ++cell) {
            if (grid_.values[cell] != 0 || used_[cell]) continue;
            for (unsigned m = grid_.masks[cell]; m != 0; m &= m - 1) {
                const int d = std::countr_zero(m);
                auto sees = [&](const std::vector<int>& cells) {
                    for (int c : cells) {
                        if (SameUnit(c, cell)) return true;
                    }
                    return false;
                };
                if (sees(outgoing[d]) && sees(incoming[d])) {
                    step.eliminations.push_back({uint8_t(cell), uint8_t(d)});
                }
            }
        }
        if (step.eliminations.empty()) return;
        if (best_ &&
            (best_->rating < rating ||
             (best_->rating == rating && best_->eliminations.size() >= step.eliminations.size()))) {
            return;
        }
        for (int i = 0; i < size_; ++i) {
            step.cells.push_back(uint8_t(loop_[i]));
            for (unsigned m = grid_.masks[loop_[i]]; m != 0; m &= m - 1) {
                step.pattern.push_back({uint8_t(loop_[i]), uint8_t(std::countr_zero(m))});
            }
        }
        // Round the loop: each cell's incoming digit to its outgoing one, then that digit on
        // to the next cell, which it comes into.
        for (int i = 0; i < size_ && links_; ++i) {
            const int cell = loop_[i], out = out_[i];
            const int in = std::countr_zero(grid_.masks[cell] & ~(1u << out));
            step.links.push_back({EndOf(cell, in), EndOf(cell, out), true});
            step.links.push_back({EndOf(cell, out), EndOf(loop_[(i + 1) % size_], out), false});
        }
        best_ = std::move(step);
    }

    const CCandidateGrid& grid_;
    const bool links_;  // whether the step records its links
    std::array<bool, kCellCount> bivalue_{};
    std::array<bool, kCellCount> used_{};
    std::array<int, kMaxCells> loop_{};
    std::array<int, kMaxCells> out_{};  // the digit each cell links to the next with
    int size_ = 0;
    int start_ = 0;
    int firstIn_ = 0;  // the digit the loop must come back to its first cell with
    std::optional<CStep> best_;
};

}  // namespace

std::optional<CStep> FindYCycle(CFindContext& ctx) {
    return CYCycleSearch(ctx.grid, ctx.links).Run();
}

}  // namespace logic
