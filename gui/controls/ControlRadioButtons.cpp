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
    foreign_.name.reserve(kNameRoom);
}

ControlRadioButtons::~ControlRadioButtons() {
    for (Control* child : getChildren())
        if (Parameter* parameter = child->getParameter())
            tuneOutOf(parameter);
}

void ControlRadioButtons::layout() {
    Control::layout();
    std::size_t longest = kNameRoom;
    for (Control* child : getChildren())
        if (Parameter* parameter = child->getParameter())
            longest = std::max(longest, parameter->getName().size());
    {
        std::lock_guard guard(pendingMutex_);
        reports_.clear();
        for (Control* child : getChildren())
            if (Parameter* parameter = child->getParameter())
                reports_.push_back({parameter->getName(), parameter->getInstance(), -1, 0});
        foreign_.name.reserve(longest);
        // Only what the children report from here counts.
        settled_ = clock_;
    }
    layingOut_ = true;
    for (Control* child : getChildren()) {
        if (auto* value = dynamic_cast<ControlValue*>(child))
            value->setStayOn(true);
        if (Parameter* parameter = child->getParameter())
            tuneInTo(parameter); // reports its value at once
    }
    layingOut_ = false;
    settle();
}

bool ControlRadioButtons::receive(const Message& message) {
    if (message.kind != kKindParameter || message.code != Code::kParameterValue)
        return Control::receive(message);
    const auto* report = dynamic_cast<const ParameterMessage*>(&message);
    if (report == nullptr || report->value == 0.0f)
        return true;
    // While laying out, the first child found on wins and layout makes the switch; otherwise the report
    // waits for the tick.
    const bool layout = onUserInterfaceThread() && layingOut_;
    {
        std::lock_guard guard(pendingMutex_);
        if (layout && clock_ != settled_)
            return true;
        const std::uint64_t when = ++clock_;
        bool child = false;
        for (Report& slot : reports_)
            if (slot.name == report->name) {
                slot.sender = report->flags;
                slot.when = when;
                child = true;
            }
        if (!child) {
            foreign_.name.assign(report->name);
            foreign_.index = report->index;
            foreign_.sender = report->flags;
            foreign_.when = when;
        }
    }
    if (!layout)
        deferControlWork();
    return true;
}

void ControlRadioButtons::applyDeferredControlWork() {
    settle();
}

void ControlRadioButtons::settle() {
    std::vector<Report> reports;
    {
        std::lock_guard guard(pendingMutex_);
        if (clock_ == settled_)
            return;
        settled_ = clock_;
        reports = reports_;
        if (foreign_.when != 0)
            reports.push_back(foreign_);
    }
    std::stable_sort(reports.begin(), reports.end(),
                     [](const Report& a, const Report& b) { return a.when > b.when; });
    const Settings* settings = getSettings();
    for (const Report& report : reports) {
        if (report.when == 0)
            break;
        // A choice switched off since gives way to the one reported before it; a parameter the module
        // does not have stays on.
        const Parameter* reported =
            settings != nullptr ? settings->getParameter(report.name, report.index) : nullptr;
        if (reported == nullptr || reported->getNormalized() != 0.0f) {
            switchFor(report);
            return;
        }
    }
}

void ControlRadioButtons::switchFor(const Report& report) {
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
