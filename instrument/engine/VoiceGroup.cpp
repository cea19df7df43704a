#include "instrument/engine/VoiceGroup.h"

namespace trov {

void VoiceGroup::reserve(std::int32_t frames) {
    frames = std::max(frames, std::int32_t{0});
    for (IOPinStereo& pin : pins_)
        pin.setSize(frames);
    filters_.reserve(frames, (frames + OstrelVoice::kSubBlock - 1) / OstrelVoice::kSubBlock);
    capacity_ = frames;
    count_ = 0;
}

bool VoiceGroup::begin(std::int32_t frames) noexcept {
    if (frames > capacity_ || count_ != 0)
        return false;
    for (IOPinStereo& pin : pins_)
        pin.setSize(frames); // within what reserve allocated
    return true;
}

} // namespace trov
