#pragma once

// An open editor driven as a user drives it: input through the window system's input driver in the
// editor's client coordinates, the editor's 50 ms window timer on the manual clock, and what the screen
// shows. The fixture that makes the editor (`EditorHarness` over the test product, the instrument's
// harness over the real instrument) derives from it and sets `editor`.
#include "framework/WindowTimer.h"
#include "gui/Editor.h"
#include "platform/draw/Snapshot.h"
#include "support/WindowTestSupport.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace trov::test {

class EditorDriving : public WindowSystemTest {
protected:
    static constexpr unsigned kTickMs = 50;

    // The deriving fixture closes and lets go of its editor before its own world goes.
    ~EditorDriving() override { close(); }

    // Opens the editor at the top-left of a host frame placed away from the screen's corner, over its own
    // size (or the given area), with the host view's window timer.
    void open(const Rect& area = Rect()) {
        frame_ = make("host frame", 0, {100, 50, 1100, 850});
        editor->open(frame_, area.isEmpty() ? editor->getSize() : area);
        timer_ = std::make_unique<WindowTimer>(editor->getWindow(), kTickMs);
        flush();
    }
    // Closes the editor (when one is open) and stops its timer.
    virtual void close() {
        timer_.reset();
        if (editor != nullptr)
            editor->close();
    }

    platform::NativePoint at(int x, int y) const {
        return driver.clientPoint(editor->getEditorWindow()->getHandle(), x, y);
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
        return platform::draw::snapshotWindow(editor->getEditorWindow()->getHandle());
    }

    std::unique_ptr<Editor> editor;

private:
    template <class Input> void send(Input input) {
        input();
        flush();
    }

    platform::WindowHandle frame_ = platform::kNoWindow;
    std::unique_ptr<WindowTimer> timer_;
};

} // namespace trov::test
