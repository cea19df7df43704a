// Blocks made ahead of their first use (a voice's players, the DAC ladder) draw later exactly what making
// them draws, so that making voices ahead leaves the process-wide generators' sequence, and so the sound,
// as it was when voices were made at their first note.
#include "engine/Analogics.h"
#include "engine/dsp/effects/DACLadder.h"
#include "engine/dsp/oscillators/GranularNoiseOsc.h"
#include "engine/dsp/oscillators/SampleOsc.h"
#include "framework/Random.h"
#include "support/AllocationGuard.h"
#include "support/LogCapture.h"
#include "support/PlayerTestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace trov;
using test::PlayerWorld;

namespace {

constexpr std::uint32_t kSeed = 20240611;

void seedAll() {
    seedMersenneTwister(kSeed);
    seedRandom(static_cast<std::int32_t>(kSeed));
    seedCombinedRandom(kSeed);
}

// A second player, a noise and a ladder made, then what is drawn next: whatever came first takes the
// sequence's first numbers, so any draw made twice or missed shows in every value after it.
struct Drawn {
    float playerDrift = 0.0f;
    std::vector<float> jittered;
    float noiseDrift = 0.0f;
    double grainStart = 0.0;
    double grainEnd = 0.0;
    std::vector<float> bitErrors;
    double next = 0.0;
};

TEST(DeferredRandom, PlayersNoiseAndLadderMadeAheadDrawWhatMakingThemDraws) {
    PlayerWorld world;
    Sample* sample = world.addRamp("Ramp", 4000);
    world.addRamp("Noise", 20000);
    const Module* owner = world.module.get();
    const auto play = [&](SampleOsc& player) {
        player.playHeldSample(sample, "Ramp");
        player.setJitter(3.0f);
        player.setFrequency(world.rootOf(*sample));
        return test::renderSignal(player, 256, 64);
    };

    Drawn made;
    seedAll();
    {
        SampleOsc player(owner);
        GranularNoiseOsc noise(owner, "Noise");
        DACLadder ladder(nullptr);
        ladder.setTolerance(0.004f);
        made.playerDrift = player.getDrift();
        made.noiseDrift = noise.getDrift();
        made.grainStart = noise.getGrainStart();
        made.grainEnd = noise.getGrainEnd();
        for (int bit = 0; bit < ladder.getBits(); ++bit)
            made.bitErrors.push_back(ladder.getBitError(bit));
        made.next = randomDouble() + static_cast<double>(combinedRandom()) + randomUnitLcg();
        made.jittered = play(player);
    }

    Drawn ahead;
    seedAll();
    {
        SampleOsc player(owner, Oscillator::DeferRandom{});
        GranularNoiseOsc noise(owner, "Noise", Oscillator::DeferRandom{});
        DACLadder ladder(nullptr, DACLadder::DeferDraw{});
        ladder.setTolerance(0.004f, false);
        EXPECT_EQ(ladder.getBitError(0), 0.0f);
        {
            test::AllocationGuard guard("drawing what making the blocks drew");
            player.drawRandomState();
            noise.drawRandomState();
            // A ladder made at the default tolerance and then set draws twice.
            ladder.drawErrors();
            ladder.drawErrors();
        }
        ahead.playerDrift = player.getDrift();
        ahead.noiseDrift = noise.getDrift();
        ahead.grainStart = noise.getGrainStart();
        ahead.grainEnd = noise.getGrainEnd();
        for (int bit = 0; bit < ladder.getBits(); ++bit)
            ahead.bitErrors.push_back(ladder.getBitError(bit));
        ahead.next = randomDouble() + static_cast<double>(combinedRandom()) + randomUnitLcg();
        ahead.jittered = play(player);
    }

    EXPECT_EQ(ahead.playerDrift, made.playerDrift);
    EXPECT_EQ(ahead.noiseDrift, made.noiseDrift);
    EXPECT_EQ(std::pair(ahead.grainStart, ahead.grainEnd), std::pair(made.grainStart, made.grainEnd));
    EXPECT_EQ(ahead.bitErrors, made.bitErrors);
    EXPECT_EQ(ahead.next, made.next);
    EXPECT_EQ(ahead.jittered, made.jittered);
    EXPECT_NE(made.bitErrors, std::vector<float>(made.bitErrors.size(), 0.0f));
}

// A component prepared beforehand (where allocating is allowed) is read on the audio thread without
// allocating or logging, with the value and wander the named ask gives; the line a first read owes is
// logged by the next call from another thread.
TEST(DeferredRandom, APreparedAnalogComponentReadsAsTheNamedAskDoesWithoutAllocatingOrLogging) {
    const auto askByName = [](Analogics& analogics) {
        std::vector<float> factors;
        for (int i = 0; i < 3; ++i)
            factors.push_back(analogics.getTolerance("VCF Cutoff 2", Analogics::kNegative));
        return factors;
    };
    seedCombinedRandom(kSeed);
    Analogics named(nullptr);
    const std::vector<float> expected = askByName(named);

    seedCombinedRandom(kSeed);
    const test::LogCapture log(0);
    Analogics analogics(nullptr);
    Analogics::Component& component = analogics.prepareComponent("VCF Cutoff 2");
    EXPECT_EQ(analogics.getComponentCount(), 0u); // prepared, not drawn
    std::vector<float> read;
    read.reserve(3);
    {
        test::AllocationGuard guard("reading a prepared component");
        for (int i = 0; i < 3; ++i)
            read.push_back(analogics.getTolerance(component, Analogics::kNegative));
    }
    EXPECT_EQ(read, expected);
    EXPECT_EQ(log.count("inited to"), 0);
    analogics.flushLog();
    EXPECT_EQ(log.count("component VCF Cutoff 2 tolerance inited to "), 1);
    EXPECT_EQ(analogics.getComponentCount(), 1u);

    // Recalibration forgets it in place: the prepared place draws anew.
    const float before = analogics.getTolerance(component, Analogics::kIdeal);
    analogics.clearStored();
    EXPECT_EQ(analogics.getComponentCount(), 0u);
    analogics.getTolerance(component, Analogics::kNegative);
    EXPECT_NE(analogics.getTolerance(component, Analogics::kIdeal), before);
}

} // namespace
