#include "support/InstanceTestSupport.h"

#include "engine/io/IOPinConfig.h"
#include "engine/notes/Tuning.h"
#include "framework/CPUMeter.h"
#include "framework/Dictionary.h"
#include "plugin/MidiMapper.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

using namespace trov;
using namespace trov::test;

namespace {

// Notes and controllers on a MIDI thread, blocks on an audio thread, and on the user-interface thread
// preset switches, memory resets, bank reads, tuning changes, CPU meters coming and going and learning.
// Run under ThreadSanitizer (tools/test.sh tsan), it proves the instance's threads share nothing
// unguarded; in any build, that nothing crashes or deadlocks and every note arrives.
TEST(InstanceStress, MidiAudioAndUserInterfaceThreadsShareTheInstanceSafely) {
    InstanceWorld world;
    auto plugin = world.makePlugin();
    IOPinConfig inputs(2, 1);
    IOPinConfig outputs(1, 2);
    for (int c = 0; c < outputs.getChannelCount(); ++c)
        outputs.getChannel(c)->allocate(64);
    plugin->setMaxBlockSize(64);
    plugin->getMidiMapper()->assign(7, parameterOf(*plugin, 0, "Cutoff"));
    plugin->getPreset(4)->getProgram(1)->getZoneManager()->createZone(KeyRange(40, 80), "S-STRESS");
    Dictionary bank;
    plugin->writeState(bank, false);

    constexpr int kNotes = 4000;
    std::atomic<bool> done{false};
    std::atomic<bool> rendering{false};
    std::thread midiThread([&] {
        // A loaded machine may start this thread long before the audio thread: the notes wait for blocks.
        while (!rendering.load())
            std::this_thread::yield();
        for (int i = 0; i < kNotes; ++i) {
            const int key = 36 + i % 60;
            const MidiEvent events[] = {midi(0x90, key, 100), midi(0xB0, 7, i % 128), midi(0xB0, 1, i % 128),
                                        midi(0xE0, 0, i % 128), midi(0x80, key, 0)};
            for (const MidiEvent& event : events)
                plugin->midiEvent(&event);
        }
        done.store(true);
    });
    std::thread audioThread([&] {
        while (!done.load()) {
            plugin->beginCpuMeter(0);
            plugin->process(inputs, outputs, 64);
            plugin->endCpuMeter(0);
            plugin->getFrequency(69, 0.0);
            rendering.store(true);
        }
    });

    Tuning stretched;
    stretched.setEqualTemperament();
    stretched.setDescription("Stretched");
    for (int i = 0; !done.load(); ++i) {
        plugin->selectPreset(i % 16);
        auto meter = std::make_unique<CPUMeter>(4);
        plugin->addCpuMeter(0, meter.get());
        switch (i % 5) {
        case 0:
            plugin->resetMemory();
            break;
        case 1:
            plugin->readState(bank);
            break;
        case 2:
            plugin->addTuning(stretched);
            plugin->selectTuning(0);
            break;
        case 3:
            plugin->getMidiMapper()->learn(parameterOf(*plugin, 0, "Resonance"), "Resonance");
            break;
        default:
            plugin->swapModules(0, 1);
            break;
        }
        plugin->removeCpuMeter(0);
    }
    midiThread.join();
    audioThread.join();
    // What the last block left queued.
    plugin->applyEvents();

    int ons = 0;
    int offs = 0;
    for (int key = 0; key < 128; ++key)
        for (int m = 0; m < 2; ++m) {
            ons += InstanceWorld::engineOf(*plugin, m)->ons(key);
            offs += InstanceWorld::engineOf(*plugin, m)->offs(key);
        }
    // A full queue may drop a note-on, never a note-off.
    EXPECT_EQ(ons + 2 * static_cast<int>(plugin->getDroppedNotes()), 2 * kNotes);
    EXPECT_EQ(offs, 2 * kNotes);
    EXPECT_GT(plugin->getFramesProcessed(), 0);
}

} // namespace
