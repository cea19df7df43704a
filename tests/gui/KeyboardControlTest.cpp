// The keyboard control: its key layout against the layout's formulas, notes played by presses and drags
// (velocity from the height on the key), notes the engine reports, drawing with and without key bitmaps,
// the tuning menu, and the engine's notes from another thread under the allocation guard.
#include "engine/notes/Note.h"
#include "engine/notes/Tuning.h"
#include "gui/Bitmap.h"
#include "gui/controls/ControlKeyboard.h"
#include "platform/draw/Pixel.h"
#include "platform/draw/Surface.h"
#include "plugin/ParameterValue.h"

#include "support/AllocationGuard.h"
#include "support/EditorHarness.h"
#include "support/PixelChecks.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <thread>

using namespace trov;
using test::node;
using test::specification;

namespace {

using test::expectNearRgb;
using test::rgbOf;

// The layout's formulas: a white key k of the octave at k / 7 of the octave's width, a black key of pitch
// p at p / 12; the octave as wide as the control over its white keys times seven; halves to even.
constexpr bool kBlack[12] = {false, true, false, true, false, false, true, false, true, false, true, false};
constexpr int kWhiteOf[12] = {0, 0, 1, 0, 2, 3, 0, 4, 0, 5, 0, 6};

float place(int pitch) {
    return kBlack[pitch] ? static_cast<float>(pitch) * 0.083333336f
                         : static_cast<float>(kWhiteOf[pitch]) * 0.14285715f;
}

// Whole octaves from key 0.
int octaveOf(int key) {
    return key / 12;
}

Rect expectedKey(int key, int low, int high, int width, int height) {
    int whites = 0;
    for (int k = low; k <= high; ++k)
        whites += kBlack[k % 12] ? 0 : 1;
    const float octave = static_cast<float>(width) * 7.0f / static_cast<float>(whites);
    const auto left = static_cast<int>(std::nearbyint(
        (static_cast<float>(octaveOf(key) - octaveOf(low)) + place(key % 12) - place(low % 12)) * octave));
    if (kBlack[key % 12])
        return Rect(left, 0, static_cast<int>(std::nearbyint(octave * 0.09090909f + 0.5f)),
                    static_cast<int>(std::nearbyint(static_cast<float>(height) * 0.63f)));
    return Rect(left, 0, static_cast<int>(std::nearbyint(octave * 0.14285715f + 0.5f)), height);
}

class Keyboard : public test::EditorHarness {
protected:
    static constexpr int kX = 10;
    static constexpr int kY = 20;

    void buildKeyboard(test::ControlNode keyboard = node("Keyboard").at(kX, kY, 140, 60)) {
        build(specification(
            {node("Panel").id("special::background").at(0, 0, 300, 120).child(keyboard.id("kb"))}));
        open();
        tick();
    }
    ControlKeyboard* keyboard() const { return control<ControlKeyboard>("kb"); }
    // The notes the keyboard played reach the engine at the next block's start; they are applied here as
    // that start would apply them.
    test::NoteCountingEngine& engine() const {
        plugin->applyEvents();
        return *dynamic_cast<test::NoteCountingEngine*>(plugin->getModule(0)->getEngine());
    }
    // Editor coordinates of a point of a key: fx, fy its share of the key's width and height.
    Point on(int key, float fx, float fy) const {
        const Rect r = keyboard()->getKeyRect(key);
        return Point(kX + r.left + static_cast<int>(static_cast<float>(r.getWidth()) * fx),
                     kY + r.top + static_cast<int>(static_cast<float>(r.getHeight()) * fy));
    }
    // A note as the engine broadcasts it.
    void engineNote(int key, bool on) {
        Note note(plugin->getModule(0));
        note.setMidiEvent(on ? 0x90 : 0x80, 0, key, 100, 0, 0, 0);
        plugin->getModule(0)->getEngine()->Engine::handleEvent(note);
    }
    std::array<int, 3> pixelAt(const Point& p) const { return rgbOf(snapshot()->pixel(p.x, p.y)); }
};

} // namespace

