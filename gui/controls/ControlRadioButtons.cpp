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
    pending_.name.reserve(kNameRoom);
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
        pending_.name.reserve(std::max(longest, kNameRoom));
    }
    layingOut_ = true;
    for (Control* child : getChildren()) {
        if (auto* value = dynamic_cast<ControlValue*>(child))
            value->setStayOn(true);
        if (Parameter* parameter = child->getParameter())
            tuneInTo(parameter); // reports its value at once
    }
    layingOut_ = false;
    switchFor(takeReport());
}

bool ControlRadioButtons::receive(const Message& message) {
    if (message.kind != kKindParameter || message.code != Code::kParameterValue)
        return Control::receive(message);
    const auto* report = dynamic_cast<const ParameterMessage*>(&message);
    if (report == nullptr || report->value == 0.0f)
        return true;
    // While laying out, the first child found on wins and layout makes the switch; otherwise the latest
    // report waits for the tick.
    const bool layout = onUserInterfaceThread() && layingOut_;
    {
        std::lock_guard guard(pendingMutex_);
        if (layout && pending_.sender >= 0)
            return true;
        pending_.name.assign(report->name);
        pending_.index = report->index;
        pending_.sender = report->flags;
    }
    if (!layout)
        deferControlWork();
    return true;
}

ControlRadioButtons::Report ControlRadioButtons::takeReport() {
    std::lock_guard guard(pendingMutex_);
    Report taken = pending_;
    pending_.name.clear();
    pending_.sender = -1;
    return taken;
}

void ControlRadioButtons::applyDeferredControlWork() {
    switchFor(takeReport());
}

void ControlRadioButtons::switchFor(const Report& report) {
    if (report.sender < 0)
        return;
    // A report whose parameter was switched off since has given way.
    const Settings* settings = getSettings();
    const Parameter* reported =
        settings != nullptr ? settings->getParameter(report.name, report.index) : nullptr;
    if (reported != nullptr && reported->getNormalized() == 0.0f)
        return;
    for (Control* child : getChildren()) {
        Parameter* parameter = child->getParameter();
        if (parameter == nullptr)
            continue;
        const std::string name = parameter->getName();
        if (name != report.name)
            parameter->receive(ParameterMessage(this, Code::kParameterValue, name, parameter->getInstance(),
                                                0, 0.0f, report.sender));
    }
}

} // namespace trov
