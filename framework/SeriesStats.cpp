#include "framework/SeriesStats.h"

#include <algorithm>

namespace trov {

namespace {
constexpr auto kRelaxed = std::memory_order_relaxed;
}

SeriesStats::SeriesStats(std::size_t slots, std::size_t pointsPerSlot)
    : pointsPerSlot_(std::max<std::size_t>(pointsPerSlot, 1)) {
    reset(slots);
}

SeriesStats::~SeriesStats() = default;

void SeriesStats::reset(std::size_t slots) {
    length_ = slots * pointsPerSlot_;
    values_ = std::make_unique<std::atomic<double>[]>(length_);
    for (std::size_t i = 0; i < length_; ++i)
        values_[i].store(0.0, kRelaxed);
    writeIndex_.store(0, kRelaxed);
    peak_.store(0.0, kRelaxed);
    sum_.store(0.0, kRelaxed);
    rescanCountdown_.store(static_cast<long>(length_), kRelaxed);
}

void SeriesStats::add(double value) {
    if (length_ == 0)
        return;
    const std::size_t index = writeIndex_.load(kRelaxed);
    const double old = at(index);
    values_[index].store(value, kRelaxed);
    writeIndex_.store(index + 1 == length_ ? 0 : index + 1, kRelaxed);
    sum_.store(sum_.load(kRelaxed) - old + value, kRelaxed);

    if (value >= peak_.load(kRelaxed)) {
        peak_.store(value, kRelaxed);
        rescanCountdown_.store(static_cast<long>(length_), kRelaxed);
    }
    // Once the countdown has run out it stays out: the peak is then rescanned at every add until a value
    // at least as large as the peak arrives.
    const long left = rescanCountdown_.load(kRelaxed) - 1;
    rescanCountdown_.store(left, kRelaxed);
    if (left > 0)
        return;
    double highest = at(0);
    for (std::size_t i = 1; i < length_; ++i)
        highest = std::max(highest, at(i));
    peak_.store(highest, kRelaxed);
}

double SeriesStats::getAverage() const {
    return length_ == 0 ? 0.0 : sum_.load(kRelaxed) / static_cast<double>(length_);
}

double SeriesStats::getSlotPeak(std::size_t slot) const {
    if (length_ == 0)
        return 0.0;
    std::size_t i = (slot * pointsPerSlot_ + writeIndex_.load(kRelaxed)) % length_;
    double highest = 0.0;
    for (std::size_t n = 0; n < pointsPerSlot_; ++n) {
        highest = std::max(highest, at(i));
        i = i + 1 == length_ ? 0 : i + 1;
    }
    return highest;
}

} // namespace trov
