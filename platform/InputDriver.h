#pragma once

#include "platform/WindowSystem.h"

#include <string>

namespace trov::platform {

// Scripted user input for tests (and a host stand-in): posts raw mouse and key events to the window
// system, which routes each as it is taken from the queue, exactly as a modal loop or the pump takes it.
// Points are on the screen; `clientPoint` converts from a window's client coordinates. Typing maps each
// character to a press of the key that types it (with Shift where the US layout needs it) and its release.
// Posting is safe from any thread; `flush` pumps on the calling (user-interface) thread.
class InputDriver {
public:
    explicit InputDriver(WindowSystem& windows = WindowSystem::instance()) : windows_(windows) {}

    NativePoint clientPoint(WindowHandle window, int x, int y) const {
        return windows_.clientToScreen(window, {x, y});
    }

    void move(NativePoint p);
    void press(NativePoint p, MouseButton button = kLeftButton);
    void release(NativePoint p, MouseButton button = kLeftButton);
    void click(NativePoint p, MouseButton button = kLeftButton);
    void doubleClick(NativePoint p, MouseButton button = kLeftButton);
    // A notch is 120; positive turns away from the user.
    void wheel(NativePoint p, int delta);
    // A key press (typing the character, 0 for none) or release.
    void key(int virtualKey, bool down, char character = '\0');
    // Press and release.
    void tap(int virtualKey, char character = '\0');
    void type(const std::string& text);

    // Pumps until nothing is queued; the number of events delivered.
    std::size_t flush();

    // The key that types the character on a US layout, and whether Shift is needed.
    static int virtualKeyFor(char character, bool& shift);

private:
    void post(std::uint32_t code, std::uintptr_t param, NativePoint p);

    WindowSystem& windows_;
};

} // namespace trov::platform
