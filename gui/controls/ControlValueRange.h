#pragma once

#include "gui/controls/ControlValue.h"

namespace trov {

// Shows a second parameter of a slider, such as a modulation amount, as a bar that grows from the
// slider's handle: placed inside a `ControlValueSlider`, a vertical range bar reveals the rows of its
// handle bitmap above the slider's handle ("min2max"), below it ("max2min"), or by the value's sign
// ("centered"), as many as the float parameter's own value (not the normalised one) takes of the room.
// Horizontal, it shows its whole handle bitmap; without one, a red bar with its label. Nothing is drawn
// without a bound parameter.
//
// Owned by its parent. Threads: as `ControlValue`.
class ControlValueRange : public ControlValue {
public:
    static constexpr int kMinToMax = 0;
    static constexpr int kMaxToMin = 1;
    static constexpr int kCentered = 2;

    explicit ControlValueRange(Editor* editor);
    ControlValueRange(Editor* editor, const Rect& bounds);
    ~ControlValueRange() override;

    Bitmap* getHandle() const { return handle_; }
    bool isVertical() const { return vertical_; }
    int getDirection() const { return direction_; }

    // The value control's keys, then "handle", "horizontal" and "direction".
    bool fromDictionary(const Dictionary& spec) override;
    void paint(Canvas& canvas, const Rect& area) override;

private:
    void paintRows(Canvas& canvas);
    void paintBar(Canvas& canvas, const Rect& area);

    Bitmap* handle_ = nullptr;
    bool vertical_ = true;
    int direction_ = kMinToMax;
};

} // namespace trov
