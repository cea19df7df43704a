#include "engine/dsp/oscillators/SampleOsc.h"

#include "engine/dsp/HostRate.h"
#include "engine/dsp/oscillators/ResourceSamples.h"
#include "engine/modules/Engine.h"
#include "engine/modules/Module.h"
#include "engine/notes/Note.h"
#include "engine/samples/Sample.h"
#include "engine/zones/Zone.h"
#include "framework/Dictionary.h"
#include "framework/Logger.h"
#include "framework/Random.h"

#include <algorithm>
#include <cmath>

namespace trov {

namespace {

// Names up to this length are stored without allocating at note start.
constexpr std::size_t kNameCapacity = 63;
// Positions stay below this many ticks, so rounding one to a whole tick through a 64-bit integer is exact
// and defined.
constexpr double kMaxTicks = 0x1p52;

// Takes one zone value when present; out of range values are limited, so a note never wraps.
void readValue(const ZoneState& state, int slot, std::int32_t low, std::int32_t high, std::int32_t* value) {
    if (state.has(slot))
        *value = std::clamp(state.getLong(slot), low, high);
}

// The jitter's uniform numbers: a linear congruential generator per player, read as a fraction of 2^32
// (its high bits weigh most). The process-wide twister costs more than a whole sample's budget per draw.
inline std::uint32_t nextRandom(std::uint32_t& state) noexcept {
    state = state * 1664525u + 1013904223u;
    return state;
}

// What a block reads and how.
struct Reading {
    const float* data;
    std::int32_t frames; // at least 2
    double framesPerTick;
    double jitter;
    float interpolation;
    float amplitude;
};

// Renders count samples from the position (in ticks), adding into out. kClamp keeps every read inside
// the data; without it the caller has shown that no read leaves it.
template <bool kJitter, bool kClamp>
double playRun(float* out, std::int32_t count, double position, double step, const Reading& reading,
               std::uint32_t& random) noexcept {
    const float* data = reading.data;
    const double framesPerTick = reading.framesPerTick;
    const double jitterScale = reading.jitter * 0x1p-32;
    const float interpolation = reading.interpolation;
    const float amplitude = reading.amplitude;
    const double last = static_cast<double>(reading.frames - 1);
    const std::int32_t lastPair = reading.frames - 2;
    std::uint32_t state = random;
    // The position runs half a tick ahead, so that truncating it rounds half up to a whole tick. It is
    // never far below 0, where truncation rounds towards zero.
    double ahead = position + 0.5;
    for (std::int32_t k = 0; k < count; ++k) {
        const double tick = static_cast<double>(static_cast<std::int64_t>(ahead));
        double f = tick * framesPerTick;
        if constexpr (kJitter)
            f += static_cast<double>(nextRandom(state)) * jitterScale;
        std::int32_t i;
        if constexpr (kClamp) {
            // NaN and anything outside the data read the nearest end.
            f = f > 0.0 ? f : 0.0;
            f = f < last ? f : last;
            i = std::min(static_cast<std::int32_t>(f), lastPair);
        } else {
            i = static_cast<std::int32_t>(f);
        }
        const float weight = static_cast<float>(f - static_cast<double>(i));
        const float s0 = data[i];
        const float s1 = data[i + 1];
        out[k] += (weight * (s1 - s0) * interpolation + s0) * amplitude;
        ahead += step;
    }
    random = state;
    return ahead - 0.5;
}

// Renders count samples whose positions stay below limitTicks; returns the position after them.
double playBlock(float* out, std::int32_t count, double position, double step, double limitTicks,
                 const Reading& reading, std::uint32_t& random) noexcept {
    // The position only grows towards the limit, so the reads of a run that starts at or above 0 and whose
    // last tick and jitter stay below the last pair of frames need no clamping.
    const double highest = (limitTicks + 0.5) * reading.framesPerTick + reading.jitter;
    const bool inside =
        position >= 0.0 && reading.jitter >= 0.0 && highest <= static_cast<double>(reading.frames - 2);
    if (reading.jitter != 0.0)
        return inside ? playRun<true, false>(out, count, position, step, reading, random)
                      : playRun<true, true>(out, count, position, step, reading, random);
    return inside ? playRun<false, false>(out, count, position, step, reading, random)
                  : playRun<false, true>(out, count, position, step, reading, random);
}

} // namespace

SampleOsc::SampleOsc(const Module* owner, Zone* zone)
    : Oscillator(owner), jitterState_(static_cast<std::uint32_t>(randomDouble() * 0x1p32)) {
    sampleName_.reserve(kNameCapacity);
    setZone(zone);
}

SampleOsc::SampleOsc(const Module* owner, const std::string& sampleName)
    : Oscillator(owner), jitterState_(static_cast<std::uint32_t>(randomDouble() * 0x1p32)) {
    sampleName_.reserve(kNameCapacity);
    setSampleName(sampleName);
    if (sample_ == nullptr && !sampleName.empty())
        logLine(
            4,
            "trov::SampleOsc::SampleOsc(const trov::Module*, const std::string&) failed to load\tsample %s",
            sampleName.c_str());
}

SampleOsc::SampleOsc(const Module* owner, DeferRandom defer) : Oscillator(owner, defer), jitterState_(0) {
    sampleName_.reserve(kNameCapacity);
}

void SampleOsc::drawRandomState() noexcept {
    Oscillator::drawRandomState();
    jitterState_ = static_cast<std::uint32_t>(randomDouble() * 0x1p32);
}

SampleOsc::~SampleOsc() {
    dropNamedSample();
}

bool SampleOsc::receive(const Message& message) {
    const bool handled = Oscillator::receive(message);
    if (sampleRateOf(message) != 0)
        applyClock();
    return handled;
}

void SampleOsc::dropNamedSample() noexcept {
    if (ownsSample_)
        releaseLoadedSample(*this, sample_);
    sample_ = nullptr;
    ownsSample_ = false;
}

void SampleOsc::setZone(Zone* zone) {
    if (zone == zone_)
        return;
    setZone(zone, zone != nullptr ? zone->readState() : ZoneState{});
}

void SampleOsc::setZone(Zone* zone, const ZoneState& state) noexcept {
    dropNamedSample();
    sampleName_.clear();
    zone_ = zone;
    sample_ = zone != nullptr ? state.sample : nullptr;
    zoneLoop_ = state.loop;
    // Values the zone does not hold are the sample's own.
    zoneValues_ = ZoneValues{};
    if (sample_ != nullptr) {
        zoneValues_.start = sample_->getStart();
        zoneValues_.end = sample_->getEnd();
        zoneValues_.rootNote = std::clamp(sample_->getRootNote(), 0, 127);
    }
    if (zone != nullptr) {
        constexpr std::int32_t kAnyFrame = INT32_MAX;
        readValue(state, ZoneState::kSampleStart, 0, kAnyFrame, &zoneValues_.start);
        readValue(state, ZoneState::kSampleEnd, 0, kAnyFrame, &zoneValues_.end);
        readValue(state, ZoneState::kSampleRootNote, 0, 127, &zoneValues_.rootNote);
        readValue(state, ZoneState::kSampleDetuneCoarse, -128, 128, &zoneValues_.detuneCoarse);
        readValue(state, ZoneState::kSampleDetuneFine, -12800, 12800, &zoneValues_.detuneFine);
    }
    applyClock();
    restart();
}

void SampleOsc::playHeldSample(Sample* sample, const std::string& name) noexcept {
    if (name == sampleName_)
        return;
    dropNamedSample();
    zone_ = nullptr;
    sampleName_ = name;
    sample_ = sample;
    applyClock();
    restart();
}

void SampleOsc::setSampleName(const std::string& name) noexcept {
    if (name == sampleName_)
        return;
    // Taken before the old one goes back, so the same sample never leaves the cache in between.
    Sample* next = acquireLoadedSample(*this, name);
    dropNamedSample();
    zone_ = nullptr;
    sampleName_ = name;
    sample_ = next;
    ownsSample_ = next != nullptr;
    applyClock();
    restart();
}

void SampleOsc::setRange(std::int32_t start, std::int32_t end) noexcept {
    start_ = start;
    end_ = end;
    clampPositions();
    position_ = toTicks(start_);
}

void SampleOsc::setLoop(std::int32_t mode, std::int32_t loopStart, std::int32_t loopEnd) noexcept {
    loopMode_ = mode;
    loopStart_ = loopStart;
    loopEnd_ = loopEnd;
    clampLoop();
}

void SampleOsc::clampPositions() noexcept {
    // Against the frames the sample really holds: its own positions may reach past them.
    const std::int32_t last = std::max(playableFrames(sample_) - 1, 0);
    start_ = std::clamp(start_, 0, last);
    end_ = std::clamp(end_, start_, last);
    clampLoop();
}

void SampleOsc::clampLoop() noexcept {
    loopStart_ = std::clamp(loopStart_, start_, end_);
    loopEnd_ = std::clamp(loopEnd_, loopStart_, end_);
}

void SampleOsc::setClockRate(double rate) noexcept {
    if (!(rate > 0.0) || !std::isfinite(rate))
        return;
    clockRate_ = rate;
    applyClock();
}

void SampleOsc::applyClock() noexcept {
    if (clockRate_ <= 0.0 || sample_ == nullptr)
        return;
    const double hostRate = getSampleRate();
    // A sample that does not know its rate plays at the host's.
    const std::int32_t ownRate = sample_->getInfo().sampleRate;
    const double sampleRate = ownRate > 0 ? ownRate : hostRate;
    const double frame = position_ * framesPerTick_;
    ticksPerSample_ = clockRate_ / hostRate;
    framesPerTick_ = sampleRate / clockRate_;
    position_ = toTicks(frame);
}

void SampleOsc::setPosition(std::int32_t frame) noexcept {
    position_ = toTicks(std::clamp(frame, 0, end_));
}

void SampleOsc::setFrequency(float hz) noexcept {
    const Module* owner = getOwner();
    if (zone_ != nullptr && !getUseFrequency() && owner != nullptr) {
        Note note(owner);
        note.setKey(zoneValues_.rootNote);
        note.transpose(zoneValues_.detuneCoarse);
        note.setDetune(zoneValues_.detuneFine);
        setFrequency2(note.computeFrequency());
        return;
    }
    if (getUseFrequency())
        Oscillator::setFrequency(hz);
    else
        setFrequency2(hz);
}

void SampleOsc::restart() noexcept {
    playing_ = false;
    if (zone_ != nullptr) {
        start_ = zoneValues_.start;
        end_ = zoneValues_.end;
        loopMode_ = zoneLoop_.mode;
        loopStart_ = zoneLoop_.start;
        loopEnd_ = zoneLoop_.end;
    } else if (sample_ != nullptr) {
        start_ = sample_->getStart();
        end_ = sample_->getEnd();
    }
    clampPositions();
    position_ = toTicks(start_);
    playing_ = playableFrames(sample_) >= 2 && start_ < end_;
}

double SampleOsc::blockStep() noexcept {
    const Module* owner = getOwner();
    if (owner == nullptr)
        return 0.0;
    const double root = sample_->getRootFrequency(*owner);
    if (!(root > 0.0))
        return 0.0;
    double modulation = 1.0;
    if (Engine* engine = owner->getEngine()) {
        const double depth = static_cast<double>(engine->getParameterValue(0)) * 0.25;
        const IOChannel<float>* channel = engine->getModulationBuffer(0);
        if (depth != 0.0 && channel != nullptr && channel->getValidFrames() > 0)
            modulation = 1.0 + static_cast<double>(channel->getData()[0]) * depth;
    }
    return ticksPerSample_ / root * static_cast<double>(getDriftedFrequency()) * modulation;
}

std::int32_t SampleOsc::render(IOChannel<float>& out) noexcept {
    const std::int32_t frames = playableFrames(sample_);
    if (!playing_ || frames < 2) {
        playing_ = false;
        return 0;
    }
    // A loop file renders its data anew at note start, which may leave fewer frames than before.
    if (end_ > frames - 1)
        clampPositions();
    const double endTicks = toTicks(end_);
    const double step = start_ < end_ && position_ < endTicks && endTicks < kMaxTicks ? blockStep() : 0.0;
    if (!(step > 0.0) || !std::isfinite(step)) {
        playing_ = false;
        return 0;
    }

    const bool looping = loopMode_ != kLoopOff;
    const double limitTicks = toTicks(looping ? std::min(end_, loopEnd_) : end_);
    const double loopTicks = toTicks(loopEnd_ - loopStart_);
    const std::int32_t size = out.getSize();
    const std::int32_t valid = out.getValidFrames();
    float* data = out.getData();
    std::fill(data + valid, data + size, 0.0f);

    Reading reading;
    reading.data = sample_->getData();
    reading.frames = frames;
    reading.framesPerTick = framesPerTick_;
    reading.jitter = getJitter();
    reading.interpolation = interpolation_;
    reading.amplitude = getAmplitude();
    std::int32_t written = 0;
    while (written < size) {
        // Whole output samples before the position reaches the limit.
        double ahead = (limitTicks - position_) / step;
        if (ahead < 1.0 && looping) {
            position_ -= loopTicks;
            ahead = (limitTicks - position_) / step;
        }
        if (!(ahead >= 1.0)) {
            playing_ = false;
            break;
        }
        const std::int32_t left = size - written;
        const std::int32_t count = ahead >= left ? left : static_cast<std::int32_t>(ahead);
        position_ = playBlock(data + written, count, position_, step, limitTicks, reading, jitterState_);
        written += count;
        if (!looping) {
            // The end is reached once no whole sample is left before it.
            playing_ = ahead - count >= 1.0;
            break;
        }
        if (written < size)
            position_ = std::max(position_ - loopTicks, 0.0);
    }
    out.setValidFrames(std::max(valid, written));
    return written > 0 ? size : 0;
}

} // namespace trov
