#pragma once

#include "framework/EditorServices.h"
#include "gui/DeferredEdits.h"
#include "gui/DragDrop.h"
#include "gui/Window.h"
#include "gui/controls/Control.h"
#include "gui/controls/ControlMidiMapper.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace trov {

class Canvas;
class ControlDebugInfo;
class ControlManager;
class Dictionary;
class HelpLine;
class InfoLine;
class Plugin;
class Program;

// The base of every plug-in editor: built from the editor specification (the machine preferences
// "InstallPath" and "ControlsXmlFile") into a tree of controls through the product's control factory,
// kept in one flat list in descending z-order; it ties value controls to MIDI controllers, listens to the
// plug-in and to its module- and zone-scoped parameters, opens a window with a canvas in the host's
// window, routes window events, MIDI controllers and parameter edits to its controls, programs and zones
// (`receive`), and repaints only what changed, on its window timer's ticks (`idle`).
//
// One per open editor view of a plug-in instance: made by the product descriptor, owned by the host view,
// which opens and closes it; it owns its factory, mapper, info line, window, canvas and every control.
// Threads: built, opened, painted, fed with window events and destroyed on the user-interface thread.
// Parameter notifications arrive on the thread that changed the parameter and MIDI controllers on the MIDI
// thread (which may be the audio thread): they take no lock of the editor's and allocate nothing; controls
// only record their redraws (`noteDeferredWork`) and edits to store in a program or a zone are kept
// (`DeferredEdits`), both applied at the next tick. `addDirtyRect` may be called from any thread; the dirty
// list has a lock of its own, taken inside the redraw lock, never the other way round.
class Editor : public DragDropTarget, public EditorInterface, public WindowTarget {
public:
    static constexpr int kTitleStripHeight = 12;
    static constexpr int kBackgroundZOrder = 255;
    static constexpr int kHelpZOrder = 1;
    // Copies of a repeat group at the most; more are refused (a specification could ask for billions).
    static constexpr int kMaxInstances = 4096;
    // Nodes one specification may build, group copies included: far beyond any real editor, small enough
    // that nested groups cannot exhaust time or memory.
    static constexpr int kMaxBuiltNodes = 20000;

    // Reads the specification and builds the controls; an unknown control type is logged and thrown on.
    // A specification that does not load leaves an editor without controls (the user is told). The info
    // line (the library's own unless one is given) is there while the controls are built.
    Editor(Plugin* plugin, const Module* module, std::unique_ptr<InfoLine> infoLine = nullptr);
    Editor(const Editor&) = delete;
    Editor& operator=(const Editor&) = delete;
    ~Editor() override;

    // Tunes in to the plug-in, "CurrentModule" and the modules' parameters, once. Whoever makes an editor
    // calls it when the editor is whole (the product's `createEditor`), and `open` does if nobody did: a
    // broadcast on another thread must not reach a derived editor while its construction still runs.
    void startListening();

    // Builds the controls of the node's "controls" under parent (null: roots): repeat groups once per
    // instance, moved by offset times instance and bound to that instance of their parameters. Throws
    // GeneralError when the specification asks for more than kMaxBuiltNodes nodes.
    void buildControls(const Dictionary& spec, Control* parent, int instance, const Point& offset);

    // EditorInterface.
    // With a drawing context, paints the whole editor through it at once; without, queues a full redraw.
    void draw(void* deviceContext) override;
    // The index-th (from 0) control of that id in list order.
    Control* findControl(const std::string& id, int index) override;
    // The front-most visible control of the list under p (editor coordinates).
    Control* getControlAt(const Point& p) override;
    const Module* getEditedModule() const override { return getOwner(); }
    // The bounds moved to the origin.
    Rect getSize() const override { return bounds_.atOrigin(); }
    const NativeWindow* getWindow() const override { return window_.load(std::memory_order_acquire); }
    // The window timer's tick: applies deferred notifications and paints what is dirty. Only while open.
    void idle() override;
    // Opens a window with a canvas over area (the bounds when empty) in the parent.
    bool open(platform::WindowHandle parent, const Rect& area) override;
    void close() override;
    bool receiveMessage(const Message& message) override { return receive(message); }
    // Shows module index: its program activated and its zone selected; the tree follows its settings.
    void selectModule(int index) override;
    void setBounds(const Rect& r) override;
    void setHighlight(Radio* parameter, const Color& color) override;
    void showInfo(const void* sender, const std::string& text, int level) override;
    void clearInfo(const void* sender) override;
    // selectModule, then refresh.
    void showModule(int index) override;
    // The window as the screen would show it (its children and popups laid over it).
    bool writeImage(const std::string& path, const std::string& keyword, const std::string& text,
                    std::string& problem) override;
    std::string getMissingSkins() const override;

    // WindowTarget.
    bool receiveWindowMessage(const WindowMessage& message) override { return receive(message); }
    // Queues r (editor coordinates) unless a queued rectangle contains it; queued ones r contains go.
    // Nothing while closed. Any thread.
    void addDirtyRect(const Rect& r) override;

    Plugin* getPlugin() const override { return plugin_; }
    // Window events, control messages to the editor, MIDI controllers and parameter notifications.
    // False and nothing done while closed.
    bool receive(const Message& message) override;

    // Painting (user-interface thread).
    virtual void invalidate(const Rect& r);
    virtual void invalidateAll();
    // Paints r, or the queued rectangles when r is empty, and shows them in the window.
    void redraw(const Rect& r);
    virtual void paint(Canvas* canvas, const Rect& r);
    virtual void paintRects(Canvas* canvas, const std::vector<Rect>& rects);
    Canvas* getCanvas() const { return canvas_.load(std::memory_order_acquire); }
    // A copy of the queued rectangles, in arrival order.
    std::vector<Rect> getDirtyRects() const;

