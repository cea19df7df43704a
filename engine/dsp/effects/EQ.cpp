#include "engine/dsp/effects/EQ.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace trov {

namespace {
bool validRange(float minHz, float maxHz) noexcept {
    return std::isfinite(minHz) && std::isfinite(maxHz) && minHz != maxHz;
}
} // namespace

EQ::EQ(const Module* owner, float minHz, float maxHz)
    : Effect(owner), minFrequency_(minHz), maxFrequency_(maxHz) {
    if (!validRange(minHz, maxHz))
        throw std::invalid_argument("EQ band: the frequency range must be finite and not empty");
}

bool EQ::setFrequencyRange(float minHz, float maxHz) noexcept {
    if (!validRange(minHz, maxHz))
        return false;
    minFrequency_ = minHz;
    maxFrequency_ = maxHz;
    return true;
}

void EQ::change(float& field, float value) noexcept {
    if (value == field || std::isnan(value))
        return;
    field = value;
    update();
}

void EQ::setType(std::int32_t type) noexcept {
    if (type == type_)
        return;
    type_ = type;
    if (hasNoGain(type))
        gain_ = 0.0f;
    update();
}

void EQ::setFrequencyNormalized(float normalized) noexcept {
    change(frequency_, std::isnan(normalized) ? normalized : std::clamp(normalized, 0.0f, 1.0f));
}

void EQ::setFrequency(float hz) noexcept {
    setFrequencyNormalized((hz - minFrequency_) / (maxFrequency_ - minFrequency_));
}

void EQ::setShape1(float value) noexcept {
    change(shape1_, value);
}

void EQ::setShape2(float value) noexcept {
    change(shape2_, value);
}

void EQ::setShape3(float value) noexcept {
    change(shape3_, value);
}

void EQ::setGain(float gain) noexcept {
    change(gain_, hasNoGain(type_) ? 0.0f : gain);
}

float EQ::getFrequency() const noexcept {
    return minFrequency_ + (maxFrequency_ - minFrequency_) * frequency_;
}

void EQ::fillResponse(int which, std::vector<float>& values) const {
    if (which == 1)
        fillSecondaryResponse(values);
    else
        fillPrimaryResponse(values);
}

} // namespace trov
