#include "instrument/dsp/Ostrel4PoleFilter.h"

#include "engine/dsp/FloatIndex.h"
#include "engine/dsp/HostRate.h"
#include "engine/modules/Engine.h"
#include "engine/modules/Module.h"
#include "framework/Curves.h"
#include "framework/Message.h"
#include "framework/Random.h"
#include "instrument/AnalogTolerances.h"
#include "instrument/InstrumentGlobals.h"
#include "instrument/InstrumentKeys.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace trov {

namespace {

// Engine value that carries the LFO's depth on the cutoff.
constexpr int kLFOToVCF = 2;

// The value of a modulation channel at a frame; past its valid frames the last one holds.
inline float valueAt(const float* data, std::int32_t count, std::int32_t frame) noexcept {
    return data[std::min(frame, count - 1)];
}

} // namespace

Ostrel4PoleFilter::Ostrel4PoleFilter(const Module* owner) : Ostrel4PoleFilter(owner, nullptr) {
    attachTolerances(findAnalogTolerances(*this));
    reset();
}

Ostrel4PoleFilter::Ostrel4PoleFilter(const Module* owner, AnalogTolerances* tolerances)
    : Ostrel4PoleFilter(owner, tolerances, true) {}

Ostrel4PoleFilter::Ostrel4PoleFilter(const Module* owner, AnalogTolerances* tolerances, bool followParameters)
    : Filter(owner), cutoffTable_(&cutoffCoefficientTable(getSampleRate())), tolerances_(nullptr),
      followsParameters_(followParameters) {
    for (int i = 0; i < 4; ++i) {
        cutoffComponents_[static_cast<std::size_t>(i)] = AnalogComponent{"VCF Cutoff", i, 1};
        feedbackComponents_[static_cast<std::size_t>(i)] = AnalogComponent{"VCF Feedback", i, 2};
    }
    attachTolerances(tolerances);
    reset();
    if (followsParameters_) {
        tuneIn(keys::kVCFResonance);
        tuneIn(keys::kVCFResponse);
    }
}

Ostrel4PoleFilter::~Ostrel4PoleFilter() {
    if (followsParameters_) {
        tuneOut(keys::kVCFResonance);
        tuneOut(keys::kVCFResponse);
    }
}

void Ostrel4PoleFilter::attachTolerances(AnalogTolerances* tolerances) {
    tolerances_ = tolerances;
    if (tolerances == nullptr)
        return;
    // A source that fails leaves the components as they are: reading them asks again.
    try {
        tolerances->prepareAnalogComponent(gainComponent_);
        tolerances->prepareAnalogComponent(resonanceComponent_);
        for (std::size_t i = 0; i < 4; ++i) {
            tolerances->prepareAnalogComponent(cutoffComponents_[i]);
            tolerances->prepareAnalogComponent(feedbackComponents_[i]);
        }
    } catch (...) {
    }
}

bool Ostrel4PoleFilter::receive(const Message& message) {
    // The new rate's table first: the effect's rate change then recomputes the coefficients from it. Short of
    // memory for it, the table there is stays.
    if (const int rate = sampleRateOf(message); rate > 0) {
        try {
            cutoffTable_ = &cutoffCoefficientTable(rate);
        } catch (const std::bad_alloc&) {
        }
    }
    if (message.kind == kKindMidi)
        return message.code == Code::kNoteOff ? true : Filter::receive(message);
    if (message.kind == kKindParameter && message.code == Code::kParameterValue) {
        if (const auto* change = dynamic_cast<const ParameterMessage*>(&message)) {
            if (change->name == keys::kVCFResonance)
                setResonance(wordToFloat(change->extra));
            else if (change->name == keys::kVCFResponse)
                setResponse(2.0f * clampPosition(wordToFloat(change->extra), 0.0f, 1.0f));
        }
        return true;
    }
    return Filter::receive(message);
}

void Ostrel4PoleFilter::clearState() noexcept {
    ladder_ = Ladder{};
}

void Ostrel4PoleFilter::readTolerances() noexcept {
    // A source that fails leaves the tolerances as they were.
    try {
        AnalogTolerances& source = *tolerances_;
        gainTolerance_ = source.readAnalogComponent(gainComponent_);
        feedbackLimit_ = kFeedbackLimit;
        resonanceTolerance_ = source.readAnalogComponent(resonanceComponent_);
        for (std::size_t i = 0; i < 4; ++i) {
            cutoffTolerances_[i] = source.readAnalogComponent(cutoffComponents_[i]);
            feedbackTolerances_[i] = source.readAnalogComponent(feedbackComponents_[i]);
        }
    } catch (...) {
    }
}

void Ostrel4PoleFilter::reset() noexcept {
    clearState();
    c_ = Coefficients{};
    if (tolerances_ == nullptr)
        return;
    readTolerances();
    updateCoefficients();
}

double Ostrel4PoleFilter::feedbackDip(float cutoff) noexcept {
    // Single-precision constants, as the machine's firmware keeps them.
    constexpr float kDipCentre = 0.615f;
    constexpr float kDipDepth = 0.25f;
    constexpr float kDipSlope = 7.6923075f; // 1 / 0.13
    const double distance = std::fabs(static_cast<double>(cutoff) - static_cast<double>(kDipCentre));
    return std::min(1.0, (1.0 - kDipDepth) + static_cast<double>(kDipDepth) * kDipSlope * distance);
}

