#pragma once

#include <cstddef>
#include <cstdint>

namespace trov::imaging {

// Row-buffer allocation shared by every implementation: blocks aligned to 32 bytes from the current
// RowHeap. Counts below 1, and counts whose byte size cannot be represented, give null.
// Any thread.
inline constexpr std::size_t kRowAlignment = 32;

std::int32_t* alignedAllocInt32(std::ptrdiff_t count);
std::uint8_t* alignedAllocBytes(std::ptrdiff_t count);
// Releases a block from either allocator; null is allowed.
void alignedFree(void* block);

} // namespace trov::imaging
