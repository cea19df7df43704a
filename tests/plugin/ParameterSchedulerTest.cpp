#include "plugin/ParameterScheduler.h"

#include "plugin/PluginTestSupport.h"

#include <gtest/gtest.h>

using namespace trov;

namespace {

class ParameterSchedulerTest : public testing::Test {
protected:
    // Whether a value is scheduled at the offset, and which (-1 when none).
    std::pair<bool, float> at(const char* name, int offset) const {
        float value = -1.0f;
        const bool found = scheduler_.getScheduled(name, offset, value);
        return {found, value};
    }
    static std::pair<bool, float> holds(float value) { return {true, value}; }

    test::ScopedPluginInfo product_;
    ParameterScheduler scheduler_;
    const std::pair<bool, float> none_{false, -1.0f};
};

TEST_F(ParameterSchedulerTest, OffsetsShareTheSlotOfTheirControlStepAndSlotsEndFourStepsBehindTheLast) {
    ASSERT_EQ(scheduler_.getStepSize(), 32);
    scheduler_.schedule("Cutoff", 31, 0.5f);
    scheduler_.schedule("Cutoff", 100, 0.25f);
    EXPECT_EQ(at("Cutoff", 0), holds(0.5f));
    EXPECT_EQ(at("Cutoff", 32), holds(0.0f));
    EXPECT_EQ(at("Cutoff", 96), holds(0.25f));
    EXPECT_EQ(at("Cutoff", 6 * 32), holds(0.0f));
    EXPECT_EQ(at("Cutoff", 7 * 32), none_);
    EXPECT_EQ(at("Cutoff", -1), none_);
    EXPECT_EQ(at("Resonance", 0), none_);
    // A smaller offset afterwards drops the later slots.
    scheduler_.schedule("Cutoff", 40, 0.75f);
    EXPECT_EQ(at("Cutoff", 63), holds(0.75f));
    EXPECT_EQ(at("Cutoff", 96), holds(0.25f));
    EXPECT_EQ(at("Cutoff", 5 * 32 - 1), holds(0.0f));
    EXPECT_EQ(at("Cutoff", 5 * 32), none_);
}

TEST_F(ParameterSchedulerTest, ClearedAndReservedNamesHoldNothingUntilScheduled) {
    scheduler_.schedule("A", 0, 1.0f);
    scheduler_.clear();
    scheduler_.reserve({"A", "B"}, 512);
    EXPECT_EQ(at("A", 0), none_);
    EXPECT_EQ(at("B", 0), none_);
    scheduler_.schedule("B", 511, 4.0f);
    EXPECT_EQ(at("B", 480), holds(4.0f));
    EXPECT_EQ(at("A", 0), none_);
}

TEST_F(ParameterSchedulerTest, StepSizeComesFromTheProductDescriptor) {
    product_.info.controlStep = 16;
    ParameterScheduler scheduler;
    scheduler.schedule("A", 16, 1.0f);
    float value = -1.0f;
    EXPECT_TRUE(scheduler.getScheduled("A", 31, value));
    EXPECT_EQ(value, 1.0f);
    EXPECT_TRUE(scheduler.getScheduled("A", 15, value));
    EXPECT_EQ(value, 0.0f);
}

} // namespace
