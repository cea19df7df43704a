#include "engine/io/IOPinStereo.h"
#include "engine/notes/Note.h"
#include "instrument/dsp/OstrelEnvelope.h"
#include "instrument/voice/OstrelVoice.h"
#include "instrument/voice/SharedStages.h"
#include "plugin/Parameter.h"
#include "support/AllocationGuard.h"
#include "support/VoiceTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

using namespace trov;
using test::InstrumentWorld;

namespace {

constexpr std::int32_t kBlock = 512;

// One instrument with two layers' zones over the keyboard (sample "Low" in zone 0, "High" in zone 1) and
// voices made by hand on its first module.
class VoiceTest : public testing::Test {
protected:
    VoiceTest() {
        world_.addSine("Low", 261.6255653, 44100, 60);
        world_.addSine("High", 523.2511306, 44100, 60);
        InstrumentWorld::addZone(*plugin_, 0, 36, 96, "Low", more0_);
        InstrumentWorld::addZone(*plugin_, 0, 36, 96, "High", more1_);
        out_.setSize(kBlock);
    }

    Module* module() const { return plugin_->getModule(0); }
    Settings& settings() const { return InstrumentWorld::settingsOf(*plugin_, 0); }
    Note note(int key, int velocity, std::int32_t offset = 0) const {
        Note n(module());
        n.setMidiEvent(0x90, 0, key, velocity, 0, offset, 0);
        return n;
    }
    std::unique_ptr<OstrelVoice> voice(int slot = 0) const {
        return std::make_unique<OstrelVoice>(module(), slot, note(60, 100));
    }
    // A voice of the engine's pool (which hears the parameters' changes at a block's start), started on
    // the note in the slot.
    OstrelVoice* pooled(int key, int velocity, int slot) const {
        Note played = note(key, velocity);
        played.setSlot(slot);
        return dynamic_cast<OstrelVoice*>(
            InstrumentWorld::engineOf(*plugin_, 0)->getVoicePool().noteOn(played));
    }
    const IOChannel<float>& render(OstrelVoice& v) {
        out_.setValidFrames(0);
        v.render(nullptr, out_);
        return *out_.getChannel(0);
    }
    static float peak(const IOChannel<float>& c, std::int32_t from, std::int32_t to) {
        float p = 0.0f;
        for (std::int32_t i = from; i < to; ++i)
            p = std::max(p, std::fabs(c.getData()[i]));
        return p;
    }

