#pragma once

#include "engine/io/IOChannel.h"
#include "framework/Radio.h"

#include <cstdint>
#include <map>

namespace trov {

class IOPin;

// The base of every block-processing unit of the engine: filters, envelopes, bit crushers, the DAC
// ladder, the waveshaper and the EQ band. One calling pattern (a channel into another, in place, or pin by
// pin), the common settings (bypass, sample rate, block size, gain) and a table of connected inputs.
//
// Owned by whatever voice or engine made it; its owner is the module. The sample rate follows the host's
// (system message 3004), which changes on the user-interface thread while no block is processed. The
// processing operations run on the audio thread: they are noexcept and neither allocate, lock nor log.
class Effect : public Radio {
public:
    static constexpr int kDefaultBlockSize = 1024;

    // Takes the host's rate and tunes in to its changes.
    explicit Effect(const Module* owner);
    ~Effect() override;

    // A sample-rate message sets the rate (and `update`s); everything else goes to the station.
    bool receive(const Message& message) override;

    // Clears the running state.
    virtual void reset() noexcept {}
    // Generators fill the channel and return its valid frames; processors set none and return 0.
    virtual std::int32_t render(IOChannel<float>& out) noexcept = 0;
    std::int32_t processPinInPlace(IOPin& pin) noexcept { return processPin(pin, pin); }
    // Channel pairs over the smaller channel count of the two pins; the largest frame count processed.
    virtual std::int32_t processPin(const IOPin& in, IOPin& out) noexcept;
    std::int32_t processInPlace(IOChannel<float>& channel) noexcept { return process(channel, channel); }
    // Reads the input's valid frames and writes the output (which may be the input); the frames written.
    virtual std::int32_t process(const IOChannel<float>& in, IOChannel<float>& out) noexcept = 0;
    // Recomputes derived values after a setting changed.
    virtual void update() noexcept {}

    bool isBypassed() const noexcept { return bypass_; }
    void setBypass(bool bypass) noexcept { bypass_ = bypass; }
    int getSampleRate() const noexcept { return sampleRate_; }
    // Stores a positive rate and updates; others are ignored.
    void setSampleRate(int rate) noexcept;
    int getBlockSize() const noexcept { return blockSize_; }
    void setBlockSize(int frames) noexcept { blockSize_ = frames; }
    float getGain() const noexcept { return gain_; }
    // A changed gain updates.
    void setGain(float gain) noexcept;

    // Connected objects by id (a modulation source, a table); set up on the user-interface thread.
    void setInput(std::int32_t id, void* object) { inputs_[id] = object; }
    void* getInput(std::int32_t id) const noexcept;
    void removeInput(std::int32_t id) { inputs_.erase(id); }

private:
    bool bypass_ = false;
    int sampleRate_;
    int blockSize_ = kDefaultBlockSize;
    float gain_ = 1.0f;
    std::map<std::int32_t, void*> inputs_;
};

} // namespace trov
