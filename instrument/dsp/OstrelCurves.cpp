#include "instrument/dsp/OstrelCurves.h"

#include "engine/dsp/FloatIndex.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>

namespace trov {

namespace {

// The rate the cutoff curve was measured at, and 2 / that rate as the machine's firmware holds it.
constexpr int kMachineRate = 44100;
constexpr double kTwoOverMachineRate = 4.5351473e-05;

// Periods of the LFO in milliseconds, slowest first.
constexpr std::array<float, 36> kLFOPeriods = {2873, 1451, 964, 731, 584, 500, 423, 378, 345, 296, 277, 240,
                                               217,  200,  190, 180, 173, 163, 156, 148, 140, 132, 124, 116,
                                               108,  100,  92,  84,  76,  68,  60,  52,  44,  32,  24,  16};

// The envelope curves as measured on the machine. The columns are not monotonic everywhere (peak 16-17,
// decay 28-29, release 28-31); the values stand as measured.
constexpr std::array<float, 32> kAttackMs = {2,    2,    2,    4,    7,    13,   21,   38,   50,   71,   89,
                                             118,  143,  187,  228,  300,  374,  469,  600,  760,  970,  1187,
                                             1510, 1896, 2327, 3080, 3774, 4813, 6200, 7893, 9642, 12305};
constexpr std::array<float, 32> kPeakLevels = {15,  20,  39,  47,  64,  102, 129, 160, 199, 211, 262,
                                               305, 328, 387, 400, 434, 492, 476, 552, 566, 582, 652,
                                               664, 696, 770, 730, 816, 839, 854, 946, 916, 957};
constexpr std::array<float, 32> kDecayMs = {
    7,    10,   15,   26,   47,   80,   101,  200,  242,  303,  395,   505,   631,   767,   990,   1220,
    1496, 1878, 2318, 2769, 3524, 4196, 4931, 6160, 7804, 9658, 10777, 13163, 16485, 13922, 15428, 15418};
constexpr std::array<float, 32> kSustainLevels = {0,   8,   20,  39,  64,  102, 129, 160, 199, 211, 262,
                                                  305, 328, 387, 400, 434, 492, 476, 552, 566, 582, 652,
                                                  664, 696, 770, 730, 816, 839, 854, 946, 916, 957};
constexpr std::array<float, 32> kReleaseMs = {
    10,   15,   30,   56,   72,   201,  250,  308,  399,   517,   637,   771,   997,   1224,  1507,  1890,
    2340, 2810, 3528, 4194, 4942, 6175, 7829, 9861, 10877, 13238, 16419, 19271, 21474, 21306, 21286, 21300};

// The entry nearest to position x of a curve of N values (ties to even); outside 0..1 the end values.
template <std::size_t N> float nearest(const std::array<float, N>& values, float x) noexcept {
    const float u = clampPosition(x, 0.0f, 1.0f) * static_cast<float>(N - 1);
    return values[static_cast<std::size_t>(roundToInt(u))];
}

} // namespace

double ostrelCutoffLog2Min() noexcept {
    return std::log2(static_cast<double>(kCutoffDisplayMin));
}

double ostrelCutoffLog2Max() noexcept {
    return std::log2(static_cast<double>(kCutoffDisplayMax) * static_cast<double>(1.035f));
}

float ostrelLFORate(float position) noexcept {
    return 1000.0f / nearest(kLFOPeriods, position);
}

namespace {

double machineCoefficient(double position) noexcept {
    const double lo = ostrelCutoffLog2Min();
    const double hi = ostrelCutoffLog2Max();
    const double t = lo + (hi - lo) * position;
    const double f = std::exp2(t) * kTwoOverMachineRate;
    return 3.6 * f - 1.6 * f * f - 1.0;
}

// A ladder stage y = p (x + x1) - k y1 (k = 2p - 1) has the power gain 1 / (1 + (tan(w / 2) / T)^2) with
// T = p / (1 - p) = (1 + k) / (1 - k); four of them are 3 dB down where tan(w / 2) = share x T.
double cornerShare() noexcept {
    return std::sqrt(std::exp2(0.25) - 1.0);
}

// Half the angle per sample of the four stages' -3 dB point at 44.1 kHz.
double machineHalfCorner(double position) noexcept {
    const double k = machineCoefficient(position);
    return std::atan(cornerShare() * (1.0 + k) / (1.0 - k));
}

} // namespace

float ostrelCutoffCoefficient(float position) noexcept {
    return static_cast<float>(machineCoefficient(static_cast<double>(position)));
}

float ostrelCutoffCoefficientAt(float position, int sampleRate) noexcept {
    if (sampleRate <= 0 || sampleRate == kMachineRate)
        return ostrelCutoffCoefficient(position);
    // The corner in hertz the machine's curve gives at 44.1 kHz (held past position 1, where the curve
    // turns back), as an angle at this rate; at rates below 44.1 kHz no steeper than the machine's top.
    const double top = machineHalfCorner(1.0);
    const double half =
        machineHalfCorner(std::min(static_cast<double>(position), 1.0)) * kMachineRate / sampleRate;
    const double stage = std::tan(std::min(half, top)) / cornerShare();
    return static_cast<float>((stage - 1.0) / (stage + 1.0));
}

float ostrelResonanceScale(float x) noexcept {
    return static_cast<float>(std::exp((1.0 - static_cast<double>(x)) * 1.386249));
}

double ostrelLadderClip(double x) noexcept {
    if (x < -1.0)
        return -1.0 - 2.0 / (3.0 * x);
    if (x > 1.0)
        return 1.0 - 2.0 / (3.0 * x);
    return x - 0.666666666668 * x * x * x;
}

float ostrelAttackTime(float position) noexcept {
    return nearest(kAttackMs, position);
}

float ostrelPeakLevel(float position) noexcept {
    return nearest(kPeakLevels, position);
}

float ostrelDecayTime(float position) noexcept {
    return nearest(kDecayMs, position);
}

float ostrelSustainLevel(float position) noexcept {
    return nearest(kSustainLevels, position);
}

float ostrelReleaseTime(float position) noexcept {
    return nearest(kReleaseMs, position);
}

} // namespace trov
