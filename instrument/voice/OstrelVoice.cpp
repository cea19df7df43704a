// The voice's making and its note handling.
#include "instrument/voice/OstrelVoice.h"

#include "engine/dsp/oscillators/ResourceSamples.h"
#include "engine/modules/Module.h"
#include "engine/samples/Sample.h"
#include "engine/zones/ZoneManager.h"
#include "framework/Curves.h"
#include "framework/Logger.h"
#include "framework/Random.h"
#include "instrument/AnalogTolerances.h"
#include "instrument/InstrumentKeys.h"
#include "instrument/ProductFactories.h"
#include "instrument/engine/OstrelEngine.h"
#include "instrument/engine/OstrelModule.h"
#include "instrument/voice/SharedStages.h"
#include "plugin/Parameter.h"
#include "plugin/ParameterEnum.h"
#include "plugin/ParameterValue.h"
#include "plugin/Settings.h"

#include <algorithm>
#include <atomic>
#include <cmath>
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

// Output slots a zone may fix its voices to ("WaveOutputVoice" - 1).
constexpr int kFixedSlots = 8;

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
    : Voice(owner, slot, note), inputFilter_(owner), clickPlayer_(owner, Oscillator::DeferRandom{}),
      crosstalkPlayer_(owner, kCrosstalkNoise, Oscillator::DeferRandom{}), dcBlocker_(owner),
      vcaEnvelope_(owner), filter_(owner, nullptr, false), vcfEnvelope_(owner),
      modulation_(owner != nullptr ? owner->getTempBuffer() : nullptr),
      player1_(owner, Oscillator::DeferRandom{}), player2_(owner, Oscillator::DeferRandom{}),
      pitchNote1_(owner, note), pitchNote2_(owner, note), micPreamp_(owner, kMicNormal, kMicSaturated),
      linePreamp_(owner, kLineNormal, kLineSaturated), selectedPreamp_(&linePreamp_), subBlock_(kSubBlock) {
    const SharedStages& stages = acquireSharedStages();
    crusher_ = stages.logCrusher;
    ladder_ = stages.ladder;
    filter_.setInput(0, modulation_);
    subBlock_.setSize(kSubBlock);
    // Both clicks are held from here on, so that a missing one is reported before any note needs it and a
    // note start never asks the resources.
    static std::atomic<bool> missingOn{false};
    static std::atomic<bool> missingOff{false};
    noteOffNoise_ = SharedObjectPtr<Sample>(acquireLoadedSample(*this, kNoteOffNoise));
    if (!noteOffNoise_)
        reportMissingClick(kNoteOffNoise, missingOff);
    noteOnNoise_ = SharedObjectPtr<Sample>(acquireLoadedSample(*this, kNoteOnNoise));
    if (!noteOnNoise_)
        reportMissingClick(kNoteOnNoise, missingOn);
    clickPlayer_.playHeldSample(noteOnNoise_.get(), kNoteOnNoise);
    tolerances_ = findAnalogTolerances(*this);
    filter_.attachTolerances(tolerances_);
    module_ = dynamic_cast<const OstrelModule*>(owner);
    engine_ = owner != nullptr ? dynamic_cast<OstrelEngine*>(owner->getEngine()) : nullptr;
    if (engine_ != nullptr) {
        // The envelopes' components of every slot this pool's voices may play in.
        components_ = &engine_->getVoiceComponents();
        components_->prepare(tolerances_,
                             std::max({engine_->getVoicePool().getVoiceBound(), kFixedSlots, slot + 1}));
    }
    findSettings();
}

OstrelVoice::~OstrelVoice() {
    for (Zone*& zone : zones_)
        if (zone != nullptr) {
            zone->release();
            zone = nullptr;
        }
    filter_.setInput(0, nullptr);
    if (const Module* owner = getOwner(); owner != nullptr && modulation_ != nullptr)
        owner->releaseTempBuffer(modulation_);
    releaseSharedStages();
}

float OstrelVoice::Setting::getFloat() const noexcept {
    if (real != nullptr)
        return real->getValue();
    return choice != nullptr ? choice->getValue() : 0.0f;
}

