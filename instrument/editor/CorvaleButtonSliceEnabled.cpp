#include "instrument/editor/CorvaleButtonSliceEnabled.h"

#include "engine/samples/Sample.h"
#include "engine/zones/Resources.h"
#include "instrument/InstrumentKeys.h"
#include "instrument/editor/CorvaleButtonSampleEnabled.h"
#include "plugin/Settings.h"

#include <string>

namespace trov {

CorvaleButtonSliceEnabled::CorvaleButtonSliceEnabled(Editor* editor) : ControlValueButton<bool>(editor) {
    listenTo(keys::kCurrentSample);
}

bool CorvaleButtonSliceEnabled::receive(const Message& message) {
    std::string_view id;
    if (!currentSampleOf(message, id))
        return ControlValueButton<bool>::receive(message);
    pendingLookUp_.store(true, std::memory_order_release);
    deferControlWork();
    return true;
}

void CorvaleButtonSliceEnabled::applyDeferredControlWork() {
    ControlValueButton<bool>::applyDeferredControlWork();
    if (!pendingLookUp_.exchange(false, std::memory_order_acq_rel))
        return;
    const Settings* settings = getSettings();
    const std::string id = settings != nullptr ? settings->getString(keys::kCurrentSample) : std::string();
    const Resources* resources = getResources();
    const Sample* sample = resources != nullptr && !id.empty() ? resources->findSample(id) : nullptr;
    if (sample != nullptr && sample->getSliceCount() >= kLeastSlices)
        setFlags(kEnabled);
    else
        clearFlags(kEnabled);
}

} // namespace trov
