#include "framework/CPUMeter.h"

#include "framework/System.h"
#include "framework/Timer.h"

namespace trov {

namespace {
constexpr auto kRelaxed = std::memory_order_relaxed;
}

CPUMeter::CPUMeter(int historyLength)
    : history_(historyLength > 0 ? static_cast<std::size_t>(historyLength) : 0, 1) {}

CPUMeter::~CPUMeter() {
    if (timer_) {
        // Tuning out waits for a tick being delivered to this meter.
        tuneOutOf(timer_.get());
        timer_.reset();
    }
}

void CPUMeter::init() {
    if (timer_)
        return;
    const TimerMessage tick(this, Code::kTimerTick, makeTimerId("CPUx"), 0);
    timer_ = std::make_unique<Timer>(getOwner(), tick, 1000 / rate_, false, false);
    tuneInTo(timer_.get());
    timer_->start();
}

bool CPUMeter::receive(const Message& message) {
    if (message.kind == kKindTimer && message.code == Code::kTimerTick) {
        update();
        return true;
    }
    return Radio::receive(message);
}

double CPUMeter::now() const {
    return getTime();
}

void CPUMeter::begin() {
    lastStart_.store(now(), kRelaxed);
}

void CPUMeter::beginCycle() {
    const double t = now();
    const double previous = lastStart_.load(kRelaxed);
    if (t > previous)
        period_.store(0.99 * period_.load(kRelaxed) + 0.01 * (t - previous), kRelaxed);
    lastStart_.store(t, kRelaxed);
}

void CPUMeter::end() {
    const double t = now();
    lastEnd_.store(t, kRelaxed);
    busy_.store(busy_.load(kRelaxed) + (t - lastStart_.load(kRelaxed)), kRelaxed);
}

void CPUMeter::endNoStamp() {
    const double t = now();
    busy_.store(busy_.load(kRelaxed) + (t - lastStart_.load(kRelaxed)), kRelaxed);
}

void CPUMeter::update() {
    const double t = now();
    const double previous = lastUpdate_.load(kRelaxed);
    if (previous != 0.0 && t != previous)
        history_.add(busy_.load(kRelaxed) / (t - previous));
    lastUpdate_.store(t, kRelaxed);
    busy_.store(0.0, kRelaxed);
}

Color CPUMeter::loadColor(double load) {
    return Color(load >= 0.5 ? 255 : 0, load < 0.75 ? 255 : 0, 0, 255);
}

} // namespace trov
