#include "engine/dsp/Mixer.h"

#include "engine/dsp/VectorPath.h"
#include "engine/io/IOPin.h"

#include <algorithm>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace trov {

Mixer::Mixer(const Module* owner) : Radio(owner) {
    setPanLaw(kPanLawDefault);
}

void Mixer::setPanLaw(std::int32_t law) {
    panLaw_ = law;
    switch (law) {
    case kPanLawSquareRoot:
        panGain_ = 1.0f / std::sqrt(2.0f);
        break;
    case kPanLawHalf:
        panGain_ = 0.5f;
        break;
    default:
        panGain_ = 1.0f / (1.0f + std::sqrt(2.0f) / 2.0f);
        break;
    }
}

namespace {
// One soft add, the total held within the limit: the scalar form, and the reference of the vector form.
inline float softAdd(float a, float b, float s, float gain) noexcept {
    const float sum = a + (1.0f - std::fabs(a) * s) * b * gain;
    const float below = Mixer::kSoftAddLimit < sum ? Mixer::kSoftAddLimit : sum;
    return -Mixer::kSoftAddLimit > below ? -Mixer::kSoftAddLimit : below;
}

#if defined(__SSE2__)
// Four samples at a time with the scalar form's operations (the same results bit for bit): minimum and
// maximum give their second operand for NaN, as the scalar selects do. Returns the frames done, a multiple
// of four.
std::int32_t softAddVector(float* a, const float* b, std::int32_t frames, float s, float gain) noexcept {
    const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff));
    const __m128 one = _mm_set1_ps(1.0f);
    const __m128 saturation = _mm_set1_ps(s);
    const __m128 scale = _mm_set1_ps(gain);
    const __m128 high = _mm_set1_ps(Mixer::kSoftAddLimit);
    const __m128 low = _mm_set1_ps(-Mixer::kSoftAddLimit);
    std::int32_t i = 0;
    for (; i + 4 <= frames; i += 4) {
        const __m128 x = _mm_loadu_ps(a + i);
        const __m128 bend = _mm_sub_ps(one, _mm_mul_ps(_mm_and_ps(x, magnitude), saturation));
        const __m128 sum = _mm_add_ps(x, _mm_mul_ps(_mm_mul_ps(bend, _mm_loadu_ps(b + i)), scale));
        _mm_storeu_ps(a + i, _mm_max_ps(low, _mm_min_ps(high, sum)));
    }
    return i;
}
#endif

// Most calls find the count already covered: skip the call then.
inline void growValidFrames(IOChannel<float>& out, std::int32_t frames) {
    if (frames > out.getValidFrames())
        out.setValidFrames(frames);
}
} // namespace

std::int32_t Mixer::span(const IOChannel<float>& out, const IOChannel<float>& in) noexcept {
    if (out.getData() == nullptr || in.getData() == nullptr)
        return 0;
    return std::max(std::min(in.getValidFrames(), out.getSize()), 0);
}

void Mixer::mix(IOChannel<float>& out, const IOChannel<float>& in, float gain) const noexcept {
    const std::int32_t n = span(out, in);
    float* a = out.getData();
    const float* b = in.getData();
    const float s = saturation_;
    switch (mode_) {
    case kModeAdd:
        for (std::int32_t i = 0; i < n; ++i)
            a[i] += b[i] * gain;
        break;
    case kModeSaturate:
        for (std::int32_t i = 0; i < n; ++i)
            a[i] = (a[i] + b[i] - a[i] * b[i] * s) * gain;
        break;
    case kModeSoftAdd: {
        std::int32_t done = 0;
#if defined(__SSE2__)
        if (usesVectorPath())
            done = softAddVector(a, b, n, s, gain);
#endif
        for (std::int32_t i = done; i < n; ++i)
            a[i] = softAdd(a[i], b[i], s, gain);
        break;
    }
    default:
        return;
    }
    growValidFrames(out, n);
}

void Mixer::copy(IOChannel<float>& out, const IOChannel<float>& in, float gain) const noexcept {
    const std::int32_t n = span(out, in);
    float* a = out.getData();
    const float* b = in.getData();
    for (std::int32_t i = 0; i < n; ++i)
        a[i] = b[i] * gain;
    growValidFrames(out, n);
}

void Mixer::add(IOChannel<float>& out, const IOChannel<float>& in, float gain) noexcept {
    const std::int32_t n = span(out, in);
    float* a = out.getData();
    const float* b = in.getData();
    for (std::int32_t i = 0; i < n; ++i)
        a[i] += b[i] * gain;
    growValidFrames(out, n);
}

void Mixer::mixPin(IOPin& out, const IOPin& in, float gain, float pan) const noexcept {
    combinePin<false>(out, in, gain, pan);
}

void Mixer::copyPin(IOPin& out, const IOPin& in, float gain, float pan) const noexcept {
    combinePin<true>(out, in, gain, pan);
}

template <bool kCopy>
void Mixer::combinePin(IOPin& out, const IOPin& in, float gain, float pan) const noexcept {
    const std::int32_t outWidth = out.getWidth();
    const std::int32_t inWidth = in.getWidth();
    if ((outWidth != 1 && outWidth != 2) || (inWidth != 1 && inWidth != 2))
        return;
    IOChannel<float>* out0 = out.getChannel(0);
    IOChannel<float>* out1 = outWidth == 2 ? out.getChannel(1) : nullptr;
    const IOChannel<float>* in0 = in.getChannel(0);
    const IOChannel<float>* in1 = inWidth == 2 ? in.getChannel(1) : nullptr;
    if (out0 == nullptr || in0 == nullptr || (outWidth == 2 && out1 == nullptr) ||
        (inWidth == 2 && in1 == nullptr))
        return;
    auto put = [this](IOChannel<float>& to, const IOChannel<float>& from, float g) {
        if constexpr (kCopy)
            copy(to, from, g);
        else
            mix(to, from, g);
    };
    const float left = std::min(1.0f - pan, 0.5f) * 2.0f;
    const float right = std::min(pan, 0.5f) * 2.0f;
    if (outWidth == 1 && inWidth == 1) {
        put(*out0, *in0, gain);
    } else if (outWidth == 1) {
        put(*out0, *in0, left * gain * panGain_);
        // A fold by copy adds the right side to the copied left rather than overwriting it.
        if constexpr (kCopy)
            add(*out0, *in1, right * gain * panGain_);
        else
            mix(*out0, *in1, right * gain * panGain_);
    } else if (inWidth == 1) {
        put(*out0, *in0, left * gain * panGain_);
        put(*out1, *in0, right * gain * panGain_);
    } else {
        put(*out0, *in0, left * gain);
        put(*out1, *in1, right * gain);
    }
}

} // namespace trov
