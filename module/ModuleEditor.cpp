// The module's editor: the instrument's editor factory installed when the module loads and removed when it
// unloads.
#include "instrument/editor/InstrumentEditor.h"

namespace {

struct ModuleEditor {
    ModuleEditor() { trov::installInstrumentEditor(); }
    ~ModuleEditor() { trov::uninstallInstrumentEditor(); }
    ModuleEditor(const ModuleEditor&) = delete;
    ModuleEditor& operator=(const ModuleEditor&) = delete;
};

const ModuleEditor moduleEditor;

} // namespace
