// The zone keyboard end to end: zones made, selected, moved and resized on the keys (never into a
// neighbour), pairs, the context menu, files dropped on bands, the value text, notes that select zones and
// the bands drawn from the marker skin.
#include "engine/samples/SampleWav.h"
#include "engine/zones/Zone.h"
#include "framework/File.h"
#include "gui/controls/ControlKeyboard.h"
#include "instrument/InstrumentKeys.h"
#include "instrument/editor/EditorKeys.h"
#include "instrument/editor/OstrelZoneKeyboard.h"
#include "platform/MenuSession.h"
#include "plugin/Settings.h"

#include "support/InstrumentEditorHarness.h"
#include "support/PixelCheck.h"
#include "support/SampleTestSupport.h"

#include <gtest/gtest.h>

using namespace trov;
using test::node;

namespace {

// The zone keyboard at (10, 10) over three octaves of keys 20 pixels a white key.
constexpr int kLeft = 10;
constexpr int kTop = 10;
constexpr int kLowKey = 36;
constexpr int kHighKey = 71;
constexpr int kOctave = 140;
// Marker frames: no file, no file current, file, file current; bands are twice a frame's height.
constexpr int kMarkerHeight = 6;
const std::vector<std::uint32_t> kMarkerFrames = {0xff404040, 0xff806040, 0xff2080c0, 0xffe08020};

using Keys = KeyRange;

class ZoneKeyboard : public test::InstrumentEditorHarness {
protected:
    ZoneKeyboard() {
        addFrames("marker", 16, kMarkerHeight, kMarkerFrames);
        buildAndOpen(node("Container")
                         .at(0, 0, 440, 80)
                         .child(node("ZoneKeyboard")
                                    .id("zk")
                                    .at(kLeft, kTop, 420, 60)
                                    .string("marker", "marker")
                                    .child(node("Keyboard")
                                               .id("keys")
                                               .at(0, 0, 420, 60)
                                               .integer("lokey", kLowKey)
                                               .integer("hikey", kHighKey))));
        zk = control<OstrelZoneKeyboard>("zk");
        keyboard = zk != nullptr ? zk->getKeyboard() : nullptr;
    }

    // The middle of a key's lower part (a white key below the black ones), in editor coordinates.
    Point keyPoint(int key) const {
        const Rect r = keyboard->getKeyRect(key);
        const int y = ControlKeyboard::isBlackKey(key) ? r.top + r.getHeight() / 3 : r.bottom - 5;
        return Point(kLeft + (r.left + r.right) / 2, kTop + y);
    }
    void clickKey(int key) {
        const Point p = keyPoint(key);
        tick(20); // never a double click
        click(p.x, p.y);
        tick();
    }
    // A drag from the point by dx and dy pixels.
    void dragBy(const Point& from, int dx, int dy = 0) {
        tick(20);
        drag(from.x, from.y, from.x + dx, from.y + dy);
        tick();
    }
    Keys keysOf(int zone) const { return zones()->getZoneKeyRange(zone); }
    // The band of a zone in editor coordinates.
    Rect band(int zone) const { return zk->getZoneRect(zone) + Point(kLeft, kTop); }
    // A WAV file of a short ramp in the test's folder.
    std::string writeWav(const std::string& name) {
        SampleWav wav(*test::makeSample(test::makeRamp(400)));
        File file(world.base.files / name);
        EXPECT_FALSE(wav.save(file).failed());
        return file.getPath();
    }
    // A zone over the keys playing that file.
    int zoneWithFile(int low, int high, const std::string& path) {
        const std::string id = world.base.resources->addSampleFile("", File(path));
        return addZone(low, high, id);
    }
    void drop(const Point& at, const std::string& path) {
        editor->receive(WindowMessage(nullptr, 3021, 0, at, pointerToWord(path.c_str())));
        tick();
    }
    std::string sampleFileOf(int zone) const {
        const SharedObjectPtr<Zone> z(zones()->getZone(zone));
        return z ? world.base.resources->getSampleFile(z->getSampleName()).getPath() : std::string();
    }
    // The context menu at the point: its entries' texts and whether each can be chosen.
    std::vector<std::pair<std::string, bool>> menuAt(const Point& p) {
        std::vector<std::pair<std::string, bool>> seen;
        responder().queueMenu([&](platform::MenuSession& menu) {
            for (const platform::MenuSession::Entry& entry : menu.entries())
                if (!entry.separator)
                    seen.emplace_back(entry.text, entry.enabled);
            menu.dismiss();
        });
        tick(20);
        rightClick(p.x, p.y);
        return seen;
    }
    void choose(const Point& p, const std::string& item) {
        responder().queueMenuChoice({item});
        tick(20);
        rightClick(p.x, p.y);
        tick();
    }

