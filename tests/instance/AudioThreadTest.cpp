#include "support/InstanceTestSupport.h"

#include "engine/io/IOPinConfig.h"
#include "engine/modules/EngineEvent.h"
#include "framework/CPUMeter.h"
#include "plugin/MidiMapper.h"
#include "support/AllocationGuard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <iterator>
#include <thread>
#include <utility>
#include <vector>

using namespace trov;
using namespace trov::test;

namespace {

class InstanceAudioThread : public testing::Test {
protected:
    InstanceAudioThread() {
        for (int c = 0; c < outputs.getChannelCount(); ++c)
            outputs.getChannel(c)->allocate(kFrames);
        plugin->setMaxBlockSize(kFrames);
        plugin->addCpuMeter(0, &meter);
    }
    ~InstanceAudioThread() override { plugin->removeCpuMeter(0); }

    // One block as the host binding runs it.
    double block() noexcept {
        plugin->beginCpuMeter(0);
        plugin->process(inputs, outputs, kFrames);
        plugin->endCpuMeter(0);
        const ZoneManager* zones = plugin->getZoneManager(1);
        return plugin->getFrequency(60, 3.0) + (zones != nullptr ? 1.0 : 0.0) + plugin->getElapsedSeconds();
    }

    static constexpr std::int32_t kFrames = 64;
    InstanceWorld world;
    std::unique_ptr<Plugin> plugin = world.makePlugin();
    IOPinConfig inputs{2, 1};
    IOPinConfig outputs{1, 2};
    CPUMeter meter{8};
};

TEST_F(InstanceAudioThread, BlocksMetersAndLookUpsAllocateAndLogNothing) {
    double sum = 0.0;
    {
        AllocationGuard guard("a block of the instance");
        for (int i = 0; i < 200; ++i)
            sum += block();
    }
    EXPECT_GT(sum, 0.0);
    EXPECT_EQ(plugin->getFramesProcessed(), 200 * kFrames);
    EXPECT_FLOAT_EQ(outputs.getChannel(1)->getData()[kFrames - 1], 2 * NoteCountingEngine::kLevel);
}

TEST_F(InstanceAudioThread, NotesAndMappedControllersAllocateNothingOnceSchedulesAreSized) {
    plugin->getMidiMapper()->assign(7, parameterOf(*plugin, 0, "Cutoff"));
    const MidiEvent events[] = {midi(0x90, 60, 100), midi(0x80, 60, 0), midi(0xB0, 7, 90, 33),
                                midi(0xB0, 1, 64), midi(0xE0, 0, 64)};
    {
        AllocationGuard guard("MIDI events of the instance and the block start that applies them");
        for (int i = 0; i < 50; ++i) {
            for (const MidiEvent& event : events)
                plugin->midiEvent(&event);
            plugin->applyEvents();
        }
    }
    EXPECT_EQ(InstanceWorld::engineOf(*plugin, 0)->ons(60), 50);
    EXPECT_NEAR(parameterOf(*plugin, 1, "Cutoff")->getNormalized(), 90.0f / 127.0f, 1e-5);
}

// The audio thread runs blocks under the guard while MIDI, host automation, preset switches and memory
// resets arrive on other threads: none of their work may make the block allocate. The blocks go on until
// each other thread has done its share of rounds since the blocks began: 3000 blocks alone take a few
// milliseconds, which a loaded machine may well spend before the other threads run at all.
TEST_F(InstanceAudioThread, BlocksStayAllocationFreeWhileOtherThreadsChangeTheInstance) {
    plugin->getMidiMapper()->assign(7, parameterOf(*plugin, 0, "Cutoff"));
    std::atomic<bool> go{false};
    std::atomic<bool> stop{false};
    std::array<std::atomic<int>, 3> rounds{};
    const auto runRounds = [&](std::atomic<int>& done, auto round) {
        return [&done, &go, &stop, round] {
            while (!go.load())
                std::this_thread::yield();
            for (int i = 0; !stop.load(); ++i) {
                round(i);
                done.store(i + 1);
            }
        };
    };
    std::vector<std::thread> others;
    others.emplace_back(runRounds(rounds[0], [&](int i) { // MIDI
        const MidiEvent events[] = {midi(0x90, 36 + i % 60, 100), midi(0x80, 36 + i % 60, 0),
                                    midi(0xB0, 7, i % 128), midi(0xE0, i % 128, 64)};
        for (const MidiEvent& event : events)
            plugin->midiEvent(&event);
    }));
    others.emplace_back(runRounds(rounds[1], [&](int i) { // host automation
        Parameter* parameter = plugin->getAutomatableParameter(i % plugin->getAutomatableCount());
        if (parameter != nullptr && parameter->getName() != "CurrentProgram")
            parameter->setNormalized(static_cast<float>(i % 100) / 100.0f, Sender::kHost);
    }));
    others.emplace_back(runRounds(rounds[2], [&](int i) { // user interface
        plugin->selectPreset(i % 16);
        if (i % 7 == 0)
            plugin->resetMemory();
    }));
    // The user interface's share holds every preset switched to many times and 29 memory resets.
    constexpr int kRounds = 200;
    const auto othersBusy = [&] {
        return std::any_of(rounds.begin(), rounds.end(),
                           [](const std::atomic<int>& done) { return done.load() < kRounds; });
    };
    double sum = 0.0;
    int blocks = 0;
    go.store(true);
    {
        AllocationGuard guard("blocks beside MIDI, automation, preset switches and memory resets");
        for (; blocks < 3000 || othersBusy(); ++blocks)
            sum += block();
    }
    stop.store(true);
    for (std::thread& thread : others)
        thread.join();
    EXPECT_GT(sum, 0.0);
    EXPECT_EQ(plugin->getFramesProcessed(), blocks * kFrames);
}

// An instance of the world whose first module runs an engine of type E, every other module a null one;
// engine is set to that engine.
template <class E> auto makePluginWithEngine(InstanceWorld& world, E*& engine) {
    world.info.engines = InstanceTestPluginInfo::Engines::Custom;
    world.info.makeEngine = [](Module* module) -> Engine* {
        if (module->getIndex() == 0)
            return new E(module);
        return new NullEngine(module);
    };
    auto plugin = world.makePlugin();
    engine = dynamic_cast<E*>(plugin->getModule(0)->getEngine());
    return plugin;
}

// At its first note, inside a block, asks the user-interface thread for a memory reset and holds the block
// until the reset has published new programs; then it reads the zone manager of the program it had found.
class ResetMeetingEngine : public NullEngine {
public:
    using NullEngine::NullEngine;
    void handleEvent(const Note& /*note*/) noexcept override {
        if (old != nullptr)
            return;
        old = getModule()->getZoneManager();
        resetAsked.store(true);
        while (getModule()->getZoneManager() == old)
            std::this_thread::yield();
        resetEndedInBlock = resetEnded.load();
        zoneOfKey = old->findZoneForKey(60);
    }

