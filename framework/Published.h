#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace trov {

// A plain record that writers replace and readers copy whole, without a lock and without ever seeing half
// of a change: two slots, each with a sequence number that is odd while the slot is written. A writer
// fills the slot readers are not sent to and then sends them there; a reader copies the latest slot and
// tries again only when that slot was written anew or readers were sent elsewhere meanwhile, so it never
// waits for a writer, and a thread's loads never go back to an older record. The record is kept as atomic
// words, which is what makes the copy well defined.
//
// Threads: writers one at a time (their owner orders them); readers on any thread, the audio thread
// included (a copy of sizeof(T) bytes, no allocation).
template <class T> class Published {
    static_assert(std::is_trivially_copyable_v<T>, "records are copied as words");
    static constexpr std::size_t kWords = (sizeof(T) + sizeof(std::uint64_t) - 1) / sizeof(std::uint64_t);

public:
    Published() noexcept : Published(T{}) {}
    explicit Published(const T& value) noexcept {
        write(slots_[0], value);
        write(slots_[1], value);
    }
    Published(const Published&) = delete;
    Published& operator=(const Published&) = delete;

    void store(const T& value) noexcept {
        const unsigned next = latest_.load(std::memory_order_relaxed) ^ 1u;
        write(slots_[next], value);
        latest_.store(next, std::memory_order_release);
    }

    T load() const noexcept {
        std::array<std::uint64_t, kWords> words;
        for (;;) {
            const unsigned latest = latest_.load(std::memory_order_acquire);
            const Slot& slot = slots_[latest];
            const std::uint64_t before = slot.sequence.load(std::memory_order_acquire);
            for (std::size_t i = 0; i < kWords; ++i)
                words[i] = slot.words[i].load(std::memory_order_acquire);
            // A slot readers were sent away from may already hold the next write, not yet sent to: kept, it
            // would be newer than what the next load finds at the latest slot.
            if ((before & 1u) == 0 && slot.sequence.load(std::memory_order_relaxed) == before &&
                latest_.load(std::memory_order_relaxed) == latest)
                break;
        }
        T value;
        std::memcpy(static_cast<void*>(&value), words.data(), sizeof(T));
        return value;
    }

private:
    struct Slot {
        std::atomic<std::uint64_t> sequence{0};
        std::array<std::atomic<std::uint64_t>, kWords> words{};
    };

    static void write(Slot& slot, const T& value) noexcept {
        std::array<std::uint64_t, kWords> words{};
        std::memcpy(words.data(), &value, sizeof(T));
        // A reader that takes any word written here (a releasing store, an acquiring load) then sees the
        // sequence odd or moved on, and tries again.
        const std::uint64_t sequence = slot.sequence.fetch_add(1, std::memory_order_acq_rel);
        for (std::size_t i = 0; i < kWords; ++i)
            slot.words[i].store(words[i], std::memory_order_release);
        slot.sequence.store(sequence + 2, std::memory_order_release);
    }

    std::array<Slot, 2> slots_;
    std::atomic<unsigned> latest_{0};
};

} // namespace trov
