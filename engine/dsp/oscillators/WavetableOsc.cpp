#include "engine/dsp/oscillators/WavetableOsc.h"

#include "engine/dsp/FixedPhase.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace trov {

WavetableOsc::WavetableOsc(const Module* owner, std::unique_ptr<Wavetable> table)
    : Oscillator(owner), ownedTable_(std::move(table)), table_(ownedTable_.get()) {
    setOversampling(getOversampling());
    for (auto& decimator : decimators_)
        decimator.design(OversamplingFilter::kDefaultTransition);
}

WavetableOsc::~WavetableOsc() = default;

void WavetableOsc::setRange(float min, float max) {
    if (!std::isfinite(min) || !std::isfinite(max) || min == max)
        return;
    if (table_ != nullptr)
        table_->setRange(min, max);
    Oscillator::setRange(min, max);
}

void WavetableOsc::setOversampling(int factor) {
    if (factor < 1 || factor > kMaxOversampling || !std::has_single_bit(static_cast<unsigned>(factor)))
        return;
    Oscillator::setOversampling(factor);
}

bool WavetableOsc::isActive() const noexcept {
    return table_ != nullptr && table_->getLevelCount() > 0;
}

std::int32_t WavetableOsc::prepareTable(float frequency) noexcept {
    if (table_ == nullptr)
        return 0;
    table_->refresh();
    table_->selectLevel(frequency, getSampleRate());
    const std::int32_t length = table_->getLength();
    if (length <= 0 || table_->getData() == nullptr)
        return 0;
    if (length != phaseLength_ && phaseLength_ > 0)
        phase_ = static_cast<std::uint32_t>(std::uint64_t{phase_} * static_cast<std::uint64_t>(length) /
                                            static_cast<std::uint64_t>(phaseLength_));
    phaseLength_ = length;
    return length;
}

std::int32_t WavetableOsc::render(IOChannel<float>& out) noexcept {
    const float frequency = getDriftedFrequency();
    const std::int32_t length = prepareTable(frequency);
    if (length == 0 || out.getData() == nullptr)
        return out.setValidFrames(0);
    const bool add = out.getValidFrames() > 0;
    const std::int32_t frames = out.setValidFrames(out.getSize());

    const int oversampling = getOversampling();
    const double lengthInPhase = static_cast<double>(length);
    std::uint32_t wrap = static_cast<std::uint32_t>(length) << kFractionBits;
    const double reference = (1.0 + getDrift()) * getReference();
    if (!(frequency > reference)) // below the reference, the cycle wraps early (at least one step in)
        wrap = std::clamp(ifloat<22>(frequency / reference * lengthInPhase).raw(), 1u, wrap);
    // Taking the increment modulo the wrap point keeps one subtraction enough at any frequency.
    const std::uint32_t increment =
        ifloat<22>(frequency / (static_cast<double>(oversampling) * getSampleRate()) * lengthInPhase).raw() %
        wrap;
    std::uint32_t phase = phase_ % wrap;

    const float* table = table_->getData();
    float* buffer = getOversamplingBuffer().data();
    const auto chunk = static_cast<std::int32_t>(getOversamplingBuffer().size()) / oversampling;
    const float amplitude = getAmplitude();
    float* target = out.getData();
    for (std::int32_t done = 0; done < frames;) {
        const std::int32_t n = std::min(chunk, frames - done);
        std::int32_t internal = n * oversampling;
        for (std::int32_t j = 0; j < internal; ++j) {
            if (phase >= wrap)
                phase -= wrap;
            buffer[j] = readAt(table, phase);
            phase += increment;
        }
        for (int stage = 0; internal > n; ++stage) {
            internal /= 2;
            decimators_[static_cast<std::size_t>(stage)].decimate(buffer, buffer, internal);
        }
        for (std::int32_t i = 0; i < n; ++i) {
            if (add)
                target[done + i] += buffer[i] * amplitude;
            else
                target[done + i] = buffer[i] * amplitude;
        }
        done += n;
    }
    phase_ = phase;
    return frames;
}

} // namespace trov
