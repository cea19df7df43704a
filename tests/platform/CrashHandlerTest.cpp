#include "platform/CrashHandler.h"

#include "support/ChildProcess.h"
#include "support/FileTestFolder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

namespace trov::platform {
namespace {

class CrashHandlerTest : public testing::Test {
protected:
    std::string dump() const { return test::readFile(dumpPath_); }
    bool prepared() const { return std::filesystem::exists(dumpPath_ + ".new"); }

    test::FileTestFolder folder_;
    const std::string dumpPath_ = folder_ / "Product.dmp";
};

// A handler the crash handler must hand the signal on to, standing in for a host's or the default one.
void previousHandler(int signal) {
    ::_exit(100 + signal);
}

int crashWithPreviousHandler(const std::string& dumpPath, int signal, void (*crash)()) {
    struct sigaction previous {};
    previous.sa_handler = previousHandler;
    sigemptyset(&previous.sa_mask);
    ::sigaction(signal, &previous, nullptr);
    if (installCrashHandler(dumpPath) != 0)
        return 1;
    crash();
    return 2;
}

void writeThroughABadPointer() {
    volatile std::uintptr_t address = 16; // read at run time, so the compiler sees no constant null page
    *reinterpret_cast<volatile int*>(address) = 1;
}

TEST_F(CrashHandlerTest, AFaultInAChildLeavesADumpAndReachesThePreviousHandler) {
    const auto outcome = test::runInChild(
        [&] { return crashWithPreviousHandler(dumpPath_, SIGSEGV, writeThroughABadPointer); });
    EXPECT_TRUE(outcome.exited);
    EXPECT_EQ(outcome.exitCode, 100 + SIGSEGV) << "the fault recurs for the handler that was there before";

    const std::string text = dump();
    EXPECT_EQ(text.rfind("minidumper caught exception Access violation, creating dump\n", 0), 0u) << text;
    for (const char* part : {
             "\nsignal 11 SIGSEGV code 1\n", "\naddress 0x0000000000000010\n",
#if defined(__x86_64__)
                 "\nrip 0x", "\nrsp 0x",
#endif
                 "\nbacktrace\n#0 0x", "\nmemory map\n", "[stack]"
         })
        EXPECT_NE(text.find(part), std::string::npos) << part;
    EXPECT_FALSE(prepared()) << "the prepared file took the dump's name";
}

TEST_F(CrashHandlerTest, ASentSignalIsWrittenAndSentAgainToThePreviousHandler) {
    const auto outcome = test::runInChild(
        [&] { return crashWithPreviousHandler(dumpPath_, SIGFPE, [] { ::raise(SIGFPE); }); });
    EXPECT_TRUE(outcome.exited);
    EXPECT_EQ(outcome.exitCode, 100 + SIGFPE);
    EXPECT_NE(dump().find("\nsignal 8 SIGFPE code "), std::string::npos) << dump();
}

int recurse(int depth, volatile char* previous) {
    volatile char frame[2048];
    frame[0] = previous != nullptr ? previous[0] : char{1};
    if (depth < 100000000)
        return recurse(depth + 1, frame) + frame[1];
    return frame[0];
}

TEST_F(CrashHandlerTest, AStackOverflowIsWrittenFromTheAlternateStack) {
    const auto outcome = test::runInChild([&] {
        installCrashHandler(dumpPath_);
        return recurse(0, nullptr);
    });
    EXPECT_FALSE(outcome.exited && outcome.exitCode == 0);
    EXPECT_EQ(dump().rfind("minidumper caught exception Stack overflow, creating dump\n", 0), 0u) << dump();
}

TEST_F(CrashHandlerTest, AnEarlierDumpStaysUntilACrashAndAnUnwritableFolderIsReportedAtInstall) {
    folder_.write("Product.dmp", "earlier dump");
    ASSERT_EQ(installCrashHandler(dumpPath_), 0);
    EXPECT_TRUE(isCrashHandlerInstalled());
    removeCrashHandler();
    EXPECT_FALSE(isCrashHandlerInstalled());
    EXPECT_EQ(dump(), "earlier dump");
    EXPECT_FALSE(prepared());

    EXPECT_NE(installCrashHandler(folder_ / "missing/Product.dmp"), 0);
    EXPECT_TRUE(isCrashHandlerInstalled());
    removeCrashHandler();
}

TEST(CrashNames, FaultsAreNamedFromTheirSignalAndCode) {
    EXPECT_STREQ(exceptionName(SIGSEGV, SEGV_MAPERR, false), "Access violation");
    EXPECT_STREQ(exceptionName(SIGSEGV, SEGV_ACCERR, false), "Access violation");
    EXPECT_STREQ(exceptionName(SIGSEGV, SEGV_MAPERR, true), "Stack overflow");
    EXPECT_STREQ(exceptionName(SIGBUS, BUS_ADRALN, false), "Datatype misalignment");
    EXPECT_STREQ(exceptionName(SIGBUS, BUS_ADRERR, false), "Page error");
    EXPECT_STREQ(exceptionName(SIGILL, ILL_ILLOPC, false), "Illegal instruction");
    EXPECT_STREQ(exceptionName(SIGILL, ILL_PRVOPC, false), "Priviledged instruction");
    EXPECT_STREQ(exceptionName(SIGFPE, FPE_INTDIV, false), "INT divide by zero");
    EXPECT_STREQ(exceptionName(SIGFPE, FPE_INTOVF, false), "INT overflow");
    EXPECT_STREQ(exceptionName(SIGFPE, FPE_FLTDIV, false), "FP divide by zero");
    EXPECT_STREQ(exceptionName(SIGFPE, FPE_FLTOVF, false), "FP overflow");
    EXPECT_STREQ(exceptionName(SIGFPE, FPE_FLTUND, false), "FP underflow");
    EXPECT_STREQ(exceptionName(SIGFPE, FPE_FLTRES, false), "FP inexact result");
    EXPECT_STREQ(exceptionName(SIGFPE, FPE_FLTINV, false), "FP invalid operation");
    EXPECT_STREQ(exceptionName(SIGFPE, FPE_FLTSUB, false), "Array bounds exceeded");
    EXPECT_STREQ(exceptionName(SIGFPE, SI_USER, false), "Unknown exception");
    EXPECT_STREQ(exceptionName(SIGTRAP, TRAP_BRKPT, false), "Breakpoint");
    EXPECT_STREQ(exceptionName(SIGTRAP, TRAP_TRACE, false), "Single-step trap");
    EXPECT_STREQ(exceptionName(SIGABRT, 0, false), "Unknown exception");
}

} // namespace
} // namespace trov::platform
