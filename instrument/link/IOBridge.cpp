#include "instrument/link/IOBridge.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>

namespace trov {

namespace {

// The block as the companion writes it.
constexpr std::size_t kSenderName = 4;
constexpr std::size_t kSenderNameEnd = 36;
constexpr std::size_t kSenderActive = 36;
constexpr std::size_t kTimeStamp = 44;
constexpr std::size_t kRing = 52;
constexpr std::size_t kWriteIndex = 16436;
constexpr std::size_t kReadIndex = 16440;
constexpr std::size_t kCount = 16444;
constexpr std::size_t kReceiverAttached = 16448;

constexpr std::uint32_t kIndexMask = 0xFFF;
constexpr std::int64_t kRingSize = 4096;
// A read needs a write within the last second; the probe calls a sender alive within ten.
constexpr std::uint64_t kReadFreshness = 1;
constexpr std::uint64_t kProbeFreshness = 10;

static_assert(kRing + kRingSize * sizeof(float) == kWriteIndex);
static_assert(IOBridge<float>::kBlockSize > kReceiverAttached);

std::atomic_ref<std::uint32_t> word(unsigned char* block, std::size_t offset) noexcept {
    return std::atomic_ref<std::uint32_t>(*reinterpret_cast<std::uint32_t*>(block + offset));
}

std::uint64_t stampOf(const unsigned char* block) noexcept {
    std::uint64_t stamp = 0;
    std::memcpy(&stamp, block + kTimeStamp, sizeof stamp);
    return stamp;
}

// The unread count as the other end left it, kept within the ring.
std::int64_t clampedCount(std::uint32_t stored) noexcept {
    return std::clamp<std::int64_t>(static_cast<std::int32_t>(stored), 0, kRingSize);
}

bool olderThan(std::uint64_t stamp, std::uint64_t now, std::uint64_t seconds) noexcept {
    return now >= seconds && stamp < now - seconds;
}

bool validSlot(int slot) {
    return slot >= 0 && slot < IOBridge<float>::kSlotCount;
}

} // namespace

std::string makeConnectionName(int slot) {
    return "Connection #" + std::to_string(slot);
}

std::uint64_t currentTime() noexcept {
    const auto since = std::chrono::system_clock::now().time_since_epoch();
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(since).count();
    return seconds > 0 ? static_cast<std::uint64_t>(seconds) : 0;
}

std::uint32_t probeConnection(int slot) {
    if (!validSlot(slot))
        return 0;
    platform::SharedMemory memory;
    if (!memory.open(makeConnectionName(slot), IOBridge<float>::kBlockSize))
        return 0;
    const unsigned char* block = memory.data();
    std::uint32_t flags = 0;
    if (block[kSenderActive] != 0)
        flags |= tapwire::kProbeSenderActive;
    if (!olderThan(stampOf(block), currentTime(), kProbeFreshness))
        flags |= tapwire::kProbeSenderFresh;
    if (block[kReceiverAttached] != 0)
        flags |= tapwire::kProbeReceiverAttached;
    return flags;
}

std::optional<std::string> findSenderName(int slot) {
    if (!validSlot(slot))
        return std::nullopt;
    platform::SharedMemory memory;
    if (!memory.open(makeConnectionName(slot), IOBridge<float>::kBlockSize))
        return std::nullopt;
    // The field is 32 bytes; a sender that fills it leaves no terminator.
    const char* first = reinterpret_cast<const char*>(memory.data() + kSenderName);
    const char* last = reinterpret_cast<const char*>(memory.data() + kSenderNameEnd);
    return std::string(first, std::find(first, last, '\0'));
}

std::string readSenderName(int slot) {
    return findSenderName(slot).value_or(std::string());
}

template <class T>
IOBridge<T>::IOBridge(IOBridge&& other) noexcept
    : memory_(std::move(other.memory_)), writer_(other.writer_) {}

template <class T> IOBridge<T>::~IOBridge() {
    close();
}

template <class T> bool IOBridge<T>::open(int slot) {
    close();
    if (!validSlot(slot))
        return false;
    if (!writer_ && (probeConnection(slot) & tapwire::kProbeSenderActive) == 0)
        return false;
    if (!memory_.open(makeConnectionName(slot), kBlockSize))
        return false;
    memory_.data()[writer_ ? kSenderActive : kReceiverAttached] = 1;
    return true;
}

template <class T> void IOBridge<T>::close() noexcept {
    if (memory_.isOpen())
        memory_.data()[writer_ ? kSenderActive : kReceiverAttached] = 0;
    memory_.close();
}

template <class T> void IOBridge<T>::swap(IOBridge& other) noexcept {
    std::swap(memory_, other.memory_);
    std::swap(writer_, other.writer_);
}

template <class T> int IOBridge<T>::write(const T* source, int n) noexcept {
    unsigned char* block = memory_.data();
    if (block == nullptr || source == nullptr || n <= 0)
        return 0;
    const std::uint64_t now = currentTime();
    std::memcpy(block + kTimeStamp, &now, sizeof now);
    std::uint32_t at = word(block, kWriteIndex).load(std::memory_order_relaxed) & kIndexMask;
    for (int i = 0; i < n; ++i) {
        const float value = static_cast<float>(source[i]);
        std::memcpy(block + kRing + at * sizeof(float), &value, sizeof value);
        at = (at + 1) & kIndexMask;
    }
    word(block, kWriteIndex).store(at, std::memory_order_relaxed);
    const std::uint32_t stored = word(block, kCount).load(std::memory_order_acquire);
    const std::int64_t unread = clampedCount(stored) + n;
    if (unread > kRingSize) {
        // The oldest samples were overwritten: the reader resumes at the oldest one kept.
        word(block, kReadIndex).store(at, std::memory_order_relaxed);
        word(block, kCount).store(static_cast<std::uint32_t>(kRingSize), std::memory_order_release);
    } else if (static_cast<std::int32_t>(stored) >= 0) {
        word(block, kCount).fetch_add(static_cast<std::uint32_t>(n), std::memory_order_release);
    } else {
        word(block, kCount).store(static_cast<std::uint32_t>(unread), std::memory_order_release);
    }
    return n;
}

template <class T> int IOBridge<T>::read(T* destination, int n) noexcept {
    unsigned char* block = memory_.data();
    if (block == nullptr || destination == nullptr || n <= 0)
        return 0;
    if (olderThan(stampOf(block), currentTime(), kReadFreshness))
        return 0;
    const std::uint32_t stored = word(block, kCount).load(std::memory_order_acquire);
    const std::int64_t unread = clampedCount(stored);
    const int copied = static_cast<int>(std::min<std::int64_t>(n, unread));
    std::uint32_t at = word(block, kReadIndex).load(std::memory_order_relaxed) & kIndexMask;
    for (int i = 0; i < copied; ++i) {
        float value = 0.0f;
        std::memcpy(&value, block + kRing + at * sizeof(float), sizeof value);
        destination[i] = static_cast<T>(std::isfinite(value) ? value : 0.0f);
        at = (at + 1) & kIndexMask;
    }
    word(block, kReadIndex).store(at, std::memory_order_relaxed);
    // Samples the writer added meanwhile stay counted; a count outside the ring is set straight.
    if (static_cast<std::int64_t>(static_cast<std::int32_t>(stored)) == unread)
        word(block, kCount).fetch_sub(static_cast<std::uint32_t>(copied), std::memory_order_release);
    else
        word(block, kCount).store(static_cast<std::uint32_t>(unread - copied), std::memory_order_release);
    return copied;
}

template <class T> void IOBridge<T>::skip(int n) noexcept {
    unsigned char* block = memory_.data();
    if (block == nullptr || n < 0)
        return;
    const std::int64_t unread = clampedCount(word(block, kCount).load(std::memory_order_acquire));
    const std::int64_t passed = std::min<std::int64_t>(n, unread);
    const std::uint32_t at = word(block, kReadIndex).load(std::memory_order_relaxed);
    word(block, kReadIndex)
        .store((at + static_cast<std::uint32_t>(passed)) & kIndexMask, std::memory_order_relaxed);
    word(block, kCount).store(static_cast<std::uint32_t>(unread - passed), std::memory_order_release);
}

template class IOBridge<float>;

} // namespace trov
