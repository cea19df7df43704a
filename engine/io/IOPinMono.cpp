#include "engine/io/IOPinMono.h"

namespace trov {

IOPinMono::IOPinMono(const IOChannel<float>* channel) : IOPin(1) {
    channels_.push_back(channel != nullptr ? *channel : IOChannel<float>(0));
}

IOPin* IOPinMono::clone() const {
    return new IOPinMono(*this);
}

void IOPinMono::copyFrom(const IOPin& source) noexcept {
    const IOChannel<float>* first = source.getChannel(0);
    if (first == nullptr || (source.getWidth() != 1 && source.getWidth() != 2))
        return;
    channels_[0].copyFrom(*first);
    if (source.getWidth() == 2)
        for (int i = 1; i < source.getChannelCount(); ++i)
            if (const IOChannel<float>* further = source.getChannel(i))
                channels_[0].mixFrom(*further, true);
}

void IOPinMono::mixFrom(const IOPin& source) noexcept {
    const int count = source.getWidth() == 1 ? 1 : (source.getWidth() == 2 ? source.getChannelCount() : 0);
    for (int i = 0; i < count; ++i)
        if (const IOChannel<float>* channel = source.getChannel(i))
            channels_[0].mixFrom(*channel, true);
}

int IOPinMono::channelIndexForId(int /*id*/) const noexcept {
    return 0;
}

} // namespace trov
