#include "imaging/cpu/FloatEnvironment.h"

#include <x86intrin.h>
#include <xmmintrin.h>

#include <bit>
#include <cstring>

namespace trov::imaging {

namespace {

// One row per condition: portable bit, x87 bit (control masks and status flags share positions).
struct BitPair {
    std::uint32_t portable;
    std::uint32_t x87;
};
constexpr BitPair kExceptionBits[] = {
    {0x00000010, 0x0001}, // invalid operation
    {0x00000008, 0x0004}, // divide by zero
    {0x00000004, 0x0008}, // overflow
    {0x00000002, 0x0010}, // underflow
    {0x00000001, 0x0020}, // inexact
    {0x00080000, 0x0002}, // denormal operand
};

constexpr std::uint32_t kX87Rounding = 0x0C00;
constexpr std::uint32_t kX87Precision = 0x0300;
constexpr std::uint32_t kX87Infinity = 0x1000;
constexpr std::uint32_t kPortableRounding = 0x300;
constexpr std::uint32_t kPortablePrecision = 0x30000;
constexpr std::uint32_t kPortableInfinity = 0x40000;

std::uint32_t exceptionsToPortable(std::uint32_t word) {
    std::uint32_t portable = 0;
    for (const BitPair& pair : kExceptionBits)
        if (word & pair.x87)
            portable |= pair.portable;
    return portable;
}

void waitForX87() {
    asm volatile("fwait");
}

} // namespace

std::uint32_t setMxcsrBits(std::uint32_t value, std::uint32_t mask) {
    const std::uint32_t old = _mm_getcsr();
    _mm_setcsr((old & ~mask) | (value & mask));
    return old;
}

std::uint32_t getMxcsr() {
    return _mm_getcsr();
}

std::uint32_t resetMxcsr() {
    const std::uint32_t old = _mm_getcsr();
    _mm_setcsr(0x1F80);
    return old;
}

void loadMxcsr(std::uint32_t value) {
    _mm_setcsr(value);
}

void changeMxcsrRounding(std::uint32_t rounding) {
    if ((_mm_getcsr() & kMxcsrRoundingField) != (rounding & kMxcsrRoundingField))
        setMxcsrBits(rounding, kMxcsrRoundingField);
}

std::uint32_t getX87ControlWord() {
    std::uint16_t word;
    asm volatile("fnstcw %0" : "=m"(word));
    return word;
}

void loadX87ControlWord(std::uint32_t word) {
    const auto control = static_cast<std::uint16_t>(word);
    asm volatile("fldcw %0" : : "m"(control));
}

std::uint32_t setX87ControlBits(std::uint32_t value, std::uint32_t mask) {
    const std::uint32_t old = getX87ControlWord();
    loadX87ControlWord((old & ~mask) | (value & mask));
    return old;
}

void changeX87ControlBits(std::uint32_t value, std::uint32_t mask) {
    if ((getX87ControlWord() & mask) != (value & mask))
        setX87ControlBits(value, mask);
}

std::uint32_t getX87StatusWord() {
    std::uint16_t word;
    asm volatile("fnstsw %0" : "=m"(word));
    return word;
}

std::uint32_t takeX87StatusWord() {
    const std::uint32_t word = getX87StatusWord();
    asm volatile("fnclex");
    return word;
}

std::uint32_t x87ControlToPortable(std::uint32_t control) {
    std::uint32_t portable = exceptionsToPortable(control);
    portable |= (control & kX87Rounding) >> 2;
    switch (control & kX87Precision) {
    case 0x0200:
        portable |= 0x10000;
        break; // 53 bits
    case 0x0000:
        portable |= 0x20000;
        break; // 24 bits
    default:
        break; // 64 bits, and the reserved 0x0100
    }
    if (control & kX87Infinity)
        portable |= kPortableInfinity;
    return portable;
}

std::uint32_t portableToX87Control(std::uint32_t portable) {
    std::uint32_t control = 0;
    for (const BitPair& pair : kExceptionBits)
        if (portable & pair.portable)
            control |= pair.x87;
    control |= (portable & kPortableRounding) << 2;
    switch (portable & kPortablePrecision) {
    case 0x00000:
        control |= 0x0300;
        break; // 64 bits
    case 0x10000:
        control |= 0x0200;
        break; // 53 bits
    default:
        break; // 24 bits, also for 0x30000
    }
    if (portable & kPortableInfinity)
        control |= kX87Infinity;
    return control;
}

std::uint32_t x87StatusToPortable(std::uint32_t status) {
    return exceptionsToPortable(status);
}

std::uint32_t setFloatControl(std::uint32_t value, std::uint32_t mask) {
    waitForX87();
    const std::uint32_t current = x87ControlToPortable(getX87ControlWord());
    const std::uint32_t updated = (value & mask) | (current & ~mask);
    loadX87ControlWord(portableToX87Control(updated));
    return updated;
}

std::uint32_t getFloatStatus() {
    waitForX87();
    return x87StatusToPortable(getX87StatusWord());
}

std::uint32_t takeFloatStatus() {
    return x87StatusToPortable(takeX87StatusWord());
}

std::int32_t isNanDouble(double value) {
    const auto bits = std::bit_cast<std::uint64_t>(value);
    return ((bits >> 52) & 0x7FF) == 0x7FF && (bits & 0xFFFFFFFFFFFFFull) != 0 ? 1 : 0;
}

std::int32_t isFiniteDouble(double value) {
    return ((std::bit_cast<std::uint64_t>(value) >> 52) & 0x7FF) == 0x7FF ? 0 : 1;
}

std::int32_t hasDenormalsAreZero() {
    struct alignas(16) FxsaveArea {
        unsigned char bytes[512];
    } area{};
    asm volatile("fxsave %0" : "+m"(area));
    std::uint32_t mxcsrMask;
    std::memcpy(&mxcsrMask, area.bytes + 28, sizeof mxcsrMask);
    return mxcsrMask != 0 && (mxcsrMask & kMxcsrDenormalsAreZero) ? 1 : 0;
}

std::uint64_t readTimeStampCounter() {
    return __rdtsc();
}

} // namespace trov::imaging
