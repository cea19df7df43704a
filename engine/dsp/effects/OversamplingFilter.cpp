#include "engine/dsp/effects/OversamplingFilter.h"

#include "engine/dsp/SnapToZero.h"

#include <cmath>
#include <numbers>

namespace trov {

namespace {

// The series of the elliptic half-band design stop after the first term this small; the bound on the
// count only guards against a malformed q.
constexpr double kNegligibleTerm = 1e-100;
constexpr int kMaxTerms = 1000;

// The single coefficient (n = 1) of an elliptic polyphase half-band design of order 2n + 1 = 3.
double halfBandCoefficient(double transition) noexcept {
    constexpr double pi = std::numbers::pi;
    constexpr int order = 3;
    constexpr int m = 1;

    const double tangent = std::tan((1.0 - 2.0 * transition) * pi / 4.0);
    const double k0 = tangent * tangent;
    const double kk = std::pow(1.0 - k0 * k0 * k0 * k0, 0.25);
    const double e = (1.0 - kk) * 0.5 / (1.0 + kk);
    const double e4 = e * e * e * e;
    const double q = e * (1.0 + 2.0 * e4 + 15.0 * e4 * e4 + 150.0 * e4 * e4 * e4);

    double num = 0.0;
    for (int i = 0; i < kMaxTerms; ++i) {
        const double sign = (i % 2 == 0) ? 1.0 : -1.0;
        const double term = sign * std::pow(q, i * (i + 1)) * std::sin((2 * i + 1) * m * pi / order);
        num += term;
        if (std::fabs(term) <= kNegligibleTerm)
            break;
    }
    num *= std::pow(q, 0.25);

    double den = 0.5;
    for (int i = 1; i < kMaxTerms; ++i) {
        const double sign = (i % 2 == 0) ? 1.0 : -1.0;
        const double term = sign * std::pow(q, i * i) * std::cos(2 * i * m * pi / order);
        den += term;
        if (std::fabs(term) <= kNegligibleTerm)
            break;
    }

    const double w = num / den;
    const double w2 = w * w;
    const double x = std::sqrt((1.0 - w2 * k0) * (1.0 - w2 / k0)) / (1.0 + w2);
    return (1.0 - x) / (1.0 + x);
}

} // namespace

bool OversamplingFilter::design(double transition) noexcept {
    if (!(transition > 0.0 && transition < 0.5))
        return false;
    const double k = halfBandCoefficient(transition);
    if (!std::isfinite(k))
        return false;
    k_ = static_cast<float>(k);
    return true;
}

void OversamplingFilter::decimate(float* out, const float* in, std::int32_t n) noexcept {
    // y = (odd - y1) k + x1, written as c - k y1 with c = odd k + x1 independent of the feedback, and two
    // outputs a step: y[i+1] = c[i+1] - k c[i] + k^2 y[i-1]. The feedback chain is then one product and
    // one sum per pair instead of three operations per output; the rounding differs by an ulp at most.
    const float k = k_;
    const float kk = k * k;
    float x1 = x1_;
    float y1 = y1_;
    std::int32_t i = 0;
    for (; i + 1 < n; i += 2) {
        const float even0 = in[2 * i];
        const float odd0 = in[2 * i + 1];
        const float even1 = in[2 * i + 2];
        const float odd1 = in[2 * i + 3];
        const float c0 = odd0 * k + x1;
        const float c1 = odd1 * k + odd0;
        const float y0 = c0 - k * y1; // normal or 0 while y1 is: k y1 stays far above the subnormals
        y1 = snapToZero((c1 - k * c0) + kk * y1);
        x1 = odd1;
        out[i] = (y0 + even0) * 0.5f;
        out[i + 1] = (y1 + even1) * 0.5f;
    }
    if (i < n) {
        const float even = in[2 * i];
        const float odd = in[2 * i + 1];
        y1 = snapToZero((odd * k + x1) - k * y1);
        x1 = odd;
        out[i] = (y1 + even) * 0.5f;
    }
    x1_ = x1;
    y1_ = y1;
}

} // namespace trov
