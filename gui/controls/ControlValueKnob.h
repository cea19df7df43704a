#pragma once

#include "gui/controls/ControlValue.h"

namespace trov {

// A rotary control over one normalised value, with every gesture of `ControlValue`. It shows the frame of
// its filmstrip ("handle") that the value picks, or without one a drawn 270-degree arc from the lower left
// over the top to the lower right with a pointer line over the outer half of the radius. Nothing is drawn
// without a bound parameter. 30 pixels square unless the node or the filmstrip's frame says otherwise.
//
// Owned by its parent. Threads: as `ControlValue`.
class ControlValueKnob : public ControlValue {
public:
    static constexpr int kDefaultSize = 30;
    // The drawn knob's inset, and the track's ends: from -5/4 pi (lower left) over 3/2 pi.
    static constexpr int kInset = 4;
    static constexpr float kStartAngle = -3.9269908f;
    static constexpr float kSweep = 4.7123890f;

    explicit ControlValueKnob(Editor* editor);
    ControlValueKnob(Editor* editor, const Rect& bounds);
    ~ControlValueKnob() override;

    Bitmap* getHandle() const { return handle_; }
    // The filmstrip frame shown at value v.
    int frameFor(float v) const;

    // The size 30 x 30, the value control's keys, then "handle", whose frame the knob grows to.
    bool fromDictionary(const Dictionary& spec) override;
    // With a filmstrip, the pointer counts as over the knob only inside the filmstrip's part in use.
    bool receive(const Message& message) override;
    void paint(Canvas& canvas, const Rect& area) override;

private:
    void paintArc(Canvas& canvas, float value);

    Bitmap* handle_ = nullptr;
};

} // namespace trov
