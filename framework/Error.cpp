#include "framework/Error.h"

namespace trov {

Error::Error(const std::string& where, const std::string& message)
    : std::runtime_error(message), where_(where) {}

Error::Error(const std::string& where, const std::string& message, const std::string& code)
    : std::runtime_error(message), where_(where), code_(code) {}

Error::~Error() = default;

NoError::NoError() : Error(std::string(), std::string(), kErrorOK) {}

GeneralError::GeneralError(const std::string& where, const std::string& text)
    : Error(where, text, kErrorGeneral) {}

ErrorPrefsKeyNotFound::ErrorPrefsKeyNotFound(const std::string& where, const std::string& key)
    : Error(where, "Preferences key '" + key + "' not found", kErrorPrefsKeyNotFound) {}

ErrorPrefsKeyNotSaved::ErrorPrefsKeyNotSaved(const std::string& where, const std::string& key)
    : Error(where, "Preferences key '" + key + "' could not be saved", kErrorPrefsKeyNotSaved) {}

ErrorNoSuchParameter::ErrorNoSuchParameter(const std::string& where, const std::string& name)
    : Error(where, "Parameter " + name + " does not exist", kErrorNoSuchParameter) {}

ErrorNoSuchParameterType::ErrorNoSuchParameterType(const std::string& where, const std::string& type,
                                                   const std::string& name)
    : Error(where, "Unknown parameter type " + type + "<" + name + ">", kErrorNoSuchParameterType) {}

ErrorNoSuchControlType::ErrorNoSuchControlType(const std::string& where, const std::string& type,
                                               const std::string& name)
    : Error(where, "Unknown control type " + type + "<" + name + ">", kErrorNoSuchControlType) {}

ErrorIncompatibleControl::ErrorIncompatibleControl(const std::string& where, const std::string& text)
    : Error(where, text, kErrorNoSuchControlType) {}

ErrorImportFailed::ErrorImportFailed(const std::string& where)
    : Error(where, "Failed to import file", kErrorImportFailed) {}

ErrorExportFailed::ErrorExportFailed(const std::string& where)
    : Error(where, "Failed to export file", kErrorExportFailed) {}

} // namespace trov
