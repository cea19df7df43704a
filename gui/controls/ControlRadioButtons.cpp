#include "gui/controls/ControlRadioButtons.h"

#include "gui/controls/ControlValue.h"
#include "plugin/Parameter.h"
#include "plugin/Settings.h"

#include <algorithm>

namespace trov {

namespace {

// Room for a reported name: parameter names are far shorter.
constexpr std::size_t kNameRoom = 128;

} // namespace

ControlRadioButtons::ControlRadioButtons(Editor* editor, const Rect& bounds) : Control(editor, bounds) {
    clearFlags(kEditable);
    pendingName_.reserve(kNameRoom);
}

ControlRadioButtons::~ControlRadioButtons() {
    for (Control* child : getChildren())
        if (Parameter* parameter = child->getParameter())
            tuneOutOf(parameter);
}

void ControlRadioButtons::layout() {
    Control::layout();
    std::size_t longest = 0;
    for (Control* child : getChildren())
        if (Parameter* parameter = child->getParameter())
            longest = std::max(longest, parameter->getName().size());
    {
        std::lock_guard guard(pendingMutex_);
        pendingName_.reserve(std::max(longest, kNameRoom));
    }
    for (Control* child : getChildren()) {
        if (auto* value = dynamic_cast<ControlValue*>(child))
            value->setStayOn(true);
        if (Parameter* parameter = child->getParameter())
            tuneInTo(parameter); // answers at once with its value
    }
}

bool ControlRadioButtons::receive(const Message& message) {
    if (message.kind != kKindParameter || message.code != Code::kParameterValue)
        return Control::receive(message);
    const auto* report = dynamic_cast<const ParameterMessage*>(&message);
    if (report == nullptr || report->value == 0.0f)
        return true;
    if (onUserInterfaceThread()) {
        switchOthersOff(report->name, report->flags);
        return true;
    }
    {
        std::lock_guard guard(pendingMutex_);
        pendingName_.assign(report->name);
        pendingIndex_ = report->index;
        pendingSender_ = report->flags;
    }
    deferControlWork();
    return true;
}

void ControlRadioButtons::switchOthersOff(std::string_view name, int sender) {
    for (Control* child : getChildren()) {
        Parameter* parameter = child->getParameter();
        if (parameter == nullptr)
            continue;
        const std::string own = parameter->getName();
        if (own == name)
            continue;
        parameter->receive(
            ParameterMessage(this, Code::kParameterValue, own, parameter->getInstance(), 0, 0.0f, sender));
    }
}

void ControlRadioButtons::applyDeferredControlWork() {
    std::string name;
    int index = 0;
    int sender = -1;
    {
        std::lock_guard guard(pendingMutex_);
        name = pendingName_;
        index = pendingIndex_;
        sender = pendingSender_;
        pendingName_.clear();
        pendingSender_ = -1;
    }
    if (sender < 0)
        return;
    // A report whose parameter was switched off since (a click in between) has given way.
    const Settings* settings = getSettings();
    const Parameter* reported = settings != nullptr ? settings->getParameter(name, index) : nullptr;
    if (reported != nullptr && reported->getNormalized() == 0.0f)
        return;
    switchOthersOff(name, sender);
}

} // namespace trov
