#pragma once

// An EQ band for the editor's tests whose responses are what the test says: the primary factor of each
// column, the secondary 1.
#include "engine/dsp/effects/EQ.h"

#include <algorithm>
#include <functional>
#include <vector>

namespace trov::test {

class KnownBand : public EQ {
public:
    KnownBand() : EQ(nullptr, 10.0f, 22050.0f) {}
    std::int32_t render(IOChannel<float>&) noexcept override { return 0; }
    std::int32_t process(const IOChannel<float>&, IOChannel<float>&) noexcept override { return 0; }
    void fillPrimaryResponse(std::vector<float>& values) const override {
        for (std::size_t i = 0; i < values.size(); ++i)
            values[i] = factor(static_cast<int>(i));
    }
    void fillSecondaryResponse(std::vector<float>& values) const override {
        std::fill(values.begin(), values.end(), 1.0f);
    }

    std::function<float(int)> factor = [](int) { return 1.0f; };
};

} // namespace trov::test
