#include "gui/controls/ControlContainer.h"

#include "framework/Dictionary.h"
#include "gui/Editor.h"
#include "plugin/Parameter.h"

#include <string_view>

namespace trov {

namespace {

constexpr std::string_view kLeaveModalMode = "LeaveModalMode";
constexpr int kShow = 1;
constexpr int kFocus = 2;

} // namespace

ControlContainer::ControlContainer(Editor* editor, const Rect& bounds) : Control(editor, bounds) {
    setBounds(Rect(0, 0, bounds.getWidth(), bounds.getHeight()));
    clearFlags(kEditable | kShowValue | kFocusable);
}

ControlContainer::~ControlContainer() = default;

bool ControlContainer::fromDictionary(const Dictionary& spec) {
    Control::fromDictionary(spec);
    const bool inverted = invertValue_;
    spec.getBool("invertvalue", &invertValue_);
    // The parameter told its value when it was tied, before the inversion was known.
    if (const Parameter* parameter = getParameter(); parameter != nullptr && invertValue_ != inverted)
        setVisible((parameter->getNormalized() != 0.0f) != invertValue_);
    return true;
}

void ControlContainer::attachParameter(const std::string& name) {
    setParameter(name);
}

void ControlContainer::detachParameter(const std::string& name) {
    if (name == getParameterName())
        setParameter(std::string());
}

bool ControlContainer::receive(const Message& message) {
    if (message.kind == kKindWindow && message.code != 3001) {
        const auto* window = dynamic_cast<const WindowMessage*>(&message);
        Control* child = window != nullptr ? findControlAt(window->where) : nullptr;
        if (child != nullptr && child != this) {
            // The child's own local point: the message's less the child's place under the container.
            WindowMessage local(*window);
            local.where =
                window->where + getAbsoluteRect().getTopLeft() - child->getAbsoluteRect().getTopLeft();
            return child->receive(local);
        }
        return Control::receive(message);
    }
    if (message.kind == kKindParameter && message.code == Code::kParameterValue) {
        const auto* change = dynamic_cast<const ParameterMessage*>(&message);
        if (change != nullptr && !getParameterName().empty() && change->name == getParameterName()) {
            const bool on = (change->extra & 0xFF) != 0;
            const int work =
                (on != invertValue_ ? kShow : 0) | (change->flags == Sender::kEditor ? kFocus : 0);
            if (onUserInterfaceThread()) {
                show((work & kShow) != 0, change->flags);
            } else {
                pending_.store(work, std::memory_order_release);
                deferControlWork();
            }
            return true;
        }
        if (change != nullptr && change->name == kLeaveModalMode)
            return Control::receive(ControlMessage(this, Code::kLostCurrent));
    }
    return Control::receive(message);
}

void ControlContainer::applyDeferredControlWork() {
    if (const int work = pending_.exchange(-1, std::memory_order_acq_rel); work >= 0)
        show((work & kShow) != 0, (work & kFocus) != 0 ? Sender::kEditor : Sender::kHost);
}

void ControlContainer::show(bool on, int sender) {
    setVisible(on);
    if (sender != Sender::kEditor || testFlags(kModal) == 0)
        return;
    Editor* editor = getOwnerEditor();
    if (on) {
        Control::receive(ControlMessage(this, Code::kBecameCurrent));
        if (editor != nullptr)
            editor->setFocusControl(this);
        return;
    }
    Control::receive(ControlMessage(this, Code::kLostCurrent));
    if (editor != nullptr && editor->getFocusRequest() == this)
        editor->setFocusControl(nullptr);
}

} // namespace trov
