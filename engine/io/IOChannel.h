#pragma once

#include "framework/SharedObject.h"

#include <cstdint>
#include <memory>

namespace trov {

// One channel of audio: a buffer of samples, the frames it currently holds (size), how many of them have
// been written in this block (valid frames), and a gain and level for whoever mixes it. A channel either
// wraps memory it was given (the host's buffers, rebound every block), owns a buffer it allocated, or is a
// view into another channel's memory. A view and copies keep the memory they look at alive, never free it
// while another channel uses it, and never reach past it.
// Threads: used on the audio thread once sized; allocating (construction with a frame count, `allocate`,
// `setSize` beyond the capacity) belongs on the thread that sets up processing.
template <class T> class IOChannel : public SharedObject {
public:
    static constexpr std::int32_t kAllocationGranule = 16;

    // With external data the channel wraps it (size = valid frames = frames, capacity 0); without, it
    // allocates frames rounded up to a multiple of 16 (none for 0), with no valid frames.
    explicit IOChannel(std::int32_t frames = 0, T* externalData = nullptr);
    // A view of length frames at offset into the source's memory, bounded by what the source holds.
    IOChannel(const IOChannel& source, std::int32_t offset, std::int32_t length);
    IOChannel(const IOChannel& other) = default;
    // Takes over the other channel's memory (shared) and state.
    IOChannel& operator=(const IOChannel& other);
    ~IOChannel() override;

    // Drops the current memory and allocates frames rounded up to a multiple of 16; size = capacity = that.
    void allocate(std::int32_t frames);
    // Drops the memory (freed once no other channel uses it); the channel is then empty.
    void freeData();
    // Wraps external memory without allocating, as the constructor with external data does (the host's
    // buffers, rebound every block). Memory the channel shared before is let go, and freed when this was
    // its last user: rebind once on the set-up thread before doing it on the audio thread.
    void wrap(T* externalData, std::int32_t frames) noexcept;
    // A size above the capacity allocates anew; otherwise only the size changes.
    void setSize(std::int32_t frames);
    // Clamped to 0..size; returns the new count.
    std::int32_t setValidFrames(std::int32_t frames) noexcept;
    // Zeroes count samples from start (count < 0: to the end), bounded by the size; valid frames grow to
    // cover them.
    void clear(std::int32_t start = 0, std::int32_t count = -1) noexcept;
    void copyFrom(const IOChannel& source) noexcept;
    // add: a + b; otherwise a + b - a*b. Over the common size, which becomes the valid frames.
    void mixFrom(const IOChannel& source, bool add) noexcept;
    // Appends the source's valid frames after the own; true while room remains.
    bool appendFrom(const IOChannel& source) noexcept;
    // Largest absolute value over the valid frames; 0 when there are none.
    T getPeak() const noexcept;

    T* getData() const noexcept { return data_; }
    std::int32_t getSize() const noexcept { return size_; }
    std::int32_t getCapacity() const noexcept { return capacity_; }
    std::int32_t getValidFrames() const noexcept { return validFrames_; }
    bool ownsData() const noexcept { return ownsData_; }
    float getGain() const noexcept { return gain_; }
    void setGain(float gain) noexcept { gain_ = gain; }
    float getLevel() const noexcept { return level_; }
    void setLevel(float level) noexcept { level_ = level; }

private:
    // The frames this channel's pointer may reach: the capacity of owned memory, the size of wrapped memory.
    std::int32_t extent() const noexcept { return ownsData_ ? capacity_ : size_; }

    std::shared_ptr<T[]> memory_; // the allocation data_ points into, shared by views and copies
    T* data_ = nullptr;
    bool ownsData_ = false;
    std::int32_t capacity_ = 0;
    std::int32_t size_ = 0;
    std::int32_t validFrames_ = 0;
    float gain_ = 1.0f;
    float level_ = 0.0f;
};

extern template class IOChannel<float>;

} // namespace trov
