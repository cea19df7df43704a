#include "instrument/editor/OstrelControls.h"

#include "instrument/editor/InstrumentControlTypes.h"
#include "plugin/Parameter.h"

namespace trov {

// A row that gives no control for its parameter leaves the name to the library's factory, which knows
// none of the instrument's names and reports it as an unknown type.
Control* OstrelControls::createControl(const Dictionary& node, const std::string& type, Parameter* parameter,
                                       Editor* editor) const {
    if (const ControlType* row = findControlType(instrumentControlTypes(), type);
        row != nullptr && row->build) {
        const int code = parameter != nullptr ? parameter->getType() : Parameter::kTypeUnknown;
        if (Control* made = row->build(ControlSpec{node, parameter, code, getOwner()}))
            return made;
    }
    return ControlManager::createControl(node, type, parameter, editor);
}

} // namespace trov
