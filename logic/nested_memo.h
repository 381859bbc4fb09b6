// What the easier techniques found on the grids the nested chains assumed, by grid and stage,
// kept while the chains of one grid (or, along the rating's path, of the grids after it) may
// assume them again.
#pragma once

#include <cstring>
#include <string>
#include <unordered_map>

#include "chain_nodes.h"

namespace logic {

// What each stage of the easier techniques (NestedStage) found on each grid a nested chain
// stalled on. Different assumptions often stall on the same grid (the two candidates of a
// cell, the two places of a digit in a unit lead to the same singles), counting a
// conclusion's chains stalls again on grids already seen, and each level of nesting walks
// through the grids the level before it stalled on.
class CNestedMemo {
  public:
    // Forgets the grids that no chain on `grid`, or on a grid with fewer candidates, can
    // assume: those with a candidate or a digit `grid` no longer has.
    void KeepWithin(const CCandidateGrid& grid) {
        std::erase_if(m_found, [&](const auto& entry) { return !Within(entry.first, grid); });
        m_closures.clear();
    }

    using CResult = CNestedResult;

    // nullptr when not yet known. The answers stay where they are until the memo goes.
    const CResult* Find(const CCandidateGrid& grid, int stage) const {
        const auto it = m_found.find(Key(grid, stage));
        return it == m_found.end() ? nullptr : &it->second;
    }
    const CResult& Store(const CCandidateGrid& grid, int stage, CResult result) {
        return m_found.emplace(Key(grid, stage), std::move(result)).first->second;
    }

    // The closure of a grid whose forcing chains found nothing, kept for its cell and region
    // forcing chains, which the next level of nesting looks for there, rather than built
    // again. At most kClosures at once (some 20 KB each); taken, it is forgotten.
    void KeepClosure(const CCandidateGrid& grid, std::shared_ptr<CStaticClosure> closure) {
        if (m_closures.size() < kClosures) m_closures.emplace(Key(grid, -1), std::move(closure));
    }
    std::shared_ptr<CStaticClosure> TakeClosure(const CCandidateGrid& grid) {
        const auto it = m_closures.find(Key(grid, -1));
        if (it == m_closures.end()) return nullptr;
        std::shared_ptr<CStaticClosure> closure = std::move(it->second);
        m_closures.erase(it);
        return closure;
    }

  private:
    static bool Within(const std::string& key, const CCandidateGrid& grid) {
        for (int cell = 0; cell < kCellCount; ++cell) {
            const auto value = uint8_t(key[size_t(cell)]);
            uint16_t mask;
            std::memcpy(&mask, key.data() + kCellCount + 2 * cell, sizeof(mask));
            if (grid.values[cell] != 0) {
                if (value != grid.values[cell]) return false;
            } else if (((value != 0 ? 1u << value : mask) & ~grid.masks[cell]) != 0) {
                return false;
            }
        }
        return true;
    }

    static std::string Key(const CCandidateGrid& grid, int stage) {
        std::string key(reinterpret_cast<const char*>(grid.values.data()), grid.values.size());
        key.append(reinterpret_cast<const char*>(grid.masks.data()),
                   grid.masks.size() * sizeof(grid.masks[0]));
        key += char(stage);
        return key;
    }

    static constexpr size_t kClosures = 2048;

    std::unordered_map<std::string, CResult> m_found;
    std::unordered_map<std::string, std::shared_ptr<CStaticClosure>> m_closures;
};

}  // namespace logic
