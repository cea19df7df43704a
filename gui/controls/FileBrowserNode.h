#pragma once

#include "framework/File.h"
#include "framework/Folder.h"
#include "framework/Radio.h"
#include "framework/Rect.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace trov {

class Canvas;
class ControlFileBrowser;

// One entry of a file browser's tree: a folder (listed one level at a time when it is opened) or a file,
// with the text shown, the key the current-entry tag compares, tags, an open state that the browser's
// animation walks through, and a highlight. Folders list their subfolders first, then their files, as the
// directory lists them; hidden entries (names beginning with ".") are left out, and a folder that leads
// back to one of its own ancestors (a symbolic link loop) lists nothing, so no walk through the tree can
// go on for ever. The instrument's browsers derive their own nodes (patches, samples) with further kinds.
//
// Owned by its parent node (a root by its browser). User-interface thread only: listing a folder reads
// the disk there, one level per opening.
class FileBrowserNode : public Radio {
public:
    static constexpr std::int32_t kKindUnknown = -1;
    static constexpr std::int32_t kKindFolder = 0;
    // Tag bit: the current entry, and each of its parents.
    static constexpr std::uint32_t kTagCurrent = 1;
    // Open states.
    static constexpr int kClosed = 0;
    static constexpr int kClosing = 1;
    static constexpr int kOpening = 2;
    static constexpr int kOpen = 3;
    // How far a folder's children are indented.
    static constexpr int kFolderIndent = 12;

    struct Measure {
        int width = 0;
        int height = 0;
        int indent = 0;
    };

    explicit FileBrowserNode(ControlFileBrowser* browser);
    ~FileBrowserNode() override;

    // kKindFolder once the folder is found to exist (looked up once), else kKindUnknown; subclasses add
    // their own kinds.
    virtual std::int32_t getKind();
    // The name in white, or yellow while highlighted, in the text rectangle; icon is the icon cell.
    virtual void drawName(Canvas& canvas, const Rect& text, const Rect& icon);
    // The name's size in the canvas's font (the font's line height as the row height when it has one)
    // and the indent of the node's children.
    virtual Measure measure(Canvas& canvas);
    // A folder lists its subfolders, then its files, one level deep; entries already there that are
    // still listed keep their nodes (and their own state), the others go. Other kinds list nothing.
    virtual void populate();

    // Opening asked for (closed or closing: opening; open stays open) or closing (open or opening:
    // closing; closed stays closed). An unlisted folder is listed when it opens.
    void setOpen(bool open);
    int getOpenState() const { return openState_; }
    void setOpenState(int state) { openState_ = state; }
    bool isListed() const { return listed_; }
    void setListed(bool listed) { listed_ = listed; }
    bool isHighlighted() const { return highlighted_; }
    void setHighlighted(bool highlighted) { highlighted_ = highlighted; }

    ControlFileBrowser* getBrowser() const { return browser_; }
    FileBrowserNode* getParent() const { return parent_; }
    const Folder& getFolder() const { return folder_; }
    // Sets the name too while it is empty.
    void setFolder(const Folder& folder);
    const File& getFile() const { return file_; }
    void setFile(const File& file);
    const std::string& getName() const { return name_; }
    void setName(const std::string& name) {
        name_ = name;
        measured_ = false;
    }
    const std::string& getKey() const { return key_; }
    void setKey(const std::string& key) { key_ = key; }
    void setKind(std::int32_t kind) {
        kind_ = kind;
        kindKnown_ = true;
    }
    std::uint32_t getTags() const { return tags_; }
    void setTags(std::uint32_t tags) { tags_ = tags; }

    const std::vector<std::unique_ptr<FileBrowserNode>>& getChildren() const { return children_; }
    // Takes the child over.
    FileBrowserNode* addChild(std::unique_ptr<FileBrowserNode> child);
    // This node or a descendant whose name is that, depth first over the listed children; null when none.
    FileBrowserNode* find(const std::string& name);
    // Calls visit for this node and every descendant, depth first.
    template <class Visit> void forEach(Visit&& visit) {
        visit(*this);
        for (const std::unique_ptr<FileBrowserNode>& child : children_)
            child->forEach(visit);
    }

private:
    // Whether the folder is the same directory as one of the node's ancestors'.
    bool leadsBack() const;

    ControlFileBrowser* browser_;
    FileBrowserNode* parent_ = nullptr;
    Folder folder_;
    File file_;
    std::string name_;
    std::string key_;
    std::int32_t kind_ = kKindUnknown;
    bool kindKnown_ = false;
    std::uint32_t tags_ = 0;
    int openState_ = kClosed;
    bool listed_ = false;
    bool highlighted_ = false;
    bool measured_ = false;
    Measure measure_;
    std::vector<std::unique_ptr<FileBrowserNode>> children_;
};

} // namespace trov
