#pragma once

#include "engine/io/HostInterface.h"

#include <atomic>
#include <string>

namespace trov::test {

// A host whose tempo and song position the test sets. The tempo may be changed by a test's audio thread
// while other threads read it.
class TestHost : public HostInterface {
public:
    double getTempo() const override { return tempo; }
    double getSongPosition() const override { return songPosition; }
    std::string getHostName() const override { return "Test"; }

    std::atomic<double> tempo{120.0};
    double songPosition = 0.0; // beats
};

} // namespace trov::test
