#pragma once

#include "framework/Thread.h"
#include "gui/controls/ControlValue.h"

#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

namespace trov {

// The spectrum display ("FFT"): a magnitude spectrum drawn as vertical lines from the middle of the
// control on a logarithmic frequency axis (lowest + (highest - lowest)^(column / width) Hz), at half
// opacity over what lies under it. A producer hands it the complex spectrum (bins of (real, imaginary)
// spanning 0 Hz to highest - lowest) and announces new data with system message 3003, typically from a
// worker (`setWorker`); the curve, one value per column in octaves of magnitude (log2 of |bin| / sqrt(2)),
// is worked out on the user-interface thread and scaled to the next whole octave above its peak (at
// least 2). Columns without a finite value, or at frequencies at or below zero, draw nothing.
//
// Owned by its parent; owns its worker, which goes first when it dies. Threads: `setInput` and the
// message may come from any thread (the input is copied under a lock of its own, a leaf); everything
// else on the user-interface thread.
class ControlFFT : public ControlValue {
public:
    static constexpr int kDefaultLowest = 10;
    static constexpr int kDefaultHighest = 22050;
    static constexpr float kOpacity = 0.5f;
    // The peak's least value, in octaves.
    static constexpr float kLeastPeak = 2.0f;

    ControlFFT(Editor* editor, const Rect& bounds);
    ~ControlFFT() override;

    // System message 3003 works the new data out (at the next paint when it arrives off the user-interface
    // thread); it is always answered true, so that a worker delivering it goes on.
    bool receive(const Message& message) override;
    void paint(Canvas& canvas, const Rect& area) override;

    // Interleaved (real, imaginary) pairs; the next 3003 shows them. Any thread.
    void setInput(const float* values, std::size_t count);
    // Takes over the worker that delivers 3003 to this control.
    void setWorker(std::unique_ptr<Thread> worker);
    void setFrequencyRange(int lowest, int highest);
    void setCurveColor(const Color& colour) { curveColor_ = colour; }

    const std::vector<float>& getCurve() const { return curve_; }
    float getScale() const { return scale_; }
    // Decibels of the curve's full height: 6 per octave of its scale.
    int getDisplayRange() const { return displayRange_; }

private:
    void recompute();

    std::unique_ptr<Thread> worker_;
    std::mutex inputMutex_; // a leaf lock: guards input_
    std::vector<float> input_;
    std::atomic<bool> newData_{false};
    std::atomic<bool> recomputePending_{false};
    std::vector<float> curve_;
    int displayRange_ = 10;
    float scale_ = 1.0f;
    int lowest_ = kDefaultLowest;
    int highest_ = kDefaultHighest;
    Color curveColor_ = colorRed;
};

} // namespace trov
