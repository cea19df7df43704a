#pragma once

#include "framework/Color.h"
#include "framework/Radio.h"
#include "framework/SeriesStats.h"

#include <atomic>
#include <memory>

namespace trov {

class Timer;

// Measures how much of the wall-clock time a code section is busy. The measured thread brackets its work
// with begin/end (the audio thread for the plug-in, the user-interface thread for the editor); twenty
// times a second the meter's own timer turns the busy time since the last update into a load (busy
// seconds per elapsed second) and adds it to the history. begin/end never block or allocate. The times
// are relaxed atomics shared without a lock: an update may miss an end that runs at the same moment.
class CPUMeter : public Radio {
public:
    static constexpr int kUpdatesPerSecond = 20;

    explicit CPUMeter(int historyLength);
    ~CPUMeter() override;

    // Creates and starts the update timer ('CPUx', code 4000) the first time.
    void init() override;
    bool receive(const Message& message) override;

    void begin();
    // Like begin, also smoothing the period between cycle starts.
    void beginCycle();
    void end();
    // Adds the busy time without stamping the end.
    void endNoStamp();
    // Adds busy / elapsed since the previous update to the history; the first update only starts timing.
    void update();

    double getAverageLoad() const { return history_.getAverage(); }
    double getPeakLoad() const { return history_.getPeak(); }
    double getPeriod() const { return period_.load(std::memory_order_relaxed); }
    double getLastEnd() const { return lastEnd_.load(std::memory_order_relaxed); }
    const SeriesStats& getHistory() const { return history_; }

    // Green below 0.5, yellow below 0.75, red from there on; opaque.
    static Color loadColor(double load);

protected:
    // Seconds on the framework clock.
    virtual double now() const;

private:
    std::unique_ptr<Timer> timer_;
    int rate_ = kUpdatesPerSecond;
    std::atomic<double> lastStart_{0.0};
    std::atomic<double> lastEnd_{0.0};
    std::atomic<double> lastUpdate_{0.0};
    std::atomic<double> busy_{0.0};
    std::atomic<double> period_{1.0};
    SeriesStats history_;
};

} // namespace trov
