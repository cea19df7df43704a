// A test process must end without crashing LeakSanitizer, wherever a loaded library's thread-local block
// lies (hostapp/SanitizerDefaults.cpp says why it may not). Where the block lies follows what the process
// allocated before it, down to the length of the paths it handles; the parent test moves it through every
// place in a page by allocating blocks of its size before the child touches it.
#include "support/ProgramRun.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace corvale::hostapp {
namespace {

constexpr const char* kShiftVariable = "CORVALE_TEST_HEAP_SHIFT";
// The library's block is 48 bytes, which take a 64-byte chunk: 64 shifts put it at each place such a chunk
// takes in a page, one of them 16 bytes in, where the interception misreads it.
constexpr int kShifts = 64;
constexpr std::size_t kBlock = 48;

// Reachable at exit, so no leak.
void* gHeld[kShifts] = {};

#if defined(__SANITIZE_ADDRESS__)
#define CORVALE_TEST_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define CORVALE_TEST_ASAN 1
#endif
#endif

// The child: blocks held before the library is loaded and its block made
// for this thread.
TEST(LeakCheckAtExit, ChildTouchesALoadedLibrarysThreadLocalBlockAfterAShiftedHeap) {
    const char* shift = std::getenv(kShiftVariable);
    for (int i = 0; shift != nullptr && i < std::min(std::atoi(shift), kShifts); ++i)
        gHeld[i] = std::malloc(kBlock);
    void* library = ::dlopen(CORVALE_THREAD_LOCAL_BLOCK, RTLD_NOW);
    ASSERT_NE(library, nullptr) << ::dlerror();
    const auto block = reinterpret_cast<char* (*)()>(::dlsym(library, "corvaleThreadLocalBlock"));
    ASSERT_NE(block, nullptr);
    block()[0] = 1;
}

TEST(LeakCheckAtExit, NoTestProcessCrashesTheLeakCheckerWhereverALoadedLibrarysThreadLocalBlockLies) {
#ifndef CORVALE_TEST_ASAN
    GTEST_SKIP() << "the leak checker runs only under AddressSanitizer";
#endif
    std::string scratch = (std::filesystem::temp_directory_path() / "corvale-leak-XXXXXX").string();
    ASSERT_NE(::mkdtemp(scratch.data()), nullptr);
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    for (int shift = 0; shift < kShifts; ++shift) {
        // As CI runs the tests: the program's own defaults decide the interception.
        const test::ChildResult result = test::runChild(
            {self,
             "--gtest_filter=LeakCheckAtExit.ChildTouchesALoadedLibrarysThreadLocalBlockAfterAShiftedHeap"},
            {{kShiftVariable, std::to_string(shift)}, {"ASAN_OPTIONS", "halt_on_error=1:detect_leaks=1"}},
            scratch);
        EXPECT_EQ(result.status, 0) << "shift " << shift << ": " << result.err;
    }
    std::filesystem::remove_all(scratch);
}

} // namespace
} // namespace corvale::hostapp
