// What a sample's root is heard against: the current tuning at the reference pitch (key 57 at 440 Hz),
// which a product's master pitch does not move, in scales read from Scala files written here.
#include "support/InstanceTestSupport.h"

#include "engine/notes/TuningSCL.h"
#include "framework/File.h"
#include "support/AllocationGuard.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <string>

namespace trov::test {
namespace {

// A product whose every tuning plays key 57 at its master pitch.
class PitchedPlugin : public Plugin {
public:
    using Plugin::Plugin;
    ~PitchedPlugin() override { endWorkers(); }
    bool getMasterPitch(std::int32_t& key, double& frequency) const noexcept override {
        key = Tuning::kReferenceKey;
        frequency = pitch.load();
        return true;
    }
    std::atomic<double> pitch{440.0};
};

std::string nineteenTone() {
    std::string text = "! nineteen.scl\nNineteen-tone equal temperament\n 19\n";
    for (int degree = 1; degree < 19; ++degree) {
        char line[32];
        std::snprintf(line, sizeof line, " %.9f\n", 1200.0 * degree / 19.0);
        text += line;
    }
    return text + " 2/1\n";
}

const char* const kJust = "! just.scl\nJust\n 12\n 16/15\n 9/8\n 6/5\n 5/4\n 4/3\n 45/32\n 3/2\n 8/5\n 5/3\n"
                          " 9/5\n 15/8\n 2/1\n";

// The ratio of a key to key 57 in the scale: whole octaves and the degree within one.
double ratioTo57(int key, int size, const double* degrees) {
    const int distance = key - 57;
    const int octave = distance >= 0 ? distance / size : -((size - 1 - distance) / size);
    return std::exp2(octave) * degrees[distance - octave * size];
}

class ReferencePitchTest : public testing::Test {
protected:
    // Reads the scale file written here and makes it current.
    void loadScale(Plugin& plugin, const char* name, const std::string& text) {
        TuningSCL tuning;
        ASSERT_TRUE(tuning.load(File(world.files.write(name, text))));
        plugin.addTuning(tuning);
    }

    InstanceWorld world;
};

TEST_F(ReferencePitchTest, AMasterPitchMovesEveryKeyOfAScaleByOneIntervalAndLeavesTheReferencePitchAlone) {
    PitchedPlugin plugin(&world.host, 5);
    plugin.init();
    double nineteen[19];
    for (int degree = 0; degree < 19; ++degree)
        nineteen[degree] = std::exp2(degree / 19.0);
    const double just[12] = {1.0,       16.0 / 15, 9.0 / 8, 6.0 / 5, 5.0 / 4, 4.0 / 3,
                             45.0 / 32, 3.0 / 2,   8.0 / 5, 5.0 / 3, 9.0 / 5, 15.0 / 8};
    struct Case {
        const char* file;
        std::string text;
        int size;
        const double* degrees;
    };
    for (const Case& scale :
         {Case{"nineteen.scl", nineteenTone(), 19, nineteen}, Case{"just.scl", kJust, 12, just}}) {
        loadScale(plugin, scale.file, scale.text);
        const Module& module = *plugin.getModule(0);
        for (const double pitch : {440.0, 466.0}) {
            plugin.pitch = pitch;
            for (int key = 21; key <= 108; ++key) {
                double played = 0.0;
                double reference = 0.0;
                double moduleReference = 0.0;
                {
                    AllocationGuard guard("frequencies at the master and the reference pitch");
                    played = plugin.getFrequency(key, 0.0);
                    reference = plugin.getFrequencyAtReferencePitch(key, 0.0);
                    moduleReference = module.getFrequencyAtReferencePitch(key, 0.0);
                }
                const double expected = 440.0 * ratioTo57(key, scale.size, scale.degrees);
                ASSERT_NEAR(reference, expected, expected * 1e-9)
                    << scale.file << " key " << key << " at " << pitch;
                ASSERT_EQ(moduleReference, reference) << scale.file << " key " << key;
                ASSERT_NEAR(1200.0 * std::log2(played / reference), 1200.0 * std::log2(pitch / 440.0), 1e-9)
                    << scale.file << " key " << key << " at " << pitch;
            }
            // Cents move the key within the scale's own pitch.
            EXPECT_NEAR(plugin.getFrequencyAtReferencePitch(60, 50.0),
                        440.0 * ratioTo57(60, scale.size, scale.degrees) * std::exp2(50.0 / 1200.0), 1e-9)
                << scale.file;
        }
    }
}

TEST_F(ReferencePitchTest, WithoutAMasterPitchATuningPlaysWhereItIsAnchoredAndTheRootIsHeardThereToo) {
    auto plugin = world.makePlugin();
    loadScale(*plugin, "nineteen.scl", nineteenTone());
    for (const int key : {0, 45, 57, 60, 71, 127})
        for (const double cents : {0.0, -30.0}) {
            EXPECT_EQ(plugin->getFrequencyAtReferencePitch(key, cents), plugin->getFrequency(key, cents))
                << key;
            EXPECT_EQ(plugin->getModule(1)->getFrequencyAtReferencePitch(key, cents),
                      plugin->getFrequency(key, cents))
                << key;
        }
    // The scale keeps the anchor a plain tuning has, far from key 57 at 440 Hz.
    EXPECT_NEAR(plugin->getFrequencyAtReferencePitch(-1, 0.0), Tuning::kDefaultFrequency, 1e-12);
}

} // namespace
} // namespace trov::test
