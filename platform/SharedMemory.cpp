#include "platform/SharedMemory.h"

#include <fcntl.h>
#include <mutex>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace trov::platform {

namespace {

std::mutex prefixMutex;
std::string namePrefix;

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

} // namespace

SharedMemory::SharedMemory(SharedMemory&& other) noexcept
    : view_(std::exchange(other.view_, nullptr)), size_(std::exchange(other.size_, 0)) {}

SharedMemory& SharedMemory::operator=(SharedMemory&& other) noexcept {
    if (this != &other) {
        close();
        view_ = std::exchange(other.view_, nullptr);
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}

SharedMemory::~SharedMemory() {
    close();
}

void SharedMemory::setNamePrefix(const std::string& prefix) {
    std::lock_guard guard(prefixMutex);
    namePrefix = prefix;
}

std::string SharedMemory::objectName(const std::string& name) {
    std::lock_guard guard(prefixMutex);
    return "/" + namePrefix + name;
}

bool SharedMemory::open(const std::string& name, std::size_t size) {
    close();
    if (size == 0)
        return false;
    const Descriptor fd(::shm_open(objectName(name).c_str(), O_RDWR, 0));
    if (fd.get() < 0)
        return false;
    struct stat status {};
    if (::fstat(fd.get(), &status) != 0 || status.st_size < 0 ||
        static_cast<std::size_t>(status.st_size) < size)
        return false;
    return map(fd.get(), size);
}

bool SharedMemory::create(const std::string& name, std::size_t size) {
    close();
    if (size == 0)
        return false;
    const Descriptor fd(::shm_open(objectName(name).c_str(), O_RDWR | O_CREAT, 0600));
    if (fd.get() < 0 || ::ftruncate(fd.get(), static_cast<off_t>(size)) != 0)
        return false;
    return map(fd.get(), size);
}

bool SharedMemory::map(int descriptor, std::size_t size) {
    void* view = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, descriptor, 0);
    if (view == MAP_FAILED)
        return false;
    view_ = static_cast<unsigned char*>(view);
    size_ = size;
    return true;
}

void SharedMemory::close() noexcept {
    if (view_ != nullptr)
        ::munmap(view_, size_);
    view_ = nullptr;
    size_ = 0;
}

bool SharedMemory::remove(const std::string& name) {
    return ::shm_unlink(objectName(name).c_str()) == 0;
}

} // namespace trov::platform
