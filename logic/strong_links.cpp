// Chains of two, three or four strong links on one digit: the grouped turbot fish and the
// X-chains of three and four links, found among the basic techniques (technique_table.h).
//
// d is a digit, u a unit.
#include <memory>
#include <new>
#include <unordered_map>
#include <vector>

#include "find_context.h"

namespace logic {

// A strong link is a unit whose places for the digit split into a near and a far part, one
// of which holds it: two places; or, grouped, up to six places split by boxes in a line
// that crosses only two of them with places, by lines in a box whose places lie in one row
// and one column of it (an empty rectangle, split into those in the row or the column and
// the rest) or in only two of its rows or columns. Each link's far part is seen whole by
// every place of the next link's near part, so the first near part or the last far part holds
// the digit, and a cell seeing both whole loses it. With two links only grouped chains are
// looked for here (4.3; the plain ones are fish.cpp's turbot fish); three and four links are
// worth 5.4 and 5.8, a tenth more when the links mix a box or the two kinds of line, two when
// they mix all three, three when one is grouped.
class CStrongLinkSearch {
  public:
    explicit CStrongLinkSearch(CFindContext& ctx) : up_(ctx.up), ctx_(ctx) {}

    // The easiest chain of `links` links. A digit's links are found when first needed and
    // kept for the calls for two, three and four links on the same grid (one allocation).
    std::optional<CStep> Run(int links) {
        links_ = links;
        if (links == 2) return RunTwo();
        best_.reset();
        for (d_ = 1; d_ <= 9; ++d_) {
            if (ctx_.FoundNothing(d_)) continue;
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
            if (!digitFound_) ctx_.NoteNothing(d_);
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
            // does, no chain from this link removes anything.
            if (t_->seenNear[k].None()) continue;
            chain_[0] = uint8_t(k);
            size_ = 1;
            Extend();
        }
    }

    // The chains of two links, digit by digit. Each is worth 4.3 (only grouped ones are
    // left), so the easiest is the first that removes the most, and a digit's first depends
    // on its candidates alone. The nested chains ask on thousands of grids they assume,
    // where most digits' candidates are as on a grid asked before, so each digit's answer is
    // remembered by its candidates, per thread, up to kTwoLinkAnswers of them (a few MB).
    std::optional<CStep> RunTwo() {
        struct CKey {
            // The digit's candidates, as CCells, with the digit in hi's top bits and below it
            // whether the step records its links.
            uint64_t lo, hi;
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
            if (ctx_.FoundNothing(d_)) continue;
            const CCells& cells = ctx_.DigitCells(d_);
            const CKey key{cells.lo, cells.hi | uint64_t(d_) << 56 | uint64_t(ctx_.links) << 55};
            auto it = answers.find(key);
            if (it == answers.end()) {
                FindDigitLinks();
                best_.reset();
                ExtendAll();
                if (answers.size() >= kTwoLinkAnswers) answers.clear();
                it = answers.emplace(key, std::move(best_)).first;
            }
            const std::optional<CStep>& found = it->second;
            if (!found) ctx_.NoteNothing(d_);
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
        t_->candidates = ctx_.DigitCells(d_);
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
        // would be read again for each.
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
    // named the near one first; each part's cells and the cells seeing it whole are found
    // once for both.
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

    // Called with a chain of fewer than links_ links; the last link is offered here rather
    // than through another call. The search's members are read into locals once: the chain's
    // bytes written in the loop may alias them, and would be read again on every pass.
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
            // the link before the last needs a next link for which that holds.
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
        static constexpr CTechnique kTechnique[] = {CTechnique::kGroupedTurbotFish,
                                                    CTechnique::kThreeLinkXChain,
                                                    CTechnique::kFourLinkXChain};
        const CTechnique technique = kTechnique[links_ - 2];
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
        // Two links are always grouped, and their row's value says so.
        const int rating = links_ == 2 ? BaseRating(technique)
                                       : BaseRating(technique) + (grouped                  ? 3
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
        CStep step = MakeStep(technique);
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
        // Each link from its near part to its far part, and a weak link on to the next.
        for (int i = 0; i < size_ && ctx_.links; ++i) {
            const Link& l = t_->table[chain_[i]];
            step.links.push_back({EndOf(l.near, d_), EndOf(l.far, d_), true});
            if (i + 1 < size_) {
                step.links.push_back(
                    {EndOf(l.far, d_), EndOf(t_->table[chain_[i + 1]].near, d_), false});
            }
        }
        best_ = std::move(step);
    }

    const CUnitPositions& up_;
    CFindContext& ctx_;
    int links_ = 0;
    int d_ = 0;
    // Room for the ten digits' links, some 200 KB, allocated for each search: kept per thread,
    // the allocator gave memory back and took it again between the chains' allocations. A
    // digit's links are made in it when first found, so unasked digits' sets stay untouched.
    std::unique_ptr<std::byte[]> linkRoom_;
    std::array<CDigitLinks*, 10> linkTables_{};
    unsigned seenNextFound_ = 0;  // by digit
    CDigitLinks* t_ = nullptr;    // d_'s
    std::array<uint8_t, 4> chain_{};
    int size_ = 0;
    bool digitFound_ = false;  // whether d_ has a chain removing something
    std::optional<CStep> best_;
};

namespace {

// The search is made once per grid and kept in the context: a digit's links, found for the
// chains of two links, serve those of three and four.
CStrongLinkSearch& Search(CFindContext& ctx) {
    if (!ctx.strongLinks) {
        ctx.strongLinks = {new CStrongLinkSearch(ctx), [](CStrongLinkSearch* s) { delete s; }};
    }
    return *ctx.strongLinks;
}

}  // namespace

std::optional<CStep> FindGroupedTurbotFish(CFindContext& ctx) {
    return Search(ctx).Run(2);
}

std::optional<CStep> FindThreeLinkXChain(CFindContext& ctx) {
    return Search(ctx).Run(3);
}

std::optional<CStep> FindFourLinkXChain(CFindContext& ctx) {
    return Search(ctx).Run(4);
}

}  // namespace logic
