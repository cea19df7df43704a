#pragma once

#include "gui/controls/ControlManager.h"

namespace trov {

// The instrument's control factory: the type names of the instrument's own controls (the table of
// `instrumentControlTypes`), tried before the library's, and every other name handed to the library's
// factory unchanged.
//
// Made with its editor through the product descriptor and deleted by the editor; keeps nothing between
// calls. User-interface thread, while the editor builds its controls.
class OstrelControls : public ControlManager {
public:
    explicit OstrelControls(Editor* owner) : ControlManager(owner) {}

    Control* createControl(const Dictionary& node, const std::string& type, Parameter* parameter,
                           Editor* editor) const override;
};

} // namespace trov
