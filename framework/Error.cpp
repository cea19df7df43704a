#include "framework/Error.h"

namespace trov {

Error::Error(const std::string& where, const std::string& message)
    : std::runtime_error(message), where_(where) {}

Error::Error(const std::string& where, const std::string& message, const std::string& code)
    : std::runtime_error(message), where_(where), code_(code) {}

Error::~Error() = default;

NoError::NoError() : Error(std::string(), std::string(), "EAOK") {}

GeneralError::GeneralError(const std::string& where, const std::string& text) : Error(where, text, "EGEN") {}

ErrorPrefsKeyNotFound::ErrorPrefsKeyNotFound(const std::string& where, const std::string& key)
    : Error(where, "Preferences key '" + key + "' not found", "EPKNF") {}

ErrorPrefsKeyNotSaved::ErrorPrefsKeyNotSaved(const std::string& where, const std::string& key)
    : Error(where, "Preferences key '" + key + "' could not be saved", "EPNS") {}

ErrorNoSuchParameter::ErrorNoSuchParameter(const std::string& where, const std::string& name)
    : Error(where, "Parameter " + name + " does not exist", "ENSP") {}

ErrorNoSuchParameterType::ErrorNoSuchParameterType(const std::string& where, const std::string& type,
                                                   const std::string& name)
    : Error(where, "Unknown parameter type " + type + "<" + name + ">", "ENSPT") {}

ErrorNoSuchControlType::ErrorNoSuchControlType(const std::string& where, const std::string& type,
                                               const std::string& name)
    : Error(where, "Unknown control type " + type + "<" + name + ">", "ENSCT") {}

ErrorImportFailed::ErrorImportFailed(const std::string& where)
    : Error(where, "Failed to import file", "EIFL") {}

ErrorExportFailed::ErrorExportFailed(const std::string& where)
    : Error(where, "Failed to export file", "EXFL") {}

} // namespace trov
