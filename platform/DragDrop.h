#pragma once

#include "platform/WindowEvents.h"
#include "platform/WindowHandle.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace trov::platform {

// The in-process stand-in for drag and drop between windows and applications: movable global memory
// blocks, data objects offering formats in storage media, drop targets registered per window, drop
// sources, the modal drag loop, a scripted drag session for tests and a sink that stands for whatever
// lies outside our windows (the file manager), which records what is dropped on it.
// User-interface thread, except the global blocks, which any thread may use.

using Result = std::int32_t;
constexpr Result kOk = 0;
constexpr Result kFalse = 1;
constexpr Result kNotImplemented = static_cast<Result>(0x80004001u);
constexpr Result kUnexpected = static_cast<Result>(0x8000FFFFu);
constexpr Result kOutOfMemory = static_cast<Result>(0x8007000Eu);
constexpr Result kFormatRefused = static_cast<Result>(0x80040064u);
constexpr Result kAdviseNotSupported = static_cast<Result>(0x80040003u);
constexpr Result kDragDropped = 0x00040100;
constexpr Result kDragCancelled = 0x00040101;
constexpr Result kUseDefaultCursors = 0x00040102;
constexpr Result kNotRegistered = static_cast<Result>(0x80040100u);
constexpr Result kAlreadyRegistered = static_cast<Result>(0x80040101u);

// Clipboard formats.
constexpr std::uint16_t kFormatText = 1;
constexpr std::uint16_t kFormatFileList = 15;
// Media and aspects.
constexpr unsigned kMediumNone = 0;
constexpr unsigned kMediumGlobal = 1;
constexpr unsigned kMediumStream = 4;
constexpr unsigned kAspectContent = 1;
constexpr unsigned kDirectionGet = 1;

// Drop effects and the key state word.
constexpr unsigned kEffectNone = 0;
constexpr unsigned kEffectCopy = 1;
constexpr unsigned kEffectMove = 2;
constexpr unsigned kKeyLeftButton = 0x1;
constexpr unsigned kKeyRightButton = 0x2;
constexpr unsigned kKeyShift = 0x4;
constexpr unsigned kKeyControl = 0x8;

// Movable global memory: handles to zero-filled blocks.
using GlobalHandle = std::uintptr_t;
GlobalHandle globalAlloc(std::size_t size);
// False for an unknown handle.
bool globalFree(GlobalHandle block);
std::size_t globalSize(GlobalHandle block);
// The block's bytes (valid until it is freed), null for an unknown handle.
std::uint8_t* globalLock(GlobalHandle block);
// Blocks allocated and not yet freed, process-wide.
std::size_t liveGlobalBlocks();

// Reference-counted interfaces in the manner of the platform's objects: the counts are their owners'
// business; the platform takes a reference while it holds one and gives it back.
class Unknown {
public:
    virtual std::int32_t addRef() = 0;
    virtual std::int32_t release() = 0;

protected:
    virtual ~Unknown() = default;
};

struct FormatRequest {
    std::uint16_t format = 0;
    unsigned aspect = kAspectContent;
    std::int32_t index = -1;
    unsigned media = kMediumGlobal; // a set of media
};

struct StorageMedium {
    unsigned medium = kMediumNone;
    GlobalHandle global = 0;
    // Releases the medium in its producer's way; none: the receiver frees the block.
    Unknown* releaser = nullptr;
};
// Frees the medium's block (or lets its releaser do it) and clears it.
void releaseStorageMedium(StorageMedium& medium);

class DataObject : public Unknown {
public:
    virtual Result getData(const FormatRequest& request, StorageMedium& medium) = 0;
    virtual Result getDataHere(const FormatRequest& request, StorageMedium& medium) = 0;
    virtual Result queryGetData(const FormatRequest& request) = 0;
    virtual Result setData(const FormatRequest& request, StorageMedium& medium, bool release) = 0;
    virtual Result enumFormats(unsigned direction, std::vector<FormatRequest>& formats) = 0;
};

class DropTarget : public Unknown {
public:
    virtual Result dragEnter(DataObject* data, unsigned keyState, NativePoint screen, unsigned& effect) = 0;
    virtual Result dragOver(unsigned keyState, NativePoint screen, unsigned& effect) = 0;
    virtual Result dragLeave() = 0;
    virtual Result drop(DataObject* data, unsigned keyState, NativePoint screen, unsigned& effect) = 0;
};

