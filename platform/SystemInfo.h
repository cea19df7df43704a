#pragma once

namespace trov::platform {

// The running kernel's version numbers; false when they cannot be read.
bool kernelVersion(int& major, int& minor);
int processorCount();
// Sets flush-to-zero and denormals-are-zero in the calling thread's SSE control register.
void enableFlushToZero();

} // namespace trov::platform
