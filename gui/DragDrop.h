#pragma once

#include "framework/EditorServices.h"
#include "framework/File.h"
#include "framework/Point.h"
#include "framework/Radio.h"
#include "framework/SharedObject.h"
#include "platform/DragDrop.h"

#include <atomic>
#include <cstddef>
#include <string>
#include <vector>

namespace trov {

class Window;

// The data of one drag over the editor: text (one item) or a list of files, read from the drag's data
// object. Every storage medium it obtains is released before the call that obtained it returns; the last
// item read is kept until the next read or the container's end. User-interface thread.
class DragDropContainer : public SharedObject {
public:
    static constexpr int kKindNothing = -1;
    static constexpr int kKindFiles = 0;
    static constexpr int kKindText = 1;

    explicit DragDropContainer(platform::DataObject* data);
    ~DragDropContainer() override;

    int getCount() const { return count_; }
    int getKind() const { return kind_; }
    // The next item's bytes (size and kind set), or null when there is none.
    const char* nextItem(std::size_t& size, int& kind);
    // File n, or an empty file when n is out of range.
    File getFile(int n) const;

private:
    platform::DataObject* data_;
    int count_ = 0;
    int kind_ = kKindNothing;
    std::vector<File> files_;
    int next_ = 0;
    bool textRead_ = false;
    std::vector<char> buffer_;
};

// The editor's drop target: turns the platform's drag events over the registered window into window
// messages for its own `receive` (the editor's): 3018 entered or moved (the answer decides whether the
// drag may go on), 3019 accepted, 3020 left or drop started, 3021 a file dropped (extra: its path text),
// 3022 a region dropped (the message's drop item). Points are in the window's client coordinates.
// A base of the editor, which owns it: the platform's references never delete it. User-interface thread.
class DragDropTarget : public platform::DropTarget, public Radio, public DragDropTargetInterface {
public:
    explicit DragDropTarget(const Module* owner);
    ~DragDropTarget() override;
    DragDropTarget(const DragDropTarget&) = delete;
    DragDropTarget& operator=(const DragDropTarget&) = delete;

    bool registerWindow(Window* window);
    // True without a registration.
    bool revokeWindow(Window* window);
    File getDroppedFile(int index) const override;

    std::int32_t addRef() override { return ++references_; }
    std::int32_t release() override { return --references_; }
    platform::Result dragEnter(platform::DataObject* data, unsigned keyState, platform::NativePoint screen,
                               unsigned& effect) override;
    platform::Result dragOver(unsigned keyState, platform::NativePoint screen, unsigned& effect) override;
    platform::Result dragLeave() override;
    platform::Result drop(platform::DataObject* data, unsigned keyState, platform::NativePoint screen,
                          unsigned& effect) override;

    // A dropped text: a region description sends 3022; false only when it holds no "vst-xml" element.
    virtual bool dropText(const std::string& text, const Point& point);
    // A dropped file: 3021 with the path; true.
    virtual bool dropFile(const std::string& name, const Point& point);

private:
    Point toClient(platform::NativePoint screen) const;
    bool sendDrag(std::int32_t code, const Point& point, MessageWord extra);

    std::atomic<std::int32_t> references_{0};
    Window* window_ = nullptr;
    DragDropContainer* container_ = nullptr;
    Point lastPoint_;
};

// The data object of a drag out of the editor: one file, offered as a file list in global memory.
class DropObject : public platform::DataObject, public SharedObject {
public:
    explicit DropObject(const File& file) : file_(file) {}
    std::int32_t addRef() override { return retain(); }
    std::int32_t release() override { return SharedObject::release(); }
    platform::Result getData(const platform::FormatRequest& request,
                             platform::StorageMedium& medium) override;
    platform::Result getDataHere(const platform::FormatRequest& request,
                                 platform::StorageMedium& medium) override;
    platform::Result queryGetData(const platform::FormatRequest& request) override;
    platform::Result setData(const platform::FormatRequest& request, platform::StorageMedium& medium,
                             bool release) override;
    platform::Result enumFormats(unsigned direction, std::vector<platform::FormatRequest>& formats) override;

private:
    File file_;
};

// Drags one file out of the editor: the modal drag runs until the drop or the cancel (Escape).
class DragDropSource : public platform::DropSource, public SharedObject {
public:
    std::int32_t addRef() override { return retain(); }
    std::int32_t release() override { return SharedObject::release(); }
    platform::Result queryContinueDrag(bool escapePressed, unsigned keyState) override;
    platform::Result giveFeedback(unsigned effect) override;
    // True once the drag is over, dropped or not; lastResult tells which.
    bool dragFile(const File& file);
    platform::Result lastResult() const { return lastResult_; }
    unsigned lastEffect() const { return lastEffect_; }

private:
    platform::Result lastResult_ = platform::kOk;
    unsigned lastEffect_ = platform::kEffectNone;
};

} // namespace trov
