#pragma once

#include <cstdint>

namespace trov::imaging {

// Result of every smoothing operation: 0 is success, negative values are errors, positive values are
// reports of the processor set-up. Plain value type; any thread.
enum class FilterStatus : std::int32_t {
    Ok = 0,
    BadSize = -6,
    NullPointer = -8,
    NoMemory = -9,
    BadStep = -14,
    BadMask = -33,
    ProcessorNotRecognised = 20,
    UnknownProcessorCode = 21,
};

} // namespace trov::imaging
