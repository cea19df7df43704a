#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace trov::test {

// Makes a named pipe at the path; false when it cannot.
inline bool makePipe(const std::string& path) {
    return ::mkfifo(path.c_str(), 0600) == 0;
}

// Runs a load, on a thread of its own, that must not wait on the named pipe at `pipe` (the file it loads, or
// one that file names). A load that opened the pipe would wait for a writer for ever. While it runs the pipe
// is watched: a reader on it can only be the load, so the test fails and the pipe's other end is opened and
// closed until the load returns, so that the test ends instead of hanging. A load that is only slow, on a
// large regular file in a slow build, is waited for: the test's own limit bounds it. For a path that is no
// pipe the load just runs.
template <class Load> void loadWithoutWaitingOn(const std::string& pipe, Load&& load) {
    struct stat status = {};
    const bool watched = ::stat(pipe.c_str(), &status) == 0 && S_ISFIFO(status.st_mode);
    std::atomic<bool> done{false};
    std::thread loader([&] {
        load();
        done = true;
    });
    bool waited = false;
    while (!done) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        // Opening the writing end without waiting succeeds only once a reader has the pipe open, or waits in
        // its open for a writer.
        const int writer = watched ? ::open(pipe.c_str(), O_WRONLY | O_NONBLOCK) : -1;
        if (writer < 0)
            continue;
        ::close(writer);
        if (!waited)
            ADD_FAILURE() << "the load opened the pipe " << pipe << " and waited for a writer";
        waited = true;
    }
    loader.join();
}

} // namespace trov::test
