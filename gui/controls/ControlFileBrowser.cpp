#include "gui/controls/ControlFileBrowser.h"

#include "engine/zones/Resources.h"
#include "framework/Random.h"
#include "gui/TimerAnimation.h"
#include "plugin/Parameter.h"

#include <utility>

namespace trov {

namespace {

constexpr const char* kContrast = "LCDContrast";
constexpr float kFlicker = 0.05f;
constexpr float kNoContrast = -1.0f;

} // namespace

ControlFileBrowser::ControlFileBrowser(Editor* editor, const Rect& bounds)
    : Control(editor, bounds),
      animation_(std::make_unique<TimerAnimation>(getOwner(),
                                                  TimerMessage(this, Code::kTimerTick, kAnimationTimerId, 0),
                                                  0.0f, 1.0f, kAnimationSteps, kAnimationMs, false)) {
    clearFlags(kEditable | kLearn);
    tuneInTo(animation_.get());
    if (Resources* resources = getResources())
        tuneInTo(resources);
    tuneIn(kContrast);
}

// The animation goes first (its destructor waits for a tick in flight), then the panes (children) and the
// nodes they show.
ControlFileBrowser::~ControlFileBrowser() {
    tuneOutOf(animation_.get());
    animation_.reset();
    if (Resources* resources = getResources())
        tuneOutOf(resources);
    tuneOut(kContrast);
    for (ControlFileBrowserFrame* frame : frames_) {
        removeChild(frame);
        delete frame;
    }
    frames_.clear();
}

std::unique_ptr<FileBrowserNode> ControlFileBrowser::createNode() {
    return std::make_unique<FileBrowserNode>(this);
}

void ControlFileBrowser::addFrame(ControlFileBrowserFrame* frame) {
    if (frame == nullptr)
        return;
    frames_.push_back(frame);
    addChild(frame);
    for (const std::unique_ptr<FileBrowserNode>& root : roots_)
        frame->addRoot(root.get(), 0);
}

FileBrowserNode* ControlFileBrowser::addRoot(std::unique_ptr<FileBrowserNode> node, std::uint32_t tags) {
    if (node == nullptr)
        return nullptr;
    roots_.push_back(std::move(node));
    FileBrowserNode* root = roots_.back().get();
    for (ControlFileBrowserFrame* frame : frames_)
        frame->addRoot(root, tags);
    if (frames_.empty()) {
        if (!root->isListed())
            root->populate();
        if ((tags & kTagOpen) != 0)
            root->setOpen(true);
        root->setTags(root->getTags() | (tags & ~kTagOpen));
    }
    return root;
}

// Side by side, two pixels apart.
void ControlFileBrowser::layout() {
    Control::layout();
    const int count = static_cast<int>(frames_.size());
    if (count == 0)
        return;
    const Rect local = getLocalRect();
    const int step = (local.getWidth() - 2 * (count - 1)) / count + 2;
    for (int i = 0; i < count; ++i)
        frames_[static_cast<std::size_t>(i)]->setBounds(Rect(
            Point(local.left + i * step, local.top), Point(local.left + (i + 1) * step - 1, local.bottom)));
}

bool ControlFileBrowser::fromDictionary(const Dictionary& spec) {
    const bool read = Control::fromDictionary(spec);
    for (ControlFileBrowserFrame* frame : frames_)
        frame->fromDictionary(spec);
    return read;
}

void ControlFileBrowser::restartAnimation() {
    animationValue_.store(0.0f, std::memory_order_release);
    animation_->cancel();
    animation_->start();
}

FileBrowserNode* ControlFileBrowser::findNode(const std::string& name) const {
    for (const std::unique_ptr<FileBrowserNode>& root : roots_)
        if (FileBrowserNode* found = root->find(name))
            return found;
    return nullptr;
}

void ControlFileBrowser::refreshPath(const Folder& folder) {
    forEachNode([&folder](FileBrowserNode& node) {
        if (node.getKind() == FileBrowserNode::kKindFolder && node.getFolder() == folder)
            node.populate();
    });
    requestRedraw(true);
}

void ControlFileBrowser::refreshPath(const File& folder) {
    if (onUserInterfaceThread()) {
        refreshPath(Folder(folder.getPath()));
        return;
    }
    {
        std::lock_guard guard(pendingMutex_);
        pendingFolders_.push_back(folder.getPath());
    }
    hasPendingFolders_.store(true, std::memory_order_release);
    requestRedraw(true);
}

void ControlFileBrowser::setTitle(const std::string& title) {
    title_ = title.empty() ? kNoTitle : title;
    forEachNode([](FileBrowserNode& node) { node.setTags(node.getTags() & ~FileBrowserNode::kTagCurrent); });
    FileBrowserNode* current = nullptr;
    forEachNode([&](FileBrowserNode& node) {
        if (current == nullptr && node.getKey() == title_)
            current = &node;
    });
    for (FileBrowserNode* node = current; node != nullptr; node = node->getParent())
        node->setTags(node->getTags() | FileBrowserNode::kTagCurrent);
    requestRedraw(true);
}

// Timer and parameter threads: values and a recorded redraw.
bool ControlFileBrowser::receive(const Message& message) {
    if (message.kind == kKindTimer && message.code == Code::kTimerTick) {
        const auto* tick = dynamic_cast<const TimerMessage*>(&message);
        if (tick != nullptr && tick->timerId == kAnimationTimerId) {
            animationValue_.store(wordToFloat(message.extra), std::memory_order_release);
            requestRedraw(true);
            return true;
        }
    }
    if (message.kind == kKindParameter && message.code == Code::kParameterValue) {
        const auto* change = dynamic_cast<const ParameterMessage*>(&message);
        if (change != nullptr && change->name == kContrast) {
            pendingContrast_.store(change->value, std::memory_order_release);
            if (onUserInterfaceThread())
                applyPending();
            requestRedraw(true);
            return true;
        }
    }
    return Control::receive(message);
}

// User-interface thread.
void ControlFileBrowser::applyPending() {
    const float contrast = pendingContrast_.exchange(kNoContrast, std::memory_order_acq_rel);
    if (contrast != kNoContrast)
        setTransparency(contrast * (1.0f + kFlicker * (static_cast<float>(randomDouble()) - 0.5f)));
    if (!hasPendingFolders_.exchange(false, std::memory_order_acq_rel))
        return;
    std::vector<std::string> folders;
    {
        std::lock_guard guard(pendingMutex_);
        folders.swap(pendingFolders_);
    }
    for (const std::string& path : folders)
        refreshPath(Folder(path));
}

void ControlFileBrowser::paintBackground(Canvas& /*canvas*/, const Rect& /*area*/) {
    applyPending();
}

} // namespace trov
