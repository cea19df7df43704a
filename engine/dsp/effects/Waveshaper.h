#pragma once

#include "engine/dsp/effects/Effect.h"

#include <cstdint>
#include <string>

namespace trov {

class Sample;

// Maps every sample through two transfer curves (named resource samples, such as the measured responses
// of an input stage, clean and driven) and blends the two results by the effect's gain (0: curve A,
// 1: curve B). The amount (0..1) picks the window of the curves that -1..1 reads, 0.5 being all of it.
// The curves are taken only from samples the resources already hold: building one at note start never
// reads a file or asks the user. A missing curve (or one under 3 frames) is logged and passes the input
// through. Owned by the voice that chains it; built and set up off the audio thread, `process` runs on it
// (noexcept, no allocation).
class Waveshaper : public Effect {
public:
    // The fewest frames a curve must have to be read.
    static constexpr std::int32_t kMinCurveFrames = 3;

    Waveshaper(const Module* owner, const std::string& nameA, const std::string& nameB);
    Waveshaper(const Waveshaper&) = delete;
    Waveshaper& operator=(const Waveshaper&) = delete;
    // Gives both curves back to the resources.
    ~Waveshaper() override;

    // Kept within 0..1 (NaN reads as 0).
    void setAmount(float amount) noexcept;
    float getAmount() const noexcept { return amount_; }
    const std::string& getNameA() const noexcept { return nameA_; }
    const std::string& getNameB() const noexcept { return nameB_; }
    bool hasCurveA() const noexcept { return curveA_ != nullptr; }
    bool hasCurveB() const noexcept { return curveB_ != nullptr; }

    std::int32_t render(IOChannel<float>& out) noexcept override { return out.setValidFrames(0); }
    std::int32_t process(const IOChannel<float>& in, IOChannel<float>& out) noexcept override;

private:
    // The cached sample of the name with a reference held, or null (logged) when it is not loaded or too
    // short to read.
    Sample* acquireCurve(const std::string& name) const;
    void releaseCurve(Sample*& curve) const;

    std::string nameA_;
    std::string nameB_;
    Sample* curveA_ = nullptr;
    Sample* curveB_ = nullptr;
    float amount_ = 0.5f;
};

} // namespace trov
