#pragma once

#include <cmath>
#include <cstdint>

namespace trov {

// Integer pixel position. Plain value.
struct Point {
    std::int32_t x = 0;
    std::int32_t y = 0;

    constexpr Point() = default;
    constexpr Point(std::int32_t x_, std::int32_t y_) : x(x_), y(y_) {}

    constexpr Point operator+(const Point& p) const { return {x + p.x, y + p.y}; }
    constexpr Point operator-(const Point& p) const { return {x - p.x, y - p.y}; }
    constexpr Point operator-() const { return {-x, -y}; }
    // Plain scaling truncates toward zero; the assigning forms below round to nearest even.
    Point operator*(float f) const {
        return {static_cast<std::int32_t>(static_cast<float>(x) * f),
                static_cast<std::int32_t>(static_cast<float>(y) * f)};
    }
    Point operator/(float f) const { return *this * (1.0f / f); }
    Point& operator+=(const Point& p) { return *this = *this + p; }
    Point& operator-=(const Point& p) { return *this = *this - p; }
    Point& operator*=(float f) {
        scale(f, f);
        return *this;
    }
    Point& operator/=(float f) {
        const float r = 1.0f / f;
        scale(r, r);
        return *this;
    }
    void scale(float fx, float fy) {
        x = static_cast<std::int32_t>(std::nearbyint(static_cast<float>(x) * fx));
        y = static_cast<std::int32_t>(std::nearbyint(static_cast<float>(y) * fy));
    }
    double distanceTo(const Point& p) const {
        const double dx = static_cast<double>(p.x) - x;
        const double dy = static_cast<double>(p.y) - y;
        return std::sqrt(dx * dx + dy * dy);
    }
    constexpr bool operator==(const Point& p) const { return x == p.x && y == p.y; }
    constexpr bool operator!=(const Point& p) const { return !(*this == p); }
};

} // namespace trov