    const ZoneManager* old = nullptr;
    std::atomic<bool> resetAsked{false};
    std::atomic<bool> resetEnded{false};
    bool resetEndedInBlock = true;
    int zoneOfKey = -2;
};

// The race forced: a block holds the programs a memory reset replaces. The block allocates nothing and
// keeps reading what it found; the reset frees it only once the block has ended.
TEST(InstanceBlockStart, ABlockThatAMemoryResetMeetsKeepsItsProgramsAndAllocatesNothing) {
    InstanceWorld world;
    ResetMeetingEngine* engine = nullptr;
    auto plugin = makePluginWithEngine(world, engine);
    ASSERT_NE(engine, nullptr);
    plugin->getZoneManager(0)->createZone(KeyRange(50, 70), "S-MET");
    std::thread userInterface([&] {
        while (!engine->resetAsked.load())
            std::this_thread::yield();
        plugin->resetMemory();
        engine->resetEnded.store(true);
    });
    const MidiEvent note = midi(0x90, 60, 100);
    plugin->midiEvent(&note);
    {
        AllocationGuard guard("a block meeting a memory reset");
        plugin->applyEvents();
    }
    userInterface.join();
    EXPECT_FALSE(engine->resetEndedInBlock);
    EXPECT_EQ(engine->zoneOfKey, 0);
    EXPECT_NE(plugin->getZoneManager(0), engine->old);
}

// Posts itself a new event each time one is applied, while its echoes last: a sender exactly as fast as
// the block start that drains the queue.
class EchoingEngine : public NullEngine {
public:
    using NullEngine::NullEngine;
    void applyEvent(const EngineEvent& /*event*/) noexcept override {
        ++applied;
        if (echoes > 0 && getModule()->postEvent(EngineEvent::own(this, applied)))
            --echoes;
    }

