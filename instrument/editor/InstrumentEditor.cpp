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
    // An installation that names no editor specification has no editor; one whose specification gave the
    // editor no frame (the user asked for none, or the file is broken, which the editor reports) has nothing
    // a host could show: the product then answers no editor.
    EditorInterface* createEditor(Plugin* plugin, const Module* module) override {
        std::string controls;
        const Preferences* machine = getMachinePreferences();
        if (machine == nullptr || !machine->getString(kControlsKey, controls) || controls.empty())
            return nullptr;
        auto editor = std::make_unique<OstrelEditor>(plugin, module);
        if (editor->getSize().isEmpty()) {
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
