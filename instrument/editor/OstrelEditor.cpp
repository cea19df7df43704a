#include "instrument/editor/OstrelEditor.h"

#include "engine/modules/Module.h"
#include "engine/zones/ZoneManager.h"
#include "framework/Logger.h"
#include "instance/Plugin.h"
#include "instrument/Corvale.h"
#include "instrument/editor/EditorKeys.h"
#include "plugin/Parameter.h"
#include "plugin/Settings.h"

#include <string_view>

namespace trov {

namespace {

constexpr const char* kFollowed[] = {keys::kCurrentZone, keys::kDisplayBrowser, keys::kDisplayEditor};

std::int32_t longOf(const Message& message) {
    return static_cast<std::int32_t>(static_cast<std::intptr_t>(message.extra));
}

} // namespace

OstrelEditor::OstrelEditor(Plugin* plugin, const Module* module, std::unique_ptr<InfoLine> infoLine)
    : Editor(plugin, module, std::move(infoLine)) {
    parser_.addKeyword(kKeyword);
    shown_.store(getOwner(), std::memory_order_release);
    for (const char* name : kFollowed)
        tuneIn(name);
}

OstrelEditor::~OstrelEditor() {
    if (Corvale* corvale = instrument())
        corvale->detachEditorLink(this);
    // Silenced before any part of it goes: a broadcast on another thread would otherwise call into an
    // editor whose derived part is being destroyed.
    tuneOutOfAll();
}

Corvale* OstrelEditor::instrument() const {
    return dynamic_cast<Corvale*>(getPlugin());
}

bool OstrelEditor::open(platform::WindowHandle parent, const Rect& area) {
    const bool opened = Editor::open(parent, area);
    if (Corvale* corvale = instrument(); corvale != nullptr && opened)
        corvale->attachEditorLink(this);
    return opened;
}

// Forgotten by the instrument first: no block reaches the editor once it begins to close.
void OstrelEditor::close() {
    if (Corvale* corvale = instrument())
        corvale->detachEditorLink(this);
    Editor::close();
}

void OstrelEditor::selectModule(int index) {
    Editor::selectModule(index);
    shown_.store(getOwner(), std::memory_order_release);
}

void OstrelEditor::idle() {
    if (Settings* settings = getSettings())
        settings->setFloat(keys::kInputLevel, getInputLevel(), Sender::kSettings);
    applyPendingZone();
    applyPendingDisplay();
    Editor::idle();
}

bool OstrelEditor::sendToHover(const std::int32_t key[3]) {
    const std::string matched = parser_.feed(static_cast<char>(key[0] & 0xFF));
    if (matched == kKeyword) {
        logLine(2, "Internal parameters enabled");
        if (Settings* settings = getSettings())
            settings->setBool(keys::kShowInternalPage, !settings->getBool(keys::kShowInternalPage),
                              Sender::kSettings);
        return true;
    }
    return Editor::sendToHover(key);
}

bool OstrelEditor::sendKeyRecord(const KeyRecord& record) {
    const std::int32_t key[3] = {record.code, record.first, record.second};
    return Editor::sendToHover(key);
}

ZoneManager* OstrelEditor::shownZoneManager() const {
    const Module* shown = getOwner();
    return shown != nullptr ? shown->getZoneManager() : nullptr;
}

// A selection publishes the zone's values under the zone list's lock, and this runs inside the broadcast
// of "CurrentZone": waiting for that lock here could deadlock against a thread that holds it and waits
// for the parameter. Only a lock taken at once, on the user-interface thread, selects now.
void OstrelEditor::followZone(int index) {
    if (isUserInterfaceThread())
        if (ZoneManager* zones = shownZoneManager(); zones != nullptr && zones->trySelectZone(index))
            return;
    pendingZone_.store(index, std::memory_order_release);
    noteDeferredWork();
}

void OstrelEditor::applyPendingZone() {
    const int index = pendingZone_.exchange(kNoPendingZone, std::memory_order_acq_rel);
    if (index != kNoPendingZone && isOpen())
        selectZone(index);
}

// The other display goes off at the tick, outside this broadcast: switching it here would take its lock
// under this one's, and a switch the other way round takes them in the other order.
void OstrelEditor::keepDisplaysExclusive(const ParameterMessage& change) {
    if ((change.extra & 0xFF) == 0 || change.flags != Sender::kEditor)
        return;
    pendingDisplayOff_.store(change.name == keys::kDisplayBrowser ? kEditorDisplay : kBrowserDisplay,
                             std::memory_order_release);
    noteDeferredWork();
}

void OstrelEditor::applyPendingDisplay() {
    const int off = pendingDisplayOff_.exchange(kNoDisplay, std::memory_order_acq_rel);
    if (off == kNoDisplay)
        return;
    if (Settings* settings = getSettings())
        if (Parameter* parameter =
                settings->getParameter(off == kEditorDisplay ? keys::kDisplayEditor : keys::kDisplayBrowser))
            parameter->setNormalized(0.0f, Sender::kSettings);
}

// The control under the drop point takes the drop first; one that takes it is not offered it again by the
// base routing (the file would be imported twice).
bool OstrelEditor::dropOnHover(const WindowMessage& drop) {
    receive(WindowMessage(this, Code::kMouseMove, 0, drop.where, 0));
    Control* hover = getHover();
    if (hover == nullptr)
        return false;
    WindowMessage local(drop);
    local.where = drop.where - hover->getAbsoluteRect().getTopLeft();
    return hover->receive(local);
}

bool OstrelEditor::receive(const Message& message) {
    if (!isOpen())
        return false;
    if (message.kind == kKindParameter && message.code == Code::kParameterValue) {
        if (const auto* change = dynamic_cast<const ParameterMessage*>(&message)) {
            if (change->name == keys::kCurrentZone) {
                // Every module's zone values reach the editor; only the shown module's selection is
                // followed.
                const Settings* settings = getSettings();
                if (settings != nullptr && change->sender == settings->getParameter(keys::kCurrentZone))
                    followZone(longOf(*change));
                return true;
            }
            if (change->name == keys::kDisplayBrowser || change->name == keys::kDisplayEditor)
                keepDisplaysExclusive(*change);
        }
    } else if (message.kind == kKindWindow && message.code == Plugin::kDropFile) {
        if (const auto* drop = dynamic_cast<const WindowMessage*>(&message);
            drop != nullptr && dropOnHover(*drop))
            return true;
    }
    return Editor::receive(message);
}

} // namespace trov
