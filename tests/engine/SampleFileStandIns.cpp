// Weak stand-ins for the sound-file reader and writer of the plain sample, so that the sample tests link
// before those are part of the engine library; the library's own definitions replace them.
#include "engine/Sample.h"
#include "framework/File.h"

namespace trov {

__attribute__((weak)) Error Sample::load(const File& file, bool) {
    return ErrorImportFailed("Sample::load", file);
}

__attribute__((weak)) Error Sample::save(File& file) const {
    return ErrorExportFailed("Sample::save", file);
}

} // namespace trov
