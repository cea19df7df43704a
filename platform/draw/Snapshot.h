#pragma once

#include "platform/WindowHandle.h"
#include "platform/draw/ImageFiles.h"
#include "platform/draw/Surface.h"

#include <memory>
#include <string>
#include <vector>

namespace trov::platform::draw {

// What the screen would show of a window: its surface with the surfaces of its visible children, and the
// visible popups it owns laid over it at their places, a layered one blended with its constant alpha.
// Null when the window has no surface. User-interface thread.
std::shared_ptr<Surface> snapshotWindow(WindowHandle window);
// The snapshot written as PNG with the text chunks (writePng); false without a surface or when the file
// cannot be written, with the reason in problem when one is given.
bool writeSnapshot(WindowHandle window, const std::string& path, const std::vector<PngText>& texts = {},
                   std::string* problem = nullptr);

} // namespace trov::platform::draw
