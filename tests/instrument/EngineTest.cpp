#include "engine/samples/Sample.h"
#include "engine/samples/SampleFiles.h"
#include "framework/File.h"
#include "framework/Folder.h"
#include "instrument/voice/OstrelVoice.h"
#include "plugin/Parameter.h"
#include "support/AllocationGuard.h"
#include "support/VoiceTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>
#include <vector>

using namespace trov;
using test::InstrumentWorld;

namespace {

constexpr std::int32_t kBlock = 512;

class EngineTest : public testing::Test {
protected:
    explicit EngineTest(int rate = 44100) : world_(TROV_BUILD_DATA, rate) {
        world_.addSine("Tone", 261.6255653, 44100, 60);
    }

    void make(const std::string& zoneValues = std::string()) {
        plugin_ = world_.makeInstrument(kBlock);
        InstrumentWorld::addZone(*plugin_, 0, 48, 72, "Tone", zoneValues);
    }
    OstrelEngine& engine(int module = 0) const { return *InstrumentWorld::engineOf(*plugin_, module); }
    Settings& settings(int module = 0) const { return InstrumentWorld::settingsOf(*plugin_, module); }
    int active(int module = 0) const { return engine(module).getActiveVoiceCount(); }
    void block(IOPinConfig& outputs) {
        for (int c = 0; c < outputs.getChannelCount(); ++c)
            outputs.getChannel(c)->clear();
        plugin_->process(inputs_, outputs, kBlock);
    }
    static float peak(const IOChannel<float>& c) {
        float p = 0.0f;
        for (std::int32_t i = 0; i < c.getSize(); ++i)
            p = std::max(p, std::fabs(c.getData()[i]));
        return p;
    }

