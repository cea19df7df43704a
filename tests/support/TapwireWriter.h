#pragma once

#include "platform/SharedMemory.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <string>
#include <unistd.h>

namespace trov::test {

// The companion's end of a link slot, written from the block layout alone (not from the reader's code),
// so a reader that strays from the layout fails against it. Creates the slot's shared memory object,
// fills its fields and removes the object at the end of the scope.
class TapwireWriter {
public:
    static constexpr std::size_t kBlockSize = 17088;
    static constexpr std::size_t kNameOffset = 4;
    static constexpr std::size_t kActiveOffset = 36;
    static constexpr std::size_t kStampOffset = 44;
    static constexpr std::size_t kRingOffset = 52;
    static constexpr std::size_t kWriteIndexOffset = 16436;
    static constexpr std::size_t kReadIndexOffset = 16440;
    static constexpr std::size_t kCountOffset = 16444;
    static constexpr std::size_t kReceiverOffset = 16448;

    explicit TapwireWriter(int slot, std::size_t size = kBlockSize)
        : name_("Connection #" + std::to_string(slot)) {
        platform::SharedMemory::remove(name_);
        memory_.create(name_, size);
    }
    // Another process's view of a slot that already exists; it leaves the object in place.
    struct Attach {};
    TapwireWriter(int slot, Attach) : name_("Connection #" + std::to_string(slot)), owner_(false) {
        memory_.open(name_, kBlockSize);
    }
    ~TapwireWriter() {
        memory_.close();
        if (owner_)
            platform::SharedMemory::remove(name_);
    }
    TapwireWriter(const TapwireWriter&) = delete;
    TapwireWriter& operator=(const TapwireWriter&) = delete;

    bool ok() const { return memory_.isOpen(); }
    static std::uint64_t now() { return static_cast<std::uint64_t>(std::time(nullptr)); }

    void setName(const std::string& name) {
        std::memset(memory_.data() + kNameOffset, 0, 32);
        std::memcpy(memory_.data() + kNameOffset, name.data(), std::min<std::size_t>(name.size(), 32));
    }
    void setActive(bool active) { memory_.data()[kActiveOffset] = active ? 1 : 0; }
    void setStamp(std::uint64_t seconds) { put(kStampOffset, seconds); }
    bool receiverAttached() const { return memory_.data()[kReceiverOffset] != 0; }
    void setReceiverAttached(bool on) { memory_.data()[kReceiverOffset] = on ? 1 : 0; }

    std::uint32_t writeIndex() const { return get(kWriteIndexOffset); }
    std::uint32_t readIndex() const { return get(kReadIndexOffset); }
    std::uint32_t count() const { return get(kCountOffset); }
    void setIndices(std::uint32_t write, std::uint32_t read, std::uint32_t count) {
        put(kWriteIndexOffset, write);
        put(kReadIndexOffset, read);
        put(kCountOffset, count);
    }
    void setRing(std::uint32_t index, float value) { put(kRingOffset + 4 * index, value); }

    // What a live companion does each block: appends at the write index and stamps the block.
    void push(const float* samples, std::size_t n) {
        std::uint32_t at = writeIndex() & 0xFFF;
        for (std::size_t i = 0; i < n; ++i) {
            setRing(at, samples[i]);
            at = (at + 1) & 0xFFF;
        }
        put(kWriteIndexOffset, at);
        put(kCountOffset, count() + static_cast<std::uint32_t>(n));
        setStamp(now());
    }

    // Whole block states: an attached, active, fresh sender.
    void goLive(const std::string& name = "Track 1") {
        setName(name);
        setActive(true);
        setStamp(now());
    }

private:
    template <class T> void put(std::size_t offset, T value) {
        std::memcpy(memory_.data() + offset, &value, sizeof value);
    }
    std::uint32_t get(std::size_t offset) const {
        std::uint32_t value = 0;
        std::memcpy(&value, memory_.data() + offset, sizeof value);
        return value;
    }

    std::string name_;
    bool owner_ = true;
    platform::SharedMemory memory_;
};

// Every link slot a test touches carries this process's own prefix.
inline void isolateTapwireSlots() {
    platform::SharedMemory::setNamePrefix("trov-test-" + std::to_string(::getpid()) + "-");
}

} // namespace trov::test
