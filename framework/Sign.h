#pragma once

namespace trov {

// -1.0, 0.0 or 1.0 by the sign of the value; zero of either sign and NaN give 0.0. Any thread.
constexpr float sign(float value) noexcept {
    return value > 0.0f ? 1.0f : (value < 0.0f ? -1.0f : 0.0f);
}

} // namespace trov