float OstrelVoice::Setting::getNormalized() const noexcept {
    return any != nullptr ? any->getNormalized() : 0.0f;
}

bool OstrelVoice::Setting::getBool() const noexcept {
    return flag != nullptr && flag->getValue();
}

void OstrelVoice::findSettings() {
    const Settings* settings = getSettings();
    if (settings == nullptr)
        return;
    for (std::size_t i = 0; i < followed_.size(); ++i)
        followed_[i] = settings->getParameter(kFollowedNames[i]);
    const auto find = [settings](const char* name) {
        Setting setting;
        setting.any = settings->getParameter(name);
        setting.real = dynamic_cast<const ParameterValue<float>*>(setting.any);
        setting.choice = dynamic_cast<const ParameterEnum<float>*>(setting.any);
        setting.flag = dynamic_cast<const ParameterValue<bool>*>(setting.any);
        return setting;
    };
    oscMix_ = find(keys::kOscMix);
    velocityMix_ = find(keys::kVelocityOscMix);
    osc2Detune_ = find(keys::kOsc2DetuneCents);
    envelopeBypass_ = find(keys::kEnvelopeBypass);
    filterBypass_ = find(keys::kFilterBypass);
    grungeBypass_ = find(keys::kGrungeBypass);
    const std::array<const char*, 5> vcaControls = {keys::kVCAAttack, keys::kVCAPeak, keys::kVCADecay,
                                                    keys::kVCASustain, keys::kVCARelease};
    const std::array<const char*, 5> vcaMods = {keys::kVelocityVCAAttack, keys::kVelocityVCAPeak,
                                                keys::kKeyboardVCADecay, keys::kVelocityVCASustain,
                                                keys::kVelocityVCARelease};
    const std::array<const char*, 5> vcfControls = {keys::kVCFAttack, keys::kVCFPeak, keys::kVCFDecay,
                                                    keys::kVCFSustain, keys::kVCFRelease};
    const std::array<const char*, 5> vcfMods = {keys::kVelocityVCFAttack, keys::kVelocityVCFPeak,
                                                keys::kKeyboardVCFDecay, keys::kVelocityVCFSustain,
                                                keys::kVelocityVCFRelease};
    for (std::size_t i = 0; i < 5; ++i) {
        vcaControls_[i] = find(vcaControls[i]);
        vcaMods_[i] = find(vcaMods[i]);
        vcfControls_[i] = find(vcfControls[i]);
        vcfMods_[i] = find(vcfMods[i]);
    }
    slots_.waveLevel = Zone::valueSlot(settings, keys::kWaveLevel);
    slots_.waveCutoff = Zone::valueSlot(settings, keys::kWaveCutoff);
    slots_.waveRootNote = Zone::valueSlot(settings, keys::kWaveRootNote);
    slots_.loopOn = Zone::valueSlot(settings, keys::kSampleLoopOn);
    slots_.sliced = Zone::valueSlot(settings, keys::kSampleSliced);
    slots_.outputVoice = Zone::valueSlot(settings, keys::kWaveOutputVoice);
    slots_.micInput = Zone::valueSlot(settings, keys::kPreampMicInput);
    slots_.preampGain = Zone::valueSlot(settings, keys::kPreampGain);
    slots_.preampCutoff = Zone::valueSlot(settings, keys::kPreampFilterCutoff);
    slots_.resampleFreq = Zone::valueSlot(settings, keys::kResampleFreq);
}

