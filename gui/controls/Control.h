#pragma once

#include "framework/Color.h"
#include "framework/Message.h"
#include "framework/Point.h"
#include "framework/Radio.h"
#include "framework/Rect.h"

#include <atomic>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace trov {

class Bitmap;
class Canvas;
class ControlScrollbar;
class Dictionary;
class Editor;
class Parameter;
class PopupMenu;
class TimerAnimation;
class Zone;
class ZoneManager;

// The base of every element of the editor: a station with a rectangle inside its parent, a tree of owned
// children kept in descending z-order, the editor that shows it, the parameter it is bound to by name,
// skin bitmaps and colours, a flag set, and the reading of its node of the editor specification. The
// editor routes window events into the tree (`receive`), paints it (`draw`) and asks it for hit tests,
// context menus and tooltips; derived controls override the virtual operations.
//
// Owned by its parent (a root by the editor). Threads: built, laid out, painted, moved and fed with window
// events on the user-interface thread. Parameter notifications and timer ticks may arrive on any thread
// (the host's automation, MIDI, the timer service): off the user-interface thread a control only records
// what it must do and asks the editor to apply it at its next tick (`applyDeferredWork`), never touching
// its layout, the canvas or the dirty list there. That path allocates nothing and takes no lock.
class Control : public Radio {
public:
    // Flag bits (`testFlags`, `setFlags`, `clearFlags`).
    static constexpr std::uint64_t kNeedsRedraw = 0x1;
    static constexpr std::uint64_t kEditable = 0x2;
    static constexpr std::uint64_t kDraggable = 0x4;
    static constexpr std::uint64_t kTranslucent = 0x8;
    static constexpr std::uint64_t kVisible = 0x10;
    static constexpr std::uint64_t kShowValue = 0x20;
    static constexpr std::uint64_t kEnabled = 0x40;
    static constexpr std::uint64_t kExport = 0x80;
    static constexpr std::uint64_t kLive = 0x100;
    static constexpr std::uint64_t kAutoReset = 0x200;
    static constexpr std::uint64_t kTextEntry = 0x400;
    static constexpr std::uint64_t kAnimated = 0x800;
    static constexpr std::uint64_t kIgnoresPointer = 0x1000;
    static constexpr std::uint64_t kLearn = 0x2000;
    static constexpr std::uint64_t kFocusable = 0x4000;
    static constexpr std::uint64_t kShrunk = 0x8000;
    static constexpr std::uint64_t kModal = 0x10000;
    static constexpr std::uint64_t kAcceptsDrops = 0x20000;
    static constexpr std::uint64_t kDropHighlight = 0x40000;
    // Editable, visible, showValue, enabled, live, textEntry, learn and focusable.
    static constexpr std::uint64_t kDefaultFlags = 0x6572;
    // Changing any of visible, enabled, shrunk or dropHighlight queues a redraw.
    static constexpr std::uint64_t kRedrawFlags = 0x48050;

    static constexpr int kClipToArea = 1;
    static constexpr int kNoClip = 4;
    static constexpr int kPlacementNone = 0;
    static constexpr int kPlacementHorizontal = 12;
    static constexpr int kPlacementVertical = 3;
    static constexpr int kPlacementMouse = 16;
    static constexpr int kDefaultZOrder = 127;
    static constexpr int kScrollbarWidth = 10;
    // A disabled control's opacity.
    static constexpr float kDisabledTransparency = 0.4f;
    static constexpr std::int32_t kHoverTimerId = makeTimerId("Cfoc");

    // Context-menu commands (the items' values): learn, forget, the two submenu titles, the ranges, invert,
    // and controller n as kMenuFirstController + n.
    static constexpr std::int32_t kMenuLearn = 0;
    static constexpr std::int32_t kMenuForget = 1;
    static constexpr std::int32_t kMenuControllers = 2;
    static constexpr std::int32_t kMenuRange = 3;
    static constexpr std::int32_t kMenuPositive = 4;
    static constexpr std::int32_t kMenuFull = 5;
    static constexpr std::int32_t kMenuNegative = 6;
    static constexpr std::int32_t kMenuInvert = 7;
    static constexpr std::int32_t kMenuFirstController = 8;
    static constexpr int kControllerCount = 130;

