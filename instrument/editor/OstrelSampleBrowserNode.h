#pragma once

#include "gui/controls/FileBrowserNode.h"

#include <cstdint>
#include <string>

namespace trov {

class OstrelSampleBrowser;

// One entry of the instrument's sample browser: a folder, a bank, a patch, a sample, a loop or another
// file by its name, or a program or sample listed from inside a bank or patch (same file as its document,
// with its position there and, for a sample, its id). A bank or patch lists its programs and samples
// when it is listed. Rows are drawn in the LCD's colours with an icon of the kind.
//
// Owned by its parent node (a root by its browser). User-interface thread only: listing reads the disk.
class OstrelSampleBrowserNode : public FileBrowserNode {
public:
    static constexpr std::int32_t kKindBank = 1;
    static constexpr std::int32_t kKindPatch = 2; // a patch file, or a program inside a bank
    static constexpr std::int32_t kKindSample = 3;
    static constexpr std::int32_t kKindLoop = 4;
    static constexpr std::int32_t kKindOther = 5;
    // Tag bit of a root that stays: not removed from the folder pane and not saved as a favourite.
    static constexpr std::uint32_t kTagFixed = 2;

    explicit OstrelSampleBrowserNode(OstrelSampleBrowser* browser);

    // By the folder path, else by the file's extension (in lower case), else whether the sample readers
    // take the file; worked out once.
    std::int32_t getKind() override;
    // The name in upper case, in the LCD's amber for the current entry (tag bit 1) or its grey, on a bar
    // of that colour while highlighted; then the icon of the kind (closed or open).
    void drawName(Canvas& canvas, const Rect& text, const Rect& icon) override;
    // A folder as the library lists it; a bank or patch document its programs (a bank's) and its
    // samples, from scratch at each listing; a patch takes its program's id as its key.
    void populate() override;

    // The position in its document of a program or sample listed from inside one; -1 otherwise.
    int getIndex() const { return index_; }
    const std::string& getId() const { return id_; }
    bool isInsideDocument() const { return index_ >= 0; }
    OstrelSampleBrowser* getSampleBrowser() const { return sampleBrowser_; }

private:
    std::int32_t kindOfFile() const;
    void listDocument();
    OstrelSampleBrowserNode* addDocumentChild(std::int32_t kind, int index, const std::string& name);

    OstrelSampleBrowser* sampleBrowser_;
    std::int32_t kind_ = kKindUnknown;
    int index_ = -1;
    std::string id_;
};

} // namespace trov
