// Pitch as the instrument sounds it: a sine sample made here, played by the product's voices at the
// host's rate, its period measured over a quarter of a second. Expected pitches are the scale's steps from
// the sample's root (equal-tempered unless a test loads a scale file), the wheel's cents and the master
// tuning's ratio to 440 Hz.
#include "engine/io/IOPinStereo.h"
#include "engine/notes/Note.h"
#include "framework/File.h"
#include "instrument/voice/OstrelVoice.h"
#include "plugin/Settings.h"
#include "support/AllocationGuard.h"
#include "support/VoiceTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace trov::test {
namespace {

constexpr double kTone = 261.6255653; // the sample's sine, at its root key, recorded at 44.1 kHz
constexpr int kRoot = 60;
// The first player's clock runs this much slow, as the machine's does (4.8 cents).
constexpr double kFirstPlayerClock = 0.9972475966332921;
constexpr std::int32_t kBlock = 256;
constexpr double kCents = 3.0;

double centsBetween(double measured, double expected) {
    return 1200.0 * std::log2(measured / expected);
}

class VoicePitchTest : public ::testing::TestWithParam<int> {
protected:
    VoicePitchTest() {
        world.addSine("Tone", kTone, 2 * 44100, kRoot);
        InstrumentWorld::addZone(*plugin, 0, 24, 108, "Tone");
        // The sine alone: no noises, crusher, filters or DAC ladder.
        for (const char* bypass : {"GrungeBypass", "FilterBypass", "EnvelopeBypass"})
            settings().setBool(bypass, true, Sender::kEditor);
        settings().setFloat("Velocity_OscMix", 0.0f, Sender::kEditor);
        // Room for every note a test holds.
        InstrumentWorld::engineOf(*plugin, 0)->getVoicePool().setVoiceLimit(32);
        out.setSize(kBlock);
    }

    int rate() const { return GetParam(); }
    Settings& settings() const { return InstrumentWorld::settingsOf(*plugin, 0); }
    // Layer 0 sounds through the first player alone, layer 1 through the second alone.
    void playLayer(int layer) { settings().setFloat("OscMix", layer == 0 ? 0.0f : 1.0f, Sender::kEditor); }
    // A voice of the engine's pool, which hears the parameters' changes at a block's start.
    OstrelVoice* start(int key) {
        Note note(plugin->getModule(0));
        note.setMidiEvent(0x90, 0, key, 100, 0, 0, 0);
        auto* voice =
            dynamic_cast<OstrelVoice*>(InstrumentWorld::engineOf(*plugin, 0)->getVoicePool().noteOn(note));
        EXPECT_NE(voice, nullptr);
        return voice;
    }
    // What the voice sounds over the next quarter of a second, once 30 ms of it have passed.
    double heard(OstrelVoice& voice) {
        const std::size_t skip = static_cast<std::size_t>(rate() * 3 / 100);
        const std::size_t frames = static_cast<std::size_t>(rate() / 4);
        std::vector<float> signal;
        while (signal.size() < skip + frames) {
            out.getChannel(0)->setValidFrames(0);
            voice.render(nullptr, out);
            const float* data = out.getChannel(0)->getData();
            signal.insert(signal.end(), data, data + kBlock);
        }
        return measuredFrequency(
            std::vector<float>(signal.begin() + static_cast<std::ptrdiff_t>(skip), signal.end()), rate());
    }
    // The key equal-tempered from the root, moved by cents, on the layer's player.
    static double expected(int key, int layer, double cents = 0.0) {
        return kTone * std::exp2((key - kRoot) / 12.0 + cents / 1200.0) *
               (layer == 0 ? kFirstPlayerClock : 1.0);
    }
    // The voice with the analog drift of its players (up to 1.8 cents) taken away, so that a pitch is
    // heard to a cent.
    static OstrelVoice* steady(OstrelVoice* voice) {
        if (voice != nullptr)
            for (const int layer : {0, 1})
                voice->getPlayer(layer).setDriftDepth(0.0f);
        return voice;
    }
    void bend(int wheel) { InstrumentWorld::midi(*plugin, 0xE0, wheel & 127, wheel >> 7); }

