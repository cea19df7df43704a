#include "engine/Analogics.h"
#include "engine/io/IOChannel.h"
#include "engine/io/IOConfig.h"
#include "engine/io/IOPinConfig.h"
#include "engine/notes/Tuning.h"
#include "framework/Dictionary.h"
#include "framework/Message.h"
#include "instrument/InstrumentEditorLink.h"
#include "instrument/InstrumentKeys.h"
#include "plugin/MidiMapper.h"
#include "plugin/ParameterEnum.h"
#include "plugin/ParameterValue.h"
#include "support/AllocationGuard.h"
#include "support/CorvaleTestSupport.h"
#include "support/TapwireWriter.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cmath>
#include <memory>
#include <thread>
#include <vector>

namespace trov::test {
namespace {

class CorvalePluginTest : public ::testing::Test {
protected:
    void SetUp() override {
        plugin = world.makeCorvale();
        settings = plugin->getModule(0)->getSettings();
    }
    void TearDown() override {
        world.host.setEditor(nullptr);
        plugin.reset();
    }

    // A parameter change as its sender makes it.
    void setFloat(const char* name, float value, int sender = Sender::kHost) {
        settings->setFloat(name, value, sender);
    }
    void command(const char* name, bool value, int sender) { settings->setBool(name, value, sender); }

