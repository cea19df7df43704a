#pragma once

#include "gui/controls/ControlValueButton.h"

#include <memory>

namespace trov {

class Timer;

// The LFO's LED ("LFOLED", also "Settings"): a bool value button that shows only its "down" skin, as
// opaque as the LFO is high: (v + 1) / 2 of the LFO value v the editor's engine published for its last
// block, limited to 0..1. Its own timer repaints it every 50 ms while the editor is open; it never prints
// its value.
//
// Owned by its parent. Threads: painted on the user-interface thread; the timer ticks on the timer thread
// and only record a redraw. The LFO value is an atomic the audio thread stores at the end of each block.
class OstrelLED : public ControlValueButton<bool> {
public:
    static constexpr int kPeriodMs = 50;

    OstrelLED(Editor* editor, const Rect& bounds);
    ~OstrelLED() override;

    // Starts the repaint timer (when it could be made) as the editor lays its controls out; the LED has no
    // children to lay out.
    void layout() override;
    bool receive(const Message& message) override;
    void paint(Canvas& canvas, const Rect& area) override;

    // The opacity the LED is drawn with now.
    float getOpacity() const;

private:
    std::unique_ptr<Timer> timer_;
};

} // namespace trov
