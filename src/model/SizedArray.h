#pragma once
#include <cstdint>
#include <vector>

// A dynamic array as the data files store it: a descriptor of element counts
// and lower bounds, then the elements. Unsized (no dimension) until sized.

template <class T>
struct SizedArray1 {
    std::int32_t lower = 0;
    std::vector<T> items;

    void size(std::int32_t lowerBound, std::int32_t upperBound) {
        lower = lowerBound;
        items.assign(upperBound >= lowerBound ? std::size_t(upperBound - lowerBound + 1) : 0, T{});
    }
    void clear() { lower = 0; items.clear(); }
    bool sized() const { return !items.empty(); }
    std::int32_t count() const { return std::int32_t(items.size()); }
    std::int32_t upper() const { return lower + count() - 1; }
    bool has(std::int32_t i) const { return i >= lower && i <= upper(); }
    T& operator[](std::int32_t i) { return items.at(std::size_t(i - lower)); }
    const T& operator[](std::int32_t i) const { return items.at(std::size_t(i - lower)); }
    bool operator==(const SizedArray1&) const = default;
};

// Two dimensions; the first index varies fastest in storage, as on disk.
template <class T>
struct SizedArray2 {
    std::int32_t count1 = 0, lower1 = 0, count2 = 0, lower2 = 0;
    std::vector<T> items;

    void size(std::int32_t lo1, std::int32_t up1, std::int32_t lo2, std::int32_t up2) {
        lower1 = lo1; lower2 = lo2;
        count1 = up1 >= lo1 ? up1 - lo1 + 1 : 0;
        count2 = up2 >= lo2 ? up2 - lo2 + 1 : 0;
        items.assign(std::size_t(count1) * std::size_t(count2), T{});
        if (items.empty()) count1 = count2 = 0;
    }
    void clear() { count1 = count2 = lower1 = lower2 = 0; items.clear(); }
    bool sized() const { return !items.empty(); }
    bool has(std::int32_t i, std::int32_t j) const {
        return i >= lower1 && i < lower1 + count1 && j >= lower2 && j < lower2 + count2;
    }
    T& at(std::int32_t i, std::int32_t j) {
        return items.at(std::size_t(i - lower1) + std::size_t(j - lower2) * std::size_t(count1));
    }
    const T& at(std::int32_t i, std::int32_t j) const {
        return items.at(std::size_t(i - lower1) + std::size_t(j - lower2) * std::size_t(count1));
    }
    bool operator==(const SizedArray2&) const = default;
};
