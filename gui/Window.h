#pragma once

#include "framework/Rect.h"
#include "gui/CanvasWindow.h"
#include "platform/WindowHandle.h"

#include <cstdint>
#include <memory>
#include <string>

namespace trov {

class WindowMessage;

namespace platform::draw {
class DrawContext;
class Surface;
} // namespace platform::draw

// What the editor's window hands its events to: window messages, the rectangles a paint asks for, and the
// window timer's ticks. The editor implements it. User-interface thread.
class WindowTarget {
public:
    virtual ~WindowTarget() = default;
    // The target's answer (handled or not); the window does not use it.
    virtual bool receiveWindowMessage(const WindowMessage& message) = 0;
    virtual void addDirtyRect(const Rect& r) = 0;
    virtual void idle() = 0;
};

// The editor's native child window inside the host's frame: it registers the window class (one per
// product, shared by every open editor, removed with the last one), creates the window with a surface
// and keeps one drawing context over it for the canvas, and turns the window system's mouse, key, focus,
// paint, timer and owner-drawn menu events into window messages and calls on its target.
//
// Key presses become message 3024 whose three data words are the key record: the typed character (0 for a
// key that types none, such as an arrow), the virtual-key code, and the modifier keys (`KeyModifiers` of
// the window system). Points are in client coordinates, the wheel's too.
//
// Made and deleted by the editor on the user-interface thread; events arrive there. Clearing the target
// (`setTarget(nullptr)`) makes later events take the window system's default processing.
class Window : public CanvasWindow {
public:
    // Key record words of message 3024.
    static constexpr int kKeyCharacter = 0;
    static constexpr int kKeyVirtualCode = 1;
    static constexpr int kKeyModifiers = 2;

    // parent: the host's window (none: a top-level window, for tools and tests).
    Window(platform::WindowHandle parent, const Rect& bounds, WindowTarget* target);
    ~Window() override;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    platform::WindowHandle getHandle() const override { return handle_; }
    platform::draw::DrawContext* getDC() const override { return context_.get(); }
    Rect getBounds() const override { return bounds_; }
    void setTarget(WindowTarget* target);
    // The client area on the screen; the zero rectangle without a window.
    Rect getClientScreenRect() const;
    // The keyboard focus is on this window or its parent.
    bool hasFocus() const;
    // Enables or disables input to the window (a modal entry over it disables it).
    void enable(bool enabled);
    // Asks for one more leave notice (message 3008) when the pointer leaves the window.
    void trackMouseLeave();

    // "<maker> <product>" of the registered product.
    static std::string className();
    // Windows of the class alive now.
    static int liveCount();

private:
    void handle(std::uint32_t code, std::uintptr_t param, std::intptr_t data);
    bool send(std::int32_t code, std::int32_t x, std::int32_t y, std::uintptr_t extra);

    platform::WindowHandle parent_;
    platform::WindowHandle handle_;
    Rect bounds_;
    std::string className_;
    WindowTarget* target_ = nullptr;
    std::shared_ptr<platform::draw::Surface> surface_;
    std::unique_ptr<platform::draw::DrawContext> context_;
};

} // namespace trov
