#pragma once

#include "framework/Range.h"
#include "gui/controls/Control.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

namespace trov {

class Engine;

// The on-screen piano keyboard ("Keyboard"): white and black keys laid out over the control for a key
// range, keys drawn from skin bitmaps (rows: normal, sounding, selected, selected and sounding) or as
// framed fills, the notes its module's engine reports shown as sounding, notes played into the plug-in by
// mouse presses (velocity from the height of the press on the key), a selected key range another control
// hands it, and the plug-in's tunings in its context menu. The zone keyboard builds on its geometry.
//
// Owned by its parent. Threads: built, laid out, painted and fed with window events on the user-interface
// thread. The engine's notes arrive on the thread that plays them (the MIDI thread, or the user-interface
// thread for the keyboard's own presses): there the keyboard only flips a key's atomic flag and records its
// redraw, allocating nothing and taking no lock of its own; an Alt-held note's root-note change waits for
// the user-interface thread too.
class ControlKeyboard : public Control {
public:
    static constexpr int kKeyCount = 128;
    // No key: what `getKeyAt` answers off the keys, and the mouse key while none is held.
    static constexpr int kNoKey = -1;
    static constexpr std::int16_t kDefaultLowKey = 48;
    static constexpr std::int16_t kDefaultHighKey = 71;
    // Black keys are this share of the control's height.
    static constexpr float kBlackKeyHeight = 0.63f;
    // Menu items: the submenu, and tuning i as kFirstTuningItem + i.
    static constexpr std::int32_t kTuningMenu = 0;
    static constexpr std::int32_t kFirstTuningItem = 1;

    ControlKeyboard(Editor* editor, const Rect& bounds);
    ~ControlKeyboard() override;

    // Lays the keys out over the control, silences them and listens to the module's engine.
    void layout() override;
    bool receive(const Message& message) override;
    // The control's keys, then "lokey" and "hikey" (both or neither), "bitmaps" and "colorSelect"; then
    // the layout.
    bool fromDictionary(const Dictionary& spec) override;
    // "Keyboard Tuning: " and the plug-in's current tuning.
    std::string getValueText() override;
    // The keyboard is bound to no parameter.
    Parameter* getParameter() const override { return nullptr; }
    // The tunings as a submenu, checked at the current one, then the base's items.
    void showContextMenu(PopupMenu& menu, const Point& where) override;
    void paint(Canvas& canvas, const Rect& area) override;
    void setOwner(const Module* module) override;

    std::int16_t getLowKey() const { return range_.low; }
    std::int16_t getHighKey() const { return range_.high; }
    // Control coordinates; empty outside the range.
    Rect getKeyRect(int key) const;
    // Black keys before white ones, so that a black key wins where it lies over a white one; kNoKey off
    // every key.
    int getKeyAt(const Point& p) const;
    Rect getKeysBounds() const;
    KeyRange getSelectedRange() const { return selected_; }
    // A changed range is redrawn.
    void setSelectedRange(const KeyRange& range);
    bool isSounding(int key) const;
    // Any thread: flags the key and queues its redraw (the whole keyboard's off the user-interface thread).
    void setKeyState(int key, bool sounding);
    // Queues the key's rectangle, as large as its bitmap's frame when it has one.
    void redrawKey(int key);
    int getMouseKey() const { return mouseKey_; }
    Color getSelectColor() const { return selectColor_; }
    // The skin bitmaps in the order of the specification (entries may be null).
    const std::vector<Bitmap*>& getKeyBitmaps() const { return bitmaps_; }

    static bool isBlackKey(int key);

private:
    bool inRange(int key) const {
        return key >= range_.low && key <= range_.high && key >= 0 && key < kKeyCount;
    }
    Bitmap* bitmapOf(int key) const;
    void paintKey(Canvas& canvas, int key) const;
    bool press(const WindowMessage& message);
    bool release(const WindowMessage& message);
    bool slide(const WindowMessage& message);
    bool engineNote(const Message& message);
    // 0..127 from the point's height on the key.
    int velocityAt(const Point& p, int key) const;
    void sendNote(int status, int key, int velocity);
    Engine* engineOf(const Module* module) const;
    void applyRootNote(int key);
    void releaseBitmaps();

    KeyRange range_{kDefaultLowKey, kDefaultHighKey};
    // Empty until another control selects keys.
    KeyRange selected_{0, -1};
    Color selectColor_ = colorRed;
    std::vector<Rect> keyRects_; // by key number, up to the high key
    std::array<std::atomic<bool>, kKeyCount> sounding_{};
    int mouseKey_ = kNoKey;
    std::vector<Bitmap*> bitmaps_; // one reference each; entries may be null
    // A note played with Alt held off the user-interface thread: its key, for the next paint.
    std::atomic<int> pendingRootKey_{kNoKey};
};

} // namespace trov
