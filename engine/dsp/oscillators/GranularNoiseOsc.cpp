#include "engine/dsp/oscillators/GranularNoiseOsc.h"

#include "engine/dsp/oscillators/ResourceSamples.h"
#include "engine/modules/Module.h"
#include "engine/samples/Sample.h"
#include "framework/Logger.h"
#include "framework/Random.h"

#include <algorithm>
#include <cmath>

namespace trov {

namespace {

// Grain positions lie inside the data; clamping first still keeps any position from indexing outside.
inline std::int32_t frameAt(double position, double last) noexcept {
    const double p = position > 0.0 ? (position < last ? position : last) : 0.0;
    return static_cast<std::int32_t>(p + 0.5); // NOLINT(bugprone-incorrect-roundings): nonnegative, half up
}

} // namespace

GranularNoiseOsc::GranularNoiseOsc(const Module* owner, const std::string& sampleName)
    : Oscillator(owner), sampleName_(sampleName) {
    takeSample();
    newGrain();
}

GranularNoiseOsc::GranularNoiseOsc(const Module* owner, const std::string& sampleName, DeferRandom defer)
    : Oscillator(owner, defer), sampleName_(sampleName) {
    takeSample();
}

void GranularNoiseOsc::drawRandomState() noexcept {
    Oscillator::drawRandomState();
    newGrain();
}

void GranularNoiseOsc::takeSample() {
    sample_ = acquireLoadedSample(*this, sampleName_);
    // Under two frames there is no grain to play.
    if (sample_ != nullptr && playableFrames(sample_) < 2) {
        releaseLoadedSample(*this, sample_);
        sample_ = nullptr;
    }
    if (sample_ == nullptr)
        logLine(4,
                "trov::GranularNoiseOsc::GranularNoiseOsc(const trov::Module*, const std::string&) failed to "
                "load\tsample %s",
                sampleName_.c_str());
}

GranularNoiseOsc::~GranularNoiseOsc() {
    releaseLoadedSample(*this, sample_);
}

void GranularNoiseOsc::newGrain() noexcept {
    const std::int32_t frames = playableFrames(sample_);
    if (frames < 2)
        return;
    // The read at the end rounds up to the grain's end, which must still be a frame of the sample.
    const std::int32_t length = std::min(randomInt(kShortestGrain, kLongestGrain), frames - 1);
    const std::int32_t start = randomInt(0, frames - length - 1);
    grainStart_ = start;
    position_ = start;
    grainEnd_ = static_cast<double>(start) + length;
}

std::int32_t GranularNoiseOsc::render(IOChannel<float>& out) noexcept {
    const std::int32_t frames = playableFrames(sample_);
    const Module* owner = getOwner();
    if (frames < 2 || owner == nullptr)
        return 0;
    const double root = sample_->getRootFrequency(*owner);
    const double step = root > 0.0 ? static_cast<double>(getDriftedFrequency()) / root : 0.0;
    active_ = step > 0.0 && std::isfinite(step);
    if (!active_)
        return 0;
    // A sample that shrank since the grain began gets a new grain.
    if (grainEnd_ > frames - 1)
        newGrain();

    const float* data = sample_->getData();
    const double last = static_cast<double>(frames - 1);
    const float amplitude = getAmplitude();
    const std::int32_t size = out.getSize();
    const std::int32_t valid = out.getValidFrames();
    out.setValidFrames(size);
    float* samples = out.getData();
    double position = position_;
    double grainEnd = grainEnd_;
    auto advance = [&]() noexcept {
        position += step;
        if (position >= grainEnd) {
            newGrain();
            position = position_;
            grainEnd = grainEnd_;
        }
    };
    for (std::int32_t i = 0; i < valid; ++i) {
        samples[i] += data[frameAt(position, last)] * amplitude;
        advance();
    }
    for (std::int32_t i = valid; i < size; ++i) {
        samples[i] = data[frameAt(position, last)] * amplitude;
        advance();
    }
    position_ = position;
    return size;
}

} // namespace trov
