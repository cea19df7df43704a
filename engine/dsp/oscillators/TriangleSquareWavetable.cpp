#include "engine/dsp/oscillators/TriangleSquareWavetable.h"

#include <algorithm>
#include <cmath>

namespace trov {

TriangleSquareWavetable::TriangleSquareWavetable() {
    buildLevels(); // sizes the levels; each is then drawn from the shape at its own length
    renderLevels(0.0f);
}

void TriangleSquareWavetable::setShape(float shape) noexcept {
    if (std::isnan(shape))
        return;
    pending_.store(std::clamp(shape, 0.0f, 1.0f), std::memory_order_relaxed);
}

void TriangleSquareWavetable::refresh() noexcept {
    const float shape = pending_.load(std::memory_order_relaxed);
    if (shape != rendered_)
        renderLevels(shape);
}

void TriangleSquareWavetable::build(std::vector<float>& level) {
    level.resize(kLength);
    renderCycle(level.data(), kLength, 0.0f, -1.0f, 1.0f);
}

void TriangleSquareWavetable::renderLevels(float shape) noexcept {
    for (auto& level : levels())
        if (level.size() > 1)
            renderCycle(level.data(), static_cast<std::int32_t>(level.size()) - 1, shape, getRangeMin(),
                        getRangeMax());
    writeGuards();
    rendered_ = shape;
}

void TriangleSquareWavetable::renderCycle(float* values, std::int32_t length, float shape, float min,
                                          float max) noexcept {
    const double s = shape;
    const double span = static_cast<double>(max) - min;
    const double mid = (static_cast<double>(max) + min) / 2.0;
    const double steepest = std::fabs(span) / 2.0;
    const double slope =
        std::copysign(std::min(2.0 * std::fabs(span) / ((1.000001 - s) * length), steepest), span);
    auto breakPoint = [length](double quarters) {
        return static_cast<std::int32_t>(std::clamp(std::rint(quarters * length / 4.0), 0.0, double(length)));
    };
    const std::int32_t a = breakPoint(1.0 - s);
    const std::int32_t b = std::max(a, breakPoint(1.0 + s));
    const std::int32_t c = std::max(b, breakPoint(3.0 - s));
    const std::int32_t d = std::max(c, breakPoint(3.0 + s));
    const double low = std::min(min, max);
    const double high = std::max(min, max);

    for (std::int32_t i = 0; i < length; ++i) {
        double value;
        if (i < a)
            value = mid + slope * i;
        else if (i < b)
            value = max;
        else if (i < c)
            value = max - slope * (i - b);
        else if (i < d)
            value = min;
        else
            value = min + slope * (i - d);
        values[i] = static_cast<float>(std::clamp(value, low, high));
    }
}

} // namespace trov
