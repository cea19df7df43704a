#pragma once

#include "gui/controls/ControlFileBrowser.h"

#include <atomic>
#include <cstdint>
#include <memory>

namespace trov {

class Bitmap;
class OstrelSampleFiles;
class Preferences;
class OstrelSampleFolders;

// The instrument's sample and patch browser ("SampleBrowser"): a file browser of two panes, the folders
// with their banks, patches and programs (`OstrelSampleFolders`) and the samples of the folder or document
// highlighted there (`OstrelSampleFiles`). Its roots are the factory presets' folder and the recordings'
// folder (both fixed) and the user's favourite folders (preferences "Preferences/Sample Folders"). It marks
// the current program (by "CurrentProgram") and the current zone's sample (by "CurrentZone"), and flickers
// its opacity with "LCDContrast" like the rest of the emulated display.
//
// Owned by its parent. Threads: built, painted and fed with events on the user-interface thread;
// notifications may come from any thread: there the browser only records what changed, and the editor's
// next tick applies it. The current zone's sample is always looked up at the tick, never inside the zone
// list's broadcast.
class OstrelSampleBrowser : public ControlFileBrowser {
public:
    // How far each contrast notification moves the opacity at random, either way.
    static constexpr float kFlicker = 0.05f;
    // Where the fixed roots come from.
    static constexpr const char* kFactoryPresetsPath = "FactoryPresetsPath";
    static constexpr const char* kRecordedSamplesPath = "RecordedSamplesPath";
    static constexpr const char* kFavourites = "Preferences/Sample Folders";
    static constexpr const char* kFavouritePrefix = "Folder";

    OstrelSampleBrowser(Editor* editor, const Rect& bounds);
    ~OstrelSampleBrowser() override;

    bool fromDictionary(const Dictionary& spec) override;
    bool receive(const Message& message) override;
    std::unique_ptr<FileBrowserNode> createNode() override;

    OstrelSampleFolders* getFolders() const { return folders_; }
    OstrelSampleFiles* getFiles() const { return files_; }
    // The icons of the kinds ("BrowserIcons": a column per kind, a row each for closed and open); null
    // when the skin has none.
    Bitmap* getIcons() const { return icons_; }
    // The last "CurrentZone" value; -1 before the first.
    int getCurrentZone() const { return currentZone_.load(std::memory_order_relaxed); }

protected:
    void applyDeferredControlWork() override;

private:
    void addRoots();
    void addFixedRoot(const Preferences* preferences, const char* name, int standardFolder);
    // The current zone's sample becomes every pane's current node.
    void showZoneSample();
    void applyContrast(float contrast);

    OstrelSampleFolders* folders_;
    OstrelSampleFiles* files_;
    Bitmap* icons_ = nullptr;
    std::atomic<int> currentZone_{-1};
    // Left for the editor's tick by notifications.
    std::atomic<bool> pendingZone_{false};
    std::atomic<bool> pendingTitle_{false};
    std::atomic<float> pendingContrast_{-1.0f};
};

} // namespace trov
