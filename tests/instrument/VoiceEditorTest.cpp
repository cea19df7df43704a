#include "engine/zones/Zone.h"
#include "engine/zones/ZoneManager.h"
#include "instrument/voice/OstrelVoice.h"
#include "support/InstanceTestSupport.h"
#include "support/VoiceTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <latch>
#include <thread>

using namespace trov;
using test::InstrumentWorld;

namespace {

// The instrument in oscillator-mix mode with a pair of zones over the keyboard, an editor editing its
// lower layer and the pair's first zone current.
class VoiceEditor : public testing::Test {
protected:
    VoiceEditor() {
        world_.addSine("Low", 261.6255653, 44100, 60);
        world_.addSine("High", 523.2511306, 44100, 60);
        InstrumentWorld::addZone(*plugin_, 0, 36, 96, "Low");
        InstrumentWorld::addZone(*plugin_, 0, 36, 96, "High");
        settings().setBool("OscMixMode", true, Sender::kEditor);
        settings().setFloat("OscMix", 0.0f, Sender::kEditor);
        settings().setFloat("Velocity_OscMix", 0.0f, Sender::kEditor);
        editor_.edited = plugin_->getModule(0);
        PluginEnvironment::instance().setEditor(plugin_.get(), &editor_);
        zones().selectZone(0);
        plugin_->applyEvents();
    }
    ~VoiceEditor() override { PluginEnvironment::instance().setEditor(plugin_.get(), nullptr); }

    Settings& settings() const { return InstrumentWorld::settingsOf(*plugin_, 0); }
    ZoneManager& zones() const { return *plugin_->getZoneManager(0); }
    float levelOf(int index) const {
        const SharedObjectPtr<Zone> zone(zones().getZone(index));
        return zone->getParameterFloat("WaveLevel");
    }
    OstrelVoice* sounding() const {
        Voice* voice = InstrumentWorld::engineOf(*plugin_, 0)->getVoicePool().getVoice(0);
        return voice != nullptr && voice->getState() == Voice::kPlaying ? dynamic_cast<OstrelVoice*>(voice)
                                                                        : nullptr;
    }

    InstrumentWorld world_{TROV_BUILD_DATA};
    std::unique_ptr<test::ToleranceInstrument> plugin_ = world_.makeInstrument(512);
    test::FakeEditor editor_;
};

// The editor stores its edits in the current zone, off its own thread only at its next tick; the voices
// take the edit's value itself at the next block's start.
TEST_F(VoiceEditor, AnEditorsZoneEditReachesOnlyTheLayerPlayingTheCurrentZoneAtTheNextBlockStart) {
    settings().setFloat("OscMix", 0.5f, Sender::kEditor);
    settings().setFloat("WaveLevel", 0.25f, Sender::kEditor);
    {
        const SharedObjectPtr<Zone> current(zones().getCurrentZone());
        current->receive(settings().getParameter("WaveLevel")->currentMessage(Sender::kEditor));
    }
    InstrumentWorld::midi(*plugin_, 0x90, 60, 100);
    OstrelVoice* voice = sounding();
    ASSERT_NE(voice, nullptr);
    ASSERT_EQ(voice->getZone(1)->getSampleName(), zones().getZoneSampleName(1));
    // Half the mix each: the first layer at the stored 0.25, the second at its zone's 1.
    EXPECT_FLOAT_EQ(voice->getPlayer(0).getAmplitude(), 0.5f * 0.25f);
    EXPECT_FLOAT_EQ(voice->getPlayer(1).getAmplitude(), 0.5f);

    // An edit not stored yet: heard at the block's start, by the current zone's layer alone.
    settings().setFloat("WaveLevel", 0.5f, Sender::kEditor);
    EXPECT_FLOAT_EQ(voice->getPlayer(0).getAmplitude(), 0.5f * 0.25f) << "before the block's start";
    plugin_->applyEvents();
    EXPECT_FLOAT_EQ(voice->getPlayer(0).getAmplitude(), 0.5f * 0.5f);
    EXPECT_FLOAT_EQ(voice->getPlayer(1).getAmplitude(), 0.5f);
    EXPECT_FLOAT_EQ(levelOf(0), 0.25f) << "storing is the editor's";

    // With another module edited, the edit carries another zone's values: not heard.
    editor_.edited = plugin_->getModule(1);
    settings().setFloat("WaveLevel", 0.75f, Sender::kEditor);
    plugin_->applyEvents();
    EXPECT_FLOAT_EQ(voice->getPlayer(0).getAmplitude(), 0.5f * 0.5f);
}

// A note start on the audio thread asks which module the open editor edits while the user interface may be
// closing that editor: the editor leaves its registration (and may then be deleted) only once the answer
// has been given, never while the note is still asking it.
TEST_F(VoiceEditor, AnEditorClosingWhileANoteStartsAsksItLeavesOnlyOnceTheAnswerIsGiven) {
    // Its first answer waits until the test lets it go.
    class HeldEditor : public test::FakeEditor {
    public:
        const Module* getEditedModule() const override {
            if (!askedOnce.exchange(true))
                asked.count_down();
            released.wait();
            return edited;
        }
        mutable std::atomic<bool> askedOnce{false};
        mutable std::latch asked{1};
        mutable std::latch released{1};
    };
    auto held = std::make_unique<HeldEditor>();
    held->edited = plugin_->getModule(0);
    PluginEnvironment::instance().setEditor(plugin_.get(), held.get());

    std::thread audio([&] { InstrumentWorld::midi(*plugin_, 0x90, 60, 100); });
    held->asked.wait();
    std::atomic<bool> left{false};
    std::thread closing([&] {
        PluginEnvironment::instance().setEditor(plugin_.get(), nullptr);
        left = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(left) << "the editor left while a note start was asking it";
    held->released.count_down();
    closing.join();
    audio.join();
    EXPECT_TRUE(left);
    held.reset();
    // The note started with the answer it got, and later notes find no editor.
    EXPECT_NE(sounding(), nullptr);
    InstrumentWorld::midi(*plugin_, 0x90, 64, 100);
}

} // namespace
