#include "platform/CrashHandler.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <ucontext.h>
#include <unistd.h>

namespace trov::platform {

namespace {

constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE};
constexpr int kSignalCount = sizeof kSignals / sizeof kSignals[0];
constexpr std::size_t kAltStackSize = 64 * 1024;
constexpr int kMaxFrames = 64;
// A segmentation fault this close to the stack pointer is taken for a stack overflow.
constexpr std::uintptr_t kStackReach = 64 * 1024;

// Everything the handler touches is prepared here before any crash.
std::mutex gInstallMutex;
bool gInstalled = false;
struct sigaction gPrevious[kSignalCount];
int gDumpFd = -1;
int gOpenError = 0;
char gDumpPath[PATH_MAX];
char gPendingPath[PATH_MAX];
void* gAltStack = nullptr;
std::atomic<bool> gHandling{false};

struct Range {
    std::uintptr_t low;
    std::uintptr_t high;
};
Range gReadable[4096];
std::size_t gReadableCount = 0;

// --- Async-signal-safe output: fixed buffer, our own number formatting, write(2) only. ---

std::size_t length(const char* text) {
    std::size_t n = 0;
    while (text[n] != '\0')
        ++n;
    return n;
}

class Writer {
public:
    explicit Writer(int fd) : fd_(fd) {}
    ~Writer() { flush(); }

    Writer& text(const char* s) { return bytes(s, length(s)); }

    Writer& bytes(const char* s, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) {
            if (used_ == sizeof buffer_)
                flush();
            buffer_[used_++] = s[i];
        }
        return *this;
    }

    Writer& hex(std::uintptr_t value) {
        char digits[2 + 2 * sizeof value];
        digits[0] = '0';
        digits[1] = 'x';
        for (std::size_t i = 0; i < 2 * sizeof value; ++i)
            digits[2 + i] = "0123456789abcdef"[(value >> (4 * (2 * sizeof value - 1 - i))) & 0xF];
        return bytes(digits, sizeof digits);
    }

