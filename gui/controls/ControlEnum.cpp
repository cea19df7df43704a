#include "gui/controls/ControlEnum.h"

#include "framework/Logger.h"
#include "plugin/ParameterEnum.h"
#include "plugin/Settings.h"

namespace trov {

namespace {

constexpr const char* kWhere = "trov::ControlEnum::setParameter(const std::string&)";

} // namespace

void refuseParameter(const Parameter& parameter) {
    const std::string text = "tying parameter " + parameter.getLabel() + "<" + parameter.getTypeName() +
                             "> to incompatible control";
    logLine(4, "%s", text.c_str());
    throw ErrorIncompatibleControl(kWhere, text);
}

template <class T>
ControlEnum<T>::ControlEnum(Editor* editor, const Rect& bounds) : Control(editor, bounds) {}

template <class T> ControlEnum<T>::~ControlEnum() {
    if (ParameterEnum<T>* bound = getEnum())
        tuneOutOf(bound);
}

template <class T> void ControlEnum<T>::setParameter(const std::string& name) {
    if (ParameterEnum<T>* bound = getEnum())
        tuneOutOf(bound);
    enum_.store(nullptr, std::memory_order_release);
    // Keeps the name; with no enumeration bound the base finds nothing to tune in to.
    Control::setParameter(name);
    Settings* settings = getSettings();
    Parameter* found = settings != nullptr && !name.empty() ? settings->getParameter(name, 0) : nullptr;
    if (found == nullptr)
        return;
    auto* choice = dynamic_cast<ParameterEnum<T>*>(found);
    if (choice == nullptr)
        refuseParameter(*found);
    enum_.store(choice, std::memory_order_release);
    tuneInTo(choice);
}

template <class T> Parameter* ControlEnum<T>::getParameter() const {
    return getEnum();
}

template <class T> int ControlEnum<T>::getSelectedIndex() const {
    const ParameterEnum<T>* bound = getEnum();
    return bound != nullptr ? static_cast<int>(bound->getSelected()) : 0;
}

template <class T> std::string ControlEnum<T>::entryText(std::uint32_t index) const {
    const ParameterEnum<T>* bound = getEnum();
    return bound != nullptr ? bound->getLabel(index) + " " + bound->getUnit() : std::string();
}

template <class T> bool ControlEnum<T>::receive(const Message& message) {
    if (message.kind == kKindWindow &&
        (message.code == 3000 || message.code == 3003 || message.code == 3009)) {
        const float height = static_cast<float>(getAbsoluteRect().getHeight());
        const auto* window = dynamic_cast<const WindowMessage*>(&message);
        if (ParameterEnum<T>* bound = getEnum(); bound != nullptr && window != nullptr && height > 0.0f) {
            const float y = static_cast<float>(window->where.y) / height;
            bound->setNormalized(y > 0.0f ? y : 0.0f, Sender::kEditor);
        }
        requestRedraw(true);
        return true;
    }
    return passOn(message);
}

// Any thread: the name is compared in place; the redraw is recorded off the user-interface thread.
template <class T> bool ControlEnum<T>::passOn(const Message& message) {
    if (Control::receive(message))
        return true;
    if (message.kind != kKindParameter ||
        (message.code != Code::kParameterValue && message.code != Code::kParameterReset))
        return false;
    const auto* change = dynamic_cast<const ParameterMessage*>(&message);
    if (change == nullptr || getEnum() == nullptr || change->name != getParameterName())
        return false;
    requestRedraw(true);
    return true;
}

template class ControlEnum<std::string>;
template class ControlEnum<long>;
template class ControlEnum<float>;

} // namespace trov
