#pragma once

#include <stdexcept>
#include <string>
#include <utility>

namespace trov {

class File;

// The codes an Error carries, one per kind of failure; kErrorOK marks success.
inline constexpr const char* kErrorOK = "EAOK";
inline constexpr const char* kErrorGeneral = "EGEN";
inline constexpr const char* kErrorPrefsKeyNotFound = "EPKNF";
inline constexpr const char* kErrorPrefsKeyNotSaved = "EPNS";
inline constexpr const char* kErrorNoSuchParameter = "ENSP";
inline constexpr const char* kErrorNoSuchParameterType = "ENSPT";
inline constexpr const char* kErrorNoSuchControlType = "ENSCT";
inline constexpr const char* kErrorImportFailed = "EIFL";
inline constexpr const char* kErrorExportFailed = "EXFL";

// Result and exception type of framework operations. The code, not the class, carries the kind of
// failure: a subclass copied into an Error keeps its code and texts. An empty code is not a failure.
class Error : public std::runtime_error {
public:
    Error(const std::string& where, const std::string& message);
    Error(const Error&) = default;
    Error& operator=(const Error&) = default;
    ~Error() override;

    bool failed() const { return !code_.empty() && code_ != kErrorOK; }
    // Success said outright (kErrorOK); an error without a code is neither ok nor failed.
    bool ok() const { return code_ == kErrorOK; }
    // The file was not imported (kErrorImportFailed); sample readers answer so for a file they do not take.
    bool isImportFailure() const { return code_ == kErrorImportFailed; }
    bool isExportFailure() const { return code_ == kErrorExportFailed; }
    bool hasCode(const char* code) const { return code_ == code; }
    std::string getCode() const { return code_; }
    std::string getWhere() const { return where_; }
    std::string getMessage() const { return what(); }

protected:
    Error(const std::string& where, const std::string& message, const std::string& code);

private:
    std::string where_;
    std::string code_;
};

class NoError : public Error {
public:
    NoError();
};

class GeneralError : public Error {
public:
    explicit GeneralError(const std::string& where, const std::string& text = std::string());
};

class ErrorPrefsKeyNotFound : public Error {
public:
    ErrorPrefsKeyNotFound(const std::string& where, const std::string& key);
};

class ErrorPrefsKeyNotSaved : public Error {
public:
    ErrorPrefsKeyNotSaved(const std::string& where, const std::string& key);
};

class ErrorNoSuchParameter : public Error {
public:
    ErrorNoSuchParameter(const std::string& where, const std::string& name);
};

class ErrorNoSuchParameterType : public Error {
public:
    ErrorNoSuchParameterType(const std::string& where, const std::string& type, const std::string& name);
};

class ErrorNoSuchControlType : public Error {
public:
    ErrorNoSuchControlType(const std::string& where, const std::string& type, const std::string& name);
};

// A control refusing the parameter it is tied to: the same code, the control's own text.
class ErrorIncompatibleControl : public Error {
public:
    ErrorIncompatibleControl(const std::string& where, const std::string& text);
};

class ErrorImportFailed : public Error {
public:
    explicit ErrorImportFailed(const std::string& where);
    ErrorImportFailed(const std::string& where, const File& file);
};

class ErrorExportFailed : public Error {
public:
    explicit ErrorExportFailed(const std::string& where);
    ErrorExportFailed(const std::string& where, const File& file);
};

namespace Exception {
// Stored sample data does not match its declared size, or does not decode; what() says why when told.
class SampleDataCorrupt : public std::exception {
public:
    SampleDataCorrupt() = default;
    explicit SampleDataCorrupt(std::string reason) : reason_(std::move(reason)) {}
    const char* what() const noexcept override { return reason_.c_str(); }

private:
    std::string reason_ = "sample data corrupt";
};
} // namespace Exception

} // namespace trov
