#include "platform/draw/Snapshot.h"

#include "platform/WindowSystem.h"
#include "platform/draw/Blit.h"
#include "platform/draw/ImageFiles.h"
#include "platform/draw/WindowSurfaces.h"

namespace trov::platform::draw {

namespace {

// Lays the window's own pixels and then its visible children's at (x, y) of the destination.
void composeTree(Surface& dst, WindowHandle window, int x, int y) {
    WindowSystem& windows = WindowSystem::instance();
    if (auto surface = windowSurface(window))
        copyPixels(dst, dst.bounds(), x, y, surface->width(), surface->height(), *surface, 0, 0);
    for (WindowHandle child : windows.getChildren(window)) {
        if (!windows.isVisible(child))
            continue;
        const NativeRect r = windows.getRect(child);
        composeTree(dst, child, x + r.left, y + r.top);
    }
}

} // namespace

std::shared_ptr<Surface> snapshotWindow(WindowHandle window) {
    const auto own = windowSurface(window);
    if (!own)
        return nullptr;
    auto result = Surface::create(own->width(), own->height());
    if (!result)
        return nullptr;
    composeTree(*result, window, 0, 0);
    WindowSystem& windows = WindowSystem::instance();
    const NativeRect screen = windows.getScreenRect(window);
    for (WindowHandle popup : windows.ownedPopups(window)) {
        const NativeRect r = windows.getScreenRect(popup);
        auto layer = Surface::create(r.right - r.left, r.bottom - r.top);
        if (!layer)
            continue;
        composeTree(*layer, popup, 0, 0);
        const int alpha = windows.getLayeredAlpha(popup);
        const NativeRect to{r.left - screen.left, r.top - screen.top, r.right - screen.left,
                            r.bottom - screen.top};
        // A layered window with a constant alpha is an opaque picture seen through.
        blendPixels(*result, result->bounds(), to, *layer, layer->bounds(),
                    static_cast<std::uint8_t>(alpha < 0 ? 255 : alpha), false);
    }
    return result;
}

bool writeSnapshot(WindowHandle window, const std::string& path, const std::vector<PngText>& texts,
                   std::string* problem) {
    const auto snapshot = snapshotWindow(window);
    if (!snapshot && problem != nullptr)
        *problem = "the window has nothing painted to show";
    return snapshot && writePng(*snapshot, path, texts, problem);
}

} // namespace trov::platform::draw
