#pragma once

#include "platform/ClockService.h"
#include "platform/EventLoop.h"
#include "platform/NativeRect.h"
#include "platform/WindowEvents.h"
#include "platform/WindowHandle.h"

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace trov::platform {

// The in-process window system over the event loop: window classes, a tree of windows (children inside
// their parent, popups over everything, owned by another window) with rectangles, visibility, enabled
// state and layered alpha; the keyboard focus, the mouse capture, mouse-leave tracking, double-click
// synthesis, invalidation and paint. Windows take their events through the event loop (`WindowEvent`),
// window timers are the loop's own. Nothing here draws: the drawing layer keeps the windows' pixels.
//
// Input arrives as raw events posted to the system's own window (see `InputDriver`); `routeInput` turns
// each into window events when it is taken from the queue: mouse events go to the capture window or the
// window under the pointer (nothing to a disabled one), keys to the focus window. A press in another
// top-level window than the focus's gives that top-level window the focus first.
//
// One thread, the user-interface thread that pumps the loop, creates and destroys windows, moves the focus
// and routes input; handlers run on it, and during a handler anything here may be changed. Reading the
// tree and invalidating are safe from any thread.
class WindowSystem {
public:
    // Window styles.
    static constexpr unsigned kChild = 0x1;
    static constexpr unsigned kPopup = 0x2;
    static constexpr unsigned kVisible = 0x4;
    static constexpr unsigned kDisabled = 0x8;
    // Class style: presses of one button, close in time and place, make a double click.
    static constexpr unsigned kClassDoubleClicks = 0x0008;
    // Two presses at most this far apart (ms, screen pixels each way) make a double click.
    static constexpr unsigned kDoubleClickMs = 500;
    static constexpr int kDoubleClickDistance = 2;

    struct CreateParams {
        std::string className;
        std::string title;
        unsigned style = 0;
        // A child's rectangle is in its parent's client coordinates; any other window's on the screen.
        NativeRect rect;
        // The parent of a child, the owner of a popup or top-level window.
        WindowHandle parent = kNoWindow;
        std::uintptr_t createParam = 0;
    };

    explicit WindowSystem(EventLoop& loop);
    ~WindowSystem();
    WindowSystem(const WindowSystem&) = delete;
    WindowSystem& operator=(const WindowSystem&) = delete;

    // The system over the process-wide loop; lives until the process ends.
    static WindowSystem& instance();
    EventLoop& loop() { return loop_; }

    // Classes. "EDIT" and "STATIC" are registered from the start. Registering a name again fails;
    // unregistering fails for an unknown name or while windows of the class live.
    bool registerClass(const std::string& name, unsigned classStyle);
    bool unregisterClass(const std::string& name);
    bool isClassRegistered(const std::string& name) const;

    // Creates the window (none for an unknown class or a child without a live parent) and sends it
    // kCreate before returning. Later windows lie above earlier ones.
    WindowHandle createWindow(const CreateParams& params, EventLoop::Handler handler);
    // Destroys the window, its children and the windows it owns, each receiving kDestroy (owned and
    // children first). Focus and capture held by one of them are dropped.
    void destroyWindow(WindowHandle window);
    bool isWindow(WindowHandle window) const;

    WindowHandle getParent(WindowHandle window) const;
    WindowHandle getOwner(WindowHandle window) const;
    // The outermost ancestor through parents (not owners).
    WindowHandle getRoot(WindowHandle window) const;
    std::string getClassName(WindowHandle window) const;
    std::string getText(WindowHandle window) const;
    void setText(WindowHandle window, const std::string& text);
    std::uintptr_t getUserData(WindowHandle window) const;
    void setUserData(WindowHandle window, std::uintptr_t data);

    // Geometry: the window has no frame, so its client area is all of it.
    void setRect(WindowHandle window, const NativeRect& rect);
    // As given: in the parent's client coordinates for a child.
    NativeRect getRect(WindowHandle window) const;
    NativeRect getScreenRect(WindowHandle window) const;
    NativeRect getClientRect(WindowHandle window) const;
    NativePoint clientToScreen(WindowHandle window, NativePoint p) const;
    NativePoint screenToClient(WindowHandle window, NativePoint p) const;
    // The deepest visible window whose rectangle holds the screen point, or none.
    WindowHandle windowFromPoint(NativePoint p) const;

    void show(WindowHandle window, bool visible);
    // Shown, with every parent shown.
    bool isVisible(WindowHandle window) const;
    void enable(WindowHandle window, bool enabled);
    bool isEnabled(WindowHandle window) const;
    // Layered windows are blended over what lies under them with a constant alpha.
    void setLayeredAlpha(WindowHandle window, std::uint8_t alpha);
    // -1 for a window that is not layered.
    int getLayeredAlpha(WindowHandle window) const;
    // Popups shown and owned (directly or through their owners) by the window or one of its descendants,
    // bottom to top.
    std::vector<WindowHandle> ownedPopups(WindowHandle window) const;
    std::vector<WindowHandle> getChildren(WindowHandle window) const;

    // Returns the window that had the focus. Moving the focus sends kKillFocus to the old window and
    // kSetFocus to the new one; a disabled or unknown window does not take it.
    WindowHandle setFocus(WindowHandle window);
    WindowHandle getFocus() const;
    WindowHandle setCapture(WindowHandle window);
    void releaseCapture();
    WindowHandle getCapture() const;
    // Asks for one kMouseLeave when the pointer leaves the window; at once when it is not over the window
    // now. A window holding the capture is left only when it lets the capture go.
    void trackMouseLeave(WindowHandle window);
    NativePoint getPointer() const;

    // Adds the rectangle (client coordinates; null for the whole window) to the update rectangle and
    // posts one kPaint while the window has an update rectangle.
    void invalidate(WindowHandle window, const NativeRect* rect);
    // False when the update rectangle is empty.
    bool getUpdateRect(WindowHandle window, NativeRect* rect) const;
    // Null validates everything; a rectangle clears the update rectangle when it covers it.
    void validate(WindowHandle window, const NativeRect* rect);

    // What a window does with an event it does not handle itself. An "EDIT" window edits its text here:
    // typed characters replace the selection or go in at the caret up to the text limit, Backspace and
    // Delete remove, the arrows, Home and End move the caret.
    void defaultProcessing(const EventLoop::Event& event);

    // The edit field's limit in characters (text set through `setText` is not cut).
    void setTextLimit(WindowHandle window, std::size_t limit);
    // Selects [start, end) of the text; -1 as end selects to the end. The caret is at the end.
    void setSelection(WindowHandle window, int start, int end);
    std::pair<std::size_t, std::size_t> getSelection(WindowHandle window) const;

    // Input: raw events posted to the system's window (`InputEvent`).
    WindowHandle inputWindow() const { return inputWindow_; }
    bool isInput(const EventLoop::Event& event) const {
        return event.window == inputWindow_ && event.code >= InputEvent::kMouseMove &&
               event.code <= InputEvent::kKey;
    }
    // Updates the pointer position and the key states (platform/Shell.h) from a raw event, without routing
    // it: what a loop that takes all input (dragging) needs.
    void applyInputState(const EventLoop::Event& raw);
    // Applies the state and delivers the event to its window.
    void routeInput(const EventLoop::Event& raw);

private:
    struct Record {
        std::string className;
        std::string title;
        unsigned style = 0;
        WindowHandle parent = kNoWindow;
        WindowHandle owner = kNoWindow;
        NativeRect rect;
        std::uintptr_t userData = 0;
        int alpha = -1;
        NativeRect update{};
        bool paintPending = false;
        bool trackingLeave = false;
        std::size_t textLimit = 30000;
        std::size_t selectionStart = 0;
        std::size_t selectionEnd = 0;
        std::uint64_t order = 0; // creation order: later windows lie above
    };
    struct ClassInfo {
        unsigned style = 0;
    };
    struct LastPress {
        WindowHandle window = kNoWindow;
        std::uintptr_t button = 0;
        ClockTime time{};
        NativePoint point;
        bool armed = false;
    };

    const Record* find(WindowHandle window) const;
    NativePoint originLocked(WindowHandle window) const;
    bool containsLocked(WindowHandle window, NativePoint screen) const;
    WindowHandle hitLocked(WindowHandle window, NativePoint screen) const;
    bool inputEnabledLocked(WindowHandle window) const;
    void collectDoomed(WindowHandle window, std::vector<WindowHandle>& doomed) const;
    // Posts the leave notices that the pointer's position (or a released capture) calls for.
    void checkLeaves();
    void send(WindowHandle window, std::uint32_t code, std::uintptr_t param, std::intptr_t data);
    void routeMouse(const EventLoop::Event& raw);
    void routeKey(const EventLoop::Event& raw);
    void editKey(WindowHandle window, std::uint32_t code, std::uintptr_t param);
    std::uintptr_t mouseFlags() const;

    EventLoop& loop_;
    mutable std::recursive_mutex mutex_;
    std::map<WindowHandle, Record> windows_;
    std::map<std::string, ClassInfo> classes_;
    WindowHandle inputWindow_ = kNoWindow;
    WindowHandle focus_ = kNoWindow;
    WindowHandle capture_ = kNoWindow;
    NativePoint pointer_{-30000, -30000};
    LastPress lastPress_;
    std::uint64_t nextOrder_ = 0;
};

} // namespace trov::platform
