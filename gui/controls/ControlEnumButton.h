#pragma once

#include "gui/controls/ControlEnum.h"

namespace trov {

// An enumeration button ("Button" tied to an enumeration parameter): each click steps to the next entry,
// cyclically. Dragging out of the button before releasing brings back the entry of the press; dragging
// back in steps forward again. It draws the selected entry's frame of its "handle" (one frame per entry,
// stacked), or else its label, on an orange highlight while the parameter's normalised value is above 0.5.
//
// Owned by its parent control; user-interface thread (a notification of its parameter may arrive on any
// thread and only records the redraw).
template <class T> class ControlEnumButton : public ControlEnum<T> {
public:
    ControlEnumButton(Editor* editor, const Rect& bounds);
    ~ControlEnumButton() override;

    bool receive(const Message& message) override;
    // The control's keys, then "handle".
    bool fromDictionary(const Dictionary& spec) override;
    void paint(Canvas& canvas, const Rect& area) override;

    // Selects the entry (at most the entry count, which selects nothing) with the sender code when bound,
    // and queues a redraw in any case.
    void selectIndex(int index, int sender);
    bool isPressed() const { return pressed_; }

private:
    void stepForward();

    int pressIndex_ = 0;
    Bitmap* handle_ = nullptr;
    int frameCount_ = 0;
    bool pressed_ = false;
};

extern template class ControlEnumButton<std::string>;
extern template class ControlEnumButton<long>;
extern template class ControlEnumButton<float>;

} // namespace trov
