#include "engine/dsp/effects/Waveshaper.h"

#include "engine/dsp/FloatIndex.h"
#include "engine/dsp/VectorPath.h"
#include "engine/samples/Sample.h"
#include "engine/zones/Resources.h"
#include "framework/File.h"
#include "framework/Logger.h"

#include <algorithm>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace trov {

namespace {

constexpr const char* kSignature =
    "trov::Waveshaper::Waveshaper(const trov::Module*, const std::string&, const std::string&)";

// One curve as read in a block: its frames 0..N and the frame position p = scale x + offset that an
// input x reads, the window [lo, hi] of the curve spanning -1..1 of the input.
struct CurveView {
    const float* data = nullptr;
    std::int32_t last = 0; // N
    float end = 0.0f;      // N as a float
    float scale = 0.0f;
    float offset = 0.0f;
};

CurveView viewOf(const Sample* curve, float lo, float hi) noexcept {
    if (curve == nullptr)
        return {};
    const SampleInfo& info = curve->getInfo();
    if (info.data == nullptr || info.frames < Waveshaper::kMinCurveFrames)
        return {};
    const std::int32_t last = info.frames - 1;
    // p = (N - 1) (x + lo + 1) (hi - lo) / 2
    const float scale = static_cast<float>(last - 1) * (hi - lo) * 0.5f;
    return {info.data, last, static_cast<float>(last), scale, scale * (lo + 1.0f)};
}

// Where x falls on a curve: frame j and the weight of frame j + 1.
struct Position {
    std::int32_t j;
    float fraction;
};

inline Position positionOf(const CurveView& curve, float x) noexcept {
    // The position is clamped while still a float: NaN, infinite and huge inputs read an end of the curve.
    const float p = clampPosition(curve.scale * x + curve.offset, 0.0f, curve.end);
    // j = rint(p - 0.5), kept below N: from N - 0.5 on it is N - 1.
    const std::int32_t j = roundToInt(std::min(p, curve.end - 0.5f) - 0.5f);
    return {j, p - static_cast<float>(j)};
}

inline float valueAt(const float* data, Position at) noexcept {
    const float a = data[at.j];
    return (data[at.j + 1] - a) * at.fraction + a;
}

// The curve's value at x, interpolated linearly between the frames around its position.
inline float shape(const CurveView& curve, float x) noexcept {
    return valueAt(curve.data, positionOf(curve, x));
}

// Two curves of one length, blended: the scalar form, and the reference of the vector form.
void shapeSharedScalar(const CurveView& a, const float* dataB, float blend, const float* source,
                       float* target, std::int32_t begin, std::int32_t end) noexcept {
    for (std::int32_t i = begin; i < end; ++i) {
        const Position at = positionOf(a, source[i]);
        const float yA = valueAt(a.data, at);
        target[i] = (valueAt(dataB, at) - yA) * blend + yA;
    }
}

#if defined(__SSE2__)
// Four samples at a time, step for step the scalar form's operations (the same results bit for bit); the
// frames are read one by one. Returns the frames done, a multiple of four.
std::int32_t shapeSharedVector(const CurveView& a, const float* dataB, float blend, const float* source,
                               float* target, std::int32_t frames) noexcept {
    const __m128 scale = _mm_set1_ps(a.scale);
    const __m128 offset = _mm_set1_ps(a.offset);
    const __m128 zero = _mm_setzero_ps();
    const __m128 last = _mm_set1_ps(a.end);
    const __m128 lastStart = _mm_set1_ps(a.end - 0.5f);
    const __m128 half = _mm_set1_ps(0.5f);
    const __m128 mix = _mm_set1_ps(blend);
    const float* dataA = a.data;
    alignas(16) std::int32_t j[4];
    std::int32_t i = 0;
    for (; i + 4 <= frames; i += 4) {
        // max and min take NaN to their second operand: NaN reads frame 0, like the scalar clamp.
        const __m128 p = _mm_min_ps(
            _mm_max_ps(_mm_add_ps(_mm_mul_ps(scale, _mm_loadu_ps(source + i)), offset), zero), last);
        const __m128i frame = _mm_cvtps_epi32(_mm_sub_ps(_mm_min_ps(p, lastStart), half));
        const __m128 fraction = _mm_sub_ps(p, _mm_cvtepi32_ps(frame));
        _mm_store_si128(reinterpret_cast<__m128i*>(j), frame);
        const __m128 a0 = _mm_setr_ps(dataA[j[0]], dataA[j[1]], dataA[j[2]], dataA[j[3]]);
        const __m128 a1 = _mm_setr_ps(dataA[j[0] + 1], dataA[j[1] + 1], dataA[j[2] + 1], dataA[j[3] + 1]);
        const __m128 b0 = _mm_setr_ps(dataB[j[0]], dataB[j[1]], dataB[j[2]], dataB[j[3]]);
        const __m128 b1 = _mm_setr_ps(dataB[j[0] + 1], dataB[j[1] + 1], dataB[j[2] + 1], dataB[j[3] + 1]);
        const __m128 yA = _mm_add_ps(_mm_mul_ps(_mm_sub_ps(a1, a0), fraction), a0);
        const __m128 yB = _mm_add_ps(_mm_mul_ps(_mm_sub_ps(b1, b0), fraction), b0);
        _mm_storeu_ps(target + i, _mm_add_ps(_mm_mul_ps(_mm_sub_ps(yB, yA), mix), yA));
    }
    return i;
}
#endif

} // namespace

