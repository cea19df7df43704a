#include "gui/controls/ControlFFT.h"

#include "gui/controls/CurveColumns.h"

#include <algorithm>
#include <cmath>

namespace trov {

namespace {

constexpr double kSquareRootOfTwo = 1.4142135623730951;
// Decibels per octave of magnitude.
constexpr float kDecibelsPerOctave = 6.0f;

// The bin at a fractional position, linearly between its neighbours; positions past the ends read the
// end bins.
float interpolate(const std::vector<float>& values, std::size_t bins, std::size_t offset, double position) {
    const double at = std::clamp(position, 0.0, static_cast<double>(bins - 1));
    const auto below = static_cast<std::size_t>(at);
    const std::size_t above = std::min(below + 1, bins - 1);
    const double fraction = at - static_cast<double>(below);
    const double a = values[2 * below + offset];
    const double b = values[2 * above + offset];
    return static_cast<float>(a + (b - a) * fraction);
}

} // namespace

ControlFFT::ControlFFT(Editor* editor, const Rect& bounds) : ControlValue(editor, bounds) {
    clearFlags(kTextEntry);
}

// The worker first: it may be delivering a message to this control.
ControlFFT::~ControlFFT() {
    worker_.reset();
}

void ControlFFT::setWorker(std::unique_ptr<Thread> worker) {
    worker_ = std::move(worker);
}

void ControlFFT::setFrequencyRange(int lowest, int highest) {
    lowest_ = lowest;
    highest_ = highest;
}

void ControlFFT::setInput(const float* values, std::size_t count) {
    {
        std::lock_guard guard(inputMutex_);
        input_.assign(values, values + (values != nullptr ? count : 0));
    }
    newData_.store(true, std::memory_order_release);
}

bool ControlFFT::receive(const Message& message) {
    if (message.kind != kKindSystem || message.code != Code::kWorkerData)
        return ControlValue::receive(message);
    if (newData_.exchange(false, std::memory_order_acq_rel)) {
        if (onUserInterfaceThread()) {
            recompute();
            requestRedraw(true);
        } else {
            recomputePending_.store(true, std::memory_order_release);
            requestRedraw(true);
        }
    }
    return true;
}

// Bin k stands for k x (highest - lowest) / bins Hz.
void ControlFFT::recompute() {
    recomputePending_.store(false, std::memory_order_release);
    const int width = std::max(getLocalRect().getWidth(), 0);
    curve_.assign(static_cast<std::size_t>(width), 0.0f);
    std::vector<float> input;
    {
        std::lock_guard guard(inputMutex_);
        input = input_;
    }
    const std::size_t bins = input.size() / 2;
    const auto span = static_cast<double>(static_cast<float>(highest_) - static_cast<float>(lowest_));
    float peak = kLeastPeak;
    if (bins > 0 && span > 0.0)
        for (int i = 0; i < width; ++i) {
            const double hz = lowest_ + std::pow(span, static_cast<double>(i) / width);
            if (!(hz > 0.0))
                continue;
            const double bin = hz * static_cast<double>(bins) / span;
            const double re = interpolate(input, bins, 0, bin);
            const double im = interpolate(input, bins, 1, bin);
            const auto value = static_cast<float>(std::log2(std::sqrt(re * re + im * im) / kSquareRootOfTwo));
            if (!std::isfinite(value))
                continue;
            curve_[static_cast<std::size_t>(i)] = value;
            peak = std::max(peak, std::fabs(value));
        }
    scale_ = 1.0f / std::ceil(peak);
    displayRange_ = static_cast<int>(std::nearbyint(kDecibelsPerOctave / scale_));
}

void ControlFFT::paint(Canvas& canvas, const Rect& /*area*/) {
    if (recomputePending_.load(std::memory_order_acquire))
        recompute();
    const int count = std::min(static_cast<int>(curve_.size()), getLocalRect().getWidth());
    paintCurveColumns(
        canvas, getLocalRect(), kOpacity, curveColor_, count, [this](int i, int middle, int& row) {
            const float value = curve_[static_cast<std::size_t>(i)];
            if (value == 0.0f)
                return false;
            row = static_cast<int>(std::nearbyint((1.0f - scale_ * value) * static_cast<float>(middle)));
            return true;
        });
}

} // namespace trov
