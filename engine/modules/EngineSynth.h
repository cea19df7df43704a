#pragma once

#include "engine/dsp/Mixer.h"
#include "engine/io/IOPinStereo.h"
#include "engine/modules/Engine.h"
#include "engine/voices/ChoirDynamic.h"

#include <memory>

namespace trov {

// The synthesiser engine the instrument's engine derives from: a voice pool that turns note events into
// voice allocation and release, a stereo output pin that voices render into, and a mixer that brings
// the voices into the module's outputs. It renders nothing itself; a derived engine walks the pool
// (`getVoicePool().forEachVoice`) in its `process`.
// Threads as `Engine`; the pool carries its own lock.
class EngineSynth : public Engine {
public:
    explicit EngineSynth(Module* module);
    ~EngineSynth() override;

    void init() override;
    // Takes no message.
    bool receive(const Message& message) override;
    void reset() override;
    // Also sizes both output channels to the block.
    void setBlockSize(std::int32_t frames) override;
    // Note-ons start a voice, note-offs release one; every note is then broadcast.
    void handleEvent(const Note& note) noexcept override;
    void process(IOPinConfig& inputs, IOPinConfig& outputs, std::int32_t frames) noexcept override;
    int getActiveVoiceCount() const;

    ChoirDynamic& getVoicePool() { return voicePool_; }
    const ChoirDynamic& getVoicePool() const { return voicePool_; }
    IOPinStereo& getOutput() { return *output_; }
    Mixer& getMixer() { return mixer_; }

private:
    ChoirDynamic voicePool_;
    std::unique_ptr<IOPinStereo> output_;
    Mixer mixer_;
};

} // namespace trov
