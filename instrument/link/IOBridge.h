#pragma once

#include "platform/SharedMemory.h"

#include <cstdint>
#include <optional>
#include <string>

namespace trov {

// One end of a Tapwire slot: a one-way mono audio link through a named shared memory block that a
// companion plug-in on another track creates and writes. The instrument holds a reader end: it never
// creates a slot, only probes, opens, reads and closes. The block is outside input: every index is masked
// into the ring, the count is clamped, and a slot counts as live only while its time stamp is fresh.
// Threads: open, close and swap on the user-interface thread; read and skip on the audio thread (noexcept,
// no allocation, no lock); never both on one object at once: open a new bridge aside and swap it in at a
// block start. Writer and reader share the block across processes without a lock.
template <class T> class IOBridge {
public:
    static constexpr int kSlotCount = 32;
    static constexpr std::size_t kBlockSize = 17088;
    static constexpr int kRingSize = 4096;

    explicit IOBridge(bool writer = false) : writer_(writer) {}
    IOBridge(IOBridge&& other) noexcept;
    IOBridge& operator=(IOBridge&&) = delete;
    IOBridge(const IOBridge&) = delete;
    IOBridge& operator=(const IOBridge&) = delete;
    virtual ~IOBridge();

    // Appends n samples, stamps the block with the current time; when more than the ring holds is
    // unread, the reader resumes at the oldest sample kept. Returns the samples written.
    virtual int write(const T* source, int n) noexcept;
    // Copies up to n unread samples (0 when closed or stale); values that are not finite arrive as 0.
    virtual int read(T* destination, int n) noexcept;
    // Passes over n unread samples; a negative n does nothing.
    virtual void skip(int n) noexcept;

    // Reader: closes what was open, then opens the slot when its sender is active and marks the receiver
    // attached. Writer: maps an existing slot and marks the sender active. False for a slot outside 0..31.
    bool open(int slot);
    // Clears this end's attached flag and unmaps; always succeeds.
    void close() noexcept;
    bool isOpen() const noexcept { return memory_.isOpen(); }
    bool isWriter() const noexcept { return writer_; }
    void swap(IOBridge& other) noexcept;

private:
    platform::SharedMemory memory_;
    bool writer_;
};

// "Connection #" and the slot number.
std::string makeConnectionName(int slot);
// Bit 0: a sender is active; bit 1: it wrote within the last 10 s; bit 2: a receiver is attached. 0 for
// a slot that does not exist, is too small, or lies outside 0..31.
std::uint32_t probeConnection(int slot);
// The sender's name shown in the list of senders; empty when the slot does not open.
std::string readSenderName(int slot);
// The same, telling a slot that does not open (nullopt) from one whose sender has an empty name.
std::optional<std::string> findSenderName(int slot);
// Whole seconds since 1970-01-01 UTC.
std::uint64_t currentTime() noexcept;

namespace tapwire {
constexpr std::uint32_t kProbeSenderActive = 1;
constexpr std::uint32_t kProbeSenderFresh = 2;
constexpr std::uint32_t kProbeReceiverAttached = 4;
} // namespace tapwire

extern template class IOBridge<float>;

} // namespace trov
