// What the editor does with the messages that reach it: window events routed to the control under the
// pointer, the pressed or the focused control; control messages; MIDI controllers for the mapped value
// controls; parameter edits forwarded to the current program or zone.
#include "engine/zones/Zone.h"
#include "engine/zones/ZoneManager.h"
#include "framework/System.h"
#include "gui/Editor.h"
#include "gui/HelpLine.h"
#include "gui/InfoLine.h"
#include "gui/PopupMenu.h"
#include "gui/controls/ControlValue.h"
#include "instance/Plugin.h"
#include "instance/Program.h"
#include "plugin/Parameter.h"
#include "plugin/Settings.h"

#include <string_view>

namespace trov {

namespace {

constexpr std::string_view kCurrentModule = "CurrentModule";

} // namespace

bool Editor::receive(const Message& message) {
    if (!isOpen())
        return false;
    switch (message.kind) {
    case kKindWindow: {
        const auto* window = dynamic_cast<const WindowMessage*>(&message);
        return window != nullptr && frame_ != nullptr && receiveWindow(*window);
    }
    case kKindControl:
        if (message.code == Code::kLostCurrent) {
            setFocusControl(nullptr);
            return true;
        }
        if (message.code == Code::kControlState2) {
            if (help_ != nullptr)
                help_->startHide();
            return true;
        }
        return false;
    case kKindMidi: {
        const auto* midi = dynamic_cast<const MidiMessage*>(&message);
        if (midi != nullptr && midi->code == Code::kController && midiMapper_ != nullptr)
            if (ControlValue* target = midiMapper_->getTarget(midi->number))
                target->setValue(midi->value);
        return false;
    }
    case kKindParameter: {
        const auto* change = dynamic_cast<const ParameterMessage*>(&message);
        return change != nullptr && receiveParameter(*change);
    }
    default:
        return false;
    }
}

// Only edits made on the editor (sender codes 1 and 2) reach the program or the zone; any other change,
// on whatever thread, is answered at once without a look-up. Storing an edit allocates: one made off the
// user-interface thread (a MIDI controller paired with a knob, on the MIDI thread, which may be the audio
// thread) is stored at the next tick.
bool Editor::receiveParameter(const ParameterMessage& message) {
    if (message.code != Code::kParameterValue)
        return false;
    if (message.name == kCurrentModule && message.flags == Sender::kEditor) {
        selectModule(static_cast<int>(static_cast<std::intptr_t>(message.extra)));
        return true;
    }
    if (message.flags != Sender::kDocument && message.flags != Sender::kEditor)
        return false;
    Settings* settings = getSettings();
    const Parameter* parameter = settings != nullptr ? settings->getParameter(message.name) : nullptr;
    if (parameter == nullptr ||
        (parameter->getScope() != Parameter::kScopeModule && parameter->getScope() != Parameter::kScopeZone))
        return false;
    if (!isUserInterfaceThread()) {
        if (deferredEdits_.add(parameter, currentModule_))
            noteDeferredWork();
        return parameter->getScope() == Parameter::kScopeModule;
    }
    return storeEdit(message, *parameter, currentModule_);
}

bool Editor::storeEdit(const ParameterMessage& message, const Parameter& parameter, int module) {
    Program* program = programOf(module);
    if (program == nullptr)
        return false;
    if (parameter.getScope() == Parameter::kScopeModule)
        return program->receive(message);
    if (const ZoneManager* zones = program->getZoneManager()) {
        // The zone list's lock comes before the parameters' (a selection publishes the zone's values
        // under it), and this runs inside a parameter's broadcast: it is not waited for. A thread
        // holding it is changing the current zone and publishes that zone's own values.
        if (Zone* zone = zones->tryGetCurrentZone()) {
            zone->receive(message);
            zone->release();
        }
    }
    return false;
}

void Editor::storeDeferredEdits() {
    deferredEdits_.take([this](const Parameter& parameter, int module) {
        storeEdit(parameter.currentMessage(Sender::kEditor), parameter, module);
    });
}

Point Editor::framePoint(const Point& p) const {
    return p - frame_->getRect().getTopLeft();
}

// A copy of the message for the control, its point made local to the control's rectangle.
bool Editor::sendLocal(Control* control, const WindowMessage& message, std::int32_t code) {
    WindowMessage local(message);
    local.code = code;
    local.where = message.where - control->getOrigin();
    return control->receive(local);
}

bool Editor::receiveWindow(const WindowMessage& message) {
    switch (message.code) {
    case 3000:
    case 3001:
        return leftDown(message);
    case 3002:
        return leftUp(message);
    case 3003:
    case 3004:
        return rightDown(message);
    case 3005:
        return false;
    case 3006:
        return mouseMove(message);
    case 3007:
        active_ = true;
        return false;
    case 3008:
        pointerLeft(message);
        return false;
    case 3009:
    case 3010:
    case 3011:
    case 3012:
    case 3013:
    case 3014:
        return hover_ != nullptr && sendLocal(hover_, message, message.code);
    case 3015: {
        // The plug-in's display tick carries the editor in its extra word, no rectangle: all is redrawn.
        const Rect* area = message.sender != plugin_ ? wordToPointer<const Rect>(message.extra) : nullptr;
        addDirtyRect(area != nullptr ? *area : getSize());
        return true;
    }
    case 3016:
    case 3017:
        return pressed_ != nullptr && pressed_->receive(message);
    case 3018:
        return true;
    case 3019:
        return dragAccepted(message);
    case 3020:
        for (Control* control : controls_)
            control->receive(WindowMessage(this, 3020, 0));
        return false;
    case 3021:
    case 3022:
        return dropped(message);
    case 3023:
        idle();
        return true;
    case 3024:
        return sendToHover(message.state);
    default:
        return false;
    }
}

bool Editor::leftDown(const WindowMessage& message) {
    WindowMessage move(message);
    move.code = 3006;
    mouseMove(move);
    if (hover_ == nullptr)
        return false;
    buttonDown_ = 1;
    pressed_ = hover_;
    lastMouse_ = message.where;
    if (infoLine_ != nullptr)
        infoLine_->watch(pressed_);
    lastDrag_ = message.where;
    if (sendLocal(pressed_, message, message.code)) {
        beginEdit(pressed_, message.where);
    } else {
        pressed_ = nullptr;
        buttonDown_ = 0;
    }
    return true;
}

bool Editor::leftUp(const WindowMessage& message) {
    buttonDown_ = 0;
    if (infoLine_ != nullptr)
        infoLine_->unwatch();
    if (help_ != nullptr)
        help_->startHide();
    if (pressed_ == nullptr)
        return false;
    Control* released = pressed_;
    endEdit(released, message.where);
    sendLocal(released, message, message.code);
    pressed_ = nullptr;
    return true;
}

// The control the pointer leaves is told with its local point; the editor's listeners with the point given.
void Editor::leaveHover(Control* old, const WindowMessage& message, bool announceLocal) {
    if (old == nullptr)
        return;
    WindowMessage leave(message);
    leave.code = 3014;
    leave.where = message.where - old->getOrigin();
    old->receive(leave);
    broadcast(ControlMessage(this, Code::kHideHelp, announceLocal ? leave.where : message.where,
                             pointerToWord(old)));
}

bool Editor::mouseMove(const WindowMessage& message) {
    active_ = true;
    if (Window* window = getEditorWindow())
        window->trackMouseLeave();
    const Point p = message.where;
    if (pressed_ != nullptr) {
        Point movement = p - lastDrag_;
        WindowMessage step(message);
        step.code = 3009;
        step.where = p - pressed_->getOrigin();
        step.extra = pointerToWord(&movement);
        pressed_->receive(step);
        lastDrag_ = p;
        const Rect r = pressed_->getAbsoluteRect();
        if (r.contains(p) && !r.contains(lastMouse_))
            sendLocal(pressed_, message, 3012);
        else if (!r.contains(p) && r.contains(lastMouse_))
            sendLocal(pressed_, message, 3014);
        lastMouse_ = p;
        return true;
    }
    bool handled = false;
    Control* found = frame_->findControlAt(framePoint(p));
    if (found != nullptr && found != hover_) {
        Control* old = hover_;
        if (sendLocal(found, message, 3012)) {
            leaveHover(old, message, true);
            hover_ = found;
            broadcast(ControlMessage(this, Code::kShowHelp, p, pointerToWord(found)));
        } else {
            leaveHover(old, message, true);
            hover_ = nullptr;
            setCursor(0);
        }
        handled = true;
    } else {
        hover_ = found;
    }
    if (hover_ != nullptr) {
        sendLocal(hover_, message, 3006);
        handled = true;
    }
    return handled;
}

bool Editor::rightDown(const WindowMessage& message) {
    WindowMessage move(message);
    move.code = 3006;
    mouseMove(move);
    if (hover_ == nullptr)
        hover_ = background_;
    Window* window = getEditorWindow();
    if (hover_ == nullptr || window == nullptr)
        return false;
    PopupMenu menu(1);
    hover_->showContextMenu(menu, message.where - hover_->getOrigin());
    const PopupMenuItem* chosen = menu.track(window, message.where, false);
    // Only an item a control of this editor made comes back to it.
    if (chosen == nullptr || !ownsControl(wordToPointer<const void>(chosen->owner)))
        return false;
    auto* owner = wordToPointer<Control>(chosen->owner);
    const ControlMessage command(this, Code::kRightClick, message.where - owner->getOrigin(),
                                 static_cast<MessageWord>(chosen->value));
    return owner->receive(command);
}

void Editor::pointerLeft(const WindowMessage& message) {
    leaveHover(hover_, message, false);
    hover_ = nullptr;
    active_ = false;
}

bool Editor::dragAccepted(const WindowMessage& message) {
    WindowMessage local(message);
    local.where = framePoint(message.where);
    if (frame_->receive(local))
        return true;
    return plugin_ != nullptr && plugin_->receive(message);
}

bool Editor::dropped(const WindowMessage& message) {
    if (focusRequest_ != nullptr)
        return focusRequest_->receive(message);
    if (Control* target = frame_->findControlAt(framePoint(message.where)))
        if (sendLocal(target, message, message.code))
            return true;
    return plugin_ != nullptr && plugin_->receive(message);
}

bool Editor::sendToHover(const std::int32_t key[3]) {
    if (hover_ == nullptr)
        return false;
    const WindowMessage message(this, 3024, 0, key[0], key[1], key[2], 0);
    return hover_->receive(message);
}

void Editor::beginEdit(Control* control, const Point& where) {
    broadcast(ControlMessage(this, Code::kEditBegin, where, pointerToWord(control)));
}

void Editor::endEdit(Control* control, const Point& where) {
    broadcast(ControlMessage(this, Code::kEditEnd, where, pointerToWord(control)));
}

void Editor::setFocusControl(Control* control) {
    if (control == focusRequest_)
        return;
    if (focusRequest_ != nullptr && focused_ != nullptr)
        focused_->receive(ControlMessage(this, Code::kLostCurrent));
    Control* focusable = control;
    while (focusable != nullptr && focusable->testFlags(Control::kFocusable) == 0)
        focusable = focusable->getParent();
    focusRequest_ = control;
    if (focusable != nullptr) {
        focusable->receive(ControlMessage(this, Code::kBecameCurrent));
        focused_ = focusable;
        return;
    }
    if (focused_ != nullptr)
        focused_->receive(ControlMessage(this, Code::kLostCurrent));
    focused_ = control;
}

} // namespace trov
