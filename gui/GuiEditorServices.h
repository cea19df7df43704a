#pragma once

#include "framework/EditorServices.h"

namespace trov {

// The editor library's factory for the layers below it: real skin bitmaps (`Bitmap`) and popup menus
// (`PopupMenu`). Installed by whoever runs the editor
// (`setEditorServices`); any thread may use it.
class GuiEditorServices : public EditorServicesFactory {
public:
    BitmapInterface* createBitmap(const File& file) override;
    std::unique_ptr<PopupMenuInterface> createPopupMenu(std::uintptr_t owner) override;
};

} // namespace trov