    // The station's owner is the editor's owner module (none without an editor).
    Control(Editor* editor, const Rect& bounds);
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;
    // Tunes out, gives its bitmaps back, leaves its parent and deletes its children, first to last.
    ~Control() override;

    // Sorts the children by descending z-order (stable), lays each out, and gives a control without a
    // rectangle of its own the union of its children's.
    virtual void layout();
    void init() override { layout(); }
    EditorInterface* getEditor() const override;
    Editor* getOwnerEditor() const { return editor_; }
    // The whole tree follows the module; bound and listened-to parameters are found again in its settings.
    void setOwner(const Module* module) override;
    bool receive(const Message& message) override;

    // Reads the control's own keys of its node (the parameter and its instance come from the factory).
    virtual bool fromDictionary(const Dictionary& spec);
    // Appends a nested dictionary named after the id.
    virtual bool toDictionary(Dictionary& spec);
    // With showValue, a bound parameter and a label: label, " = ", the parameter's text, " " and its unit.
    virtual std::string getValueText();
    // p in editor coordinates: the deepest editable child's answer containing p, else the control's own
    // rectangle less its scrollbars when it is editable, focusable and contains p; the zero rectangle
    // otherwise.
    virtual Rect getActiveRect(const Point& p);
    // Tunes out of the bound parameter, binds the name (tuning in when it resolves) and tunes in to the
    // listened-to names.
    virtual void setParameter(const std::string& name);
    // The bound parameter in the owner's settings; null when the name does not resolve.
    virtual Parameter* getParameter() const;
    virtual void setNeedsRedraw(bool on);
    // The transparency while enabled, else kDisabledTransparency.
    virtual float getTransparency() const;
    virtual void drawDot(Canvas& canvas, const Color& color);
    // p in the control's own coordinates; all four edges of the local rectangle count as inside.
    virtual bool hitTest(const Point& p) const;
    // The front-most visible, enabled control of the subtree under p (in the control's own coordinates).
    virtual Control* findControlAt(const Point& p);
    // Appends the MIDI-learn items for an automatable bound parameter, then lets the parent add its own.
    virtual void showContextMenu(PopupMenu& menu, const Point& where);
    virtual void paintBackground(Canvas& /*canvas*/, const Rect& /*area*/) {}
    virtual void paint(Canvas& /*canvas*/, const Rect& /*area*/) {}

    // Flags. setFlags refuses (false) when any bit of the mask is already set; clearFlags when none is.
    std::uint64_t testFlags(std::uint64_t mask) const {
        return flags_.load(std::memory_order_acquire) & mask;
    }
    bool setFlags(std::uint64_t mask);
    bool clearFlags(std::uint64_t mask);
    void setEditable(bool editable);

    const std::string& getId() const { return id_; }
    void setId(const std::string& id) { id_ = id; }
    const std::string& getLabel() const { return label_; }
    void setLabel(const std::string& label) { label_ = label; }
    // The tooltip text, followed by the bound parameter's MIDI controller when learn is on.
    std::string getTooltip() const;
    // Broadcasts control message 11 (a text) or 12 (none) to the control's listeners.
    void setTooltip(const std::string& text);
    int getTooltipPlacement() const { return tooltipPlacement_; }
    void setTooltipPlacement(int placement) { tooltipPlacement_ = placement; }
    const std::string& getParameterName() const { return parameterName_; }
    int getParameterInstance() const { return parameterInstance_; }
    // Binds the instance of the bound parameter: a control already tuned in moves to the new instance.
    void setParameterInstance(int instance);
    int getZOrder() const { return zOrder_; }
    // Kept below the parent's z-order.
    void setZOrder(int zOrder);
    Color getHighlight() const { return highlightColor_; }
    void setHighlight(const Color& color);
    Color getBackgroundColor() const { return backgroundColor_; }
    void setBackgroundColor(const Color& color) { backgroundColor_ = color; }
    Color getTintColor() const { return tintColor_; }
    void setTintColor(const Color& color) { tintColor_ = color; }
    Bitmap* getBackgroundBitmap() const { return backgroundBitmap_; }
    // Takes over one reference of the resources' bitmap; the previous one is given back.
    void setBackgroundBitmap(Bitmap* bitmap);
    Bitmap* getOverlayBitmap() const { return overlayBitmap_; }
    Bitmap* getAlphabetBitmap() const { return alphabetBitmap_; }
    int getClipMode() const { return clipMode_; }
    void setDropKinds(std::int32_t kinds);
    bool acceptsDropKind(std::uint64_t kinds) const { return (dropKinds_ & kinds) != 0; }
    void setHoverGlow(bool glow) { hoverGlow_.store(glow, std::memory_order_relaxed); }
    float getHoverLevel() const { return hoverLevel_.load(std::memory_order_relaxed); }
    bool isHovered() const { return hovered_; }
    bool isAltReversed() const { return altReverse_.load(std::memory_order_relaxed); }
    Point getDragPoint() const { return dragPoint_; }
    Point getScrollOffset() const { return scrollOffset_; }
    void setScrollOffset(const Point& offset);
    // 0 the horizontal, 1 the vertical scrollbar; null when there is none.
    Control* getScrollbar(int axis) const;
    // Gives the control a 10-pixel scrollbar of its own along the bottom (0) or right (1) edge, unless it
    // has one; `setSize` tells it the control's new width or height as its content's length.
    void addScrollbar(int axis);