    InstrumentWorld world{TROV_BUILD_DATA, GetParam()};
    ProductInstrument product{world, kBlock};
    Corvale* plugin = product.plugin.get();
    IOPinStereo out;
};

TEST_P(VoicePitchTest, KeysTwoOctavesAroundTheRootSoundEqualTemperedFromItOnEitherPlayer) {
    for (const int layer : {0, 1}) {
        playLayer(layer);
        for (const int key : {36, 43, 48, 55, 60, 64, 72, 79, 84}) {
            auto voice = start(key);
            EXPECT_NEAR(centsBetween(heard(*voice), expected(key, layer)), 0.0, kCents)
                << "key " << key << " layer " << layer;
        }
    }
}

TEST_P(VoicePitchTest, TheWheelMovesASoundingNoteByItsShareOfTheBendRange) {
    playLayer(0);
    auto voice = start(kRoot);
    for (const int range : {2, 12}) {
        settings().setLong("PitchBendRange", range, Sender::kHost);
        // A quarter of the wheel's travel from its centre (8192 of 16384) is half the range.
        for (const auto& [wheel, share] :
             {std::pair(12288, 0.5), std::pair(4096, -0.5), std::pair(8192, 0.0)}) {
            bend(wheel);
            EXPECT_NEAR(centsBetween(heard(*voice), expected(kRoot, 0, share * range * 100.0)), 0.0, kCents)
                << "range " << range << " wheel " << wheel;
        }
    }
}

TEST_P(VoicePitchTest, MasterTuneAt466SoundsEveryKey99Point4CentsHigherAndBackAt440AsBefore) {
    playLayer(1);
    const double up = 1200.0 * std::log2(466.0 / 440.0);
    ASSERT_NEAR(up, 99.4, 0.05);
    auto held = start(kRoot);
    for (const float tune : {466.0f, 440.0f, 466.0f, 440.0f}) {
        {
            // Host automation may move it from the audio thread; the voices take it at the block's start.
            AllocationGuard guard("the master tune reaching a sounding voice");
            settings().setFloat("MasterTune", tune, Sender::kHost);
            plugin->applyEvents();
        }
        const double shift = tune == 466.0f ? up : 0.0;
        // A note that sounds already follows at once; new notes start there.
        EXPECT_NEAR(centsBetween(heard(*held), expected(kRoot, 1, shift)), 0.0, kCents) << tune;
        for (const int key : {48, 72}) {
            auto voice = start(key);
            EXPECT_NEAR(centsBetween(heard(*voice), expected(key, 1, shift)), 0.0, kCents)
                << "key " << key << " at " << tune;
        }
    }
}

TEST_P(VoicePitchTest, AScalaTuningBendsTheKeysAroundKey57AtTheMasterTune) {
    // Five-limit just intonation: key 57 holds the master tune, the others its ratios.
    const std::string scale =
        "! just.scl\nJust\n 12\n 16/15\n 9/8\n 6/5\n 5/4\n 4/3\n 45/32\n 3/2\n 8/5\n 5/3\n"
        " 9/5\n 15/8\n 2/1\n";
    ASSERT_TRUE(plugin->loadFile(File(world.files.write("just.scl", scale))));
    ASSERT_EQ(plugin->getCurrentTuningName(), "Just");
    playLayer(1);
    struct Step {
        int key;
        double ratio; // to key 57
    };
    for (const float tune : {440.0f, 466.0f}) {
        settings().setFloat("MasterTune", tune, Sender::kHost);
        for (const Step& step :
             {Step{57, 1.0}, Step{60, 6.0 / 5.0}, Step{64, 3.0 / 2.0}, Step{55, 9.0 / 10.0}, Step{69, 2.0}}) {
            // The root key in the scale at the reference pitch (key 57 at 440 Hz) plays the sample as
            // recorded.
            const double reference = 440.0 * 6.0 / 5.0;
            const double hz = kTone * tune * step.ratio / reference;
            auto voice = start(step.key);
            EXPECT_NEAR(centsBetween(heard(*voice), hz), 0.0, kCents) << "key " << step.key << " at " << tune;
        }
    }
}

TEST_P(VoicePitchTest, InNineteenToneAndAJustScaleTheRootKeySoundsAsRecordedAndMasterTuneMovesEveryKey) {
    std::string nineteen = "! nineteen.scl\nNineteen\n 19\n";
    for (int degree = 1; degree < 19; ++degree)
        nineteen += " " + std::to_string(1200.0 * degree / 19.0) + "\n";
    nineteen += " 2/1\n";
    const std::string just = "! just.scl\nJust\n 12\n 16/15\n 9/8\n 6/5\n 5/4\n 4/3\n 45/32\n 3/2\n 8/5\n"
                             " 5/3\n 9/5\n 15/8\n 2/1\n";
    struct Interval {
        int key;
        double cents; // from the root key, as the scale says
    };
    struct Scale {
        const char* file;
        std::string text;
        std::vector<Interval> intervals;
    };
    const double step19 = 1200.0 / 19.0;
    const std::vector<Scale> scales = {
        // The root, key 60, lies three of nineteen steps above key 57 (110 cents below the tempered one).
        {"nineteen.scl",
         nineteen,
         {{kRoot + 6, 6 * step19}, {kRoot + 11, 11 * step19}, {kRoot - 5, -5 * step19}}},
        // The root is the minor third 6/5 above key 57 (16 cents above the tempered one); keys 64 and 67 lie
        // a pure major third and fifth above it.
        {"just.scl",
         just,
         {{64, 1200.0 * std::log2(5.0 / 4.0)}, {67, 1200.0 * std::log2(3.0 / 2.0)}, {kRoot - 12, -1200.0}}},
    };
    playLayer(1);
    const double up = 1200.0 * std::log2(466.0 / 440.0);
    for (const Scale& scale : scales) {
        ASSERT_TRUE(plugin->loadFile(File(world.files.write(scale.file, scale.text))));
        for (const float tune : {440.0f, 466.0f}) {
            settings().setFloat("MasterTune", tune, Sender::kHost);
            const double shift = tune == 466.0f ? up : 0.0;
            auto root = steady(start(kRoot));
            EXPECT_NEAR(centsBetween(heard(*root), kTone), shift, 1.0) << scale.file << " at " << tune;
            for (const Interval& interval : scale.intervals) {
                auto voice = steady(start(interval.key));
                EXPECT_NEAR(centsBetween(heard(*voice), kTone), shift + interval.cents, 1.0)
                    << scale.file << " key " << interval.key << " at " << tune;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(HostRates, VoicePitchTest, ::testing::Values(44100, 48000, 96000));

} // namespace
} // namespace trov::test
