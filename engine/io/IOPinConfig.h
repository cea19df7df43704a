#pragma once

#include "engine/io/IOPin.h"
#include "framework/SharedObject.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace trov {

// A set of pins, one side of an input/output configuration. Copies share the pins; the last copy deletes
// them. Channels are also numbered across all pins in order.
// Threads: built on the set-up thread; the audio thread reads pins and channels.
class IOPinConfig : public SharedObject {
public:
    IOPinConfig();
    // pinCount mono (channelsPerPin 1) or stereo (2) pins; any other width gives no pins.
    IOPinConfig(int channelsPerPin, int pinCount);
    IOPinConfig(const IOPinConfig& other) = default;
    IOPinConfig& operator=(const IOPinConfig& other);
    ~IOPinConfig() override;

    int getPinCount() const noexcept;
    // Null when out of range.
    IOPin* getPin(int index) const noexcept;
    int getChannelCount() const noexcept;
    // The n-th channel over all pins; null / false when out of range.
    IOChannel<float>* getChannel(int n) const noexcept;
    bool setChannel(int n, const IOChannel<float>& channel);
    // Replaces the pins (other copies keep the old ones) by count clones of the prototype.
    int fill(const IOPin& prototype, int count);

private:
    using Pins = std::vector<std::unique_ptr<IOPin>>;
    // The pin holding channel n, and n's index within it.
    IOPin* pinOfChannel(int n, int* index) const noexcept;

    std::shared_ptr<Pins> pins_;
};

} // namespace trov
