// The file-naming error constructors live apart so that code which only uses errors does not pull in files.
#include "framework/Error.h"
#include "framework/File.h"

namespace trov {

ErrorImportFailed::ErrorImportFailed(const std::string& where, const File& file)
    : Error(where, "Failed to import file " + file.getPath(), kErrorImportFailed) {}

ErrorExportFailed::ErrorExportFailed(const std::string& where, const File& file)
    : Error(where, "Failed to export file " + file.getPath(), kErrorExportFailed) {}

} // namespace trov
