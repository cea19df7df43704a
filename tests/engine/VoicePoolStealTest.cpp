#include "engine/io/IOPinStereo.h"
#include "engine/modules/EngineSynth.h"
#include "engine/notes/Note.h"
#include "engine/voices/ChoirDynamic.h"
#include "engine/voices/Voice.h"
#include "support/AllocationGuard.h"
#include "support/EngineTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace trov {
namespace {

using test::FadingVoice;
using test::makeNote;

constexpr std::int32_t kBlock = 64; // one block holds a whole stop fade

// A synthesiser engine whose voices fade out when stopped at once, as the instrument's do.
class VoicePoolSteal : public testing::Test {
protected:
    VoicePoolSteal() {
        descriptor_.info.voiceKind = test::VoiceKind::Fading;
        module_ = descriptor_.makeModule();
        engine_ = dynamic_cast<EngineSynth*>(module_->getEngine());
        engine_->setBlockSize(kBlock);
        pool_ = &engine_->getVoicePool();
    }

    void on(int key) { engine_->handleEvent(on_[key & 127]); }
    void off(int key) { engine_->handleEvent(makeNote(module_.get(), Note::kNoteOff, key)); }
    // The render walk of one block; the last frame of all voices summed.
    float block() {
        float last = 0.0f;
        pool_->forEachVoice([&](Voice& voice) {
            IOPinStereo& output = engine_->getOutput();
            output.setValidFrames(0);
            if (voice.render(nullptr, output) && output.getChannel(0)->getValidFrames() == kBlock)
                last += output.getChannel(0)->getData()[kBlock - 1];
        });
        return last;
    }
    std::vector<int> sounding() const { return test::soundingKeys(*pool_); }
    int inState(std::int32_t state) const {
        int count = 0;
        for (int i = 0; Voice* voice = pool_->getVoice(i); ++i)
            count += voice->getState() == state ? 1 : 0;
        return count;
    }

    test::ScopedEngineDescriptor descriptor_;
    test::ModulePtr module_;
    EngineSynth* engine_ = nullptr;
    ChoirDynamic* pool_ = nullptr;
    std::vector<Note> on_ = [] {
        std::vector<Note> notes;
        for (int key = 0; key < 128; ++key)
            notes.push_back(makeNote(nullptr, Note::kNoteOn, key));
        return notes;
    }();
};

TEST_F(VoicePoolSteal, TwentyKeysInOneBlockSoundTheNewestEightAndTheOthersAreFreeAfterTheFade) {
    for (int key = 50; key < 70; ++key)
        on(key);
    EXPECT_EQ(sounding(), test::keyRange(62, 69));
    EXPECT_LE(pool_->getVoiceCount(), 2 * 8);
    EXPECT_EQ(inState(Voice::kStopping), pool_->getVoiceCount() - 8);

    block();
    EXPECT_EQ(std::pair(pool_->getActiveVoiceCount(), sounding()), std::pair(8, test::keyRange(62, 69)));
    for (int key = 50; key < 70; ++key)
        EXPECT_EQ(pool_->getKeyState(key), key < 62 ? Choir::kKeyHeld : Choir::kKeySounding) << key;
    EXPECT_FLOAT_EQ(block(), 8 * FadingVoice::kLevel);
}

TEST_F(VoicePoolSteal, NotesABlockApartStealTheOldestNoteWithOneVoiceFadingAtATime) {
    for (int key = 50; key < 70; ++key) {
        on(key);
        for (int b = 0; b < 35; ++b) // 50 ms at 44.1 kHz
            block();
    }
    EXPECT_EQ(sounding(), test::keyRange(62, 69));
    EXPECT_EQ(pool_->getVoiceCount(), 8 + 1);
    EXPECT_EQ(inState(Voice::kFree), 1);
}

struct Storm {
    const char* behaviour;
    bool reuse;
    int limit;
    bool release; // each note released right after it starts
};

void PrintTo(const Storm& storm, std::ostream* out) {
    *out << storm.behaviour;
}

const Storm kStorms[] = {
    {"notes held, limit 8", true, 8, false},
    {"notes held, limit 1", true, 1, false},
    {"notes released at once, limit 8", true, 8, true},
    {"without reuse, notes released at once, limit 8", false, 8, true},
    {"without reuse, notes held, limit 8", false, 8, false},
};

class VoicePoolStorm : public VoicePoolSteal, public testing::WithParamInterface<Storm> {};

TEST_P(VoicePoolStorm, TenThousandNotesInOneBlockNeverMakeMoreThanTwiceTheLimitOfVoices) {
    const Storm& storm = GetParam();
    pool_->setReuse(storm.reuse);
    pool_->setVoiceLimit(storm.limit);
    const int made = descriptor_.info.voicesMade.load();
    constexpr int kNotes = 10000;
    for (int i = 0; i < kNotes; ++i) {
        on(i % 128);
        if (storm.release)
            off(i % 128);
    }
    // Every voice was made ahead; the notes play no more than twice the limit of them.
    EXPECT_EQ(descriptor_.info.voicesMade.load(), made);
    EXPECT_LE(pool_->getVoiceCount(), 2 * storm.limit);
    block();
    if (storm.reuse && !storm.release) {
        // The newest notes sound: the last `limit` keys played.
        std::vector<int> newest;
        for (int i = kNotes - storm.limit; i < kNotes; ++i)
            newest.push_back(i % 128);
        std::sort(newest.begin(), newest.end());
        EXPECT_EQ(sounding(), newest);
    }
    EXPECT_LE(pool_->getActiveVoiceCount(), storm.limit);
}

INSTANTIATE_TEST_SUITE_P(Storms, VoicePoolStorm, testing::ValuesIn(kStorms));

TEST_F(VoicePoolSteal, AVoiceFadingOutOfAStealIsNeitherStolenAgainNorHandedToAHeldKey) {
    pool_->setVoiceLimit(2);
    on(50);
    on(51);
    on(60); // 50 fades out and is held
    on(70); // steals 51, not the fading 50
    EXPECT_EQ(std::tuple(sounding(), inState(Voice::kStopping)), std::tuple(std::vector{60, 70}, 2));
    off(51); // 51's fading voice is not handed to the held 50
    EXPECT_EQ(pool_->getKeyState(50), Choir::kKeyHeld);
    off(70); // the sounding voice is
    EXPECT_EQ(std::pair(sounding(), pool_->getKeyState(50)),
              std::pair(std::vector{50, 60}, Choir::kKeySounding));
}

// With the pool at its bound and voices fading, notes that steal (reusing the voice furthest into its
// fade, then free ones), restart a key or hand a voice over, and the render walk, run on the audio
// thread's terms.
TEST_F(VoicePoolSteal, AtItsBoundStealingNotesAndTheRenderWalkAllocateNothing) {
    for (int key = 40; key < 56; ++key)
        on(key);
    ASSERT_EQ(pool_->getVoiceCount(), 16);
    const Note handing = makeNote(module_.get(), Note::kNoteOff, 72);
    float level = 0.0f;
    {
        test::AllocationGuard guard("stealing notes and the render walk at the bound");
        for (int round = 0; round < 4; ++round) {
            on(72);
            on(72);
            engine_->handleEvent(handing);
            on(60 + round);
            level = block();
        }
    }
    EXPECT_EQ(std::pair(pool_->getVoiceCount(), descriptor_.info.voicesMade.load()), std::pair(16, 16));
    EXPECT_FLOAT_EQ(level, 8 * FadingVoice::kLevel);
}

} // namespace
} // namespace trov
