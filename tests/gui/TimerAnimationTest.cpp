#include "gui/TimerAnimation.h"
#include "platform/ClockService.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using trov::Message;
using trov::TimerAnimation;
using trov::TimerMessage;
using trov::platform::ManualClock;
using trov::platform::ScopedClock;

namespace {

const TimerMessage kFade(nullptr, trov::Code::kTimerTick, trov::makeTimerId("Cfoc"), 0);

// The values the animation broadcast, and when (ms on the manual clock since the test began).
class Values : public trov::Radio {
public:
    explicit Values(const ManualClock& clock) : clock_(clock), start_(clock.now()) {}
    bool receive(const Message& message) override {
        values.push_back(trov::wordToFloat(message.extra));
        times.push_back(std::chrono::duration_cast<std::chrono::milliseconds>(clock_.now() - start_).count());
        return true;
    }
    std::vector<float> values;
    std::vector<long long> times;

private:
    const ManualClock& clock_;
    trov::platform::ClockTime start_;
};

class Animations : public ::testing::Test {
protected:
    ManualClock clock;
    ScopedClock installed{clock};
    Values heard{clock};
};

} // namespace

TEST_F(Animations, StepsFromStartToEndOnePeriodApartThenStops) {
    TimerAnimation fade(nullptr, kFade, 0.0f, 1.0f, 5, 500, false);
    fade.addListener(&heard);
    fade.start();
    EXPECT_TRUE(fade.isRunning());
    clock.advance(1000);
    EXPECT_EQ(heard.values, (std::vector<float>{0.25f, 0.5f, 0.75f, 1.0f}));
    EXPECT_EQ(heard.times, (std::vector<long long>{100, 200, 300, 400}));
    EXPECT_FALSE(fade.isRunning());
    EXPECT_EQ(fade.getStep(), 0);
}

TEST_F(Animations, StartingAgainRunsFromTheFirstStepAndTheMessageKeepsItsIdentifier) {
    TimerAnimation fade(nullptr, kFade, 1.0f, 0.0f, 3, 300, true);
    fade.addListener(&heard);
    clock.advance(300);
    fade.start();
    clock.advance(300);
    EXPECT_EQ(heard.values, (std::vector<float>{0.5f, 0.0f, 0.5f, 0.0f}));
}

TEST_F(Animations, ALateTickAdvancesByEveryPeriodThatPassed) {
    TimerAnimation fade(nullptr, kFade, 0.0f, 8.0f, 9, 900, true);
    fade.addListener(&heard);
    clock.advance(100);
    clock.stall(300); // the timer thread is held up; its next tick comes 300 ms after the last
    clock.advance(0);
    clock.advance(100);
    EXPECT_EQ(heard.values, (std::vector<float>{1.0f, 4.0f, 5.0f}));
    clock.stall(2000); // far past the end: the animation lands on its end value and stops
    clock.advance(0);
    EXPECT_EQ(heard.values.back(), 8.0f);
    EXPECT_FALSE(fade.isRunning());
}

TEST_F(Animations, ALateTickAfterAFinalStopAndAOneShotTickEndQuietlyInsteadOfTickingForever) {
    TimerAnimation fade(nullptr, kFade, 0.0f, 1.0f, 5, 500, true);
    fade.addListener(&heard);
    clock.advance(100);
    fade.Timer::stop(true); // the platform timer is gone; a tick already in flight still arrives
    fade.tick();
    EXPECT_EQ(heard.values, (std::vector<float>{0.25f}));
    EXPECT_FALSE(fade.isRunning());
    // A final stop leaves the timer one-shot: started again, it ticks once and stops itself.
    fade.start();
    clock.advance(1000);
    EXPECT_EQ(heard.values, (std::vector<float>{0.25f, 0.25f}));
    EXPECT_FALSE(fade.isRunning());
}

TEST_F(Animations, StoppingHalfWayBroadcastsTheEndValueOnce) {
    TimerAnimation fade(nullptr, kFade, 0.0f, 1.0f, 5, 500, true);
    fade.addListener(&heard);
    clock.advance(200);
    fade.stop(false);
    EXPECT_FALSE(fade.isRunning());
    clock.advance(1000);
    EXPECT_EQ(heard.values, (std::vector<float>{0.25f, 0.5f, 1.0f}));
}

TEST_F(Animations, CancellingStopsWhereItIsWithoutABroadcast) {
    TimerAnimation fade(nullptr, kFade, 0.0f, 1.0f, 5, 500, true);
    fade.addListener(&heard);
    clock.advance(200);
    fade.cancel();
    EXPECT_FALSE(fade.isRunning());
    EXPECT_EQ(fade.getStep(), 2);
    clock.advance(1000);
    EXPECT_EQ(heard.values, (std::vector<float>{0.25f, 0.5f}));
}

TEST_F(Animations, AZeroLengthAnimationJumpsToItsEnd) {
    TimerAnimation fade(nullptr, kFade, 0.2f, 0.9f, 10, 0, true);
    fade.addListener(&heard);
    clock.advance(1);
    EXPECT_EQ(heard.values, (std::vector<float>{0.9f}));
    EXPECT_FALSE(fade.isRunning());
}

TEST_F(Animations, APeriodThatRoundsToZeroRunsAtOneMillisecond) {
    TimerAnimation fade(nullptr, kFade, 0.0f, 1.0f, 5, 3, true); // 3 / 5 ms
    fade.addListener(&heard);
    clock.advance(10);
    EXPECT_EQ(heard.values, (std::vector<float>{0.25f, 0.5f, 0.75f, 1.0f}));
    EXPECT_EQ(heard.times, (std::vector<long long>{1, 2, 3, 4}));

    trov::Timer plain(nullptr, kFade, 0, false, true);
    Values ticks(clock);
    plain.addListener(&ticks);
    clock.advance(5);
    EXPECT_EQ(ticks.values.size(), 5u); // periodic, not fired once
    plain.stop(false);
}

TEST_F(Animations, ANewDurationAndStepCountTakeEffectFromTheNextStart) {
    TimerAnimation fade(nullptr, kFade, 0.0f, 1.0f, 5, 500, false);
    fade.addListener(&heard);
    fade.setSteps(3);
    fade.setDuration(60);
    fade.setFrom(2.0f);
    fade.setTo(4.0f);
    fade.start();
    clock.advance(100);
    EXPECT_EQ(heard.values, (std::vector<float>{3.0f, 4.0f}));
    EXPECT_EQ(heard.times, (std::vector<long long>{20, 40}));
}

TEST_F(Animations, AnAnimationGoneWhileRunningNeverTicksAgain) {
    auto fade = std::make_unique<TimerAnimation>(nullptr, kFade, 0.0f, 1.0f, 5, 500, true);
    fade->addListener(&heard);
    clock.advance(100);
    fade.reset();
    clock.advance(1000);
    EXPECT_EQ(heard.values, (std::vector<float>{0.25f}));
}
