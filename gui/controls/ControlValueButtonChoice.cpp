#include "gui/controls/ControlValueButtonChoice.h"

#include "framework/Dictionary.h"
#include "gui/Bitmap.h"
#include "gui/Canvas.h"
#include "gui/controls/ControlValueButton.h"
#include "plugin/ParameterEnum.h"

#include <cmath>

namespace trov {

template <class T>
ControlValueButtonChoice<T>::ControlValueButtonChoice(Editor* editor, const Rect& bounds)
    : ControlValue(editor, bounds) {
    clearFlags(kTextEntry);
}

template <class T> ControlValueButtonChoice<T>::~ControlValueButtonChoice() {
    giveBack(handle_);
}

template <class T> ParameterEnum<T>* ControlValueButtonChoice<T>::choiceParameter() const {
    return dynamic_cast<ParameterEnum<T>*>(Control::getParameter());
}

template <class T> Parameter* ControlValueButtonChoice<T>::getParameter() const {
    return choiceParameter();
}

// The entries' values serve as indices: the next is the selected one's value plus one, wrapped round.
template <class T> void ControlValueButtonChoice<T>::advance() {
    ParameterEnum<T>* choice = choiceParameter();
    if (choice == nullptr || choice->getCount() == 0)
        return;
    const double count = static_cast<double>(choice->getCount());
    double next = std::fmod(std::nearbyint(static_cast<double>(choice->getValue())) + 1.0, count);
    if (next < 0.0)
        next += count;
    choice->select(std::isfinite(next) ? static_cast<std::uint32_t>(next) : 0, Sender::kEditor);
}

template <class T> bool ControlValueButtonChoice<T>::receive(const Message& message) {
    if (message.kind == kKindWindow) {
        switch (message.code) {
        case 3000:
        case 3003:
            pressed_ = true;
            downLook_ = true;
            requestRedraw(true);
            if (choiceParameter() == nullptr)
                return true;
            advance();
            break;
        case 3002:
        case 3005:
            pressed_ = false;
            downLook_ = false;
            requestRedraw(true);
            break;
        case 3009:
            requestRedraw(true);
            break;
        case 3012:
        case 3014:
            if (pressed_) {
                downLook_ = message.code == 3012;
                requestRedraw(true);
                return true;
            }
            break;
        default:
            break;
        }
    }
    return ControlValue::receive(message);
}

template <class T> bool ControlValueButtonChoice<T>::fromDictionary(const Dictionary& spec) {
    ControlValue::fromDictionary(spec);
    readBitmap(spec, "handle", handle_);
    if (handle_ != nullptr)
        sizeToSkin(*this, *handle_);
    return true;
}

template <class T> int ControlValueButtonChoice<T>::choiceFrame() const {
    const ParameterEnum<T>* choice = choiceParameter();
    if (handle_ == nullptr || choice == nullptr || choice->getCount() == 0)
        return -1;
    const int frames = handle_->getFrameCount();
    const double shown = std::nearbyint(static_cast<double>(choice->getValue()) * (frames - 2) /
                                            static_cast<double>(choice->getCount()) +
                                        2.0);
    return shown >= 2.0 && shown < frames ? static_cast<int>(shown) : -1;
}

template <class T> void ControlValueButtonChoice<T>::paint(Canvas& canvas, const Rect& /*area*/) {
    const Rect local = getLocalRect();
    if (handle_ == nullptr) {
        if (getBackgroundBitmap() == nullptr)
            paintPlainButton(canvas, local, colorOrange, getLabel());
        return;
    }
    canvas.drawBitmap(handle_, handle_->getFrame(downLook_ ? 1 : 0), local);
    if (const int frame = choiceFrame(); frame >= 0)
        canvas.drawBitmap(handle_, handle_->getFrame(frame), local);
}

template class ControlValueButtonChoice<long>;
template class ControlValueButtonChoice<float>;

} // namespace trov
