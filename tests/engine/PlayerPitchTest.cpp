// The players hear a sample's root in their module's tuning at the reference pitch: the root key's note
// plays the sample as recorded in any scale, and a master pitch moves every key by the same interval.
#include "engine/dsp/oscillators/GranularNoiseOsc.h"
#include "engine/dsp/oscillators/SampleOsc.h"
#include "engine/notes/Note.h"
#include "engine/notes/Tuning.h"
#include "framework/Random.h"
#include "support/AllocationGuard.h"
#include "support/MeasuredPitch.h"
#include "support/PlayerTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace trov::test {
namespace {

constexpr double kTone = 261.6255653; // the sine as recorded, at 44.1 kHz
constexpr int kRoot = 60;
constexpr int kRate = 44100;

double centsBetween(double measured, double expected) {
    return 1200.0 * std::log2(measured / expected);
}

class PlayerPitchTest : public testing::Test {
protected:
    PlayerPitchTest() {
        std::vector<float> sine(2 * kRate);
        for (std::size_t i = 0; i < sine.size(); ++i)
            sine[i] = 0.5f * static_cast<float>(
                                 std::sin(2.0 * std::numbers::pi * kTone * static_cast<double>(i) / kRate));
        world_.add("Tone", sine, kRate, kRoot);
        world_.addRamp("Ramp", 20000, kRate, kRoot);
    }

    // The module plays `steps` equal steps to the octave with key 57 at its master pitch, `pitch`.
    void tune(double steps, double pitch) {
        world_.descriptor.info.services.pitchKey = Tuning::kReferenceKey;
        world_.descriptor.info.services.steps = steps;
        world_.descriptor.info.services.pitch = pitch;
    }
    // The frequency of the key as a voice gives it to its player: a note of the module.
    float noteFrequency(int key) const {
        Note note(world_.module.get());
        note.setKey(key);
        return note.computeFrequency();
    }
    // The key's steps from the root at the master pitch, in cents.
    static double expectedCents(int key, double steps, double pitch) {
        return 1200.0 * ((key - kRoot) / steps + std::log2(pitch / 440.0));
    }

    PlayerWorld world_;
};

TEST_F(PlayerPitchTest, TheSamplePlayersRootKeySoundsAsRecordedInAnyScaleAndAMasterPitchMovesEveryKey) {
    for (const double steps : {12.0, 19.0})
        for (const double pitch : {440.0, 466.0}) {
            tune(steps, pitch);
            for (const int key : {kRoot, 57, 63, 79}) {
                SampleOsc osc(world_.module.get(), "Tone");
                osc.setDriftDepth(0.0f);
                // A fine clock, so that rounding the position to a tick does not blur the crossings.
                osc.setClockRate(256.0 * kRate);
                osc.setFrequency(noteFrequency(key));
                std::vector<float> signal;
                signal.reserve(kRate / 2 + 256);
                IOChannel<float> block = emptyBlock(256);
                {
                    AllocationGuard guard("a sample player's blocks in a scale of its module");
                    while (signal.size() < static_cast<std::size_t>(kRate / 2)) {
                        block.setValidFrames(0);
                        ASSERT_EQ(osc.render(block), 256);
                        signal.insert(signal.end(), block.getData(), block.getData() + 256);
                    }
                }
                EXPECT_NEAR(centsBetween(measuredFrequency(signal, kRate), kTone),
                            expectedCents(key, steps, pitch), 0.01)
                    << steps << " steps, master pitch " << pitch << ", key " << key;
            }
        }
}

TEST_F(PlayerPitchTest, TheNoisePlayerAdvancesItsGrainsByTheKeysStepsFromTheRootAtTheMasterPitch) {
    seedRandom(20240611);
    for (const double steps : {12.0, 19.0})
        for (const double pitch : {440.0, 466.0}) {
            tune(steps, pitch);
            for (const int key : {kRoot, 52, 67}) {
                GranularNoiseOsc osc(world_.module.get(), "Ramp");
                osc.setDriftDepth(0.0f);
                osc.setFrequency(noteFrequency(key));
                const std::vector<float> signal = renderSignal(osc, 5 * kRate, 256);
                ASSERT_EQ(signal.size(), static_cast<std::size_t>(5 * kRate));
                // Within a grain the ramp's values are the frames read; a grain's end jumps elsewhere.
                double advanced = 0.0;
                int counted = 0;
                for (std::size_t k = 1; k < signal.size(); ++k) {
                    const float step = signal[k] - signal[k - 1];
                    if (step >= 0.0f && step <= 3.0f) {
                        advanced += step;
                        ++counted;
                    }
                }
                EXPECT_NEAR(1200.0 * std::log2(advanced / counted), expectedCents(key, steps, pitch), 0.25)
                    << steps << " steps, master pitch " << pitch << ", key " << key;
            }
        }
}

} // namespace
} // namespace trov::test
