#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

namespace trov::test {

// The mean frequency in hertz of a signal at the rate, from its first to its last rising zero crossing
// (each interpolated between its two samples). The instrument's noises cross zero too: a crossing counts
// only after the signal has been below a third of its peak since the last one. 0 with fewer than two.
inline double measuredFrequency(const std::vector<float>& signal, int rate) {
    float peak = 0.0f;
    for (float value : signal)
        peak = std::max(peak, std::fabs(value));
    const float threshold = -peak / 3.0f;
    double first = -1.0;
    double last = -1.0;
    int crossings = 0;
    bool armed = false;
    for (std::size_t i = 1; i < signal.size(); ++i) {
        if (signal[i] < threshold)
            armed = true;
        if (armed && signal[i - 1] < 0.0f && signal[i] >= 0.0f) {
            const double at = static_cast<double>(i - 1) + signal[i - 1] / (signal[i - 1] - signal[i]);
            if (first < 0.0)
                first = at;
            last = at;
            ++crossings;
            armed = false;
        }
    }
    return crossings > 1 ? (crossings - 1) * static_cast<double>(rate) / (last - first) : 0.0;
}

} // namespace trov::test
