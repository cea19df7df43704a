#include "instrument/editor/InstrumentEditor.h"

#include "instrument/InstrumentEditorFactory.h"
#include "instrument/editor/OstrelControls.h"
#include "instrument/editor/OstrelEditor.h"

namespace trov {

namespace {

// Stateless: one serves the whole process.
class OstrelEditorFactory : public InstrumentEditorFactory {
public:
    EditorInterface* createEditor(Plugin* plugin, const Module* module) override {
        return new OstrelEditor(plugin, module);
    }
    ControlManager* createControlManager(EditorInterface* editor) override {
        return new OstrelControls(dynamic_cast<Editor*>(editor));
    }
};

OstrelEditorFactory factory;

} // namespace

void installInstrumentEditor() {
    setInstrumentEditorFactory(&factory);
}

void uninstallInstrumentEditor() {
    if (getInstrumentEditorFactory() == &factory)
        setInstrumentEditorFactory(nullptr);
}

} // namespace trov
