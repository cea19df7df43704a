#pragma once

// The process-wide window system put back in order around a test: an empty queue, no focus, capture or
// held keys, a manual clock, and windows recorded and destroyed at the end.
#include "platform/ClockService.h"
#include "platform/InputDriver.h"
#include "platform/Shell.h"
#include "platform/WindowSystem.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace trov::test {

class WindowSystemTest : public ::testing::Test {
protected:
    using Event = platform::EventLoop::Event;

    WindowSystemTest() : installed_(clock_) { reset(); }
    ~WindowSystemTest() override {
        for (auto it = made_.rbegin(); it != made_.rend(); ++it)
            windows().destroyWindow(*it);
        reset();
    }

    static platform::WindowSystem& windows() { return platform::WindowSystem::instance(); }

    // A window recording every event it takes (with default processing after).
    platform::WindowHandle make(const std::string& cls, unsigned style, platform::NativeRect rect,
                                platform::WindowHandle parent = platform::kNoWindow) {
        if (!windows().isClassRegistered(cls))
            windows().registerClass(cls, platform::WindowSystem::kClassDoubleClicks);
        platform::WindowSystem::CreateParams params;
        params.className = cls;
        params.style = style | platform::WindowSystem::kVisible;
        params.rect = rect;
        params.parent = parent;
        const auto window = windows().createWindow(params, [this](const Event& event) {
            events.push_back(event);
            if (probeHandler)
                probeHandler(event);
            windows().defaultProcessing(event);
        });
        made_.push_back(window);
        return window;
    }

    std::vector<std::uint32_t> codesFor(platform::WindowHandle window) const {
        std::vector<std::uint32_t> codes;
        for (const Event& event : events)
            if (event.window == window)
                codes.push_back(event.code);
        return codes;
    }

    void flush() { driver.flush(); }

    platform::ManualClock clock_;
    std::vector<Event> events;
    platform::InputDriver driver;
    // Called for every event of the windows made here, after it is recorded.
    std::function<void(const Event&)> probeHandler;

private:
    void reset() {
        while (windows().loop().pump() != 0) {
        }
        platform::EventLoop::Event drained;
        while (windows().loop().takeEvent(drained)) {
        }
        windows().releaseCapture();
        windows().setFocus(platform::kNoWindow);
        platform::clearKeyStates();
    }

    platform::ScopedClock installed_;
    std::vector<platform::WindowHandle> made_;
};

} // namespace trov::test
