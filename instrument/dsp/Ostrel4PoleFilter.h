#pragma once

#include "engine/dsp/FunctionTable.h"
#include "engine/dsp/effects/Filter.h"
#include "framework/Curves.h"
#include "instrument/AnalogTolerances.h"

#include <array>
#include <cstdint>

namespace trov {

// The resonant four-pole low-pass of the emulated machine, one per voice: a four-stage ladder with its own
// coefficient per stage, a saturating feedback path, a soft-clipped fourth stage and a little noise at its
// input. The response control blends low-pass (0), band-pass (1) and a high-pass-like output (2). Every
// stage coefficient, the feedback and the gain compensation carry their own analog tolerance, asked of
// the instrument plug-in at each `reset`; without one the coefficients stay zero and the filter is silent.
//
// The cutoff follows, every 32 frames, the base cutoff plus the modulation channel set as input 0 (the
// voice's filter envelope) plus the engine's LFO times its depth. A position names the same cutoff in hertz
// at every host rate: the coefficients come from the cutoff table of the filter's rate, fetched when the
// filter is made and when the host's rate changes (never while processing).
//
// Owned by its voice; its owner is the module. A filter of its own follows "VCFResonance" and "VCFResponse"
// as parameter messages on the thread that changes them; a voice's filter is told by its voice on the
// audio thread instead. `reset` runs at note start (it reads the tolerances, prepared beforehand);
// `process` and `processAt` run on the audio thread: noexcept, no allocation, lock or log.
class Ostrel4PoleFilter : public Filter {
public:
    static constexpr std::int32_t kControlPeriod = 32;
    static constexpr float kFeedbackLimit = 0.97f;
    static constexpr double kInputNoise = 0.000601;

    // Asks the owner module's plug-in for its tolerances.
    explicit Ostrel4PoleFilter(const Module* owner);
    // Takes its tolerances from the given source (none: silent).
    Ostrel4PoleFilter(const Module* owner, AnalogTolerances* tolerances);
    // The same; without followParameters it does not tune in to "VCFResonance" and "VCFResponse" (its
    // owner sets them).
    Ostrel4PoleFilter(const Module* owner, AnalogTolerances* tolerances, bool followParameters);
    ~Ostrel4PoleFilter() override;

    // "VCFResonance" and "VCFResponse"; other parameter values are taken and ignored; a MIDI note-off is
    // taken; a host-rate change takes that rate's cutoff table; everything else goes to the effect.
    bool receive(const Message& message) override;
    // Clears the ladder, reads the tolerances afresh and recomputes the coefficients.
    void reset() noexcept override;
    // The tolerances' source from now on, its components prepared; nothing is read before the next
    // `reset`. Where allocating is allowed.
    void attachTolerances(AnalogTolerances* tolerances);
    void updateCoefficients() noexcept override;
    // A new rate or gain: the coefficients again.
    void update() noexcept override { updateCoefficients(); }
    // The channel is a whole block: modulation is read from its first frame on.
    std::int32_t process(const IOChannel<float>& in, IOChannel<float>& out) noexcept override {
        return processAt(in, out, 0);
    }
    // The channel is a part of the block that starts `offset` frames into it, so the modulation is read
    // from there on. Returns the input's valid frames. A ladder that went NaN is cleared after the call.
    std::int32_t processAt(const IOChannel<float>& in, IOChannel<float>& out, std::int32_t offset) noexcept;

    // The resonance is kept within 0..1 as given (the ladder's own range), not within 0.01..0.99.
    void setResonance(float resonance) noexcept override;
    float getResonanceAmount() const noexcept { return resonance_; }
    // The cutoff position the modulation is added to.
    void setBaseCutoff(float cutoff) noexcept { baseCutoff_ = cutoff; }
    float getBaseCutoff() const noexcept { return baseCutoff_; }
    // 0 low-pass .. 1 band-pass .. 2 high-pass-like; kept within 0..2.
    void setResponse(float response) noexcept;
    float getResponse() const noexcept { return response_; }

    // Coefficients, for inspection.
    double getFeedback() const noexcept { return c_.r; }
    double getGainCompensation() const noexcept { return g_; }
    const std::array<double, 4>& getStageFeedback() const noexcept { return c_.k; }
    const std::array<double, 4>& getStageInput() const noexcept { return c_.p; }

