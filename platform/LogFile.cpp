#include "platform/LogFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace trov::platform {

LogFile::~LogFile() {
    close();
}

bool LogFile::open(const std::string& path) {
    close();
    descriptor_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (descriptor_ < 0)
        return false;
    // Every process holds a shared lock while it writes; only one that finds no other holder may start the
    // file afresh, and it keeps its claim as a shared lock like the others.
    if (::flock(descriptor_, LOCK_EX | LOCK_NB) == 0) {
        if (::ftruncate(descriptor_, 0) != 0) {
            // The old lines stay; the new ones follow them.
        }
        ::flock(descriptor_, LOCK_SH);
    } else {
        ::flock(descriptor_, LOCK_SH);
    }
    return true;
}

bool LogFile::write(const std::string& text) {
    if (descriptor_ < 0)
        return true;
    const char* data = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        const ssize_t written = ::write(descriptor_, data, left);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    return true;
}

void LogFile::close() {
    if (descriptor_ < 0)
        return;
    ::close(descriptor_);
    descriptor_ = -1;
}

} // namespace trov::platform
