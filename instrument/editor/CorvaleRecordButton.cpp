#include "instrument/editor/CorvaleRecordButton.h"

#include "framework/Folder.h"
#include "framework/Preferences.h"
#include "gui/Editor.h"
#include "gui/PopupEditBox.h"
#include "gui/PopupMenu.h"
#include "gui/Window.h"
#include "instrument/InstrumentKeys.h"
#include "plugin/ParameterValue.h"
#include "plugin/Settings.h"

#include <string>

namespace trov {

namespace {

constexpr const char* kRecordedSamplesPath = "RecordedSamplesPath";

} // namespace

CorvaleRecordButton::CorvaleRecordButton(Editor* editor) : ControlValueButton<bool>(editor) {
    clearFlags(kTextEntry);
    listenTo(keys::kRecordModeEnabled);
}

void CorvaleRecordButton::showContextMenu(PopupMenu& menu, const Point& where) {
    ControlValueButton<bool>::showContextMenu(menu, where);
    menu.addItem(
        PopupMenuItem(pointerToWord(this), kMenuFirstOwnItem + kRecordFolder, "Record Folder...", 0));
}

bool CorvaleRecordButton::receive(const Message& message) {
    if (message.kind == kKindParameter && message.code == Code::kParameterValue) {
        const auto* change = dynamic_cast<const ParameterMessage*>(&message);
        if (change != nullptr && change->name == keys::kRecordModeEnabled && getParameter() != nullptr) {
            const bool on = (change->extra & 0xFF) != 0;
            if (onUserInterfaceThread()) {
                setBlinking(on);
            } else {
                pendingBlink_.store(on ? 1 : 0, std::memory_order_release);
                deferControlWork();
            }
            // A button bound to the same parameter still follows it.
            if (change->name == getParameterName())
                ControlValueButton<bool>::receive(message);
            return true;
        }
    }
    if (message.kind == kKindControl && message.code == Code::kRightClick &&
        static_cast<std::int32_t>(message.extra) == kMenuFirstOwnItem + kRecordFolder) {
        chooseRecordFolder();
        return true;
    }
    if (message.kind == kKindWindow && message.code == Code::kLeftDoubleClick) {
        editFileMask();
        return true;
    }
    return ControlValueButton<bool>::receive(message);
}

void CorvaleRecordButton::applyDeferredControlWork() {
    ControlValueButton<bool>::applyDeferredControlWork();
    if (const int blink = pendingBlink_.exchange(kNoBlinkChange, std::memory_order_acq_rel);
        blink != kNoBlinkChange)
        setBlinking(blink != 0);
}

void CorvaleRecordButton::chooseRecordFolder() {
    Preferences* user = getUserPreferences();
    if (user == nullptr)
        return;
    std::string path;
    user->getString(kRecordedSamplesPath, path);
    Folder folder(path);
    const Editor* editor = getOwnerEditor();
    if (folder.browse("Select record folder", editor != nullptr ? editor->getEditorWindow() : nullptr))
        user->setString(kRecordedSamplesPath, folder.getPath());
}

// The first click of the double click toggled the parameter; the double click puts back what the press
// found, whether or not the mask was entered.
void CorvaleRecordButton::editFileMask() {
    Editor* editor = getOwnerEditor();
    Settings* settings = getSettings();
    if (editor != nullptr && settings != nullptr)
        if (Window* window = editor->getEditorWindow()) {
            const Point centre = getAbsoluteRect().getCenter();
            const Rect area(centre.x - kMaskWidth / 2, centre.y - kMaskHeight / 2, kMaskWidth, kMaskHeight);
            std::string mask = settings->getString(keys::kSampleRecordMask);
            PopupEditBox box(window, getOwner());
            if (box.edit(area, "File mask", mask, std::string()))
                settings->setString(keys::kSampleRecordMask, mask, Sender::kEditor);
        }
    if (ParameterValue<bool>* parameter = valueParameter())
        parameter->setValue(parameter->getValue() == getOnValue() ? getPressValue() : getOnValue(),
                            Sender::kEditor);
}

} // namespace trov
