#include "engine/io/IOPin.h"

namespace trov {

IOPin::IOPin(std::int32_t width) : width_(width) {}

IOPin::~IOPin() = default;

bool IOPin::appendFrom(const IOPin& source) noexcept {
    const std::int32_t width = source.getWidth();
    if (width != 1 && width != 2)
        return true;
    bool room = true;
    for (int i = 0; i < static_cast<int>(channels_.size()); ++i) {
        const IOChannel<float>* from = source.getChannel(width == 1 ? 0 : i);
        if (from != nullptr)
            room = channels_[static_cast<std::size_t>(i)].appendFrom(*from) && room;
    }
    return room;
}

int IOPin::channelIndexForId(int /*id*/) const noexcept {
    return 0;
}

IOChannel<float>* IOPin::getChannel(int index) noexcept {
    return index >= 0 && index < static_cast<int>(channels_.size())
               ? &channels_[static_cast<std::size_t>(index)]
               : nullptr;
}

const IOChannel<float>* IOPin::getChannel(int index) const noexcept {
    return index >= 0 && index < static_cast<int>(channels_.size())
               ? &channels_[static_cast<std::size_t>(index)]
               : nullptr;
}

bool IOPin::setChannel(int index, const IOChannel<float>& channel) {
    if (index < 0 || index >= getChannelCount() || index >= static_cast<int>(channels_.size()))
        return false;
    channels_[static_cast<std::size_t>(index)] = channel;
    return true;
}

float* IOPin::getChannelDataFor(int id) noexcept {
    IOChannel<float>* channel = getChannelFor(id);
    return channel != nullptr ? channel->getData() : nullptr;
}

void IOPin::setValidFrames(std::int32_t frames) noexcept {
    for (IOChannel<float>& channel : channels_)
        channel.setValidFrames(frames);
}

void IOPin::setSize(std::int32_t frames) {
    for (IOChannel<float>& channel : channels_)
        channel.setSize(frames);
}

} // namespace trov
