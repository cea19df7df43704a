#include "gui/TimerAnimation.h"

#include "framework/Message.h"
#include "framework/System.h"

#include <algorithm>
#include <cmath>
#include <mutex>

namespace trov {

namespace {

int atLeastTwo(int steps) {
    return std::max(2, steps);
}

} // namespace

TimerAnimation::TimerAnimation(const Module* owner, const Message& message, float from, float to, int steps,
                               int durationMs, bool startNow)
    // The base must not start: a tick could come before this object's members exist.
    : Timer(owner, message, durationMs / atLeastTwo(steps), false, false), from_(from), to_(to),
      steps_(atLeastTwo(steps)), duration_(durationMs) {
    if (startNow)
        start();
}

TimerAnimation::~TimerAnimation() {
    Timer::stop(true);
}

void TimerAnimation::start() {
    {
        std::lock_guard guard(getLock());
        step_ = 0;
    }
    Timer::start();
}

void TimerAnimation::stop(bool) {
    {
        std::lock_guard guard(getLock());
        step_ = steps_ - 1;
    }
    tick();
}

void TimerAnimation::cancel() {
    Timer::stop(false);
}

void TimerAnimation::tick() {
    {
        std::lock_guard guard(getLock());
        if (duration_ <= 0) {
            step_ = steps_ - 1;
        } else {
            // A period that rounded to 0 ms runs at 1 ms, and counts so here.
            const double period = std::max(1.0, getPeriod());
            const double elapsed = std::nearbyint((getTime() - getLastTickTime()) * 1000.0 / period);
            const double step =
                std::clamp(static_cast<double>(step_) + elapsed, 0.0, static_cast<double>(steps_ - 1));
            step_ = static_cast<int>(step);
        }
        // The last step is the end value itself, whatever the rounding of the steps before it.
        const float value = step_ >= steps_ - 1 ? to_
                                                : from_ + (to_ - from_) * static_cast<float>(step_) /
                                                              static_cast<float>(steps_ - 1);
        if (Message* message = getMessage())
            message->extra = floatToWord(value);
    }
    Timer::tick();
    bool finished = false;
    {
        std::lock_guard guard(getLock());
        if (step_ >= steps_ - 1) {
            step_ = 0;
            finished = true;
        }
    }
    // Outside the lock: a stop from another thread than the timer's waits for its tick.
    if (finished)
        Timer::stop(false);
}

void TimerAnimation::setFrom(float from) {
    std::lock_guard guard(getLock());
    from_ = from;
}

void TimerAnimation::setTo(float to) {
    std::lock_guard guard(getLock());
    to_ = to;
}

void TimerAnimation::setSteps(int steps) {
    std::lock_guard guard(getLock());
    steps_ = atLeastTwo(steps);
}

void TimerAnimation::setDuration(int durationMs) {
    int steps = 0;
    {
        std::lock_guard guard(getLock());
        duration_ = durationMs;
        steps = steps_;
    }
    setInterval(durationMs / steps);
}

int TimerAnimation::getStep() const {
    std::lock_guard guard(getLock());
    return step_;
}

} // namespace trov
