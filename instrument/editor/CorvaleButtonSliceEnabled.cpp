#include "instrument/editor/CorvaleButtonSliceEnabled.h"

#include "engine/samples/Sample.h"
#include "engine/zones/Resources.h"
#include "instrument/InstrumentKeys.h"
#include "instrument/editor/CorvaleButtonSampleEnabled.h"

#include <string>

namespace trov {

CorvaleButtonSliceEnabled::CorvaleButtonSliceEnabled(Editor* editor) : ControlValueButton<bool>(editor) {
    listenTo(keys::kCurrentSample);
}

bool CorvaleButtonSliceEnabled::receive(const Message& message) {
    std::string_view id;
    if (!currentSampleOf(message, id))
        return ControlValueButton<bool>::receive(message);
    const Resources* resources = getResources();
    const Sample* sample =
        resources != nullptr && !id.empty() ? resources->findSample(std::string(id)) : nullptr;
    if (sample != nullptr && sample->getSliceCount() >= kLeastSlices)
        setFlags(kEnabled);
    else
        clearFlags(kEnabled);
    return true;
}

} // namespace trov