    // Controls and focus (user-interface thread).
    virtual void addControl(Control* control);
    // Drops every entry of control (it is not deleted) and whatever refers to it.
    virtual void removeControl(Control* control);
    const std::vector<Control*>& getControls() const { return controls_; }
    Control* getFrame() const { return frame_; }
    Control* getBackground() const { return background_; }
    Control* getHover() const { return hover_; }
    Control* getPressed() const { return pressed_; }
    Control* getFocused() const { return focused_; }
    Control* getFocusRequest() const { return focusRequest_; }
    HelpLine* getHelp() const { return help_; }
    virtual void setFocusControl(Control* control);
    // Control messages 6 and 7 to the editor's listeners, extra word = the control.
    virtual void beginEdit(Control* control, const Point& where);
    virtual void endEdit(Control* control, const Point& where);
    // A key record (character, virtual-key code, modifiers) to the control under the pointer.
    virtual bool sendToHover(const std::int32_t key[3]);
    bool isButtonDown() const { return buttonDown_ != 0; }
    const Point& getLastMouse() const { return lastMouse_; }
    // True when the specification could not be read: the editor has no controls, and the user was told.
    bool isSpecificationUnreadable() const { return !unreadSpecification_.empty(); }
    bool ownsControl(const void* control) const;

    // Modules and zones.
    virtual void refresh();
    virtual void selectZone(int index);
    int getCurrentModule() const { return currentModule_; }

    // The window, while open.
    Window* getEditorWindow() const { return window_.load(std::memory_order_acquire); }
    bool isOpen() const { return getCanvas() != nullptr; }
    bool hasKeyboardFocus() const;
    void enableWindow(bool enabled);
    Rect getBounds() const { return bounds_; }
    Rect getTitleStrip() const { return titleStrip_; }

    ControlManager* getControlManager() const { return controlManager_.get(); }
    ControlMidiMapper* getMidiMapper() const { return midiMapper_.get(); }
    InfoLine* getInfoLine() const { return infoLine_.get(); }
    void setInfoLine(std::unique_ptr<InfoLine> infoLine);
    bool showsCpuMeters() const { return showCpuMeters_; }
    // The debug panel the frame is while "ShowCPUMeters" is set; null otherwise.
    ControlDebugInfo* getDebugInfo() const { return debugInfo_; }

    // Threads: whether the caller is the thread the editor was built on.
    bool isUserInterfaceThread() const noexcept { return std::this_thread::get_id() == userInterfaceThread_; }
    // A control left work for the next tick. Any thread; allocates nothing.
    void noteDeferredWork() noexcept { deferredWork_.fetch_add(1, std::memory_order_release); }

private:
    void loadSpecification();
    void tuneInToParameters();
    void deleteControls();
    void takeSpecialId(Control* control);
    void postProductText();
    void applyDeferredWork();
    // One pass of the canvas over r: the frame's tree drawn into it.
    void paintArea(Canvas& canvas, const Rect& r);
    Program* programOf(int moduleIndex) const;

    // Routing (EditorRouting.cpp).
    bool receiveWindow(const WindowMessage& message);
    bool receiveParameter(const ParameterMessage& message);
    // Stores an edit of a module- or zone-scope parameter in the module's program or its current zone.
    // User-interface thread.
    bool storeEdit(const ParameterMessage& message, const Parameter& parameter, int module);
    void storeDeferredEdits();
    bool leftDown(const WindowMessage& message);
    bool leftUp(const WindowMessage& message);
    bool mouseMove(const WindowMessage& message);
    bool rightDown(const WindowMessage& message);
    void pointerLeft(const WindowMessage& message);
    bool dragAccepted(const WindowMessage& message);
    bool dropped(const WindowMessage& message);
    bool sendLocal(Control* control, const WindowMessage& message, std::int32_t code);
    void leaveHover(Control* old, const WindowMessage& message, bool announceLocal);
    Point framePoint(const Point& p) const;

    mutable std::mutex dirtyMutex_; // a leaf lock: guards dirtyRects_
    std::vector<Rect> dirtyRects_;
    std::atomic<std::size_t> dirtyCount_{0};
    Plugin* plugin_;
    std::atomic<Canvas*> canvas_{nullptr};
    std::atomic<Window*> window_{nullptr};
    Rect bounds_;
    Rect titleStrip_;
    std::unique_ptr<InfoLine> infoLine_;
    std::unique_ptr<ControlManager> controlManager_;
    std::vector<Control*> controls_;
    Control* hover_ = nullptr;
    Control* pressed_ = nullptr;
    std::int32_t buttonDown_ = 0;
    Control* focused_ = nullptr;
    Control* focusRequest_ = nullptr;
    HelpLine* help_ = nullptr;
    Control* background_ = nullptr;
    Control* frame_ = nullptr;
    std::recursive_mutex redrawMutex_; // held for a whole redraw
    int currentModule_ = 0;
    bool showCpuMeters_ = false;
    bool mayListen_ = false; // an editor the user asked not to have never listens
    bool listening_ = false;
    // Why the specification could not be read, naming its file; empty when it was.
    std::string unreadSpecification_;
    ControlDebugInfo* debugInfo_ = nullptr; // the frame when there is one
    Point lastMouse_;
    Point lastDrag_;
    bool active_ = false;
    std::unique_ptr<ControlMidiMapper> midiMapper_;
    std::thread::id userInterfaceThread_;
    int buildBudget_ = kMaxBuiltNodes;
    int buildDepth_ = 0;
    std::atomic<std::uint32_t> deferredWork_{0};
    DeferredEdits deferredEdits_;
};

} // namespace trov