    InstrumentWorld world_;
    std::unique_ptr<test::ToleranceInstrument> plugin_;
    IOPinConfig inputs_ = test::makePins(1, 1, kBlock);
    IOPinConfig stereo_ = test::makePins(2, 1, kBlock);
};

TEST_F(EngineTest, NotesReachTheVoicePoolOnlyWithAZoneAndOnTheChosenChannel) {
    make();
    InstrumentWorld::midi(*plugin_, 0x90, 30, 100); // no zone
    EXPECT_EQ(active(), 0);
    InstrumentWorld::midi(*plugin_, 0x90, 60, 100);
    EXPECT_EQ(active(), 1);
    InstrumentWorld::midi(*plugin_, 0x80, 30, 0); // a note-off without zone still reaches the pool
    InstrumentWorld::midi(*plugin_, 0x80, 60, 0);
    EXPECT_EQ(engine().getVoicePool().getKeyState(60), Choir::kKeyUp);

    settings().setLong("WaveMidiChannel", 3, Sender::kEditor);
    EXPECT_EQ(engine().getMidiChannel(), 3);
    const int before = engine().getVoicePool().getVoiceCount();
    InstrumentWorld::midi(*plugin_, 0x90, 62, 100); // channel 0
    InstrumentWorld::midi(*plugin_, 0x93, 64, 100); // channel 3
    EXPECT_EQ(engine().getVoicePool().getKeyState(62), Choir::kKeyUp);
    EXPECT_EQ(engine().getVoicePool().getKeyState(64), Choir::kKeyUp);
    InstrumentWorld::midi(*plugin_, 0x92, 65, 100); // channel 2: the third
    EXPECT_EQ(engine().getVoicePool().getKeyState(65), Choir::kKeySounding);
    EXPECT_GE(engine().getVoicePool().getVoiceCount(), before);
}

// What the editor's keyboards hear of the engine: each note's key and whether it was a note-on.
class KeyboardListener : public Radio {
public:
    KeyboardListener() { heard.reserve(8); }
    bool receive(const Message& message) override {
        if (message.kind == kKindMidi && message.code <= Code::kNoteOff && heard.size() < heard.capacity())
            heard.emplace_back(reinterpret_cast<const Note*>(message.extra)->getKey(),
                               message.code == Code::kNoteOn);
        return true;
    }
    std::vector<std::pair<int, bool>> heard;
};

TEST_F(EngineTest, ANoteThatNoZonePlaysStillReachesTheKeyboardsWithoutAllocating) {
    make();
    KeyboardListener keyboard;
    keyboard.tuneInTo(&engine());
    {
        test::AllocationGuard guard("notes without a zone");
        InstrumentWorld::midi(*plugin_, 0x90, 30, 100);
        InstrumentWorld::midi(*plugin_, 0x80, 30, 0);
    }
    EXPECT_EQ(active(), 0);
    const std::vector<std::pair<int, bool>> expected = {{30, true}, {30, false}};
    EXPECT_EQ(keyboard.heard, expected);
    keyboard.tuneOutOf(&engine());
}

TEST_F(EngineTest, RoutingFollowsTheHostsOutputsAtResetAndTheOutputConfiguration) {
    make();
    EXPECT_EQ(engine().getRoutingMode(), OstrelEngine::kStereoPan);
    world_.host.setIOConfig(IOConfig(IOPinConfig(1, 1), IOPinConfig(1, 8)));
    plugin_->reset();
    EXPECT_EQ(engine().getRoutingMode(), OstrelEngine::kEightOutputs);
    world_.host.setIOConfig(IOConfig(IOPinConfig(1, 1), IOPinConfig(1, 1)));
    plugin_->reset();
    EXPECT_EQ(engine().getRoutingMode(), OstrelEngine::kMonoCentre);
    settings().setLong("OutputConfiguration", 2, Sender::kEditor);
    settings().setLong("OutputConfiguration", 1, Sender::kEditor);
    EXPECT_EQ(engine().getRoutingMode(), OstrelEngine::kStereoPan);
    settings().setLong("OutputConfiguration", 2, Sender::kEditor);
    EXPECT_EQ(engine().getRoutingMode(), OstrelEngine::kEightOutputs);
    EXPECT_EQ(engine(1).getRoutingMode(), OstrelEngine::kEightOutputs);
}

TEST_F(EngineTest, EightOutputsTakeAFixedVoiceAtItsSlot) {
    // (A document's 11, slot 10, would be held at the value's top, 8.)
    make("<WaveOutputVoice value=\"3\"/>"); // slot 2
    settings().setLong("OutputConfiguration", 2, Sender::kEditor);
    IOPinConfig eight = test::makePins(1, 8, kBlock);
    InstrumentWorld::midi(*plugin_, 0x90, 60, 120);
    block(eight);
    for (int pin = 0; pin < 8; ++pin) {
        const float level = peak(*eight.getChannel(pin));
        if (pin == 2)
            EXPECT_GT(level, 1e-3f);
        else
            EXPECT_EQ(level, 0.0f) << pin;
    }
}

TEST_F(EngineTest, StereoPanPlacesAnEvenSlotLeftWhenTheModeSaysSo) {
    make();
    settings().setLong("StereoMode", 1, Sender::kEditor);
    InstrumentWorld::midi(*plugin_, 0x90, 60, 120);
    InstrumentWorld::midi(*plugin_, 0x80, 60, 0);
    for (int b = 0; b < 200; ++b)
        block(stereo_);
    InstrumentWorld::midi(*plugin_, 0x90, 60, 120); // the pan follows the previous note's slot
    block(stereo_);
    EXPECT_GT(peak(*stereo_.getChannel(0)), 1e-3f);
    EXPECT_LT(peak(*stereo_.getChannel(1)), peak(*stereo_.getChannel(0)) * 1e-3f);
}

TEST_F(EngineTest, TremoloScalesOnlyItsOwnLayerAndAModuleAtGainZeroRendersNothing) {
    // The upper layer's tremolo at full depth, its LFO fast; only the lower layer plays.
    std::vector<float> withTremolo;
    std::vector<float> without;
    for (const float depth : {1.0f, 0.0f}) {
        plugin_.reset();
        make();
        settings(1).setFloat("LFO_VCADepth", depth, Sender::kEditor);
        settings(1).setNormalizedValue("LFORate", 1.0f, Sender::kEditor);
        InstrumentWorld::midi(*plugin_, 0x90, 60, 120);
        std::vector<float>& sound = depth != 0.0f ? withTremolo : without;
        for (int b = 0; b < 8; ++b) {
            block(stereo_);
            sound.push_back(peak(*stereo_.getChannel(0)));
        }
    }
    for (std::size_t i = 0; i < without.size(); ++i)
        EXPECT_NEAR(withTremolo[i], without[i], 0.05f * without[i] + 1e-6f) << i;

    plugin_->getModule(0)->setGain(0.0f);
    block(stereo_);
    EXPECT_EQ(peak(*stereo_.getChannel(0)), 0.0f);
    EXPECT_EQ(active(), 1); // still playing, only not rendered
}

TEST_F(EngineTest, LFODepthsAddTheModWheelsShare) {
    make();
    settings().setFloat("LFO_VCFDepth", 0.25f, Sender::kEditor);
    settings().setFloat("Modwheel_LFO_VCFDepth", 0.5f, Sender::kEditor);
    engine().setModulation(0.5f);
    EXPECT_FLOAT_EQ(engine().getParameterValue(2), 0.5f);
    EXPECT_FLOAT_EQ(engine().getParameterValue(7), 0.0f);
    EXPECT_EQ(engine().getModulationBuffer(3), engine().getModulationBuffer(0));
}

// Recording into the documents folder of a temporary home, at a host rate of its own.
TEST_F(EngineTest, EachBlockPublishesItsSoundingVoicesAndFirstLFOValueWithoutAllocating) {
    make();
    settings().setNormalizedValue("LFORate", 1.0f, Sender::kSettings);
    EXPECT_EQ(engine().getBlockVoiceCount(), 0);
    EXPECT_EQ(engine().getBlockLFOValue(), 0.0f);
    for (int key : {50, 55, 60})
        InstrumentWorld::midi(*plugin_, 0x90, key, 100);
    {
        test::AllocationGuard guard("blocks publishing what they ended with");
        for (int b = 0; b < 8; ++b) {
            block(stereo_);
            // Read here between blocks, where the pool and the buffer are still.
            EXPECT_EQ(engine().getBlockVoiceCount(), active()) << b;
            EXPECT_EQ(engine().getBlockLFOValue(), engine().getModulationBuffer(0)->getData()[0]) << b;
        }
    }
    EXPECT_EQ(engine().getBlockVoiceCount(), 3);
    // A block without frames renders no LFO frames: its value counts as 0.
    plugin_->process(inputs_, stereo_, 0);
    EXPECT_EQ(engine().getBlockLFOValue(), 0.0f);
    EXPECT_EQ(engine().getBlockVoiceCount(), 3);
}

class EngineRecording : public EngineTest {
protected:
    EngineRecording() : EngineTest(8000) {
        make();
        settings().setLong("RecordMode", 0, Sender::kEditor);
        settings().setString("SampleRecordMask", "Take #", Sender::kEditor);
    }
    void feed(float level, int blocks) {
        IOChannel<float>& in = *inputs_.getChannel(0);
        for (int b = 0; b < blocks; ++b) {
            std::fill(in.getData(), in.getData() + kBlock, level);
            in.setValidFrames(kBlock);
            block(stereo_);
        }
    }
    void arm(bool on) { settings().setBool("RecordModeArmed", on, Sender::kEditor); }
    static std::vector<float> read(const std::string& path) {
        const SharedObjectPtr<Sample> sample(loadSampleFile(nullptr, File(path), true));
        EXPECT_TRUE(sample) << path;
        if (!sample)
            return {};
        EXPECT_EQ(sample->getInfo().sampleRate, 8000);
        return std::vector<float>(sample->getData(), sample->getData() + sample->getInfo().frames);
    }
};

TEST_F(EngineRecording, ATakeWithItsTailIsWrittenAtTheHostRateAndImportedAsAZone) {
    const int zones = plugin_->getZoneManager(0)->getZoneCount();
    arm(true);
    EXPECT_TRUE(settings().getBool("RecordModeEnabled"));
    feed(0.25f, 10);
    EXPECT_EQ(engine().getRecordState(), OstrelEngine::kRecording);
    arm(false);
    EXPECT_EQ(engine().getRecordState(), OstrelEngine::kTail);
    feed(0.25f, 12);
    EXPECT_EQ(engine().getRecordState(), OstrelEngine::kIdle);
    ASSERT_TRUE(engine().waitForWriter(10000));
    const std::string path = engine().getLastRecording();
    ASSERT_FALSE(path.empty());
    EXPECT_NE(path.find("/Documents/"), std::string::npos) << path;
    EXPECT_NE(path.find("Take 1.wav"), std::string::npos) << path;
    const std::vector<float> take = read(path);
    // Ten blocks, then the tail: 4096 frames in whole blocks.
    EXPECT_EQ(take.size(), static_cast<std::size_t>(10 * kBlock + 8 * kBlock));
    EXPECT_TRUE(std::all_of(take.begin(), take.end(), [](float v) { return std::fabs(v - 0.25f) < 1e-3f; }));
    // The take replaces the current zone, over its keys.
    EXPECT_EQ(plugin_->getZoneManager(0)->getZoneCount(), zones);
    EXPECT_NE(plugin_->getZoneManager(0)->getCurrentSampleName(), "Tone");
}

TEST_F(EngineRecording, ANewTakeRightAfterTheLastOneLosesNothingOfEither) {
    arm(true);
    feed(0.25f, 4);
    arm(false);
    arm(true); // in the tail: the take goes on
    feed(0.25f, 9);
    EXPECT_EQ(engine().getRecordState(), OstrelEngine::kIdle);
    arm(true); // at once, while the writer may still be writing the first
    feed(0.75f, 3);
    arm(false);
    feed(0.75f, 9);
    ASSERT_TRUE(engine().waitForWriter(10000));
    const std::string second = engine().getLastRecording();
    ASSERT_NE(second.find("Take 2.wav"), std::string::npos) << second;
    const std::string first =
        second.substr(0, second.size() - std::string("Take 2.wav").size()) + "Take 1.wav";
    const std::vector<float> a = read(first);
    const std::vector<float> b = read(second);
    EXPECT_EQ(a.size(), static_cast<std::size_t>(4 * kBlock + 8 * kBlock));
    EXPECT_EQ(b.size(), static_cast<std::size_t>(3 * kBlock + 8 * kBlock));
    EXPECT_TRUE(std::all_of(a.begin(), a.end(), [](float v) { return std::fabs(v - 0.25f) < 1e-3f; }));
    EXPECT_TRUE(std::all_of(b.begin(), b.end(), [](float v) { return std::fabs(v - 0.75f) < 1e-3f; }));
}

TEST_F(EngineRecording, AStopWhileTheTakeIsStartingEndsItAfterItsTail) {
    arm(true);
    arm(false); // before the block that starts the take
    feed(0.5f, 9);
    EXPECT_EQ(engine().getRecordState(), OstrelEngine::kIdle);
    EXPECT_FALSE(settings().getBool("RecordModeEnabled"));
    ASSERT_TRUE(engine().waitForWriter(10000));
    EXPECT_EQ(read(engine().getLastRecording()).size(), static_cast<std::size_t>(8 * kBlock));
}

TEST_F(EngineRecording, AFullTakeStopsByItselfWithoutATailAndIsWritten) {
    arm(true);
    const std::int32_t capacity = engine().getTakeCapacity();
    EXPECT_EQ(capacity, 8000 * 10);
    const int blocks = capacity / kBlock + 1;
    feed(0.5f, blocks);
    EXPECT_NE(engine().getRecordState(), OstrelEngine::kRecording);
    EXPECT_FALSE(settings().getBool("RecordModeArmed"));
    feed(0.5f, 10);
    EXPECT_EQ(engine().getRecordState(), OstrelEngine::kIdle);
    ASSERT_TRUE(engine().waitForWriter(10000));
    EXPECT_EQ(read(engine().getLastRecording()).size(), static_cast<std::size_t>(capacity));
}

TEST_F(EngineRecording, BlocksWithNotesLFOAndRecordingAllocateAndLogNothing) {
    settings().setFloat("LFO_VCADepth", 0.5f, Sender::kEditor);
    settings().setFloat("LFO_VCFDepth", 0.5f, Sender::kEditor);
    settings().setFloat("LFO_OSCDepth", 0.2f, Sender::kEditor);
    for (int key = 50; key < 70; key += 3)
        InstrumentWorld::midi(*plugin_, 0x90, key, 100);
    arm(true);
    feed(0.1f, 1); // the voices' first block
    float level = 0.0f;
    {
        test::AllocationGuard guard("instrument blocks");
        for (int b = 0; b < 40; ++b) {
            IOChannel<float>& in = *inputs_.getChannel(0);
            std::fill(in.getData(), in.getData() + kBlock, 0.1f);
            in.setValidFrames(kBlock);
            plugin_->process(inputs_, stereo_, kBlock);
            level = std::max(level, peak(*stereo_.getChannel(0)));
        }
    }
    EXPECT_GT(level, 1e-3f);
    EXPECT_GT(engine().getTakeFrames(), 0);
}

} // namespace
