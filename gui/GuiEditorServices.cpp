#include "gui/GuiEditorServices.h"

#include "gui/Bitmap.h"

namespace trov {

BitmapInterface* GuiEditorServices::createBitmap(const File& file) {
    return new Bitmap(file);
}

std::unique_ptr<PopupMenuInterface> GuiEditorServices::createPopupMenu(std::uintptr_t) {
    return std::make_unique<NullPopupMenu>();
}

} // namespace trov
