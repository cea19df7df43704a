// fuzz-links: trov_engine
// Reads arbitrary text as a bank document's "analogs" into a model that knows a few components. Every
// value taken must be a finite number within -1..1, every factor finite, and what is written must read
// back as the same values.
#include "engine/Analogics.h"
#include "framework/Dictionary.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

const char* const kNames[] = {"VCF cutoff 1", "VCO 2", "A", "Noise level", "x-y z"};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    trov::Analogics analogics(nullptr);
    for (const char* name : kNames)
        analogics.setValue(name, 0.5f);
    analogics.read(trov::Dictionary(text));
    check(analogics.getComponentCount() == std::size(kNames));

    trov::Analogics reread(nullptr);
    for (const char* name : kNames)
        reread.setValue(name, 0.0f);
    trov::Dictionary written;
    written.setString("file-format", "0.7.0");
    analogics.write(written);
    reread.read(trov::Dictionary(written.toDocumentText()));
    for (const char* name : kNames) {
        const float value = analogics.getTolerance(name, trov::Analogics::kIdeal);
        check(std::isfinite(value) && value >= -1.0f && value <= 1.0f);
        check(std::fabs(reread.getTolerance(name, trov::Analogics::kIdeal) - value) <= 1e-8f);
        check(std::isfinite(analogics.getTolerance(name, trov::Analogics::kSymmetric)));
    }
    return 0;
}
