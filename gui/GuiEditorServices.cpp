#include "gui/GuiEditorServices.h"

#include "gui/Bitmap.h"
#include "gui/PopupMenu.h"

namespace trov {

BitmapInterface* GuiEditorServices::createBitmap(const File& file) {
    return new Bitmap(file);
}

std::unique_ptr<PopupMenuInterface> GuiEditorServices::createPopupMenu(std::uintptr_t owner) {
    // The owner word is the menu's command base.
    return std::make_unique<PopupMenu>(static_cast<std::int32_t>(owner));
}

} // namespace trov
