#pragma once

#include <cstdint>

namespace trov {

class FrequencySource;

// The engine's one event record: a note-on or note-off with its key, velocity, detune, channel, sample
// offset and requested voice slot. A note belongs to a module (its frequency source) and caches its
// frequency in that module's current tuning until the key or detune changes.
// Threads: made on the MIDI thread (or by the editor's keyboard on the user-interface thread) and passed by
// copy to engines and voices on the audio thread; one note is used by one thread at a time.
class Note {
public:
    static constexpr std::int32_t kNoteOn = 1;
    static constexpr std::int32_t kNoteOff = 2;
    static constexpr std::int32_t kAnySlot = -1;

    explicit Note(const FrequencySource* owner = nullptr) noexcept;
    // The other note's event data for this owner; the frequency is computed anew.
    Note(const FrequencySource* owner, const Note& other) noexcept;
    Note(const Note& other) noexcept;
    // Copies the event data and keeps the own owner; the frequency is computed anew.
    Note& operator=(const Note& other) noexcept;
    virtual ~Note();

    // Every event field but the type back to its default.
    void clear() noexcept;
    // Status 0x90 makes a note-on, 0x80 a note-off; any other status keeps the type.
    void setMidiEvent(int status, int channel, int key, int velocity, int detune, std::int32_t offset,
                      std::uint32_t extra) noexcept;

    std::int32_t getType() const noexcept { return data_.type; }
    int getChannel() const noexcept { return data_.channel; }
    int getKey() const noexcept { return data_.key; }
    int getVelocity() const noexcept { return data_.velocity; }
    int getDetune() const noexcept { return data_.detune; }
    std::int32_t getOffset() const noexcept { return data_.offset; }
    std::uint32_t getExtra() const noexcept { return data_.extra; }
    // The voice slot asked for, kAnySlot for any.
    int getSlot() const noexcept { return static_cast<std::int16_t>(data_.slot); }
    void setSlot(int slot) noexcept { data_.slot = slot; }
    const FrequencySource* getOwner() const noexcept { return owner_; }

    void setKey(int key) noexcept;
    void transpose(int semitones) noexcept;
    void setDetune(int cents) noexcept;
    void addDetune(int cents) noexcept;
    void invalidate() noexcept { dirty_ = true; }
    bool isDirty() const noexcept { return dirty_; }

    // Velocity scaled to 0..1.
    float getVelocityAmount() const noexcept;
    bool isBlackKey() const noexcept;
    // Asks the owner for the key's frequency with the detune, caches and returns it. Without an owner the
    // cached value stays.
    float computeFrequency() noexcept;
    // The cached frequency (1 Hz until first computed).
    float getFrequency() const noexcept { return frequency_; }

private:
    // What a copy copies: fifteen words.
    struct Data {
        std::int32_t type = 0;
        std::int32_t word1 = 0;
        float value1 = 0.0f;
        std::int32_t word2 = 0;
        std::uint16_t channel = 0;
        std::int16_t key = 0;
        std::int16_t velocity = 0;
        std::int16_t detune = 0;
        std::int32_t offset = 0;
        std::uint32_t extra = 0;
        float value2 = 0.0f;
        float value3 = 0.0f;
        float value4 = 0.5f;
        std::int32_t word3 = 0;
        std::int32_t word4 = 0;
        std::int32_t slot = kAnySlot;
        std::int32_t word5 = 0;
    };

    Data data_;
    const FrequencySource* owner_;
    bool dirty_ = true;
    float frequency_ = 1.0f;
};

// The frequency ratio of an interval: 2^((semitones + cents / 100) / 12).
double pitchRatio(float semitones, float cents) noexcept;

} // namespace trov
