// The value controls off the user-interface thread: a host change and a MIDI controller reach them on their
// own threads without allocating, and only record redraws, which the next tick paints; the program keeps
// the edit of a module's parameter from that tick on.
#include "engine/zones/Zone.h"
#include "engine/zones/ZoneManager.h"
#include "gui/controls/ControlBitmap.h"
#include "gui/controls/ControlValueKnob.h"
#include "plugin/Parameter.h"

#include "support/AllocationGuard.h"
#include "support/EditorHarness.h"

#include <gtest/gtest.h>

#include <thread>

using namespace trov;
using test::node;
using test::specification;

namespace {

class ValueThreads : public test::EditorHarness {
protected:
    ValueThreads() {
        addSkin("track", 20, 100, 0xffc0c0c0);
        addSkin("handle", 20, 10, 0xff0000ff);
        addSkin("bar", 20, 100, 0xff00ff00);
        addSkin("lamp", 20, 20, 0xffff0000);
        build(specification(
            {node("Panel")
                 .id("special::background")
                 .at(0, 0, 300, 150)
                 .child(node("Knob").id("knob").parameter("Level").at(10, 10, 30, 30))
                 .child(node("Knob").id("volume").parameter("Volume").integer("midi", 7).at(10, 50, 30, 30))
                 .child(node("Knob").id("level").parameter("Level").integer("midi", 8).at(200, 50, 30, 30))
                 .child(node("Knob").id("detune").parameter("Detune").integer("midi", 9).at(240, 50, 30, 30))
                 .child(
                     node("Library:Slider")
                         .parameter("Level")
                         .string("background", "track")
                         .string("handle", "handle")
                         .integer("x", 50)
                         .integer("y", 10)
                         .child(node("Range").parameter("Amount").string("handle", "bar").at(0, 0, 20, 100)))
                 .child(node("TextValue").parameter("Steps").at(80, 10, 60, 12))
                 .child(node("Display").parameter("Steps").at(80, 30, 60, 12))
                 .child(node("Text").parameter("Steps").at(80, 50, 60, 12))
                 .child(node("Bitmap")
                            .id("lamp")
                            .raw("<array name=\"bitmaps\"><string display=\"Mode\" value=\"lamp\"/></array>")
                            .at(150, 10, 20, 20))}));
        open();
        tick();
    }
};

} // namespace

TEST_F(ValueThreads,
       AHostChangeOnAnotherThreadReachesEveryValueControlWithoutAllocatingAndIsPaintedAtTheNextTick) {
    std::thread automation([&] {
        test::AllocationGuard guard("host changes reaching the value controls");
        parameter("Level")->setNormalized(0.9f, Sender::kHost);
        parameter("Amount")->setNormalized(0.8f, Sender::kHost);
        parameter("Steps")->setNormalized(1.0f, Sender::kHost);
        parameter("Mode")->setNormalized(1.0f, Sender::kHost);
    });
    automation.join();
    EXPECT_TRUE(editor->getDirtyRects().empty());
    EXPECT_NE(control<ControlBitmap>("lamp")->getCurrentBitmap(), nullptr);
    tick();
    EXPECT_EQ(snapshot()->pixel(160, 20), platform::draw::makePixel(0, 0, 255, 255)); // the lamp, red
}

// A plug-in parameter: the edit of a module's parameter is also stored in the program's document, which
// allocates.
TEST_F(ValueThreads, AControllerOnTheMidiThreadMovesItsPairedKnobWithoutAllocating) {
    std::thread midi([&] {
        test::AllocationGuard guard("a MIDI controller setting a knob");
        plugin->applyController(7, 0.25f, 0);
    });
    midi.join();
    EXPECT_FLOAT_EQ(control<ControlValueKnob>("volume")->getValue(), 0.25f);
    EXPECT_FLOAT_EQ(parameter("Volume")->getNormalized(), 0.25f);
    EXPECT_TRUE(editor->getDirtyRects().empty());
    tick();
}

// MIDI may arrive on the audio thread: the knob and its parameter move at once, and the program's document,
// whose writing allocates, takes the newest value at the next tick.
TEST_F(ValueThreads, AControllerPairedWithAModuleParameterLeavesStoringItInTheProgramToTheNextTick) {
    const auto stored = [&] { return storedInProgram("Level"); };
    const float before = stored();
    std::thread audio([&] {
        test::AllocationGuard guard("MIDI controllers moving a module parameter's knob");
        plugin->applyController(8, 0.4f, 0);
        plugin->applyController(8, 0.6f, 0);
    });
    audio.join();
    EXPECT_FLOAT_EQ(control<ControlValueKnob>("level")->getValue(), 0.6f);
    EXPECT_FLOAT_EQ(parameter("Level")->getNormalized(), 0.6f);
    EXPECT_FLOAT_EQ(stored(), before);
    tick();
    EXPECT_FLOAT_EQ(stored(), 0.6f);
    // On the user-interface thread the program keeps the edit at once.
    plugin->applyController(8, 0.2f, 0);
    EXPECT_FLOAT_EQ(stored(), 0.2f);
}

TEST_F(ValueThreads, AControllerPairedWithAZoneParameterLeavesStoringItInTheCurrentZoneToTheNextTick) {
    ZoneManager* zones = plugin->getModule(0)->getZoneManager();
    ASSERT_NE(zones, nullptr);
    zones->createZone(KeyRange(36, 59), "low");
    zones->createZone(KeyRange(60, 96), "high");
    zones->selectZone(0);
    const auto detuneOf = [&](int index) {
        const SharedObjectPtr<Zone> zone(zones->getZone(index));
        return zone->getParameterFloat("Detune");
    };
    const float before = detuneOf(0);
    ASSERT_NE(before, 0.75f);
    std::thread audio([&] {
        test::AllocationGuard guard("a MIDI controller moving a zone parameter's knob");
        plugin->applyController(9, 0.75f, 0);
    });
    audio.join();
    EXPECT_FLOAT_EQ(parameter("Detune")->getNormalized(), 0.75f);
    EXPECT_FLOAT_EQ(detuneOf(0), before);
    tick();
    EXPECT_FLOAT_EQ(detuneOf(0), 0.75f);
    EXPECT_FLOAT_EQ(detuneOf(1), before) << "only the current zone";
}
