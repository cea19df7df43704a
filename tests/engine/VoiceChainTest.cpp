#include "support/VoiceChain.h"
#include "framework/Random.h"
#include "support/AllocationGuard.h"
#include "support/PlayerTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <set>

using namespace trov;
using namespace trov::test;

namespace {

// What one block of the chain left behind.
struct BlockTrace {
    double mainFrame;       // the zone player's read position after the block
    double grainStart;      // the noise player's grain
    std::size_t ampSegment; // the amplitude envelope's segment
    bool ampActive;
    bool clickActive;
    bool finite; // every output and control value
    float peak;
    float controlPeak;
};

TEST(VoiceChainTest, ANoteThroughLoopWrapGrainChangesAndSegmentEndsSoundsWithoutAllocatingOrLogging) {
    seedRandom(20240611); // the grains come from the process-wide generator
    PlayerWorld world;
    VoiceChain chain(world);
    ASSERT_NE(chain.mainPlayer().getSample(), nullptr);
    ASSERT_NE(chain.clickPlayer().getSample(), nullptr);
    ASSERT_NE(chain.noisePlayer().getSample(), nullptr);
    ASSERT_TRUE(chain.waveshaper().hasCurveA() && chain.waveshaper().hasCurveB());

    // Held for 30 blocks, released until the amplitude envelope has ended (about 36 blocks of release and
    // end segment), then a second note.
    constexpr int kReleaseAt = 30;
    constexpr int kSecondNoteAt = 70;
    constexpr int kBlocks = 76;
    std::array<BlockTrace, kBlocks> trace{};
    {
        AllocationGuard guard("the voice chain's notes and blocks");
        for (int b = 0; b < kBlocks; ++b) {
            if (b == 0) {
                chain.noteOn(0);
                // A few blocks before the loop's end, so that it wraps while the note is held.
                chain.mainPlayer().setPosition(VoiceChain::kLoopEnd - 700);
            } else if (b == kReleaseAt) {
                chain.noteOff();
            } else if (b == kSecondNoteAt) {
                chain.noteOn(7);
            }
            const IOChannel<float>& out = chain.renderBlock();
            const IOChannel<float>& control = chain.filterControl();
            BlockTrace& t = trace[static_cast<std::size_t>(b)];
            t.finite = out.getValidFrames() == VoiceChain::kBlock;
            t.peak = 0.0f;
            t.controlPeak = 0.0f;
            for (std::int32_t i = 0; i < VoiceChain::kBlock; ++i) {
                const float x = out.getData()[i];
                const float c = control.getData()[i];
                t.finite = t.finite && std::isfinite(x) && std::isfinite(c) && c >= 0.0f && c <= 1.0f;
                t.peak = std::max(t.peak, std::fabs(x));
                t.controlPeak = std::max(t.controlPeak, c);
            }
            t.mainFrame = chain.mainPlayer().getPosition() * chain.mainPlayer().getFramesPerTick();
            t.grainStart = chain.noisePlayer().getGrainStart();
            t.ampSegment = chain.ampEnvelope().getPosition();
            t.ampActive = chain.ampEnvelope().isActive();
            t.clickActive = chain.clickPlayer().isActive();
        }
    }

    for (int b = 0; b < kBlocks; ++b) {
        const BlockTrace& t = trace[static_cast<std::size_t>(b)];
        EXPECT_TRUE(t.finite) << "block " << b;
        if (b < kReleaseAt || b >= kSecondNoteAt) {
            EXPECT_GT(t.peak, 0.05f) << "block " << b;
            EXPECT_GT(t.controlPeak, 0.05f) << "block " << b;
        }
    }

    // The held note's read position went back once, into the loop, and stayed inside it.
    int wraps = 0;
    for (int b = 1; b < kReleaseAt; ++b) {
        const BlockTrace& t = trace[static_cast<std::size_t>(b)];
        wraps += t.mainFrame < trace[static_cast<std::size_t>(b - 1)].mainFrame;
        EXPECT_LE(t.mainFrame, VoiceChain::kLoopEnd) << "block " << b;
    }
    EXPECT_EQ(wraps, 1);
    EXPECT_GE(trace[kReleaseAt - 1].mainFrame, VoiceChain::kLoopStart);

    // Grains of at most 4410 frames: several changes over 76 blocks.
    std::set<double> grains;
    for (const BlockTrace& t : trace)
        grains.insert(t.grainStart);
    EXPECT_GE(grains.size(), 4u);

    // The amplitude envelope went through every segment and past its end, then started again.
    std::set<std::size_t> segments;
    for (int b = 0; b < kSecondNoteAt; ++b)
        segments.insert(trace[static_cast<std::size_t>(b)].ampSegment);
    const std::size_t count = chain.ampEnvelope().getSegments().size();
    EXPECT_EQ(segments.size(), count + 1);
    EXPECT_FALSE(trace[kSecondNoteAt - 1].ampActive);
    EXPECT_TRUE(trace[kSecondNoteAt].ampActive);

    // The click sounded at each note start and ended within a few blocks.
    EXPECT_TRUE(trace[0].clickActive);
    EXPECT_FALSE(trace[kReleaseAt].clickActive);
    EXPECT_TRUE(trace[kSecondNoteAt].clickActive);
}

} // namespace
