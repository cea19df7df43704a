#pragma once

// Drives an open editor the way a host and a user do, headless: the editor opened in a host frame of the
// in-process window system with the host view's 50 ms window timer on the manual clock, input through the
// window system's input driver in the editor's client coordinates, ticks of the timer (the editor paints
// then) and snapshots of what the screen shows. Fixtures derive from it and say which editor it drives.
#include "framework/WindowTimer.h"
#include "gui/Editor.h"
#include "platform/draw/Snapshot.h"
#include "support/WindowTestSupport.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace trov::test {

class EditorDriver : public WindowSystemTest {
protected:
    static constexpr unsigned kTickMs = 50;

    // The editor driven; null before one is made.
    virtual Editor* drivenEditor() const = 0;

    // Opens the editor at the top-left of a host frame placed away from the screen's corner, over its own
    // size (or the given area), with the host view's window timer.
    void open(const Rect& area = Rect()) {
        Editor* editor = drivenEditor();
        frame_ = make("host frame", 0, {100, 50, 1100, 850});
        editor->open(frame_, area.isEmpty() ? editor->getSize() : area);
        timer_ = std::make_unique<WindowTimer>(editor->getWindow(), kTickMs);
        flush();
    }
    // Stops the timer and closes the editor's window (the editor stays).
    void closeWindow() {
        timer_.reset();
        if (Editor* editor = drivenEditor())
            editor->close();
    }

    platform::NativePoint at(int x, int y) const {
        return driver.clientPoint(drivenEditor()->getEditorWindow()->getHandle(), x, y);
    }
    void move(int x, int y) {
        send([&] { driver.move(at(x, y)); });
    }
    void press(int x, int y) {
        send([&] { driver.press(at(x, y)); });
    }
    void release(int x, int y) {
        send([&] { driver.release(at(x, y)); });
    }
    void click(int x, int y) {
        send([&] { driver.click(at(x, y)); });
    }
    void rightClick(int x, int y) {
        send([&] { driver.click(at(x, y), platform::kRightButton); });
    }
    void wheel(int x, int y, int delta) {
        send([&] { driver.wheel(at(x, y), delta); });
    }
    // Press at the start, move in steps of at most 5 pixels, release at the end.
    void drag(int x0, int y0, int x1, int y1) {
        move(x0, y0);
        press(x0, y0);
        const int steps = std::max({1, std::abs(x1 - x0) / 5, std::abs(y1 - y0) / 5});
        for (int i = 1; i <= steps; ++i)
            move(x0 + (x1 - x0) * i / steps, y0 + (y1 - y0) * i / steps);
        release(x1, y1);
    }
    // The window timer's ticks: each applies deferred notifications and paints what is dirty.
    void tick(int periods = 1) { clock_.advance(kTickMs * static_cast<unsigned>(periods)); }
    // What the screen shows of the editor's window.
    std::shared_ptr<platform::draw::Surface> snapshot() const {
        return platform::draw::snapshotWindow(drivenEditor()->getEditorWindow()->getHandle());
    }

private:
    template <class Input> void send(Input input) {
        input();
        flush();
    }

    platform::WindowHandle frame_ = platform::kNoWindow;
    std::unique_ptr<WindowTimer> timer_;
};

} // namespace trov::test
