#pragma once

#include "platform/WindowHandle.h"

#include <cstdint>

namespace trov {

class NativeWindow;

// The window timer of an editor window: while it lives, the window's event handler receives a timer
// event with `kTimerId` every period, on the user-interface thread that pumps the event loop.
// Created and destroyed on the user-interface thread.
class WindowTimer {
public:
    static constexpr std::uintptr_t kTimerId = 275;

    WindowTimer(const NativeWindow* window, unsigned periodMs);
    WindowTimer(const WindowTimer&) = delete;
    WindowTimer& operator=(const WindowTimer&) = delete;
    virtual ~WindowTimer();

    // `kTimerId`, or 0 when the window had no native handle or the timer could not be set.
    std::uintptr_t getId() const { return id_; }

private:
    platform::WindowHandle window_;
    std::uintptr_t id_;
};

} // namespace trov
