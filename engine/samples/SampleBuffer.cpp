#include "engine/samples/SampleBuffer.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <utility>

namespace trov {

namespace {

constexpr std::size_t kMaxCount = std::numeric_limits<std::size_t>::max() / sizeof(float);
thread_local std::size_t refusedFrom = std::numeric_limits<std::size_t>::max();

bool fits(std::size_t count) noexcept {
    return count != 0 && count <= kMaxCount && count < refusedFrom;
}

} // namespace

SampleBuffer::ShortMemory::ShortMemory(std::size_t floats) : previous_(refusedFrom) {
    refusedFrom = floats;
}

SampleBuffer::ShortMemory::~ShortMemory() {
    refusedFrom = previous_;
}

SampleBuffer::SampleBuffer(SampleBuffer&& other) noexcept
    : values_(std::exchange(other.values_, nullptr)), size_(std::exchange(other.size_, 0)) {}

SampleBuffer& SampleBuffer::operator=(SampleBuffer&& other) noexcept {
    if (this != &other) {
        release();
        values_ = std::exchange(other.values_, nullptr);
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}

SampleBuffer::~SampleBuffer() {
    release();
}

bool SampleBuffer::allocate(std::size_t count) noexcept {
    release();
    if (!fits(count))
        return false;
    // calloc hands large blocks out as fresh pages, zero without being touched.
    values_ = static_cast<float*>(std::calloc(count, sizeof(float)));
    if (values_ == nullptr)
        return false;
    size_ = count;
    return true;
}

bool SampleBuffer::resize(std::size_t count) noexcept {
    if (values_ == nullptr)
        return allocate(count);
    if (!fits(count))
        return false;
    if (count == size_)
        return true;
    auto* grown = static_cast<float*>(std::realloc(values_, count * sizeof(float)));
    if (grown == nullptr)
        return false;
    if (count > size_)
        std::memset(grown + size_, 0, (count - size_) * sizeof(float));
    values_ = grown;
    size_ = count;
    return true;
}

void SampleBuffer::release() noexcept {
    std::free(values_);
    values_ = nullptr;
    size_ = 0;
}

void averageChannels(const float* in, std::size_t frames, std::size_t channels, std::size_t frameStride,
                     std::size_t channelStride, float* out) noexcept {
    if (channels <= 1) {
        if (frameStride == 1 && in != out)
            std::memmove(out, in, frames * sizeof(float));
        else if (frameStride != 1)
            for (std::size_t i = 0; i < frames; ++i)
                out[i] = in[i * frameStride];
        return;
    }
    const float scale = 1.0f / static_cast<float>(channels);
    for (std::size_t i = 0; i < frames; ++i) {
        const float* frame = in + i * frameStride;
        float sum = 0.0f;
        for (std::size_t c = 0; c < channels; ++c)
            sum += frame[c * channelStride] * scale;
        out[i] = sum;
    }
}

BoundedValues boundSampleValues(float* values, std::size_t count) noexcept {
    BoundedValues bounded;
    for (std::size_t i = 0; i < count; ++i) {
        const float value = values[i];
        if (std::fabs(value) <= kSampleValueLimit)
            continue;
        if (std::isfinite(value)) {
            values[i] = std::copysign(kSampleValueLimit, value);
            ++bounded.held;
        } else {
            values[i] = 0.0f;
            ++bounded.cleared;
        }
    }
    return bounded;
}

} // namespace trov
