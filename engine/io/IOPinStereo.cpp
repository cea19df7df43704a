#include "engine/io/IOPinStereo.h"

namespace trov {

IOPinStereo::IOPinStereo(const IOChannel<float>* left, const IOChannel<float>* right) : IOPin(2) {
    channels_.push_back(left != nullptr ? *left : IOChannel<float>(0));
    channels_.push_back(right != nullptr ? *right : IOChannel<float>(0));
}

IOPin* IOPinStereo::clone() const {
    return new IOPinStereo(*this);
}

void IOPinStereo::copyFrom(const IOPin& source) noexcept {
    const std::int32_t width = source.getWidth();
    if (width != 1 && width != 2)
        return;
    for (int i = 0; i < 2; ++i)
        if (const IOChannel<float>* from = source.getChannel(width == 1 ? 0 : i))
            channels_[static_cast<std::size_t>(i)].copyFrom(*from);
}

void IOPinStereo::mixFrom(const IOPin& source) noexcept {
    const std::int32_t width = source.getWidth();
    if (width != 1 && width != 2)
        return;
    for (int i = 0; i < 2; ++i)
        if (const IOChannel<float>* from = source.getChannel(width == 1 ? 0 : i))
            channels_[static_cast<std::size_t>(i)].mixFrom(*from, true);
}

int IOPinStereo::channelIndexForId(int id) const noexcept {
    return id == kRightChannelId ? 1 : 0;
}

} // namespace trov
