#pragma once

#include <cstdint>

namespace trov::imaging {

// The calling thread's floating-point environment: the SSE control register MXCSR and the x87 control
// and status words, plus conversions between the x87 words and a portable layout. Each routine acts on
// the calling thread only.

// MXCSR fields.
inline constexpr std::uint32_t kMxcsrRoundingField = 0x6000; // 0 nearest, 0x2000 down, 0x4000 up, 0x6000 zero
inline constexpr std::uint32_t kMxcsrExceptionMasks = 0x1F80;
inline constexpr std::uint32_t kMxcsrDenormalsAreZero = 0x0040;

// MXCSR becomes (old & ~mask) | (value & mask); returns the old MXCSR.
std::uint32_t setMxcsrBits(std::uint32_t value, std::uint32_t mask);
std::uint32_t getMxcsr();
// Loads 0x1F80 (all exceptions masked, round to nearest, no flush-to-zero or denormals-are-zero);
// returns the old MXCSR.
std::uint32_t resetMxcsr();
void loadMxcsr(std::uint32_t value);
// Sets the rounding field (bits 13 and 14) to `rounding` & 0x6000 only when it differs.
void changeMxcsrRounding(std::uint32_t rounding);

// The x87 control word becomes (old & ~mask) | (value & mask); returns the old 16-bit word.
std::uint32_t setX87ControlBits(std::uint32_t value, std::uint32_t mask);
// The same, loading the word only when the masked bits differ from the value.
void changeX87ControlBits(std::uint32_t value, std::uint32_t mask);
std::uint32_t getX87ControlWord();
void loadX87ControlWord(std::uint32_t word);
// The status word without waiting for pending x87 operations.
std::uint32_t getX87StatusWord();
// The status word, then the x87 exception flags are cleared.
std::uint32_t takeX87StatusWord();

// Portable layout: exception masks invalid 0x10, divide-by-zero 0x08, overflow 0x04, underflow 0x02,
// inexact 0x01, denormal operand 0x80000; rounding field 0x300 (nearest, down, up, toward zero);
// precision field 0x30000 (64, 53, 24 bits); affine infinity 0x40000.
std::uint32_t x87ControlToPortable(std::uint32_t control);
std::uint32_t portableToX87Control(std::uint32_t portable);
std::uint32_t x87StatusToPortable(std::uint32_t status);
// Waits for pending x87 operations, replaces the masked portable bits of the control word and returns
// the new portable word.
std::uint32_t setFloatControl(std::uint32_t value, std::uint32_t mask);
// Waits for pending x87 operations; the status word in the portable layout.
std::uint32_t getFloatStatus();
// The status word in the portable layout, then the x87 exception flags are cleared.
std::uint32_t takeFloatStatus();

std::int32_t isNanDouble(double value);
std::int32_t isFiniteDouble(double value);
// 1 when the processor supports the denormals-are-zero bit of MXCSR (FXSAVE's MXCSR mask has bit 6).
std::int32_t hasDenormalsAreZero();

std::uint64_t readTimeStampCounter();

} // namespace trov::imaging
