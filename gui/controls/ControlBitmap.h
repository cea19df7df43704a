#pragma once

#include "gui/controls/Control.h"

#include <atomic>
#include <functional>
#include <map>
#include <string>

namespace trov {

// A skin bitmap and, over it, the bitmap of whichever listed bool parameter was switched on last
// ("bitmaps": each "string" entry names a parameter in "display" and its bitmap in "value"). It is bound to
// no parameter of its own and takes button presses and releases without doing anything. The instrument's
// background panel derives from it.
//
// Owned by its parent. Threads: parameter notifications may come from any thread; they only swap the
// shown bitmap and record a redraw (the table of bitmaps does not change once the node is read). Painting
// and the specification are the user-interface thread's.
class ControlBitmap : public Control {
public:
    // Takes over one reference of the background bitmap (null for none) and r's size.
    ControlBitmap(Editor* editor, Bitmap* background, const Rect& bounds);
    ~ControlBitmap() override;

    // The bitmap shown over the background now; null for none.
    Bitmap* getCurrentBitmap() const { return current_.load(std::memory_order_acquire); }

    // The control base's keys; then an "id" that names a skin makes it the background, whose size an
    // unsized control takes; then "bitmaps".
    bool fromDictionary(const Dictionary& spec) override;
    // A listed parameter switched on shows its bitmap; switched off, it hides its bitmap if shown.
    bool receive(const Message& message) override;
    // Bound to nothing.
    Parameter* getParameter() const override { return nullptr; }
    void paintBackground(Canvas& canvas, const Rect& area) override;

private:
    struct Shown {
        std::string name; // the skin's name
        Bitmap* bitmap;   // one reference of it; null when the resources have none
    };

    // Looked up by the notification's name in place: nothing allocates on a notifying thread.
    std::map<std::string, Shown, std::less<>> bitmapsByParameter_;
    std::atomic<Bitmap*> current_{nullptr};
};

} // namespace trov
