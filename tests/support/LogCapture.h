#pragma once

#include "framework/Logger.h"
#include "support/FileTestFolder.h"

#include <memory>
#include <string>

namespace trov::test {

// Installs a process-wide log writing to a temporary file at the given threshold, and reads it back.
class LogCapture {
public:
    explicit LogCapture(int threshold = 0) {
        static int made = 0;
        path_ = (std::filesystem::temp_directory_path() /
                 ("trov-log-" + std::to_string(::getpid()) + "-" + std::to_string(made++) + ".log"))
                    .string();
        log_ = std::make_unique<Logger>(threshold, path_);
        setLog(log_.get());
    }
    ~LogCapture() {
        setLog(nullptr);
        log_.reset();
        std::filesystem::remove(path_);
    }
    Logger& log() { return *log_; }
    std::string text() const { return readFile(path_); }
    int count(const std::string& needle) const {
        const std::string all = text();
        int n = 0;
        for (std::size_t at = all.find(needle); at != std::string::npos; at = all.find(needle, at + 1))
            ++n;
        return n;
    }

private:
    std::string path_;
    std::unique_ptr<Logger> log_;
};

} // namespace trov::test
