#include "framework/Logger.h"

#include "framework/Error.h"
#include "framework/ProductIdentity.h"
#include "framework/System.h"
#include "platform/Diagnostics.h"
#include "platform/FileReplacement.h"
#include "platform/UserFolders.h"

#include <atomic>
#include <cerrno>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace trov {

namespace {
std::atomic<Logger*> gLog{nullptr};
}

Logger::Logger(int threshold) : threshold_(threshold), start_(getTime()), buffer_(new char[kBufferSize]) {
    const std::string appData = platform::applicationDataFolder();
    std::error_code folderError;
    if (!appData.empty()) {
        const std::filesystem::path folder =
            std::filesystem::path(appData) / getProductIdentity().getMakerName();
        std::filesystem::create_directories(folder, folderError);
        path_ = (folder / (getProductIdentity().getName() + ".log")).string();
    }
    open(folderError);
}

Logger::Logger(int threshold, const std::string& path)
    : path_(path), threshold_(threshold), start_(getTime()), buffer_(new char[kBufferSize]) {
    open();
}

Logger::~Logger() {
    writeBanner("stopped");
    std::lock_guard guard(mutex_);
    file_.close();
}

void Logger::open(const std::error_code& folderError) {
    // A file that cannot be opened loses its lines, which is said where the process's errors go, since the
    // log itself cannot say it. Its folder's failure, when it has one, is the cause.
    if (!path_.empty() && !file_.open(path_)) {
        const std::string reason = folderError ? folderError.message() : std::strerror(errno);
        platform::debugOutput(getProductIdentity().getName() + ": no log is written: cannot write " + path_ +
                              ": " + reason + "\n");
    }
    writeBanner("started");
}

void Logger::writeBanner(const char* what) {
    log(2, "---- %s logger %s @ %s %s --------", getProductIdentity().getName().c_str(), what,
        timeText().c_str(), dateText().c_str());
}

std::string Logger::formatPrefix(std::int64_t ms) {
    char prefix[64];
    std::snprintf(prefix, sizeof prefix, "%02" PRId64 ":%02" PRId64 ":%02" PRId64 ":%03" PRId64 " | ",
                  ms / 3600000, ms / 60000 % 60, ms / 1000 % 60, ms % 1000);
    return prefix;
}

void Logger::log(int level, const char* format, ...) {
    va_list args;
    va_start(args, format);
    logv(level, format, args);
    va_end(args);
}

namespace {
thread_local std::uint64_t tLogRequests = 0;
}

std::uint64_t logRequestsOnThisThread() noexcept {
    return tLogRequests;
}

void Logger::logv(int level, const char* format, va_list args) {
    ++tLogRequests;
    if (format == nullptr || std::strlen(format) >= kMaxFormatLength)
        return;
    std::lock_guard guard(mutex_);
    if (level < threshold_)
        return;
    std::vsnprintf(buffer_.get(), kBufferSize, format, args);
    write(buffer_.get());
}

void Logger::log(int level, const std::string& text) {
    log(level, "%s", text.c_str());
}

void Logger::logError(int level, const Error& error) {
    log(level, "!! %s [%s] at %s", error.getMessage().c_str(), error.getCode().c_str(),
        error.getWhere().c_str());
}

void Logger::write(const char* text) {
    const auto ms = static_cast<std::int64_t>(std::llround((getTime() - start_) * 1000.0));
    const std::string prefix = formatPrefix(ms);
    if (!path_.empty()) {
        // One piece per line, so that another process's lines never land inside it.
        std::string line;
        line.reserve(prefix.size() + std::strlen(text) + 1);
        line.append(prefix).append(text).push_back('\n');
        // A full disk or the file-size limit loses lines from here on: said once, as a failed open is.
        if (!file_.write(line) && !writeFailureTold_) {
            const std::string reason = platform::writeFailureText(errno);
            writeFailureTold_ = true;
            platform::debugOutput(getProductIdentity().getName() + ": the log loses lines: cannot write " +
                                  path_ + ": " + reason + "\n");
        }
    } else {
        platform::debugOutput(prefix);
        platform::debugOutput(text);
        platform::debugOutput("\n");
    }
}

void Logger::setLevel(int level) {
    std::lock_guard guard(mutex_);
    threshold_ = level;
}

int Logger::getLevel() const {
    std::lock_guard guard(mutex_);
    return threshold_;
}

Logger* getLog() {
    return gLog.load(std::memory_order_acquire);
}

void setLog(Logger* log) {
    gLog.store(log, std::memory_order_release);
    if (log != nullptr)
        platform::setDiagnosticSink(
            [](int level, const std::string& text) { logLine(level, "%s", text.c_str()); });
    else
        platform::setDiagnosticSink(nullptr);
}

void logLine(int level, const char* format, ...) {
    Logger* log = getLog();
    if (log == nullptr) {
        ++tLogRequests;
        return;
    }
    va_list args;
    va_start(args, format);
    log->logv(level, format, args);
    va_end(args);
}

void logErrorLine(int level, const Error& error) {
    if (Logger* log = getLog())
        log->logError(level, error);
    else
        ++tLogRequests;
}

} // namespace trov
