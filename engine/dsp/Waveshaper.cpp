#include "engine/dsp/Waveshaper.h"

#include "engine/Sample.h"
#include "engine/zones/Resources.h"
#include "framework/File.h"
#include "framework/Logger.h"

#include <algorithm>
#include <cmath>

namespace trov {

namespace {

constexpr const char* kSignature =
    "trov::Waveshaper::Waveshaper(const trov::Module*, const std::string&, const std::string&)";

// One curve's data as read in a block: the frames and the last index N (a curve spans frames 0..N).
struct CurveView {
    const float* data = nullptr;
    std::int32_t last = 0;
};

CurveView viewOf(const Sample* curve) noexcept {
    if (curve == nullptr)
        return {};
    const SampleInfo& info = curve->getInfo();
    if (info.data == nullptr || info.frames < Waveshaper::kMinCurveFrames)
        return {};
    return {info.data, info.frames - 1};
}

// The curve's value at x: the window [lo, hi] of the curve maps onto -1..1 of the input, read with linear
// interpolation between frames 0..N.
inline float shape(const CurveView& curve, float x, float lo, float width) noexcept {
    const auto last = static_cast<float>(curve.last);
    // The position is clamped while still a float: NaN, infinite and huge inputs read an end of the curve.
    const float p = std::fmin(std::fmax((last - 1.0f) * ((x + lo + 1.0f) * width), 0.0f), last);
    const std::int32_t j = std::min(static_cast<std::int32_t>(std::rint(p - 0.5f)), curve.last - 1);
    const float a = curve.data[j];
    return (curve.data[j + 1] - a) * (p - static_cast<float>(j)) + a;
}

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
    if (curve != nullptr && viewOf(curve).data == nullptr)
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
    const float width = (hi - lo) * 0.5f;
    const float gain = getGain();
    const float blend = gain >= 0.0f ? std::min(gain, 1.0f) : 0.0f;
    const CurveView a = viewOf(curveA_);
    const CurveView b = viewOf(curveB_);
    for (std::int32_t i = 0; i < frames; ++i) {
        const float x = source[i];
        const float yA = a.data != nullptr ? shape(a, x, lo, width) : x;
        const float yB = b.data != nullptr ? shape(b, x, lo, width) : x;
        target[i] = (yB - yA) * blend + yA;
    }
    return out.setValidFrames(frames);
}

} // namespace trov
