#pragma once

#include "gui/controls/Control.h"
#include "gui/controls/FileBrowserNode.h"

#include <cstdint>
#include <vector>

namespace trov {

class ControlFileBrowser;

// One pane of a file browser: draws the browser's roots as an indented tree of rows, with children
// appearing and disappearing a few at a time as the browser's animation runs, and answers which row lies
// under a point. A press on a row highlights it and opens or closes it (Shift keeps the other rows as they
// are); the wheel goes to the pane's vertical scrollbar (when it has one, the pane grows to the height of
// its rows and the scrollbar moves it inside the browser); dropped files go to the module's zone manager.
// The tree is drawn moved by the control's scroll offset; `getContentBounds` is how far it reaches.
//
// Owned by its browser (as a child control); the nodes belong to the browser. User-interface thread.
class ControlFileBrowserFrame : public Control {
public:
    // Icon cells: 8 pixels wide, 9 pixels from the text.
    static constexpr int kIconWidth = 8;
    static constexpr int kIconGap = 9;
    // The text ends this far from the pane's right edge.
    static constexpr int kTextMargin = 10;

    ControlFileBrowserFrame(Editor* editor, ControlFileBrowser* browser);
    ~ControlFileBrowserFrame() override;

    bool receive(const Message& message) override;
    // The control's keys, then "foldericon".
    bool fromDictionary(const Dictionary& spec) override;
    void paint(Canvas& canvas, const Rect& area) override;

    // Lists the node when it is not listed yet and shows it as a root; tag bit 4 opens it, the other bits
    // join its tags.
    void addRoot(FileBrowserNode* node, std::uint32_t tags);
    const std::vector<FileBrowserNode*>& getRoots() const { return roots_; }
    // The node whose row holds the point (control coordinates), or null.
    virtual FileBrowserNode* nodeAt(const Point& p);
    // The node's row in control coordinates as last laid out; empty when it is not shown.
    Rect getRowRect(const FileBrowserNode* node);
    Rect getContentBounds() const { return content_; }
    virtual bool isShown(const FileBrowserNode& /*node*/) const { return true; }
    // Open, opening, closing or highlighted nodes have their children drawn.
    virtual bool visitsChildren(const FileBrowserNode& node) const;
    void setIcons(bool shown, bool onRight) {
        iconsShown_ = shown;
        iconsOnRight_ = onRight;
    }
    ControlFileBrowser* getBrowser() const { return browser_; }

protected:
    // Draws one row: rect runs from the node's indent to the pane's right edge, in control coordinates.
    virtual void drawNode(FileBrowserNode& node, Canvas& canvas, const Rect& rect);

private:
    struct Row {
        FileBrowserNode* node;
        Rect rect; // in content coordinates, from the indent to the pane's right edge
    };
    // How many of a node's children show at this point of the animation; moves the node on to open or
    // closed when the animation has gone far enough.
    int shownChildren(FileBrowserNode& node) const;
    // The rows of the tree, top to bottom, measured in the canvas's font; the content's extent.
    void layoutRows(Canvas& canvas);
    void walk(FileBrowserNode& node, Canvas& canvas, int indent, int& y);
    bool press(const WindowMessage& message);
    void setProductFont(Canvas& canvas) const;

    ControlFileBrowser* browser_;
    std::vector<FileBrowserNode*> roots_;
    bool iconsOnRight_ = false;
    bool iconsShown_ = false;
    Bitmap* folderIcon_ = nullptr;
    int iconWidth_ = 10;
    Rect content_;
    std::vector<Row> rows_;
};

} // namespace trov
