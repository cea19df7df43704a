#include "instrument/engine/VoiceGroup.h"

namespace trov {

void VoiceGroup::reserve(std::int32_t frames) {
    frames = std::max(frames, std::int32_t{0});
    for (IOPinStereo& pin : pins_)
        pin.setSize(frames);
    // The channels round their memory up: blocks as long as it are held too.
    capacity_ = pins_[0].getChannel(0)->getCapacity();
    filters_.reserve(capacity_, (capacity_ + OstrelVoice::kSubBlock - 1) / OstrelVoice::kSubBlock);
    count_ = 0;
}

bool VoiceGroup::begin(std::int32_t frames) noexcept {
    if (frames > capacity_ || count_ != 0)
        return false;
    for (IOPinStereo& pin : pins_)
        pin.setSize(frames); // within what reserve allocated
    largest_ = 0;
    return true;
}

} // namespace trov
