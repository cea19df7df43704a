#pragma once

#include "framework/Color.h"
#include "framework/Range.h"
#include "gui/controls/ControlValue.h"

#include <atomic>
#include <cstdint>
#include <string>

namespace trov {

class ControlKeyboard;
class Engine;
class Zone;

// Where the musician lays out the instrument's zones over the keys ("ZoneKeyboard"). Its first keyboard
// child (a "Keyboard" control at the zone keyboard's origin, so that both share coordinates) draws the
// keys and tells which key lies under a point; over the keys every zone of the current program is drawn as
// a band. A press on a free key makes a one-key zone; dragging a zone's edge moves its low or high key,
// dragging its middle moves it, never into another zone's keys; a press selects a zone; a file dropped on
// a band loads into that zone; the context menu copies, pastes and deletes zones. In oscillator mix mode
// ("OscMixMode") zones come in pairs drawn as a lower and an upper half band over the pair's keys. With
// "ZoneAutoSelect" on, a played note selects the zone that holds its key.
//
// Owned by its parent; the keyboard child is its own child, taken over from the specification, and takes
// no pointer input of its own (the zone keyboard answers for every press over the keys). Threads: built,
// laid out, painted and fed with window events on the user-interface thread. Notes arrive from the
// module's engine on the thread that plays them and parameter and resource notifications on any thread:
// there it only records values and asks for the user-interface thread's next tick, where the selection a
// note asks for, a new layout and the keyboard's selected keys are applied; it allocates nothing and takes
// no lock there. The keyboard's selected keys are read from the zone list at the tick on any thread, so that
// no broadcast of the zone's values waits for the list's lock.
class OstrelZoneKeyboard : public ControlValue {
public:
    static constexpr int kNoZone = -1;
    // Drag modes.
    static constexpr int kDragLow = 1;
    static constexpr int kDragHigh = 2;
    static constexpr int kDragWhole = 3;
    // Context-menu items.
    static constexpr std::int32_t kCopyZone = 0;
    static constexpr std::int32_t kPasteZone = 1;
    static constexpr std::int32_t kDeleteZone = 2;
    // A marker's caps, drawn unstretched at either end of a band.
    static constexpr int kCapWidth = 6;
    static constexpr int kDefaultEdgeWidth = 16;
    static constexpr int kDefaultBandUnit = 16;

    OstrelZoneKeyboard(Editor* editor, const Rect& bounds);
    ~OstrelZoneKeyboard() override;

    // Listens to the module's engine, zone manager and the resources, and takes its keyboard child; it
    // neither sorts nor lays out its children (the keyboard lays itself out from its specification).
    void layout() override;
    void setOwner(const Module* module) override;
    bool receive(const Message& message) override;
    // The value control's keys, then "marker" (a 4-frame skin), "colorZoneOn" and "colorZoneOff".
    bool fromDictionary(const Dictionary& spec) override;
    // "36-47 (C1-B1) " and the sample's file name for the current zone; empty for a zone of one key.
    std::string getValueText() override;
    // p in editor coordinates: the band of the first zone under it, else the keyboard's answer.
    Rect getActiveRect(const Point& p) override;
    // The base's redraw; with the keyboard, its selected keys follow the current zone and it redraws too, at
    // the next tick.
    void setNeedsRedraw(bool on) override;
    void showContextMenu(PopupMenu& menu, const Point& where) override;
    void paint(Canvas& canvas, const Rect& area) override;

    // Geometry, in this control's coordinates; empty rectangles without a keyboard.
    KeyRange getZoneKeyRange(int index) const;
    // The keys a zone is drawn over: its own, or its pair's in pair mode.
    KeyRange getBandRange(int index) const;
    Rect getZoneRect(int index) const;
    // The band over the keys that carry the zone's slices (from its low key, one key per slice).
    Rect getSliceRect(int index) const;
    // The zone whose band lies under the point; kNoZone for none.
    int zoneAtPoint(const Point& p) const;
    void updateKeyboardSelection();

    ControlKeyboard* getKeyboard() const { return keyboard_; }
    bool isPairMode() const { return pairMode_.load(std::memory_order_relaxed); }
    int getRootNote() const { return rootNote_.load(std::memory_order_relaxed); }
    int getBandUnit() const { return bandUnit_; }
    int getDragZone() const { return dragZone_; }
    int getDragMode() const { return dragMode_; }
    const Zone* getCopiedZone() const { return copied_; }
    Color getZoneOnColor() const { return colorZoneOn_; }
    Color getZoneOffColor() const { return colorZoneOff_; }

protected:
    void applyDeferredControlWork() override;

private:
    Rect zoneRectangle(int index, const KeyRange& range) const;
    // The key under the point; ControlKeyboard::kNoKey off the keys or without a keyboard.
    int keyAt(const Point& p) const;
    // The zone that plays the key, kNoZone off the keys.
    int zoneForKey(int key) const;
    // Which edge a point over a band grabs.
    int dragModeAt(int x, const Rect& band) const;
    std::string sampleFileName(const Zone& zone) const;
    void retune();
    void tuneOutOfStations();

    bool receiveWindow(const WindowMessage& message);
    bool receiveParameter(const ParameterMessage& message);
    bool press(const WindowMessage& message);
    void setPointerCursor(const WindowMessage& message);
    bool dragStep(const WindowMessage& message);
    bool drop(const WindowMessage& message);
    bool menuCommand(const ControlMessage& message);
    void noteOn(const Message& message);
    void selectZone(int index);
    void paintMarker(Canvas& canvas, const Rect& source, const Rect& band) const;
    void paintLabel(Canvas& canvas, const std::string& label, const Rect& slice, bool current) const;

    ControlKeyboard* keyboard_ = nullptr;
    std::atomic<int> rootNote_{0};
    Bitmap* marker_ = nullptr;
    int dragZone_ = kNoZone;
    Rect dragRect_;
    int edgeWidth_ = kDefaultEdgeWidth;
    Zone* copied_ = nullptr; // one reference held
    std::atomic<bool> pairMode_{true};
    int bandUnit_ = kDefaultBandUnit;
    Color colorZoneOn_{255, 127, 0, 255};
    Color colorZoneOff_{255, 255, 255, 255};
    int dragMode_ = 0;
    // The stations listened to for the module shown.
    Radio* engine_ = nullptr;
    Radio* zones_ = nullptr;
    bool laidOut_ = false;
    // Left for the user-interface thread by notifications on other threads.
    std::atomic<int> pendingAutoSelect_{kNoZone};
    std::atomic<bool> pendingLayout_{false};
    std::atomic<bool> pendingSelection_{false};
};

} // namespace trov
