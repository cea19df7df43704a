#include "gui/controls/ControlFileBrowserFrame.h"

#include "engine/zones/ZoneManager.h"
#include "framework/Dictionary.h"
#include "framework/System.h"
#include "gui/Bitmap.h"
#include "gui/Canvas.h"
#include "gui/controls/ControlFileBrowser.h"
#include "gui/controls/SkinBitmaps.h"
#include "plugin/PluginInfo.h"

#include <algorithm>
#include <cmath>

namespace trov {

namespace {

constexpr int kWaitCursor = 10;
constexpr int kArrowCursor = 0;
// Fewer children than this open and close as if they were this many.
constexpr int kLeastAnimatedChildren = 5;

int nearest(float v) {
    return static_cast<int>(std::nearbyint(v));
}

} // namespace

ControlFileBrowserFrame::ControlFileBrowserFrame(Editor* editor, ControlFileBrowser* browser)
    : Control(editor, Rect()), browser_(browser) {
    clearFlags(kLearn);
}

ControlFileBrowserFrame::~ControlFileBrowserFrame() {
    giveBackSkinBitmap(getResources(), folderIcon_);
}

bool ControlFileBrowserFrame::fromDictionary(const Dictionary& spec) {
    std::string name;
    if (spec.getString("foldericon", &name)) {
        giveBackSkinBitmap(getResources(), folderIcon_);
        folderIcon_ = takeSkinBitmap(getResources(), name);
        if (folderIcon_ != nullptr)
            iconWidth_ = folderIcon_->getFrame(0).getWidth();
    }
    return true;
}

void ControlFileBrowserFrame::addRoot(FileBrowserNode* node, std::uint32_t tags) {
    if (node == nullptr)
        return;
    if (!node->isListed())
        node->populate();
    roots_.push_back(node);
    if ((tags & ControlFileBrowser::kTagOpen) != 0)
        node->setOpen(true);
    node->setTags(node->getTags() | (tags & ~ControlFileBrowser::kTagOpen));
    setNeedsRedraw(true);
}

bool ControlFileBrowserFrame::visitsChildren(const FileBrowserNode& node) const {
    return node.getOpenState() != FileBrowserNode::kClosed || node.isHighlighted();
}

int ControlFileBrowserFrame::shownChildren(FileBrowserNode& node) const {
    const int count = static_cast<int>(node.getChildren().size());
    const int animated = std::max(count, kLeastAnimatedChildren);
    const float progress = browser_ != nullptr ? browser_->getAnimationValue() : 1.0f;
    int shown = 0;
    switch (node.getOpenState()) {
    case FileBrowserNode::kClosing:
        shown = animated - nearest(static_cast<float>(animated) * progress) - 1;
        if (shown < 1)
            node.setOpenState(FileBrowserNode::kClosed);
        break;
    case FileBrowserNode::kOpening:
        shown = nearest(static_cast<float>(animated) * progress);
        if (shown >= count)
            node.setOpenState(FileBrowserNode::kOpen);
        break;
    case FileBrowserNode::kOpen:
        shown = count;
        break;
    default:
        break;
    }
    return std::clamp(shown, 0, count);
}

void ControlFileBrowserFrame::walk(FileBrowserNode& node, Canvas& canvas, int indent, int& y) {
    if (!isShown(node))
        return;
    const FileBrowserNode::Measure measure = node.measure(canvas);
    const int width = getLocalRect().getWidth();
    const Rect row(Point(indent, y), Point(std::max(width, indent), y + measure.height));
    rows_.push_back({&node, row});
    content_.right = std::max(content_.right, indent + measure.width);
    content_.bottom = row.bottom;
    y = row.bottom;
    if (!visitsChildren(node))
        return;
    const int shown = shownChildren(node);
    for (int i = 0; i < shown; ++i)
        walk(*node.getChildren()[static_cast<std::size_t>(i)], canvas, indent + measure.indent, y);
}

void ControlFileBrowserFrame::layoutRows(Canvas& canvas) {
    rows_.clear();
    content_ = Rect();
    int y = 0;
    for (FileBrowserNode* root : roots_)
        walk(*root, canvas, 0, y);
}

void ControlFileBrowserFrame::setProductFont(Canvas& canvas) const {
    if (const PluginInfo* info = getPluginInfo())
        if (const Font* font = info->getFont(0))
            canvas.setFont(*font);
}

void ControlFileBrowserFrame::drawNode(FileBrowserNode& node, Canvas& canvas, const Rect& rect) {
    const int right = getLocalRect().getWidth() - kTextMargin;
    Rect text(rect.getTopLeft(), Point(right, rect.bottom));
    Rect icon;
    if (iconsShown_ && !iconsOnRight_) {
        icon = Rect(rect.left - kIconGap, rect.top, kIconWidth, rect.getHeight());
    } else if (iconsShown_) {
        text.left += kIconGap;
        text.right -= kIconGap + kTextMargin;
        icon = Rect(rect.left, rect.top, kIconWidth, rect.getHeight());
    }
    if (iconsShown_ && folderIcon_ != nullptr && node.getKind() == FileBrowserNode::kKindFolder) {
        const Rect frame = folderIcon_->getFrame(node.getOpenState() == FileBrowserNode::kClosed ? 0 : 1);
        if (!frame.isEmpty())
            canvas.drawBitmap(folderIcon_, frame,
                              Rect(icon.left, icon.top, frame.getWidth(), frame.getHeight()));
    }
    node.drawName(canvas, text, icon);
}

void ControlFileBrowserFrame::paint(Canvas& canvas, const Rect& area) {
    setProductFont(canvas);
    canvas.setTextColor(colorWhite);
    layoutRows(canvas);
    // A pane with a scrollbar is as tall as its rows (never shorter than its view): the scrollbar learns
    // their height and scrolls them by moving the pane inside the browser.
    if (const Control* bar = getScrollbar(1))
        setSize(Rect(0, 0, getLocalRect().getWidth(),
                     std::max(content_.bottom, bar->getLocalRect().getHeight())));
    const Point scroll = getScrollOffset();
    for (const Row& row : rows_) {
        const Rect shown = row.rect - scroll;
        if (shown.intersects(area))
            drawNode(*row.node, canvas, shown);
    }
}

FileBrowserNode* ControlFileBrowserFrame::nodeAt(const Point& p) {
    Canvas measuring(1, 1);
    setProductFont(measuring);
    layoutRows(measuring);
    const Point q = p + getScrollOffset();
    if (q.x < 0 || q.x > getLocalRect().getWidth())
        return nullptr;
    for (const Row& row : rows_)
        if (q.y >= row.rect.top && q.y < row.rect.bottom)
            return row.node;
    return nullptr;
}

Rect ControlFileBrowserFrame::getRowRect(const FileBrowserNode* node) {
    Canvas measuring(1, 1);
    setProductFont(measuring);
    layoutRows(measuring);
    for (const Row& row : rows_)
        if (row.node == node)
            return row.rect - getScrollOffset();
    return Rect();
}

bool ControlFileBrowserFrame::receive(const Message& message) {
    const auto* window = message.kind == kKindWindow ? dynamic_cast<const WindowMessage*>(&message) : nullptr;
    if (window != nullptr)
        switch (window->code) {
        case 3000:
        case 3001:
            return press(*window) || Control::receive(message);
        case 3011:
            if (Control* scrollbar = getScrollbar(1))
                return scrollbar->receive(message);
            break;
        case 3021:
        case 3022: {
            ZoneManager* zones = getZoneManager();
            return zones != nullptr && zones->receive(message);
        }
        default:
            break;
        }
    return Control::receive(message);
}

bool ControlFileBrowserFrame::press(const WindowMessage& message) {
    FileBrowserNode* node = nodeAt(message.where);
    if (node == nullptr || browser_ == nullptr)
        return false;
    if (!node->isListed() && node->getKind() == FileBrowserNode::kKindFolder) {
        setCursor(kWaitCursor);
        node->populate();
        setCursor(kArrowCursor);
    }
    if (!isKeyDown(kKeyShift))
        browser_->forEachNode([node](FileBrowserNode& other) {
            if (&other == node)
                return;
            other.setHighlighted(false);
            bool onPath = false;
            for (const FileBrowserNode* up = node->getParent(); up != nullptr && !onPath;
                 up = up->getParent())
                onPath = up == &other;
            if (!onPath)
                other.setOpen(false);
        });
    const bool closed = node->getOpenState() == FileBrowserNode::kClosed;
    if (closed)
        node->setHighlighted(true);
    if (!node->getChildren().empty()) {
        node->setOpenState(closed ? FileBrowserNode::kOpening : FileBrowserNode::kClosing);
        for (const std::unique_ptr<FileBrowserNode>& child : node->getChildren())
            child->setHighlighted(false);
        browser_->restartAnimation();
    }
    browser_->requestRedraw(true);
    return true;
}

} // namespace trov
