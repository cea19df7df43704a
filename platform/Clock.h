#pragma once

namespace trov::platform {

// Seconds on the monotonic clock (CLOCK_MONOTONIC), at nanosecond resolution.
double monotonicSeconds();
void sleepMilliseconds(unsigned milliseconds);

} // namespace trov::platform