class DropSource : public Unknown {
public:
    virtual Result queryContinueDrag(bool escapePressed, unsigned keyState) = 0;
    virtual Result giveFeedback(unsigned effect) = 0;
};

// A file-list block: a 20-byte header (list offset 20, drop point, not in the frame, narrow names)
// followed by each name and its zero, and one more zero.
constexpr std::size_t kFileListHeaderSize = 20;
GlobalHandle makeFileListBlock(const std::vector<std::string>& files);
// With index 0xFFFFFFFF the number of names; otherwise copies name index (cut to fit, with its zero) and
// answers the characters copied, or with a null buffer the name's length; 0 when there is no such name.
unsigned dragQueryFile(GlobalHandle block, unsigned index, char* buffer, unsigned size);

// Registration per window; the platform keeps a reference while registered.
Result registerDragDrop(WindowHandle window, DropTarget* target);
Result revokeDragDrop(WindowHandle window);
DropTarget* registeredDropTarget(WindowHandle window);

// Where a drop on no registered window goes (not owned; null: such drops are refused).
void setDropSink(DropTarget* sink);

// One drag as the window system's drag loop runs it, scripted by a test: the target under each point is
// the registered one of the window there or of its nearest ancestor, else the sink.
class DragSession {
public:
    explicit DragSession(DataObject* data);
    ~DragSession();
    DragSession(const DragSession&) = delete;
    DragSession& operator=(const DragSession&) = delete;

    // Each answers the effect the target under the point allows (none without one).
    unsigned enter(NativePoint screen, unsigned keyState = kKeyLeftButton);
    unsigned over(NativePoint screen, unsigned keyState = kKeyLeftButton);
    void leave();
    // The effect of the drop; none when no target took it.
    unsigned drop(NativePoint screen, unsigned keyState = 0);

private:
    DropTarget* targetAt(NativePoint screen) const;
    void switchTo(DropTarget* target, NativePoint screen, unsigned keyState);

    DataObject* data_;
    DropTarget* current_ = nullptr;
    unsigned effect_ = kEffectNone;
};

// The modal drag loop: moves the data with the pointer until the source says drop or cancel, asking it at
// each input taken from the queue (Escape pressed, the buttons and modifier keys held); other queued events
// are dispatched; a quit request is posted again and cancels. An empty queue cancels too, so the loop never
// waits. kDragDropped or kDragCancelled; effect the drop's.
Result doDragDrop(DataObject* data, DropSource* source, unsigned allowedEffects, unsigned& effect);

// A plain data object: text, a file list or both, in global memory.
class MemoryDataObject : public DataObject {
public:
    MemoryDataObject(std::string text, std::vector<std::string> files, bool withText, bool withFiles);
    std::int32_t addRef() override { return ++references_; }
    std::int32_t release() override { return --references_; }
    Result getData(const FormatRequest& request, StorageMedium& medium) override;
    Result getDataHere(const FormatRequest&, StorageMedium&) override { return kFormatRefused; }
    Result queryGetData(const FormatRequest& request) override;
    Result setData(const FormatRequest&, StorageMedium&, bool) override { return kNotImplemented; }
    Result enumFormats(unsigned direction, std::vector<FormatRequest>& formats) override;

private:
    std::string text_;
    std::vector<std::string> files_;
    bool withText_;
    bool withFiles_;
    std::int32_t references_ = 1;
};

// A drop target that accepts a copy of anything and records the files and text dropped on it.
class RecordingDropSink : public DropTarget {
public:
    std::int32_t addRef() override { return ++references_; }
    std::int32_t release() override { return --references_; }
    Result dragEnter(DataObject* data, unsigned keyState, NativePoint screen, unsigned& effect) override;
    Result dragOver(unsigned keyState, NativePoint screen, unsigned& effect) override;
    Result dragLeave() override;
    Result drop(DataObject* data, unsigned keyState, NativePoint screen, unsigned& effect) override;

    std::vector<std::string> files;
    std::string text;
    int drops = 0;
    int enters = 0;
    int leaves = 0;

private:
    std::int32_t references_ = 1;
};

} // namespace trov::platform
