// Incremental painting: the dirty list, the tick that repaints it from the frame's tree into the canvas,
// and whole paints.
#include "engine/zones/Resources.h"
#include "framework/CPUMeter.h"
#include "framework/StationEnvironment.h"
#include "gui/Canvas.h"
#include "gui/Editor.h"
#include "gui/InfoLine.h"
#include "gui/controls/ControlDebugInfo.h"
#include "platform/draw/Snapshot.h"

namespace trov {

void Editor::addDirtyRect(const Rect& r) {
    if (!isOpen() || r.isEmpty())
        return;
    Rect pending = r;
    std::lock_guard guard(dirtyMutex_);
    for (auto it = dirtyRects_.begin(); it != dirtyRects_.end() && !pending.isEmpty();) {
        if (it->contains(pending)) {
            pending = Rect();
        } else if (pending.contains(*it)) {
            it = dirtyRects_.erase(it);
            continue;
        }
        ++it;
    }
    if (!pending.isEmpty())
        dirtyRects_.push_back(pending);
    dirtyCount_.store(dirtyRects_.size(), std::memory_order_release);
}

std::vector<Rect> Editor::getDirtyRects() const {
    std::lock_guard guard(dirtyMutex_);
    return dirtyRects_;
}

void Editor::invalidate(const Rect& r) {
    if (isOpen() && !r.isEmpty())
        addDirtyRect(r);
}

void Editor::invalidateAll() {
    invalidate(getSize());
}

void Editor::applyDeferredWork() {
    if (deferredWork_.exchange(0, std::memory_order_acq_rel) == 0)
        return;
    storeDeferredEdits();
    // The frame may be a debug panel that is not in the list; its tree holds the background's. The info
    // line is the editor's own.
    if (frame_ != nullptr)
        frame_->applyDeferredWork();
    if (auto* line = dynamic_cast<Control*>(infoLine_.get()))
        line->applyDeferredWork();
    for (Control* control : controls_)
        if (control->getParent() == nullptr && control != frame_)
            control->applyDeferredWork();
}

std::string Editor::getMissingSkins() const {
    const StationEnvironment* environment = getStationEnvironment();
    Resources* resources = environment != nullptr ? environment->getResources() : nullptr;
    const std::vector<std::string> unloaded =
        resources != nullptr ? resources->getUnloadedBitmapFiles() : std::vector<std::string>();
    if (unloaded.empty())
        return std::string();
    // Named by file within their folder, which is most often the one that is missing.
    const std::string folder = File(unloaded.front()).getFolder().getPath();
    std::string names;
    for (const std::string& skin : unloaded) {
        const File file(skin);
        names += (names.empty() ? "" : ", ") + (file.getFolder().getPath() == folder ? file.getName() : skin);
    }
    return std::to_string(unloaded.size()) + " of its skins did not load from " + folder + ": " + names;
}

bool Editor::writeImage(const std::string& path, const std::string& keyword, const std::string& text,
                        std::string& problem) {
    const Window* window = getEditorWindow();
    if (window == nullptr)
        return false;
    if (isSpecificationUnreadable()) {
        problem = unreadSpecification_;
        return false;
    }
    problem = getMissingSkins();
    if (!problem.empty())
        return false;
    std::vector<platform::draw::PngText> texts;
    if (!keyword.empty())
        texts.push_back({keyword, text});
    return platform::draw::writeSnapshot(window->getHandle(), path, texts, &problem);
}

void Editor::idle() {
    if (getEditorWindow() == nullptr)
        return;
    applyDeferredWork();
    if (dirtyCount_.load(std::memory_order_acquire) != 0)
        redraw(Rect());
}

void Editor::redraw(const Rect& r) {
    Canvas* canvas = getCanvas();
    if (canvas == nullptr)
        return;
    std::lock_guard redrawing(redrawMutex_);
    CPUMeter* meter = debugInfo_ != nullptr ? debugInfo_->getMeter(ControlDebugInfo::kEditor) : nullptr;
    if (meter != nullptr)
        meter->beginCycle();
    if (!r.isEmpty()) {
        paint(canvas, r);
    } else {
        std::vector<Rect> rects;
        {
            std::lock_guard guard(dirtyMutex_);
            rects.swap(dirtyRects_);
            dirtyRects_.reserve(rects.capacity());
            dirtyCount_.store(0, std::memory_order_release);
        }
        if (!rects.empty()) {
            Rect united;
            for (const Rect& rect : rects)
                united = united.unite(rect);
            std::size_t meeting = 0;
            for (Control* control : controls_)
                if (control->getAbsoluteRect().intersects(united))
                    ++meeting;
            // Fewer than two controls per rectangle: one walk over the union costs less than one a rectangle.
            if (meeting < 2 * rects.size())
                paint(canvas, united);
            else
                paintRects(canvas, rects);
        }
    }
    if (meter != nullptr)
        meter->end();
    canvas->flush();
}

void Editor::paint(Canvas* canvas, const Rect& r) {
    if (canvas == nullptr || frame_ == nullptr)
        return;
    canvas->resetClip();
    paintArea(*canvas, r);
    canvas->resetOrigin();
    canvas->resetClip();
}

void Editor::paintRects(Canvas* canvas, const std::vector<Rect>& rects) {
    if (canvas == nullptr || frame_ == nullptr)
        return;
    canvas->resetClip();
    for (const Rect& r : rects)
        paintArea(*canvas, r);
    canvas->resetOrigin();
    canvas->resetClip();
}

void Editor::paintArea(Canvas& canvas, const Rect& r) {
    if (r.isEmpty())
        return;
    const Point corner = frame_->getRect().getTopLeft();
    canvas.begin(r, true);
    canvas.offsetOrigin(corner);
    frame_->draw(canvas, r - corner);
    canvas.end();
}

void Editor::draw(void* deviceContext) {
    const Window* window = getEditorWindow();
    if (deviceContext == nullptr || window == nullptr) {
        invalidate(getSize());
        return;
    }
    Canvas canvas(window, static_cast<platform::draw::DrawContext*>(deviceContext));
    paint(&canvas, getSize());
}

} // namespace trov
