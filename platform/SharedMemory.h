#pragma once

#include <cstddef>
#include <string>

namespace trov::platform {

// A named POSIX shared memory object mapped into this process, read-write, at a fixed size. The reader
// of a link only ever opens objects another process created; creation and removal exist for that other
// end (and tests). Move-only; unmapped and closed when it ends. One thread at a time per object; the
// mapped bytes themselves are shared with other processes without any lock.
class SharedMemory {
public:
    SharedMemory() = default;
    SharedMemory(SharedMemory&& other) noexcept;
    SharedMemory& operator=(SharedMemory&& other) noexcept;
    SharedMemory(const SharedMemory&) = delete;
    SharedMemory& operator=(const SharedMemory&) = delete;
    ~SharedMemory();

    // Maps the first size bytes of the existing object of that name (without the leading "/"). False,
    // with nothing mapped, when it does not exist, cannot be opened read-write, or is smaller than size:
    // a short object is refused before it is mapped, so no access can fall beyond its end.
    bool open(const std::string& name, std::size_t size);
    // Creates the object (or takes an existing one), sets it to size bytes and maps it.
    bool create(const std::string& name, std::size_t size);
    void close() noexcept;
    // Removes the name; mappings already made stay valid. False when there was no such object.
    static bool remove(const std::string& name);

    bool isOpen() const noexcept { return view_ != nullptr; }
    unsigned char* data() const noexcept { return view_; }
    std::size_t size() const noexcept { return size_; }

    // A text put in front of every name this process uses, so that test runs never meet each other's
    // objects or a real link's. Empty in production.
    static void setNamePrefix(const std::string& prefix);
    static std::string objectName(const std::string& name);

private:
    bool map(int descriptor, std::size_t size);

    unsigned char* view_ = nullptr;
    std::size_t size_ = 0;
};

} // namespace trov::platform
