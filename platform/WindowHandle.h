#pragma once

#include <cstdint>

namespace trov::platform {

// Opaque native window handle of the in-process window system; 0 is no window.
using WindowHandle = std::uintptr_t;
constexpr WindowHandle kNoWindow = 0;

} // namespace trov::platform
