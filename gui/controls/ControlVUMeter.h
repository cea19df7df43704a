#pragma once

#include "framework/Timer.h"
#include "gui/controls/ControlValue.h"

#include <atomic>

namespace trov {

// A level meter ("VUMeter"): reveals the lit frame (1) of its "handle" over the unlit one (0) from the
// bottom, in proportion to the level its parameter notifications carry (the float bits in the extra word,
// 1.0 full scale), with a two-pixel peak line that holds for two seconds after the last new peak and then
// drops at once. It redraws ten times a second while it shows a level. Levels outside 0..1 draw as their
// nearest end.
//
// Owned by its parent control. Levels arrive on the thread that sets the parameter, ticks on the timer
// thread from the meter's layout on (not while the editor builds it): both only store numbers and record
// the redraw; painting on the user-interface thread. The ticks reach the meter through its own listening,
// so an editor silencing its controls silences them too.
class ControlVUMeter : public ControlValue {
public:
    static constexpr std::int32_t kTimerId = makeTimerId("CVUt");
    static constexpr int kRefreshRate = 10; // ticks per second

    explicit ControlVUMeter(Editor* editor);
    ~ControlVUMeter() override;

    // Lays the meter out; its ticks begin (again harmless).
    void layout() override;
    bool receive(const Message& message) override;
    // The value control's keys, then "handle"; a control without a size takes the skin's.
    bool fromDictionary(const Dictionary& spec) override;
    void paint(Canvas& canvas, const Rect& area) override;

    float getLevel() const { return level_.load(std::memory_order_relaxed); }
    float getPeak() const { return peak_.load(std::memory_order_relaxed); }
    int getHoldCount() const { return holdCount_.load(std::memory_order_relaxed); }

protected:
    Bitmap* getHandle() const { return handle_; }
    // Ends the ticks before a derived meter's part goes.
    void stopTicks();

private:
    std::atomic<float> level_{0.0f};
    std::atomic<float> peak_{0.0f};
    std::atomic<int> holdCount_{0};
    int holdTicks_ = 2 * kRefreshRate;
    Bitmap* handle_ = nullptr;
    Timer timer_;
    bool stopped_ = false;
};

} // namespace trov
