#include "platform/SystemInfo.h"

#include <cstdio>
#include <sys/utsname.h>
#include <thread>
#include <xmmintrin.h>

namespace trov::platform {

bool kernelVersion(int& major, int& minor) {
    utsname name{};
    if (uname(&name) != 0)
        return false;
    return std::sscanf(name.release, "%d.%d", &major, &minor) == 2;
}

int processorCount() {
    const unsigned count = std::thread::hardware_concurrency();
    return count > 0 ? static_cast<int>(count) : 1;
}

void enableFlushToZero() {
    _mm_setcsr(_mm_getcsr() | 0x8040u);
}

} // namespace trov::platform