TEST_F(Keyboard, KeysLieWhereTheLayoutPutsThemForRangesStartingOnWhiteAndBlackKeys) {
    struct Case {
        int low, high, width, height;
    };
    for (const Case c :
         {Case{48, 71, 140, 60}, Case{49, 60, 97, 41}, Case{21, 108, 600, 80}, Case{0, 127, 300, 30}}) {
        buildKeyboard(
            node("Keyboard").at(kX, kY, c.width, c.height).integer("lokey", c.low).integer("hikey", c.high));
        for (int k = c.low; k <= c.high; ++k)
            EXPECT_EQ(keyboard()->getKeyRect(k), expectedKey(k, c.low, c.high, c.width, c.height))
                << "key " << k << " of " << c.low << ".." << c.high;
        EXPECT_EQ(keyboard()->getKeyRect(c.low).left, 0);
        EXPECT_TRUE(keyboard()->getKeyRect(c.high + 1).isEmpty());
    }
    // The default range by hand: 14 white keys over 140 pixels make a 70-pixel octave.
    buildKeyboard();
    EXPECT_EQ(keyboard()->getKeyRect(48), Rect(0, 0, 10, 60));  // 70 / 7 + 0.5 = 10.5 rounds to even
    EXPECT_EQ(keyboard()->getKeyRect(49), Rect(6, 0, 7, 38));   // 70 / 12, 70 / 11 + 0.5, 0.63 x 60
    EXPECT_EQ(keyboard()->getKeyRect(60), Rect(70, 0, 10, 60)); // one octave on
    EXPECT_EQ(keyboard()->getKeyRect(71), Rect(130, 0, 10, 60));
    EXPECT_EQ(keyboard()->getKeysBounds(), Rect(0, 0, 140, 60));
}

TEST_F(Keyboard, OnlyBothBoundsChangeTheRangeAndBoundsOutsideTheMidiKeysAreHeldToThem) {
    buildKeyboard(node("Keyboard").at(kX, kY, 140, 60).integer("lokey", 30));
    EXPECT_EQ(keyboard()->getLowKey(), 48);
    EXPECT_EQ(keyboard()->getHighKey(), 71);
    buildKeyboard(node("Keyboard").at(kX, kY, 256, 60).integer("lokey", -5).integer("hikey", 300));
    EXPECT_EQ(keyboard()->getLowKey(), 0);
    EXPECT_EQ(keyboard()->getHighKey(), 127);
    // The outermost keys play the notes 0 and 127, nothing beyond.
    for (const int key : {0, 127}) {
        const Point p = on(key, 0.5f, 0.9f);
        click(p.x, p.y);
        EXPECT_EQ(engine().ons(key), 1) << key;
        EXPECT_EQ(engine().offs(key), 1) << key;
    }
    int played = 0;
    for (int k = 0; k < 128; ++k)
        played += engine().ons(k);
    EXPECT_EQ(played, 2);
}

TEST_F(Keyboard, ARangeWithoutWhiteKeysHasNoKeysDrawsNothingAndPlaysNothing) {
    buildKeyboard(node("Keyboard")
                      .at(kX, kY, 140, 60)
                      .integer("lokey", 61)
                      .integer("hikey", 61)
                      .string("background", "#204060"));
    EXPECT_TRUE(keyboard()->getKeyRect(61).isEmpty());
    EXPECT_EQ(keyboard()->getKeyAt(Point(0, 0)), ControlKeyboard::kNoKey);
    click(kX + 5, kY + 5);
    EXPECT_EQ(engine().ons(61), 0);
    expectNearRgb(pixelAt(Point(kX + 5, kY + 5)), {32, 64, 96}, "the background, no key over it");
}

TEST_F(Keyboard, APressPlaysTheKeyUnderItWithAVelocityFromItsHeightOnTheKeyAndBlackKeysWin) {
    buildKeyboard();
    struct Case {
        int key;
        float fy;
        int velocity; // nearest of y x 127 / the key's height
    };
    // White keys are 60 high, black ones 38.
    for (const Case c : {Case{48, 0.0f, 0}, Case{48, 0.5f, 64}, Case{50, 1.0f, 127}, Case{49, 0.0f, 0},
                         Case{49, 1.0f, 127}, Case{51, 0.5f, 64}}) {
        const Point p = on(c.key, 0.5f, c.fy);
        press(p.x, p.y);
        EXPECT_EQ(engine().ons(c.key), 1) << c.key;
        EXPECT_EQ(engine().lastVelocity.load(), c.velocity) << c.key << " at " << c.fy;
        EXPECT_EQ(keyboard()->getMouseKey(), c.key);
        release(p.x, p.y);
        EXPECT_EQ(engine().offs(c.key), 1) << c.key;
        EXPECT_EQ(keyboard()->getMouseKey(), ControlKeyboard::kNoKey);
        engine().notesOn[static_cast<std::size_t>(c.key)] = 0;
        engine().notesOff[static_cast<std::size_t>(c.key)] = 0;
    }
    // Where C sharp lies over C and D, the press plays C sharp.
    const Point overlap = on(49, 0.1f, 0.5f);
    EXPECT_EQ(keyboard()->getKeyAt(overlap - Point(kX, kY)), 49);
    const int below = keyboard()->getKeyAt(on(49, 0.1f, 1.2f) - Point(kX, kY)); // under C sharp's bottom
    EXPECT_TRUE(below == 48 || below == 50) << below;
}

