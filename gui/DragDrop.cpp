#include "gui/DragDrop.h"

#include "framework/Dictionary.h"
#include "framework/Logger.h"
#include "framework/Message.h"
#include "gui/Window.h"

#include <cstring>

namespace trov {

namespace {

using platform::FormatRequest;
using platform::StorageMedium;

constexpr std::int32_t kDragQuery = 3018;
constexpr std::int32_t kDragAccepted = 3019;
constexpr std::int32_t kDragEnded = 3020;
constexpr std::int32_t kDropFile = 3021;
constexpr std::int32_t kDropRegion = 3022;
constexpr MessageWord kEnterExtra = 5;

const FormatRequest kTextRequest{platform::kFormatText, platform::kAspectContent, -1,
                                 platform::kMediumGlobal};
const FormatRequest kFilesRequest{platform::kFormatFileList, platform::kAspectContent, -1,
                                  platform::kMediumGlobal};

// A medium from the data object, released when the holder goes, whatever path leaves.
class HeldMedium {
public:
    HeldMedium(platform::DataObject* data, const FormatRequest& request) {
        ok_ = data != nullptr && data->getData(request, medium_) == platform::kOk &&
              medium_.medium == platform::kMediumGlobal && medium_.global != 0;
        if (!ok_)
            platform::releaseStorageMedium(medium_);
    }
    ~HeldMedium() { platform::releaseStorageMedium(medium_); }
    HeldMedium(const HeldMedium&) = delete;
    HeldMedium& operator=(const HeldMedium&) = delete;
    bool ok() const { return ok_; }
    platform::GlobalHandle block() const { return medium_.global; }

private:
    StorageMedium medium_;
    bool ok_ = false;
};

std::string fileName(platform::GlobalHandle block, unsigned index) {
    const unsigned length = platform::dragQueryFile(block, index, nullptr, 0);
    std::string name(length, '\0');
    if (length > 0)
        platform::dragQueryFile(block, index, name.data(), length + 1);
    return name;
}

} // namespace

DragDropContainer::DragDropContainer(platform::DataObject* data) : data_(data) {
    if (data_ != nullptr)
        data_->addRef();
    if (HeldMedium text(data_, kTextRequest); text.ok()) {
        kind_ = kKindText;
        count_ = 1;
        return;
    }
    HeldMedium files(data_, kFilesRequest);
    if (!files.ok())
        return;
    kind_ = kKindFiles;
    count_ = static_cast<int>(platform::dragQueryFile(files.block(), 0xFFFFFFFFu, nullptr, 0));
    for (int i = 0; i < count_; ++i) {
        const std::string name = fileName(files.block(), static_cast<unsigned>(i));
        files_.emplace_back(name);
        if (Logger* log = getLog())
            log->log(1, "DnD file='%s' [%s]", name.c_str(),
                     "__thiscall trov::DragDropContainer::DragDropContainer(void *)");
    }
}

DragDropContainer::~DragDropContainer() {
    if (data_ != nullptr)
        data_->release();
}

const char* DragDropContainer::nextItem(std::size_t& size, int& kind) {
    buffer_.clear();
    if (HeldMedium text(data_, kTextRequest); text.ok()) {
        // The text is one item, read once.
        if (textRead_)
            return nullptr;
        textRead_ = true;
        const std::size_t bytes = platform::globalSize(text.block());
        buffer_.assign(bytes + 1, '\0');
        std::memcpy(buffer_.data(), platform::globalLock(text.block()), bytes);
        size = bytes;
        kind = kKindText;
        return buffer_.data();
    }
    HeldMedium files(data_, kFilesRequest);
    if (!files.ok())
        return nullptr;
    const unsigned index = static_cast<unsigned>(next_);
    if (index >= platform::dragQueryFile(files.block(), 0xFFFFFFFFu, nullptr, 0))
        return nullptr;
    ++next_;
    const std::string name = fileName(files.block(), index);
    buffer_.assign(name.begin(), name.end());
    buffer_.push_back('\0');
    size = name.size();
    kind = kKindFiles;
    return buffer_.data();
}

File DragDropContainer::getFile(int n) const {
    if (n < 0 || n >= static_cast<int>(files_.size()))
        return File();
    return files_[static_cast<std::size_t>(n)];
}

DragDropTarget::DragDropTarget(const Module* owner) : Radio(owner) {}

DragDropTarget::~DragDropTarget() {
    revokeWindow(window_);
    delete container_;
}

bool DragDropTarget::registerWindow(Window* window) {
    if (window == nullptr || platform::registerDragDrop(window->getHandle(), this) != platform::kOk)
        return false;
    window_ = window;
    return true;
}

bool DragDropTarget::revokeWindow(Window*) {
    if (window_ == nullptr)
        return true;
    const platform::WindowHandle handle = window_->getHandle();
    window_ = nullptr;
    return platform::revokeDragDrop(handle) == platform::kOk;
}

File DragDropTarget::getDroppedFile(int index) const {
    return container_ != nullptr ? container_->getFile(index) : File();
}

Point DragDropTarget::toClient(platform::NativePoint screen) const {
    const Rect client = window_ != nullptr ? window_->getClientScreenRect() : Rect();
    return Point(screen.x - client.left, screen.y - client.top);
}

bool DragDropTarget::sendDrag(std::int32_t code, const Point& point, MessageWord extra) {
    WindowMessage message(this, code, 0, point, extra);
    return receive(message);
}

platform::Result DragDropTarget::dragEnter(platform::DataObject* data, unsigned, platform::NativePoint screen,
                                           unsigned& effect) {
    if (data == nullptr) {
        effect = platform::kEffectNone;
        return platform::kOk;
    }
    delete container_;
    container_ = new DragDropContainer(data);
    effect = platform::kEffectCopy | platform::kEffectMove;
    lastPoint_ = toClient(screen);
    sendDrag(kDragQuery, lastPoint_, kEnterExtra);
    return platform::kOk;
}

platform::Result DragDropTarget::dragOver(unsigned, platform::NativePoint screen, unsigned& effect) {
    lastPoint_ = toClient(screen);
    if (container_ != nullptr && sendDrag(kDragQuery, lastPoint_, 0)) {
        sendDrag(kDragAccepted, lastPoint_, kEnterExtra);
        effect = platform::kEffectCopy | platform::kEffectMove;
        return platform::kOk;
    }
    effect = platform::kEffectNone;
    return platform::kUnexpected;
}

platform::Result DragDropTarget::dragLeave() {
    if (container_ != nullptr) {
        sendDrag(kDragEnded, lastPoint_, 0);
        delete container_;
        container_ = nullptr;
    }
    return platform::kOk;
}

platform::Result DragDropTarget::drop(platform::DataObject*, unsigned, platform::NativePoint screen,
                                      unsigned&) {
    const Point point = toClient(screen);
    lastPoint_ = point;
    sendDrag(kDragEnded, point, 0);
    if (container_ != nullptr) {
        std::size_t size = 0;
        int kind = DragDropContainer::kKindNothing;
        while (const char* item = container_->nextItem(size, kind)) {
            if (kind == DragDropContainer::kKindText)
                dropText(std::string(item, strnlen(item, size)), point);
            else
                dropFile(std::string(item, size), point);
        }
    }
    delete container_;
    container_ = nullptr;
    return platform::kOk;
}

bool DragDropTarget::dropFile(const std::string& name, const Point& point) {
    sendDrag(kDropFile, point, pointerToWord(name.c_str()));
    return true;
}

bool DragDropTarget::dropText(const std::string& text, const Point& point) {
    Dictionary document;
    if (!document.parse(text))
        return true;
    const Dictionary::View vst = document.getElement("vst-xml");
    if (!vst)
        return false;
    const Dictionary::View region = vst->getElement("region");
    if (!region)
        return true;
    const Dictionary::View segmentView = region->getElement("segment");
    const Dictionary& segment = segmentView ? *segmentView : *region;
    WindowMessage::DropItem item;
    segment.getStringByTag("filename", &item.text);
    int start = 0;
    int end = 0;
    int length = 0;
    segment.getIntegerByTag("start", &start);
    if (!segment.getIntegerByTag("end", &end)) {
        segment.getIntegerByTag("length", &length);
        end = start + length;
    }
    item.first = start;
    item.second = end;
    WindowMessage message(this, kDropRegion, 0, point, item);
    receive(message);
    return true;
}

platform::Result DropObject::queryGetData(const platform::FormatRequest& request) {
    return (request.media & platform::kMediumGlobal) != 0 && request.format == platform::kFormatFileList &&
                   request.aspect == platform::kAspectContent
               ? platform::kOk
               : platform::kFalse;
}

platform::Result DropObject::getData(const platform::FormatRequest& request,
                                     platform::StorageMedium& medium) {
    medium = platform::StorageMedium{};
    if (queryGetData(request) != platform::kOk)
        return platform::kFormatRefused;
    // Sized to the path, so any path fits with its zero and the list's closing zero.
    medium.global = platform::makeFileListBlock({file_.getPath()});
    if (medium.global == 0)
        return platform::kOutOfMemory;
    medium.medium = platform::kMediumGlobal;
    return platform::kOk;
}

platform::Result DropObject::getDataHere(const platform::FormatRequest&, platform::StorageMedium&) {
    return platform::kFormatRefused;
}

platform::Result DropObject::setData(const platform::FormatRequest&, platform::StorageMedium&, bool) {
    return platform::kNotImplemented;
}

platform::Result DropObject::enumFormats(unsigned direction, std::vector<platform::FormatRequest>& formats) {
    if (direction != platform::kDirectionGet)
        return platform::kNotImplemented;
    formats.assign(1, kFilesRequest);
    return platform::kOk;
}

platform::Result DragDropSource::queryContinueDrag(bool escapePressed, unsigned keyState) {
    if (escapePressed)
        return platform::kDragCancelled;
    return (keyState & platform::kKeyLeftButton) != 0 ? platform::kOk : platform::kDragDropped;
}

platform::Result DragDropSource::giveFeedback(unsigned) {
    return platform::kUseDefaultCursors;
}

bool DragDropSource::dragFile(const File& file) {
    auto* object = new DropObject(file);
    lastResult_ = platform::doDragDrop(object, this, platform::kEffectCopy, lastEffect_);
    object->release();
    return true;
}

} // namespace trov
