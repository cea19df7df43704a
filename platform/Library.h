#pragma once

#include <string>

namespace trov::platform {

// Loads a shared library (kept loaded for the life of the process) and looks a function up in it;
// null when either fails.
void* findLibraryFunction(const std::string& library, const std::string& function);

} // namespace trov::platform
