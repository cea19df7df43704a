#include "support/InstanceTestSupport.h"

#include "plugin/MidiMapper.h"
#include "plugin/Parameter.h"
#include "plugin/ParameterScheduler.h"

#include <gtest/gtest.h>

using namespace trov;
using namespace trov::test;

namespace {

class MidiTest : public testing::Test {
protected:
    MidiTest() { world.host.setEditor(&editor); }
    ~MidiTest() override { world.host.setEditor(nullptr); }

    void send(int status, int data1, int data2, std::int32_t offset = 0) {
        const MidiEvent event = midi(status, data1, data2, offset);
        plugin->midiEvent(&event);
        // Notes wait for the next block's start.
        plugin->applyEvents();
    }
    NoteCountingEngine& engine(int module) { return *InstanceWorld::engineOf(*plugin, module); }
    MidiMapper<Parameter*>& mapper() { return *plugin->getMidiMapper(); }

    InstanceWorld world;
    FakeEditor editor;
    std::unique_ptr<Plugin> plugin = world.makePlugin();
};

TEST_F(MidiTest, NotesReachBothEnginesAndVelocityZeroIsANoteOff) {
    MessageRecorder keyboard;
    engine(0).addListener(&keyboard);
    send(0x90, 60, 100);
    send(0x93, 60, 0);
    send(0x82, 61, 64);
    for (int m = 0; m < 2; ++m) {
        EXPECT_EQ(engine(m).ons(60), 1);
        EXPECT_EQ(engine(m).offs(60), 1);
        EXPECT_EQ(engine(m).offs(61), 1);
    }
    ASSERT_EQ(keyboard.heard.size(), 3u);
    EXPECT_EQ(keyboard.heard[0].code, Code::kNoteOn);
    EXPECT_EQ(keyboard.heard[1].code, Code::kNoteOff);
    EXPECT_EQ(keyboard.heard[2].code, Code::kNoteOff);
    engine(0).removeListener(&keyboard);

    // Data bytes beyond seven bits are masked.
    send(0x90, 0x80 | 62, 0x80 | 5);
    EXPECT_EQ(engine(1).ons(62), 1);
    EXPECT_EQ(engine(1).lastVelocity.load(), 5);
    send(0x90, 0xFF, 0x80); // key 127, velocity 0: a note-off
    EXPECT_EQ(engine(0).offs(127), 1);
    EXPECT_EQ(engine(0).ons(127), 0);
    plugin->midiEvent(nullptr);
}

struct RangeCase {
    const char* parameter;
    int range;
    int invert;
    int data2;
    float position;
};

TEST_F(MidiTest, ControllersPassTheRangeAndInvertTableOfTheirController) {
    const RangeCase cases[] = {
        // Cutoff spans -12..12: the range mode picks a half.
        {"Cutoff", 0, 0, 127, 1.0f},
        {"Cutoff", 0, 0, 0, 0.5f},
        {"Cutoff", 0, 1, 127, 0.5f},
        {"Cutoff", 0, 1, 0, 1.0f},
        {"Cutoff", 2, 0, 127, 0.0f},
        {"Cutoff", 2, 0, 0, 0.5f},
        {"Cutoff", 2, 1, 127, 0.5f},
        {"Cutoff", 2, 1, 0, 0.0f},
        {"Cutoff", 1, 0, 127, 1.0f},
        {"Cutoff", 1, 1, 127, 0.0f},
        {"Cutoff", 1, 0, 0, 0.0f},
        // Integers spanning zero take the range too.
        {"Transpose", 0, 0, 0, 0.5f},
        {"Transpose", 2, 0, 127, 0.0f},
        // No span over zero, or another kind: only the inversion counts.
        {"Resonance", 0, 0, 127, 1.0f},
        {"Resonance", 2, 1, 127, 0.0f},
        {"Resonance", 0, 1, 0, 1.0f},
        {"Sustain", 2, 0, 127, 1.0f},
        {"Sustain", 0, 1, 127, 0.0f},
    };
    for (const RangeCase& c : cases) {
        Parameter* target = parameterOf(*plugin, 0, c.parameter);
        mapper().assign(7, target);
        mapper().setRange(7, c.range);
        mapper().setInvert(7, c.invert);
        parameterOf(*plugin, 0, c.parameter)->setNormalized(0.25f, Sender::kHost);
        parameterOf(*plugin, 1, c.parameter)->setNormalized(0.25f, Sender::kHost);
        send(0xB0, 7, c.data2);
        const std::string what = std::string(c.parameter) + " range " + std::to_string(c.range) + " invert " +
                                 std::to_string(c.invert) + " data " + std::to_string(c.data2);
        EXPECT_NEAR(parameterOf(*plugin, 0, c.parameter)->getNormalized(), c.position, 1e-5) << what;
        EXPECT_NEAR(parameterOf(*plugin, 1, c.parameter)->getNormalized(), c.position, 1e-5) << what;
        ASSERT_FALSE(editor.values.empty());
        EXPECT_NEAR(editor.values.back(), c.position, 1e-5) << what;
    }
}

TEST_F(MidiTest, MappedValuesAreScheduledAtTheirOffsetAndSentAsMidiChanges) {
    Parameter* cutoff = parameterOf(*plugin, 0, "Cutoff");
    mapper().assign(9, cutoff);
    MessageRecorder upper;
    cutoff->addListener(&upper);
    send(0xB0, 9, 127, 40);
    for (int m = 0; m < 2; ++m) {
        float value = -1.0f;
        EXPECT_TRUE(plugin->getModule(m)->getSettings()->getScheduler().getScheduled("Cutoff", 40, value))
            << m;
        EXPECT_NEAR(value, 1.0f, 1e-5);
    }
    cutoff->removeListener(&upper);
    // The current value sent on tuning in, then the change.
    ASSERT_EQ(upper.heard.size(), 2u);
    EXPECT_EQ(upper.heard[1].kind, kKindParameter);
}

TEST_F(MidiTest, PitchBendAndPressureBecomeControllers128And129) {
    send(0xE0, 0, 0x40);
    send(0xE5, 0xFF, 0xFF);
    send(0xD0, 64, 0);
    ASSERT_EQ(editor.controllers, (std::vector<int>{128, 128, 129}));
    EXPECT_FLOAT_EQ(editor.values[0], 0.5f);
    EXPECT_FLOAT_EQ(editor.values[1], 16383.0f / 16384.0f);
    EXPECT_FLOAT_EQ(editor.values[2], 64.0f / 127.0f);

    Parameter* resonance = parameterOf(*plugin, 0, "Resonance");
    mapper().assign(Plugin::kPitchBend, resonance);
    send(0xE0, 0, 0x40);
    EXPECT_FLOAT_EQ(resonance->getNormalized(), 0.5f);
}

TEST_F(MidiTest, UnmappedControllersStillReachTheMapperTheEditorAndTheModulationWheel) {
    send(0xB0, 1, 127);
    EXPECT_NEAR(engine(0).modulation.load(), 1.0f, 1e-6);
    EXPECT_NEAR(engine(1).modulation.load(), 1.0f, 1e-6);
    send(0xB0, 2, 0);
    EXPECT_NEAR(engine(0).modulation.load(), 1.0f, 1e-6);
    EXPECT_EQ(editor.controllers, (std::vector<int>{1, 2}));

    // Learning: the next controller is assigned to the target, and then moves it.
    Parameter* drive = parameterOf(*plugin, 0, "Drive");
    mapper().learn(drive, "Drive");
    send(0xB0, 20, 0);
    EXPECT_EQ(mapper().getController(drive), 20);
    send(0xB0, 20, 127);
    EXPECT_NEAR(drive->getNormalized(), 1.0f, 1e-5);
    EXPECT_NEAR(parameterOf(*plugin, 1, "Drive")->getNormalized(), 1.0f, 1e-5);
}

TEST_F(MidiTest, PolyphonicPressureProgramChangeAndSystemMessagesAreIgnored) {
    for (int status : {0xA0, 0xA5, 0xC0, 0xCF, 0xF0, 0xF8, 0x00, 0x7F})
        send(status, 60, 100);
    EXPECT_TRUE(editor.controllers.empty());
    EXPECT_EQ(engine(0).ons(60) + engine(0).offs(60), 0);
    EXPECT_EQ(plugin->getCurrentPresetIndex(), 0);
}

TEST_F(MidiTest, ControllerChangesCarryTheMidiSenderCode) {
    struct Flags : Radio {
        bool receive(const Message& message) override {
            if (const auto* change = dynamic_cast<const ParameterMessage*>(&message))
                flags.push_back(change->flags);
            return false;
        }
        std::vector<std::int32_t> flags;
    } heard;
    Parameter* transpose = parameterOf(*plugin, 1, "Transpose");
    transpose->addListener(&heard);
    mapper().assign(3, parameterOf(*plugin, 0, "Transpose"));
    send(0xB0, 3, 100);
    transpose->removeListener(&heard);
    ASSERT_EQ(heard.flags.size(), 2u);
    EXPECT_EQ(heard.flags[1], Sender::kMidi);
}

} // namespace
