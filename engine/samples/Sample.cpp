#include "engine/samples/Sample.h"

#include "engine/notes/FrequencySource.h"
#include "engine/notes/Tuning.h"
#include "engine/samples/SampleBuffer.h"
#include "framework/Logger.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace trov {

namespace {

const char* const kNormalizeKey = "SampleNormalize";
const char* const kReverseKey = "SampleReverse";
const char* const kInvertKey = "SampleInvertPhase";

// An absent key counts as false.
bool flagOf(const Dictionary& settings, const char* key) {
    bool value = false;
    settings.getBool(key, &value);
    return value;
}

int signOf(float value) {
    return value > 0.0f ? 1 : (value < 0.0f ? -1 : 0);
}

std::int32_t toInt32(std::int64_t value) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                                              std::numeric_limits<std::int32_t>::max()));
}

} // namespace

Sample::Sample(Radio* parent) : Radio(parent != nullptr ? parent->getOwner() : nullptr) {}

Sample::Sample(Radio* parent, const SampleInfo& info) : Sample(parent) {
    info_ = info;
    info_.data = nullptr;
    info_.frames = std::max(info.frames, 0);
    if (info.data != nullptr && info_.frames > 0)
        copyData(info.data, static_cast<std::size_t>(std::max(info_.channels, 1)) *
                                static_cast<std::size_t>(info_.frames));
    end_ = info_.frames - 1;
}

Sample::Sample(const Sample& other) : Sample(other, true) {}

// A copy is a new sample with its own reference count, so the count is not copied.
Sample::Sample(const Sample& other, bool withData)
    : Radio(other), SharedObject(), info_(other.info_), flags_(other.flags_),
      interpolation_(other.interpolation_), start_(other.start_), end_(other.end_), loop_(other.loop_),
      slices_(other.slices_), gain_(other.gain_) {
    info_.data = nullptr;
    settings_.copyFrom(other.settings_);
    if (withData && other.info_.data != nullptr)
        copyData(other.info_.data, other.heldValueCount());
}

Sample::~Sample() = default;

Sample* Sample::clone() const {
    return new Sample(*this);
}

Sample* Sample::cloneDescription() const {
    return new Sample(*this, false);
}

void Sample::updateSettings() {
    applySettings(settings_);
}

bool Sample::render(double /*tempo*/) {
    return true;
}

bool Sample::needsProcessing() const {
    return getProcessing() != 0;
}

void Sample::applySettings(const Dictionary& settings) {
    // Read everything first: settings may be the own dictionary.
    applyProcessing(processingOf(settings));
}

std::uint32_t Sample::processingOf(const Dictionary& settings) {
    return (flagOf(settings, kNormalizeKey) ? kNormalized : 0) |
           (flagOf(settings, kReverseKey) ? kReversed : 0) | (flagOf(settings, kInvertKey) ? kInverted : 0);
}

void Sample::applyProcessing(std::uint32_t processing) {
    const bool normalizeOn = (processing & kNormalized) != 0;
    const bool reverseOn = (processing & kReversed) != 0;
    const bool invertOn = (processing & kInverted) != 0;
    if (normalizeOn != flagOf(settings_, kNormalizeKey)) {
        if (normalizeOn)
            normalize();
        else
            undoNormalize();
        settings_.setBool(kNormalizeKey, normalizeOn);
    }
    if (reverseOn != flagOf(settings_, kReverseKey)) {
        reverse();
        settings_.setBool(kReverseKey, reverseOn);
    }
    if (invertOn != flagOf(settings_, kInvertKey)) {
        invert();
        settings_.setBool(kInvertKey, invertOn);
    }
}

void Sample::releaseData() {
    info_.frames = 0;
    releaseDataBuffer();
}

Error Sample::loadStream(std::istream& /*in*/, bool /*loadData*/) {
    return ErrorImportFailed("Sample::loadStream");
}

void Sample::setRootNote(std::int32_t note) {
    info_.rootNote = note;
}

void Sample::setDetune(std::int32_t detune) {
    info_.detune = detune;
}

void Sample::setStart(std::int32_t frame) {
    if (frame < 0 || std::int64_t{frame} > std::int64_t{end_} - kMinimumSpan)
        return;
    start_ = frame;
    setLoop(loop_);
}

void Sample::setEnd(std::int32_t frame) {
    if (std::int64_t{frame} < std::int64_t{start_} + kMinimumSpan)
        return;
    end_ = std::min(frame, info_.frames - 1);
    setLoop(loop_);
}

