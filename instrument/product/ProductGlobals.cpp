// The product's load-time globals: the descriptor and its fonts. Nothing calls into this file, so it is
// linked into the installed module as an object of its own; its definitions then take the place of the
// instrument library's empty defaults and run in the globals' load order.
#include "instrument/InstrumentGlobals.h"
#include "instrument/OstrelPluginInfo.h"
#include "instrument/ProductFonts.h"

namespace trov {

namespace {

PluginInfo* descriptor = nullptr;

} // namespace

void createProductGlobals() {
    descriptor = createProductDescriptor();
    createProductFonts();
}

void destroyProductGlobals() noexcept {
    destroyProductFonts();
    // A started process-wide context deletes the descriptor itself and uninstalls it first.
    if (descriptor != nullptr && getPluginInfo() == descriptor) {
        setPluginInfo(nullptr);
        delete descriptor;
    }
    descriptor = nullptr;
}

} // namespace trov
