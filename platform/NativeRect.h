#pragma once

#include <cstdint>

namespace trov::platform {

// The window system's rectangle, edge for edge.
struct NativeRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};

} // namespace trov::platform
