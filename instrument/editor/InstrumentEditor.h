#pragma once

namespace trov {

// The instrument's editor for the instrument layer: installs (once per process) the factory by which the
// product descriptor makes the instrument's editor (`OstrelEditor`) and its control factory
// (`OstrelControls`). The module installs it at load and uninstalls it at unload; tests install it
// themselves. User-interface thread, before an editor is asked for.
void installInstrumentEditor();
// Removes the factory when it is this library's, and the files that sample drags left.
void uninstallInstrumentEditor();

} // namespace trov
