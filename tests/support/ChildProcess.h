#pragma once

#include <cerrno>
#include <cstring>
#include <functional>
#include <linux/capability.h>
#include <string>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace trov::test {

struct ChildOutcome {
    bool exited = false;
    int exitCode = -1;
};

// Runs body in a forked child with a fresh copy of this process, so process-wide once-only state can be
// tested from its beginning and crashes stay in the child. body's result is the child's exit code;
// meanwhile runs in this process while the child runs.
inline ChildOutcome runInChild(const std::function<int()>& body,
                               const std::function<void()>& meanwhile = {}) {
    ChildOutcome outcome;
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(body());
    if (pid > 0 && meanwhile)
        meanwhile();
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid)
        return outcome;
    outcome.exited = WIFEXITED(status);
    outcome.exitCode = outcome.exited ? WEXITSTATUS(status) : -1;
    return outcome;
}

// Takes from this thread, and from every program it starts, the power to pass over a file's permissions
// that root holds (reading, writing and searching whatever the mode says), so that a test of a refused
// write proves the refusal when it runs as root too; meant for a child of runInChild. The capabilities
// leave the bounding set as well, else a program root starts would hold them again. Gives what failed,
// empty when done.
inline std::string withoutPermissionOverride() {
    constexpr int kOverrides[] = {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH};
    const auto failed = [](const char* what) { return std::string(what) + ": " + std::strerror(errno); };
    if (::prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0) != 0 && errno != EINVAL)
        return failed("clearing the ambient capabilities");
    if (::getuid() == 0 || ::geteuid() == 0)
        for (const int capability : kOverrides)
            if (::prctl(PR_CAPBSET_READ, capability, 0, 0, 0) == 1 &&
                ::prctl(PR_CAPBSET_DROP, capability, 0, 0, 0) != 0)
                return failed("dropping a capability from the bounding set");
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct sets[_LINUX_CAPABILITY_U32S_3] = {};
    if (::syscall(SYS_capget, &header, sets) != 0)
        return failed("reading the capabilities");
    for (const int capability : kOverrides) {
        const unsigned bit = 1U << (capability % 32);
        __user_cap_data_struct& set = sets[capability / 32];
        set.effective &= ~bit;
        set.permitted &= ~bit;
        set.inheritable &= ~bit;
    }
    if (::syscall(SYS_capset, &header, sets) != 0)
        return failed("setting the capabilities");
    return std::string();
}

} // namespace trov::test
