#include "engine/io/IOPinStereo.h"
#include "engine/notes/Note.h"
#include "instrument/voice/OstrelVoice.h"
#include "support/EngineTestSupport.h"
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
constexpr int kRate = 44100;

// The instrument with one zone over the keyboard on its lower layer, playing a four-second sine; the
// envelopes' defaults hold a note at full level while its key is down.
class VoiceSteal : public testing::Test {
protected:
    VoiceSteal() {
        world_.addSine("Tone", 261.6255653, 4 * kRate, 60);
        InstrumentWorld::addZone(*plugin_, 0, 0, 127, "Tone");
    }

    ChoirDynamic& pool() const { return InstrumentWorld::engineOf(*plugin_, 0)->getVoicePool(); }
    void block() {
        for (int c = 0; c < stereo_.getChannelCount(); ++c)
            stereo_.getChannel(c)->clear();
        plugin_->process(inputs_, stereo_, kBlock);
    }
    std::vector<int> sounding() const { return test::soundingKeys(pool()); }

    InstrumentWorld world_{TROV_BUILD_DATA};
    std::unique_ptr<test::ToleranceInstrument> plugin_ = world_.makeInstrument(kBlock);
    IOPinConfig inputs_ = test::makePins(1, 1, kBlock);
    IOPinConfig stereo_ = test::makePins(2, 1, kBlock);
};

TEST_F(VoiceSteal, TwentyKeysInOneBlockSoundTheNewestEightAndTheOthersAreFreeAfterTheFade) {
    for (int key = 50; key < 70; ++key)
        InstrumentWorld::midi(*plugin_, 0x90, key, 100);
    EXPECT_EQ(sounding(), test::keyRange(62, 69));
    EXPECT_LE(pool().getVoiceCount(), 2 * pool().getVoiceLimit());
    block();
    EXPECT_EQ(std::pair(pool().getActiveVoiceCount(), sounding()), std::pair(8, test::keyRange(62, 69)));
}

TEST_F(VoiceSteal, KeysFiftyMillisecondsApartSoundTheNewestEightAndTheOldestWereStolen) {
    constexpr std::int32_t kApart = kRate / 20;
    constexpr int kKeys = 20;
    for (std::int32_t start = 0; start < kKeys * kApart + kBlock; start += kBlock) {
        for (int n = 0; n < kKeys; ++n)
            if (const std::int32_t at = n * kApart; at >= start && at < start + kBlock)
                InstrumentWorld::midi(*plugin_, 0x90, 50 + n, 100, at - start);
        block();
    }
    EXPECT_EQ(sounding(), test::keyRange(62, 69));
    for (int key = 50; key < 62; ++key)
        EXPECT_EQ(pool().getKeyState(key), Choir::kKeyHeld) << key;
    // Never more than the one stolen voice fading beside the limit.
    EXPECT_EQ(pool().getVoiceCount(), 8 + 1);
}

TEST_F(VoiceSteal, TenThousandNotesInOneBlockKeepThePoolWithinTwiceItsLimit) {
    for (int i = 0; i < 10000; ++i)
        InstrumentWorld::midi(*plugin_, 0x90, 30 + i % 60, 100);
    EXPECT_LE(pool().getVoiceCount(), 2 * pool().getVoiceLimit());
    block();
    EXPECT_EQ(pool().getActiveVoiceCount(), 8);
}

// A voice of its own, stopped at three phases of its sine: what a steal does to its output.
TEST_F(VoiceSteal, AStolenVoiceFadesToSilenceWithinAFewMillisecondsWithoutAClickAndIsThenFree) {
    Note note(plugin_->getModule(0));
    note.setMidiEvent(0x90, 0, 60, 127, 0, 0, 0);
    OstrelVoice voice(plugin_->getModule(0), 0, note);
    IOPinStereo out;
    out.setSize(kBlock);
    auto render = [&] {
        out.setValidFrames(0);
        voice.render(nullptr, out);
        // What the mixer takes: the valid frames, silence after them.
        const IOChannel<float>& rendered = *out.getChannel(0);
        std::vector<float> frames(rendered.getData(), rendered.getData() + rendered.getValidFrames());
        frames.resize(kBlock, 0.0f);
        return frames;
    };
    for (const int blocksBefore : {6, 7, 8}) {
        voice.noteOn(note);
        std::vector<float> sound;
        for (int b = 0; b < blocksBefore; ++b)
            sound = render();
        float largestStep = 0.0f;
        float peak = 0.0f;
        for (std::size_t i = 1; i < sound.size(); ++i) {
            largestStep = std::max(largestStep, std::fabs(sound[i] - sound[i - 1]));
            peak = std::max(peak, std::fabs(sound[i]));
        }
        ASSERT_GT(peak, 0.05f);

        voice.noteOff(note, true);
        EXPECT_EQ(voice.getState(), Voice::kStopping);
        const std::vector<float> fade = render();
        float step = std::fabs(fade[0] - sound.back());
        for (std::size_t i = 1; i < fade.size(); ++i)
            step = std::max(step, std::fabs(fade[i] - fade[i - 1]));
        EXPECT_LE(step, largestStep) << blocksBefore;
        // The envelope's fade is 64 samples: 3 ms on, nothing is left.
        const auto after = static_cast<std::ptrdiff_t>(3 * kRate / 1000);
        EXPECT_TRUE(std::all_of(fade.begin() + after, fade.end(), [](float v) { return v == 0.0f; }))
            << blocksBefore;
        EXPECT_EQ(voice.getState(), Voice::kFree) << blocksBefore;
    }
}

} // namespace