    CorvaleWorld world;
    std::unique_ptr<Corvale> plugin;
    Settings* settings = nullptr;
};

TEST_F(CorvalePluginTest, InitNamesTheLayersMapsTheBendWheelAndSelectsStereoWithoutRouting) {
    EXPECT_EQ(plugin->getModule(0)->getName(), "Lower");
    EXPECT_EQ(plugin->getModule(1)->getName(), "Upper");
    EXPECT_EQ(plugin->getMidiMapper()->getTarget(Plugin::kPitchBend),
              settings->getParameter(keys::kMidiPitchBend));
    auto* output = dynamic_cast<ParameterEnum<long>*>(settings->getParameter(keys::kOutputConfiguration));
    ASSERT_NE(output, nullptr);
    EXPECT_EQ(output->getValue(), 1);
    EXPECT_NE(plugin->getAnalogics(), nullptr);
    EXPECT_NEAR(plugin->getAnalogics()->getToleranceRange(), 0.03f, 1e-7f);
    const float tolerance = plugin->getComponentTolerance("VCF Cutoff", 2, 2);
    EXPECT_GT(tolerance, 0.9f);
    EXPECT_LT(tolerance, 1.1f);
    EXPECT_EQ(plugin->getAnalogTolerance("VCF Cutoff", 2, 2), tolerance);
}

TEST_F(CorvalePluginTest, KeyboardBalanceSharesGainBetweenTheLayers) {
    struct Case {
        float balance, lower, upper;
    };
    for (const Case& c : {Case{0.5f, 1.0f, 1.0f}, Case{0.0f, 1.0f, 0.0f}, Case{1.0f, 0.0f, 1.0f},
                          Case{0.25f, 1.0f, 0.5f}, Case{0.75f, 0.5f, 1.0f}}) {
        setFloat(keys::kKeyboardBalance, c.balance == 0.5f ? 0.4f : 0.5f);
        setFloat(keys::kKeyboardBalance, c.balance);
        EXPECT_FLOAT_EQ(plugin->getModule(0)->getGain(), c.lower) << c.balance;
        EXPECT_FLOAT_EQ(plugin->getModule(1)->getGain(), c.upper) << c.balance;
    }
}

TEST_F(CorvalePluginTest, PitchBendRangeSetsTheBendToHundredCentsPerSemitone) {
    settings->setLong(keys::kPitchBendRange, 2, Sender::kHost);
    auto* bend = dynamic_cast<ParameterValue<float>*>(settings->getParameter(keys::kMidiPitchBend));
    ASSERT_NE(bend, nullptr);
    EXPECT_FLOAT_EQ(bend->getMin(), -200.0f);
    EXPECT_FLOAT_EQ(bend->getMax(), 200.0f);
    EXPECT_FLOAT_EQ(bend->getDisplayMax(), 200.0f);
}

TEST_F(CorvalePluginTest, MasterTunePutsItsFrequencyOnKey57AndEqualStepsAroundIt) {
    for (const float hertz : {415.0f, 440.0f, 442.0f, 466.0f}) {
        setFloat(keys::kMasterTune, hertz);
        for (int key = 33; key <= 93; ++key) {
            const double expected = hertz * std::pow(2.0, (key - 57) / 12.0);
            EXPECT_NEAR(plugin->getFrequency(key, 0.0), expected, expected * 1e-12) << hertz << " " << key;
        }
        EXPECT_NEAR(plugin->getFrequency(57, 100.0), hertz * std::pow(2.0, 1.0 / 12.0), 1e-9) << hertz;
    }
}

TEST_F(CorvalePluginTest, MasterTuneNamesKey57InAScaleOfAnyLength) {
    Dictionary scale;
    scale.setString("description", "Seven");
    for (int degree = 1; degree <= 7; ++degree)
        scale.setDouble("factor", std::pow(2.0, degree / 7.0), 0, false);
    Tuning seven;
    ASSERT_TRUE(seven.read(scale));
    plugin->addTuning(seven);
    setFloat(keys::kMasterTune, 430.0f);
    EXPECT_NEAR(plugin->getFrequency(57, 0.0), 430.0, 1e-9);
    EXPECT_NEAR(plugin->getFrequency(64, 0.0), 860.0, 1e-9);
    EXPECT_NEAR(plugin->getFrequency(58, 0.0), 430.0 * std::pow(2.0, 1.0 / 7.0), 1e-9);
}

TEST_F(CorvalePluginTest, EveryTuningThatBecomesCurrentPlaysKey57AtTheMasterTune) {
    setFloat(keys::kMasterTune, 466.0f);
    // Key 57 at the master tune, the scale's own steps around it, whatever anchor the tuning carries.
    auto expectAtMasterTune = [&](const char* how, double fifth) {
        EXPECT_NEAR(plugin->getFrequency(57, 0.0), 466.0, 1e-9) << how;
        EXPECT_NEAR(plugin->getFrequency(64, 0.0), 466.0 * fifth, 1e-9) << how;
        EXPECT_NEAR(plugin->getFrequency(45, 0.0), 233.0, 1e-9) << how;
    };
    const double tempered = std::exp2(7.0 / 12.0);
    expectAtMasterTune("the tuning of the start", tempered);

    Tuning just; // anchored where a scale file leaves it, key 0 at 6.875 Hz
    just.setDescription("Just");
    Dictionary scale;
    ASSERT_TRUE(just.write(scale));
    for (const double ratio : {16.0 / 15, 9.0 / 8, 6.0 / 5, 5.0 / 4, 4.0 / 3, 45.0 / 32, 3.0 / 2, 8.0 / 5,
                               5.0 / 3, 9.0 / 5, 15.0 / 8, 2.0})
        scale.setDouble("factor", ratio, 0, false);
    ASSERT_TRUE(just.read(scale));
    plugin->addTuning(just);
    expectAtMasterTune("an added scale", 1.5);
    plugin->selectTuning(0);
    expectAtMasterTune("a selected tuning", tempered);
    plugin->selectTuning(1);
    command(keys::kResetTuning, true, Sender::kEditor);
    EXPECT_EQ(plugin->getCurrentTuningIndex(), 0);
    expectAtMasterTune("the tuning a reset returns to", tempered);

    // Tunings read from a bank, each with an anchor of its own.
    Tuning stretched;
    stretched.setEqualTemperament();
    stretched.setDescription("Stretched");
    stretched.setAnchor(3, 100.0);
    plugin->addTuning(stretched);
    Dictionary bank;
    plugin->writeTunings(bank);
    command(keys::kResetTuning, true, Sender::kEditor);
    plugin->readTunings(bank);
    ASSERT_EQ(plugin->getCurrentTuningName(), "Stretched");
    expectAtMasterTune("a tuning read from a bank", tempered);
    plugin->selectTuning(1);
    expectAtMasterTune("a scale read from a bank", 1.5);
    double hz = 0.0;
    {
        AllocationGuard guard("a frequency at the master tune");
        hz = plugin->getFrequency(69, 0.0);
    }
    EXPECT_NEAR(hz, 932.0, 1e-9);
}

TEST_F(CorvalePluginTest, MemoryResetAsksOnlyWhenTheEditorSendsIt) {
    command(keys::kMemoryReset, true, Sender::kHost);
    EXPECT_TRUE(world.responder.questions().empty());
    world.responder.queueBox(platform::BoxAnswer::Cancel);
    command(keys::kMemoryReset, false, Sender::kEditor);
    ASSERT_EQ(world.responder.questions().size(), 1u);
    EXPECT_NE(world.responder.questions()[0].text.find("erase the entire internal memory"),
              std::string::npos);
}

TEST_F(CorvalePluginTest, EightOutputsHandTheHostTheirConfigurationAndLeaveStereoModeOneEntry) {
    settings->setNormalizedValue(keys::kOutputConfiguration, 1.0f, Sender::kEditor);
    const IOConfig& config = world.host.getIOBridge();
    EXPECT_EQ(config.getOutputs().getPinCount(), 8);
    EXPECT_EQ(config.getInputs().getChannelCount(), 2);
    auto* stereo = dynamic_cast<ParameterEnum<long>*>(settings->getParameter(keys::kStereoMode));
    ASSERT_NE(stereo, nullptr);
    ASSERT_EQ(stereo->getCount(), 1u);
    EXPECT_EQ(stereo->getLabel(0u), "8Outputs");
    settings->setNormalizedValue(keys::kOutputConfiguration, 0.0f, Sender::kEditor);
    EXPECT_EQ(world.host.getIOBridge().getOutputs().getChannelCount(), 1);
}

// The host's stereo configuration with its buffers, for blocks of the world's size.
class CorvaleBlockTest : public CorvalePluginTest {
protected:
    void SetUp() override {
        CorvalePluginTest::SetUp();
        world.host.setIOConfig(IOConfig(IOPinConfig(2, 1), IOPinConfig(2, 1)));
        plugin->setMaxBlockSize(64);
    }
    IOPinConfig& inputs() { return world.host.getIOBridge().getInputs(); }
    IOPinConfig& outputs() { return world.host.getIOBridge().getOutputs(); }
    void block(int frames = 64) {
        for (int c = 0; c < outputs().getChannelCount(); ++c)
            outputs().getChannel(c)->clear();
        plugin->process(inputs(), outputs(), frames);
    }
    std::vector<float> input(int frames) {
        const IOChannel<float>* channel = inputs().getChannel(0);
        return std::vector<float>(channel->getData(), channel->getData() + frames);
    }
};

TEST_F(CorvaleBlockTest, OwnOutputIsRecordedIntoTheNextBlocksInputAndAMissingChannelIsSilence) {
    setFloat(keys::kMasterVolume, 0.5f);
    const float volume = settings->getFloat(keys::kMasterVolume);
    const float left = NoteCountingEngine::kLevel * volume;
    const float right = 2.0f * NoteCountingEngine::kLevel * volume;
    struct Case {
        std::int32_t source;
        float expected;
    };
    std::vector<std::vector<float>> heard(4, std::vector<float>(64));
    {
        AllocationGuard guard;
        std::size_t n = 0;
        for (const Case& c : {Case{1, left + right}, Case{2, left}, Case{3, right}, Case{6, 0.0f}}) {
            plugin->setRecordSource(c.source);
            block();
            block();
            const float* data = inputs().getChannel(0)->getData();
            std::copy(data, data + 64, heard[n++].begin());
        }
    }
    const std::vector<float> expected = {left + right, left, right, 0.0f};
    ASSERT_EQ(heard.size(), expected.size());
    for (std::size_t i = 0; i < heard.size(); ++i)
        for (float value : heard[i])
            ASSERT_FLOAT_EQ(value, expected[i]) << "case " << i;
    EXPECT_FLOAT_EQ(outputs().getChannel(0)->getData()[10], left);
}

TEST_F(CorvaleBlockTest, TapwireAudioArrivesAsInputAndASlotWithoutSenderStaysClosed) {
    constexpr int kSlot = 27;
    EXPECT_FALSE(plugin->openLink(kSlot));
    EXPECT_FALSE(plugin->isLinkOpen());
    TapwireWriter writer(kSlot);
    ASSERT_TRUE(writer.ok());
    writer.goLive();
    std::vector<float> sent(48);
    for (std::size_t i = 0; i < sent.size(); ++i)
        sent[i] = 0.01f * static_cast<float>(i);
    writer.push(sent.data(), sent.size());
    settings->setLong(keys::kTapwireChannel, kSlot, Sender::kEditor);
    ASSERT_TRUE(plugin->isLinkOpen());
    EXPECT_TRUE(writer.receiverAttached());
    plugin->setRecordSource(Corvale::kRecordLink);
    {
        AllocationGuard guard;
        block();
    }
    EXPECT_EQ(inputs().getChannel(0)->getValidFrames(), 48);
    EXPECT_EQ(input(48), sent);
    // Reopening elsewhere lets go of the slot read so far.
    EXPECT_FALSE(plugin->openLink(kSlot + 1));
    EXPECT_FALSE(writer.receiverAttached());
    block();
    EXPECT_EQ(inputs().getChannel(0)->getValidFrames(), 0);
}

// The open editor as the audio thread reaches it: the input peaks it was given and the module it shows.
class RecordingEditorLink final : public InstrumentEditorLink {
public:
    void setInputLevel(float level) noexcept override {
        levels[count < levels.size() ? count : levels.size() - 1] = level;
        ++count;
    }
    const Module* getShownModule() const noexcept override { return shown; }

