#pragma once

#include "framework/RelaxedAtomic.h"
#include "plugin/Parameter.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <type_traits>

namespace trov {

class FeedbackConverter;

// A single number or switch with a range, a default and optional steps, for T = bool, long and float.
// It converts between its value and the normalised 0..1 form of the host and the controls, quantises to
// steps, applies the broadcast policy, shows its value in display units (linear, logarithmic,
// exponential, feedback or dB) and keeps a persistent value in the per-user preferences.
// Integers are stored, written and sent as 32 bits whatever the width of long.
// Threads: set on any one thread at a time (user interface, host automation, MIDI); the value and the
// feedback value are read lock-free, so the audio thread may read them while they change.
template <class T> class ParameterValue : public Parameter {
public:
    using Stored = std::conditional_t<std::is_same_v<T, long>, std::int32_t, T>;

    static constexpr std::int32_t kScalingLinear = 0;
    static constexpr std::int32_t kScalingLogarithmic = 1;
    static constexpr std::int32_t kScalingExponential = 2;
    static constexpr std::int32_t kScalingFeedback = 3;
    static constexpr std::int32_t kScalingDecibel = 4;

    ParameterValue(const Module* owner, std::string identifier, std::string label, const T& min, const T& def,
                   const T& max);
    ParameterValue(const ParameterValue& other);
    ~ParameterValue() override;

    void init() override;
    void exit() override;
    bool receive(const Message& message) override;
    void listenerAdded(Radio* listener) override;
    MessageWord getValueWord() const noexcept override;
    void reset() override;
    float getNormalized() const noexcept override;
    void setNormalized(float value, int sender) override;
    std::string getText() const override;
    // False, changing nothing, when the text does not begin with a value.
    bool setText(const std::string& text, int sender) override;
    double getStepSize() const override;
    std::int32_t getNumSteps() const override;
    std::int32_t getType() const override;
    void read(const Dictionary& item) override;
    void write(Dictionary& dictionary) const override;
    void notifyListeners() override;

    virtual T getValue() const noexcept { return static_cast<T>(value_.load(std::memory_order_relaxed)); }
    virtual T getMin() const { return static_cast<T>(min_); }
    virtual T getMax() const { return static_cast<T>(max_); }
    virtual T getDefault() const { return static_cast<T>(default_); }
    virtual bool isRanged() const { return true; }
    virtual T getDisplayValue() const;
    // Stores the value the feedback scaling shows; sends nothing.
    virtual void setFeedbackValue(const T& value, int sender);
    virtual void setDisplayMin(float min) { displayMin_ = min; }
    virtual void setDisplayMax(float max) { displayMax_ = max; }
    virtual void setDisplayRange(float min, float max);
    virtual void setFeedbackConverter(FeedbackConverter* converter) { feedbackConverter_ = converter; }
    virtual T getCurvedValue() const;
    // The one path by which the value changes: clamped, quantised, then taken and broadcast as the
    // broadcast policy says.
    virtual void setValue(const T& value, int sender);
    virtual void setMin(const T& min);
    virtual void setMax(const T& max);
    virtual void setRange(const T& min, const T& max);
    virtual void setDefault(const T& def);
    virtual void setStep(const T& step);
    virtual void setDisplayValue(const T& display, int sender);

    std::int32_t getScaling() const { return scaling_; }
    float getDisplayMin() const { return displayMin_; }
    float getDisplayMax() const { return displayMax_; }
    float getBase() const { return base_; }
    std::int32_t getPrecision() const { return precision_; }

private:
    static Stored narrow(double value) noexcept;
    static MessageWord toWord(Stored value) noexcept;
    static Stored fromWord(MessageWord word) noexcept;

    // The normalised value in double precision.
    double position() const noexcept;
    bool isStepped() const;
    void setFromDouble(double value, int sender);
    double displayFromNormalized(double normalized) const;
    double normalizedFromDisplay(double display) const;

    std::atomic<Stored> value_;
    // The range, default, step and display range may be changed by a command (the pitch-bend range) while
    // another thread converts a value.
    RelaxedAtomic<Stored> min_;
    RelaxedAtomic<Stored> max_;
    RelaxedAtomic<Stored> default_;
    RelaxedAtomic<Stored> step_{};
    bool alwaysStepped_ = std::is_same_v<T, long>;
    std::int32_t curveMode_ = 0;
    float curveBase_ = 2.0f;
    std::int32_t scaling_ = kScalingLinear;
    // Written by whichever listener computes it (under the parameter's broadcast), read for display.
    std::atomic<Stored> feedbackValue_{};
    RelaxedAtomic<float> displayMin_;
    RelaxedAtomic<float> displayMax_;
    float base_ = 2.0f;
    std::int32_t precision_ = 2;
    FeedbackConverter* feedbackConverter_ = nullptr;
};

extern template class ParameterValue<bool>;
extern template class ParameterValue<long>;
extern template class ParameterValue<float>;

} // namespace trov
