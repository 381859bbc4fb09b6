// A stable sort for the reader's lists: std::sort with the first position as the tie-break.
// libstdc++ 12's std::stable_sort asks for std::get_temporary_buffer, which clang 19 calls
// deprecated, so it does not build with warnings as errors.
#pragma once

#include <algorithm>
#include <cstddef>
#include <numeric>
#include <utility>
#include <vector>

// Orders `items` by `less` (a strict weak order), keeping equal items in their order.
template <typename T, typename Less>
void StableSort(std::vector<T>& items, Less less) {
    std::vector<size_t> order(items.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        if (less(items[a], items[b])) return true;
        if (less(items[b], items[a])) return false;
        return a < b;
    });
    std::vector<T> sorted;
    sorted.reserve(items.size());
    for (size_t i : order) sorted.push_back(std::move(items[i]));
    items = std::move(sorted);
}