    std::array<float, 8> levels{};
    std::size_t count = 0;
    const Module* shown = nullptr;
};

// The host's editor pointer is not what a block reads: it may go while the block runs.
TEST_F(CorvaleBlockTest, SoloPlaysOnlyTheLayerTheAttachedEditorShowsAndBothWithoutOne) {
    command(keys::kSoloZone, true, Sender::kEditor);
    block();
    EXPECT_EQ(InstanceWorld::engineOf(*plugin, 0)->blocks.load(), 1);
    EXPECT_EQ(InstanceWorld::engineOf(*plugin, 1)->blocks.load(), 1);
    RecordingEditorLink editor;
    editor.shown = plugin->getModule(1);
    plugin->attachEditorLink(&editor);
    block();
    EXPECT_EQ(InstanceWorld::engineOf(*plugin, 0)->blocks.load(), 1);
    EXPECT_EQ(InstanceWorld::engineOf(*plugin, 1)->blocks.load(), 2);
    plugin->detachEditorLink(&editor);
    block();
    EXPECT_EQ(InstanceWorld::engineOf(*plugin, 0)->blocks.load(), 2);
}

TEST_F(CorvaleBlockTest, EachBlocksInputPeakGoesToTheAttachedEditorWithoutAllocating) {
    RecordingEditorLink editor;
    plugin->attachEditorLink(&editor);
    IOChannel<float>& in = *inputs().getChannel(0);
    const std::vector<float> peaks = {0.25f, 0.75f, 0.0f};
    {
        AllocationGuard guard;
        for (const float peak : peaks) {
            std::fill(in.getData(), in.getData() + 64, 0.0f);
            in.getData()[17] = -peak; // the largest magnitude, whatever its sign
            in.getData()[40] = peak / 2.0f;
            block();
        }
    }
    ASSERT_EQ(editor.count, peaks.size());
    for (std::size_t i = 0; i < peaks.size(); ++i)
        EXPECT_FLOAT_EQ(editor.levels[i], peaks[i]);
    plugin->detachEditorLink(&editor);
    block();
    EXPECT_EQ(editor.count, peaks.size());
}

TEST_F(CorvaleBlockTest, AnEditorDetachedWhileBlocksRunIsNeverReachedAfterward) {
    std::atomic<bool> rendering{true};
    std::thread audio([&] {
        while (rendering.load())
            block();
    });
    for (int i = 0; i < 200; ++i) {
        auto editor = std::make_unique<RecordingEditorLink>();
        plugin->attachEditorLink(editor.get());
        std::this_thread::yield();
        plugin->detachEditorLink(editor.get());
        // Freed at once: a block still holding it would be caught by AddressSanitizer.
        editor.reset();
    }
    rendering = false;
    audio.join();
    // Detaching one that is not attached leaves the attached one.
    RecordingEditorLink attached, other;
    plugin->attachEditorLink(&attached);
    plugin->detachEditorLink(&other);
    EXPECT_EQ(plugin->getEditorLink(), &attached);
    plugin->detachEditorLink(&attached);
    EXPECT_EQ(plugin->getEditorLink(), nullptr);
}

} // namespace
} // namespace trov::test
