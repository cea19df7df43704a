#pragma once

#include <cstddef>

namespace trov::imaging {

// The table of kernel pointers through which the SIMD drivers find their kernels by index, so that one
// driver serves every mask kind, data kind and channel code. 552 slots; a slot holds a kernel of the
// family its array belongs to (called only through that family's argument list) or null. Copy 1 is read
// by variant 4, copy 2 by variant 3; both hold the same kernels. Read-only; any thread.
using KernelSlot = void (*)();

inline constexpr std::size_t kKernelTableSlots = 552;

struct KernelTable {
    KernelSlot slots[kKernelTableSlots];
};

const KernelTable& kernelTableCopy1();
const KernelTable& kernelTableCopy2();

// Where the arrays the drivers index begin: slot = start + position.
inline constexpr std::size_t kRowArray5x5 = 0; // positions 1-33: 8 x data kind + 4 x mask kind + channel code
inline constexpr std::size_t kColumnArray5x5 = 41; // positions 0-16: 4 x data kind + 2 x mask kind + code / 4
inline constexpr std::size_t kVerticalArray3x3 = 273; // positions 0-8: box and Gaussian member per data kind
inline constexpr std::size_t kHorizontalArray3x3 = 282; // positions 0-11: 4 x data kind + channel code - 1

// Repeats of those arrays elsewhere in the table, read by no driver.
inline constexpr std::size_t kVerticalArrayRepeat = 110;
inline constexpr std::size_t kHorizontalArrayRepeat = 134;
inline constexpr std::size_t kRowArrayRepeat = 344;
inline constexpr std::size_t kColumnArrayRepeat = 385;

} // namespace trov::imaging
