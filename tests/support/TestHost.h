#pragma once

#include "engine/io/HostInterface.h"

#include <string>

namespace trov::test {

// A host whose tempo and song position the test sets.
class TestHost : public HostInterface {
public:
    double getTempo() const override { return tempo; }
    double getSongPosition() const override { return songPosition; }
    std::string getHostName() const override { return "Test"; }

    double tempo = 120.0;
    double songPosition = 0.0; // beats
};

} // namespace trov::test
