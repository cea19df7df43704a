#include "engine/dsp/oscillators/Wavetable.h"

#include "engine/dsp/effects/OversamplingFilter.h"

#include <algorithm>
#include <cmath>

namespace trov {

namespace {

// Pairs of the cycle's end that run through the decimator before the cycle itself, so that it starts
// with the state a periodic signal leaves (its all-pass forgets the past within a pair or two).
constexpr std::int32_t kPrimingPairs = 4;

// One cycle of `source` (without guard, an even count) into half as many values.
void decimateCycle(OversamplingFilter& filter, const float* source, std::int32_t count, float* target) {
    filter.reset();
    const std::int32_t priming = std::min(kPrimingPairs, count / 2);
    float scratch[kPrimingPairs];
    filter.decimate(scratch, source + count - 2 * priming, priming);
    filter.decimate(target, source, count / 2);
}

} // namespace

Wavetable::~Wavetable() = default;

void Wavetable::buildLevels() {
    levels_.assign(1, {});
    build(levels_[0]);
    OversamplingFilter decimator;
    decimator.design();
    for (;;) {
        const auto count = static_cast<std::int32_t>(levels_.back().size());
        if (count < kMinDerivedFrom || count % 2 != 0)
            break;
        std::vector<float> half(static_cast<std::size_t>(count / 2));
        decimateCycle(decimator, levels_.back().data(), count, half.data());
        levels_.push_back(std::move(half));
    }
    for (auto& level : levels_) {
        const float first = level.empty() ? 0.0f : level.front();
        level.push_back(first);
    }
    if (rangeMin_ != -1.0f || rangeMax_ != 1.0f) {
        const float min = rangeMin_;
        const float max = rangeMax_;
        rangeMin_ = -1.0f;
        rangeMax_ = 1.0f;
        setRange(min, max);
    }
    selected_ = 0;
}

bool Wavetable::setRange(float min, float max) noexcept {
    if (!std::isfinite(min) || !std::isfinite(max) || min == max)
        return false;
    if (min == rangeMin_ && max == rangeMax_)
        return true;
    const double scale = (static_cast<double>(max) - min) / (static_cast<double>(rangeMax_) - rangeMin_);
    for (auto& level : levels_)
        for (float& value : level)
            value = static_cast<float>(min + (value - static_cast<double>(rangeMin_)) * scale);
    rangeMin_ = min;
    rangeMax_ = max;
    return true;
}

void Wavetable::selectLevel(double frequency, double sampleRate) noexcept {
    if (levels_.empty()) {
        selected_ = 0;
        return;
    }
    // Samples per period; a frequency <= 0 (or NaN) stands still: the full table.
    const double period = frequency > 0.0 ? std::rint(sampleRate / frequency) : INFINITY;
    const double half = period / 2.0;
    int level = getLevelCount() - 1;
    while (level > 0 && static_cast<double>(levels_[static_cast<std::size_t>(level)].size() - 1) < half)
        --level;
    selected_ = level;
}

std::int32_t Wavetable::getLength() const noexcept {
    if (levels_.empty())
        return 0;
    return static_cast<std::int32_t>(levels_[static_cast<std::size_t>(selected_)].size()) - 1;
}

const float* Wavetable::getData() const noexcept {
    return levels_.empty() ? nullptr : levels_[static_cast<std::size_t>(selected_)].data();
}

const std::vector<float>& Wavetable::getLevel(int index) const noexcept {
    static const std::vector<float> kNone;
    if (index < 0 || index >= getLevelCount())
        return kNone;
    return levels_[static_cast<std::size_t>(index)];
}

void Wavetable::writeGuards() noexcept {
    for (auto& level : levels_)
        if (level.size() > 1)
            level.back() = level.front();
}

} // namespace trov
