#include "engine/dsp/oscillators/WavetableLFO.h"

#include "engine/dsp/FixedPhase.h"
#include "engine/io/HostInterface.h"
#include "engine/modules/Module.h"

#include <algorithm>
#include <cmath>

namespace trov {

WavetableLFO::WavetableLFO(const Module* owner, std::unique_ptr<Wavetable> table)
    : WavetableOsc(owner, std::move(table)) {}

WavetableLFO::~WavetableLFO() = default;

bool WavetableLFO::setRateMultiplier(double multiplier) noexcept {
    if (!(multiplier > 0.0) || !std::isfinite(multiplier))
        return false;
    rateMultiplier_ = multiplier;
    return true;
}

double WavetableLFO::songCycleFraction() const noexcept {
    const Module* owner = getOwner();
    const HostInterface* host = owner != nullptr ? owner->getHost() : nullptr;
    if (host == nullptr)
        return 0.0;
    const double cycles = host->getSongPosition() / rateMultiplier_;
    return cycles - std::floor(cycles); // before the song's start too; NaN stays NaN (phase 0)
}

std::int32_t WavetableLFO::render(IOChannel<float>& out) noexcept {
    const float frequency = getDriftedFrequency();
    const std::int32_t length = prepareTable(frequency);
    if (length == 0 || out.getData() == nullptr)
        return out.setValidFrames(0);
    const std::int32_t frames = out.setValidFrames(out.getSize());

    const double cycleLength = static_cast<double>(length);
    const std::uint32_t wrap = static_cast<std::uint32_t>(length) << kFractionBits;
    double perSample = frequency / static_cast<double>(getSampleRate());
    if (retrigger_) {
        phase_ = ifloat<22>(songCycleFraction() * cycleLength).raw();
        perSample /= rateMultiplier_;
    }
    // Modulo the wrap point, so that one subtraction keeps the phase inside the cycle at any rate.
    const std::uint32_t increment = ifloat<22>(perSample * cycleLength).raw() % wrap;
    std::uint32_t phase = phase_ % wrap;

    const float* table = getWavetable()->getData();
    float* target = out.getData();
    for (std::int32_t i = 0; i < frames;) {
        // The samples before the phase reaches the wrap point run without a check each.
        const std::uint32_t room = wrap - phase;
        const std::int64_t untilWrap =
            increment == 0 ? frames : (room + std::int64_t{increment} - 1) / increment;
        const auto run = static_cast<std::int32_t>(std::min<std::int64_t>(untilWrap, frames - i));
        for (const std::int32_t end = i + run; i < end; ++i) {
            target[i] = readAt(table, phase);
            phase += increment;
        }
        if (phase >= wrap)
            phase -= wrap;
    }
    phase_ = phase;
    return frames;
}

} // namespace trov
