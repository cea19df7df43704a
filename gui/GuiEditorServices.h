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

// Makes the editor library's factory the installed one unless a factory of someone else's is installed.
// Every process that runs an editor does so when its first editor is made (and when it loads, if the
// editor's code is linked), so that skin bitmaps are real wherever an editor can show them.
void installGuiEditorServices();

} // namespace trov
