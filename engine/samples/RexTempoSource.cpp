#include "engine/samples/RexTempoSource.h"

#include <atomic>
#include <cmath>

namespace trov {

namespace {
std::atomic<const RexTempoSource*> installed{nullptr};
}

void RexTempoSource::install(const RexTempoSource* source) {
    installed.store(source);
}

double RexTempoSource::currentTempo() {
    const RexTempoSource* source = installed.load();
    if (source == nullptr)
        return kDefaultTempo;
    // A host without a running transport may report no tempo; loops then keep the default.
    const double tempo = source->getTempo();
    return tempo > 0.0 && std::isfinite(tempo) ? tempo : kDefaultTempo;
}

} // namespace trov
