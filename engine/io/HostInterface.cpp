#include "engine/io/HostInterface.h"

namespace trov {

HostInterface::HostInterface() : Radio(nullptr) {}

HostInterface::~HostInterface() = default;

bool HostInterface::setIOConfig(const IOConfig& config) {
    ioBridge_ = config;
    sizeBuffers();
    return true;
}

void HostInterface::setBlockSize(int frames) {
    blockSize_ = frames < 0 ? 0 : frames;
    sizeBuffers();
}

void HostInterface::setSampleRate(int rate) {
    sampleRate_ = rate;
    broadcast(SystemMessage(this, Code::kSampleRateChanged, static_cast<MessageWord>(rate)));
}

void HostInterface::sizeBuffers() {
    for (const IOPinConfig* side : {&ioBridge_.getInputs(), &ioBridge_.getOutputs()})
        for (int p = 0; p < side->getPinCount(); ++p) {
            IOPin* pin = side->getPin(p);
            for (int c = 0; c < pin->getChannelCount(); ++c)
                pin->getChannel(c)->setSize(blockSize_);
        }
}

} // namespace trov