    // The feedback's dip around cutoff 0.615 (0.75 there, full 0.13 away) and its ceiling at high cutoffs.
    static double feedbackDip(float cutoff) noexcept;
    static double feedbackCeiling(float cutoff, float limit) noexcept;

private:
    friend class Ostrel4PoleFilterGroup;

    // What a call reads its cutoff modulation from: the modulation channel's and the engine's LFO block,
    // with the LFO's depth as the engine gives it at the call.
    struct Modulation {
        const float* data = nullptr;
        std::int32_t frames = 0;
        const float* lfo = nullptr;
        std::int32_t lfoFrames = 0;
        float depth = 0.0f;
    };

    // The ladder's state and the coefficients of a control period.
    struct Ladder {
        double x1 = 0.0;
        double y1 = 0.0;
        double y2 = 0.0;
        double y3 = 0.0;
        double y4 = 0.0;
    };
    struct Coefficients {
        std::array<double, 4> k{};
        std::array<double, 4> p{};
        double r = 0.0;
    };

    // One frame: the input with its noise, through the ladder; returns the output and steps the state.
    // `gain` (resonance times the gain compensation) weighs the previous fourth stage on the low-pass side.
    template <bool kHighPassSide>
    static double step(float in, double noise, const Coefficients& c, Ladder& ladder, double gain,
                       double response, const FunctionTable<double>& clip) noexcept;

    Modulation currentModulation() const noexcept;
    // The cutoff at a frame of the block: the base plus the modulation and the LFO there.
    float cutoffAt(const Modulation& modulation, std::int32_t frame) const noexcept;
    // A ladder that blew up starts again from silence; the coefficients stand.
    void recoverFromBlowUp() noexcept;
    void clearState() noexcept;
    void readTolerances() noexcept;
    template <bool kHighPassSide>
    void run(const float* in, float* out, std::int32_t frames, double gain, double response) noexcept;

    Ladder ladder_;
    Coefficients c_;
    double g_ = 0.0;
    const FunctionTable<float>* cutoffTable_;
    AnalogTolerances* tolerances_;
    // Read in this order: gain compensation, resonance, then each stage's cutoff and feedback.
    AnalogComponent gainComponent_{"VCF Gain Compensation", 0, 2};
    AnalogComponent resonanceComponent_{"VCF Resonance", 0, 1};
    std::array<AnalogComponent, 4> cutoffComponents_{};
    std::array<AnalogComponent, 4> feedbackComponents_{};
    bool followsParameters_;
    float response_ = 0.0f;
    float resonance_ = 0.0f;
    float baseCutoff_ = 0.0f;
    float resonanceTolerance_ = 1.0f;
    float feedbackLimit_ = kFeedbackLimit;
    std::array<float, 4> cutoffTolerances_{1.0f, 1.0f, 1.0f, 1.0f};
    std::array<float, 4> feedbackTolerances_{1.0f, 1.0f, 1.0f, 1.0f};
    float gainTolerance_ = 1.0f;
};

template <bool kHighPassSide>
inline double Ostrel4PoleFilter::step(float in, double noise, const Coefficients& c, Ladder& ladder,
                                      double gain, double response,
                                      const FunctionTable<double>& clip) noexcept {
    const double feedback = ladder.y4 + 1.5 * (1.35 * saturate(ladder.y4) - ladder.y4);
    const double x = static_cast<double>(in) - c.r * feedback + kInputNoise * noise;
    const double a1 = (x + ladder.x1) * c.p[0] - c.k[0] * ladder.y1;
    const double a2 = (ladder.y1 + a1) * c.p[1] - c.k[1] * ladder.y2;
    const double a3 = (ladder.y2 + a2) * c.p[2] - c.k[2] * ladder.y3;
    const double a4 = clip.lookup((ladder.y3 + a3) * c.p[3] - c.k[3] * ladder.y4);
    const double bandPass = 0.92 * a3 - a4;
    double value;
    if constexpr (kHighPassSide) {
        const double highPass = -0.25 * ((x - a4) - 2.0 * (a3 - a4));
        value = bandPass + (response - 1.0) * (highPass - bandPass);
    } else {
        const double lowPass = a4 + gain * ladder.y4; // the previous fourth stage
        value = lowPass + response * (bandPass - lowPass);
    }
    ladder = Ladder{x, a1, a2, a3, a4};
    return value;
}

} // namespace trov
