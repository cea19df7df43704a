#pragma once

#include <cstdint>

namespace trov {

// A closed interval [low, high], used for key and velocity ranges. A range with low > high is empty: it
// contains and overlaps nothing.
template <class T> struct Range {
    T low{};
    T high{};

    constexpr Range() = default;
    constexpr Range(T lowValue, T highValue) : low(lowValue), high(highValue) {}

    constexpr bool isEmpty() const { return low > high; }
    constexpr bool contains(T value) const { return low <= value && value <= high; }
    constexpr bool overlaps(const Range& other) const {
        return !isEmpty() && !other.isEmpty() && low <= other.high && other.low <= high;
    }
    constexpr bool operator==(const Range& other) const { return low == other.low && high == other.high; }
    constexpr bool operator!=(const Range& other) const { return !(*this == other); }
};

using KeyRange = Range<std::int16_t>;

} // namespace trov
