#include "platform/Library.h"

#include <dlfcn.h>

#include <utility>

namespace trov::platform {

Library::Library(Library&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)), loadError_(std::move(other.loadError_)) {}

Library& Library::operator=(Library&& other) noexcept {
    if (this != &other) {
        unload();
        handle_ = std::exchange(other.handle_, nullptr);
        loadError_ = std::move(other.loadError_);
    }
    return *this;
}

Library::~Library() {
    unload();
}

bool Library::load(const std::string& path) {
    unload();
    loadError_.clear();
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        const char* reason = dlerror();
        loadError_ = reason != nullptr ? reason : "the library could not be loaded";
    }
    return handle_ != nullptr;
}

void Library::unload() noexcept {
    if (handle_ != nullptr)
        dlclose(handle_);
    handle_ = nullptr;
}

void* Library::findSymbol(const char* name) const {
    return handle_ != nullptr ? dlsym(handle_, name) : nullptr;
}

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
