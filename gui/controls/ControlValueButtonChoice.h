#pragma once

#include "gui/controls/ControlValue.h"

namespace trov {

template <class T> class ParameterEnum;

// A choice button ("ButtonChoice" on an enumeration of T = long or float whose entries are valued 0, 1,
// 2, ...): every press steps to the entry after the selected entry's value, cyclically, and the button
// shows the selected entry as a frame of its "handle" (frames 0 and 1 the button up and down, frames 2
// onwards the choices), or else as a framed orange box with its label. Without its enumeration a press
// only redraws the button.
//
// Owned by its parent control; user-interface thread (a notification of its parameter may arrive on any
// thread and only records the redraw).
template <class T> class ControlValueButtonChoice : public ControlValue {
public:
    ControlValueButtonChoice(Editor* editor, const Rect& bounds);
    ~ControlValueButtonChoice() override;

    bool receive(const Message& message) override;
    // The value control's keys, then "handle"; a width or height of 0 takes the handle's.
    bool fromDictionary(const Dictionary& spec) override;
    // The bound parameter when it is a ParameterEnum<T>, else null.
    Parameter* getParameter() const override;
    void paint(Canvas& canvas, const Rect& area) override;

    bool showsDownLook() const { return downLook_; }
    // The frame of the handle that shows the selected entry; -1 for none.
    int choiceFrame() const;

private:
    ParameterEnum<T>* choiceParameter() const;
    void advance();

    Bitmap* handle_ = nullptr;
    bool pressed_ = false;
    bool downLook_ = false;
};

extern template class ControlValueButtonChoice<long>;
extern template class ControlValueButtonChoice<float>;

} // namespace trov
