#pragma once

#include "framework/CPUMeter.h"
#include "gui/controls/Control.h"

namespace trov {

// A processor-load meter of the debug panel: a control and a CPU meter at once. It measures what its
// users bracket (`begin`/`end` of the CPUMeter part), keeps a history, and draws the history as a graph
// coloured by load, under a title strip in the colour of the peak load, with the average and peak load as
// text.
//
// Owned by the debug panel. Painted on the user-interface thread; the measured threads call begin and end
// (lock-free); its update ticks arrive on the timer thread and only add to the history and record the
// redraw.
class ControlCPUMeter : public Control, public CPUMeter {
public:
    ControlCPUMeter(int historyLength, Editor* editor, const Rect& bounds);
    ~ControlCPUMeter() override;

    // Starts the meter's update timer.
    void init() override;
    bool receive(const Message& message) override;
    void paint(Canvas& canvas, const Rect& area) override;

    // "avg " and the average load in percent, "% / peak " and the peak load in percent, "%".
    std::string loadText() const;
};

} // namespace trov
