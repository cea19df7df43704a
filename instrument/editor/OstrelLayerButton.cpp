#include "instrument/editor/OstrelLayerButton.h"

#include "gui/PopupMenu.h"
#include "instance/Plugin.h"
#include "instrument/InstrumentKeys.h"
#include "plugin/Parameter.h"
#include "plugin/Settings.h"

namespace trov {

OstrelLayerButton::OstrelLayerButton(Editor* editor) : ControlValueButton<long>(editor) {}

void OstrelLayerButton::showContextMenu(PopupMenu& menu, const Point& where) {
    menu.addItem(PopupMenuItem(pointerToWord(this), kMenuFirstOwnItem + kSwapLayers, "Swap layers", 0));
    menu.addSeparator();
    ControlValueButton<long>::showContextMenu(menu, where);
}

void OstrelLayerButton::setSolo(bool on) {
    if (Settings* settings = getSettings())
        settings->setBool(keys::kSoloZone, on, Sender::kSettings);
    setBlinking(on);
}

bool OstrelLayerButton::receive(const Message& message) {
    if (message.kind == kKindControl && message.code == Code::kRightClick &&
        static_cast<std::int32_t>(message.extra) == kMenuFirstOwnItem + kSwapLayers) {
        if (Plugin* plugin = getPlugin())
            plugin->swapModules(0, 1);
        return true;
    }
    if (message.kind == kKindWindow && message.code == Code::kLeftDown)
        setSolo(false);
    if (message.kind == kKindWindow && message.code == Code::kLeftDoubleClick) {
        setSolo(true);
        return true;
    }
    return ControlValueButton<long>::receive(message);
}

} // namespace trov