    Writer& number(long value) {
        char digits[24];
        std::size_t n = 0;
        unsigned long magnitude =
            value < 0 ? 0ul - static_cast<unsigned long>(value) : static_cast<unsigned long>(value);
        do {
            digits[sizeof digits - 1 - n++] = static_cast<char>('0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude != 0);
        if (value < 0)
            digits[sizeof digits - 1 - n++] = '-';
        return bytes(digits + sizeof digits - n, n);
    }

    void flush() {
        std::size_t done = 0;
        while (done < used_) {
            const ssize_t n = ::write(fd_, buffer_ + done, used_ - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            done += static_cast<std::size_t>(n);
        }
        used_ = 0;
    }

private:
    int fd_;
    char buffer_[512];
    std::size_t used_ = 0;
};

const char* signalName(int signal) {
    switch (signal) {
    case SIGSEGV:
        return "SIGSEGV";
    case SIGBUS:
        return "SIGBUS";
    case SIGILL:
        return "SIGILL";
    case SIGFPE:
        return "SIGFPE";
    default:
        return "signal";
    }
}

bool parseHex(const char*& p, std::uintptr_t& value) {
    value = 0;
    const char* start = p;
    for (;; ++p) {
        const char c = *p;
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else
            break;
        value = (value << 4) | static_cast<std::uintptr_t>(digit);
    }
    return p != start;
}

// A line of /proc/self/maps: "low-high perms ...".
void noteMapping(const char* line) {
    std::uintptr_t low = 0;
    std::uintptr_t high = 0;
    const char* p = line;
    if (!parseHex(p, low) || *p++ != '-' || !parseHex(p, high) || *p++ != ' ' || *p != 'r')
        return;
    if (gReadableCount < sizeof gReadable / sizeof gReadable[0])
        gReadable[gReadableCount++] = {low, high};
}

// Reads the memory map; notes its readable ranges, or copies it to the writer.
void readMemoryMap(Writer* copy) {
    const int fd = ::open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return;
    char chunk[1024];
    char line[256];
    std::size_t used = 0;
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        if (copy != nullptr) {
            copy->bytes(chunk, static_cast<std::size_t>(n));
            continue;
        }
        for (ssize_t i = 0; i < n; ++i) {
            if (chunk[i] == '\n') {
                line[used] = '\0';
                noteMapping(line);
                used = 0;
            } else if (used + 1 < sizeof line) {
                line[used++] = chunk[i];
            }
        }
    }
    ::close(fd);
}

bool isReadable(std::uintptr_t address, std::size_t size) {
    for (std::size_t i = 0; i < gReadableCount; ++i)
        if (address >= gReadable[i].low && address + size <= gReadable[i].high && address + size > address)
            return true;
    return false;
}

#if defined(__x86_64__) && defined(__linux__)
struct Registers {
    std::uintptr_t pc;
    std::uintptr_t sp;
    std::uintptr_t fp;
};

Registers registersOf(const void* context) {
    const auto* uc = static_cast<const ucontext_t*>(context);
    return {static_cast<std::uintptr_t>(uc->uc_mcontext.gregs[REG_RIP]),
            static_cast<std::uintptr_t>(uc->uc_mcontext.gregs[REG_RSP]),
            static_cast<std::uintptr_t>(uc->uc_mcontext.gregs[REG_RBP])};
}

void writeRegisters(Writer& out, const void* context) {
    static constexpr struct {
        const char* name;
        int index;
    } kRegisters[] = {{"rax", REG_RAX}, {"rbx", REG_RBX},   {"rcx", REG_RCX}, {"rdx", REG_RDX},
                      {"rsi", REG_RSI}, {"rdi", REG_RDI},   {"rbp", REG_RBP}, {"rsp", REG_RSP},
                      {"r8", REG_R8},   {"r9", REG_R9},     {"r10", REG_R10}, {"r11", REG_R11},
                      {"r12", REG_R12}, {"r13", REG_R13},   {"r14", REG_R14}, {"r15", REG_R15},
                      {"rip", REG_RIP}, {"eflags", REG_EFL}};
    const auto* uc = static_cast<const ucontext_t*>(context);
    out.text("registers\n");
    for (const auto& r : kRegisters)
        out.text(r.name)
            .text(" ")
            .hex(static_cast<std::uintptr_t>(uc->uc_mcontext.gregs[r.index]))
            .text("\n");
}

// Follows the frame-pointer chain, reading a frame only where the memory map says it is readable, so a
// broken chain ends the walk instead of faulting again. Code built without frame pointers gives only the
// first entries.
void writeBacktrace(Writer& out, const Registers& r) {
    out.text("backtrace\n");
    out.text("#0 ").hex(r.pc).text("\n");
    std::uintptr_t frame = r.fp;
    for (int depth = 1; depth < kMaxFrames; ++depth) {
        if (frame % sizeof(std::uintptr_t) != 0 || !isReadable(frame, 2 * sizeof(std::uintptr_t)))
            break;
        const auto* slots = reinterpret_cast<const std::uintptr_t*>(frame);
        const std::uintptr_t next = slots[0];
        const std::uintptr_t returnAddress = slots[1];
        if (returnAddress == 0)
            break;
        out.text("#").number(depth).text(" ").hex(returnAddress).text("\n");
        if (next <= frame)
            break;
        frame = next;
    }
}
#else
struct Registers {
    std::uintptr_t pc = 0;
    std::uintptr_t sp = 0;
    std::uintptr_t fp = 0;
};
Registers registersOf(const void*) {
    return {};
}
void writeRegisters(Writer& out, const void*) {
    out.text("registers\nunavailable\n");
}
void writeBacktrace(Writer& out, const Registers&) {
    out.text("backtrace\nunavailable\n");
}
#endif

void writeDump(int signal, const siginfo_t* info, const void* context, const char* name) {
    const Registers regs = registersOf(context);
    if (::ftruncate(gDumpFd, 0) != 0 || ::lseek(gDumpFd, 0, SEEK_SET) != 0) {
        Writer(STDERR_FILENO)
            .text("  failed to save dump file to '")
            .text(gDumpPath)
            .text("' (error ")
            .number(errno)
            .text(")\n");
        return;
    }
    {
        Writer out(gDumpFd);
        out.text("minidumper caught exception ").text(name).text(", creating dump\n");
        out.text("signal ")
            .number(signal)
            .text(" ")
            .text(signalName(signal))
            .text(" code ")
            .number(info->si_code)
            .text("\n");
        out.text("address ").hex(reinterpret_cast<std::uintptr_t>(info->si_addr)).text("\n");
        writeRegisters(out, context);
    }
    // Under its final name from here on: whatever follows, the next start finds this dump.
    ::rename(gPendingPath, gDumpPath);
    {
        gReadableCount = 0;
        readMemoryMap(nullptr);
        Writer out(gDumpFd);
        writeBacktrace(out, regs);
        out.text("memory map\n");
        readMemoryMap(&out);
    }
    ::fsync(gDumpFd);
    Writer(STDERR_FILENO).text("  saved dump file to '").text(gDumpPath).text("'\n");
}

void restorePreviousHandlers() {
    for (int i = 0; i < kSignalCount; ++i)
        ::sigaction(kSignals[i], &gPrevious[i], nullptr);
}

void onCrash(int signal, siginfo_t* info, void* context) {
    const int savedErrno = errno;
    // One crash is written; a second thread faulting meanwhile retries its instruction until the
    // previous handlers are back.
    if (!gHandling.exchange(true)) {
        const Registers regs = registersOf(context);
        const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
        const bool nearStack =
            regs.sp != 0 && address + kStackReach > regs.sp && address < regs.sp + kStackReach;
        const char* name = exceptionName(signal, info->si_code, nearStack);
        Writer(STDERR_FILENO).text("minidumper caught exception ").text(name).text(", creating dump\n");
        if (gDumpFd < 0)
            Writer(STDERR_FILENO)
                .text("  failed to create dump file '")
                .text(gDumpPath)
                .text("' (error ")
                .number(gOpenError)
                .text(")\n");
        else
            writeDump(signal, info, context, name);
        restorePreviousHandlers();
    }
    // A fault happens again when the instruction is retried, now for the previous handler; a signal that
    // was sent has to be sent again.
    if (info->si_code <= 0)
        ::raise(signal);
    errno = savedErrno;
}

bool copyPath(char* to, const std::string& from) {
    if (from.size() + 1 > PATH_MAX)
        return false;
    std::memcpy(to, from.c_str(), from.size() + 1);
    return true;
}

void installAltStack() {
    stack_t current{};
    if (::sigaltstack(nullptr, &current) == 0 && !(current.ss_flags & SS_DISABLE))
        return; // the thread has its own (a sanitizer's, a host's): keep it
    gAltStack = std::malloc(kAltStackSize);
    if (gAltStack == nullptr)
        return;
    stack_t ours{};
    ours.ss_sp = gAltStack;
    ours.ss_size = kAltStackSize;
    if (::sigaltstack(&ours, nullptr) != 0) {
        std::free(gAltStack);
        gAltStack = nullptr;
    }
}

void removeAltStack() {
    if (gAltStack == nullptr)
        return;
    stack_t current{};
    if (::sigaltstack(nullptr, &current) == 0 && current.ss_sp == gAltStack) {
        stack_t off{};
        off.ss_flags = SS_DISABLE;
        ::sigaltstack(&off, nullptr);
        std::free(gAltStack);
    }
    // Installed on another thread: that thread may still use it, so it is left in place.
    gAltStack = nullptr;
}

} // namespace

int installCrashHandler(const std::string& dumpPath) {
    std::lock_guard guard(gInstallMutex);
    if (gInstalled)
        return gOpenError;
    if (!copyPath(gDumpPath, dumpPath) || !copyPath(gPendingPath, dumpPath + ".new")) {
        gDumpPath[0] = '\0';
        gPendingPath[0] = '\0';
        gOpenError = ENAMETOOLONG;
    } else {
        gDumpFd = ::open(gPendingPath, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        gOpenError = gDumpFd < 0 ? errno : 0;
    }
    installAltStack();
    struct sigaction action {};
    action.sa_sigaction = onCrash;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (int signal : kSignals)
        sigaddset(&action.sa_mask, signal);
    for (int i = 0; i < kSignalCount; ++i)
        ::sigaction(kSignals[i], &action, &gPrevious[i]);
    gHandling.store(false);
    gInstalled = true;
    return gOpenError;
}

void removeCrashHandler() {
    std::lock_guard guard(gInstallMutex);
    if (!gInstalled)
        return;
    restorePreviousHandlers();
    removeAltStack();
    if (gDumpFd >= 0) {
        ::close(gDumpFd);
        gDumpFd = -1;
        ::unlink(gPendingPath);
    }
    gInstalled = false;
}

bool isCrashHandlerInstalled() {
    std::lock_guard guard(gInstallMutex);
    return gInstalled;
}

const char* exceptionName(int signal, int code, bool nearStackPointer) {
    switch (signal) {
    case SIGSEGV:
        return nearStackPointer ? "Stack overflow" : "Access violation";
    case SIGBUS:
        return code == BUS_ADRALN ? "Datatype misalignment" : "Page error";
    case SIGILL:
        return code == ILL_PRVOPC || code == ILL_PRVREG ? "Priviledged instruction" : "Illegal instruction";
    case SIGFPE:
        switch (code) {
        case FPE_INTDIV:
            return "INT divide by zero";
        case FPE_INTOVF:
            return "INT overflow";
        case FPE_FLTDIV:
            return "FP divide by zero";
        case FPE_FLTOVF:
            return "FP overflow";
        case FPE_FLTUND:
            return "FP underflow";
        case FPE_FLTRES:
            return "FP inexact result";
        case FPE_FLTINV:
            return "FP invalid operation";
        case FPE_FLTSUB:
            return "Array bounds exceeded";
        default:
            return "Unknown exception";
        }
    case SIGTRAP:
        return code == TRAP_TRACE ? "Single-step trap" : "Breakpoint";
    default:
        return "Unknown exception";
    }
}

} // namespace trov::platform
