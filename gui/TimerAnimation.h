#pragma once

#include "framework/Timer.h"

namespace trov {

// A timer that steps a float from a start value to an end value in a fixed number of steps over a
// duration, writing the current value (as a float's bit pattern) into its message's extra word before each
// broadcast; controls use it for fades and blinking. A late tick advances by as many steps as periods have
// really passed, and the animation always ends on the exact end value, then disarms itself ready for the
// next start. A zero-length animation jumps to its end at its first tick.
// Threads as `Timer`: configured by one thread, ticks on the timer thread (or a manual clock's advancing
// thread) under the station's lock.
class TimerAnimation : public Timer {
public:
    // A periodic timer of duration / steps ms; steps is at least 2.
    TimerAnimation(const Module* owner, const Message& message, float from, float to, int steps,
                   int durationMs, bool startNow);
    // Stops the timer before the animation's members go, so that no tick reaches a dead animation.
    ~TimerAnimation() override;

    // From step 0.
    void start() override;
    // Jumps to the end: one last tick broadcasts the end value, and the animation disarms.
    void stop(bool final) override;
    void tick() override;
    // Stops where it is, broadcasting nothing.
    void cancel();

    void setFrom(float from);
    void setTo(float to);
    void setSteps(int steps);
    // Sets the period (duration / steps) used from the next start.
    void setDuration(int durationMs);

    int getStep() const;

private:
    float from_;
    float to_;
    int steps_;
    int step_ = 0;
    int duration_;
};

} // namespace trov