    // Tree: a child's parent is the control whose list holds it; a control owns and deletes its children.
    Control* getParent() const { return parent_; }
    const std::vector<Control*>& getChildren() const { return children_; }
    void addChild(Control* child);
    // Descending z-order, equal ones keeping their order.
    void sortChildren();
    void removeChild(Control* child);
    void setParent(Control* parent);
    // A control counts as its own descendant.
    bool isDescendantOf(const Control* ancestor) const;

    // Geometry. The current rectangle is the thumbnail while shrunk with one, else the bounds; both are
    // relative to the parent (to the editor for a root).
    Rect getRect() const;
    Rect getLocalRect() const { return getRect().atOrigin(); }
    Rect getBounds() const { return bounds_; }
    Rect getThumbnailRect() const { return thumbnailRect_; }
    // In editor coordinates, fitted into the parent's; cached until the layout changes.
    Rect getAbsoluteRect();
    // Where the control's local (0, 0) lies in editor coordinates as it is drawn and hit: its place under
    // each parent, not fitted into them, so that a control scrolled partly out of its parent gets the
    // points under what it shows.
    Point getOrigin() const;
    void setBounds(const Rect& r);
    void setAbsoluteBounds(const Rect& r);
    void moveBy(const Point& p);
    // Takes r's width and height, which become the content lengths of its scrollbars.
    void setSize(const Rect& r);
    void invalidateLayout();

    // Visible with every ancestor.
    bool isVisible() const;
    // With a thumbnail, hiding shows the thumbnail instead.
    void setVisible(bool visible);
    bool isTranslucent() const;
    bool hasThumbnail() const { return thumbnailRect_.isNonZero(); }
    bool isThumbnailCapable() const;
    bool isShrunk() const;
    void setTransparency(float transparency);
    float getOwnTransparency() const { return transparency_; }

    bool needsRedraw() const { return testFlags(kNeedsRedraw) != 0; }
    // Queues the control's rectangle in the editor's dirty list (while the editor is open and the control
    // visible); off the user-interface thread it is queued at the editor's next tick instead.
    void requestRedraw(bool on);
    // The editor's tick on the user-interface thread: what a notification on another thread left to do.
    void applyDeferredWork();

    // The owner module's zone manager and its current zone (with a reference for the caller).
    ZoneManager* getZoneManager() const;
    Zone* getCurrentZone() const;

