// fuzz-links: trov_engine
// Reads arbitrary bytes as a Scala scale. Whatever loads must hold as many positive, finite ratios as its
// count line said, and answer finite frequencies.
#include "engine/notes/TuningSCL.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    trov::TuningSCL tuning;
    if (!tuning.parse(in))
        return 0;
    if (tuning.getRatios().empty())
        std::abort();
    for (double ratio : tuning.getRatios())
        if (!(ratio > 0.0) || !std::isfinite(ratio))
            std::abort();
    for (int key = -200; key < 200; key += 37)
        if (std::isnan(tuning.getFrequency(key, 0.0)))
            std::abort();
    return 0;
}