TEST_F(Keyboard, DraggingAcrossKeysEndsEachNoteBeforeTheNextAndWithinOneKeyPlaysNothingMore) {
    buildKeyboard();
    const Point c = on(48, 0.5f, 0.9f);
    const Point d = on(50, 0.5f, 0.9f);
    const Point e = on(52, 0.5f, 0.9f);
    move(c.x, c.y);
    press(c.x, c.y);
    move(c.x + 1, c.y); // still C
    EXPECT_EQ(engine().ons(48), 1);
    EXPECT_EQ(engine().offs(48), 0);
    move(d.x, d.y);
    EXPECT_EQ(engine().offs(48), 1);
    EXPECT_EQ(engine().ons(50), 1);
    move(e.x, e.y);
    EXPECT_EQ(engine().offs(50), 1);
    EXPECT_EQ(engine().ons(52), 1);
    EXPECT_TRUE(keyboard()->isSounding(52));
    EXPECT_FALSE(keyboard()->isSounding(50));
    release(e.x, e.y);
    EXPECT_EQ(engine().offs(52), 1);
    EXPECT_FALSE(keyboard()->isSounding(52));
}

TEST_F(Keyboard, ASoundingKeyOrNoKeyUnderThePressPlaysNothingAndAReleaseWithoutAHeldKeySendsNothing) {
    buildKeyboard();
    engineNote(60, true);
    const Point p = on(60, 0.5f, 0.9f);
    click(p.x, p.y);
    EXPECT_EQ(engine().ons(60), 0);
    EXPECT_EQ(engine().offs(60), 0);
    EXPECT_FALSE(keyboard()->receive(WindowMessage(nullptr, 3000, 0, Point(200, 5), 0))); // off the keys
    EXPECT_TRUE(keyboard()->receive(WindowMessage(nullptr, 3002, 0, Point(5, 5), 0)));
    int sent = 0;
    for (int k = 0; k < 128; ++k)
        sent += engine().ons(k) + engine().offs(k);
    EXPECT_EQ(sent, 0);
}

TEST_F(Keyboard, TheEngineNotesInTheRangeSoundAndAreDrawnRedAndOthersChangeNothing) {
    buildKeyboard();
    engineNote(50, true);
    engineNote(49, true);
    engineNote(40, true); // outside 48..71
    EXPECT_TRUE(keyboard()->isSounding(50));
    EXPECT_FALSE(keyboard()->isSounding(40));
    tick();
    expectNearRgb(pixelAt(on(50, 0.5f, 0.9f)), {255, 0, 0}, "a sounding white key");
    expectNearRgb(pixelAt(on(49, 0.5f, 0.5f)), {255, 0, 0}, "a sounding black key");
    expectNearRgb(pixelAt(on(52, 0.5f, 0.9f)), {255, 255, 255}, "a silent white key");
    expectNearRgb(pixelAt(on(51, 0.5f, 0.5f)), {0, 0, 0}, "a silent black key");
    expectNearRgb(pixelAt(Point(kX + keyboard()->getKeyRect(52).left, kY + 50)), {0, 0, 0}, "a key's frame");
    engineNote(50, false);
    tick();
    expectNearRgb(pixelAt(on(50, 0.5f, 0.9f)), {255, 255, 255}, "a key let go");
}

TEST_F(Keyboard, SelectedKeysWithoutBitmapsAreMixedHalfwayWithTheSelectColour) {
    buildKeyboard(node("Keyboard").at(kX, kY, 140, 60).string("colorSelect", "#0000FF"));
    keyboard()->setSelectedRange(KeyRange(60, 62));
    tick();
    // White to blue by half, truncated: 255 + trunc(-127.5) = 128; black to blue: trunc(127.5) = 127.
    expectNearRgb(pixelAt(on(60, 0.5f, 0.9f)), {128, 128, 255}, "a selected white key", 1);
    expectNearRgb(pixelAt(on(61, 0.5f, 0.5f)), {0, 0, 127}, "a selected black key", 1);
    expectNearRgb(pixelAt(on(64, 0.5f, 0.9f)), {255, 255, 255}, "a white key not selected", 1);
}

