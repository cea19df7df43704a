#pragma once

#include "instrument/editor/OstrelBrowserPane.h"

#include <cstdint>

namespace trov {

// The sample browser's folder pane: the folders, banks, patches and the programs inside banks, with
// their icons on the right. A double click loads a bank, a patch or a program of a bank into the
// instrument; hovering a patch names its file. Its menu adds a favourite folder, lists a folder again or
// removes a favourite; the favourites (roots that are not fixed) are written back to the per-user
// preferences when the pane goes (the editor closes).
//
// Owned by its browser (as a child control). User-interface thread.
class OstrelSampleFolders : public OstrelBrowserPane {
public:
    // Context-menu entries, numbered from `kMenuFirstOwnItem`.
    static constexpr std::int32_t kAddFolder = 0;
    static constexpr std::int32_t kRefreshFolder = 1;
    static constexpr std::int32_t kRemoveFolder = 2;
    // The per-user preference that has a patch written back after it is loaded.
    static constexpr const char* kUpdatePatches = "UpdateKPRs";

    OstrelSampleFolders(Editor* editor, OstrelSampleBrowser* browser);
    ~OstrelSampleFolders() override;

    bool receive(const Message& message) override;
    void showContextMenu(PopupMenu& menu, const Point& where) override;
    // Folders, banks and patches (programs inside banks among them).
    bool isShown(const FileBrowserNode& node) const override;

private:
    bool moved(const WindowMessage& message);
    bool doubleClicked(const WindowMessage& message);
    // A bank or patch lists what it holds before the pane opens it.
    void listDocument(const WindowMessage& message);
    bool loadProgram(const OstrelSampleBrowserNode& node);
    void menuCommand(const ControlMessage& message);
    void saveFavourites();
};

} // namespace trov