void OstrelVoice::beBorn() noexcept {
    born_ = true;
    // In the order the members were made.
    clickPlayer_.drawRandomState();
    crosstalkPlayer_.drawRandomState();
    player1_.drawRandomState();
    player2_.drawRandomState();
    // The filter starts as one made now would: at the current resonance and response, its tolerances read.
    if (const Parameter* resonance = followed_[static_cast<std::size_t>(Followed::kVCFResonance)])
        filter_.setResonance(wordToFloat(resonance->getValueWord()));
    if (const Parameter* response = followed_[static_cast<std::size_t>(Followed::kVCFResponse)])
        filter_.setResponse(2.0f * clampPosition(wordToFloat(response->getValueWord()), 0.0f, 1.0f));
    filter_.reset();
    drawSharedStages();
    const int slot = getSlot();
    row_ = components_ != nullptr ? components_->row(slot) : nullptr;
    if (row_ == nullptr) {
        // A slot beyond those prepared: the model answers the ordinary way.
        unpreparedRow_ = VoiceComponents::unprepared(slot);
        row_ = &unpreparedRow_;
    }
}

void OstrelVoice::discarded() noexcept {
    // As made: no longer following, drawing again at the next note, the values tuning in set at defaults.
    born_ = false;
    tunedIn_ = false;
    noiseFactor_ = 1.0f;
    waveCutoff_ = 0.0f;
    vcfCutoff_ = 0.0f;
    keyboardTracking_ = 0.0f;
    outputSlot_ = 0;
    stereoMode_ = 0;
    selectedPreamp_ = &linePreamp_;
    pan_ = 0.5f;
    mix_ = 0.0f;
}

float OstrelVoice::tolerance(const AnalogComponent& component) const {
    return tolerances_ != nullptr ? tolerances_->readAnalogComponent(component) : 1.0f;
}

void OstrelVoice::takeZone(int layer, Zone* zone) noexcept {
    Zone*& held = zones_[static_cast<std::size_t>(layer)];
    Zone* previous = held;
    held = zone;
    if (previous == nullptr)
        return;
    // Its last holder may be this voice: it goes on the engine's worker, never here.
    if (engine_ != nullptr)
        engine_->releaseZone(previous);
    else
        previous->release();
}

void OstrelVoice::readZoneValues() noexcept {
    for (std::size_t layer = 0; layer < kLayers; ++layer) {
        LayerValues& values = layerValues_[layer];
        values = LayerValues{};
        const Zone* zone = zones_[layer];
        if (zone == nullptr)
            continue;
        ZoneState& state = zoneStates_[layer];
        state = zone->readState();
        values.present = true;
        values.waveLevel = state.getFloat(slots_.waveLevel);
        values.waveCutoff = state.getFloat(slots_.waveCutoff);
        if (const Sample* sample = state.sample) {
            values.sounding = true;
            values.sampleRoot = sample->getRootNote();
            values.waveRoot = state.getLong(slots_.waveRootNote);
            values.coarse = state.getLong(ZoneState::kSampleDetuneCoarse);
            values.fine = state.getLong(ZoneState::kSampleDetuneFine);
        }
    }
}

void OstrelVoice::noteOn(const Note& note) noexcept {
    if (!born_)
        beBorn();
    Voice::noteOn(note);
    setState(kFree);
    hasSample_ = false;
    if (tolerances_ == nullptr || module_ == nullptr)
        return;
    try {
        startNote(*module_);
    } catch (...) {
        // A tolerance source that fails leaves the note silent; the voice is free for the next one.
        hasSample_ = false;
    }
    setState(hasSample_ ? kPlaying : kFree);
}

