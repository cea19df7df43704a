#include "platform/DragDrop.h"
#include "platform/LastingObjects.h"

#include "platform/Shell.h"
#include "platform/WindowSystem.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>

namespace trov::platform {

namespace {

struct Globals {
    std::mutex mutex;
    std::map<GlobalHandle, std::vector<std::uint8_t>> blocks;
    GlobalHandle next = 1;
};

Globals& globals() {
    static Globals* const all = keepToTheEnd(new Globals); // blocks may be freed during teardown
    return *all;
}

struct Registrations {
    std::mutex mutex;
    std::map<WindowHandle, DropTarget*> targets;
    DropTarget* sink = nullptr;
};

Registrations& registrations() {
    static Registrations* const all = keepToTheEnd(new Registrations);
    return *all;
}

void writeWord(std::uint8_t* at, std::uint32_t value) {
    std::memcpy(at, &value, sizeof value);
}

std::uint32_t readWord(const std::uint8_t* at) {
    std::uint32_t value = 0;
    std::memcpy(&value, at, sizeof value);
    return value;
}

// The names of a file-list block, each up to its zero; a name running off the block's end is dropped.
std::vector<std::string> fileListNames(GlobalHandle block) {
    std::lock_guard guard(globals().mutex);
    std::vector<std::string> names;
    auto it = globals().blocks.find(block);
    if (it == globals().blocks.end() || it->second.size() < kFileListHeaderSize)
        return names;
    const std::vector<std::uint8_t>& bytes = it->second;
    std::size_t at = readWord(bytes.data());
    while (at < bytes.size() && bytes[at] != 0) {
        const auto end = std::find(bytes.begin() + static_cast<std::ptrdiff_t>(at), bytes.end(), 0);
        if (end == bytes.end())
            break;
        names.emplace_back(bytes.begin() + static_cast<std::ptrdiff_t>(at), end);
        at = static_cast<std::size_t>(end - bytes.begin()) + 1;
    }
    return names;
}

unsigned keyStateNow() {
    unsigned state = 0;
    if (getKeyState(VirtualKey::kLeftButton))
        state |= kKeyLeftButton;
    if (getKeyState(VirtualKey::kRightButton))
        state |= kKeyRightButton;
    if (getKeyState(VirtualKey::kShift))
        state |= kKeyShift;
    if (getKeyState(VirtualKey::kControl))
        state |= kKeyControl;
    return state;
}

} // namespace

GlobalHandle globalAlloc(std::size_t size) {
    std::lock_guard guard(globals().mutex);
    const GlobalHandle block = globals().next++;
    globals().blocks[block].assign(size, 0);
    return block;
}

bool globalFree(GlobalHandle block) {
    std::lock_guard guard(globals().mutex);
    return globals().blocks.erase(block) != 0;
}

std::size_t globalSize(GlobalHandle block) {
    std::lock_guard guard(globals().mutex);
    auto it = globals().blocks.find(block);
    return it != globals().blocks.end() ? it->second.size() : 0;
}

std::uint8_t* globalLock(GlobalHandle block) {
    std::lock_guard guard(globals().mutex);
    auto it = globals().blocks.find(block);
    return it != globals().blocks.end() ? it->second.data() : nullptr;
}

std::size_t liveGlobalBlocks() {
    std::lock_guard guard(globals().mutex);
    return globals().blocks.size();
}

void releaseStorageMedium(StorageMedium& medium) {
    if (medium.releaser != nullptr)
        medium.releaser->release();
    else if (medium.medium == kMediumGlobal && medium.global != 0)
        globalFree(medium.global);
    medium = StorageMedium{};
}

GlobalHandle makeFileListBlock(const std::vector<std::string>& files) {
    std::size_t size = kFileListHeaderSize + 1;
    for (const std::string& file : files)
        size += file.size() + 1;
    const GlobalHandle block = globalAlloc(size);
    std::uint8_t* bytes = globalLock(block);
    writeWord(bytes, static_cast<std::uint32_t>(kFileListHeaderSize));
    std::size_t at = kFileListHeaderSize;
    // Each name's zero and the closing zero come from the zero-filled block.
    for (const std::string& file : files) {
        std::copy(file.begin(), file.end(), bytes + at);
        at += file.size() + 1;
    }
    return block;
}

unsigned dragQueryFile(GlobalHandle block, unsigned index, char* buffer, unsigned size) {
    const std::vector<std::string> names = fileListNames(block);
    if (index == 0xFFFFFFFFu)
        return static_cast<unsigned>(names.size());
    if (index >= names.size())
        return 0;
    const std::string& name = names[index];
    if (buffer == nullptr)
        return static_cast<unsigned>(name.size());
    if (size == 0)
        return 0;
    const std::size_t copied = std::min<std::size_t>(name.size(), size - 1);
    std::memcpy(buffer, name.data(), copied);
    buffer[copied] = '\0';
    return static_cast<unsigned>(copied);
}

Result registerDragDrop(WindowHandle window, DropTarget* target) {
    if (target == nullptr || !WindowSystem::instance().isWindow(window))
        return kUnexpected;
    {
        std::lock_guard guard(registrations().mutex);
        if (!registrations().targets.emplace(window, target).second)
            return kAlreadyRegistered;
    }
    target->addRef();
    return kOk;
}

Result revokeDragDrop(WindowHandle window) {
    DropTarget* target = nullptr;
    {
        std::lock_guard guard(registrations().mutex);
        auto it = registrations().targets.find(window);
        if (it == registrations().targets.end())
            return kNotRegistered;
        target = it->second;
        registrations().targets.erase(it);
    }
    target->release();
    return kOk;
}

DropTarget* registeredDropTarget(WindowHandle window) {
    std::lock_guard guard(registrations().mutex);
    auto it = registrations().targets.find(window);
    return it != registrations().targets.end() ? it->second : nullptr;
}

void setDropSink(DropTarget* sink) {
    std::lock_guard guard(registrations().mutex);
    registrations().sink = sink;
}

DragSession::DragSession(DataObject* data) : data_(data) {
    if (data_ != nullptr)
        data_->addRef();
}

DragSession::~DragSession() {
    leave();
    if (data_ != nullptr)
        data_->release();
}

DropTarget* DragSession::targetAt(NativePoint screen) const {
    WindowSystem& windows = WindowSystem::instance();
    for (WindowHandle w = windows.windowFromPoint(screen); w != kNoWindow; w = windows.getParent(w))
        if (DropTarget* target = registeredDropTarget(w))
            return target;
    std::lock_guard guard(registrations().mutex);
    return registrations().sink;
}

void DragSession::switchTo(DropTarget* target, NativePoint screen, unsigned keyState) {
    if (target == current_)
        return;
    leave();
    current_ = target;
    if (current_ == nullptr)
        return;
    current_->addRef();
    unsigned effect = kEffectCopy | kEffectMove;
    current_->dragEnter(data_, keyState, screen, effect);
    effect_ = effect;
}

unsigned DragSession::enter(NativePoint screen, unsigned keyState) {
    switchTo(targetAt(screen), screen, keyState);
    return current_ != nullptr ? effect_ : kEffectNone;
}

unsigned DragSession::over(NativePoint screen, unsigned keyState) {
    DropTarget* target = targetAt(screen);
    if (target != current_)
        return enter(screen, keyState);
    if (current_ == nullptr)
        return kEffectNone;
    unsigned effect = kEffectCopy | kEffectMove;
    current_->dragOver(keyState, screen, effect);
    effect_ = effect;
    return effect_;
}

void DragSession::leave() {
    if (current_ == nullptr)
        return;
    DropTarget* target = current_;
    current_ = nullptr;
    effect_ = kEffectNone;
    target->dragLeave();
    target->release();
}

unsigned DragSession::drop(NativePoint screen, unsigned keyState) {
    over(screen, keyState | kKeyLeftButton);
    if (current_ == nullptr)
        return kEffectNone;
    DropTarget* target = current_;
    current_ = nullptr;
    unsigned effect = effect_;
    if (effect == kEffectNone) {
        // Refused where it was let go: the target only learns that the drag left.
        target->dragLeave();
    } else {
        target->drop(data_, keyState, screen, effect);
    }
    target->release();
    effect_ = kEffectNone;
    return effect;
}

Result doDragDrop(DataObject* data, DropSource* source, unsigned allowedEffects, unsigned& effect) {
    effect = kEffectNone;
    if (data == nullptr || source == nullptr)
        return kUnexpected;
    WindowSystem& windows = WindowSystem::instance();
    EventLoop& loop = windows.loop();
    DragSession session(data);
    session.enter(windows.getPointer(), keyStateNow());
    for (;;) {
        EventLoop::Event event;
        bool escape = false;
        bool ended = !loop.takeEvent(event);
        if (!ended && event.code == EventLoop::kQuitEvent) {
            loop.postQuit(static_cast<int>(event.param));
            ended = true;
        }
        if (ended) {
            source->queryContinueDrag(true, keyStateNow());
            session.leave();
            return kDragCancelled;
        }
        if (!windows.isInput(event)) {
            loop.dispatch(event);
            continue;
        }
        windows.applyInputState(event);
        if (event.code == InputEvent::kKey)
            escape = (event.param & 0xFFFF) == static_cast<std::uintptr_t>(VirtualKey::kEscape) &&
                     (event.param & InputEvent::kPressed) != 0;
        const unsigned keys = keyStateNow();
        const Result answer = source->queryContinueDrag(escape, keys);
        if (answer == kDragCancelled) {
            session.leave();
            return kDragCancelled;
        }
        const NativePoint pointer = windows.getPointer();
        if (answer == kDragDropped) {
            effect = session.drop(pointer, keys) & allowedEffects;
            return kDragDropped;
        }
        source->giveFeedback(session.over(pointer, keys) & allowedEffects);
    }
}

MemoryDataObject::MemoryDataObject(std::string text, std::vector<std::string> files, bool withText,
                                   bool withFiles)
    : text_(std::move(text)), files_(std::move(files)), withText_(withText), withFiles_(withFiles) {}

Result MemoryDataObject::queryGetData(const FormatRequest& request) {
    if ((request.media & kMediumGlobal) == 0 || request.aspect != kAspectContent)
        return kFalse;
    if ((request.format == kFormatText && withText_) || (request.format == kFormatFileList && withFiles_))
        return kOk;
    return kFalse;
}

Result MemoryDataObject::getData(const FormatRequest& request, StorageMedium& medium) {
    medium = StorageMedium{};
    if (queryGetData(request) != kOk)
        return kFormatRefused;
    GlobalHandle block = 0;
    if (request.format == kFormatText) {
        block = globalAlloc(text_.size() + 1);
        std::memcpy(globalLock(block), text_.data(), text_.size());
    } else {
        block = makeFileListBlock(files_);
    }
    medium.medium = kMediumGlobal;
    medium.global = block;
    return kOk;
}

Result MemoryDataObject::enumFormats(unsigned direction, std::vector<FormatRequest>& formats) {
    if (direction != kDirectionGet)
        return kNotImplemented;
    formats.clear();
    if (withText_)
        formats.push_back({kFormatText});
    if (withFiles_)
        formats.push_back({kFormatFileList});
    return kOk;
}

Result RecordingDropSink::dragEnter(DataObject*, unsigned, NativePoint, unsigned& effect) {
    ++enters;
    effect &= kEffectCopy;
    return kOk;
}

Result RecordingDropSink::dragOver(unsigned, NativePoint, unsigned& effect) {
    effect &= kEffectCopy;
    return kOk;
}

Result RecordingDropSink::dragLeave() {
    ++leaves;
    return kOk;
}

Result RecordingDropSink::drop(DataObject* data, unsigned, NativePoint, unsigned& effect) {
    ++drops;
    effect &= kEffectCopy;
    if (data == nullptr)
        return kOk;
    StorageMedium medium;
    if (data->getData({kFormatFileList}, medium) == kOk) {
        const unsigned count = dragQueryFile(medium.global, 0xFFFFFFFFu, nullptr, 0);
        for (unsigned i = 0; i < count; ++i) {
            std::string name(dragQueryFile(medium.global, i, nullptr, 0), '\0');
            dragQueryFile(medium.global, i, name.data(), static_cast<unsigned>(name.size() + 1));
            files.push_back(name);
        }
        releaseStorageMedium(medium);
    }
    if (data->getData({kFormatText}, medium) == kOk) {
        const std::uint8_t* bytes = globalLock(medium.global);
        text.assign(reinterpret_cast<const char*>(bytes),
                    strnlen(reinterpret_cast<const char*>(bytes), globalSize(medium.global)));
        releaseStorageMedium(medium);
    }
    return kOk;
}

} // namespace trov::platform
