#pragma once

#include "gui/controls/ControlFileBrowserFrame.h"

namespace trov {

class OstrelSampleBrowser;
class OstrelSampleBrowserNode;

// What both panes of the instrument's sample browser share: the node under a point as the instrument's
// node, the tooltip changed only when the pointer reaches another node, and a double click beside every
// row hiding or showing the browser ("DisplayBrowser").
//
// Owned by its browser (as a child control). User-interface thread.
class OstrelBrowserPane : public ControlFileBrowserFrame {
public:
    OstrelBrowserPane(Editor* editor, OstrelSampleBrowser* browser);

    OstrelSampleBrowser* getSampleBrowser() const { return sampleBrowser_; }
    OstrelSampleBrowserNode* sampleNodeAt(const Point& p);

protected:
    // The wait cursor while a document or a sample is read.
    class WaitCursor {
    public:
        WaitCursor();
        ~WaitCursor();
        WaitCursor(const WaitCursor&) = delete;
        WaitCursor& operator=(const WaitCursor&) = delete;
    };

    // Whether the pointer has reached another node (or left the rows) since the last call; the node
    // is only compared, never used.
    bool hoverMovedTo(const FileBrowserNode* node);
    // "DisplayBrowser" off when it is on, on when it is off, as an editor gesture.
    void toggleBrowserDisplay();

private:
    OstrelSampleBrowser* sampleBrowser_;
    const FileBrowserNode* hovered_ = nullptr;
    bool hoverKnown_ = false;
};

} // namespace trov
