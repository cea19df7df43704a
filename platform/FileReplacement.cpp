#include "platform/FileReplacement.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
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

std::string linkTarget(const std::string& path, std::string& why) {
    std::filesystem::path at = path;
    for (int links = 0; links <= kMaxLinks; ++links) {
        std::error_code failed;
        if (!std::filesystem::is_symlink(std::filesystem::symlink_status(at, failed)))
            return at.string();
        const std::filesystem::path target = std::filesystem::read_symlink(at, failed);
        if (failed) {
            why = "its symbolic link " + at.string() + " cannot be read: " + failed.message();
            return std::string();
        }
        at = target.is_absolute() ? target : at.parent_path() / target;
    }
    why = "more than " + std::to_string(kMaxLinks) + " symbolic links lead to it";
    return std::string();
}

FileReplacement::FileReplacement(const std::string& path) {
    path_ = linkTarget(path, problem_);
    if (path_.empty())
        return;
    temporary_ = path_ + ".XXXXXX";
    descriptor_ = ::mkostemp(temporary_.data(), O_CLOEXEC);
    if (descriptor_ < 0) {
        temporary_.clear();
        fail();
        return;
    }
    struct stat existing {};
    const bool replacing = ::stat(path_.c_str(), &existing) == 0 && S_ISREG(existing.st_mode);
    // The owner first, since a change of owner clears the set-user and set-group bits. A process that may
    // not give the file away (EPERM; EINVAL for an owner outside its user namespace) keeps it as its own.
    if (replacing && ::fchown(descriptor_, existing.st_uid, existing.st_gid) != 0 && errno != EPERM &&
        errno != EINVAL) {
        fail();
        return;
    }
    if (::fchmod(descriptor_, replacing ? existing.st_mode & 07777 : 0644) != 0)
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
