#pragma once

namespace trov {

class ControlManager;
class EditorInterface;
class Module;
class Plugin;

// How the instrument reaches its editor, which lives in a library above it: the product descriptor's
// editor and control-factory requests go to the factory installed here. The editor library installs its
// own when the module loads; without one the descriptor answers no editor, so the instrument builds,
// runs and tests without the editor.
//
// Not owned. Threads: installed at load (or by a test) before an editor is asked for, and asked on the
// user-interface thread.
class InstrumentEditorFactory {
public:
    virtual ~InstrumentEditorFactory() = default;
    // A new editor of the plug-in showing the module, owned by the caller; null when none can be made.
    virtual EditorInterface* createEditor(Plugin* plugin, const Module* module) = 0;
    // The control factory of an editor it made, owned by that editor; null for the library's own.
    virtual ControlManager* createControlManager(EditorInterface* editor) = 0;
};

// The installed factory; null when none is.
InstrumentEditorFactory* getInstrumentEditorFactory();
// Installs a factory (null removes it).
void setInstrumentEditorFactory(InstrumentEditorFactory* factory);

} // namespace trov
