#pragma once

#include "engine/io/IOPin.h"

namespace trov {

// A pin of two channels (left, right); a mono source is spread into both. Threads as `IOPin`.
class IOPinStereo : public IOPin {
public:
    static constexpr int kRightChannelId = 3;

    // Wraps the given channels' memory, or new channels of 0 frames.
    explicit IOPinStereo(const IOChannel<float>* left = nullptr, const IOChannel<float>* right = nullptr);

    IOPin* clone() const override;
    int getChannelCount() const noexcept override { return 2; }
    void copyFrom(const IOPin& source) noexcept override;
    void mixFrom(const IOPin& source) noexcept override;
    // Id 3 is the right channel; every other id the left.
    int channelIndexForId(int id) const noexcept override;
};

} // namespace trov
