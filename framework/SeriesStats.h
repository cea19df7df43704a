#pragma once

#include <atomic>
#include <cstddef>
#include <memory>

namespace trov {

// A ring of measurements with a running sum and peak, read in display slots of equal numbers of points
// (slot 0 starts at the oldest value). One thread adds (the meter's timer thread); any thread may read
// while it does: values are kept in relaxed atomics, so a reader sees each value whole, though possibly
// a mix of before and after an add. `reset` must not run concurrently with anything else.
class SeriesStats {
public:
    SeriesStats(std::size_t slots, std::size_t pointsPerSlot);
    SeriesStats(const SeriesStats&) = delete;
    SeriesStats& operator=(const SeriesStats&) = delete;
    virtual ~SeriesStats();

    // A ring of slots * points-per-slot zeros.
    void reset(std::size_t slots);
    void add(double value);

    double getAverage() const;
    double getPeak() const { return peak_.load(std::memory_order_relaxed); }
    std::size_t getSlotCount() const { return length_ / pointsPerSlot_; }
    // The largest of the slot's values, and never below 0.
    double getSlotPeak(std::size_t slot) const;
    std::size_t getLength() const { return length_; }

private:
    double at(std::size_t i) const { return values_[i].load(std::memory_order_relaxed); }

    std::unique_ptr<std::atomic<double>[]> values_;
    std::size_t length_ = 0;
    std::atomic<std::size_t> writeIndex_{0};
    std::size_t pointsPerSlot_;
    std::atomic<double> peak_{0.0};
    // Adds left before the peak is recomputed from the whole ring.
    std::atomic<long> rescanCountdown_{0};
    std::atomic<double> sum_{0.0};
};

} // namespace trov
