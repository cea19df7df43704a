#include "support/AllocationGuard.h"
#include "support/HostTestSupport.h"

#include "host/RTASParameter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

using namespace trov;
using namespace trov::test;

namespace {

constexpr int kMaxBlock = 512;

// Two host channels of input and output.
struct Buffers {
    explicit Buffers(float fill = 0.0f)
        : in(2, std::vector<float>(kMaxBlock, fill)), out(2, std::vector<float>(kMaxBlock, 9.0f)) {
        inputs[0] = in[0].data();
        inputs[1] = in[1].data();
        outputs[0] = out[0].data();
        outputs[1] = out[1].data();
    }
    float peak(int channel, int frames) const {
        float peak = 0.0f;
        for (int i = 0; i < frames; ++i)
            peak = std::max(peak,
                            std::fabs(out[static_cast<std::size_t>(channel)][static_cast<std::size_t>(i)]));
        return peak;
    }
    std::vector<std::vector<float>> in;
    std::vector<std::vector<float>> out;
    float* inputs[2];
    float* outputs[2];
};

class RenderTest : public HostTest {};

TEST_F(RenderTest, OutputsAreClearedBeforeProcessingUnlessTheyAreTheInputs) {
    RTASProcess* process = makeProcess(0, kMaxBlock);
    ASSERT_NE(process, nullptr);
    Buffers buffers(0.5f);
    process->renderAudio(buffers.inputs, buffers.outputs, 64);
    EXPECT_EQ(buffers.peak(0, 64), 0.0f); // cleared, and no note plays
    EXPECT_EQ(buffers.out[0][64], 9.0f);  // nothing beyond the block
    // In place: the engine writes over its inputs itself; they are not cleared first.
    std::vector<float> shared(kMaxBlock, 0.5f);
    float* same[2] = {shared.data(), buffers.in[1].data()};
    float* outs[2] = {shared.data(), buffers.out[1].data()};
    process->renderAudio(same, outs, 64);
    EXPECT_EQ(process->getBoundInputs(), 2);
    EXPECT_EQ(process->getBoundOutputs(), 2);
}

TEST_F(RenderTest, ANoteThroughTheMidiNodePlaysItsToneFromTheNextBlock) {
    RTASProcess* process = makeProcess(0, kMaxBlock);
    ASSERT_NE(process, nullptr);
    ASSERT_TRUE(process->hasMidiInput());
    Buffers buffers;
    process->deliverMidi(0x90, 69, 127);
    process->renderAudio(buffers.inputs, buffers.outputs, 100);
    EXPECT_NEAR(buffers.out[0][0], 0.25f, 1e-6f); // a cosine starts at its amplitude
    EXPECT_NEAR(buffers.out[1][0], 0.25f, 1e-6f);
    // 440 Hz at 44100 Hz: back near the top after about 100.2 frames.
    EXPECT_NEAR(buffers.out[0][50], -0.25f, 0.01f);
    process->deliverMidi(0x80, 69, 0);
    process->renderAudio(buffers.inputs, buffers.outputs, 100);
    EXPECT_EQ(buffers.peak(0, 100), 0.0f);
}

TEST_F(RenderTest, WithoutMidiInputTheNodeIsNotMadeAndNotesGoNowhere) {
    hostproduct::product()->midiInput = false;
    RTASProcess* process = makeProcess(0, kMaxBlock);
    ASSERT_NE(process, nullptr);
    EXPECT_FALSE(process->hasMidiInput());
    Buffers buffers;
    process->deliverMidi(0x90, 60, 100);
    process->renderAudio(buffers.inputs, buffers.outputs, 64);
    EXPECT_EQ(buffers.peak(0, 64), 0.0f);
    // Without a time source the host interface still answers.
    EXPECT_EQ(process->getTempo(), 120.0);
    EXPECT_EQ(process->getSongPosition(), 0.0);
}

TEST_F(RenderTest, TempoAndPositionComeFromTheHostsTimeSource) {
    RTASProcess* process = makeProcess();
    ASSERT_NE(process, nullptr);
    EXPECT_EQ(process->getTempo(), 96.0);
    EXPECT_EQ(process->getSongPosition(), 123456789012.0);
    host.tempo = 140.5;
    EXPECT_EQ(process->getTempo(), 140.5);
}

TEST_F(RenderTest, TheRenderEntryAllocatesNothingOverOddBlockSizes) {
    RTASProcess* process = makeProcess(0, kMaxBlock);
    ASSERT_NE(process, nullptr);
    Buffers buffers;
    process->deliverMidi(0x90, 60, 100);
    process->renderAudio(buffers.inputs, buffers.outputs, 32); // first binding of every channel
    std::uint64_t allocations = 0;
    std::uint64_t logs = 0;
    {
        AllocationGuard guard("the render entry");
        for (const int frames : {1, 7, 31, 64, 129, 333, 511, 512, 600, 0, -3})
            process->renderAudio(buffers.inputs, buffers.outputs, frames);
        process->deliverMidi(0x80, 60, 0);
        allocations = guard.allocations();
        logs = guard.logRequests();
    }
    EXPECT_EQ(allocations, 0u);
    EXPECT_EQ(logs, 0u);
}

TEST_F(RenderTest, EightOutputsBindOnlyTheHostsChannelsAndSparesStaySilentOnTheHostsSide) {
    RTASProcess* process = makeProcess(0, kMaxBlock);
    ASSERT_NE(process, nullptr);
    process->setIOConfig(hostproduct::eightOutputs());
    EXPECT_EQ(process->getBoundOutputs(), 2);
    EXPECT_EQ(process->getBoundInputs(), 2);
    Buffers buffers;
    process->deliverMidi(0x90, 69, 127);
    std::uint64_t allocations = 0;
    float first = 0.0f;
    {
        AllocationGuard guard("the render entry with spare outputs");
        process->renderAudio(buffers.inputs, buffers.outputs, 17);
        first = buffers.out[0][0];
        for (const int frames : {512, 3})
            process->renderAudio(buffers.inputs, buffers.outputs, frames);
        allocations = guard.allocations();
    }
    EXPECT_EQ(allocations, 0u);
    EXPECT_NEAR(first, 0.25f, 1e-6f);
    process->setIOConfig(hostproduct::stereo());
    EXPECT_EQ(process->getBoundOutputs(), 2);
}

TEST_F(RenderTest, AConfigurationSwitchDuringRenderingIsTakenAtABlockStart) {
    RTASProcess* process = makeProcess(0, kMaxBlock);
    ASSERT_NE(process, nullptr);
    std::atomic<bool> stop{false};
    std::atomic<int> blocks{0};
    std::thread audio([&] {
        Buffers buffers;
        int frames = 1;
        while (!stop.load()) {
            process->renderAudio(buffers.inputs, buffers.outputs, frames);
            frames = frames * 7 % 509 + 1;
            blocks.fetch_add(1);
        }
    });
    std::thread midi([&] {
        for (int i = 0; i < 400 && !stop.load(); ++i)
            process->deliverMidi(static_cast<std::uint8_t>(i % 2 == 0 ? 0x90 : 0x80), 60 + i % 12, 100);
    });
    for (int i = 0; i < 60; ++i) {
        // Through the product's own parameter, as the user interface switches it, and directly.
        process->setControlValue(3, RTASParameter::fixed(i % 2 == 0 ? 1.0f : 0.0f));
        process->setIOConfig(i % 3 == 0 ? hostproduct::eightOutputs() : hostproduct::stereo());
        process->setControlValue(1, RTASParameter::fixed(static_cast<float>(i % 10) / 10.0f));
    }
    midi.join();
    while (blocks.load() < 100)
        std::this_thread::yield();
    stop.store(true);
    audio.join();
    EXPECT_LE(process->getBoundOutputs(), 2);
}

} // namespace
