#include "engine/dsp/VectorPath.h"

#include <atomic>

namespace trov {

namespace {
std::atomic<VectorPath> gPath{VectorPath::Automatic};
} // namespace

void setVectorPath(VectorPath path) noexcept {
    gPath.store(path, std::memory_order_relaxed);
}

bool usesVectorPath() noexcept {
#if defined(__SSE2__)
    return gPath.load(std::memory_order_relaxed) != VectorPath::Scalar;
#else
    return false;
#endif
}

} // namespace trov
