#pragma once

#include "platform/WindowHandle.h"

namespace trov {

// A window that owns a native handle: the owner of message boxes and dialogs, the target of window timers.
class NativeWindow {
public:
    virtual ~NativeWindow() = default;
    virtual platform::WindowHandle getHandle() const = 0;
};

inline platform::WindowHandle handleOf(const NativeWindow* window) {
    return window ? window->getHandle() : platform::kNoWindow;
}

} // namespace trov
