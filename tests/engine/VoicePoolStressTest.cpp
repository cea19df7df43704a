#include "engine/io/IOPinStereo.h"
#include "engine/modules/EngineSynth.h"
#include "engine/modules/Module.h"
#include "engine/notes/Note.h"
#include "engine/voices/ChoirDynamic.h"
#include "support/EngineTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace trov {
namespace {

// Notes on one thread, render walks on another, resets, limit and rule changes and collections on a third,
// with voices that borrow the module's buffers where they are made and give them back where they are let
// go. Run under ThreadSanitizer it proves the pool's locking; in every build it proves that nothing leaks
// and no buffer is lost.
TEST(VoicePoolStress, NotesRenderingAndResetsOnThreeThreadsLeaveNothingBehind) {
    test::ScopedEngineDescriptor descriptor;
    descriptor.info.voiceKind = test::VoiceKind::Rendering;
    test::ModulePtr module = descriptor.makeModule();
    auto* engine = dynamic_cast<EngineSynth*>(module->getEngine());
    ASSERT_NE(engine, nullptr);
    engine->setBlockSize(64);
    ChoirDynamic& pool = engine->getVoicePool();

    std::atomic<bool> notesDone{false};
    std::atomic<int> walks{0}, controls{0}, rendered{0};
    std::thread notes([&] {
        unsigned state = 12345;
        for (int i = 0; i < 20000; ++i) {
            state = state * 1103515245u + 12345u;
            const int key = 48 + static_cast<int>((state >> 16) % 24);
            const int type = (state >> 8) % 3 == 0 ? Note::kNoteOff : Note::kNoteOn;
            const int slot = (state >> 4) % 7 == 0 ? static_cast<int>((state >> 20) % 4) : Note::kAnySlot;
            engine->handleEvent(test::makeNote(module.get(), type, key, slot));
        }
        // On a loaded machine the render walks may all have come before the first note or after the
        // last reset: notes go on until one voice has been heard beside them.
        while (rendered.load(std::memory_order_relaxed) == 0) {
            engine->handleEvent(test::makeNote(module.get(), Note::kNoteOn, 60, Note::kAnySlot));
            std::this_thread::yield();
        }
        notesDone = true;
    });
    std::thread audio([&] {
        IOPinStereo mix;
        mix.setSize(64);
        do {
            mix.getChannel(0)->clear();
            mix.getChannel(1)->clear();
            pool.forEachVoice([&](Voice& voice) {
                IOPinStereo& output = engine->getOutput();
                output.setValidFrames(0);
                if (voice.render(nullptr, output)) {
                    engine->getMixer().mixPin(mix, output, 0.5f, 0.5f);
                    rendered.fetch_add(1, std::memory_order_relaxed);
                }
            });
            walks.fetch_add(1, std::memory_order_relaxed);
        } while (!notesDone || walks < 100);
    });
    std::thread control([&] {
        std::vector<Voice*> held;
        int round = 0;
        do {
            pool.setVoiceLimit(1 + round % 8);
            pool.setHandOver(round % 5);
            if (round % 7 == 0)
                engine->reset();
            if (round % 3 == 0) {
                pool.collectActiveVoices(held);
                EXPECT_LE(pool.getActiveVoiceCount(), 8);
                pool.releaseVoices(held);
            }
            ++round;
            controls.fetch_add(1, std::memory_order_relaxed);
            std::this_thread::yield();
        } while (!notesDone || controls < 100);
    });
    notes.join();
    audio.join();
    control.join();

    EXPECT_GT(rendered.load(), 0);
    engine->reset();
    // Only the voices made ahead for the next notes are left, none playing.
    EXPECT_EQ(
        std::tuple(pool.getVoiceCount(), engine->getActiveVoiceCount(), descriptor.info.liveVoices.load()),
        std::tuple(0, 0, pool.getMadeVoiceCount()));
    // Every other borrowed buffer came back: the rest of the pool can be lent again without growing.
    std::vector<IOChannel<float>*> lent;
    lent.reserve(Module::kTempBufferCount);
    for (int i = pool.getMadeVoiceCount(); i < module->getTempBufferCount(); ++i)
        lent.push_back(module->getTempBuffer());
    EXPECT_EQ(module->getTempBufferCount(), Module::kTempBufferCount);
    for (IOChannel<float>* channel : lent)
        module->releaseTempBuffer(channel);
}

} // namespace
} // namespace trov