TEST_F(Keyboard, KeyBitmapsShowTheRowOfTheKeysStateAndTheColumnOfItsShape) {
    // Cells of 10 x 20 in 8 shape columns and 4 state rows, each cell's colour telling its place.
    const auto cell = [](int column, int row) { return std::array<int, 3>{column * 30, row * 80, 200}; };
    auto sheet = platform::draw::Surface::create(80, 80);
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 80; ++x) {
            const auto c = cell(x / 10, y / 20);
            sheet->setPixel(x, y, platform::draw::makePixel(c[2], c[1], c[0], 255));
        }
    addSkinImage("keys", *sheet, 4);
    buildKeyboard(node("Keyboard")
                      .at(kX, kY, 140, 60)
                      .integer("lokey", 48)
                      .integer("hikey", 60)
                      .raw("<array name=\"bitmaps\"><string value=\"keys\"/></array>"));
    ASSERT_EQ(keyboard()->getKeyBitmaps().size(), 1u);
    // The skin describes rows; the cell is one frame of them.
    keyboard()->getKeyBitmaps()[0]->setFrameRect(Rect(0, 0, 10, 20));
    engineNote(50, true);
    keyboard()->setSelectedRange(KeyRange(52, 53));
    engineNote(53, true);
    editor->invalidateAll();
    tick();
    // A column of the white key's cell that no black key's cell covers.
    const auto at = [&](int key) {
        const int left = keyboard()->getKeyRect(key).left;
        for (int x = left; x < left + 10; ++x) {
            bool covered = false;
            for (int black = 49; black <= 60; ++black)
                if (ControlKeyboard::isBlackKey(black)) {
                    const int l = keyboard()->getKeyRect(black).left;
                    covered = covered || (x >= l && x < l + 10);
                }
            if (!covered)
                return pixelAt(Point(kX + x, kY + 12));
        }
        ADD_FAILURE() << "key " << key << " is covered";
        return std::array<int, 3>{};
    };
    expectNearRgb(at(48), cell(0, 0), "C, silent");
    expectNearRgb(at(50), cell(1, 1), "D, sounding");
    expectNearRgb(at(52), cell(2, 2), "E, selected");
    expectNearRgb(at(53), cell(3, 3), "F, selected and sounding");
    expectNearRgb(at(59), cell(6, 0), "B");
    expectNearRgb(at(60), cell(7, 0), "the closing C");
}

TEST_F(Keyboard, TheContextMenuListsTheTuningsChecksTheCurrentOneAndSelectsTheChosenOne) {
    buildKeyboard();
    Tuning just;
    just.setDescription("Just Intonation");
    plugin->addTuning(just);
    plugin->selectTuning(0); // an added tuning becomes the current one
    std::vector<std::string> seen;
    responder().queueMenu([&](platform::MenuSession& menu) {
        menu.hover(0);
        menu.openSubmenu();
        for (const auto& e : menu.entries())
            seen.push_back(e.text + (e.checked ? "*" : ""));
        menu.dismiss();
    });
    rightClick(kX + 5, kY + 50);
    EXPECT_EQ(seen,
              (std::vector<std::string>{std::string(Tuning::kDefaultDescription) + "*", "Just Intonation"}));
    EXPECT_EQ(keyboard()->getValueText(), "Keyboard Tuning: " + std::string(Tuning::kDefaultDescription));
    responder().queueMenuChoice({"Keyboard Tuning", "Just Intonation"});
    rightClick(kX + 5, kY + 50);
    EXPECT_EQ(plugin->getCurrentTuningIndex(), 1);
    EXPECT_EQ(keyboard()->getValueText(), "Keyboard Tuning: Just Intonation");
    EXPECT_EQ(keyboard()->getParameter(), nullptr);
}

TEST_F(Keyboard, EngineNotesOnAnotherThreadOnlyRecordAndAnAltNoteSetsTheRootNoteAtTheNextTick) {
    buildKeyboard();
    move(kX + 5, kY + 50); // the editor is the active window
    driver.key(platform::VirtualKey::kAlt, true);
    flush();
    std::thread midi([&] {
        test::AllocationGuard guard("an engine's note reaching the keyboard");
        engineNote(62, true);
        engineNote(64, true);
        engineNote(64, false);
    });
    midi.join();
    EXPECT_TRUE(keyboard()->isSounding(62));
    EXPECT_FALSE(keyboard()->isSounding(64));
    EXPECT_TRUE(editor->getDirtyRects().empty());
    const auto* root = dynamic_cast<ParameterValue<long>*>(parameter("WaveRootNote"));
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->getValue(), 0);
    tick();
    EXPECT_EQ(root->getValue(), 64);
    expectNearRgb(pixelAt(on(62, 0.5f, 0.9f)), {255, 0, 0}, "the note from the other thread");
    driver.key(platform::VirtualKey::kAlt, false);
    flush();
    engineNote(65, true); // on the user-interface thread, without Alt
    EXPECT_EQ(root->getValue(), 64);
}

TEST_F(Keyboard, EveryKeyOfTheOctaveCanStartTheRangeAndTheKeysLieWhereTheLayoutPutsThem) {
    for (int low = 48; low < 60; ++low) {
        const int high = low + 23;
        buildKeyboard(node("Keyboard").at(kX, kY, 150, 50).integer("lokey", low).integer("hikey", high));
        for (int k = low; k <= high; ++k)
            EXPECT_EQ(keyboard()->getKeyRect(k), expectedKey(k, low, high, 150, 50))
                << "key " << k << " of " << low << ".." << high;
        EXPECT_TRUE(keyboard()->getKeyRect(low - 1).isEmpty()) << low;
    }
}
