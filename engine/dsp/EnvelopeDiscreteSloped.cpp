#include "engine/dsp/EnvelopeDiscreteSloped.h"

#include <algorithm>
#include <cmath>

namespace trov {

namespace {

// Targets stay within this many steps of 0, so that the level can be rounded by adding and taking away
// 1.5 x 2^23: the sum's unit in the last place is 1, and the current rounding mode (nearest, ties to even,
// as std::rint) does the rounding without a branch.
constexpr float kLargestTarget = 4194304.0f;  // 2^22
constexpr float kRoundingShift = 12582912.0f; // 1.5 x 2^23

inline float roundToStep(float level) noexcept {
    return (level + kRoundingShift) - kRoundingShift;
}

} // namespace

EnvelopeDiscreteSloped::EnvelopeDiscreteSloped(const Module* owner, std::uint32_t steps)
    : Envelope(owner), steps_(std::max(steps, 1u)) {
    segments_.reserve(kMaxSegments);
    EnvelopeDiscreteSloped::reset();
}

void EnvelopeDiscreteSloped::reset() noexcept {
    level_ = 0.0f;
    slope_ = 0.0f;
    scale_ = 1.0f / static_cast<float>(steps_);
    segments_.clear();
    segments_.push_back({0.0f, kEndSegmentSamples, 0.0f, false, 0, false});
    position_ = 0;
}

std::int32_t EnvelopeDiscreteSloped::samplesFor(std::int32_t milliseconds) const noexcept {
    // In 64 bits: long releases at high rates pass the 32-bit range.
    const std::int64_t samples = std::int64_t{getSampleRate()} * milliseconds / 1000;
    return static_cast<std::int32_t>(
        std::clamp<std::int64_t>(samples, std::numeric_limits<std::int32_t>::min(), kHoldSamples));
}

bool EnvelopeDiscreteSloped::addSegment(float fraction, std::int32_t milliseconds, float scale,
                                        bool hold) noexcept {
    if (segments_.size() >= kMaxSegments || !std::isfinite(fraction) || !std::isfinite(scale))
        return false;
    const float target = std::clamp(static_cast<float>(steps_) * fraction, -kLargestTarget, kLargestTarget);
    const Segment segment{target, samplesFor(milliseconds), scale, hold, milliseconds, true};
    segments_.insert(segments_.end() - 1, segment);
    return true;
}

void EnvelopeDiscreteSloped::update() noexcept {
    for (Segment& segment : segments_)
        if (segment.timed)
            segment.samples = samplesFor(segment.milliseconds);
}

bool EnvelopeDiscreteSloped::isActive() const noexcept {
    return level_ > 0.0f || slope_ > 0.0f || position_ < segments_.size();
}

float EnvelopeDiscreteSloped::nextValue() noexcept {
    level_ += slope_;
    return roundToStep(level_) * scale_;
}

void EnvelopeDiscreteSloped::release() noexcept {
    const std::size_t count = segments_.size();
    if (position_ >= count)
        return;
    std::size_t target = count;
    if (count >= 3)
        target = segments_[count - 2].hold ? count - 1 : count - 2;
    startSegment(target);
}

void EnvelopeDiscreteSloped::stop(bool immediate) noexcept {
    if (immediate) {
        level_ = 0.0f;
        slope_ = 0.0f;
    } else {
        slope_ = level_ * (-1.0f / static_cast<float>(kFadeSamples));
        remaining_ = kFadeSamples;
    }
    position_ = segments_.size();
}

void EnvelopeDiscreteSloped::startSegment(std::size_t index) noexcept {
    position_ = index;
    if (index >= segments_.size()) {
        remaining_ = 0;
        level_ = 0.0f;
        scale_ = 0.0f;
        slope_ = 0.0f;
        return;
    }
    const Segment& segment = segments_[index];
    scale_ = segment.scale / static_cast<float>(steps_);
    if (segment.samples < 1) { // a jump: no division by a length of 0
        level_ = segment.target;
        remaining_ = 1;
        slope_ = 0.0f;
    } else {
        remaining_ = segment.samples;
        slope_ = (segment.target - level_) / static_cast<float>(segment.samples);
    }
}

void EnvelopeDiscreteSloped::nextSegment() noexcept {
    if (position_ >= segments_.size()) {
        startSegment(position_);
        return;
    }
    const Segment& segment = segments_[position_];
    level_ = segment.target;
    scale_ = segment.scale / static_cast<float>(steps_);
    if (segment.hold) {
        slope_ = 0.0f;
        remaining_ = kHoldSamples;
    } else {
        startSegment(position_ + 1);
    }
}

std::int32_t EnvelopeDiscreteSloped::walk(const float* in, float* out, std::int32_t frames) noexcept {
    std::int32_t done = 0;
    while (done < frames) {
        const std::int32_t n = std::min(frames - done, remaining_);
        float level = level_;
        const float slope = slope_;
        const float scale = scale_;
        if (in == nullptr) {
            for (std::int32_t i = done; i < done + n; ++i) {
                level += slope;
                out[i] = roundToStep(level) * scale;
            }
        } else {
            for (std::int32_t i = done; i < done + n; ++i) {
                level += slope;
                out[i] = in[i] * (roundToStep(level) * scale);
            }
        }
        level_ = level;
        remaining_ -= n;
        done += n;
        if (remaining_ == 0) {
            nextSegment();
            if (remaining_ == 0)
                break;
        }
    }
    return done;
}

std::int32_t EnvelopeDiscreteSloped::render(IOChannel<float>& out) noexcept {
    if (out.getData() == nullptr)
        return out.setValidFrames(0);
    if (!isActive()) {
        out.clear();
        return 0;
    }
    const std::int32_t frames = out.setValidFrames(out.getSize());
    const std::int32_t done = walk(nullptr, out.getData(), frames);
    if (done < frames) {
        stop(true);
        std::fill(out.getData() + done, out.getData() + frames, 0.0f);
    }
    return frames;
}

std::int32_t EnvelopeDiscreteSloped::process(const IOChannel<float>& in, IOChannel<float>& out) noexcept {
    if (in.getData() == nullptr || out.getData() == nullptr)
        return out.setValidFrames(0);
    const std::int32_t frames = out.setValidFrames(std::min(in.getValidFrames(), out.getSize()));
    if (!isActive()) {
        std::fill(out.getData(), out.getData() + frames, 0.0f);
        return 0;
    }
    const std::int32_t done = walk(in.getData(), out.getData(), frames);
    if (done < frames) {
        stop(true);
        std::fill(out.getData() + done, out.getData() + frames, 0.0f);
    }
    return frames;
}

} // namespace trov
