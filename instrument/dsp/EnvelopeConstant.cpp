#include "instrument/dsp/EnvelopeConstant.h"

#include <algorithm>

namespace trov {

std::int32_t EnvelopeConstant::render(IOChannel<float>& out) noexcept {
    float* data = out.getData();
    if (data == nullptr)
        return out.setValidFrames(0);
    const std::int32_t frames = out.getValidFrames();
    const float current = current_;
    std::for_each(data, data + frames, [current](float& value) { value *= current; });
    return frames;
}

std::int32_t EnvelopeConstant::process(const IOChannel<float>& in, IOChannel<float>& out) noexcept {
    if (in.getData() == nullptr || out.getData() == nullptr)
        return out.setValidFrames(0);
    const float* source = in.getData();
    const std::int32_t frames = out.setValidFrames(std::min(in.getValidFrames(), out.getSize()));
    const float current = current_;
    std::transform(source, source + frames, out.getData(),
                   [current](float value) { return current * value; });
    return frames;
}

} // namespace trov