    OstrelZoneKeyboard* zk = nullptr;
    ControlKeyboard* keyboard = nullptr;
};

bool enabledIn(const std::vector<std::pair<std::string, bool>>& menu, const std::string& item) {
    for (const auto& [text, enabled] : menu)
        if (text == item)
            return enabled;
    ADD_FAILURE() << "no menu item " << item;
    return false;
}

TEST_F(ZoneKeyboard, APressOnAFreeKeyMakesACurrentOneKeyZoneThere) {
    ASSERT_NE(zk, nullptr);
    ASSERT_NE(keyboard, nullptr);
    EXPECT_EQ(zk->getBandUnit(), 2 * kMarkerHeight);
    clickKey(50);
    ASSERT_EQ(zones()->getZoneCount(), 1);
    EXPECT_EQ(keysOf(0), Keys(50, 50));
    EXPECT_EQ(zones()->getCurrentZoneIndex(), 0);
    clickKey(42); // a black key
    ASSERT_EQ(zones()->getZoneCount(), 2);
    // Kept in key order.
    EXPECT_EQ(keysOf(0), Keys(42, 42));
    EXPECT_EQ(zones()->getCurrentZoneIndex(), 0);
    // A press on a zone selects it and makes none.
    clickKey(50);
    EXPECT_EQ(zones()->getZoneCount(), 2);
    EXPECT_EQ(zones()->getCurrentZoneIndex(), 1);
}

TEST_F(ZoneKeyboard, DraggingAZonesMiddleMovesItAnOctaveForAnOctavesWidth) {
    clickKey(40);
    dragBy(keyPoint(40), kOctave);
    ASSERT_EQ(zones()->getZoneCount(), 1);
    EXPECT_EQ(keysOf(0), Keys(52, 52));
    dragBy(keyPoint(52), -kOctave);
    EXPECT_EQ(keysOf(0), Keys(40, 40));
}

TEST_F(ZoneKeyboard, DraggingAnEdgeMovesOnlyThatKeyAndNeverIntoANeighbour) {
    const int wide = addZone(52, 59, "");
    // The low edge an octave to the left, then the high edge an octave to the right.
    dragBy(Point(band(wide).left + 3, kTop + 50), -kOctave);
    EXPECT_EQ(keysOf(wide), Keys(40, 59));
    dragBy(Point(band(wide).right - 3, kTop + 50), kOctave);
    EXPECT_EQ(keysOf(wide), Keys(40, 71));
}

TEST_F(ZoneKeyboard, AnEdgeDraggedTowardsANeighbourStopsNextToIt) {
    addZone(36, 39, "");
    const int middle = addZone(48, 55, "");
    addZone(60, 62, "");
    dragBy(Point(band(middle).right - 3, kTop + 50), kOctave);
    EXPECT_EQ(keysOf(middle), Keys(48, 59));
    dragBy(Point(band(middle).left + 3, kTop + 50), -kOctave);
    EXPECT_EQ(keysOf(middle), Keys(40, 59));
    EXPECT_EQ(keysOf(0), Keys(36, 39));
    EXPECT_EQ(keysOf(2), Keys(60, 62));
}

TEST_F(ZoneKeyboard, AMovedZoneStopsNextToTheZoneInItsWay) {
    clickKey(40);
    addZone(45, 47, "");
    ASSERT_EQ(keysOf(0), Keys(40, 40));
    dragBy(keyPoint(40), kOctave);
    const Keys moved = keysOf(0);
    EXPECT_EQ(moved.high, 44);
    EXPECT_LE(moved.low, moved.high);
    EXPECT_EQ(keysOf(1), Keys(45, 47));
}

TEST_F(ZoneKeyboard, DraggingDownWhileMovingWidensTheZoneOnBothSidesUpToItsNeighbours) {
    addZone(36, 40, "");
    const int zone = addZone(48, 50, "");
    addZone(55, 59, "");
    const Rect b = band(zone);
    dragBy(Point((b.left + b.right) / 2, kTop + 20), 0, 100);
    EXPECT_EQ(keysOf(zone), Keys(41, 54));
}

TEST_F(ZoneKeyboard, ANarrowZonesEdgesAreGrabbedWithinItsWidthLessTheEdgeWidth) {
    constexpr int kEdge = OstrelZoneKeyboard::kDefaultEdgeWidth;
    // C and C#: a band wider than one edge width and narrower than two.
    const int zone = addZone(48, 49, "");
    const Rect b = zk->getZoneRect(zone);
    ASSERT_GT(b.getWidth(), kEdge);
    ASSERT_LT(b.getWidth(), 2 * kEdge);
    // Level with the black key, so that every x of the band lies over the zone's keys.
    const int y = kTop + 20;
    const struct {
        int x;
        int mode;
    } cases[] = {
        {b.left + 1, OstrelZoneKeyboard::kDragLow},
        {b.right - kEdge - 1, OstrelZoneKeyboard::kDragLow},
        {b.right - kEdge, OstrelZoneKeyboard::kDragWhole},
        {b.left + kEdge, OstrelZoneKeyboard::kDragWhole},
        {b.left + kEdge + 1, OstrelZoneKeyboard::kDragHigh},
        {b.right - 1, OstrelZoneKeyboard::kDragHigh},
    };
    for (const auto& c : cases) {
        tick(20);
        press(kLeft + c.x, y);
        EXPECT_EQ(zk->getDragMode(), c.mode) << "at " << c.x - b.left << " of " << b.getWidth();
        EXPECT_EQ(zk->getDragZone(), zone);
        release(kLeft + c.x, y);
    }
}

TEST_F(ZoneKeyboard, InPairModeTheUpperHalfOfAPairsKeysIsItsSecondZone) {
    plugin->getModule(0)->getSettings()->setBool(keys::kOscMixMode, true, Sender::kSettings);
    tick();
    ASSERT_TRUE(zk->isPairMode());
    addZone(48, 50, "");
    addZone(51, 53, "");
    // The pair's band spans both zones' keys; the first zone's half lies lower.
    EXPECT_EQ(zk->getZoneRect(0).left, zk->getZoneRect(1).left);
    EXPECT_EQ(zk->getZoneRect(0).right, zk->getZoneRect(1).right);
    EXPECT_EQ(zk->getZoneRect(0).top, zk->getBandUnit() / 2);
    EXPECT_EQ(zk->getZoneRect(1).top, 0);
    const Point key = keyPoint(49);
    tick(20);
    click(key.x, kTop + 2);
    EXPECT_EQ(zones()->getCurrentZoneIndex(), 1);
    tick(20);
    click(key.x, kTop + 50);
    EXPECT_EQ(zones()->getCurrentZoneIndex(), 0);
}

TEST_F(ZoneKeyboard, TheContextMenuCopiesAZonePastesItOnceOnAFreeKeyAndDeletesZones) {
    const std::string path = writeWav("kick.wav");
    const int zone = zoneWithFile(40, 43, path);
    const auto overZone = menuAt(keyPoint(41));
    EXPECT_TRUE(enabledIn(overZone, "Copy zone"));
    EXPECT_FALSE(enabledIn(overZone, "Paste zone"));
    EXPECT_TRUE(enabledIn(overZone, "Delete zone"));
    const auto overFreeKey = menuAt(keyPoint(60));
    EXPECT_FALSE(enabledIn(overFreeKey, "Copy zone"));
    EXPECT_FALSE(enabledIn(overFreeKey, "Paste zone")); // nothing copied yet
    EXPECT_FALSE(enabledIn(overFreeKey, "Delete zone"));

    choose(keyPoint(41), "Copy zone");
    EXPECT_TRUE(enabledIn(menuAt(keyPoint(60)), "Paste zone"));
    choose(keyPoint(60), "Paste zone");
    ASSERT_EQ(zones()->getZoneCount(), 2);
    EXPECT_EQ(keysOf(1), Keys(60, 60));
    EXPECT_EQ(zones()->getCurrentZoneIndex(), 1);
    EXPECT_EQ(sampleFileOf(1), path);
    // One copy pastes once.
    EXPECT_FALSE(enabledIn(menuAt(keyPoint(64)), "Paste zone"));

    choose(keyPoint(60), "Delete zone");
    ASSERT_EQ(zones()->getZoneCount(), 1);
    EXPECT_EQ(keysOf(zone), Keys(40, 43));
    choose(keyPoint(41), "Delete zone");
    EXPECT_EQ(zones()->getZoneCount(), 0);
    EXPECT_TRUE(keyboard->getSelectedRange().isEmpty());
}

TEST_F(ZoneKeyboard, AFileDroppedAnywhereOverABandsKeysLoadsIntoThatZone) {
    const int first = addZone(40, 43, "");
    const int second = addZone(48, 52, "");
    const std::string path = writeWav("snare.wav");
    // Below the band, on the keys themselves: only the x counts.
    drop(Point(band(second).left + 2, kTop + 55), path);
    EXPECT_EQ(zones()->getZoneCount(), 2);
    EXPECT_EQ(sampleFileOf(second), path);
    EXPECT_TRUE(sampleFileOf(first).empty());
    EXPECT_EQ(zones()->getCurrentZoneIndex(), second);
    EXPECT_EQ(zk->getValueText(), "48-52 (C2-E2) snare.wav");
}

TEST_F(ZoneKeyboard, AZoneOutsideTheKeysHasNoBandAndCatchesNoDrop) {
    const int below = addZone(20, 30, "");
    const int above = addZone(80, 90, "");
    EXPECT_TRUE(zk->getZoneRect(above).isEmpty());
    EXPECT_TRUE(zk->getZoneRect(below).isEmpty());
    const std::string path = writeWav("hat.wav");
    for (const int key : {kLowKey, 50, kHighKey}) {
        const Point p = keyPoint(key) - Point(kLeft, kTop);
        zk->receive(WindowMessage(nullptr, 3021, 0, p, pointerToWord(path.c_str())));
    }
    EXPECT_TRUE(sampleFileOf(above).empty());
    EXPECT_TRUE(sampleFileOf(below).empty());
}

TEST_F(ZoneKeyboard, TheValueTextNamesTheCurrentZonesKeysAndFile) {
    const std::string path = writeWav("bass.wav");
    zones()->selectZone(zoneWithFile(36, 47, path));
    EXPECT_EQ(zk->getValueText(), "36-47 (C1-B1) bass.wav");
    zones()->selectZone(addZone(60, 71, ""));
    EXPECT_EQ(zk->getValueText(), "60-71 (C3-B3) ");
    zones()->selectZone(addZone(55, 55, ""));
    EXPECT_EQ(zk->getValueText(), "");
}

TEST_F(ZoneKeyboard, WithAutoSelectOnAPlayedNoteSelectsTheZoneThatHoldsItsKey) {
    addZone(36, 47, "");
    addZone(48, 59, "");
    zones()->selectZone(0);
    Settings& settings = *plugin->getModule(0)->getSettings();
    const struct {
        bool autoSelect;
        int key;
        int selected;
    } cases[] = {{false, 50, 0}, {true, 50, 1}, {true, 40, 0}, {true, 70, 0}};
    for (const auto& c : cases) {
        settings.setBool(keys::kZoneAutoSelect, c.autoSelect, Sender::kSettings);
        test::InstrumentWorld::midi(*plugin, 0x90, c.key, 100);
        std::vector<float> out;
        test::ProductWorld::play(*plugin, 1, 256, out);
        test::InstrumentWorld::midi(*plugin, 0x80, c.key, 0);
        test::ProductWorld::play(*plugin, 1, 256, out);
        tick();
        EXPECT_EQ(zones()->getCurrentZoneIndex(), c.selected) << c.key;
    }
}

TEST_F(ZoneKeyboard, AZoneRemovedDuringADragIsNotResizedAtEitherEdge) {
    addZone(36, 39, "");
    const int dragged = addZone(48, 55, "");
    const Rect b = band(dragged);
    tick(20);
    press(b.right - 3, kTop + 50);
    ASSERT_EQ(zk->getDragZone(), dragged);
    zones()->removeZone(dragged);
    for (int x = b.right - 3; x <= b.right + 60; x += 5)
        move(x, kTop + 50);
    release(b.right + 60, kTop + 50);
    ASSERT_EQ(zones()->getZoneCount(), 1);
    EXPECT_EQ(keysOf(0), Keys(36, 39));
}

TEST_F(ZoneKeyboard, TheCurrentZoneWithAFileIsDrawnInTheMarkersCurrentFileFrame) {
    const std::string path = writeWav("tom.wav");
    const int current = zoneWithFile(40, 47, path);
    addZone(52, 59, "");
    zones()->selectZone(current);
    tick(2);
    const auto shot = snapshot();
    const Rect drawn = band(current);
    // The left cap, away from the label in the middle.
    EXPECT_TRUE(test::pixelIs(*shot, drawn.left + 2, drawn.top + 2, test::Rgb{0xe0, 0x80, 0x20}));
    // The keyboard shows the current zone's keys as selected.
    EXPECT_EQ(keyboard->getSelectedRange(), Keys(40, 47));
}

} // namespace
