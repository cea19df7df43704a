#pragma once

#include "engine/io/IOPinConfig.h"

namespace trov {

// An input/output configuration: the input pins and the output pins of a module or of the whole
// instrument (the product offers one per host effect type). Members are copies sharing the given pins.
// Threads: built on the set-up thread; read on the audio thread.
class IOConfig {
public:
    IOConfig() = default;
    IOConfig(const IOPinConfig& inputs, const IOPinConfig& outputs) : inputs_(inputs), outputs_(outputs) {}

    IOPinConfig& getInputs() { return inputs_; }
    const IOPinConfig& getInputs() const { return inputs_; }
    IOPinConfig& getOutputs() { return outputs_; }
    const IOPinConfig& getOutputs() const { return outputs_; }
    int getInputChannelCount() const { return inputs_.getChannelCount(); }
    int getOutputChannelCount() const { return outputs_.getChannelCount(); }
    void setInputs(const IOPinConfig& inputs) { inputs_ = inputs; }
    void setOutputs(const IOPinConfig& outputs) { outputs_ = outputs; }

private:
    // Declared inputs first, so the outputs go first when the configuration is destroyed.
    IOPinConfig inputs_;
    IOPinConfig outputs_;
};

} // namespace trov
