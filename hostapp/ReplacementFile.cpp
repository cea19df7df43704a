#include "hostapp/ReplacementFile.h"

#include "hostapp/FileChecks.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvale::hostapp {

namespace {

// Six characters for a new name; made with O_EXCL, so a name taken only costs another try.
std::string nameSuffix() {
    static std::atomic<std::uint64_t> counter{0};
    std::uint64_t bits =
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
        (static_cast<std::uint64_t>(::getpid()) << 40) ^ (counter++ * 0x9E3779B97F4A7C15u);
    // splitmix64's finaliser spreads the bits that change into every character.
    bits = (bits ^ (bits >> 30)) * 0xBF58476D1CE4E5B9u;
    bits = (bits ^ (bits >> 27)) * 0x94D049BB133111EBu;
    bits ^= bits >> 31;
    static constexpr char kCharacters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::string suffix(6, '\0');
    for (char& c : suffix) {
        c = kCharacters[bits % (sizeof kCharacters - 1)];
        bits /= sizeof kCharacters - 1;
    }
    return suffix;
}

} // namespace

ReplacementFile::~ReplacementFile() {
    abandon();
}

void ReplacementFile::abandon() {
    if (descriptor_ >= 0)
        ::close(descriptor_);
    descriptor_ = -1;
    if (!newPath_.empty())
        ::unlink(newPath_.c_str());
    newPath_.clear();
}

bool ReplacementFile::open(const std::string& path, std::string& error, std::optional<unsigned> newMode) {
    abandon();
    target_ = linkTarget(path, error);
    if (target_.empty())
        return false;
    struct stat existing {};
    const bool replacing = ::stat(target_.c_str(), &existing) == 0 && S_ISREG(existing.st_mode);
    // A file whose mode is set here is made private until then; a new one without a mode gets the umask's.
    const mode_t made = replacing || newMode ? 0600 : 0666;
    for (int attempt = 0; attempt < 100 && descriptor_ < 0; ++attempt) {
        newPath_ = target_ + "." + nameSuffix();
        descriptor_ = ::open(newPath_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, made);
        if (descriptor_ < 0 && errno != EEXIST)
            break;
    }
    if (descriptor_ < 0) {
        error = std::strerror(errno);
        newPath_.clear();
        return false;
    }
    // The owner first, since a change of owner clears the set-user and set-group bits. A process that may
    // not give the file away (EPERM; EINVAL for an owner outside its user namespace) keeps it as its own.
    if (replacing && ::fchown(descriptor_, existing.st_uid, existing.st_gid) != 0 && errno != EPERM &&
        errno != EINVAL) {
        error = std::strerror(errno);
        abandon();
        return false;
    }
    const mode_t mode = replacing ? existing.st_mode & 07777 : static_cast<mode_t>(newMode.value_or(0));
    if ((replacing || newMode) && ::fchmod(descriptor_, mode) != 0) {
        error = std::strerror(errno);
        abandon();
        return false;
    }
    return true;
}

bool ReplacementFile::commit(std::string& error) {
    if (descriptor_ < 0) {
        error = "no file is open";
        return false;
    }
    const int descriptor = descriptor_;
    descriptor_ = -1;
    const bool synced = ::fsync(descriptor) == 0;
    int failure = synced ? 0 : errno;
    if (::close(descriptor) != 0 && failure == 0)
        failure = errno;
    if (failure == 0 && ::rename(newPath_.c_str(), target_.c_str()) != 0)
        failure = errno;
    if (failure != 0) {
        error = std::strerror(failure);
        abandon();
        return false;
    }
    newPath_.clear();
    return true;
}

} // namespace corvale::hostapp
