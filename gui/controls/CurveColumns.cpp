#include "gui/controls/CurveColumns.h"

#include <algorithm>
#include <cmath>

namespace trov {

namespace {

// Rows far outside any control are held here, so that conversions stay defined.
constexpr double kFarRow = 1 << 20;

} // namespace

bool gainFactorRow(float factor, float topDb, int middle, int& row) {
    if (!(std::isfinite(factor) && factor > 0.0f && std::isfinite(topDb) && topDb > 0.0f))
        return false;
    const double decibels = 20.0 * std::log10(static_cast<double>(factor));
    const double y = std::nearbyint(middle * (1.0 - decibels / topDb));
    row = static_cast<int>(std::clamp(y, -kFarRow, kFarRow));
    return true;
}

} // namespace trov
