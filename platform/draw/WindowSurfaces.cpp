#include "platform/draw/WindowSurfaces.h"
#include "platform/LastingObjects.h"

#include <map>
#include <mutex>

namespace trov::platform::draw {

namespace {

struct Registry {
    std::mutex mutex;
    std::map<WindowHandle, std::shared_ptr<Surface>> surfaces;
};

Registry& registry() {
    // Kept to the end: windows of process-wide objects may go during their teardown.
    static auto* const instance = keepToTheEnd(new Registry);
    return *instance;
}

} // namespace

void attachWindowSurface(WindowHandle window, std::shared_ptr<Surface> surface) {
    if (window == kNoWindow)
        return;
    Registry& r = registry();
    std::lock_guard guard(r.mutex);
    if (surface)
        r.surfaces[window] = std::move(surface);
    else
        r.surfaces.erase(window);
}

void detachWindowSurface(WindowHandle window) {
    attachWindowSurface(window, nullptr);
}

std::shared_ptr<Surface> windowSurface(WindowHandle window) {
    Registry& r = registry();
    std::lock_guard guard(r.mutex);
    auto it = r.surfaces.find(window);
    return it != r.surfaces.end() ? it->second : nullptr;
}

std::unique_ptr<DrawContext> getWindowContext(WindowHandle window) {
    std::shared_ptr<Surface> surface = windowSurface(window);
    if (!surface)
        return nullptr;
    return std::make_unique<DrawContext>(std::move(surface));
}

} // namespace trov::platform::draw
