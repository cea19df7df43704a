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

void installGuiEditorServices() {
    static GuiEditorServices services;
    if (dynamic_cast<NullEditorServices*>(&editorServices()) != nullptr)
        setEditorServices(&services);
}

namespace {
// At load, before the resources can ask for a bitmap.
const bool gInstalledAtLoad = (installGuiEditorServices(), true);
} // namespace

} // namespace trov
