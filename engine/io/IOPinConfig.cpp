#include "engine/io/IOPinConfig.h"

#include "engine/io/IOPinMono.h"
#include "engine/io/IOPinStereo.h"

namespace trov {

IOPinConfig::IOPinConfig() : pins_(std::make_shared<Pins>()) {}

IOPinConfig::IOPinConfig(int channelsPerPin, int pinCount) : IOPinConfig() {
    if (channelsPerPin != 1 && channelsPerPin != 2)
        return;
    for (int i = 0; i < pinCount; ++i) {
        if (channelsPerPin == 1)
            pins_->push_back(std::make_unique<IOPinMono>());
        else
            pins_->push_back(std::make_unique<IOPinStereo>());
    }
}

IOPinConfig& IOPinConfig::operator=(const IOPinConfig& other) {
    if (this == &other)
        return *this;
    SharedObject::operator=(other);
    pins_ = other.pins_;
    return *this;
}

IOPinConfig::~IOPinConfig() = default;

int IOPinConfig::getPinCount() const noexcept {
    int count = 0;
    for (const auto& pin : *pins_)
        if (pin->getWidth() != 0)
            ++count;
    return count;
}

IOPin* IOPinConfig::getPin(int index) const noexcept {
    return index >= 0 && index < static_cast<int>(pins_->size())
               ? (*pins_)[static_cast<std::size_t>(index)].get()
               : nullptr;
}

int IOPinConfig::getChannelCount() const noexcept {
    int count = 0;
    for (const auto& pin : *pins_)
        count += pin->getChannelCount();
    return count;
}

IOPin* IOPinConfig::pinOfChannel(int n, int* index) const noexcept {
    if (n < 0)
        return nullptr;
    for (const auto& pin : *pins_) {
        if (n < pin->getChannelCount()) {
            *index = n;
            return pin.get();
        }
        n -= pin->getChannelCount();
    }
    return nullptr;
}

IOChannel<float>* IOPinConfig::getChannel(int n) const noexcept {
    int index = 0;
    IOPin* pin = pinOfChannel(n, &index);
    return pin != nullptr ? pin->getChannel(index) : nullptr;
}

bool IOPinConfig::setChannel(int n, const IOChannel<float>& channel) {
    int index = 0;
    IOPin* pin = pinOfChannel(n, &index);
    return pin != nullptr && pin->setChannel(index, channel);
}

int IOPinConfig::fill(const IOPin& prototype, int count) {
    auto pins = std::make_shared<Pins>();
    for (int i = 0; i < count; ++i)
        pins->push_back(std::unique_ptr<IOPin>(prototype.clone()));
    pins_ = std::move(pins);
    return static_cast<int>(pins_->size());
}

} // namespace trov
