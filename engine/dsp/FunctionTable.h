#pragma once

#include "engine/dsp/FloatIndex.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace trov {

// A costly or measured curve sampled once into a table and read back with linear interpolation: size
// points spread evenly over [lo, hi], followed by two guard entries repeating the last point.
//
// Built on the loading thread (it allocates); afterwards read-only, so any number of threads may look
// up at once. `lookup` is noexcept and allocation-free for the audio thread.
template <class T> class FunctionTable {
public:
    // Positions keep a fraction's precision in single precision up to here.
    static constexpr std::uint32_t kMaxSize = std::uint32_t{1} << 20;

    // Samples f at size points (at most 2^20); fewer than two points sample f at lo only.
    template <class Function>
    FunctionTable(T lo, T hi, std::uint32_t size, Function f)
        : lo_(lo), hi_(hi), size_(std::clamp<std::uint32_t>(size, 1, kMaxSize)),
          data_(new T[std::size_t{size_} + 2]) {
        // Spaced by size, not size - 1: a lookup reads slightly ahead of the sampled point, which the
        // tables' users were tuned against.
        scale_ = static_cast<float>(static_cast<T>(size_) / (hi_ - lo_));
        // A domain that is empty, reversed, not finite or too narrow for the scale holds f(lo) alone (f(0)
        // without a finite lo), over a unit domain.
        if (!(std::isfinite(lo_) && std::isfinite(hi_) && lo_ < hi_ && std::isfinite(scale_))) {
            lo_ = std::isfinite(lo_) ? lo_ : T(0);
            hi_ = lo_ + T(1);
            size_ = 1;
            scale_ = 1.0f;
        }
        const std::uint32_t last = size_ - 1;
        for (std::uint32_t i = 0; i < size_; ++i)
            data_[i] = last == 0 ? static_cast<T>(f(lo_)) : static_cast<T>(f(i * (hi_ - lo_) / last + lo_));
        data_[size_] = data_[size_ + 1] = data_[last];
    }
    FunctionTable(const FunctionTable&) = delete;
    FunctionTable& operator=(const FunctionTable&) = delete;
    FunctionTable(FunctionTable&&) noexcept = default;
    FunctionTable& operator=(FunctionTable&&) noexcept = default;
    ~FunctionTable() = default;

    // The interpolated value at x. Below lo it is the first point, past hi the last; NaN reads as lo. One
    // multiply, one conversion, one interpolation.
    T lookup(T x) const noexcept {
        // The argument is clamped to the domain while still floating-point. The position u then lies within
        // 0..size (give or take a rounding), so i stays within 0..size and i + 1 within the guards.
        const T u = (clampPosition(x, lo_, hi_) - lo_) * static_cast<T>(scale_);
        // u - 0.5 rounded half to even is the whole part of u (or u - 1 at a whole u, with the same value).
        const std::int32_t i = roundToInt(u - T(0.5));
        const T fraction = u - static_cast<T>(i);
        return data_[i] + (data_[i + 1] - data_[i]) * fraction;
    }

    T getLo() const noexcept { return lo_; }
    T getHi() const noexcept { return hi_; }
    std::uint32_t getSize() const noexcept { return size_; }
    float getScale() const noexcept { return scale_; }
    // The size points and the two guard entries.
    const T* getData() const noexcept { return data_.get(); }

private:
    T lo_;
    T hi_;
    std::uint32_t size_;
    float scale_ = 0.0f;
    std::unique_ptr<T[]> data_;
};

} // namespace trov
