#include "framework/CPUMeter.h"

#include "support/TestTime.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace trov {
namespace {

// A meter on a clock the test sets.
class ClockedMeter : public CPUMeter {
public:
    explicit ClockedMeter(int history) : CPUMeter(history) {}
    void busy(double seconds) {
        begin();
        time = time + seconds;
        end();
    }
    std::atomic<double> time{1000.0};

protected:
    double now() const override { return time.load(); }
};

TEST(CPUMeter, ASectionBusyFiveOfEveryFiftyMillisecondsLoadsATenth) {
    ClockedMeter meter(4);
    const TimerMessage tick(nullptr, Code::kTimerTick, makeTimerId("CPUx"), 0);
    EXPECT_TRUE(meter.receive(tick)) << "the first tick only starts timing";
    for (int cycle = 0; cycle < 8; ++cycle) {
        meter.busy(0.005);
        meter.time = meter.time + 0.045;
        EXPECT_TRUE(meter.receive(tick));
    }
    EXPECT_DOUBLE_EQ(meter.getLastEnd(), meter.time.load() - 0.045);
    EXPECT_NEAR(meter.getAverageLoad(), 0.1, 1e-9);
    EXPECT_NEAR(meter.getPeakLoad(), 0.1, 1e-9);
}

TEST(CPUMeter, TheFirstTickAddsNothingAndClearsTheBusyTime) {
    ClockedMeter meter(2);
    meter.begin();
    meter.time = meter.time + 0.5;
    meter.endNoStamp();
    EXPECT_EQ(meter.getLastEnd(), 0.0) << "endNoStamp leaves the end time";
    meter.update();
    EXPECT_EQ(meter.getHistory().getSlotPeak(1), 0.0);
    meter.time = meter.time + 0.05;
    meter.update();
    EXPECT_EQ(meter.getPeakLoad(), 0.0) << "the busy time before the first tick was dropped";
    // A tick at the same instant as the previous one adds nothing (no division by zero).
    meter.busy(0.01);
    meter.update();
    meter.update();
    EXPECT_DOUBLE_EQ(meter.getAverageLoad(), (0.0 + 0.01 / 0.01) / 2);
}

TEST(CPUMeter, BeginCycleSmoothsThePeriodBetweenStarts) {
    ClockedMeter meter(1);
    meter.time = 10.0;
    meter.beginCycle();
    EXPECT_DOUBLE_EQ(meter.getPeriod(), 0.99 * 1.0 + 0.01 * 10.0) << "starts at 1, measured from 0";
    meter.time = 10.01;
    meter.beginCycle();
    EXPECT_DOUBLE_EQ(meter.getPeriod(), 0.99 * (0.99 + 0.1) + 0.01 * (10.01 - 10.0));
    const double before = meter.getPeriod();
    meter.beginCycle();
    EXPECT_EQ(meter.getPeriod(), before) << "a start at the same instant leaves the period";
    meter.begin();
    EXPECT_EQ(meter.getPeriod(), before) << "begin does not smooth";
    for (int i = 0; i < 2000; ++i) {
        meter.time = meter.time + 0.02;
        meter.beginCycle();
    }
    EXPECT_NEAR(meter.getPeriod(), 0.02, 1e-6);
}

TEST(CPUMeter, LoadColoursAreGreenThenYellowFromHalfThenRedFromThreeQuarters) {
    const struct {
        double load;
        int red, green;
    } cases[] = {{0.0, 0, 255},      {0.4999, 0, 255}, {0.5, 255, 255},
                 {0.7499, 255, 255}, {0.75, 255, 0},   {3.0, 255, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(CPUMeter::loadColor(c.load), Color(c.red, c.green, 0, 255)) << c.load;
    EXPECT_EQ(CPUMeter::loadColor(0.0).alpha, 255);
}

TEST(CPUMeter, ItsOwnTimerUpdatesTheHistoryWhileTheMeasuredThreadWorks) {
    using namespace std::chrono_literals;
    CPUMeter meter(10);
    meter.init();
    meter.init(); // a second init keeps the one timer
    trov::test::pollUntil(5s, [&] {
        meter.beginCycle();
        std::this_thread::sleep_for(5ms);
        meter.end();
        std::this_thread::sleep_for(5ms);
        return meter.getPeakLoad() > 0.0;
    });
    EXPECT_GT(meter.getPeakLoad(), 0.0);
    EXPECT_LE(meter.getPeakLoad(), 1.5);
}

} // namespace
} // namespace trov
