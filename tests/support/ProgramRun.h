#pragma once

// Runs a program as a child process with extra environment variables and gives its exit status and
// what it wrote, for tests of command-line programs.
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <iterator>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

extern char** environ;

namespace corvale::test {

struct ChildResult {
    int status = -1; // the exit status, or -1 when it did not start or did not exit normally
    std::string out;
    std::string err;
};

inline std::string readWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Runs arguments[0] with the arguments, this process's environment plus (or overridden by) extra and
// without the variables named in unset, and stdout and stderr captured through files in scratch; in the
// working folder when one is given, else in this process's. meanwhile, when given, runs with the child's
// id while the child runs.
inline ChildResult runChild(const std::vector<std::string>& arguments,
                            const std::vector<std::pair<std::string, std::string>>& extra,
                            const std::string& scratch, const std::vector<std::string>& unset = {},
                            const std::string& workingFolder = std::string(),
                            const std::function<void(pid_t)>& meanwhile = {}) {
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        bool replaced = false;
        for (const auto& [name, value] : extra)
            replaced = replaced || text.rfind(name + "=", 0) == 0;
        for (const std::string& name : unset)
            replaced = replaced || text.rfind(name + "=", 0) == 0;
        if (!replaced)
            environment.push_back(text);
    }
    for (const auto& [name, value] : extra)
        environment.push_back(name + "=" + value);
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);

    const std::string outPath = scratch + "/child.out";
    const std::string errPath = scratch + "/child.err";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (!workingFolder.empty())
        posix_spawn_file_actions_addchdir_np(&actions, workingFolder.c_str());
    ChildResult result;
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        result.err = "cannot start " + arguments[0] + ": " + std::strerror(spawned);
        return result;
    }
    if (meanwhile)
        meanwhile(pid);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
    }
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = readWhole(outPath);
    result.err = readWhole(errPath);
    return result;
}

} // namespace corvale::test