void OstrelVoice::startNote(const OstrelModule& module) {
    const Note& played = note();
    velocity_ = played.getVelocityAmount();
    const float keyOffset = static_cast<float>(played.getKey() - 64) * 0.015625f;
    startOffset_ = std::max(played.getOffset(), std::int32_t{0});
    mix_ = clamp01(oscMix_.getFloat() + velocityMix_.getFloat() * velocity_);

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

    clickPlayer_.playHeldSample(noteOnNoise_.get(), kNoteOnNoise);
    clickPlayer_.restart();
    const float hz = note().computeFrequency();
    clickPlayer_.setFrequency(hz);
    crosstalkPlayer_.setFrequency(hz);

    const ZoneManager* manager = module.getZoneManager();
    for (int layer = 0; layer < kLayers; ++layer)
        takeZone(layer, manager != nullptr ? module.acquireZoneForNote(played, layer) : nullptr);
    if (zones_[0] == nullptr && zones_[1] == nullptr)
        return;
    readZoneValues();

    outputSlot_ = getSlot();
    for (std::size_t layer = 0; layer < kLayers; ++layer)
        if (zones_[layer] != nullptr) {
            const std::int32_t fixed = zoneStates_[layer].getLong(slots_.outputVoice);
            if (fixed > 0)
                outputSlot_ = fixed - 1;
            break;
        }

    updatePitch();
    startLayer(1, mix_);
    startLayer(0, 1.0f - mix_);

    startEnvelope(vcaEnvelope_, row_->vca, vcaControls_, vcaMods_, velocity_, keyOffset, 1.0e30f);
    const float base = updateCutoffBase();
    filter_.reset();
    filter_.setBaseCutoff(base);
    startEnvelope(vcfEnvelope_, row_->vcf, vcfControls_, vcfMods_, velocity_, keyOffset, 1.0f - base);

    const std::size_t preampLayer = zones_[0] != nullptr ? 0 : 1;
    if (zones_[preampLayer] != nullptr) {
        const ZoneState& preamp = zoneStates_[preampLayer];
        selectedPreamp_ = preamp.getBool(slots_.micInput) ? &micPreamp_ : &linePreamp_;
        setPreampGain(preamp.getFloat(slots_.preampGain));
        inputFilter_.setCutoff(preamp.getFloat(slots_.preampCutoff));
        setClockRate(preamp.getFloat(slots_.resampleFreq));
    }

    dcBlocker_.reset();
    inputFilter_.reset();
    takeFollowedValues();
}

void OstrelVoice::startLayer(int layer, float amplitude) noexcept {
    SampleOsc& player = layer == 0 ? player1_ : player2_;
    player.setZone(nullptr);
    Zone* zone = zones_[static_cast<std::size_t>(layer)];
    const ZoneState& state = zoneStates_[static_cast<std::size_t>(layer)];
    if (zone == nullptr || state.sample == nullptr)
        return;
    hasSample_ = true;
    const bool loopOn = state.getBool(slots_.loopOn);
    if (state.getBool(slots_.sliced)) {
        const Module* owner = getOwner();
        const LayerValues& values = layerValues_[static_cast<std::size_t>(layer)];
        player.setUseFrequency(false);
        player.setFrequency2(static_cast<float>(
            pitchRatio(static_cast<float>(values.coarse), static_cast<float>(values.fine)) *
            static_cast<double>(state.sample->getRootFrequencyIn(*owner))));
        player.setZone(zone, state);
        const Zone::Slice slice = state.getSlice(note().getKey() - state.range.low);
        player.setPosition(slice.start);
        if (!loopOn || slice.start == slice.end)
            player.setRange(slice.start, slice.end);
    } else {
        // Loop files are rendered for the tempo by their zone, off the audio path, which swaps in a new
        // copy rather than change the one other voices are reading.
        player.setZone(zone, state);
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

void OstrelVoice::startEnvelope(OstrelEnvelope& envelope, const std::array<AnalogComponent, 5>& components,
                                const std::array<Setting, 5>& controls, const std::array<Setting, 5>& mods,
                                float velocity, float keyOffset, float peakLimit) {
    std::array<float, 5> stage{};
    for (std::size_t i = 0; i < stage.size(); ++i) {
        const float base = controls[i].getNormalized();
        const float amount = mods[i].getFloat();
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
    const float osc2Detune = osc2Detune_.getFloat();
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
    const float w = 2.0f * velocity_ - 1.0f;
    mix_ = clamp01(oscMix_.getFloat() + velocityMix_.getFloat() * w);
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
        clickPlayer_.playHeldSample(noteOffNoise_.get(), kNoteOffNoise);
        clickPlayer_.restart();
    }
}

void OstrelVoice::changeNote(const Note& note) noexcept {
    Voice::changeNote(note);
    updatePitch();
}

Voice* createOstrelVoice(const Module* owner, int slot, const Note& note) {
    return new OstrelVoice(owner, slot, note);
}

} // namespace trov
