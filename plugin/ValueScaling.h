#pragma once

#include <utility>

namespace trov {

// A range as a pair (low, high).
using ScaleRange = std::pair<double, double>;

// Maps v from a linear range onto a geometric one: c1 * (c2 / c1) ^ ((v - a1) / (a2 - a1)).
double scaleLinearToLog(const ScaleRange& linear, double v, const ScaleRange& geometric);
// The inverse: a1 + (a2 - a1) * ln(v / c1) / ln(c2 / c1).
double scaleLogToLinear(const ScaleRange& geometric, double v, const ScaleRange& linear);

} // namespace trov
