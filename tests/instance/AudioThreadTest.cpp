#include "support/InstanceTestSupport.h"

#include "engine/io/IOPinConfig.h"
#include "engine/modules/EngineEvent.h"
#include "framework/CPUMeter.h"
#include "plugin/MidiMapper.h"
#include "support/AllocationGuard.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <thread>
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

// The audio thread runs blocks under the guard while MIDI, host automation and preset switches arrive on
// other threads: none of their work may make the block allocate.
TEST_F(InstanceAudioThread, BlocksStayAllocationFreeWhileOtherThreadsChangeTheInstance) {
    plugin->getMidiMapper()->assign(7, parameterOf(*plugin, 0, "Cutoff"));
    std::atomic<bool> stop{false};
    std::atomic<int> started{0};
    std::vector<std::thread> others;
    others.emplace_back([&] { // MIDI
        started.fetch_add(1);
        for (int i = 0; !stop.load(); ++i) {
            const MidiEvent events[] = {midi(0x90, 36 + i % 60, 100), midi(0x80, 36 + i % 60, 0),
                                        midi(0xB0, 7, i % 128), midi(0xE0, i % 128, 64)};
            for (const MidiEvent& event : events)
                plugin->midiEvent(&event);
        }
    });
    others.emplace_back([&] { // host automation
        started.fetch_add(1);
        for (int i = 0; !stop.load(); ++i) {
            Parameter* parameter = plugin->getAutomatableParameter(i % plugin->getAutomatableCount());
            if (parameter != nullptr && parameter->getName() != "CurrentProgram")
                parameter->setNormalized(static_cast<float>(i % 100) / 100.0f, Sender::kHost);
        }
    });
    others.emplace_back([&] { // user interface
        started.fetch_add(1);
        for (int i = 0; !stop.load(); ++i) {
            plugin->selectPreset(i % 16);
            if (i % 7 == 0)
                plugin->resetMemory();
        }
    });
    while (started.load() < 3)
        std::this_thread::yield();
    double sum = 0.0;
    {
        AllocationGuard guard("blocks beside MIDI, automation and preset switches");
        for (int i = 0; i < 3000; ++i)
            sum += block();
    }
    stop.store(true);
    for (std::thread& thread : others)
        thread.join();
    EXPECT_GT(sum, 0.0);
    EXPECT_EQ(plugin->getFramesProcessed(), 3000 * kFrames);
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
    world.info.engines = InstanceTestPluginInfo::Engines::Custom;
    world.info.makeEngine = [](Module* module) { return new EchoingEngine(module); };
    auto plugin = world.makePlugin();
    auto* engine = dynamic_cast<EchoingEngine*>(plugin->getModule(0)->getEngine());
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

} // namespace
