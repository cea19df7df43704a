#pragma once

#include "platform/LogFile.h"

#include <cstdarg>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>

namespace trov {

class Error;

// The process-wide text log. Lines are stamped with the time elapsed since the log was created and
// dropped below the threshold level (0 most verbose; 2 banners, 3 errors, 4 start-up report).
// Any thread: one lock keeps concurrent lines apart. Not for the audio thread's per-sample path.
// Several processes may log into the same file: each line goes out whole at its end.
class Logger {
public:
    static constexpr std::size_t kBufferSize = 65536;
    static constexpr std::size_t kMaxFormatLength = 512;

    // Opens "<product>.log" in the application-data folder under the maker's sub-folder.
    explicit Logger(int threshold);
    // Opens the file at the given path instead.
    Logger(int threshold, const std::string& path);
    Logger(const Logger&) = delete;
    Logger& operator=(const Logger&) = delete;
    virtual ~Logger();

    void log(int level, const char* format, ...) __attribute__((format(printf, 3, 4)));
    void logv(int level, const char* format, va_list args);
    void log(int level, const std::string& text);
    void logError(int level, const Error& error);
    void setLevel(int level);
    int getLevel() const;
    // The log file's path; empty when lines go to the debugger output.
    const std::string& getPath() const { return path_; }

    // The prefix "hh:mm:ss:mmm | " of a line written ms milliseconds after start.
    static std::string formatPrefix(std::int64_t ms);

private:
    void open(const std::error_code& folderError = {});
    void writeBanner(const char* what);
    void write(const char* text);

    std::string path_;
    platform::LogFile file_;
    bool writeFailureTold_ = false;
    int threshold_;
    double start_;
    mutable std::mutex mutex_;
    std::unique_ptr<char[]> buffer_;
};

// The process-wide log, installed by the process-wide context; null before start-up and after unload.
Logger* getLog();
void setLog(Logger* log);

// Log through the process-wide log when there is one.
void logLine(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));
void logErrorLine(int level, const Error& error);

// How many lines the calling thread has asked to log since it started, written or not (below the
// threshold, or with no log installed). Tests use it to prove that a path never logs.
std::uint64_t logRequestsOnThisThread() noexcept;

} // namespace trov
