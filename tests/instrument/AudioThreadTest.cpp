// Everything the audio thread runs for the instrument's events: notes that take a voice made ahead, reuse a
// free one and steal a sounding one, note-offs, controllers, the pitch wheel and automation of every
// parameter the voices, their filters and the LFO follow, whether delivered on the audio thread between
// blocks or by other threads, which only queue them for the next block's start.
#include "engine/io/IOPinConfig.h"
#include "instrument/voice/OstrelVoice.h"
#include "instrument/voice/VoiceChange.h"
#include "plugin/MidiMapper.h"
#include "plugin/Parameter.h"
#include "support/AllocationGuard.h"
#include "support/VoiceTestSupport.h"

#include <gtest/gtest.h>

#include <thread>

using namespace trov;
using test::InstrumentWorld;

namespace {

constexpr std::int32_t kBlock = 256;

class InstrumentAudioThread : public testing::Test {
protected:
    InstrumentAudioThread() {
        world_.addSine("Tone", 261.6255653, 4 * 44100, 60);
        for (int module = 0; module < 2; ++module)
            InstrumentWorld::addZone(*plugin_, module, 0, 127, "Tone");
        plugin_->applyEvents(); // what setting up queued
    }

    ChoirDynamic& pool() const { return InstrumentWorld::engineOf(*plugin_, 0)->getVoicePool(); }
    Settings& settings() const { return InstrumentWorld::settingsOf(*plugin_, 0); }
    // Delivered between blocks on the audio thread, as the host program does; applied at the block's start.
    void send(int status, int data1, int data2) {
        MidiEvent event;
        event.status = static_cast<std::uint8_t>(status);
        event.data1 = static_cast<std::uint8_t>(data1);
        event.data2 = static_cast<std::uint8_t>(data2);
        plugin_->midiEvent(&event);
    }
    void block() { plugin_->process(inputs_, outputs_, kBlock); }
    OstrelVoice* voiceOn(int key) const {
        for (int i = 0; Voice* voice = pool().getVoice(i); ++i)
            if (voice->getNote().getKey() == key && voice->getState() == Voice::kPlaying)
                return dynamic_cast<OstrelVoice*>(voice);
        return nullptr;
    }

