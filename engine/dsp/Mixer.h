#pragma once

#include "engine/io/IOChannel.h"
#include "framework/Radio.h"

#include <cstdint>

namespace trov {

class IOPin;

// Sums or copies channels and pins with a gain, a pan position and a summing law. Besides plain addition
// it offers two soft-saturating sums that keep the total of many voices from growing without bound.
// Engines embed one to bring voice outputs into their output pins.
// Threads: set up on the user-interface thread; `mix`, `copy`, `mixPin` and `copyPin` run on the audio
// thread, write only into the output they are given and never reach past its size.
class Mixer : public Radio {
public:
    // Summing modes (a output sample, b input sample, g gain, s saturation).
    static constexpr std::int32_t kModeAdd = 0;      // a + b*g
    static constexpr std::int32_t kModeSaturate = 1; // (a + b - a*b*s) * g
    static constexpr std::int32_t kModeSoftAdd = 2;  // a + (1 - |a|*s) * b*g, within +-kSoftAddLimit
    // Pan laws: the factor a signal gets when it is spread from mono to stereo or folded back.
    static constexpr std::int32_t kPanLawSquareRoot = 0; // 1/sqrt(2)
    static constexpr std::int32_t kPanLawDefault = 1;    // 1/(1 + sqrt(2)/2)
    static constexpr std::int32_t kPanLawHalf = 2;       // 0.5
    // Past 1/s the soft add's bend turns into gain, and voice after voice would multiply a loud total until
    // it overflowed: the total is held within this (96 dB above full scale, which no mix that sounds comes
    // near). NaN stays NaN.
    static constexpr float kSoftAddLimit = 65536.0f;

    explicit Mixer(const Module* owner = nullptr);

    void setMode(std::int32_t mode) { mode_ = mode; }
    std::int32_t getMode() const { return mode_; }
    void setSaturation(float saturation) { saturation_ = saturation; }
    float getSaturation() const { return saturation_; }
    // Unknown laws act as the default law.
    void setPanLaw(std::int32_t law);
    std::int32_t getPanLaw() const { return panLaw_; }
    float getPanGain() const { return panGain_; }

    // Combines the input's valid frames into the output by the summing mode (an unknown mode leaves the
    // output alone); the output's valid frames grow to cover them. The soft add runs a vector kernel where
    // the build has one (`usesVectorPath`), with the same results bit for bit.
    void mix(IOChannel<float>& out, const IOChannel<float>& in, float gain) const noexcept;
    // out = in * gain over the input's valid frames; valid frames as for `mix`.
    void copy(IOChannel<float>& out, const IOChannel<float>& in, float gain) const noexcept;
    // Pins channel by channel, spreading mono into stereo and folding stereo into mono; pan 0 is full left,
    // 0.5 centre, 1 full right. Pins of other widths are left alone.
    void mixPin(IOPin& out, const IOPin& in, float gain, float pan) const noexcept;
    void copyPin(IOPin& out, const IOPin& in, float gain, float pan) const noexcept;

private:
    // Frames both channels can take part in: the input's valid frames within the output's size.
    static std::int32_t span(const IOChannel<float>& out, const IOChannel<float>& in) noexcept;
    // Plain scaled addition whatever the mode: the second half of a fold into mono by copy.
    static void add(IOChannel<float>& out, const IOChannel<float>& in, float gain) noexcept;
    template <bool kCopy> void combinePin(IOPin& out, const IOPin& in, float gain, float pan) const noexcept;

    std::int32_t mode_ = kModeAdd;
    std::int32_t panLaw_ = kPanLawDefault;
    float panGain_ = 1.0f;
    float saturation_ = 0.0f;
};

} // namespace trov
