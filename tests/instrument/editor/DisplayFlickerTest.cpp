// The LFO's LED and the LCD displays of the instrument's panel over the real instrument: notes played
// through MIDI deepen the LCD's flicker, the LED's opacity follows the LFO, both on the manual clock.
#include "gui/Bitmap.h"
#include "instrument/editor/OstrelLCDText.h"
#include "instrument/editor/OstrelLED.h"
#include "instrument/editor/OstrelValueDisplay.h"
#include "instrument/editor/OstrelValueText.h"
#include "support/InstrumentEditorHarness.h"
#include "support/PixelCheck.h"

#include <gtest/gtest.h>

using namespace trov;
using test::node;

namespace {

constexpr std::uint32_t kBlue = 0xff2040c0;
constexpr std::uint32_t kRed = 0xffff0000;
// Each sounding voice deepens the flicker by a sixteenth; with none it is one sixteenth.
constexpr float kPerVoice = 1.0f / 16.0f;

class Displays : public test::InstrumentEditorHarness {
protected:
    Displays() {
        addSkin("special::background", 200, 100, kBlue);
        addSkin("lcdfont", 50, 7, 0xff40ff40, 10, "0123456789");
        addSkin("ledon", 10, 10, kRed);
        build(test::specification(
            {node("Background")
                 .id("special::background")
                 .child(node("LCDText")
                            .id("text")
                            .string("text", "Layer A-Z")
                            .string("alphabet", "lcdfont")
                            .at(10, 10, 60, 7))
                 .child(node("LCDDisplay")
                            .id("number")
                            .parameter("WaveRootNote")
                            .string("alphabet", "lcdfont")
                            .at(10, 20, 30, 7))
                 .child(node("LCDValueText").id("value").parameter("VCFCutoff").at(10, 30, 60, 12))
                 .child(node("LFOLED").id("led").string("down", "ledon").at(100, 40, 10, 10))}));
        world.base.addSine("sine", 440.0, 44100, 60);
        test::InstrumentWorld::addZone(*plugin, 0, 36, 96, "sine");
        open();
        tick();
    }

    Bitmap* font() const { return control<OstrelLCDText>("text")->getAlphabetBitmap(); }
    // The flicker timer ticks every 100 ms from the editor's construction on.
    void flickerTick() { tick(2); }
};

} // namespace

TEST_F(Displays, TheFactoryMakesTheLCDControlsAndTheLEDForTheirTypeNames) {
    EXPECT_NE(control<OstrelLCDText>("text"), nullptr);
    EXPECT_NE(control<OstrelValueDisplay>("number"), nullptr);
    EXPECT_NE(control<OstrelValueText>("value"), nullptr);
    EXPECT_NE(control<OstrelLED>("led"), nullptr);
    // An upper-case text of the specification is shown in the LCD's lower case; other bytes stay.
    EXPECT_EQ(control<OstrelLCDText>("text")->getText(), "layer a-z");
    // Every LCD control draws with the one shared glyph sheet.
    EXPECT_EQ(control<OstrelValueDisplay>("number")->getAlphabetBitmap(), font());
}

TEST_F(Displays, NotesPlayedThroughMidiDeepenTheFlickerBySixteenthsAndReleasedOnesLetItGoBack) {
    ASSERT_NE(font(), nullptr);
    play(1);
    flickerTick();
    EXPECT_FLOAT_EQ(font()->getFlicker(), kPerVoice);

    for (int key : {60, 64, 67})
        midi(0x90, key, 100);
    play(1);
    flickerTick();
    EXPECT_FLOAT_EQ(font()->getFlicker(), 4 * kPerVoice);

    for (int key : {60, 64, 67})
        midi(0x80, key, 0);
    // Released voices sound until their envelopes end.
    play(400);
    flickerTick();
    EXPECT_FLOAT_EQ(font()->getFlicker(), kPerVoice);
}

TEST_F(Displays, TheFlickerTicksStayAHundredMillisecondsApartHoweverManyVoicesSound) {
    // The fixture opened the editor 50 ms after the flicker's timer started.
    for (int key : {60, 62, 64})
        midi(0x90, key, 100);
    play(1);
    tick(1);
    ASSERT_FLOAT_EQ(font()->getFlicker(), 4 * kPerVoice);
    midi(0x90, 65, 100);
    play(1);
    clock_.advance(99);
    EXPECT_FLOAT_EQ(font()->getFlicker(), 4 * kPerVoice) << "no tick within 100 ms";
    clock_.advance(1);
    EXPECT_FLOAT_EQ(font()->getFlicker(), 5 * kPerVoice) << "the next tick 100 ms after the last";
}

TEST_F(Displays, TheLEDIsAsOpaqueAsTheLFOIsHighAfterEachBlockOnTheWindowTimer) {
    parameter("LFORate")->setNormalized(1.0f, Sender::kSettings);
    const auto ledPixel = [&] { return test::rgb(snapshot()->pixel(105, 45)); };
    const test::Rgb blue{0x20, 0x40, 0xc0};
    const test::Rgb red{0xff, 0x00, 0x00};
    bool sawDifferentValues = false;
    float last = 2.0f;
    for (int block = 0; block < 12; ++block) {
        const test::Rgb before = ledPixel();
        play(3);
        // The LFO's value of the last block as the engine left it in its buffer.
        const float v = engine().getModulationBuffer(0)->getData()[0];
        const float opacity = std::clamp((v + 1.0f) * 0.5f, 0.0f, 1.0f);
        EXPECT_FLOAT_EQ(control<OstrelLED>("led")->getOpacity(), opacity);
        EXPECT_EQ(ledPixel(), before) << "nothing is painted between ticks";
        tick(2);
        test::expectNear(ledPixel(), test::blend(red, blue, static_cast<int>(std::trunc(opacity * 255.0f))),
                         "led");
        sawDifferentValues = sawDifferentValues || (last != 2.0f && std::fabs(v - last) > 0.05f);
        last = v;
    }
    EXPECT_TRUE(sawDifferentValues) << "the LFO should move at its fastest rate";
}

// An editor about to take its controls apart first silences them, as it does every control; from then on
// no flicker tick reaches the displays (nor the glyph sheet they share), however the notes go on.
TEST_F(Displays, OnceTheEditorHasSilencedTheDisplaysNoFlickerTickReachesThem) {
    for (int key : {60, 64})
        midi(0x90, key, 100);
    play(1);
    flickerTick();
    ASSERT_FLOAT_EQ(font()->getFlicker(), 3 * kPerVoice) << "the displays flicker while they listen";
    for (const char* id : {"text", "number", "value"})
        control<Control>(id)->tuneOutOfAll();
    font()->setFlicker(0.0f);
    midi(0x90, 67, 100);
    play(1);
    for (int i = 0; i < 5; ++i)
        flickerTick();
    EXPECT_EQ(font()->getFlicker(), 0.0f) << "a tick reached a silenced display";
}
