#pragma once

#include "framework/NativeWindow.h"
#include "framework/Rect.h"

namespace trov {

namespace platform::draw {
class DrawContext;
}

// What a window canvas needs of the window it paints: its handle, its bounds (position in the parent and
// size) and the drawing context the window keeps for its whole life, if it keeps one. The editor's window
// provides it. User-interface thread.
class CanvasWindow : public NativeWindow {
public:
    virtual Rect getBounds() const = 0;
    // Null when the window keeps no context; the canvas then fetches one for each drawing pass.
    virtual platform::draw::DrawContext* getDC() const = 0;
};

} // namespace trov
