#pragma once

#include "engine/dsp/effects/Effect.h"

#include <cstdint>
#include <vector>

namespace trov {

// The interface of one equaliser band: a type, a frequency kept normalised (0..1) between a lowest and a
// highest frequency in Hz, three shape values and a gain (always 0 for the types 1, 2 and 3, which have
// none). A changed setting updates the band; NaN settings are ignored. It carries no filtering of its own: a
// band implements processing and the two responses the editor draws (one value per pixel column).
//
// Owned by its module. Settings and responses belong to the user-interface thread; processing to the audio
// thread.
class EQ : public Effect {
public:
    // A band over minHz..maxHz; an empty or non-finite range throws std::invalid_argument.
    EQ(const Module* owner, float minHz, float maxHz);

    // Refuses (false, nothing changes) an empty range (max = min) or a non-finite bound.
    bool setFrequencyRange(float minHz, float maxHz) noexcept;
    float getMinFrequency() const noexcept { return minFrequency_; }
    float getMaxFrequency() const noexcept { return maxFrequency_; }

    // Types 1, 2 and 3 have no gain: switching to one clears it.
    virtual void setType(std::int32_t type) noexcept;
    // Clamped into 0..1; NaN is ignored.
    virtual void setFrequencyNormalized(float normalized) noexcept;
    // Hz into 0..1 between the bounds.
    virtual void setFrequency(float hz) noexcept;
    virtual void setShape1(float value) noexcept;
    virtual void setShape2(float value) noexcept;
    virtual void setShape3(float value) noexcept;
    virtual float getShape3() const noexcept { return shape3_; }
    // Stores 0 for the types 1, 2 and 3.
    virtual void setGain(float gain) noexcept;
    // Stored without an update.
    virtual void setExtra(float value) noexcept { extra_ = value; }

    std::int32_t getType() const noexcept { return type_; }
    float getFrequencyNormalized() const noexcept { return frequency_; }
    // minimum + (maximum - minimum) x normalised.
    float getFrequency() const noexcept;
    float getGain() const noexcept { return gain_; }
    float getExtra() const noexcept { return extra_; }

    // Fills every value of the vector (sized by the caller to the drawing width): response 1 is the
    // secondary one, any other the primary one.
    void fillResponse(int which, std::vector<float>& values) const;
    virtual void fillPrimaryResponse(std::vector<float>& values) const = 0;
    virtual void fillSecondaryResponse(std::vector<float>& values) const = 0;

    static bool hasNoGain(std::int32_t type) noexcept { return type >= 1 && type <= 3; }

private:
    // Stores a changed value and updates; NaN is ignored.
    void change(float& field, float value) noexcept;

    float minFrequency_;
    float maxFrequency_;
    std::int32_t type_ = 0;
    float frequency_ = 0.0f;
    float shape1_ = 0.0f;
    float shape2_ = 0.0f;
    float shape3_ = 0.0f;
    float gain_ = 0.0f;
    float extra_ = 0.0f;
};

} // namespace trov
