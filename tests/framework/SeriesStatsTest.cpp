#include "framework/SeriesStats.h"

#include <gtest/gtest.h>

namespace trov {
namespace {

TEST(SeriesStats, StartsAsZerosAndAveragesOverTheWholeRing) {
    SeriesStats stats(4, 2);
    EXPECT_EQ(stats.getLength(), 8u);
    EXPECT_EQ(stats.getAverage() + stats.getPeak(), 0.0);
    stats.add(4.0);
    stats.add(2.0);
    EXPECT_DOUBLE_EQ(stats.getAverage(), 6.0 / 8.0);
    for (int i = 0; i < 8; ++i)
        stats.add(1.0);
    EXPECT_DOUBLE_EQ(stats.getAverage(), 1.0) << "old values leave the sum as they are overwritten";
}

TEST(SeriesStats, PeakFollowsLargerValuesAndIsRescannedWhenTheCountdownRunsOut) {
    SeriesStats stats(4, 1);
    for (double v : {1.0, 0.0, 0.0, 0.0})
        stats.add(v);
    EXPECT_EQ(stats.getPeak(), 1.0) << "the 1 is still in the ring";
    stats.add(0.0);
    EXPECT_EQ(stats.getPeak(), 0.0) << "the 1 was overwritten and the countdown had run out";

    // After running out, the countdown is not restarted by a rescan: every add rescans until a value
    // reaches the peak again.
    for (double v : {0.5, 0.25, 0.1, 0.1})
        stats.add(v);
    EXPECT_EQ(stats.getPeak(), 0.5);
    stats.add(0.1);
    EXPECT_EQ(stats.getPeak(), 0.25) << "the 0.5 was overwritten and the peak rescanned at once";
    stats.add(0.1);
    EXPECT_EQ(stats.getPeak(), 0.1);
}

TEST(SeriesStats, SlotPeaksCountFromTheOldestValueAndNeverGoBelowZero) {
    SeriesStats stats(3, 2);
    for (double v : {1.0, 2.0, 3.0, 4.0, 5.0, 6.0, 7.0})
        stats.add(v);
    // Ring now holds 7 2 3 4 5 6 with the oldest (2) at the write position.
    EXPECT_EQ(stats.getSlotPeak(0), 3.0);
    EXPECT_EQ(stats.getSlotPeak(1), 5.0);
    EXPECT_EQ(stats.getSlotPeak(2), 7.0) << "the last slot wraps to the ring's start";

    SeriesStats negative(2, 2);
    for (int i = 0; i < 4; ++i)
        negative.add(-1.0);
    EXPECT_EQ(negative.getSlotPeak(0), 0.0);
}

TEST(SeriesStats, AnEmptyRingIgnoresAddsAndReportsZero) {
    SeriesStats stats(0, 1);
    stats.add(3.0);
    EXPECT_EQ(stats.getAverage() + stats.getPeak() + stats.getSlotPeak(0), 0.0);
    stats.reset(2);
    stats.add(3.0);
    EXPECT_DOUBLE_EQ(stats.getAverage(), 1.5);
}

} // namespace
} // namespace trov
