#pragma once

#include "gui/controls/Control.h"

#include <atomic>

namespace trov {

// The base of every control that shows and edits one normalised number (0..1): knobs, sliders, value
// texts, meters, value buttons. The value lives in the bound parameter when there is one, else in the
// control. This is the part the editor and the control base rely on, the value and its normalised-value
// input, which MIDI controllers and the editor specification's "defval" use; the gestures that change the
// value and the keys of its specification are the value controls' own. Drawing is left to the derived
// classes.
//
// Threads: as `Control`; `setValue` may also run on the MIDI thread (a controller paired with the control
// by the editor's mapper), where it sets the parameter and only records the redraw.
class ControlValue : public Control {
public:
    ControlValue(Editor* editor, const Rect& bounds);

    // The bound parameter's normalised value, else the control's own.
    float getValue() const;
    // The value clamped to 0..1 (continued from the other end with wrap, a stepped value one step past an
    // end landing on the other end), given to the bound parameter as an editor gesture (sender code 2,
    // passed on to the host) or kept; then a redraw is queued.
    void setValue(float value);
    bool isStayOn() const { return stayOn_; }
    void setStayOn(bool stayOn) { stayOn_ = stayOn; }
    bool isWrapping() const { return wrap_; }
    void setWrap(bool wrap) { wrap_ = wrap; }
    // Scales drag and wheel movement.
    float getDragSpeed() const { return dragSpeed_; }
    void setDragSpeed(float speed) { dragSpeed_ = speed; }

    void paint(Canvas& canvas, const Rect& area) override = 0;

private:
    bool stayOn_ = false;
    bool wrap_ = false;
    float dragSpeed_ = 1.0f;
    std::atomic<float> value_{0.0f}; // only while no parameter is bound
};

} // namespace trov
