#include "instrument/editor/InstrumentEditor.h"

#include "framework/Logger.h"
#include "framework/Preferences.h"
#include "instrument/InstrumentEditorFactory.h"
#include "instrument/editor/OstrelControls.h"
#include "instrument/editor/OstrelEditor.h"
#include "instrument/editor/SampleDragFiles.h"

#include <memory>
#include <string>

namespace trov {

namespace {

constexpr const char* kControlsKey = "ControlsXmlFile";

// Stateless: one serves the whole process.
class OstrelEditorFactory : public InstrumentEditorFactory {
public:
    // An installation that names no editor specification has no editor, nor has one whose specification
    // gives the editor no frame (or whose user asked for none): nothing a host could show. A specification
    // that does not load still gives an editor, without controls, which opens and closes: the user has
    // been told to reinstall, and the instrument goes on working.
    EditorInterface* createEditor(Plugin* plugin, const Module* module) override {
        std::string controls;
        const Preferences* machine = getMachinePreferences();
        if (machine == nullptr || !machine->getString(kControlsKey, controls) || controls.empty())
            return nullptr;
        auto editor = std::make_unique<OstrelEditor>(plugin, module);
        if (editor->getSize().isEmpty() && !editor->isSpecificationUnreadable()) {
            logLine(2, "the editor specification gives no editor");
            return nullptr;
        }
        editor->startListening();
        return editor.release();
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
    SampleDragFiles::instance().removeAll();
}

} // namespace trov
