#pragma once

#include "engine/io/IOPin.h"

namespace trov {

// A pin of one channel; a stereo source is folded into it by adding its channels. Threads as `IOPin`.
class IOPinMono : public IOPin {
public:
    // Wraps the given channel's memory, or a new channel of 0 frames.
    explicit IOPinMono(const IOChannel<float>* channel = nullptr);

    IOPin* clone() const override;
    int getChannelCount() const noexcept override { return 1; }
    void copyFrom(const IOPin& source) noexcept override;
    void mixFrom(const IOPin& source) noexcept override;
    int channelIndexForId(int id) const noexcept override;
};

} // namespace trov
