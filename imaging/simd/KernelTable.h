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

// The kernels of the further filters, read by no driver; a caller driving one of these filters picks its
// passes here.
// Three-tap passes: position 8 x data kind + 4 x weights (0: 1-1-1, 1: 1-2-1) + channel code (1-24), then
// the 3x3 high-pass passes at 24 + 4 x data kind + channel code (25-41). Repeated from slot 297.
inline constexpr std::size_t kThreeTapArray = 64;
// Difference passes: twelve horizontal (4 x data kind + channel code - 1), then vertical for 8u, 16s, 32f.
inline constexpr std::size_t kDifferenceBlock = 119;
// Sharpening and 3x3 mean passes: 4 x data kind + channel code - 1.
inline constexpr std::size_t kSharpenBlock = 146;
inline constexpr std::size_t kMean3Block = 158;
// Scharr x derivative: vertical 32f, 8u, 8s, then horizontal for each; the y derivative's six follow.
inline constexpr std::size_t kScharrBlock = 170;
// Derivatives: groups of five derivative kinds, 3x3 (vertical passes for 8u, 8s, 32f sources, then
// horizontal passes) and 5x5 (row kernels, then column kernels).
inline constexpr std::size_t kDerivative3Block = 182;
inline constexpr std::size_t kDerivative5Block = 212;
// 5x5 box-type filters: initial column sums (8u, 16s, 32f), high-pass passes (4 x data kind + channel
// code - 1), window updates, mean passes.
inline constexpr std::size_t kBox5Block = 242;
inline constexpr std::size_t kBox5HighpassStart = 245;
inline constexpr std::size_t kBox5UpdateStart = 257;
inline constexpr std::size_t kMean5Block = 260;

} // namespace trov::imaging
