#pragma once

#include "gui/Canvas.h"
#include "plugin/PluginInfo.h"

namespace trov {

// Gives the canvas the product's font of that index (the product's table, `PluginInfo::getFont`); the
// canvas keeps its font when there is no product or no such font.
inline void setProductFont(Canvas& canvas, int index) {
    if (const PluginInfo* info = getPluginInfo())
        if (const Font* font = info->getFont(index))
            canvas.setFont(*font);
}

} // namespace trov
