#pragma once

#include <stdexcept>
#include <string>

namespace trov {

class File;

// Result and exception type of framework operations. The code, not the class, carries the kind of
// failure: a subclass copied into an Error keeps its code and texts. An empty code is not a failure.
class Error : public std::runtime_error {
public:
    Error(const std::string& where, const std::string& message);
    Error(const Error&) = default;
    Error& operator=(const Error&) = default;
    ~Error() override;

    bool failed() const { return !code_.empty() && code_ != "EAOK"; }
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
// Stored sample data does not match its declared size.
class SampleDataCorrupt : public std::exception {
public:
    const char* what() const noexcept override { return "sample data corrupt"; }
};
} // namespace Exception

} // namespace trov
