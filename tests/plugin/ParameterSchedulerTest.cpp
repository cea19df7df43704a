#include "plugin/ParameterScheduler.h"

#include "plugin/PluginTestSupport.h"

#include <gtest/gtest.h>

using namespace trov;

namespace {

class ParameterSchedulerTest : public testing::Test {
protected:
    // Whether a value is scheduled at the offset, and which.
    std::pair<bool, float> at(const ParameterScheduler& scheduler, const char* name, int offset) {
        float value = -1.0f;
        const bool found = scheduler.getScheduled(name, offset, value);
        return {found, value};
    }

    test::ScopedPluginInfo product_;
};

TEST_F(ParameterSchedulerTest, OffsetsShareTheSlotOfTheirControlStep) {
    ParameterScheduler scheduler;
    ASSERT_EQ(scheduler.getStepSize(), 32);
    scheduler.schedule("Cutoff", 31, 0.5f);
    EXPECT_EQ(at(scheduler, "Cutoff", 0), std::make_pair(true, 0.5f));
    scheduler.schedule("Cutoff", 32, 0.75f);
    EXPECT_EQ(at(scheduler, "Cutoff", 63), std::make_pair(true, 0.75f));
    EXPECT_EQ(at(scheduler, "Cutoff", 0), std::make_pair(true, 0.5f));
    EXPECT_EQ(at(scheduler, "Resonance", 0), std::make_pair(false, -1.0f));
}

TEST_F(ParameterSchedulerTest, SlotsEndFourStepsBehindTheLastScheduledOne) {
    ParameterScheduler scheduler;
    scheduler.schedule("Cutoff", 100, 0.25f);
    EXPECT_EQ(at(scheduler, "Cutoff", 96), std::make_pair(true, 0.25f));
    EXPECT_EQ(at(scheduler, "Cutoff", 0), std::make_pair(true, 0.0f));
    EXPECT_EQ(at(scheduler, "Cutoff", 6 * 32), std::make_pair(true, 0.0f));
    EXPECT_EQ(at(scheduler, "Cutoff", 7 * 32), std::make_pair(false, -1.0f));
    // A smaller offset afterwards drops the later slots.
    scheduler.schedule("Cutoff", 10, 0.5f);
    EXPECT_EQ(at(scheduler, "Cutoff", 3 * 32), std::make_pair(true, 0.25f));
    EXPECT_EQ(at(scheduler, "Cutoff", 4 * 32), std::make_pair(false, -1.0f));
    EXPECT_EQ(at(scheduler, "Cutoff", -1), std::make_pair(false, -1.0f));
}

TEST_F(ParameterSchedulerTest, ClearEmptiesEveryNameUntilScheduledAgain) {
    ParameterScheduler scheduler;
    scheduler.schedule("A", 0, 1.0f);
    scheduler.schedule("B", 64, 2.0f);
    scheduler.clear();
    EXPECT_FALSE(at(scheduler, "A", 0).first);
    EXPECT_FALSE(at(scheduler, "B", 64).first);
    scheduler.schedule("B", 64, 3.0f);
    EXPECT_EQ(at(scheduler, "B", 64), std::make_pair(true, 3.0f));
    EXPECT_FALSE(at(scheduler, "A", 0).first);
}

TEST_F(ParameterSchedulerTest, StepSizeComesFromTheProductDescriptor) {
    product_.info.controlStep = 16;
    ParameterScheduler scheduler;
    scheduler.schedule("A", 16, 1.0f);
    EXPECT_EQ(at(scheduler, "A", 0), std::make_pair(true, 0.0f));
    EXPECT_EQ(at(scheduler, "A", 31), std::make_pair(true, 1.0f));
}

TEST_F(ParameterSchedulerTest, ReservedNamesHoldNothingUntilScheduled) {
    ParameterScheduler scheduler;
    scheduler.reserve({"A", "B"}, 512);
    EXPECT_FALSE(at(scheduler, "A", 0).first);
    scheduler.schedule("A", 511, 4.0f);
    EXPECT_EQ(at(scheduler, "A", 480), std::make_pair(true, 4.0f));
}

} // namespace