    int echoes = 0;
    int applied = 0;
};

TEST(InstanceBlockStart, AppliesAtMostOneQueueOfEventsSoThatASenderAsFastAsTheBlockCannotHoldIt) {
    InstanceWorld world;
    EchoingEngine* engine = nullptr;
    auto plugin = makePluginWithEngine(world, engine);
    ASSERT_NE(engine, nullptr);
    constexpr int kQueue = static_cast<int>(Plugin::kEventCapacity);
    engine->echoes = 3 * kQueue - 1;
    ASSERT_TRUE(plugin->postEvent(EngineEvent::own(engine, 0)));

    std::array<int, 4> appliedAfterBlock{};
    {
        AllocationGuard guard("block starts beside a sender as fast as they are");
        for (int& applied : appliedAfterBlock) {
            plugin->applyEvents();
            applied = engine->applied;
        }
    }
    // Each block start took one queue's worth and left the rest, nothing lost, for the next.
    EXPECT_EQ(appliedAfterBlock, (std::array<int, 4>{kQueue, 2 * kQueue, 3 * kQueue, 3 * kQueue}));
}

// At its first event it strikes and releases a key while the queue is full, so the note-on waits in the
// queue and the note-off is kept aside; it records the order the key's notes reach it.
class FloodedKeyEngine : public NullEngine {
public:
    using NullEngine::NullEngine;
    static constexpr int kKey = 61;
    void applyEvent(const EngineEvent& /*event*/) noexcept override {
        if (std::exchange(struck, true) || plugin == nullptr)
            return;
        const MidiEvent on = midi(0x90, kKey, 100);
        const MidiEvent off = midi(0x80, kKey, 0);
        plugin->midiEvent(&on);
        plugin->midiEvent(&off);
    }
    void handleEvent(const Note& note) noexcept override {
        if (note.getKey() == kKey && order < std::size(types))
            types[order++] = note.getType();
    }

    Plugin* plugin = nullptr;
    bool struck = false;
    std::array<int, 4> types{};
    std::size_t order = 0;
};

TEST(InstanceBlockStart, ANoteOffKeptByAFullQueueWaitsForTheNoteOnStillQueuedBeforeIt) {
    InstanceWorld world;
    FloodedKeyEngine* engine = nullptr;
    auto plugin = makePluginWithEngine(world, engine);
    ASSERT_NE(engine, nullptr);
    engine->plugin = plugin.get();
    // A full queue; the first event applied frees one place, which the note-on takes.
    for (std::size_t i = 0; i < Plugin::kEventCapacity; ++i)
        ASSERT_TRUE(plugin->postEvent(EngineEvent::own(engine, 0)));
    {
        AllocationGuard guard("block starts with a kept note-off");
        for (int block = 0; block < 3; ++block)
            plugin->applyEvents();
    }
    ASSERT_EQ(engine->order, 2u);
    EXPECT_EQ(engine->types[0], Note::kNoteOn);
    EXPECT_EQ(engine->types[1], Note::kNoteOff);
}

} // namespace
