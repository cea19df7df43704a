#include "engine/dsp/effects/Effect.h"

#include "engine/dsp/HostRate.h"
#include "engine/io/IOPin.h"

#include <algorithm>

namespace trov {

Effect::Effect(const Module* owner) : Radio(owner), sampleRate_(tuneInToHostRate(*this)) {}

Effect::~Effect() = default;

bool Effect::receive(const Message& message) {
    if (const int rate = sampleRateOf(message); rate != 0) {
        setSampleRate(rate);
        return true;
    }
    return Radio::receive(message);
}

std::int32_t Effect::processPin(const IOPin& in, IOPin& out) noexcept {
    std::int32_t frames = 0;
    const int channels = std::min(in.getChannelCount(), out.getChannelCount());
    for (int c = 0; c < channels; ++c)
        frames = std::max(frames, process(*in.getChannel(c), *out.getChannel(c)));
    return frames;
}

void Effect::setSampleRate(int rate) noexcept {
    if (rate <= 0)
        return;
    sampleRate_ = rate;
    update();
}

void Effect::setGain(float gain) noexcept {
    if (gain == gain_)
        return;
    gain_ = gain;
    update();
}

void* Effect::getInput(std::int32_t id) const noexcept {
    const auto found = inputs_.find(id);
    return found != inputs_.end() ? found->second : nullptr;
}

} // namespace trov
