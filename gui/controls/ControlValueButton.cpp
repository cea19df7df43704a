#include "gui/controls/ControlValueButton.h"

#include "framework/Dictionary.h"
#include "framework/Timer.h"
#include "gui/Bitmap.h"
#include "gui/Canvas.h"
#include "gui/TimerAnimation.h"
#include "gui/controls/ProductFont.h"
#include "plugin/ParameterValue.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <utility>

namespace trov {

namespace {

constexpr int kHoverSteps = 20;
constexpr int kHoverMs = 500;
constexpr int kLabelFont = 2;
constexpr int kCentred = Font::kAlignCenter | Font::kAlignMiddle;
// Blink periods beyond a day are a day: the period is an int of milliseconds.
constexpr double kLongestBlinkMs = 86400000.0;

template <class T> bool readValue(const Dictionary& spec, const char* key, T* value) {
    if constexpr (std::is_same_v<T, bool>) {
        return spec.getBool(key, value);
    } else if constexpr (std::is_same_v<T, long>) {
        std::int32_t v = 0;
        if (!spec.getLong(key, &v))
            return false;
        *value = v;
        return true;
    } else {
        return spec.getFloat(key, value);
    }
}

} // namespace

Rect shownPartOf(const Bitmap& skin) {
    Rect part = skin.getSourceRect();
    const Rect frame = skin.getFrameRect();
    if (!frame.isEmpty()) {
        part.setWidth(std::min(part.getWidth(), frame.getWidth()));
        part.setHeight(std::min(part.getHeight(), frame.getHeight()));
    }
    return part;
}

void sizeToSkin(Control& control, const Bitmap& skin) {
    Rect r = control.getBounds();
    const Rect part = shownPartOf(skin);
    if (r.getWidth() == 0)
        r.setWidth(part.getWidth());
    if (r.getHeight() == 0)
        r.setHeight(part.getHeight());
    if (r != control.getBounds())
        control.setBounds(r);
}

void paintPlainButton(Canvas& canvas, const Rect& local, const Color& fill, const std::string& label) {
    canvas.setPenColor(colorBlack);
    canvas.frameRect(local);
    Rect inside = local;
    inside.inset(1);
    canvas.setBrushColor(fill);
    canvas.fillRect(inside);
    canvas.setTextColor(colorBlack);
    setProductFont(canvas, kLabelFont);
    Rect text = local;
    text.inset(2, 0);
    canvas.drawText(label, text, kCentred);
}

template <class T> ControlValueButton<T>::ControlValueButton(Editor* editor) : ControlValue(editor, Rect()) {
    onValue_ = static_cast<T>(1);
    setHoverAnimation(new TimerAnimation(getOwner(), TimerMessage(this, Code::kTimerTick, kHoverTimerId, 0),
                                         0.0f, 1.0f, kHoverSteps, kHoverMs, false));
    clearFlags(kTextEntry);
}

template <class T> ControlValueButton<T>::~ControlValueButton() {
    if (blinkTimer_ != nullptr) {
        tuneOutOf(blinkTimer_.get());
        blinkTimer_.reset();
    }
    for (Bitmap** skin : {&on_, &off_, &up_, &down_, &blinkImage_, &over_})
        giveBack(*skin);
}

template <class T> ParameterValue<T>* ControlValueButton<T>::valueParameter() const {
    return dynamic_cast<ParameterValue<T>*>(Control::getParameter());
}

template <class T> Parameter* ControlValueButton<T>::getParameter() const {
    return valueParameter();
}

template <class T> bool ControlValueButton<T>::isOn() const {
    if (const ParameterValue<T>* parameter = valueParameter())
        return parameter->getValue() == onValue_;
    return static_cast<T>(getValue()) == onValue_;
}

template <class T> void ControlValueButton<T>::toggle(ParameterValue<T>& parameter) {
    parameter.setValue(parameter.getValue() == onValue_ ? static_cast<T>(0) : onValue_, Sender::kEditor);
}

template <class T> bool ControlValueButton<T>::receive(const Message& message) {
    switch (message.kind) {
    case kKindTimer:
        if (const auto* tick = dynamic_cast<const TimerMessage*>(&message);
            tick != nullptr && tick->code == Code::kTimerTick && tick->timerId == kBlinkTimerId) {
            blinkPhase_.store(!blinkPhase_.load(std::memory_order_relaxed), std::memory_order_relaxed);
            requestRedraw(true);
            return true;
        }
        break;
    case kKindWindow:
        switch (message.code) {
        case 3000:
        case 3003:
            return press();
        case 3002:
        case 3005:
            return releaseButton();
        case 3009:
            return false;
        case 3012:
        case 3014:
            hovering_ = message.code == 3012;
            if (pressed_ && !pushButton_) {
                downLook_ = hovering_;
                requestRedraw(true);
                return true;
            }
            break;
        default:
            break;
        }
        break;
    case kKindParameter: {
        // Any thread: the name is compared in place; off the user-interface thread the blinking is
        // decided at the editor's next tick.
        const auto* change = dynamic_cast<const ParameterMessage*>(&message);
        if (change == nullptr || !blink_ || change->name != getParameterName() ||
            (change->code != Code::kParameterValue && change->code != Code::kParameterReset))
            break;
        if (!ControlValue::receive(message))
            break;
        if (onUserInterfaceThread()) {
            followParameter(change->flags);
        } else {
            pendingSender_.store(change->flags, std::memory_order_release);
            deferControlWork();
        }
        return true;
    }
    default:
        break;
    }
    return ControlValue::receive(message);
}

template <class T> bool ControlValueButton<T>::press() {
    ParameterValue<T>* parameter = valueParameter();
    if (isStayOn() && parameter != nullptr && parameter->getValue() == onValue_)
        return false;
    pressed_ = true;
    downLook_ = true;
    if (parameter != nullptr)
        pressValue_ = parameter->getValue();
    if (blink_)
        setBlinking(true);
    if (pushButton_ && parameter != nullptr)
        toggle(*parameter);
    requestRedraw(true);
    return true;
}

template <class T> bool ControlValueButton<T>::releaseButton() {
    ParameterValue<T>* parameter = valueParameter();
    if (pushButton_) {
        if (parameter != nullptr)
            parameter->setValue(pressValue_, Sender::kEditor);
    } else if (!latchButton_ && downLook_ && parameter != nullptr) {
        toggle(*parameter);
    }
    pressed_ = false;
    downLook_ = false;
    if (testFlags(kAutoReset) != 0 && parameter != nullptr)
        parameter->setValue(static_cast<T>(0), Sender::kSettings);
    if (blink_)
        setBlinking(parameter != nullptr && parameter->getValue() == onValue_);
    requestRedraw(true);
    return true;
}

// A change of the parameter: blinking starts when an editor gesture turned it on and stops when it is off.
template <class T> void ControlValueButton<T>::followParameter(int sender) {
    const ParameterValue<T>* parameter = valueParameter();
    if (parameter == nullptr)
        return;
    if (parameter->getValue() == onValue_) {
        if (sender == Sender::kEditor)
            setBlinking(true);
    } else {
        setBlinking(false);
    }
}

template <class T> void ControlValueButton<T>::applyDeferredControlWork() {
    if (const int sender = pendingSender_.exchange(-1, std::memory_order_acq_rel); sender >= 0)
        followParameter(sender);
}

template <class T> int ControlValueButton<T>::getBlinkPeriod() const {
    return static_cast<int>(
        std::clamp(std::trunc(1000.0 / static_cast<double>(blinkFreq_)), 1.0, kLongestBlinkMs));
}

template <class T> void ControlValueButton<T>::setBlinking(bool on) {
    if (isBlinking() == on)
        return;
    if (on) {
        blinkPhase_.store(true, std::memory_order_relaxed);
        blinkTimer_ =
            std::make_unique<Timer>(getOwner(), TimerMessage(this, Code::kTimerTick, kBlinkTimerId, 0),
                                    getBlinkPeriod(), false, true);
        tuneInTo(blinkTimer_.get());
    } else {
        tuneOutOf(blinkTimer_.get());
        blinkTimer_.reset();
        // A button that stops blinking shows its plain on look when it is on again.
        blinkPhase_.store(false, std::memory_order_relaxed);
    }
    requestRedraw(true);
}

template <class T> void ControlValueButton<T>::setSkin(Bitmap*& slot, Bitmap* skin) {
    giveBack(slot);
    slot = skin;
}

template <class T> bool ControlValueButton<T>::fromDictionary(const Dictionary& spec) {
    ControlValue::fromDictionary(spec);
    if (const ParameterValue<T>* parameter = valueParameter()) {
        onValue_ = parameter->getMax();
        readValue(spec, "value", &onValue_);
        if (parameter->getStepSize() > 0.1)
            setDragSpeed(0.25f);
    }
    std::string name;
    if (spec.getString("handle", &name))
        if (Bitmap* handle = takeBitmap(name)) {
            // One skin for every look: frame 0 off, 1 on (or the hover glow from 3 frames on), 2 on, 3 the
            // blinking on; each use holds a reference of its own.
            const int frames = handle->getFrameCount();
            setSkin(off_, handle);
            setSkin(on_, frames >= 2 ? takeBitmap(name) : nullptr);
            setSkin(over_, frames >= 3 ? takeBitmap(name) : nullptr);
            if (frames >= 3) {
                setSkin(blinkImage_, takeBitmap(name));
                setHoverGlow(true);
                focusWhenOff_ = true;
            }
        }
    for (const auto& [key, slot] :
         {std::pair{"up", &up_}, std::pair{"down", &down_}, std::pair{"on", &on_}, std::pair{"over", &over_},
          std::pair{"off", &off_}, std::pair{"blink", &blinkImage_}})
        readBitmap(spec, key, *slot);
    if (const Bitmap* sized = on_ != nullptr ? on_ : off_)
        sizeToSkin(*this, *sized);
    spec.getBool("focuswhenoff", &focusWhenOff_);
    spec.getBool("focuswhenon", &focusWhenOn_);
    spec.getBool("pushbutton", &pushButton_);
    spec.getBool("latchbutton", &latchButton_);
    spec.getBool("blink", &blink_);
    // Blinks per second: only a positive number has a period.
    if (float frequency = 0.0f;
        spec.getFloat("blinkfreq", &frequency) && frequency > 0.0f && std::isfinite(frequency))
        blinkFreq_ = frequency;
    return true;
}

template <class T> void ControlValueButton<T>::paint(Canvas& canvas, const Rect& /*area*/) {
    const Rect local = getLocalRect();
    if (getBackgroundBitmap() == nullptr && up_ == nullptr && down_ == nullptr && on_ == nullptr) {
        const ParameterValue<T>* parameter = valueParameter();
        const bool on = parameter != nullptr && parameter->getValue() == onValue_;
        paintPlainButton(canvas, local, on ? colorOrange : colorWhite, getLabel());
        return;
    }
    if (up_ != nullptr && down_ != nullptr) {
        if (downLook_) {
            Rect source = local;
            // One skin for both: the down look is its second frame.
            if (up_ == down_)
                source.offset(0, shownPartOf(*down_).getHeight());
            canvas.drawBitmap(down_, source, local);
        } else {
            canvas.drawBitmap(up_, local, local);
        }
    }
    if (on_ != nullptr && off_ != nullptr)
        paintSkins(canvas, local);
}

template <class T> void ControlValueButton<T>::paintSkins(Canvas& canvas, const Rect& local) {
    // A held toggle shows the state it will switch to.
    const bool onLook = isOn() != (downLook_ && !pushButton_);
    if (!onLook) {
        canvas.drawBitmap(off_, local, local);
        if (focusWhenOff_)
            paintHover(canvas, local, off_);
        return;
    }
    if (blink_ && getBlinkPhase()) {
        if (blinkImage_ == on_ || blinkImage_ == nullptr)
            canvas.drawBitmap(on_, on_->getFrame(on_->getFrameCount() >= 4 ? 3 : 0), local);
        else
            canvas.drawBitmap(blinkImage_, local, local);
        return;
    }
    if (on_ == off_)
        canvas.drawBitmap(on_, on_->getFrame(over_ != nullptr ? 2 : 1), local);
    else
        canvas.drawBitmap(on_, local, local); // a skin of its own for the on look
    if (focusWhenOn_)
        paintHover(canvas, local, on_);
}

// The hover glow: the "over" skin washed over what was drawn, as strongly as the hover level.
template <class T>
void ControlValueButton<T>::paintHover(Canvas& canvas, const Rect& local, const Bitmap* drawn) {
    const float level = getHoverLevel();
    if (!(level > 0.0f) || over_ == nullptr)
        return;
    const Rect source = over_ == drawn ? over_->getFrame(1) : local;
    Canvas glow(canvas, local);
    canvas.pushTransparency(level);
    glow.drawBitmap(over_, source, local);
    canvas.copyFrom(glow, local, local);
    canvas.popTransparency();
}

template class ControlValueButton<bool>;
template class ControlValueButton<long>;
template class ControlValueButton<float>;

} // namespace trov
