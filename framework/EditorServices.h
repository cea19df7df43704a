#pragma once

#include "framework/Color.h"
#include "framework/File.h"
#include "framework/Rect.h"
#include "framework/SharedObject.h"
#include "platform/WindowHandle.h"

#include <memory>
#include <string>

namespace trov {

class Message;
class Module;
class NativeWindow;
class Radio;

// What the layers below the editor call on the editor library: the editor itself, skin bitmaps, popup
// menus, drop targets and the file browser. The editor library implements these interfaces and installs
// its factory; until it does, the null implementations below answer (no editor, bitmaps that load
// nothing, empty menus).

// An open editor, as the plug-in core, the engine and the instrument see it. User-interface thread.
class EditorInterface {
public:
    virtual ~EditorInterface() = default;
    // With null, asks for a redraw of the whole editor area.
    virtual void draw(void* deviceContext) = 0;
    // The index-th control of that name (from 0), or null.
    virtual Radio* findControl(const std::string& name, int index) = 0;
    virtual Radio* getControlAt(const Point& point) = 0;
    virtual const Module* getEditedModule() const = 0;
    virtual Rect getSize() const = 0;
    // Null while the editor is closed.
    virtual const NativeWindow* getWindow() const = 0;
    virtual void idle() = 0;
    virtual bool open(platform::WindowHandle parent, const Rect& bounds) = 0;
    virtual void close() = 0;
    virtual bool receiveMessage(const Message& message) = 0;
    virtual void selectModule(int moduleIndex) = 0;
    virtual void setBounds(const Rect& bounds) = 0;
    // Colours every control bound to the parameter; colorNone removes the highlight.
    virtual void setHighlight(Radio* parameter, const Color& color) = 0;
    virtual void showInfo(const void* sender, const std::string& text, int level) = 0;
    virtual void clearInfo(const void* sender) = 0;
    virtual void showModule(int moduleIndex) = 0;
    // Writes what the open editor's window shows as a PNG file carrying the text chunk keyword = text (none
    // for an empty keyword), replacing what is at path only once it is whole; false when it is closed, and
    // false with the reason in problem, writing nothing, when it shows nothing, the file cannot be written
    // (the system's reason), its specification did not load (naming the file) or skins it paints did not
    // load (naming them: a bare panel is no picture of it).
    virtual bool writeImage(const std::string& /*path*/, const std::string& /*keyword*/,
                            const std::string& /*text*/, std::string& /*problem*/) {
        return false;
    }
    // The skins the editor paints that did not load, on one line naming them and their folder (the problem
    // writeImage gives for them); empty when it lacks none.
    virtual std::string getMissingSkins() const { return std::string(); }
};

// A reference-counted skin bitmap loaded from an image file at construction.
class BitmapInterface : public SharedObject {
public:
    virtual Rect getBounds() const = 0;
    virtual bool isLoaded() const = 0;
    virtual void setAlphabet(const std::string& alphabet) = 0;
    virtual void setFlicker(float flicker) = 0;
    virtual void setFrameRect(const Rect& rect) = 0;
    virtual void setSourceRect(const Rect& rect) = 0;
    virtual void setTransparency(float transparency) = 0;
    virtual void setUseAlpha(bool useAlpha) = 0;
};

// A native popup menu; deleting it deletes its submenus.
class PopupMenuInterface {
public:
    virtual ~PopupMenuInterface() = default;
};

// The source of the files of the current drag.
class DragDropTargetInterface {
public:
    virtual ~DragDropTargetInterface() = default;
    // The index-th dropped file; an empty file when there is none.
    virtual File getDroppedFile(int index) const = 0;
};

// A file browser control that can re-read the nodes showing a folder.
class FileBrowserInterface {
public:
    virtual ~FileBrowserInterface() = default;
    virtual void refreshPath(const File& folder) = 0;
};

// Creates the editor library's objects for the layers below it.
class EditorServicesFactory {
public:
    virtual ~EditorServicesFactory() = default;
    // A bitmap with one reference, owned by the caller (released, not deleted).
    virtual BitmapInterface* createBitmap(const File& file) = 0;
    virtual std::unique_ptr<PopupMenuInterface> createPopupMenu(std::uintptr_t owner) = 0;
};

// The installed factory; the null one until the editor library installs its own.
EditorServicesFactory& editorServices();
// Installs a factory (not owned); null restores the null one.
void setEditorServices(EditorServicesFactory* factory);

// Null implementations.
class NullBitmap : public BitmapInterface {
public:
    Rect getBounds() const override { return Rect(); }
    bool isLoaded() const override { return false; }
    void setAlphabet(const std::string&) override {}
    void setFlicker(float) override {}
    void setFrameRect(const Rect&) override {}
    void setSourceRect(const Rect&) override {}
    void setTransparency(float) override {}
    void setUseAlpha(bool) override {}
};

class NullPopupMenu : public PopupMenuInterface {};

class NullEditorServices : public EditorServicesFactory {
public:
    BitmapInterface* createBitmap(const File&) override { return new NullBitmap(); }
    std::unique_ptr<PopupMenuInterface> createPopupMenu(std::uintptr_t) override {
        return std::make_unique<NullPopupMenu>();
    }
};

} // namespace trov