    InstrumentWorld world_{TROV_BUILD_DATA};
    std::unique_ptr<test::ToleranceInstrument> plugin_ = world_.makeInstrument(kBlock);
    IOPinConfig inputs_ = test::makePins(1, 1, kBlock);
    IOPinConfig outputs_ = test::makePins(2, 1, kBlock);
};

TEST_F(InstrumentAudioThread, NotesThatTakeAVoiceMadeAheadStealOneOrReuseAFreeOneAllocateNothing) {
    pool().setVoiceLimit(1);
    const int made = pool().getMadeVoiceCount();
    Voice* first = nullptr;
    Voice* second = nullptr;
    Voice* third = nullptr;
    {
        test::AllocationGuard guard("note-ons and note-offs on the audio thread, and their blocks");
        send(0x90, 60, 100); // a voice made ahead starts: its first note
        block();
        first = pool().getVoice(0);
        send(0x90, 62, 100); // at the limit: steals 60's voice, which fades, and takes another
        block();
        second = pool().getVoice(1);
        block();             // the stolen voice's fade has ended: it is free
        send(0x90, 64, 100); // steals 62's and reuses the free first voice
        block();
        third = voiceOn(64);
        for (int key : {60, 62, 64}) // the stolen keys are still held
            send(0x80, key, 0);
        block();
    }
    EXPECT_NE(first, nullptr);
    EXPECT_NE(second, first);
    EXPECT_EQ(third, first);
    EXPECT_EQ(pool().getVoiceCount(), 2);
    EXPECT_EQ(pool().getMadeVoiceCount(), made);
    EXPECT_EQ(pool().getKeyState(64), Choir::kKeyUp);
    EXPECT_EQ(first->getState(), Voice::kReleasing);
}

TEST_F(InstrumentAudioThread, ControllersTheWheelAndAutomationReachSoundingVoicesWithoutAllocating) {
    plugin_->getMidiMapper()->assign(7, settings().getParameter("VCFCutoff"));
    send(0x90, 60, 100);
    block();
    OstrelVoice* voice = voiceOn(60);
    ASSERT_NE(voice, nullptr);
    const float pitch = voice->getPlayer(0).getFrequency();
    // Every parameter the voices and the LFO follow, as host automation moves it between blocks.
    std::vector<Parameter*> followed;
    for (const char* name : kFollowedNames)
        if (Parameter* parameter = settings().getParameter(name))
            followed.push_back(parameter);
    ASSERT_EQ(followed.size(), kFollowedNames.size());
    {
        test::AllocationGuard guard("controllers, the wheel and automation, and the blocks that apply them");
        for (int round = 0; round < 3; ++round) {
            for (Parameter* parameter : followed)
                parameter->setNormalized(0.25f * static_cast<float>(round + 1), Sender::kHost);
            send(0xB0, 1, 64);           // the modulation wheel
            send(0xD0, 90, 0);           // channel pressure
            send(0xE0, 0, 0x50);         // the wheel up
            send(0xB0, 7, 127 * 3 / 10); // the mapped cutoff
            block();
        }
    }
    // The last changes stand: the mapped controller after the automation, the wheel above its centre.
    EXPECT_NEAR(voice->getVCFCutoff(), 0.3f, 0.01f);
    EXPECT_GT(voice->getPlayer(0).getFrequency(), pitch);
}

TEST_F(InstrumentAudioThread, OtherThreadsOnlyQueueAndTheBlockAppliesTheirEventsInArrivalOrder) {
    std::thread midi([&] {
        send(0x90, 60, 100);
        send(0x80, 60, 0);
        send(0x90, 60, 100); // sounds
        send(0x90, 61, 100);
        send(0x90, 61, 100);
        send(0x80, 61, 0); // released
        settings().setFloat("VCFCutoff", 0.3f, Sender::kHost);
    });
    midi.join();
    // The parameter holds its value at once; the voices have heard of nothing yet.
    EXPECT_FLOAT_EQ(settings().getFloat("VCFCutoff"), 0.3f);
    EXPECT_EQ(pool().getVoiceCount(), 0);
    {
        test::AllocationGuard guard("the block that applies other threads' events");
        block();
    }
    EXPECT_EQ(std::pair(pool().getKeyState(60), pool().getKeyState(61)),
              std::pair(Choir::kKeySounding, Choir::kKeyUp));
    ASSERT_NE(voiceOn(60), nullptr);
    EXPECT_FLOAT_EQ(voiceOn(60)->getVCFCutoff(), 0.3f);
}

TEST_F(InstrumentAudioThread, AFullQueueDropsNoteOnsButNeverANoteOffAndKeepsEachParametersNewestChange) {
    send(0x90, 60, 100);
    block();
    constexpr int kFlood = 5000;
    for (int i = 0; i < kFlood; ++i)
        send(0x90, 70, 100);
    const std::uint32_t dropped = plugin_->getDroppedNotes();
    EXPECT_GT(dropped, 0u);
    EXPECT_LT(dropped, static_cast<std::uint32_t>(kFlood));
    send(0x80, 60, 0);
    for (const float cutoff : {0.1f, 0.2f, 0.35f})
        settings().setFloat("VCFCutoff", cutoff, Sender::kHost);
    {
        test::AllocationGuard guard("the block after a flood");
        block();
    }
    EXPECT_EQ(pool().getKeyState(60), Choir::kKeyUp);
    ASSERT_NE(voiceOn(70), nullptr);
    EXPECT_FLOAT_EQ(voiceOn(70)->getVCFCutoff(), 0.35f);
}

// Every parameter of the instrument, set by the host and by a mapped controller on the audio thread with a
// note sounding: names longer than the small-string buffer included, nothing is copied or looked up in a
// document there.
TEST_F(InstrumentAudioThread, EveryParameterAutomatedOrMappedToAControllerOnTheAudioThreadAllocatesNothing) {
    send(0x90, 60, 100);
    block();
    for (int module = 0; module < 2; ++module) {
        const Settings& each = InstrumentWorld::settingsOf(*plugin_, module);
        for (int i = 0; i < each.getParameterCount(); ++i) {
            Parameter* parameter = each.getParameterAt(i);
            const std::string name = parameter->getName();
            plugin_->getMidiMapper()->assign(20, parameter);
            test::AllocationGuard guard(name.c_str());
            parameter->setNormalized(0.3f, Sender::kHost);
            block();
            send(0xB0, 20, 50);
            block();
        }
    }
}

} // namespace
