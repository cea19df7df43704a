#pragma once

#include "instrument/editor/OstrelBrowserPane.h"

namespace trov {

// The sample browser's sample pane ("Wavesamples"): the folder or bank highlighted in the folder pane and
// the samples and loops below the highlighted folder or document. A press on a sample puts it into the
// current zone (a file is imported, a sample inside a document is read from it) and marks it current;
// hovering a sample file shows its name, size and description at the pointer.
//
// Owned by its browser (as a child control). User-interface thread.
class OstrelSampleFiles : public OstrelBrowserPane {
public:
    static constexpr const char* kTitle = "Wavesamples";
    // The id a hovered sample is loaded under to read its description.
    static constexpr const char* kPreviewId = "(preview)";

    OstrelSampleFiles(Editor* editor, OstrelSampleBrowser* browser);

    bool receive(const Message& message) override;
    // A folder or bank while it is highlighted; a sample or loop while its parent is.
    bool isShown(const FileBrowserNode& node) const override;
    // Marks the sample node current (highlighted) and no other sample of the tree; null marks none.
    void setCurrentSample(FileBrowserNode* node);

private:
    bool moved(const WindowMessage& message);
    bool pressed(const WindowMessage& message);
    std::string tooltipOf(OstrelSampleBrowserNode& node);
    bool loadIntoZone(OstrelSampleBrowserNode& node);
};

} // namespace trov
