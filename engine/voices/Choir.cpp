#include "engine/voices/Choir.h"

#include "framework/Message.h"

#include <algorithm>
#include <mutex>

namespace trov {

namespace {
constexpr const char* kSustainParameter = "SustainVoices";

bool isKey(int key) {
    return key >= 0 && key < Choir::kKeyCount;
}
} // namespace

Choir::Choir(const Module* owner) : Radio(owner) {
    Choir::reset();
    tuneIn(kSustainParameter);
}

Choir::~Choir() {
    tuneOut(kSustainParameter);
}

bool Choir::receive(const Message& message) {
    if (message.kind == kKindParameter && message.code == Code::kParameterValue) {
        const auto* change = dynamic_cast<const ParameterMessage*>(&message);
        if (change != nullptr && change->name == kSustainParameter) {
            setSustain((change->extra & 0xFF) != 0);
            return true;
        }
    }
    return Radio::receive(message);
}

void Choir::reset() {
    std::lock_guard guard(poolLock_);
    keyStates_.fill(kKeyUp);
    sustain_.store(false, std::memory_order_relaxed);
}

int Choir::setVoiceLimit(int limit) {
    std::lock_guard guard(poolLock_);
    voiceLimit_ = limit;
    return limit;
}

void Choir::setSustain(bool sustain) {
    sustain_.store(sustain, std::memory_order_relaxed);
}

int Choir::getVoiceLimit() const {
    std::lock_guard guard(poolLock_);
    return voiceLimit_;
}

void Choir::setReuse(bool reuse) {
    std::lock_guard guard(poolLock_);
    reuse_ = reuse;
}

bool Choir::getReuse() const {
    std::lock_guard guard(poolLock_);
    return reuse_;
}

void Choir::setHandOver(int rule) {
    std::lock_guard guard(poolLock_);
    handOver_ = rule;
}

int Choir::getHandOver() const {
    std::lock_guard guard(poolLock_);
    return handOver_;
}

std::int32_t Choir::getKeyState(int key) const {
    std::lock_guard guard(poolLock_);
    return keyState(key);
}

std::int32_t Choir::keyState(int key) const {
    return isKey(key) ? keyStates_[static_cast<std::size_t>(key)] : kKeyUp;
}

void Choir::setKeyState(int key, std::int32_t state) {
    if (isKey(key))
        keyStates_[static_cast<std::size_t>(key)] = state;
}

int Choir::handOverCandidate(int releasedKey) const {
    if (handOver_ < kHandOverAbove || handOver_ > kHandOverBelowThenAbove)
        return -1;
    int below = -1;
    for (int key = std::min(releasedKey - 1, kKeyCount - 1); key >= 0; --key)
        if (keyStates_[static_cast<std::size_t>(key)] == kKeyHeld) {
            below = key;
            break;
        }
    int above = -1;
    for (int key = std::max(releasedKey + 1, 0); key < kKeyCount; ++key)
        if (keyStates_[static_cast<std::size_t>(key)] == kKeyHeld) {
            above = key;
            break;
        }
    switch (handOver_) {
    case kHandOverAbove:
        return above;
    case kHandOverBelow:
        return below;
    case kHandOverAboveThenBelow:
        return above >= 0 ? above : below;
    default:
        return below >= 0 ? below : above;
    }
}

} // namespace trov