Waveshaper::Waveshaper(const Module* owner, const std::string& nameA, const std::string& nameB)
    : Effect(owner), nameA_(nameA), nameB_(nameB) {
    curveA_ = acquireCurve(nameA_);
    curveB_ = acquireCurve(nameB_);
}

Waveshaper::~Waveshaper() {
    releaseCurve(curveA_);
    releaseCurve(curveB_);
}

Sample* Waveshaper::acquireCurve(const std::string& name) const {
    Resources* resources = getResources();
    Sample* curve = nullptr;
    if (resources != nullptr && !name.empty()) {
        // Only what is loaded already: no file is read and nobody is asked.
        const Resources::CacheOnlyScope cacheOnly;
        curve = resources->acquireSample(name, File());
    }
    if (curve != nullptr && viewOf(curve, 0.0f, 1.0f).data == nullptr)
        releaseCurve(curve);
    if (curve == nullptr)
        logLine(3, "%s failed to load\tsample %s", kSignature, name.c_str());
    return curve;
}

void Waveshaper::releaseCurve(Sample*& curve) const {
    if (curve == nullptr)
        return;
    if (Resources* resources = getResources())
        resources->releaseSample(curve);
    else
        curve->release();
    curve = nullptr;
}

void Waveshaper::setAmount(float amount) noexcept {
    amount_ = amount >= 0.0f ? std::min(amount, 1.0f) : 0.0f;
}

std::int32_t Waveshaper::process(const IOChannel<float>& in, IOChannel<float>& out) noexcept {
    const std::int32_t frames = std::max(std::min(in.getValidFrames(), out.getSize()), 0);
    const float* source = in.getData();
    float* target = out.getData();
    const float lo = std::max(amount_ - 0.5f, 0.0f);
    const float hi = std::min(amount_ + 0.5f, 1.0f);
    const float gain = getGain();
    const float blend = gain >= 0.0f ? std::min(gain, 1.0f) : 0.0f;
    const CurveView a = viewOf(curveA_, lo, hi);
    const CurveView b = viewOf(curveB_, lo, hi);
    if (a.data != nullptr && b.data != nullptr && a.last == b.last) {
        // Curves of one length share every position.
        std::int32_t done = 0;
#if defined(__SSE2__)
        if (usesVectorPath())
            done = shapeSharedVector(a, b.data, blend, source, target, frames);
#endif
        shapeSharedScalar(a, b.data, blend, source, target, done, frames);
        return out.setValidFrames(frames);
    }
    for (std::int32_t i = 0; i < frames; ++i) {
        const float x = source[i];
        const float yA = a.data != nullptr ? shape(a, x) : x;
        const float yB = b.data != nullptr ? shape(b, x) : x;
        target[i] = (yB - yA) * blend + yA;
    }
    return out.setValidFrames(frames);
}

} // namespace trov
