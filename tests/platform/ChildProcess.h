#pragma once

#include <functional>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace trov::test {

struct ChildOutcome {
    bool exited = false;
    int exitCode = -1;
    bool signaled = false;
    int signal = 0;
    std::string output; // what the child wrote to its pipe
};

// Runs body in a forked child with a fresh copy of this process, so process-wide once-only state can be
// tested from its beginning and crashes stay in the child. body writes its findings to the pipe it is
// given and returns the exit code; the child ends with _exit.
inline ChildOutcome runInChild(const std::function<int(int fd)>& body) {
    ChildOutcome outcome;
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return outcome;
    const pid_t pid = ::fork();
    if (pid < 0)
        return outcome;
    if (pid == 0) {
        ::close(pipeFds[0]);
        const int code = body(pipeFds[1]);
        ::close(pipeFds[1]);
        ::_exit(code);
    }
    ::close(pipeFds[1]);
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        outcome.output.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    outcome.exited = WIFEXITED(status);
    outcome.exitCode = outcome.exited ? WEXITSTATUS(status) : -1;
    outcome.signaled = WIFSIGNALED(status);
    outcome.signal = outcome.signaled ? WTERMSIG(status) : 0;
    return outcome;
}

inline void writeText(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n <= 0)
            return;
        done += static_cast<std::size_t>(n);
    }
}

} // namespace trov::test
