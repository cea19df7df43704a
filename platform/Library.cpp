#include "platform/Library.h"

#include <dlfcn.h>

namespace trov::platform {

void* findLibraryFunction(const std::string& library, const std::string& function) {
    void* handle = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr)
        return nullptr;
    void* symbol = dlsym(handle, function.c_str());
    if (symbol == nullptr)
        dlclose(handle);
    return symbol;
}

} // namespace trov::platform
