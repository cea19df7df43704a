#pragma once

#include "platform/WindowHandle.h"
#include "platform/draw/DrawContext.h"
#include "platform/draw/Surface.h"

#include <memory>

namespace trov::platform::draw {

// The pixels of the windows of the in-process window system: a window that shows anything has a surface,
// which its owner attaches when it creates the window (and again when it resizes it) and detaches when it
// destroys it. Fetching a window's drawing context (the window system's "get the window's context") gives a
// fresh context over that surface. Any thread; the surfaces themselves are drawn on one thread at a time.

void attachWindowSurface(WindowHandle window, std::shared_ptr<Surface> surface);
void detachWindowSurface(WindowHandle window);
// Null when the window has no surface.
std::shared_ptr<Surface> windowSurface(WindowHandle window);
// A new context over the window's surface; null when the window has none.
std::unique_ptr<DrawContext> getWindowContext(WindowHandle window);

} // namespace trov::platform::draw
