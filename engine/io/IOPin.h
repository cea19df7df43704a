#pragma once

#include "engine/io/IOChannel.h"

#include <cstdint>
#include <vector>

namespace trov {

// A group of channels of one width (1 mono, 2 stereo) through which audio enters and leaves a module or a
// DSP block. Copying and mixing between pins of different widths spreads or folds the channels.
// Threads: the audio thread once set up; building and cloning pins belongs to the set-up thread.
class IOPin {
public:
    explicit IOPin(std::int32_t width);
    IOPin(const IOPin& other) = default;
    IOPin& operator=(const IOPin&) = delete;
    virtual ~IOPin();

    // A heap copy of the same class, sharing the channels' memory.
    virtual IOPin* clone() const = 0;
    virtual int getChannelCount() const noexcept = 0;
    virtual void copyFrom(const IOPin& source) noexcept = 0;
    virtual void mixFrom(const IOPin& source) noexcept = 0;
    // Each own channel appends the source channel of the same index (a mono source feeds every channel);
    // true while every own channel still has room. A source of another width appends nothing.
    virtual bool appendFrom(const IOPin& source) noexcept;
    // The channel that carries a speaker id.
    virtual int channelIndexForId(int id) const noexcept;

    std::int32_t getWidth() const noexcept { return width_; }
    // Null when out of range.
    IOChannel<float>* getChannel(int index) noexcept;
    const IOChannel<float>* getChannel(int index) const noexcept;
    // Slot index takes over the channel's memory; false when out of range.
    bool setChannel(int index, const IOChannel<float>& channel);
    IOChannel<float>* getChannelFor(int id) noexcept { return getChannel(channelIndexForId(id)); }
    float* getChannelDataFor(int id) noexcept;
    void setValidFrames(std::int32_t frames) noexcept;
    void setSize(std::int32_t frames);

protected:
    std::int32_t width_;
    std::vector<IOChannel<float>> channels_;
};

} // namespace trov
