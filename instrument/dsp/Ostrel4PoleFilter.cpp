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
    x1_ = y1_ = y2_ = y3_ = y4_ = 0.0;
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
    k_.fill(0.0);
    p_.fill(0.0);
    r_ = 0.0;
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
        k_[i] = cutoffTolerances_[i] * kc;
        p_[i] = (k_[i] + 1.0) * feedbackTolerances_[i] * 0.5;
    }
    g_ = gainTolerance_ * k_[1] * k_[0];
    const double scale = tables.resonanceScale.lookup(static_cast<float>(p_[0]));
    r_ = scale * (resonance_ * 0.99) * resonanceTolerance_ * feedbackCeiling(cutoff, feedbackLimit_) *
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
    const double k0 = k_[0], k1 = k_[1], k2 = k_[2], k3 = k_[3];
    const double p0 = p_[0], p1 = p_[1], p2 = p_[2], p3 = p_[3];
    const double r = r_;
    double x1 = x1_, y1 = y1_, y2 = y2_, y3 = y3_, y4 = y4_;
    for (std::int32_t i = 0; i < frames; ++i) {
        const double feedback = y4 + 1.5 * (1.35 * saturate(y4) - y4);
        const double x = static_cast<double>(in[i]) - r * feedback + kInputNoise * randomDouble();
        const double a1 = (x + x1) * p0 - k0 * y1;
        const double a2 = (y1 + a1) * p1 - k1 * y2;
        const double a3 = (y2 + a2) * p2 - k2 * y3;
        const double a4 = clip.lookup((y3 + a3) * p3 - k3 * y4);
        const double bandPass = 0.92 * a3 - a4;
        double value;
        if constexpr (kHighPassSide) {
            const double highPass = -0.25 * ((x - a4) - 2.0 * (a3 - a4));
            value = bandPass + (response - 1.0) * (highPass - bandPass);
        } else {
            const double lowPass = a4 + gain * y4; // the previous fourth stage
            value = lowPass + response * (bandPass - lowPass);
        }
        out[i] = static_cast<float>(value);
        x1 = x;
        y1 = a1;
        y2 = a2;
        y3 = a3;
        y4 = a4;
    }
    x1_ = x1;
    y1_ = y1;
    y2_ = y2;
    y3_ = y3;
    y4_ = y4;
}

std::int32_t Ostrel4PoleFilter::processAt(const IOChannel<float>& in, IOChannel<float>& out,
                                          std::int32_t offset) noexcept {
    if (in.getData() == nullptr || out.getData() == nullptr)
        return out.setValidFrames(0);
    const std::int32_t frames = std::min(in.getValidFrames(), out.getSize());
    const float* source = in.getData();
    out.setValidFrames(frames);
    offset = std::max(offset, 0);

    const auto* modulation = static_cast<const IOChannel<float>*>(getInput(0));
    const float* modData = nullptr;
    std::int32_t modFrames = 0;
    if (modulation != nullptr && modulation->getData() != nullptr && modulation->getValidFrames() > 0) {
        modData = modulation->getData();
        modFrames = modulation->getValidFrames();
    }
    const float* lfoData = nullptr;
    std::int32_t lfoFrames = 0;
    float depth = 0.0f;
    if (const Module* module = getOwner(); module != nullptr)
        if (Engine* engine = module->getEngine(); engine != nullptr) {
            const IOChannel<float>* lfo = engine->getModulationBuffer(0);
            depth = engine->getParameterValue(kLFOToVCF) * 0.5f;
            if (lfo != nullptr && lfo->getData() != nullptr && lfo->getValidFrames() > 0 && depth != 0.0f) {
                lfoData = lfo->getData();
                lfoFrames = lfo->getValidFrames();
            }
        }

    const double gain = static_cast<double>(resonance_) * g_;
    for (std::int32_t j = 0; j < frames; j += kControlPeriod) {
        float cutoff = baseCutoff_;
        if (modData != nullptr)
            cutoff += valueAt(modData, modFrames, offset + j);
        if (lfoData != nullptr)
            cutoff += depth * valueAt(lfoData, lfoFrames, offset + j);
        setCutoff(cutoff);
        const std::int32_t n = std::min(kControlPeriod, frames - j);
        const double response = response_;
        if (response <= 1.0)
            run<false>(source + j, out.getData() + j, n, gain, response);
        else
            run<true>(source + j, out.getData() + j, n, gain, response);
    }
    // A ladder that blew up starts again from silence; the coefficients stand.
    if (!(std::isfinite(y1_) && std::isfinite(y2_) && std::isfinite(y3_) && std::isfinite(y4_) &&
          std::isfinite(x1_)))
        clearState();
    return frames;
}

} // namespace trov
