// The voice's render chain.
#include "engine/dsp/effects/BitcrusherLog.h"
#include "engine/dsp/effects/DACLadder.h"
#include "engine/io/IOPin.h"
#include "instrument/dsp/Ostrel4PoleFilterGroup.h"
#include "instrument/voice/OstrelVoice.h"

#include <algorithm>
#include <cstring>

namespace trov {

void OstrelVoice::runFront(std::int32_t n, bool filterBypass, bool grungeBypass) noexcept {
    IOChannel<float>& view = subBlock_;
    view.setSize(n);
    view.setValidFrames(0);
    player1_.render(view);
    player2_.render(view);
    if (!grungeBypass) {
        selectedPreamp_->processInPlace(view);
        clickPlayer_.render(view);
    }
    if (!filterBypass)
        inputFilter_.processInPlace(view);
    if (!grungeBypass && crusher_ != nullptr)
        crusher_->processInPlace(view);
    if (view.getValidFrames() > 0 && !grungeBypass)
        crosstalkPlayer_.render(view);
    vcaEnvelope_.processInPlace(view);
}

void OstrelVoice::fadeOut(IOChannel<float>& out) noexcept {
    // The DC blocker answers the envelope's short fade with an undershoot that would ring on past it and
    // be cut when the voice is free: the output fades over the same samples, so nothing is left then.
    float* data = out.getData();
    constexpr float kStep = 1.0f / static_cast<float>(EnvelopeDiscreteSloped::kFadeSamples);
    for (std::int32_t i = 0; i < out.getValidFrames(); ++i) {
        if (stopFade_ > 0)
            --stopFade_;
        data[i] *= static_cast<float>(stopFade_) * kStep;
    }
}

bool OstrelVoice::render(const IOPin* /*input*/, IOPin& output) noexcept {
    if (!beginBlock(output, nullptr))
        return getState() != kFree;
    return endBlock(output, nullptr);
}

bool OstrelVoice::renderToFilters(IOPin& output, Ostrel4PoleFilterGroup& filters) noexcept {
    return beginBlock(output, &filters);
}

bool OstrelVoice::finishRender(IOPin& output, const Ostrel4PoleFilterGroup& filters) noexcept {
    return endBlock(output, &filters);
}

bool OstrelVoice::beginBlock(IOPin& output, Ostrel4PoleFilterGroup* filters) noexcept {
    IOChannel<float>* out = output.getChannel(0);
    if (out == nullptr)
        return false;
    if (getState() == kFree) {
        out->setValidFrames(0);
        return false;
    }
    std::int32_t frames = out->getSize();
    if (modulation_ != nullptr) {
        // The pool's buffers hold a long host block; a longer one is rendered as far as they reach.
        frames = std::min(frames, modulation_->getCapacity());
        modulation_->setSize(frames);
        modulation_->setValidFrames(0);
        vcfEnvelope_.render(*modulation_);
    }

    const bool envelopeBypass = envelopeBypass_.getBool();
    const bool filterBypass = filterBypass_.getBool();
    const bool grungeBypass = grungeBypass_.getBool();
    // The filter's runs go to the group when it has room for the whole block; the DAC ladder follows them.
    const bool queued =
        filters != nullptr && !filterBypass && filters->hasRoom(frames, (frames + kSubBlock - 1) / kSubBlock);
    laddersQueued_ = queued && !envelopeBypass && ladder_ != nullptr;

    out->setValidFrames(0);
    // A note that starts later than this block leaves the whole block silent, and nothing past it.
    const std::int32_t start = std::min(startOffset_, frames);
    if (start > 0)
        out->clear(0, start);
    for (std::int32_t pos = start; pos < frames; pos += kSubBlock) {
        const std::int32_t n = std::min(frames - pos, kSubBlock);
        if (!vcaEnvelope_.isActive())
            continue;
        runFront(n, filterBypass, grungeBypass);
        IOChannel<float>& view = subBlock_;
        const bool run = queued && filters->queue(filter_, out->getData() + pos, view.getValidFrames(), pos);
        if (!run) {
            if (!filterBypass)
                filter_.processAt(view, view, pos);
            if (!envelopeBypass && ladder_ != nullptr)
                ladder_->processInPlace(view);
        }
        const std::int32_t valid = view.getValidFrames();
        if (valid > 0) {
            std::memcpy(out->getData() + pos, view.getData(),
                        static_cast<std::size_t>(valid) * sizeof(float));
            out->setValidFrames(out->getValidFrames() + valid);
        }
    }
    return true;
}

bool OstrelVoice::endBlock(IOPin& output, const Ostrel4PoleFilterGroup* filters) noexcept {
    IOChannel<float>* out = output.getChannel(0);
    if (out == nullptr)
        return getState() != kFree;
    if (filters != nullptr && laddersQueued_)
        for (const Ostrel4PoleFilterGroup::Run& run : filters->runsOf(filter_)) {
            runView_.wrap(run.data, run.frames);
            ladder_->processInPlace(runView_);
        }
    laddersQueued_ = false;
    const std::int32_t frames =
        modulation_ != nullptr ? std::min(out->getSize(), modulation_->getCapacity()) : out->getSize();
    startOffset_ = std::max(startOffset_ - frames, std::int32_t{0});
    out->setGain(velocity_);
    dcBlocker_.processInPlace(*out);
    if (getState() == kStopping)
        fadeOut(*out);

    // Behind the ended VCA a click still running is silent: a stopped voice is free as soon as its fade
    // is over, so that the pool can play it again at the next note.
    const bool ended = !vcaEnvelope_.isActive() && (getState() == kStopping || !clickPlayer_.isActive());
    if (out->getValidFrames() == 0 || ended) {
        setState(kFree);
        player1_.setZone(nullptr);
        player2_.setZone(nullptr);
    }
    if (IOChannel<float>* right = output.getChannel(1))
        right->copyFrom(*out);
    return getState() != kFree;
}

} // namespace trov
