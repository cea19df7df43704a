#pragma once

#include "gui/controls/ControlValueButton.h"

namespace trov {

// The layer button ("LayerButton"): a value button on the shown layer ("CurrentModule"). A press ends a
// zone solo ("SoloZone") and changes the layer as any value button does; a double click solos the current
// zone and blinks until the next press; its context menu swaps the instrument's two layers.
//
// Owned by its parent. Threads: as the value button; clicks and the menu on the user-interface thread.
class OstrelLayerButton : public ControlValueButton<long> {
public:
    // Context-menu entry, numbered from `kMenuFirstOwnItem`.
    static constexpr std::int32_t kSwapLayers = 0;

    explicit OstrelLayerButton(Editor* editor);

    void showContextMenu(PopupMenu& menu, const Point& where) override;
    bool receive(const Message& message) override;

private:
    void setSolo(bool on);
};

} // namespace trov
