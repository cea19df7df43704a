#pragma once

// A window of the in-process window system with a surface of its own, for canvases to draw on.
#include "gui/CanvasWindow.h"
#include "platform/EventLoop.h"
#include "platform/draw/DrawContext.h"
#include "platform/draw/WindowSurfaces.h"

#include <memory>

namespace trov::test {

class CanvasTestWindow : public CanvasWindow {
public:
    // keepsContext: the window holds a drawing context for its whole life; withSurface: it shows pixels.
    CanvasTestWindow(const Rect& bounds, bool keepsContext, bool withSurface = true)
        : handle_(platform::EventLoop::instance().createWindow([](const platform::EventLoop::Event&) {})),
          bounds_(bounds) {
        if (withSurface) {
            surface_ = platform::draw::Surface::create(bounds.getWidth(), bounds.getHeight());
            platform::draw::attachWindowSurface(handle_, surface_);
        }
        if (keepsContext && surface_)
            context_ = std::make_unique<platform::draw::DrawContext>(surface_);
    }
    ~CanvasTestWindow() override {
        platform::draw::detachWindowSurface(handle_);
        platform::EventLoop::instance().destroyWindow(handle_);
    }
    CanvasTestWindow(const CanvasTestWindow&) = delete;
    CanvasTestWindow& operator=(const CanvasTestWindow&) = delete;

    platform::WindowHandle getHandle() const override { return handle_; }
    Rect getBounds() const override { return bounds_; }
    platform::draw::DrawContext* getDC() const override { return context_.get(); }
    platform::draw::Surface& surface() { return *surface_; }

private:
    platform::WindowHandle handle_;
    Rect bounds_;
    std::shared_ptr<platform::draw::Surface> surface_;
    std::unique_ptr<platform::draw::DrawContext> context_;
};

} // namespace trov::test
