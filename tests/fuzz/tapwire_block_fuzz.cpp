// fuzz-links: trov_instrument
// Lays arbitrary bytes out as a link slot's shared block (as a hostile or broken companion might leave it)
// and reads, skips and writes through it. Nothing may crash, no read may return more than asked or more
// than the ring holds, every sample read is finite, and the indices and count the bridge leaves behind lie
// inside the ring.
#include "instrument/link/IOBridge.h"
#include "platform/SharedMemory.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <unistd.h>

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

constexpr int kSlot = 0;
constexpr std::size_t kActive = 36;
constexpr std::size_t kStamp = 44;
constexpr std::size_t kReadIndex = 16440;
constexpr std::size_t kCount = 16444;

std::uint32_t field(const unsigned char* block, std::size_t offset) {
    std::uint32_t value = 0;
    std::memcpy(&value, block + offset, sizeof value);
    return value;
}

void removeSlot() {
    trov::platform::SharedMemory::remove(trov::makeConnectionName(kSlot));
}

trov::platform::SharedMemory& slot() {
    static trov::platform::SharedMemory memory = [] {
        trov::platform::SharedMemory::setNamePrefix("trov-fuzz-" + std::to_string(::getpid()) + "-");
        removeSlot();
        std::atexit(removeSlot);
        trov::platform::SharedMemory created;
        check(created.create(trov::makeConnectionName(kSlot), trov::IOBridge<float>::kBlockSize));
        return created;
    }();
    return memory;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    unsigned char* block = slot().data();
    const std::size_t blockSize = trov::IOBridge<float>::kBlockSize;
    if (size < 2) {
        std::memset(block, 0, blockSize);
        return 0;
    }
    // The first byte chooses what the fuzzer may not break on its own; the second the request sizes.
    const std::uint8_t control = data[0];
    const int request = 1 + (data[1] << 5);
    std::memset(block, 0, blockSize);
    std::memcpy(block, data + 2, std::min(size - 2, blockSize));
    if (control & 1)
        block[kActive] = 1;
    if (control & 2) {
        const std::uint64_t now = static_cast<std::uint64_t>(std::time(nullptr));
        std::memcpy(block + kStamp, &now, sizeof now);
    }

    (void)trov::probeConnection(kSlot);
    check(trov::readSenderName(kSlot).size() <= 32);

    trov::IOBridge<float> reader;
    if (!reader.open(kSlot))
        return 0;
    static float out[8192];
    for (int round = 0; round < 3; ++round) {
        const int n = std::min(request, 8192);
        const int got = reader.read(out, n);
        check(got >= 0 && got <= n && got <= 4096);
        for (int i = 0; i < got; ++i)
            check(std::isfinite(out[i]));
        // A stale slot is left as it lies; a read that took samples leaves its indices inside the ring.
        if (got > 0)
            check(field(block, kReadIndex) < 4096 && field(block, kCount) <= 4096);
        reader.skip((control >> 2) * 97);
        check(field(block, kReadIndex) < 4096 && field(block, kCount) <= 4096);
    }

    if (control & 4) {
        trov::IOBridge<float> writer(true);
        check(writer.open(kSlot));
        check(writer.write(out, request) == request);
        check(field(block, kCount) <= 4096 + static_cast<std::uint32_t>(request));
        check(field(block, kReadIndex) < 4096);
    }
    return 0;
}
