#pragma once

#include "hostapp/ModuleLoader.h"

#include <string>

namespace corvale::hostapp {

// The process's view as the module paints it, written to a PNG file by the module's own entry
// (kWriteViewImageSymbol): the view is made and attached to a port of its own window headless, the host
// idles until the view's window timer has ticked a few times (each tick paints what is due), the module
// writes the window, and the view is detached and destroyed. False with a one-line reason in error for a
// product without a view, a module without the entry, a view that lacks skins it paints (what the module
// showed through services names them) or a file it cannot write. The user-interface thread.
bool writeViewImage(const LoadedModule& module, HeadlessServices& services, trov::hostsdk::Process& process,
                    const std::string& path, std::string& error);

// The skins the process's open view paints but lacks, as writeViewImage's refusal names them (what the
// module showed, on one line), asked through the same entry without a file; empty when it lacks none or
// the module cannot tell (it has no entry, or the entry said nothing). The user-interface thread.
std::string missingSkins(const LoadedModule& module, HeadlessServices& services,
                         trov::hostsdk::Process& process);

} // namespace corvale::hostapp
