#pragma once

#include "gui/controls/Control.h"

#include <atomic>

namespace trov {

class WindowMessage;

// The base of every control that shows and edits one normalised number (0..1): knobs, sliders, value
// texts, meters, scrollbars, value buttons. The value lives in the bound parameter when there is one
// (read from it at every `getValue`, so a change made elsewhere shows at the next paint), else in the
// control. The gestures that change it: a vertical (and a quarter as strong horizontal) drag with a dead
// zone of 6 pixels, an optional detent, Shift for fine adjustment, Control + press to reset the parameter
// to its default, the wheel, and the up and down arrow keys. Drawing is left to the derived classes.
//
// Threads: as `Control`. `setValue` may also run on the MIDI thread (a controller paired with the control
// by the editor's mapper), where it sets the parameter and only records the redraw; the gestures and the
// specification are the user-interface thread's.
class ControlValue : public Control {
public:
    // A detent far outside 0..1: none.
    static constexpr float kNoDetent = 667.0f;
    // Mouse-down modes: a press starts a drag; a press also steps the value up.
    static constexpr int kMouseDownDrag = 0;
    static constexpr int kMouseDownIncrement = 1;
    // Pixels of movement that count for nothing at the start of a drag, and beyond which only the larger
    // axis counts.
    static constexpr int kDeadZone = 6;
    // Normalised change per pixel at drag speed 1: 400 pixels sweep the range.
    static constexpr float kDragScale = 0.0025f;
    // Normalised change per unit of wheel delta at drag speed 1: a notch of 120 moves 0.025.
    static constexpr float kWheelScale = 0.00020833334f;

    ControlValue(Editor* editor, const Rect& bounds);

    // The bound parameter's normalised value, else the control's own.
    float getValue() const;
    // The value clamped to 0..1 (with wrap, continued from the other end with a period of 1 + the
    // parameter's step, so that a stepped value one step past an end lands on the other end; NaN gives 0),
    // given to the bound parameter as an editor gesture (sender code 2, passed on to the host) or kept;
    // then a redraw is queued.
    void setValue(float value);
    bool isStayOn() const { return stayOn_; }
    void setStayOn(bool stayOn) { stayOn_ = stayOn; }
    bool isWrapping() const { return wrap_; }
    void setWrap(bool wrap) { wrap_ = wrap; }
    float getDetent() const { return detent_; }
    float getDragSpeed() const { return dragSpeed_; }
    void setDragSpeed(float speed) { dragSpeed_ = speed; }
    int getMouseDownMode() const { return mouseDownMode_; }
    bool isDragging() const { return dragging_; }

    // "detent" (only with a parameter bound), "dragspeed" (0.25 by default for a parameter of fewer than
    // about ten steps), "stayon", "wrap" and "mousedown", then the control base's keys.
    bool fromDictionary(const Dictionary& spec) override;
    // "detent", "dragspeed", "stayon" and "wrap" in the form they are read, then the control base's.
    bool toDictionary(Dictionary& spec) override;
    // Presses, releases, drag steps, the wheel and the arrow keys; the rest goes to the control base.
    bool receive(const Message& message) override;
    void paint(Canvas& canvas, const Rect& area) override = 0;

protected:
    Point getDragStart() const { return dragStart_; }
    void setDragStart(const Point& p) { dragStart_ = p; }
    // The bound parameter's step, 0 without one.
    float getStepSize() const;
    // Reads the keys of a value control that has a default size: a dimension the node leaves out (and no
    // background bitmap gives) keeps the default.
    void fromDictionaryWithSize(const Dictionary& spec, const Rect& size);

private:
    bool press(const WindowMessage& message);
    bool release();
    bool dragStep(const WindowMessage& message);
    bool wheel(const WindowMessage& message);
    bool arrowKey(const WindowMessage& message);
    // Resets the bound parameter to its default as an editor gesture; false without a parameter.
    bool resetParameter();
    float applyDetent(float candidate) const;

    bool stayOn_ = false;
    bool wrap_ = false;
    std::atomic<float> value_{0.0f}; // only while no parameter is bound
    float detent_ = kNoDetent;
    int mouseDownMode_ = kMouseDownDrag;
    bool dragging_ = false;
    Point dragStart_;
    float dragSpeed_ = 1.0f;
    float dragStartValue_ = 0.0f;
};

} // namespace trov
