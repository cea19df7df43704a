#include "gui/controls/FileBrowserNode.h"

#include "gui/Canvas.h"
#include "gui/controls/ControlFileBrowser.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <utility>

namespace trov {

namespace {

const Color kHighlightText(255, 255, 0);

bool isHidden(const std::string& name) {
    return !name.empty() && name.front() == '.';
}

} // namespace

FileBrowserNode::FileBrowserNode(ControlFileBrowser* browser) : Radio(nullptr), browser_(browser) {}

FileBrowserNode::~FileBrowserNode() = default;

std::int32_t FileBrowserNode::getKind() {
    if (!kindKnown_) {
        kindKnown_ = true;
        if (!folder_.isEmpty() && folder_.exists())
            kind_ = kKindFolder;
    }
    return kind_;
}

void FileBrowserNode::setFolder(const Folder& folder) {
    folder_ = folder;
    if (name_.empty())
        setName(folder.getName());
}

void FileBrowserNode::setFile(const File& file) {
    file_ = file;
    if (name_.empty())
        setName(file.getName());
}

void FileBrowserNode::drawName(Canvas& canvas, const Rect& text, const Rect& /*icon*/) {
    canvas.setTextColor(highlighted_ ? kHighlightText : colorWhite);
    canvas.drawText(name_, text, 0);
}

FileBrowserNode::Measure FileBrowserNode::measure(Canvas& canvas) {
    if (!measured_) {
        const Rect size = canvas.measureText(name_);
        const float lineHeight = canvas.getFont().getLineHeight();
        measure_.width = size.getWidth();
        measure_.height = lineHeight > 0.0f ? static_cast<int>(lineHeight) : size.getHeight();
        measured_ = true;
    }
    const std::int32_t kind = getKind();
    measure_.indent = kind == kKindFolder || kind == 1 ? kFolderIndent : 0;
    return measure_;
}

FileBrowserNode* FileBrowserNode::addChild(std::unique_ptr<FileBrowserNode> child) {
    child->parent_ = this;
    children_.push_back(std::move(child));
    return children_.back().get();
}

bool FileBrowserNode::leadsBack() const {
    const std::string here = folder_.getPath();
    for (const FileBrowserNode* up = parent_; up != nullptr; up = up->parent_) {
        if (up->folder_.isEmpty())
            continue;
        std::error_code error;
        if (std::filesystem::equivalent(here, up->folder_.getPath(), error))
            return true;
    }
    return false;
}

void FileBrowserNode::populate() {
    if (getKind() != kKindFolder)
        return;
    listed_ = true;
    std::vector<Folder> folders;
    std::vector<File> files;
    if (!leadsBack()) {
        folder_.listFolders(folders);
        folder_.listFiles(files);
    }
    std::vector<std::unique_ptr<FileBrowserNode>> old = std::move(children_);
    children_.clear();
    // A node still listed is kept with its own state; a new entry gets a new node.
    const auto reuse = [&](auto matches) -> std::unique_ptr<FileBrowserNode> {
        const auto found = std::find_if(old.begin(), old.end(),
                                        [&](const auto& node) { return node != nullptr && matches(*node); });
        return found != old.end() ? std::move(*found) : browser_->createNode();
    };
    for (const Folder& folder : folders) {
        if (isHidden(folder.getName()))
            continue;
        std::unique_ptr<FileBrowserNode> node =
            reuse([&](const FileBrowserNode& n) { return !n.folder_.isEmpty() && n.folder_ == folder; });
        node->setFolder(folder);
        node->setKind(kKindFolder);
        addChild(std::move(node));
    }
    for (const File& file : files) {
        if (isHidden(file.getName()))
            continue;
        std::unique_ptr<FileBrowserNode> node =
            reuse([&](const FileBrowserNode& n) { return n.folder_.isEmpty() && n.file_ == file; });
        node->setFile(file);
        addChild(std::move(node));
    }
}

void FileBrowserNode::setOpen(bool open) {
    if (open) {
        if (openState_ != kOpen)
            openState_ = kOpening;
        if (!listed_ && getKind() == kKindFolder)
            populate();
    } else if (openState_ != kClosed) {
        openState_ = kClosing;
    }
}

FileBrowserNode* FileBrowserNode::find(const std::string& name) {
    if (name_ == name)
        return this;
    for (const std::unique_ptr<FileBrowserNode>& child : children_)
        if (FileBrowserNode* found = child->find(name))
            return found;
    return nullptr;
}

} // namespace trov