double Ostrel4PoleFilter::feedbackCeiling(float cutoff, float limit) noexcept {
    return std::min(static_cast<double>(limit), 1.0 / (static_cast<double>(cutoff) + 0.1));
}

void Ostrel4PoleFilter::updateCoefficients() noexcept {
    if (tolerances_ == nullptr)
        return;
    const InstrumentTables& tables = instrumentTables();
    const float cutoff = getCutoff();
    const float x = (0.96f + 0.04f * resonance_) * cutoff;
    const double kc = cutoffTable_->lookup(x);
    for (std::size_t i = 0; i < 4; ++i) {
        c_.k[i] = cutoffTolerances_[i] * kc;
        c_.p[i] = (c_.k[i] + 1.0) * feedbackTolerances_[i] * 0.5;
    }
    g_ = gainTolerance_ * c_.k[1] * c_.k[0];
    const double scale = tables.resonanceScale.lookup(static_cast<float>(c_.p[0]));
    c_.r = scale * (resonance_ * 0.99) * resonanceTolerance_ * feedbackCeiling(cutoff, feedbackLimit_) *
           feedbackDip(cutoff);
}

void Ostrel4PoleFilter::setResonance(float resonance) noexcept {
    if (std::isnan(resonance))
        return;
    resonance_ = std::clamp(resonance, 0.0f, 1.0f);
    Filter::setResonance(resonance_);
    updateCoefficients();
}

void Ostrel4PoleFilter::setResponse(float response) noexcept {
    if (!std::isnan(response))
        response_ = std::clamp(response, 0.0f, 2.0f);
}

template <bool kHighPassSide>
void Ostrel4PoleFilter::run(const float* in, float* out, std::int32_t frames, double gain,
                            double response) noexcept {
    const FunctionTable<double>& clip = instrumentTables().ladderClip;
    const Coefficients c = c_;
    Ladder ladder = ladder_;
    for (std::int32_t i = 0; i < frames; ++i)
        out[i] =
            static_cast<float>(step<kHighPassSide>(in[i], randomDouble(), c, ladder, gain, response, clip));
    ladder_ = ladder;
}

Ostrel4PoleFilter::Modulation Ostrel4PoleFilter::currentModulation() const noexcept {
    Modulation modulation;
    const auto* channel = static_cast<const IOChannel<float>*>(getInput(0));
    if (channel != nullptr && channel->getData() != nullptr && channel->getValidFrames() > 0) {
        modulation.data = channel->getData();
        modulation.frames = channel->getValidFrames();
    }
    if (const Module* module = getOwner(); module != nullptr)
        if (Engine* engine = module->getEngine(); engine != nullptr) {
            const IOChannel<float>* lfo = engine->getModulationBuffer(0);
            modulation.depth = engine->getParameterValue(kLFOToVCF) * 0.5f;
            if (lfo != nullptr && lfo->getData() != nullptr && lfo->getValidFrames() > 0 &&
                modulation.depth != 0.0f) {
                modulation.lfo = lfo->getData();
                modulation.lfoFrames = lfo->getValidFrames();
            }
        }
    return modulation;
}

float Ostrel4PoleFilter::cutoffAt(const Modulation& modulation, std::int32_t frame) const noexcept {
    float cutoff = baseCutoff_;
    if (modulation.data != nullptr)
        cutoff += valueAt(modulation.data, modulation.frames, frame);
    if (modulation.lfo != nullptr)
        cutoff += modulation.depth * valueAt(modulation.lfo, modulation.lfoFrames, frame);
    return cutoff;
}

void Ostrel4PoleFilter::recoverFromBlowUp() noexcept {
    if (!(std::isfinite(ladder_.y1) && std::isfinite(ladder_.y2) && std::isfinite(ladder_.y3) &&
          std::isfinite(ladder_.y4) && std::isfinite(ladder_.x1)))
        clearState();
}

std::int32_t Ostrel4PoleFilter::processAt(const IOChannel<float>& in, IOChannel<float>& out,
                                          std::int32_t offset) noexcept {
    if (in.getData() == nullptr || out.getData() == nullptr)
        return out.setValidFrames(0);
    const std::int32_t frames = std::min(in.getValidFrames(), out.getSize());
    const float* source = in.getData();
    out.setValidFrames(frames);
    offset = std::max(offset, 0);
    const Modulation modulation = currentModulation();
    const double gain = static_cast<double>(resonance_) * g_;
    for (std::int32_t j = 0; j < frames; j += kControlPeriod) {
        setCutoff(cutoffAt(modulation, offset + j));
        const std::int32_t n = std::min(kControlPeriod, frames - j);
        const double response = response_;
        if (response <= 1.0)
            run<false>(source + j, out.getData() + j, n, gain, response);
        else
            run<true>(source + j, out.getData() + j, n, gain, response);
    }
    recoverFromBlowUp();
    return frames;
}

} // namespace trov