Sample::Loop Sample::fitLoop(const Loop& loop) const noexcept {
    Loop fitted = loop;
    if (fitted.end < info_.frames) {
        std::int64_t end = std::max<std::int64_t>(fitted.end, std::int64_t{fitted.start} + kMinimumSpan);
        if (info_.frames > 0)
            end = std::min<std::int64_t>(end, std::max(info_.frames - 1, fitted.end));
        fitted.end = toInt32(end);
    } else if (fitted.start >= 1) {
        fitted.start = toInt32(std::min<std::int64_t>(fitted.start, std::int64_t{fitted.end} - kMinimumSpan));
    }
    return fitted;
}

Sample::Slice Sample::getSlice(int index) const noexcept {
    if (index < 0 || index >= getSliceCount())
        return {};
    return slices_[static_cast<std::size_t>(index)];
}

void Sample::setSlices(int count) {
    slices_.resize(static_cast<std::size_t>(std::max(count, 0)));
}

float Sample::getValue(int channel, float position) const noexcept {
    const float* data = info_.data;
    const std::int64_t frames = std::min<std::int64_t>(
        info_.frames,
        static_cast<std::int64_t>(heldValueCount() / static_cast<std::size_t>(std::max(info_.channels, 1))));
    if (data == nullptr || frames <= 0)
        return 0.0f;
    const std::int64_t stride = std::max(info_.channels, 1);
    const std::int64_t c = std::clamp<std::int64_t>(channel, 0, stride - 1);
    const float last = static_cast<float>(frames - 1);
    // NaN reads the first frame.
    const float p = position >= 0.0f ? std::min(position, last) : 0.0f;
    if (interpolation_ == kNearest || interpolation_ == kRounded) {
        const long rounded = std::lrint(interpolation_ == kNearest ? p - 0.5f : p);
        const std::int64_t i = std::clamp<std::int64_t>(rounded, 0, frames - 1);
        return data[stride * i + c];
    }
    const std::int64_t i = static_cast<std::int64_t>(p);
    const float f = p - static_cast<float>(i);
    const std::size_t here = static_cast<std::size_t>(stride * i + c);
    const std::size_t next = static_cast<std::size_t>(stride * (i + 1) + c);
    const float b = next < buffer_.size() ? data[next] : data[here];
    return (1.0f - f) * data[here] + f * b;
}

float Sample::getRootFrequency(const FrequencySource& tuning) const noexcept {
    return static_cast<float>(
        tuning.getFrequencyAtReferencePitch(info_.rootNote, -static_cast<double>(info_.detune)));
}

float Sample::getRootFrequencyIn(const FrequencySource& tuning) const noexcept {
    return static_cast<float>(tuning.getFrequency(info_.rootNote, -static_cast<double>(info_.detune)));
}

int Sample::findZeroCrossing(int position) const {
    const std::int64_t frames =
        std::min<std::int64_t>(info_.frames, static_cast<std::int64_t>(buffer_.size()));
    if (info_.data == nullptr || frames <= 0)
        return 0;
    const std::int64_t p = std::clamp<std::int64_t>(position, 0, frames - 1);
    const float* data = info_.data;
    if (data[p] == 0.0f)
        return static_cast<int>(p);
    const int sign = signOf(data[p]);
    for (std::int64_t step = 1;; ++step) {
        const bool leftInside = p - step >= 0;
        const bool rightInside = p + step < frames;
        if (!leftInside && !rightInside)
            return 0;
        if (leftInside && signOf(data[p - step]) != sign)
            return static_cast<int>(p - step);
        if (rightInside && signOf(data[p + step]) != sign)
            return static_cast<int>(p + step);
    }
}

void Sample::mixToMono() {
    const std::int32_t channels = info_.channels;
    if (channels <= 1 || info_.frames <= 0 || info_.data == nullptr) {
        if (info_.data != nullptr)
            info_.channels = 1;
        writeGuard();
        return;
    }
    // A buffer shorter than its description gives only the whole frames (or channel blocks) it holds.
    const std::size_t held = heldValueCount();
    std::size_t frames = static_cast<std::size_t>(info_.frames);
    float* data = info_.data;
    // In place: no frame reads below its own index.
    if (info_.layout == SampleInfo::kInterleaved) {
        frames = held / static_cast<std::size_t>(channels);
        averageInterleaved(data, frames, static_cast<std::size_t>(channels), data);
    } else {
        const std::size_t blocks = held / frames;
        if (blocks == 0)
            frames = held;
        averageChannels(data, frames, std::max<std::size_t>(blocks, 1), 1, frames, data);
    }
    info_.frames = static_cast<std::int32_t>(frames);
    info_.channels = 1;
    // The block only shrinks here; should the C library refuse, the larger block stays.
    resizeData(frames + 1);
    writeGuard();
}

