#pragma once

#include "framework/EditorServices.h"
#include "gui/controls/Control.h"
#include "gui/controls/ControlFileBrowserFrame.h"
#include "gui/controls/FileBrowserNode.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace trov {

class TimerAnimation;

// A tree browser of folders and files shown in side-by-side panes, with folders opening and closing a few
// rows at a time (a 250 ms animation), a highlighted entry, a current-entry tag found by the title, and a
// slight flicker of its opacity with the "LCDContrast" setting. It owns the root nodes and the panes;
// each pane draws and hit-tests the same roots. The instrument's browsers derive from it and fill it with
// sample folders, patches and files.
//
// Owned by its parent. Threads: built, painted and fed with events on the user-interface thread; the
// animation ticks on the timer thread and "LCDContrast" may change on any thread, both only recording
// values and a redraw. `refreshPath` (the file-browser service the engine calls after writing a
// recording) may come from any thread: off the user-interface thread the folder waits for the next paint,
// where it is listed again.
class ControlFileBrowser : public Control, public FileBrowserInterface {
public:
    static constexpr std::int32_t kAnimationTimerId = makeTimerId("CFoc");
    static constexpr int kAnimationSteps = 10;
    static constexpr int kAnimationMs = 250;
    // addRoot's tag bit that opens the root.
    static constexpr std::uint32_t kTagOpen = 4;
    static constexpr const char* kNoTitle = "(no program loaded)";

    explicit ControlFileBrowser(Editor* editor, const Rect& bounds = Rect());
    ~ControlFileBrowser() override;

    // The control's layout, then the panes side by side over the whole control.
    void layout() override;
    bool receive(const Message& message) override;
    // The control's keys, then each pane's.
    bool fromDictionary(const Dictionary& spec) override;
    void paintBackground(Canvas& canvas, const Rect& area) override;

    // A new node for this browser; derived browsers make their own kinds.
    virtual std::unique_ptr<FileBrowserNode> createNode();
    // Takes the pane over as a child control.
    void addFrame(ControlFileBrowserFrame* frame);
    // Takes the node over and shows it as a root in every pane.
    FileBrowserNode* addRoot(std::unique_ptr<FileBrowserNode> node, std::uint32_t tags);
    // Every folder node of that folder is listed again (one level; nodes still there keep their state),
    // then the browser is redrawn. User-interface thread.
    void refreshPath(const Folder& folder);
    // FileBrowserInterface: any thread; file names the folder.
    void refreshPath(const File& folder) override;
    // The title, or kNoTitle for an empty one; the first node whose key equals it and its parents are
    // tagged current, every other node is not.
    void setTitle(const std::string& title);
    const std::string& getTitle() const { return title_; }

    const std::vector<ControlFileBrowserFrame*>& getFrames() const { return frames_; }
    const std::vector<std::unique_ptr<FileBrowserNode>>& getRoots() const { return roots_; }
    // The first node of that name under the roots, or null.
    FileBrowserNode* findNode(const std::string& name) const;
    // Every node under the roots, depth first.
    template <class Visit> void forEachNode(Visit&& visit) const {
        for (const std::unique_ptr<FileBrowserNode>& root : roots_)
            root->forEach(visit);
    }
    float getAnimationValue() const { return animationValue_.load(std::memory_order_acquire); }
    // From 0 again; a paint shows the value until the first tick.
    void restartAnimation();

private:
    void applyPending();

    std::vector<ControlFileBrowserFrame*> frames_; // children
    std::vector<std::unique_ptr<FileBrowserNode>> roots_;
    std::unique_ptr<TimerAnimation> animation_;
    std::atomic<float> animationValue_{1.0f};
    std::string title_;
    // Waiting for the user-interface thread.
    std::atomic<float> pendingContrast_{-1.0f};
    std::mutex pendingMutex_; // a leaf lock: guards pendingFolders_
    std::vector<std::string> pendingFolders_;
    std::atomic<bool> hasPendingFolders_{false};
};

} // namespace trov
