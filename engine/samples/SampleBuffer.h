#pragma once

#include <cstddef>

namespace trov {

// The heap block behind a sample's values. It comes from malloc so that a reader can grow it as frames
// arrive and trim it to what it read without a second copy: the C library moves a large block by
// remapping its pages. New values read 0. Owned by one `Sample`; one thread at a time.
class SampleBuffer {
public:
    // While one lives on a thread, every block of at least that many floats the thread asks for is refused
    // as memory short would refuse it: tests see so what a sample or copy that does not fit leaves behind.
    class ShortMemory {
    public:
        explicit ShortMemory(std::size_t floats);
        ~ShortMemory();
        ShortMemory(const ShortMemory&) = delete;
        ShortMemory& operator=(const ShortMemory&) = delete;

    private:
        std::size_t previous_;
    };

    SampleBuffer() = default;
    SampleBuffer(SampleBuffer&& other) noexcept;
    SampleBuffer& operator=(SampleBuffer&& other) noexcept;
    SampleBuffer(const SampleBuffer&) = delete;
    SampleBuffer& operator=(const SampleBuffer&) = delete;
    ~SampleBuffer();

    // Replaces the block by count zeroed floats; false, and no block, when count is 0 or memory is short.
    bool allocate(std::size_t count) noexcept;
    // Grows or shrinks the block to count floats, keeping the values that still fit; false, and the block
    // as it was, when count is 0 or memory is short.
    bool resize(std::size_t count) noexcept;
    void release() noexcept;

    float* data() noexcept { return values_; }
    const float* data() const noexcept { return values_; }
    std::size_t size() const noexcept { return size_; }

private:
    float* values_ = nullptr;
    std::size_t size_ = 0;
};

// Averages the channels of each of frames frames into out[0, frames): value c of frame i is read at
// in[i * frameStride + c * channelStride]. Each value is scaled by 1 / channels before the sum, so
// full-scale values never overflow and halving is exact. out may be in (for interleaved values and for
// channel blocks alike): no frame reads below its own index, and each is read before it is written.
void averageChannels(const float* in, std::size_t frames, std::size_t channels, std::size_t frameStride,
                     std::size_t channelStride, float* out) noexcept;

// The same over interleaved frames.
inline void averageInterleaved(const float* in, std::size_t frames, std::size_t channels,
                               float* out) noexcept {
    averageChannels(in, frames, channels, channels, 1, out);
}

// The largest magnitude a sample value keeps once read: 2^16, 96 dB above full scale, far beyond any
// recording, yet small enough that every stage of a voice and of the mix stays finite on it whatever the
// controls say. Nearer the float range a voice's sums overflow (two neighbours of opposite sign already do).
inline constexpr float kSampleValueLimit = 65536.0f;

// What boundSampleValues changed.
struct BoundedValues {
    std::size_t cleared = 0; // not finite: now 0
    std::size_t held = 0;    // finite beyond the limit: now at it, with their sign
};

// Sets every value that is not finite (NaN, either infinity) to 0 and holds every finite one beyond
// +-kSampleValueLimit at that limit; every other value is left as it is.
BoundedValues boundSampleValues(float* values, std::size_t count) noexcept;

} // namespace trov
