#include "plugin/ValueScaling.h"

#include <cmath>

namespace trov {

double scaleLinearToLog(const ScaleRange& linear, double v, const ScaleRange& geometric) {
    const auto [a1, a2] = linear;
    const auto [c1, c2] = geometric;
    return c1 * std::pow(c2 / c1, (v - a1) / (a2 - a1));
}

double scaleLogToLinear(const ScaleRange& geometric, double v, const ScaleRange& linear) {
    const auto [c1, c2] = geometric;
    const auto [a1, a2] = linear;
    return a1 + (a2 - a1) * std::log(v / c1) / std::log(c2 / c1);
}

} // namespace trov
