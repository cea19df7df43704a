#include "instrument/InstrumentEditorFactory.h"

#include <atomic>

namespace trov {

namespace {

// Constant-initialised: installing at load does not depend on the order of the load-time objects.
std::atomic<InstrumentEditorFactory*> installed{nullptr};

} // namespace

InstrumentEditorFactory* getInstrumentEditorFactory() {
    return installed.load(std::memory_order_acquire);
}

void setInstrumentEditorFactory(InstrumentEditorFactory* factory) {
    installed.store(factory, std::memory_order_release);
}

} // namespace trov
