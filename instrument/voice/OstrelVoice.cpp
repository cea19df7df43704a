#include "instrument/voice/OstrelVoice.h"

#include "engine/dsp/effects/BitcrusherLog.h"
#include "engine/dsp/effects/DACLadder.h"
#include "engine/io/IOPin.h"
#include "engine/modules/Module.h"
#include "engine/samples/Sample.h"
#include "engine/zones/ZoneManager.h"
#include "framework/Curves.h"
#include "framework/EditorServices.h"
#include "framework/Logger.h"
#include "framework/Message.h"
#include "framework/Random.h"
#include "instrument/AnalogTolerances.h"
#include "instrument/InstrumentKeys.h"
#include "instrument/ProductFactories.h"
#include "instrument/engine/OstrelModule.h"
#include "instrument/voice/SharedStages.h"
#include "plugin/Parameter.h"
#include "plugin/ParameterEnum.h"
#include "plugin/Settings.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <string>

namespace trov {

namespace {

// Resident sample names, built once: a player compares and stores them without allocating.
const std::string kNoteOnNoise = "OstrelNoteOnNoise";
const std::string kNoteOffNoise = "OstrelNoteOffNoise";
const std::string kCrosstalkNoise = "OstrelCrosstalkNoise";
const std::string kMicNormal = "OstrelMicInputResponseNormal";
const std::string kMicSaturated = "OstrelMicInputResponseSaturated";
const std::string kLineNormal = "OstrelLineInputResponseNormal";
const std::string kLineSaturated = "OstrelLineInputResponseSaturated";

constexpr std::int32_t kLoopInRelease = 2;
constexpr float kPositionJitter = 0.25f;
constexpr double kSecondMultiplier = 0.9972475966332921;
constexpr int kSymmetric = 2;

// Pans of the stereo spread, by output slot.
constexpr std::array<float, 8> kSpread = {-0.125f, 0.125f, -0.25f, 0.25f, -0.5f, 0.5f, -1.0f, 1.0f};

// The two click noises are looked up in the loaded resources only; when one is missing the process says
// so once, however many voices are made.
void reportMissingClick(const std::string& name, std::atomic<bool>& reported) {
    if (!reported.exchange(true))
        logLine(3, "trov::OstrelVoice: resident sample %s is not loaded; the voice plays without it",
                name.c_str());
}

float clamp01(float value) noexcept {
    return value > 1.0f ? 1.0f : (value > 0.0f ? value : 0.0f);
}

} // namespace

OstrelVoice::OstrelVoice(const Module* owner, int slot, const Note& note)
    : Voice(owner, slot, note), inputFilter_(owner), clickPlayer_(owner),
      crosstalkPlayer_(owner, kCrosstalkNoise), dcBlocker_(owner), vcaEnvelope_(owner), filter_(owner),
      vcfEnvelope_(owner), modulation_(owner != nullptr ? owner->getTempBuffer() : nullptr), player1_(owner),
      player2_(owner), pitchNote1_(owner, note), pitchNote2_(owner, note),
      micPreamp_(owner, kMicNormal, kMicSaturated), linePreamp_(owner, kLineNormal, kLineSaturated),
      selectedPreamp_(&linePreamp_), subBlock_(kSubBlock) {
    const SharedStages& stages = acquireSharedStages();
    crusher_ = stages.logCrusher;
    ladder_ = stages.ladder;
    filter_.setInput(0, modulation_);
    subBlock_.setSize(kSubBlock);
    // Both clicks are checked here, so that a missing one is reported before any note needs it.
    static std::atomic<bool> missingOn{false};
    static std::atomic<bool> missingOff{false};
    clickPlayer_.setSampleName(kNoteOffNoise);
    if (clickPlayer_.getSample() == nullptr)
        reportMissingClick(kNoteOffNoise, missingOff);
    clickPlayer_.setSampleName(kNoteOnNoise);
    if (clickPlayer_.getSample() == nullptr)
        reportMissingClick(kNoteOnNoise, missingOn);
    tolerances_ = findAnalogTolerances(*this);
}

OstrelVoice::~OstrelVoice() {
    for (SharedObjectPtr<Zone>& zone : zones_)
        zone.reset();
    for (const char* name :
         {keys::kAnalogCharacter, keys::kOscMix, keys::kMidiPitchBend, keys::kPreampFilterCutoff,
          keys::kPreampGain, keys::kPreampMicInput, keys::kResampleFreq, keys::kStereoMode, keys::kVCFCutoff,
          keys::kVCFResonance, keys::kVCFKeyboardTracking, keys::kWaveCutoff, keys::kWaveLevel,
          keys::kWaveRootNote, keys::kSampleDetuneCoarse, keys::kSampleDetuneFine, keys::kOsc2DetuneCents,
          keys::kMasterTune})
        tuneOut(name);
    filter_.setInput(0, nullptr);
    if (const Module* owner = getOwner(); owner != nullptr && modulation_ != nullptr)
        owner->releaseTempBuffer(modulation_);
    releaseSharedStages();
}

const OstrelModule* OstrelVoice::ostrelModule() const noexcept {
    return dynamic_cast<const OstrelModule*>(getOwner());
}

float OstrelVoice::tolerance(std::string_view component) const {
    return tolerances_ != nullptr ? tolerances_->getAnalogTolerance(component, getSlot(), kSymmetric) : 1.0f;
}

void OstrelVoice::readZoneValues() {
    for (int layer = 0; layer < kLayers; ++layer) {
        LayerValues& values = layerValues_[static_cast<std::size_t>(layer)];
        values = LayerValues{};
        const Zone* zone = zones_[static_cast<std::size_t>(layer)].get();
        if (zone == nullptr)
            continue;
        values.present = true;
        values.waveLevel = zone->getParameterFloat(keys::kWaveLevel);
        values.waveCutoff = zone->getParameterFloat(keys::kWaveCutoff);
        if (const Sample* sample = zone->getSample()) {
            values.sounding = true;
            values.sampleRoot = sample->getRootNote();
            values.waveRoot = zone->getParameterLong(keys::kWaveRootNote);
            values.coarse = zone->getParameterLong(keys::kSampleDetuneCoarse);
            values.fine = zone->getParameterLong(keys::kSampleDetuneFine);
        }
    }
}

void OstrelVoice::noteOn(const Note& note) noexcept {
    Voice::noteOn(note);
    setState(kFree);
    hasSample_ = false;
    const OstrelModule* module = ostrelModule();
    if (tolerances_ == nullptr || module == nullptr)
        return;
    try {
        startNote(*module);
    } catch (...) {
        // A note that cannot start (memory) stays silent; the voice is free for the next one.
        hasSample_ = false;
    }
    setState(hasSample_ ? kPlaying : kFree);
}

void OstrelVoice::startNote(const OstrelModule& module) {
    const Settings* settings = getSettings();
    const Note& played = note();
    velocity_ = played.getVelocityAmount();
    const float keyOffset = static_cast<float>(played.getKey() - 64) * 0.015625f;
    startOffset_ = std::max(played.getOffset(), std::int32_t{0});

    const float oscMix = settings != nullptr ? settings->getFloat(keys::kOscMix) : 0.0f;
    const float velocityMix = settings != nullptr ? settings->getFloat(keys::kVelocityOscMix) : 0.0f;
    mix_ = clamp01(oscMix + velocityMix * velocity_);

    switch (stereoMode_) {
    case 1:
        pan_ = (outputSlot_ & 1) != 0 ? 1.0f : 0.0f;
        break;
    case 2:
        pan_ = (kSpread[static_cast<std::size_t>(outputSlot_ & 7)] + 1.0f) * 0.5f;
        break;
    case 3:
        pan_ = static_cast<float>(randomInt(0, 1));
        break;
    case 4:
        pan_ = static_cast<float>(randomDouble());
        break;
    default:
        pan_ = 0.5f;
        break;
    }

    clickPlayer_.setSampleName(kNoteOnNoise);
    clickPlayer_.restart();
    const float hz = note().computeFrequency();
    clickPlayer_.setFrequency(hz);
    crosstalkPlayer_.setFrequency(hz);

    const ZoneManager* manager = module.getZoneManager();
    for (int layer = 0; layer < kLayers; ++layer) {
        const int index = manager != nullptr ? module.zoneIndexForNote(played, layer) : -1;
        zones_[static_cast<std::size_t>(layer)] =
            SharedObjectPtr<Zone>(index >= 0 ? manager->getZone(index) : nullptr);
    }
    if (!zones_[0] && !zones_[1])
        return;
    readZoneValues();

    outputSlot_ = getSlot();
    for (const SharedObjectPtr<Zone>& zone : zones_)
        if (zone) {
            const std::int32_t fixed = zone->getParameterLong(keys::kWaveOutputVoice);
            if (fixed > 0)
                outputSlot_ = fixed - 1;
            break;
        }

    updatePitch();
    startLayer(1, mix_);
    startLayer(0, 1.0f - mix_);

    startEnvelope(vcaEnvelope_, {"VCA Attack", "VCA Peak", "VCA Decay", "VCA Sustain", "VCA Release"},
                  {keys::kVCAAttack, keys::kVCAPeak, keys::kVCADecay, keys::kVCASustain, keys::kVCARelease},
                  {keys::kVelocityVCAAttack, keys::kVelocityVCAPeak, keys::kKeyboardVCADecay,
                   keys::kVelocityVCASustain, keys::kVelocityVCARelease},
                  velocity_, keyOffset, 1.0e30f);

    const float base = updateCutoffBase();
    filter_.reset();
    filter_.setBaseCutoff(base);
    startEnvelope(vcfEnvelope_, {"VCF Attack", "VCF Peak", "VCF Decay", "VCF Sustain", "VCF Release"},
                  {keys::kVCFAttack, keys::kVCFPeak, keys::kVCFDecay, keys::kVCFSustain, keys::kVCFRelease},
                  {keys::kVelocityVCFAttack, keys::kVelocityVCFPeak, keys::kKeyboardVCFDecay,
                   keys::kVelocityVCFSustain, keys::kVelocityVCFRelease},
                  velocity_, keyOffset, 1.0f - base);

    if (const Zone* preampZone = zones_[0] ? zones_[0].get() : zones_[1].get()) {
        selectedPreamp_ = preampZone->getParameterBool(keys::kPreampMicInput) ? &micPreamp_ : &linePreamp_;
        setPreampGain(preampZone->getParameterFloat(keys::kPreampGain));
        inputFilter_.setCutoff(preampZone->getParameterFloat(keys::kPreampFilterCutoff));
        setClockRate(preampZone->getParameterFloat(keys::kResampleFreq));
    }

    dcBlocker_.reset();
    inputFilter_.reset();

    // Each tune-in delivers the parameter's value at once.
    for (const char* name :
         {keys::kAnalogCharacter, keys::kOscMix, keys::kMidiPitchBend, keys::kPreampFilterCutoff,
          keys::kPreampGain, keys::kPreampMicInput, keys::kResampleFreq, keys::kStereoMode, keys::kVCFCutoff,
          keys::kVCFResonance, keys::kVCFKeyboardTracking, keys::kWaveCutoff, keys::kWaveLevel,
          keys::kWaveRootNote, keys::kSampleDetuneCoarse, keys::kSampleDetuneFine, keys::kOsc2DetuneCents,
          keys::kMasterTune})
        tuneIn(name);
}

void OstrelVoice::startLayer(int layer, float amplitude) {
    SampleOsc& player = layer == 0 ? player1_ : player2_;
    player.setZone(nullptr);
    Zone* zone = zones_[static_cast<std::size_t>(layer)].get();
    if (zone == nullptr || zone->getSample() == nullptr)
        return;
    hasSample_ = true;
    const bool loopOn = zone->getParameterBool(keys::kSampleLoopOn);
    if (zone->getParameterBool(keys::kSampleSliced)) {
        const Module* owner = getOwner();
        const LayerValues& values = layerValues_[static_cast<std::size_t>(layer)];
        player.setUseFrequency(false);
        player.setFrequency2(static_cast<float>(
            pitchRatio(static_cast<float>(values.coarse), static_cast<float>(values.fine)) *
            static_cast<double>(zone->getSample()->getRootFrequencyIn(*owner))));
        player.setZone(zone);
        const OstrelModule* module = ostrelModule();
        const KeyRange range =
            module != nullptr ? module->zoneKeyRangeForNote(note(), layer) : KeyRange(0, 0);
        const Zone::Slice slice = zone->getSlice(note().getKey() - range.low);
        player.setPosition(slice.start);
        if (!loopOn || slice.start == slice.end)
            player.setRange(slice.start, slice.end);
    } else {
        // Loop files are rendered for the tempo by their zone, off the audio path, which swaps in a new
        // copy rather than change the one other voices are reading.
        player.setZone(zone);
        player.setUseFrequency(true);
        player.setFrequency((layer == 0 ? pitchNote1_ : pitchNote2_).getFrequency());
    }
    player.setLoopMode(loopOn ? kLoopInRelease : SampleOsc::kLoopOff);
    player.setAmplitude(amplitude);
    if (layer == 0) {
        player.setOversampling(2);
        player.setJitter(kPositionJitter);
        player.setMultiplier2(kSecondMultiplier);
        waveCutoff_ = layerValues_[0].waveCutoff;
    }
}

void OstrelVoice::startEnvelope(OstrelEnvelope& envelope, const std::array<const char*, 5>& components,
                                const std::array<const char*, 5>& controls,
                                const std::array<const char*, 5>& mods, float velocity, float keyOffset,
                                float peakLimit) {
    const Settings* settings = getSettings();
    std::array<float, 5> stage{};
    for (std::size_t i = 0; i < stage.size(); ++i) {
        const float base = settings != nullptr ? settings->getNormalizedValue(controls[i]) : 0.0f;
        const float amount = settings != nullptr ? settings->getFloat(mods[i]) : 0.0f;
        // The decay follows the key, every other stage the velocity.
        stage[i] = base * tolerance(components[i]) + amount * (i == 2 ? keyOffset : velocity);
    }
    stage[1] = std::min(stage[1], peakLimit);
    envelope.setStages(stage[0], stage[1], stage[2], stage[3], stage[4]);
    envelope.trigger();
}

void OstrelVoice::setClockRate(float rate) noexcept {
    // A rate that is not positive would stop the players' clock: the one there is stays.
    if (!(rate > 0.0f) || !std::isfinite(rate))
        return;
    player1_.setClockRate(rate);
    player2_.setClockRate(rate);
}

void OstrelVoice::updatePitch() noexcept {
    const Settings* settings = getSettings();
    const float osc2Detune = settings != nullptr ? settings->getFloat(keys::kOsc2DetuneCents) : 0.0f;
    for (int layer = 0; layer < kLayers; ++layer) {
        const LayerValues& values = layerValues_[static_cast<std::size_t>(layer)];
        if (!values.sounding)
            continue;
        Note& pitch = layer == 0 ? pitchNote1_ : pitchNote2_;
        pitch = note();
        pitch.transpose(values.sampleRoot - values.waveRoot + values.coarse);
        const long extra = layer == 1 && std::isfinite(osc2Detune) ? std::lround(osc2Detune) : 0;
        pitch.addDetune(values.fine + static_cast<int>(std::clamp(extra, -12800L, 12800L)));
        (layer == 0 ? player1_ : player2_).setFrequency(pitch.computeFrequency());
    }
}

void OstrelVoice::updateMix() noexcept {
    const Settings* settings = getSettings();
    const float w = 2.0f * velocity_ - 1.0f;
    const float oscMix = settings != nullptr ? settings->getFloat(keys::kOscMix) : 0.0f;
    const float velocityMix = settings != nullptr ? settings->getFloat(keys::kVelocityOscMix) : 0.0f;
    mix_ = clamp01(oscMix + velocityMix * w);
    player1_.setAmplitude((1.0f - mix_) * (layerValues_[0].present ? layerValues_[0].waveLevel : 1.0f));
    player2_.setAmplitude(mix_ * (layerValues_[1].present ? layerValues_[1].waveLevel : 1.0f));
}

float OstrelVoice::updateCutoffBase() noexcept {
    const LayerValues* values = layerValues_[0].present   ? &layerValues_[0]
                                : layerValues_[1].present ? &layerValues_[1]
                                                          : nullptr;
    if (values != nullptr)
        waveCutoff_ = values->waveCutoff +
                      static_cast<float>(note().getKey() - 54) * keyboardTracking_ * 0.083333336f * 0.1f;
    return vcfCutoff_ + waveCutoff_;
}

void OstrelVoice::setPreampGain(float gain) noexcept {
    micPreamp_.setGain(gain);
    linePreamp_.setGain(gain);
    crosstalkPlayer_.setAmplitude(expCurve(0.6f) * velocity_ * gain * noiseFactor_ * 0.3f);
    clickPlayer_.setAmplitude(gain * noiseFactor_ * 10.0f);
}

void OstrelVoice::noteOff(const Note& /*note*/, bool immediate) noexcept {
    const std::int32_t state = getState();
    if (state == kFree || state == kStopping)
        return;
    if (immediate) {
        // A short fade, not a cut: the click noises sound before the VCA and fade with it.
        setState(kStopping);
        vcaEnvelope_.stop(false);
        vcfEnvelope_.stop(false);
        stopFade_ = EnvelopeDiscreteSloped::kFadeSamples;
        return;
    }
    if (state == kPlaying) {
        setState(kReleasing);
        vcaEnvelope_.release();
        vcfEnvelope_.release();
        clickPlayer_.setSampleName(kNoteOffNoise);
        clickPlayer_.restart();
    }
}

void OstrelVoice::changeNote(const Note& note) noexcept {
    Voice::changeNote(note);
    updatePitch();
}

bool OstrelVoice::acceptsZoneChange(const ParameterMessage& change) const {
    if (change.flags != Sender::kEditor && change.flags != Sender::kSettings &&
        change.flags != Sender::kNewListener)
        return true;
    // These carry the current zone's values: they are this voice's only when an editor edits this
    // voice's module and one of its zones is the current one. Without an editor nothing is known.
    const EditorInterface* editor = getEditor();
    if (editor == nullptr || editor->getEditedModule() != getOwner())
        return false;
    const Module* owner = getOwner();
    const ZoneManager* manager = owner != nullptr ? owner->getZoneManager() : nullptr;
    if (manager == nullptr)
        return false;
    return (zones_[0] && manager->isCurrentZone(zones_[0].get())) ||
           (zones_[1] && manager->isCurrentZone(zones_[1].get()));
}

bool OstrelVoice::receive(const Message& message) {
    if (message.kind == kKindMidi)
        return message.code == Code::kNoteOff;
    if (message.kind != kKindParameter || message.code != Code::kParameterValue)
        return Voice::receive(message);
    const auto* change = dynamic_cast<const ParameterMessage*>(&message);
    return change != nullptr && handleParameter(*change);
}

bool OstrelVoice::handleParameter(const ParameterMessage& change) {
    const auto* parameter = dynamic_cast<const Parameter*>(change.sender);
    const std::int32_t scope = parameter != nullptr ? parameter->getScope() : Parameter::kScopeModule;
    const std::string_view name = change.name;
    if (scope == Parameter::kScopeZone) {
        if (!acceptsZoneChange(change))
            return false;
    } else if (scope != Parameter::kScopeModule && name != keys::kMidiPitchBend &&
               name != keys::kMasterTune) {
        // Of the instance's own values only the two that move the pitch reach a sounding note.
        return false;
    }
    if (scope == Parameter::kScopeZone && change.flags == Sender::kEditor) {
        for (const SharedObjectPtr<Zone>& zone : zones_)
            if (zone)
                zone->receive(change);
        readZoneValues();
    }

    const float value = wordToFloat(change.extra);
    if (name == keys::kAnalogCharacter) {
        noiseFactor_ = value;
        setPreampGain(linePreamp_.getGain());
    } else if (name == keys::kMidiPitchBend) {
        // Cents as a float: the note keeps whole cents within its 16-bit range.
        const float cents = std::isfinite(value) ? std::clamp(value, -32768.0f, 32767.0f) : 0.0f;
        note().setDetune(static_cast<int>(std::lround(cents)));
        updatePitch();
    } else if (name == keys::kVCFCutoff) {
        vcfCutoff_ = value;
        filter_.setBaseCutoff(updateCutoffBase());
    } else if (name == keys::kVCFResonance) {
        filter_.setResonance(value);
    } else if (name == keys::kVCFKeyboardTracking) {
        if (const auto* tracking = dynamic_cast<const ParameterEnum<float>*>(parameter))
            keyboardTracking_ = tracking->getValue();
        filter_.setBaseCutoff(updateCutoffBase());
    } else if (name == keys::kOscMix || name == keys::kWaveLevel) {
        updateMix();
    } else if (name == keys::kPreampFilterCutoff) {
        inputFilter_.setCutoff(value);
    } else if (name == keys::kPreampGain) {
        setPreampGain(value);
    } else if (name == keys::kPreampMicInput) {
        selectedPreamp_ = change.extra != 0 ? &micPreamp_ : &linePreamp_;
    } else if (name == keys::kResampleFreq) {
        setClockRate(value);
    } else if (name == keys::kStereoMode) {
        stereoMode_ = static_cast<std::int32_t>(change.extra);
    } else if (name == keys::kWaveCutoff) {
        waveCutoff_ = value;
        filter_.setBaseCutoff(updateCutoffBase());
    } else if (name == keys::kWaveRootNote || name == keys::kSampleDetuneCoarse ||
               name == keys::kOsc2DetuneCents || name == keys::kSampleDetuneFine) {
        updatePitch();
    } else if (name == keys::kMasterTune) {
        // The note started at the master tune its tune-in delivers; only a change retunes it.
        if (change.flags != Sender::kNewListener) {
            note().invalidate();
            updatePitch();
        }
    } else {
        return false;
    }
    return true;
}

void OstrelVoice::runChain(std::int32_t pos, std::int32_t n, bool envelopeBypass, bool filterBypass,
                           bool grungeBypass) noexcept {
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
    if (!filterBypass)
        filter_.processAt(view, view, pos);
    if (!envelopeBypass && ladder_ != nullptr)
        ladder_->processInPlace(view);
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
    IOChannel<float>* out = output.getChannel(0);
    if (out == nullptr)
        return getState() != kFree;
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

    const Settings* settings = getSettings();
    const bool envelopeBypass = settings != nullptr && settings->getBool(keys::kEnvelopeBypass);
    const bool filterBypass = settings != nullptr && settings->getBool(keys::kFilterBypass);
    const bool grungeBypass = settings != nullptr && settings->getBool(keys::kGrungeBypass);

    out->setValidFrames(0);
    // A note that starts later than this block leaves the whole block silent, and nothing past it.
    const std::int32_t start = std::min(startOffset_, frames);
    if (start > 0)
        out->clear(0, start);
    for (std::int32_t pos = start; pos < frames; pos += kSubBlock) {
        const std::int32_t n = std::min(frames - pos, kSubBlock);
        if (!vcaEnvelope_.isActive())
            continue;
        runChain(pos, n, envelopeBypass, filterBypass, grungeBypass);
        const std::int32_t valid = subBlock_.getValidFrames();
        if (valid > 0) {
            std::memcpy(out->getData() + pos, subBlock_.getData(),
                        static_cast<std::size_t>(valid) * sizeof(float));
            out->setValidFrames(out->getValidFrames() + valid);
        }
    }
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

Voice* createOstrelVoice(const Module* owner, int slot, const Note& note) {
    return new OstrelVoice(owner, slot, note);
}

} // namespace trov