    std::string more0_;
    std::string more1_;
    InstrumentWorld world_{TROV_BUILD_DATA};
    std::unique_ptr<test::ToleranceInstrument> plugin_ = world_.makeInstrument(kBlock);
    IOPinStereo out_;
};

TEST_F(VoiceTest, NoteStartMixesBothLayersByVelocityAndPlaysEachLayersZone) {
    settings().setBool("OscMixMode", true, Sender::kEditor);
    settings().setFloat("OscMix", 0.5f, Sender::kEditor);
    settings().setFloat("Velocity_OscMix", 1.0f, Sender::kEditor);
    auto v = voice();
    v->noteOn(note(60, 127));
    EXPECT_EQ(v->getState(), Voice::kPlaying);
    EXPECT_FLOAT_EQ(v->getMix(), 1.0f); // limited
    ASSERT_NE(v->getZone(0), nullptr);
    ASSERT_NE(v->getZone(1), nullptr);
    // Layer 0 plays the first zone of the pair, layer 1 the second.
    const ZoneManager& zones = *plugin_->getZoneManager(0);
    EXPECT_EQ(v->getZone(0)->getSampleName(), zones.getZoneSampleName(0));
    EXPECT_EQ(v->getZone(1)->getSampleName(), zones.getZoneSampleName(1));
    EXPECT_NE(v->getZone(0), v->getZone(1));
    // The tune-in of "OscMix" recomputes the mix with the velocity around its centre: 0.5 + 1.0 * 1.0.
    EXPECT_FLOAT_EQ(v->getPlayer(0).getAmplitude(), 0.0f);
    EXPECT_FLOAT_EQ(v->getPlayer(1).getAmplitude(), 1.0f);
    // Layer 0 alone carries the machine's clock jitter and detuned second multiplier.
    EXPECT_FLOAT_EQ(v->getPlayer(0).getJitter(), 0.25f);
    EXPECT_DOUBLE_EQ(v->getPlayer(0).getMultiplier2(), 0.9972475966332921);
    EXPECT_DOUBLE_EQ(v->getPlayer(1).getMultiplier2(), 1.0);
    // Each stage asked this voice slot's component.
    EXPECT_TRUE(plugin_->wasAsked("VCA Attack 0"));
    EXPECT_TRUE(plugin_->wasAsked("VCF Release 0"));
}

TEST_F(VoiceTest, PanFollowsTheStereoModeAndAFixedZoneSlotOverridesTheVoiceSlot) {
    settings().setLong("StereoMode", 2, Sender::kEditor);
    OstrelVoice* v = pooled(60, 100, 5); // learns the mode at its tune-in
    ASSERT_NE(v, nullptr);
    v->noteOn(note(60, 100));
    EXPECT_FLOAT_EQ(v->getPan(), 0.75f);
    EXPECT_EQ(v->getOutputSlot(), 5);

    settings().setLong("StereoMode", 1, Sender::kEditor);
    plugin_->applyEvents(); // the block's start: the voice follows
    v->noteOn(note(60, 100));
    EXPECT_FLOAT_EQ(v->getPan(), 1.0f); // odd slot

    plugin_->getZoneManager(0)->removeAllZones();
    InstrumentWorld::addZone(*plugin_, 0, 36, 96, "Low", "<WaveOutputVoice value=\"3\"/>");
    auto fixed = voice(7);
    fixed->noteOn(note(60, 100));
    EXPECT_EQ(fixed->getOutputSlot(), 2);
}

TEST_F(VoiceTest, KeysWithoutZonesOrPlugInsWithoutTolerancesLeaveTheVoiceFree) {
    plugin_->getZoneManager(0)->removeAllZones();
    auto v = voice();
    v->noteOn(note(60, 100));
    EXPECT_EQ(v->getState(), Voice::kFree);
    IOPinStereo pins;
    pins.setSize(kBlock);
    EXPECT_FALSE(v->render(nullptr, pins));
    EXPECT_EQ(pins.getChannel(0)->getValidFrames(), 0);
}

TEST_F(VoiceTest, TheFilterEnvelopePeakIsCutToWhatTheCutoffLeaves) {
    settings().setFloat("VCFCutoff", 0.8f, Sender::kEditor);
    settings().setNormalizedValue("VCFPeak", 1.0f, Sender::kEditor);
    settings().setNormalizedValue("VCFSustain", 0.0f, Sender::kEditor);
    settings().setNormalizedValue("VCFDecay", 1.0f, Sender::kEditor);
    auto v = voice();
    v->noteOn(note(60, 100)); // learns the cutoff
    v->noteOn(note(60, 100));
    EXPECT_FLOAT_EQ(v->getFilter().getBaseCutoff(), 0.8f);
    float highest = 0.0f;
    for (int b = 0; b < 40; ++b) {
        render(*v);
        const auto* curve = static_cast<const IOChannel<float>*>(v->getFilter().getInput(0));
        highest = std::max(highest, peak(*curve, 0, curve->getValidFrames()));
    }
    const OstrelEnvelope::Stages cut = OstrelEnvelope::stagesOf(0.0f, 0.2f, 1.0f, 0.0f, 0.0f);
    const OstrelEnvelope::Stages full = OstrelEnvelope::stagesOf(0.0f, 1.0f, 1.0f, 0.0f, 0.0f);
    EXPECT_LT(highest, full.peak * 0.5f);
    EXPECT_NEAR(highest, cut.peak, 0.02f);
}

TEST_F(VoiceTest, PitchBendDetunesByItsCentsAndResampleRatesBelowZeroAreIgnored) {
    OstrelVoice* v = pooled(60, 100, 0);
    ASSERT_NE(v, nullptr);
    const float before = v->getPlayer(0).getFrequency();
    plugin_->getModule(0)->getSettings()->setFloat("MidiPitchBend", 100.0f, Sender::kMidi);
    plugin_->applyEvents();
    // 100 cents: one semitone up, not the float's bit pattern cut to 16 bits.
    EXPECT_NEAR(v->getPlayer(0).getFrequency() / before, std::exp2(1.0 / 12.0), 1e-4);
    const double clock = v->getPlayer(0).getClockRate();
    EXPECT_DOUBLE_EQ(clock, 44100.0);
    v->receive(ParameterMessage(nullptr, Code::kParameterValue, "ResampleFreq", 0, floatToWord(-5.0f), 0.0f,
                                Sender::kHost));
    v->receive(ParameterMessage(nullptr, Code::kParameterValue, "ResampleFreq", 0, floatToWord(0.0f), 0.0f,
                                Sender::kHost));
    EXPECT_DOUBLE_EQ(v->getPlayer(0).getClockRate(), clock);
    v->receive(ParameterMessage(nullptr, Code::kParameterValue, "ResampleFreq", 0, floatToWord(22050.0f),
                                0.0f, Sender::kHost));
    EXPECT_DOUBLE_EQ(v->getPlayer(0).getClockRate(), 22050.0);
}

TEST_F(VoiceTest, WithoutAnEditorZoneChangesFromEditorSettingsOrTuneInAreIgnored) {
    auto v = voice();
    v->noteOn(note(60, 100));
    const double clock = v->getPlayer(0).getClockRate();
    Parameter* rate = settings().getParameter("ResampleFreq");
    ASSERT_EQ(rate->getScope(), Parameter::kScopeZone);
    for (const int sender : {Sender::kEditor, Sender::kSettings, Sender::kNewListener})
        EXPECT_FALSE(v->receive(ParameterMessage(rate, Code::kParameterValue, "ResampleFreq", 0,
                                                 floatToWord(11025.0f), 0.0f, sender)));
    EXPECT_DOUBLE_EQ(v->getPlayer(0).getClockRate(), clock);
    EXPECT_TRUE(v->receive(ParameterMessage(rate, Code::kParameterValue, "ResampleFreq", 0,
                                            floatToWord(11025.0f), 0.0f, Sender::kHost)));
    EXPECT_DOUBLE_EQ(v->getPlayer(0).getClockRate(), 11025.0);
}

TEST_F(VoiceTest, ANoteStartingInsideOrPastTheBlockLeavesSilenceBeforeItAndNothingBeyondTheBlock) {
    auto v = voice();
    v->noteOn(note(60, 127, 100));
    const IOChannel<float>& first = render(*v);
    EXPECT_EQ(first.getValidFrames(), kBlock);
    EXPECT_EQ(peak(first, 0, 100), 0.0f);
    EXPECT_GT(peak(first, 100, kBlock), 0.0f);
    EXPECT_EQ(v->getStartOffset(), 0);

    auto late = voice(1);
    late->noteOn(note(60, 127, 1000));
    std::fill(out_.getChannel(0)->getData(), out_.getChannel(0)->getData() + kBlock, 9.0f);
    const IOChannel<float>& silent = render(*late);
    EXPECT_EQ(silent.getValidFrames(), kBlock);
    EXPECT_EQ(peak(silent, 0, kBlock), 0.0f);
    EXPECT_EQ(late->getState(), Voice::kPlaying);
    const IOChannel<float>& second = render(*late);
    EXPECT_EQ(peak(second, 0, 1000 - kBlock), 0.0f);
    EXPECT_GT(peak(second, 1000 - kBlock, kBlock), 0.0f);
}

TEST_F(VoiceTest, BothChannelsCarryTheSameSoundAndTheVoiceEndsAfterItsRelease) {
    auto v = voice();
    v->noteOn(note(60, 100));
    render(*v);
    const IOChannel<float>& left = *out_.getChannel(0);
    const IOChannel<float>& right = *out_.getChannel(1);
    EXPECT_EQ(right.getValidFrames(), left.getValidFrames());
    EXPECT_TRUE(std::equal(left.getData(), left.getData() + kBlock, right.getData()));
    EXPECT_FLOAT_EQ(left.getGain(), 100.0f / 127.0f);

    v->noteOff(note(60, 0), false);
    EXPECT_EQ(v->getState(), Voice::kReleasing);
    EXPECT_EQ(v->getClickPlayer().getSampleName(), "OstrelNoteOffNoise");
    int blocks = 0;
    while (v->getState() != Voice::kFree && blocks < 400) {
        render(*v);
        ++blocks;
    }
    EXPECT_EQ(v->getState(), Voice::kFree);
    EXPECT_EQ(v->getPlayer(0).getZone(), nullptr);
}

TEST_F(VoiceTest, EveryBypassStillSoundsAndStillFollowsTheAmplitudeEnvelopeToSilence) {
    auto renderWith = [&](const char* bypass) {
        for (const char* name : {"EnvelopeBypass", "FilterBypass", "GrungeBypass"})
            settings().setBool(name, bypass != nullptr && std::string(bypass) == name, Sender::kEditor);
        auto v = voice();
        v->noteOn(note(60, 100));
        float sound = 0.0f;
        for (int b = 0; b < 4; ++b)
            sound = std::max(sound, peak(render(*v), 0, kBlock));
        v->noteOff(note(60, 0), false);
        float tail = 0.0f;
        for (int b = 0; b < 200; ++b)
            tail = peak(render(*v), 0, kBlock);
        return std::make_pair(sound, tail);
    };
    for (const char* bypass :
         {static_cast<const char*>(nullptr), "EnvelopeBypass", "FilterBypass", "GrungeBypass"}) {
        const auto [sound, tail] = renderWith(bypass);
        const char* what = bypass != nullptr ? bypass : "none";
        EXPECT_GT(sound, 1e-3f) << what;
        // The release still silences the voice.
        EXPECT_LT(tail, 1e-3f) << what;
    }
}

TEST_F(VoiceTest, SharedStagesExistOncePerProcessWhileAnyHolderLives) {
    const int before = sharedStagesReferenceCount();
    const SharedStages& a = acquireSharedStages();
    const SharedStages& b = acquireSharedStages();
    EXPECT_EQ(a.logCrusher, b.logCrusher);
    EXPECT_EQ(a.ladder, b.ladder);
    EXPECT_EQ(sharedStagesReferenceCount(), before + 2);
    auto v = voice();
    EXPECT_EQ(sharedStagesReferenceCount(), before + 3);
    releaseSharedStages();
    releaseSharedStages();
    v.reset();
    EXPECT_EQ(sharedStagesReferenceCount(), before);
    // The instrument's voices made ahead hold the rest.
    plugin_.reset();
    EXPECT_EQ(sharedStagesReferenceCount(), 0);
    releaseSharedStages(); // one release too many is harmless
    EXPECT_EQ(sharedStagesReferenceCount(), 0);
}

TEST_F(VoiceTest, StartingAndRenderingVoicesAllocatesAndLogsNothing) {
    std::vector<std::unique_ptr<OstrelVoice>> voices;
    for (int i = 0; i < 8; ++i)
        voices.push_back(voice(i));
    float sum = 0.0f;
    {
        // A voice's first note (drawing what making it would have) and the next ones too.
        test::AllocationGuard guard("voices starting and rendering");
        for (int i = 0; i < 8; ++i)
            voices[static_cast<std::size_t>(i)]->noteOn(note(48 + i * 3, 60 + i * 8, i * 40));
        voices.front()->noteOn(note(50, 90));
        for (int b = 0; b < 60; ++b)
            for (auto& v : voices) {
                if (b == 30)
                    v->noteOff(note(60, 0), false);
                sum += peak(render(*v), 0, kBlock);
            }
    }
    EXPECT_GT(sum, 0.0f);
}

} // namespace
