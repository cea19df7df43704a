#pragma once

#include "gui/controls/ControlSampleEditor.h"

#include <atomic>

namespace trov {

// The instrument's sample editor ("SampleEditor"): the library's sample editor on the current zone with
// the instrument's additions. It follows the current zone and sample, flickers with the LCD contrast
// ("LCDContrast") like the rest of the emulated display, works at full size and shrunk to its thumbnail
// (a fifth of its size: points on the thumbnail map fivefold onto the full-size waveform), switches the
// editor display ("DisplayEditor") on a double click, prints the emulated machine's memory use and says so
// when the zone has no sample.
//
// Owned by its parent. Threads: as the library's sample editor; a notification on another thread only
// records what it asks (a new opacity, the zone's view) for the user-interface thread's next tick.
class OstrelSampleEditor : public ControlSampleEditor {
public:
    // The emulated machine's sample memory.
    static constexpr int kMemoryKilobytes = 128;
    // How near a press must come to a point on the thumbnail (in full-size pixels), and at full size.
    static constexpr int kShrunkGrabTolerance = 25;
    static constexpr int kGrabTolerance = 10;
    // How much larger the full-size waveform is than the thumbnail.
    static constexpr float kThumbnailScale = 5.0f;
    // How far each contrast notification moves the opacity at random, either way.
    static constexpr float kFlicker = 0.05f;

    OstrelSampleEditor(Editor* editor, const Rect& bounds);

    bool receive(const Message& message) override;
    void paint(Canvas& canvas, const Rect& area) override;

protected:
    void applyDeferredControlWork() override;

private:
    bool receiveWindow(const WindowMessage& message);
    bool receiveParameter(const ParameterMessage& message);

    std::atomic<float> pendingTransparency_{-1.0f};
    std::atomic<bool> pendingView_{false};
};

} // namespace trov
