// A process that loads the module must end without crashing LeakSanitizer, wherever the module's
// thread-local block lies (hostapp/SanitizerDefaults.cpp says why it may not). Where the block lies
// follows what the process allocated before it; the parent test moves it through every place in a page by
// allocating blocks of its size before the child loads the module.
#include "HostProgramFixture.h"

#include <elf.h>

#include <cstdlib>
#include <future>

namespace corvale::hostapp {
namespace {

constexpr const char* kShiftVariable = "CORVALE_TEST_HEAP_SHIFT";
// A block of up to 48 bytes takes a 64-byte chunk: 64 shifts put it at each place such a chunk takes in a
// page.
constexpr int kShifts = 64;

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define CORVALE_TEST_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define CORVALE_TEST_ASAN 1
#endif

// The size of a library's thread-local block, from its program headers; 0 when it has none.
std::uint64_t threadLocalSize(const std::string& library) {
    std::ifstream in(library, std::ios::binary);
    Elf64_Ehdr header{};
    if (!in.read(reinterpret_cast<char*>(&header), sizeof header) || header.e_phentsize != sizeof(Elf64_Phdr))
        return 0;
    for (int i = 0; i < header.e_phnum; ++i) {
        Elf64_Phdr program{};
        in.seekg(static_cast<std::streamoff>(header.e_phoff + i * sizeof program));
        if (in.read(reinterpret_cast<char*>(&program), sizeof program) && program.p_type == PT_TLS)
            return program.p_memsz;
    }
    return 0;
}

// The child: blocks of the module's thread-local size held before the module is loaded and an instance
// started in this process, which touches that storage.
TEST_F(HostProgram, StartsAnInstanceInThisProcessAfterAShiftedHeap) {
    if (!moduleBuilt())
        GTEST_SKIP() << "the test module is not built";
    // Reachable at exit, so no leak (a vector would be destroyed before the check).
    static void* held[kShifts] = {};
    const char* shift = std::getenv(kShiftVariable);
    for (int i = 0; shift != nullptr && i < std::min(std::atoi(shift), kShifts); ++i)
        held[i] = std::malloc(threadLocalSize(modulePath()));
    layOutInstallation();
    EXPECT_FALSE(stateDocument().empty());
}

TEST_F(HostProgram, NoProcessLoadingTheModuleCrashesTheLeakCheckerAtExitWhereverItsThreadLocalBlockLies) {
#ifndef CORVALE_TEST_ASAN
    GTEST_SKIP() << "the leak checker runs only under AddressSanitizer";
#endif
    if (!moduleBuilt())
        GTEST_SKIP() << "the test module is not built";
    ASSERT_LE(threadLocalSize(modulePath()), 48u) << "a larger block takes larger chunks: widen the shifts";
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    const auto child = [&](int shift) {
        const std::string folder = scratch_ + "/" + std::to_string(shift);
        std::filesystem::create_directory(folder);
        // As CI runs the tests: the child's own defaults decide the interception.
        return test::runChild(
            {self, "--gtest_filter=HostProgram.StartsAnInstanceInThisProcessAfterAShiftedHeap"},
            {{kShiftVariable, std::to_string(shift)}, {"ASAN_OPTIONS", "halt_on_error=1:detect_leaks=1"}},
            folder);
    };
    constexpr int kAtOnce = 4;
    for (int first = 0; first < kShifts; first += kAtOnce) {
        std::vector<std::future<test::ChildResult>> running;
        for (int shift = first; shift < first + kAtOnce; ++shift)
            running.push_back(std::async(std::launch::async, child, shift));
        for (int shift = first; shift < first + kAtOnce; ++shift) {
            const test::ChildResult result = running[static_cast<std::size_t>(shift - first)].get();
            EXPECT_EQ(result.status, 0) << "shift " << shift << ": " << result.err;
            EXPECT_EQ(result.err.find("LeakSanitizer has encountered a fatal error"), std::string::npos)
                << "shift " << shift << ": " << result.err;
        }
    }
}

} // namespace
} // namespace corvale::hostapp
