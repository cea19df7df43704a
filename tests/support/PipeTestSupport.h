#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace trov::test {

// Makes a named pipe at the path; false when it cannot.
inline bool makePipe(const std::string& path) {
    return ::mkfifo(path.c_str(), 0600) == 0;
}

// Runs a load that is given a named pipe, on a thread of its own. A load that opened the pipe would wait for
// a writer for ever: should it not have returned after a minute, the test fails and the pipe's other end is
// opened and closed until the load returns, so that the test ends instead of hanging.
template <class Load> void loadWithoutWaitingOn(const std::string& pipe, Load&& load) {
    std::mutex mutex;
    std::condition_variable returned;
    bool done = false;
    std::thread loader([&] {
        load();
        const std::lock_guard guard(mutex);
        done = true;
        returned.notify_all();
    });
    std::unique_lock lock(mutex);
    if (!returned.wait_for(lock, std::chrono::minutes(1), [&] { return done; })) {
        ADD_FAILURE() << "the load opened the pipe " << pipe << " and waited for a writer";
        do {
            lock.unlock();
            const int writer = ::open(pipe.c_str(), O_WRONLY | O_NONBLOCK);
            if (writer >= 0)
                ::close(writer);
            lock.lock();
        } while (!returned.wait_for(lock, std::chrono::milliseconds(10), [&] { return done; }));
    }
    lock.unlock();
    loader.join();
}

} // namespace trov::test
