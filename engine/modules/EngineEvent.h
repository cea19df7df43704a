#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace trov {

class Engine;

// One event of an instance's event queue, which the audio thread applies at the start of the next block
// in arrival order: a MIDI note for the engine of every module, or an event an engine posted for itself
// (a parameter change its voices follow), handed back to that engine's `applyEvent`. Fixed size and
// trivially copyable, so queuing it neither allocates nor locks.
struct EngineEvent {
    enum Kind : std::uint8_t {
        kNote = 0, // the note fields below, for every module
        kOwn = 1,  // the payload, for `engine` alone
    };
    static constexpr std::size_t kPayloadSize = 64;

    // A note's event fields as the MIDI input fills them (`Note::setMidiEvent`).
    struct NoteFields {
        std::int32_t type;
        std::int32_t channel;
        std::int32_t key;
        std::int32_t velocity;
        std::int32_t detune;
        std::int32_t offset;
        std::uint32_t extra;
    };

    template <class T> static EngineEvent own(Engine* engine, const T& payload) noexcept {
        static_assert(std::is_trivially_copyable_v<T> && sizeof(T) <= kPayloadSize, "a small plain record");
        EngineEvent event;
        event.kind = kOwn;
        event.engine = engine;
        std::memcpy(event.payload, &payload, sizeof(T));
        return event;
    }
    template <class T> T read() const noexcept {
        static_assert(std::is_trivially_copyable_v<T> && sizeof(T) <= kPayloadSize, "a small plain record");
        T value;
        std::memcpy(static_cast<void*>(&value), payload, sizeof(T));
        return value;
    }

    Kind kind = kNote;
    Engine* engine = nullptr;
    NoteFields note{};
    alignas(8) unsigned char payload[kPayloadSize]{};
};

} // namespace trov
