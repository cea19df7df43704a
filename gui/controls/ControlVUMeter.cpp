#include "gui/controls/ControlVUMeter.h"

#include "framework/Dictionary.h"
#include "gui/Bitmap.h"
#include "gui/Canvas.h"

#include <cmath>

namespace trov {

namespace {

constexpr float kSilence = 1e-8f;

float unitRange(float v) {
    return v > 1.0f ? 1.0f : (v > 0.0f ? v : 0.0f);
}

int rounded(float v) {
    return static_cast<int>(std::nearbyint(v));
}

} // namespace

ControlVUMeter::ControlVUMeter(Editor* editor)
    : ControlValue(editor, Rect()), timer_(getOwner(), TimerMessage(this, Code::kTimerTick, kTimerId, 0),
                                           1000 / kRefreshRate, false, false) {
    clearFlags(kEditable | kTextEntry);
}

ControlVUMeter::~ControlVUMeter() {
    stopTicks();
    giveBack(handle_);
}

void ControlVUMeter::layout() {
    ControlValue::layout();
    if (stopped_)
        return;
    tuneInTo(&timer_);
    timer_.start();
}

void ControlVUMeter::stopTicks() {
    if (stopped_)
        return;
    stopped_ = true;
    // Tuning out waits for a tick being delivered.
    tuneOutOf(&timer_);
    timer_.stop(true);
}

bool ControlVUMeter::receive(const Message& message) {
    if (message.kind == kKindTimer) {
        if (const auto* tick = dynamic_cast<const TimerMessage*>(&message);
            tick != nullptr && tick->code == Code::kTimerTick && tick->timerId == kTimerId) {
            bool redraw = getLevel() > kSilence;
            int hold = holdCount_.load(std::memory_order_relaxed);
            // Counted down to 0 and kept there.
            if (hold > 0)
                holdCount_.store(--hold, std::memory_order_relaxed);
            if (hold <= 0) {
                peak_.store(0.0f, std::memory_order_relaxed);
                redraw = true;
            }
            if (redraw)
                requestRedraw(true);
            return true;
        }
    }
    if (message.kind == kKindParameter && message.code == Code::kParameterValue) {
        float level = wordToFloat(message.extra);
        if (std::isnan(level))
            level = 0.0f;
        level_.store(level, std::memory_order_relaxed);
        if (level >= getPeak()) {
            peak_.store(level, std::memory_order_relaxed);
            holdCount_.store(holdTicks_, std::memory_order_relaxed);
        }
        return true;
    }
    return ControlValue::receive(message);
}

bool ControlVUMeter::fromDictionary(const Dictionary& spec) {
    ControlValue::fromDictionary(spec);
    if (readBitmap(spec, "handle", handle_)) {
        if (handle_ != nullptr && getLocalRect() == Rect())
            setSize(handle_->getBounds());
        setNeedsRedraw(true);
    }
    return true;
}

// Frame 0 unlit above the level, frame 1 lit below it, and the peak as a strip of frame 1, all within
// frame 0's place.
void ControlVUMeter::paint(Canvas& canvas, const Rect& /*area*/) {
    if (handle_ == nullptr || handle_->getFrameCount() < 2)
        return;
    const Rect f0 = handle_->getFrame(0);
    const Point lit = handle_->getFrame(1).getTopLeft();
    const int width = f0.getWidth();
    const int height = f0.getHeight();
    const int c = rounded(static_cast<float>(height) * (1.0f - unitRange(getLevel())));
    const Rect unlit(f0.left, 0, width, c);
    canvas.drawBitmap(handle_, unlit, unlit);
    const Rect shown(f0.left, c, width, height - c);
    canvas.drawBitmap(handle_, shown + lit, shown);
    // Even rows only; a peak of nothing has its line below the frame, where nothing is drawn.
    const int p = rounded(static_cast<float>(height) * (1.0f - unitRange(getPeak()))) & ~1;
    if (p + 2 <= height) {
        const Rect line(f0.left, p, width, 2);
        canvas.drawBitmap(handle_, line + lit, line);
    }
}

} // namespace trov
