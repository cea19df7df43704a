#include "gui/controls/ControlEnumButton.h"

#include "framework/Dictionary.h"
#include "gui/Bitmap.h"
#include "gui/Canvas.h"
#include "plugin/ParameterEnum.h"

#include <algorithm>

namespace trov {

template <class T>
ControlEnumButton<T>::ControlEnumButton(Editor* editor, const Rect& bounds)
    : ControlEnum<T>(editor, bounds) {}

template <class T> ControlEnumButton<T>::~ControlEnumButton() {
    this->giveBack(handle_);
}

template <class T> void ControlEnumButton<T>::selectIndex(int index, int sender) {
    if (ParameterEnum<T>* choice = this->getEnum(); choice != nullptr && index >= 0)
        choice->select(std::min(static_cast<std::uint32_t>(index), choice->getCount()), sender);
    this->requestRedraw(true);
}

// An enumeration without entries has nothing to step to.
template <class T> void ControlEnumButton<T>::stepForward() {
    const ParameterEnum<T>* choice = this->getEnum();
    if (choice == nullptr || choice->getCount() == 0)
        return;
    selectIndex(static_cast<int>((choice->getSelected() + 1) % choice->getCount()), Sender::kEditor);
    this->requestRedraw(true);
}

template <class T> bool ControlEnumButton<T>::receive(const Message& message) {
    if (message.kind != kKindWindow)
        return this->passOn(message);
    switch (message.code) {
    case 3000:
    case 3003:
        pressed_ = true;
        pressIndex_ = this->getSelectedIndex();
        stepForward();
        return true;
    case 3002:
    case 3005:
        pressed_ = false;
        return true;
    case 3012:
        if (!pressed_ || this->getEnum() == nullptr)
            break;
        stepForward();
        return true;
    case 3014:
        if (!pressed_)
            break;
        selectIndex(pressIndex_, Sender::kEditor);
        return true;
    default:
        break;
    }
    return this->passOn(message);
}

template <class T> bool ControlEnumButton<T>::fromDictionary(const Dictionary& spec) {
    Control::fromDictionary(spec);
    if (this->readBitmap(spec, "handle", handle_)) {
        // One frame per entry, stacked: as many as frames of the skin's frame height fit in it.
        const int frameHeight = handle_ != nullptr ? handle_->getFrameRect().getHeight() : 0;
        frameCount_ = frameHeight > 0 ? handle_->getBounds().getHeight() / frameHeight : 0;
    }
    return true;
}

template <class T> void ControlEnumButton<T>::paint(Canvas& canvas, const Rect& /*area*/) {
    const ParameterEnum<T>* choice = this->getEnum();
    if (choice == nullptr)
        return;
    const Rect local = this->getLocalRect();
    if (handle_ != nullptr && frameCount_ > 0) {
        const int height = handle_->getBounds().getHeight() / frameCount_;
        const int i = static_cast<int>(choice->getSelected());
        const Rect source(Point(0, i * height), Point(handle_->getBounds().getWidth(), (i + 1) * height));
        Rect destination = local;
        if (const Bitmap* background = this->getBackgroundBitmap())
            destination.offset(background->getSourceRect().getTopLeft());
        destination.setSizeOf(source);
        canvas.drawBitmap(handle_, source, destination);
        return;
    }
    if (choice->getNormalized() > 0.5f) {
        canvas.setBrushColor(colorOrange);
        canvas.fillRect(local);
    }
    canvas.setTextColor(colorBlack);
    canvas.drawText(this->getLabel(), local, 0);
}

template class ControlEnumButton<std::string>;
template class ControlEnumButton<long>;
template class ControlEnumButton<float>;

} // namespace trov
