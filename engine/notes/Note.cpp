#include "engine/notes/Note.h"

#include <cstdint>

#include <algorithm>

#include "engine/notes/FrequencySource.h"
#include "framework/NoteNames.h"

#include <cmath>

namespace trov {

Note::Note(const FrequencySource* owner) noexcept : owner_(owner) {}

Note::Note(const FrequencySource* owner, const Note& other) noexcept : data_(other.data_), owner_(owner) {}

Note::Note(const Note& other) noexcept : Note(other.owner_, other) {}

Note& Note::operator=(const Note& other) noexcept {
    if (this == &other)
        return *this;
    data_ = other.data_;
    dirty_ = true;
    frequency_ = 1.0f;
    return *this;
}

Note::~Note() = default;

void Note::clear() noexcept {
    const std::int32_t type = data_.type;
    data_ = Data();
    data_.type = type;
}

void Note::setMidiEvent(int status, int channel, int key, int velocity, int detune, std::int32_t offset,
                        std::uint32_t extra) noexcept {
    data_.channel = static_cast<std::uint16_t>(channel);
    data_.key = static_cast<std::int16_t>(key);
    data_.velocity = static_cast<std::int16_t>(velocity);
    data_.detune = static_cast<std::int16_t>(detune);
    data_.offset = offset;
    data_.extra = extra;
    if (status == 0x90)
        data_.type = kNoteOn;
    else if (status == 0x80)
        data_.type = kNoteOff;
    dirty_ = true;
}

void Note::setKey(int key) noexcept {
    if (key == data_.key)
        return;
    data_.key = static_cast<std::int16_t>(key);
    dirty_ = true;
}

void Note::transpose(int semitones) noexcept {
    if (semitones == 0)
        return;
    // Wide, then held within the key's type: a hostile transposition never overflows.
    data_.key = static_cast<std::int16_t>(
        std::clamp<std::int64_t>(std::int64_t{data_.key} + semitones, INT16_MIN, INT16_MAX));
    dirty_ = true;
}

void Note::setDetune(int cents) noexcept {
    if (cents == data_.detune)
        return;
    data_.detune = static_cast<std::int16_t>(cents);
    dirty_ = true;
}

void Note::addDetune(int cents) noexcept {
    if (cents == 0)
        return;
    data_.detune = static_cast<std::int16_t>(data_.detune + cents);
    dirty_ = true;
}

float Note::getVelocityAmount() const noexcept {
    return static_cast<float>(data_.velocity) * 0.007874016f;
}

bool Note::isBlackKey() const noexcept {
    return trov::isBlackKey(data_.key);
}

float Note::computeFrequency() noexcept {
    if (owner_ == nullptr)
        return frequency_;
    frequency_ = static_cast<float>(owner_->getFrequency(data_.key, static_cast<double>(data_.detune)));
    dirty_ = false;
    return frequency_;
}

double pitchRatio(float semitones, float cents) noexcept {
    // Single-precision constants and sum, as the engine has always computed it: (12, 0) is exactly 2.
    const float exponent = (semitones + cents * 0.01f) * 0.083333336f;
    return std::pow(2.0, static_cast<double>(exponent));
}

} // namespace trov
