#pragma once

#include "gui/controls/ControlValue.h"

#include <atomic>
#include <memory>

namespace trov {

class Timer;
template <class T> class ParameterValue;

// The part of a skin a control shows of it: its source rectangle, no larger than one frame (a skin whose
// description names no part is used one frame at a time).
Rect shownPartOf(const Bitmap& skin);
// A control left without a width or a height takes the one of the shown part of its skin.
void sizeToSkin(Control& control, const Bitmap& skin);
// A button without skins: a black frame around the fill colour and the label centred in black in the
// product's font 2.
void paintPlainButton(Canvas& canvas, const Rect& local, const Color& fill, const std::string& label);

// A value button ("Button" on a value parameter, T = bool, long, float) that switches its parameter
// between 0 and its on value (the parameter's maximum unless the node's "value" says otherwise): a toggle
// that changes on release while the pointer is still inside, a push button ("pushbutton") on only while
// held, or a latch button ("latchbutton") that only its parameter changes. It can blink while on ("blink",
// "blinkfreq" blinks per second) and draws skins by state ("handle" with its frames, or "up", "down",
// "on", "off", "over", "blink") with a hover glow, or else a framed box that turns orange when on.
//
// Owned by its parent control. Clicks, blinking and painting on the user-interface thread; blink and
// hover ticks arrive on the timer thread and a notification of the parameter on the thread that changed
// it: there the button only flips its blink phase, records the redraw or records whether to blink, which
// the editor's next tick applies.
template <class T> class ControlValueButton : public ControlValue {
public:
    static constexpr std::int32_t kBlinkTimerId = makeTimerId("CVBb");

    explicit ControlValueButton(Editor* editor);
    ~ControlValueButton() override;

    bool receive(const Message& message) override;
    bool fromDictionary(const Dictionary& spec) override;
    // The bound parameter when it is a ParameterValue<T>, else null.
    Parameter* getParameter() const override;
    void paint(Canvas& canvas, const Rect& area) override;

    // Starts or stops blinking: a periodic timer of 1000 / blinkfreq ms flips the blink phase.
    void setBlinking(bool on);
    bool isBlinking() const { return blinkTimer_ != nullptr; }
    int getBlinkPeriod() const;
    bool getBlinkPhase() const { return blinkPhase_.load(std::memory_order_relaxed); }
    T getOnValue() const { return onValue_; }
    bool isPressed() const { return pressed_; }
    bool showsDownLook() const { return downLook_; }
    // The parameter's value (the control's own without one) equals the on value.
    bool isOn() const;

protected:
    ParameterValue<T>* valueParameter() const;
    void applyDeferredControlWork() override;

private:
    bool press();
    bool releaseButton();
    void toggle(ParameterValue<T>& parameter);
    void followParameter(int sender);
    void setSkin(Bitmap*& slot, Bitmap* skin);
    void paintSkins(Canvas& canvas, const Rect& local);
    void paintHover(Canvas& canvas, const Rect& local, const Bitmap* drawn);

    T onValue_;
    T pressValue_{};
    Bitmap* up_ = nullptr;
    Bitmap* down_ = nullptr;
    Bitmap* on_ = nullptr;
    Bitmap* over_ = nullptr;
    Bitmap* off_ = nullptr;
    Bitmap* blinkImage_ = nullptr;
    bool focusWhenOff_ = false;
    bool focusWhenOn_ = false;
    bool pushButton_ = false;
    bool latchButton_ = false;
    bool hovering_ = false;
    bool pressed_ = false;
    bool downLook_ = false;
    bool blink_ = false;
    std::unique_ptr<Timer> blinkTimer_;
    float blinkFreq_ = 1.0f;
    std::atomic<bool> blinkPhase_{false};
    // The sender code of a notification of the parameter that arrived off the user-interface thread, or
    // -1: whether to blink is decided at the editor's next tick.
    std::atomic<int> pendingSender_{-1};
};

extern template class ControlValueButton<bool>;
extern template class ControlValueButton<long>;
extern template class ControlValueButton<float>;

} // namespace trov
