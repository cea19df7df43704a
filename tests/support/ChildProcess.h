#pragma once

#include <functional>
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

} // namespace trov::test
