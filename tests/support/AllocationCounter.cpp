#include "support/AllocationCounter.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <execinfo.h>
#include <fcntl.h>
#include <new>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TROV_SANITIZER_ALLOCATOR 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define TROV_SANITIZER_ALLOCATOR 1
#endif
#endif
#ifndef TROV_SANITIZER_ALLOCATOR
#define TROV_SANITIZER_ALLOCATOR 0
#endif

namespace {

// Plain integers: the counters are touched from inside the allocator, where nothing may allocate.
thread_local std::uint64_t tAllocations = 0;
std::atomic<std::uint64_t> gAllocations{0};
thread_local trov::test::AllocationSite* tSite = nullptr;

void count() noexcept {
    ++tAllocations;
    gAllocations.fetch_add(1, std::memory_order_relaxed);
    if (trov::test::AllocationSite* site = tSite; site != nullptr && site->depth == 0) {
        tSite = nullptr; // an allocation made by the unwinder itself is counted, not recorded
        site->depth = backtrace(site->frames, trov::test::AllocationSite::kMaxFrames);
        tSite = site;
    }
}

} // namespace

namespace trov::test {

std::uint64_t allocationsOnThisThread() noexcept {
    return tAllocations;
}
std::uint64_t allocationsInProcess() noexcept {
    return gAllocations.load(std::memory_order_relaxed);
}

AllocationSite* watchAllocationSite(AllocationSite* site) noexcept {
    if (site != nullptr) {
        // The first unwind loads the unwinder, which allocates: done here, before the watch begins.
        void* frame = nullptr;
        backtrace(&frame, 1);
    }
    AllocationSite* previous = tSite;
    tSite = site;
    return previous;
}

namespace {

// What addr2line says of an offset in a binary: the binary's path is one argument, whatever it holds, with
// no shell between. Empty when it cannot run.
std::string addr2line(const char* binary, const char* offset) {
    int output[2];
    if (::pipe2(output, O_CLOEXEC) != 0)
        return std::string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const char* const arguments[] = {"addr2line", "-C", "-f", "-p", "-e", binary, offset, nullptr};
    pid_t pid = 0;
    const int spawned =
        ::posix_spawnp(&pid, "addr2line", &actions, nullptr, const_cast<char* const*>(arguments), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(output[1]);
    std::string said;
    char buffer[512];
    ssize_t got = 0;
    while (spawned == 0 && (got = ::read(output[0], buffer, sizeof buffer)) != 0)
        if (got > 0)
            said.append(buffer, static_cast<std::size_t>(got));
        else if (errno != EINTR)
            break;
    ::close(output[0]);
    int status = 0;
    while (spawned == 0 && ::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return said;
}

} // namespace

std::string describeAllocationSite(const AllocationSite& site) {
    std::string text;
    for (int i = 0; i < site.depth; ++i) {
        Dl_info info{};
        const auto address = reinterpret_cast<std::uintptr_t>(site.frames[i]);
        if (dladdr(site.frames[i], &info) == 0 || info.dli_fname == nullptr) {
            char line[32];
            std::snprintf(line, sizeof line, "  0x%jx\n", static_cast<std::uintmax_t>(address));
            text += line;
            continue;
        }
        // A return address: the call lies just before it.
        const std::uintptr_t offset = address - reinterpret_cast<std::uintptr_t>(info.dli_fbase) - 1;
        char where[64];
        std::snprintf(where, sizeof where, "+0x%jx", static_cast<std::uintmax_t>(offset));
        std::string resolved = addr2line(info.dli_fname, where + 1);
        if (resolved.empty() || resolved.rfind("??", 0) == 0)
            resolved = std::string(info.dli_fname) + where + "\n";
        text.append("  ").append(resolved);
    }
    return text;
}

} // namespace trov::test

#if TROV_SANITIZER_ALLOCATOR

// NOLINTNEXTLINE(bugprone-reserved-identifier): the sanitizer runtime's own entry point
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*mallocHook)(const volatile void*,
                                                                            std::size_t),
                                                         void (*freeHook)(const volatile void*));

namespace {

void onMalloc(const volatile void*, std::size_t) {
    count();
}
void onFree(const volatile void*) {}

const int gHooksInstalled = __sanitizer_install_malloc_and_free_hooks(onMalloc, onFree);

} // namespace

#else

namespace {

void* allocate(std::size_t size) {
    count();
    if (void* p = std::malloc(size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}

void* allocateAligned(std::size_t size, std::align_val_t alignment) {
    count();
    const auto align = static_cast<std::size_t>(alignment);
    const std::size_t rounded = (size + align - 1) / align * align;
    if (void* p = std::aligned_alloc(align, rounded == 0 ? align : rounded))
        return p;
    throw std::bad_alloc();
}

} // namespace

// Kept out of line so that the compiler does not pair malloc and free with new and delete expressions.
[[gnu::noinline]] void* operator new(std::size_t size) {
    return allocate(size);
}
[[gnu::noinline]] void* operator new[](std::size_t size) {
    return allocate(size);
}
[[gnu::noinline]] void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return allocate(size);
    } catch (...) {
        return nullptr;
    }
}
[[gnu::noinline]] void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
    return operator new(size, tag);
}
[[gnu::noinline]] void* operator new(std::size_t size, std::align_val_t alignment) {
    return allocateAligned(size, alignment);
}
[[gnu::noinline]] void* operator new[](std::size_t size, std::align_val_t alignment) {
    return allocateAligned(size, alignment);
}
[[gnu::noinline]] void operator delete(void* p) noexcept {
    std::free(p);
}
[[gnu::noinline]] void operator delete[](void* p) noexcept {
    std::free(p);
}
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
[[gnu::noinline]] void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
[[gnu::noinline]] void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
[[gnu::noinline]] void operator delete[](void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
[[gnu::noinline]] void operator delete(void* p, std::align_val_t) noexcept {
    std::free(p);
}
[[gnu::noinline]] void operator delete[](void* p, std::align_val_t) noexcept {
    std::free(p);
}
[[gnu::noinline]] void operator delete(void* p, std::size_t, std::align_val_t) noexcept {
    std::free(p);
}
[[gnu::noinline]] void operator delete[](void* p, std::size_t, std::align_val_t) noexcept {
    std::free(p);
}

#endif
