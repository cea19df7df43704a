#pragma once

#include <chrono>
#include <thread>

// Set for every test program by tests/CMakeLists.txt, which scales each test's ctest limit by it too.
#ifndef TROV_TEST_TIME_FACTOR
#error "TROV_TEST_TIME_FACTOR is set by tests/CMakeLists.txt"
#endif

namespace trov::test {

// How many times its usual time this build's tests may take: ThreadSanitizer's runs them many times slower.
inline constexpr int kTestTimeFactor = TROV_TEST_TIME_FACTOR;

// A wait a test sets itself against a hang, as long as this build needs: the usual one scaled as the test's
// ctest limit is, so that a slow build on shared cores is no failure while a hang still is one.
template <class Rep, class Period>
constexpr std::chrono::duration<Rep, Period> hangWait(std::chrono::duration<Rep, Period> usual) {
    return usual * kTestTimeFactor;
}

// Asks `done` until it says so or the usual wait, scaled as by hangWait, has passed, a millisecond apart;
// what it said last.
template <class Rep, class Period, class Done>
bool pollUntil(std::chrono::duration<Rep, Period> usual, Done&& done) {
    const auto deadline = std::chrono::steady_clock::now() + hangWait(usual);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

} // namespace trov::test
