#pragma once
#include <cstddef>
#include <utility>
#include <vector>

// Sorts objects that offer compareTo(other) (negative: this one goes first)
// with a Shell sort over the gaps 1, 4, 13, 40, … (each three times the
// previous plus one), largest gap first. Objects that compare equal keep no
// guaranteed order once there are five or more; the ranking relies on this
// exact procedure, so it is written out rather than left to the library.
template <class T>
void ShellSort(std::vector<T>& a) {
    const std::size_t n = a.size();
    if (n <= 1) return;
    std::vector<std::size_t> gaps;
    for (std::size_t h = 1; h <= n; h = 3 * h + 1) gaps.push_back(h);
    for (auto g = gaps.rbegin(); g != gaps.rend(); ++g) {
        const std::size_t h = *g;
        for (std::size_t i = h; i < n; ++i) {
            for (std::size_t j = i; j >= h && a[j].compareTo(a[j - h]) < 0; j -= h)
                std::swap(a[j], a[j - h]);
        }
    }
}
