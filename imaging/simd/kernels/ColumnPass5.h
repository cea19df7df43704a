#pragma once

// The shared shape of the 5x5 column kernels: destination row y from five 16-byte aligned intermediate
// rows, element by element. Internal to imaging/simd/kernels.

#include "imaging/simd/kernels/LaneOps.h"

namespace trov::imaging::simd {

// The five rows, top to bottom.
struct FiveRows {
    const unsigned char* row[5];

    // Elements i onwards of row r, a whole aligned block.
    template <std::size_t ElementSize> __m128i load(int r, std::ptrdiff_t i) const {
        return loadAligned(row[r] + i * static_cast<std::ptrdiff_t>(ElementSize));
    }
    // The same, reading only `count` elements when fewer than a block are left (zeros above them).
    template <std::size_t ElementSize> __m128i loadUpTo(int r, std::ptrdiff_t i, std::ptrdiff_t count) const {
        if (count * static_cast<std::ptrdiff_t>(ElementSize) >= 16)
            return load<ElementSize>(r, i);
        return loadExact(row[r] + i * static_cast<std::ptrdiff_t>(ElementSize),
                         static_cast<std::size_t>(count) * ElementSize);
    }
};

// Kind::block(rows, i, count) gives the destination block of elements i onwards, of which count are
// written; Kind::kOut is the destination element size.
template <class Kind, bool KeepAlpha>
void columnPass(const void* r0, const void* r1, const void* r2, const void* r3, const void* r4, void* dst,
                std::ptrdiff_t n) {
    const FiveRows rows{{static_cast<const unsigned char*>(r0), static_cast<const unsigned char*>(r1),
                         static_cast<const unsigned char*>(r2), static_cast<const unsigned char*>(r3),
                         static_cast<const unsigned char*>(r4)}};
    auto block = [&rows](std::ptrdiff_t i, std::ptrdiff_t count) { return Kind::block(rows, i, count); };
    if constexpr (KeepAlpha)
        writeRowKeepAlpha<Kind::kOut>(dst, n, block);
    else
        writeRow<Kind::kOut>(dst, n, block);
}

} // namespace trov::imaging::simd

// One named column kernel.
#define TROV_COLUMN_KERNEL(name, Kind, keepAlpha)                                                            \
    void name(const void* r0, const void* r1, const void* r2, const void* r3, const void* r4, void* dst,     \
              std::ptrdiff_t n) {                                                                            \
        simd::columnPass<Kind, keepAlpha>(r0, r1, r2, r3, r4, dst, n);                                       \
    }
