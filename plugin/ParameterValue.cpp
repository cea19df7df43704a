#include "plugin/ParameterValue.h"

#include "framework/Dictionary.h"
#include "framework/Preferences.h"
#include "plugin/FeedbackConverter.h"
#include "plugin/ParameterMath.h"
#include "plugin/Settings.h"
#include "plugin/ValueScaling.h"

#include <algorithm>
#include <cmath>
#include <iomanip>
#include <limits>
#include <locale>
#include <sstream>

namespace trov {

namespace {

// Below this step size a value is not quantised.
constexpr double kSmallestStep = 1.1920928955078125e-07; // 2^-23
// The step size reported for an unstepped value.
constexpr double kUnstepped = 2.220446049250313e-16;
constexpr std::int32_t kMaxPrecision = 17;

// A document's value: a text that is not wholly a number (a finite one for a float) is refused.
template <class T> bool readTyped(const Dictionary& item, const std::string& key, T* out, bool* refused) {
    if constexpr (std::is_same_v<T, bool>) {
        return item.getBool(key, out);
    } else if constexpr (std::is_same_v<T, float>) {
        return item.getFiniteFloat(key, out, refused);
    } else {
        std::int32_t value = 0;
        if (!item.getWholeLong(key, &value, refused))
            return false;
        *out = value;
        return true;
    }
}

template <class T> bool readPreference(const Preferences& preferences, const std::string& name, T* out) {
    if constexpr (std::is_same_v<T, bool>) {
        return preferences.getBool(name, *out);
    } else if constexpr (std::is_same_v<T, float>) {
        return preferences.getFloat(name, *out);
    } else {
        std::int32_t value = 0;
        if (!preferences.getLong(name, value))
            return false;
        *out = value;
        return true;
    }
}

} // namespace

template <class T>
ParameterValue<T>::ParameterValue(const Module* owner, std::string identifier, std::string label,
                                  const T& min, const T& def, const T& max)
    : Parameter(owner, std::move(identifier), std::move(label)), value_(narrow(static_cast<double>(def))),
      min_(narrow(static_cast<double>(min))), max_(narrow(static_cast<double>(max))),
      default_(narrow(static_cast<double>(def))), displayMin_(static_cast<float>(min_)),
      displayMax_(static_cast<float>(max_)) {}

template <class T>
ParameterValue<T>::ParameterValue(const ParameterValue& other)
    : Parameter(other), value_(other.value_.load(std::memory_order_relaxed)), min_(other.min_),
      max_(other.max_), default_(other.default_), step_(other.step_), alwaysStepped_(other.alwaysStepped_),
      curveMode_(other.curveMode_), curveBase_(other.curveBase_), scaling_(other.scaling_),
      feedbackValue_(other.feedbackValue_.load(std::memory_order_relaxed)), displayMin_(other.displayMin_),
      displayMax_(other.displayMax_), base_(other.base_), precision_(other.precision_),
      feedbackConverter_(other.feedbackConverter_) {}

template <class T> ParameterValue<T>::~ParameterValue() = default;

template <class T> typename ParameterValue<T>::Stored ParameterValue<T>::narrow(double value) noexcept {
    if constexpr (std::is_same_v<T, bool>)
        return value != 0.0;
    else if constexpr (std::is_same_v<T, float>)
        return static_cast<float>(value);
    else
        return detail::saturate32(detail::roundHalfEven(value));
}

template <class T> MessageWord ParameterValue<T>::toWord(Stored value) noexcept {
    if constexpr (std::is_same_v<T, float>)
        return floatToWord(value);
    else
        return static_cast<MessageWord>(static_cast<std::intptr_t>(value));
}

template <class T> typename ParameterValue<T>::Stored ParameterValue<T>::fromWord(MessageWord word) noexcept {
    if constexpr (std::is_same_v<T, bool>)
        return word != 0;
    else if constexpr (std::is_same_v<T, float>)
        return wordToFloat(word);
    else
        return static_cast<std::int32_t>(static_cast<std::intptr_t>(word));
}

template <class T> void ParameterValue<T>::init() {
    if (!testFlags(kPersistent))
        return;
    if (const auto preferences = openPreferences()) {
        T stored{};
        if (readPreference(*preferences, getName(), &stored))
            setValue(stored, Sender::kSettings);
    }
}

template <class T> void ParameterValue<T>::exit() {
    if (!testFlags(kPersistent))
        return;
    const auto preferences = openPreferences();
    if (!preferences)
        return;
    // A value that cannot be stored is lost for the next run only; nothing else depends on it.
    const Stored value = value_.load(std::memory_order_relaxed);
    if constexpr (std::is_same_v<T, bool>)
        (void)preferences->setBool(getName(), value);
    else if constexpr (std::is_same_v<T, float>)
        (void)preferences->setFloat(getName(), value);
    else
        (void)preferences->setLong(getName(), value);
}

template <class T> bool ParameterValue<T>::receive(const Message& message) {
    const auto* change = dynamic_cast<const ParameterMessage*>(&message);
    if (change == nullptr || message.kind != kKindParameter)
        return false;
    switch (message.code) {
    case Code::kParameterValue:
        setNormalized(change->value, change->flags);
        break;
    case Code::kParameterReset:
        setValue(getDefault(), change->flags);
        break;
    case Code::kParameterSetFromExtra:
        setFeedbackValue(static_cast<T>(fromWord(message.extra)), change->flags);
        break;
    default:
        break;
    }
    return false;
}

template <class T> MessageWord ParameterValue<T>::getValueWord() const noexcept {
    return toWord(value_.load(std::memory_order_relaxed));
}

template <class T> void ParameterValue<T>::listenerAdded(Radio* listener) {
    sendTo(listener, currentMessage(Sender::kNewListener));
}

template <class T> void ParameterValue<T>::notifyListeners() {
    broadcast(currentMessage(Sender::kSettings));
}

template <class T> void ParameterValue<T>::reset() {
    setValue(getDefault(), Sender::kSettings);
}

template <class T> double ParameterValue<T>::position() const noexcept {
    const double value = static_cast<double>(value_.load(std::memory_order_relaxed));
    if constexpr (std::is_same_v<T, bool>)
        return value != 0.0 ? 1.0 : 0.0;
    const double span = static_cast<double>(max_) - static_cast<double>(min_);
    // A range without width has no position in it.
    if (span == 0.0)
        return 0.0;
    return (value - static_cast<double>(min_)) / span;
}

template <class T> float ParameterValue<T>::getNormalized() const noexcept {
    return static_cast<float>(position());
}

template <class T> void ParameterValue<T>::setNormalized(float value, int sender) {
    if (std::isnan(value))
        return;
    if constexpr (std::is_same_v<T, bool>) {
        setValue(value >= 0.5f, sender);
    } else {
        const double span = static_cast<double>(max_) - static_cast<double>(min_);
        double offset = static_cast<double>(value) * span;
        if constexpr (std::is_same_v<T, long>)
            offset = detail::roundHalfEven(offset);
        setFromDouble(static_cast<double>(min_) + offset, sender);
    }
}

template <class T> void ParameterValue<T>::setValue(const T& value, int sender) {
    setFromDouble(static_cast<double>(value), sender);
}

template <class T> void ParameterValue<T>::setFromDouble(double value, int sender) {
    if (std::isnan(value))
        return;
    const double lo = std::min(static_cast<double>(min_), static_cast<double>(max_));
    const double hi = std::max(static_cast<double>(min_), static_cast<double>(max_));
    value = std::clamp(value, lo, hi);
    const double step = getStepSize();
    if (step > kSmallestStep) {
        // Steps count from zero; the grid point may lie outside a range that does not start on it.
        value = std::clamp(step * detail::roundHalfEven(value / step), lo, hi);
    }
    const Stored next = narrow(value);
    if (!policyAccepts(next == value_.load(std::memory_order_relaxed)))
        return;
    value_.store(next, std::memory_order_relaxed);
    broadcast(makeMessage(toWord(next), getNormalized(), sender));
}

template <class T> bool ParameterValue<T>::isStepped() const {
    if (alwaysStepped_)
        return true;
    const Settings* settings = getSettings();
    return settings != nullptr && settings->getStepParameters();
}

template <class T> double ParameterValue<T>::getStepSize() const {
    if (!isStepped())
        return kUnstepped;
    if constexpr (std::is_same_v<T, bool>) {
        return 1.0;
    } else if constexpr (std::is_same_v<T, long>) {
        if (step_ != 0)
            return static_cast<double>(step_);
        const double span = static_cast<double>(max_) - static_cast<double>(min_);
        return span + 1.0 <= 1.0 ? 0.0 : 1.0 / span;
    } else {
        return static_cast<double>(step_);
    }
}

template <class T> std::int32_t ParameterValue<T>::getNumSteps() const {
    if (!isStepped())
        return kContinuous;
    if constexpr (std::is_same_v<T, bool>) {
        return 2;
    } else if constexpr (std::is_same_v<T, long>) {
        if (step_ != 0)
            return detail::toCount(detail::roundHalfEven(1.0 / static_cast<double>(step_)));
        return detail::toCount(static_cast<double>(max_) - static_cast<double>(min_) + 1.0);
    } else {
        const double whole = std::trunc(static_cast<double>(step_));
        if (whole == 0.0)
            return kContinuous;
        return detail::toCount(detail::roundHalfEven(1.0 / whole));
    }
}

template <class T> std::int32_t ParameterValue<T>::getType() const {
    if constexpr (std::is_same_v<T, bool>)
        return kTypeBool;
    else if constexpr (std::is_same_v<T, float>)
        return kTypeFloat;
    else
        return kTypeLong;
}

template <class T> void ParameterValue<T>::read(const Dictionary& item) {
    Parameter::read(item);

    std::int32_t steps = 0;
    // Fewer than two steps would divide by zero or invert the range.
    if (item.getLong("steps", &steps) && steps >= 2) {
        const double span = static_cast<double>(max_) - static_cast<double>(min_);
        const double step = span / static_cast<double>(steps - 1);
        if constexpr (std::is_same_v<T, long>)
            step_ = detail::saturate32(std::trunc(step));
        else
            step_ = narrow(step);
    }
    if (const Dictionary::View entry = item.findEntry("steps"))
        if (entry->getAttribute("mode") == "always")
            alwaysStepped_ = true;

    std::string unit;
    if (item.getString("unit", &unit))
        setUnit(unit);

    if (const Dictionary::View display = item.getDictionary("display")) {
        std::string scaling;
        if (display->getString("scaling", &scaling)) {
            static const char* const names[] = {"linear", "logarithmic", "exponential", "feedback", "dB"};
            for (std::int32_t code = 0; code < 5; ++code)
                if (scaling == names[code])
                    scaling_ = code;
        }
        float shown = 0.0f;
        displayMin_ = display->getFloat("min", &shown) ? shown : static_cast<float>(min_);
        displayMax_ = display->getFloat("max", &shown) ? shown : static_cast<float>(max_);
        std::int32_t precision = 2;
        display->getLong("precision", &precision);
        // More decimals than a double holds only make the text longer.
        precision_ = std::clamp(precision, 0, kMaxPrecision);
    }
    base_ = scaling_ == kScalingExponential ? 32.0f : 2.0f;

    // A value that is not wholly a finite number would read as its leading digits, as 0 (a master volume
    // of 0 silences everything) or as a bound: it is refused, as a NaN is, and the parameter keeps the
    // value it had.
    T value{};
    bool refused = false;
    if (readTyped(item, "value", &value, &refused))
        setValue(value, Sender::kDocument);
    else if (refused)
        logRefusedValue(item);
}

template <class T> void ParameterValue<T>::write(Dictionary& dictionary) const {
    const Stored value = value_.load(std::memory_order_relaxed);
    if constexpr (std::is_same_v<T, bool>)
        dictionary.setBool(getName(), value, getInstance(), true);
    else if constexpr (std::is_same_v<T, float>)
        dictionary.setFloat(getName(), value, getInstance(), true);
    else
        dictionary.setInteger(getName(), value, getInstance(), true);
}

template <class T> void ParameterValue<T>::setFeedbackValue(const T& value, int /*sender*/) {
    feedbackValue_.store(narrow(static_cast<double>(value)), std::memory_order_relaxed);
}

template <class T> void ParameterValue<T>::setDisplayRange(float min, float max) {
    setDisplayMin(min);
    setDisplayMax(max);
}

template <class T> void ParameterValue<T>::setMin(const T& min) {
    min_ = narrow(static_cast<double>(min));
}

template <class T> void ParameterValue<T>::setMax(const T& max) {
    max_ = narrow(static_cast<double>(max));
}

template <class T> void ParameterValue<T>::setRange(const T& min, const T& max) {
    setMin(min);
    setMax(max);
}

template <class T> void ParameterValue<T>::setDefault(const T& def) {
    default_ = narrow(static_cast<double>(def));
}

template <class T> void ParameterValue<T>::setStep(const T& step) {
    step_ = narrow(static_cast<double>(step));
}

// Display units.

template <class T> double ParameterValue<T>::displayFromNormalized(double n) const {
    const double a = displayMin_;
    const double b = displayMax_;
    switch (scaling_) {
    case kScalingLogarithmic:
        // A geometric range needs two positive bounds; otherwise the display stays linear.
        if (a > 0.0 && b > 0.0)
            return scaleLinearToLog({0.0, 1.0}, n, {a, b});
        break;
    case kScalingExponential:
        return a + (b - a) * std::log(1.0 + (base_ - 1.0) * n) / std::log(static_cast<double>(base_));
    case kScalingFeedback:
        return static_cast<double>(feedbackValue_.load(std::memory_order_relaxed));
    case kScalingDecibel: {
        const double value = static_cast<double>(value_.load(std::memory_order_relaxed));
        return value > 0.0 ? 12.0 * std::log2(value) : -std::numeric_limits<double>::infinity();
    }
    default:
        break;
    }
    return a + (b - a) * n;
}

template <class T> double ParameterValue<T>::normalizedFromDisplay(double d) const {
    const double a = displayMin_;
    const double b = displayMax_;
    switch (scaling_) {
    case kScalingLogarithmic:
        if (a > 0.0 && b > 0.0 && a != b)
            return scaleLogToLinear({a, b}, d, {0.0, 1.0});
        break;
    case kScalingExponential:
        if (a == b)
            return 0.0;
        return (std::pow(static_cast<double>(base_), (d - a) / (b - a)) - 1.0) / (base_ - 1.0);
    case kScalingFeedback:
        return feedbackConverter_ != nullptr ? feedbackConverter_->getNormalized(static_cast<float>(d)) : 0.0;
    case kScalingDecibel:
        return 0.5 * std::exp2(d / 12.0);
    default:
        break;
    }
    return a == b ? 0.0 : (d - a) / (b - a);
}

template <class T> T ParameterValue<T>::getDisplayValue() const {
    const double display = displayFromNormalized(position());
    if constexpr (std::is_same_v<T, bool>) {
        return display != 0.0;
    } else if constexpr (std::is_same_v<T, float>) {
        return static_cast<float>(display);
    } else {
        // Whole numbers are truncated toward zero, but one that the arithmetic missed by a hair (-7 shown
        // through a range of -100..100 comes out as -6.99999...) is that number.
        const double nearest = std::round(display);
        const bool whole = std::abs(display - nearest) <= 1e-9 * std::max(1.0, std::abs(display));
        return detail::saturate32(whole ? nearest : std::trunc(display));
    }
}

template <class T> void ParameterValue<T>::setDisplayValue(const T& display, int sender) {
    setNormalized(static_cast<float>(normalizedFromDisplay(static_cast<double>(display))), sender);
}

template <class T> std::string ParameterValue<T>::getText() const {
    const T display = getDisplayValue();
    if constexpr (std::is_same_v<T, bool>) {
        return display ? "true" : "false";
    } else if constexpr (std::is_same_v<T, float>) {
        if (std::isinf(display))
            return display > 0 ? "oo" : "-oo";
        std::ostringstream out;
        out.imbue(std::locale::classic());
        out << std::right << std::boolalpha << std::fixed << std::setprecision(precision_) << display;
        return out.str();
    } else {
        return std::to_string(display);
    }
}

template <class T> bool ParameterValue<T>::setText(const std::string& text, int sender) {
    std::istringstream in(text);
    in.imbue(std::locale::classic());
    T display{};
    in >> std::boolalpha >> display;
    if (in.fail())
        return false;
    setDisplayValue(display, sender);
    return true;
}

template <class T> T ParameterValue<T>::getCurvedValue() const {
    const double min = static_cast<double>(min_);
    const double span = static_cast<double>(max_) - min;
    const double x = static_cast<double>(value_.load(std::memory_order_relaxed));
    const double c = curveBase_;
    double curved = min + span * getNormalized();
    if (curveMode_ == 1)
        curved = min + span * (std::pow(c, x) - 1.0) / (c - 1.0);
    else if (curveMode_ == 2)
        curved = min + span * std::log(1.0 + (c - 1.0) * x) / std::log(c);
    return static_cast<T>(narrow(curved));
}

template class ParameterValue<bool>;
template class ParameterValue<long>;
template class ParameterValue<float>;

} // namespace trov
