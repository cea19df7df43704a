#include "engine/dsp/oscillators/Oscillator.h"

#include "engine/dsp/HostRate.h"
#include "framework/Random.h"

#include <algorithm>

namespace trov {

Oscillator::Oscillator(const Module* owner) : Radio(owner), oversamplingBuffer_(64, 0.0f) {
    setDefaults(true);
}

Oscillator::Oscillator(const Module* owner, DeferRandom) : Radio(owner), oversamplingBuffer_(64, 0.0f) {
    setDefaults(false);
}

Oscillator::~Oscillator() = default;

void Oscillator::init() {
    setDefaults(true);
}

void Oscillator::drawRandomState() noexcept {
    drift_ = randomDrift();
}

void Oscillator::setDefaults(bool drawRandom) {
    amplitude_ = 1.0f;
    rangeMin_ = -1.0f;
    rangeMax_ = 1.0f;
    jitter_ = 0.0f;
    frequency_ = 440.0f;
    frequency2_ = 440.0f;
    multiplier1_ = 1.0;
    multiplier2_ = 1.0;
    reference_ = 1.0f;
    useFrequency_ = true;
    driftDepth_ = kDefaultDriftDepth;
    driftRate_ = kDefaultDriftRate;
    drift_ = drawRandom ? randomDrift() : 0.0f;
    setOversampling(kDefaultOversampling);
    sampleRate_ = tuneInToHostRate(*this);
}

bool Oscillator::receive(const Message& message) {
    if (const int rate = sampleRateOf(message); rate != 0) {
        setSampleRate(rate);
        return true;
    }
    return Radio::receive(message);
}

void Oscillator::setRange(float min, float max) {
    rangeMin_ = min;
    rangeMax_ = max;
}

void Oscillator::setOversampling(int factor) {
    if (factor < 1)
        return;
    oversampling_ = factor;
    oversamplingBuffer_.resize(4 * static_cast<std::size_t>(factor), 0.0f);
}

void Oscillator::setFrequency(float hz) noexcept {
    frequency_ = hz;
    drift_ = randomDrift();
}

float Oscillator::getDriftedFrequency() noexcept {
    const float step = (static_cast<float>(randomDouble()) - 0.5f) * driftRate_ * 0.00001f;
    drift_ = std::clamp(drift_ + step, -driftDepth_, driftDepth_);
    const double base = useFrequency_ ? frequency_ : frequency2_;
    return static_cast<float>((1.0 + drift_) * base * multiplier1_ * multiplier2_);
}

void Oscillator::setSampleRate(int rate) noexcept {
    if (rate > 0)
        sampleRate_ = rate;
}

float Oscillator::randomDrift() const noexcept {
    return (static_cast<float>(randomDouble()) - 0.5f) * driftDepth_;
}

} // namespace trov
