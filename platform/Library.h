#pragma once

#include <string>

namespace trov::platform {

// A shared library loaded at run time: its symbols resolved by name until `unload` (or the handle's end)
// lets the library go. Move-only; the owner decides when it unloads. One thread at a time per handle.
class Library {
public:
    Library() = default;
    Library(Library&& other) noexcept;
    Library& operator=(Library&& other) noexcept;
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;
    // Unloads the library when one is still loaded.
    ~Library();

    // Loads the library at path (all symbols bound now, none shared with later loads), unloading the one
    // held before. False with the loader's reason in `getLoadError` when it fails.
    bool load(const std::string& path);
    // Releases the library; symbols found before are invalid from here on. Nothing happens without one.
    void unload() noexcept;
    bool isLoaded() const { return handle_ != nullptr; }
    // The address of the named symbol; null when it is missing or nothing is loaded.
    void* findSymbol(const char* name) const;
    // The loader's text for the last failed load; empty after a successful one.
    const std::string& getLoadError() const { return loadError_; }

private:
    void* handle_ = nullptr;
    std::string loadError_;
};

// Loads a shared library (kept loaded for the life of the process) and looks a function up in it;
// null when either fails.
void* findLibraryFunction(const std::string& library, const std::string& function);

} // namespace trov::platform