void Sample::applyResidentMask() {
    if (info_.frames <= 2 || info_.data == nullptr)
        return;
    float* data = info_.data;
    const std::size_t count = heldValueCount();
    for (std::size_t i = 0; i < count; ++i) {
        std::uint32_t word;
        std::memcpy(&word, &data[i], sizeof word);
        word ^= kResidentMask;
        std::memcpy(&data[i], &word, sizeof word);
    }
    writeGuard();
}

float* Sample::allocateData(std::size_t count) {
    releaseDataBuffer();
    if (count > kMaxDataValues || !buffer_.allocate(count))
        return nullptr;
    info_.data = buffer_.data();
    return info_.data;
}

float* Sample::resizeData(std::size_t count) {
    if (count > kMaxDataValues || !buffer_.resize(count))
        return nullptr;
    info_.data = buffer_.data();
    return info_.data;
}

void Sample::writeGuard() {
    if (info_.data == nullptr || info_.frames < 0)
        return;
    const std::size_t at =
        static_cast<std::size_t>(std::max(info_.channels, 1)) * static_cast<std::size_t>(info_.frames);
    if (at < buffer_.size())
        info_.data[at] = info_.data[0];
}

void Sample::boundData(const std::string& source) {
    boundValues(info_.data, heldValueCount(), source);
    writeGuard();
}

void Sample::boundValues(float* values, std::size_t count, const std::string& source) {
    const BoundedValues bounded = boundSampleValues(values, count);
    if (bounded.cleared > 0)
        logLine(3, "trov::Sample: %zu values of %s that are not finite read as 0", bounded.cleared,
                source.c_str());
    if (bounded.held > 0)
        logLine(3, "trov::Sample: %zu values of %s beyond +-%.0f read as +-%.0f", bounded.held,
                source.c_str(), static_cast<double>(kSampleValueLimit),
                static_cast<double>(kSampleValueLimit));
}

std::size_t Sample::heldValueCount() const {
    if (info_.data == nullptr || info_.frames <= 0)
        return 0;
    const std::size_t count =
        static_cast<std::size_t>(std::max(info_.channels, 1)) * static_cast<std::size_t>(info_.frames);
    return std::min(count, buffer_.size());
}

void Sample::releaseDataBuffer() {
    buffer_.release();
    info_.data = nullptr;
}

void Sample::copyData(const float* source, std::size_t count) {
    if (allocateData(count + 1) == nullptr)
        return;
    std::copy(source, source + count, info_.data);
    writeGuard();
}

void Sample::normalize() {
    float* data = info_.data;
    const std::size_t count = heldValueCount();
    float peak = 0.0f;
    for (std::size_t i = 0; i < count; ++i)
        peak = std::max(peak, std::fabs(data[i]));
    // Silence (and data holding infinities) keeps its values and a gain of 1.
    if (!(peak > 0.0f) || !std::isfinite(peak))
        return;
    // So does data too faint for its gain to be finite (subnormal values only, which voices read as 0).
    const float gain = 1.0f / peak;
    if (!std::isfinite(gain))
        return;
    gain_ = gain;
    for (std::size_t i = 0; i < count; ++i)
        data[i] *= gain_;
    writeGuard();
}

void Sample::undoNormalize() {
    float* data = info_.data;
    const std::size_t count = heldValueCount();
    if (gain_ != 0.0f)
        for (std::size_t i = 0; i < count; ++i)
            data[i] /= gain_;
    gain_ = 1.0f;
    writeGuard();
}

void Sample::reverse() {
    float* data = info_.data;
    if (data != nullptr)
        std::reverse(data, data + heldValueCount());
    const std::int64_t frames = info_.frames;
    const Loop old = loop_;
    const std::int32_t oldStart = start_;
    start_ = toInt32(frames - end_ - 1);
    end_ = toInt32(frames - oldStart - 1);
    loop_.start = toInt32(frames - old.end - 1);
    loop_.end = toInt32(frames - old.start - 1);
    writeGuard();
}

void Sample::invert() {
    float* data = info_.data;
    const std::size_t count = heldValueCount();
    for (std::size_t i = 0; i < count; ++i)
        data[i] = -data[i];
    writeGuard();
}

} // namespace trov