    // Painting: clip in the control's own coordinates, the canvas's origin at its top-left.
    void draw(Canvas& canvas, const Rect& clip);
    void drawClipped(Canvas& canvas, const Rect& r);
    // In a bitmap font when the control has an alphabet, else in the canvas's font with its alignment.
    void drawText(Canvas& canvas, const Rect& r, const std::string& text);

protected:
    // The MIDI-learn command of a context-menu item chosen for this control; true.
    bool runMenuCommand(std::int32_t command);
    // Derived controls' fade and hover animations (owned; tuned in and deleted with the control).
    void setFadeAnimation(TimerAnimation* animation);
    void setHoverAnimation(TimerAnimation* animation);
    TimerAnimation* getHoverAnimation() const { return hoverAnimation_.load(); }
    // Work off the user-interface thread waits for the editor's tick.
    bool onUserInterfaceThread() const;
    // A derived control's own work that must run on the user-interface thread (timers made or deleted,
    // layout, focus): asked for from any thread, allocating nothing, it runs in
    // `applyDeferredControlWork` at the editor's next tick (at once without an editor).
    void deferControlWork();
    virtual void applyDeferredControlWork() {}
    // A skin bitmap of the resources with one reference for this control (null when there is none), and
    // its return.
    Bitmap* takeBitmap(const std::string& name) const;
    void giveBack(Bitmap*& bitmap);
    // When the node has the key, the skin it names replaces the one held (null when the resources have
    // none); true when it has the key.
    bool readBitmap(const Dictionary& spec, const char* key, Bitmap*& bitmap);
    // Lets the user type the bound parameter's value in a box over area (editor coordinates) with the label
    // before it and the unit after it; the typed text goes to the parameter as an editor gesture. False
    // when the entry was cancelled or could not open (no parameter, no window).
    bool editParameterText(const Rect& area, const std::string& label);

private:
    static constexpr std::uint32_t kDeferredRedraw = 1;
    static constexpr std::uint32_t kDeferredShow = 2;
    static constexpr std::uint32_t kDeferredHide = 4;
    static constexpr std::uint32_t kDeferredOwn = 8;

    bool receiveWindow(const WindowMessage& message);
    bool receiveParameter(const ParameterMessage& message);
    bool receiveControl(const ControlMessage& message);
    void hoverTick(const Message& message);
    void fadeHover(float to, float msPerUnit);
    void enter();
    void leave();
    bool press(const WindowMessage& message);
    bool dragStep(const WindowMessage& message);
    void enterText(const WindowMessage& message);
    bool dragOver(const WindowMessage& message);
    void expand(bool expand);
    bool layoutGesture() const;
    void defer(std::uint32_t work);
    void setFlagBits(std::uint64_t mask);
    void clearFlagBits(std::uint64_t mask);
    void markStale();
    void tuneOutOfParameter();
    void replaceAnimation(std::atomic<TimerAnimation*>& slot, TimerAnimation* animation);
    void addMidiItems(PopupMenu& menu);

    std::vector<Control*> children_;
    Editor* editor_;
    std::string parameterName_;
    Radio* boundParameter_ = nullptr; // the parameter tuned in to by setParameter
    std::string showParameterName_;
    float showValue_ = 0.0f;
    std::string altReverseParameterName_;
    std::atomic<bool> altReverse_{false};
    int parameterInstance_ = 0;
    std::string id_;
    std::string label_;
    int tooltipPlacement_ = kPlacementNone;
    std::string tooltip_;
    Rect bounds_;
    Rect thumbnailRect_;
    Point scrollOffset_;
    Rect absoluteRect_;
    bool absoluteRectStale_ = true;
    int zOrder_ = kDefaultZOrder;
    Color backgroundColor_ = colorNone;
    Color highlightColor_ = colorNone;
    Bitmap* backgroundBitmap_ = nullptr;
    Bitmap* overlayBitmap_ = nullptr;
    float overlayAlpha_ = 1.0f;
    Color tintColor_ = colorNone;
    float transparency_ = 1.0f;
    ControlScrollbar* scrollbars_[2] = {nullptr, nullptr};
    int clipMode_ = kClipToArea;
    Bitmap* alphabetBitmap_ = nullptr;
    std::atomic<std::uint64_t> flags_{kDefaultFlags};
    std::uint64_t dropKinds_ = 0;
    Point dragPoint_;
    Control* parent_ = nullptr;
    bool hovered_ = false;
    std::set<std::string> listenTo_;
    std::atomic<TimerAnimation*> fadeAnimation_{nullptr};
    std::atomic<TimerAnimation*> hoverAnimation_{nullptr};
    std::atomic<float> hoverLevel_{0.0f};
    std::atomic<bool> hoverGlow_{false};
    std::atomic<std::uint32_t> deferred_{0};
};

} // namespace trov
