#include "platform/FileReplacement.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace trov::platform {

std::string writeFailureText(int error) {
    rlimit limit{};
    if (error == EFBIG && ::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        return "it reached this process's file-size limit of " + std::to_string(limit.rlim_cur) +
               " bytes (ulimit -f)";
    return std::strerror(error);
}

FileReplacement::FileReplacement(const std::string& path) : path_(path), temporary_(path + ".XXXXXX") {
    descriptor_ = ::mkostemp(temporary_.data(), O_CLOEXEC);
    if (descriptor_ < 0) {
        temporary_.clear();
        fail();
        return;
    }
    struct stat existing {};
    const mode_t mode = ::stat(path_.c_str(), &existing) == 0 ? (existing.st_mode & 0777) : 0644;
    if (::fchmod(descriptor_, mode) != 0)
        fail();
}

FileReplacement::~FileReplacement() {
    abandon();
}

bool FileReplacement::fail() {
    if (problem_.empty())
        problem_ = writeFailureText(errno);
    abandon();
    return false;
}

void FileReplacement::abandon() {
    if (descriptor_ >= 0)
        ::close(descriptor_);
    descriptor_ = -1;
    if (!temporary_.empty())
        ::unlink(temporary_.c_str());
    temporary_.clear();
}

bool FileReplacement::write(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0 && descriptor_ >= 0) {
        const ssize_t written = ::write(descriptor_, bytes, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written == 0)
            errno = EIO; // nothing taken and nothing said: not to be tried forever
        if (written <= 0)
            return fail();
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return descriptor_ >= 0;
}

bool FileReplacement::commit() {
    if (descriptor_ < 0)
        return false;
    if (::fsync(descriptor_) != 0)
        return fail();
    const int descriptor = descriptor_;
    descriptor_ = -1;
    if (::close(descriptor) != 0 || ::rename(temporary_.c_str(), path_.c_str()) != 0)
        return fail();
    temporary_.clear();
    return true;
}

} // namespace trov::platform
