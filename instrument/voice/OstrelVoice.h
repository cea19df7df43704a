#pragma once

#include "engine/dsp/effects/DCBlocker.h"
#include "engine/dsp/effects/LP1Filter.h"
#include "engine/dsp/oscillators/GranularNoiseOsc.h"
#include "engine/dsp/oscillators/SampleOsc.h"
#include "engine/io/IOChannel.h"
#include "engine/voices/Voice.h"
#include "engine/zones/Zone.h"
#include "engine/zones/ZoneState.h"
#include "framework/SharedObject.h"
#include "instrument/dsp/Ostrel4PoleFilter.h"
#include "instrument/dsp/OstrelEnvelope.h"
#include "instrument/voice/OstrelPreamp.h"
#include "instrument/voice/VoiceChange.h"
#include "instrument/voice/VoiceComponents.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace trov {

class AnalogTolerances;
class BitcrusherLog;
class DACLadder;
class OstrelEngine;
class Ostrel4PoleFilterGroup;
class OstrelModule;
class Parameter;
class ParameterMessage;
class VoiceComponents;
template <class T> class ParameterEnum;
template <class T> class ParameterValue;

// One voice of the emulated 8-bit sampler. At note start it finds the note's zone in each of the two
// layers, plays each layer's sample on its own stepped player, and sets pitch, mix, the playback clock and
// the input stage from the zones' values; the VCA and VCF envelopes come from the module's envelope
// settings, each stage carrying this voice slot's analog tolerance. Rendering runs the machine's chain in
// sub-blocks of 256 frames: players -> preamp -> click noise -> input low-pass -> log crusher -> crosstalk
// noise -> VCA -> four-pole filter -> DAC ladder, then a DC blocker per block. An immediate note-off (a
// steal) fades both envelopes, and the output after the DC blocker, out over 64 samples, the clicks with
// them, and the voice is free at the end of the block in which that fade ends.
//
// Made ahead by the product descriptor for an instrument engine's voice pool, which calls every operation
// under its lock; everything it reads at a note start (parameters, the zones' published states, analog
// components, the click samples) is found when it is made. Its first note draws what being made would
// have drawn from the process-wide generators. Threads: made on the user-interface thread; `noteOn`,
// `changeNote`, `noteOff`, `render` and `applyChange` on the audio thread: noexcept, no allocation, lock
// or log. It follows its parameters from its first note on ("tuning in" at every note start takes their
// values then), through the changes its engine hands over at a block's start (`applyChange`); a parameter
// message given to `receive` directly is taken at once on the caller's thread. Zone-scope changes from the
// editor, the settings tree or a tune-in (sender codes 2, 3, 6) are taken only when an editor edits this
// voice's module and one of its zones is the current one; with no editor they are ignored, as they carry
// another zone's values.
class OstrelVoice : public Voice {
public:
    static constexpr std::int32_t kSubBlock = 256;
    static constexpr int kLayers = 2;

    OstrelVoice(const Module* owner, int slot, const Note& note);
    ~OstrelVoice() override;
    OstrelVoice(const OstrelVoice&) = delete;
    OstrelVoice& operator=(const OstrelVoice&) = delete;

    // A followed parameter's change, taken at once. Not for the audio thread.
    bool receive(const Message& message) override;
    void noteOn(const Note& note) noexcept override;
    void changeNote(const Note& note) noexcept override;
    bool render(const IOPin* input, IOPin& output) noexcept override;
    // `render` in two steps, so that the filters of several voices run side by side: the chain up to the
    // four-pole filter into the output, the filter's runs queued in the group (its noise drawn now, where
    // `render` draws it), then, once the group has processed, the rest of the chain. The output is the
    // same to the bit. renderToFilters returns false when the block is done (a free voice: no sound);
    // otherwise finishRender must follow with the same output and group, and returns what `render` does.
    // A group without room for the voice's block leaves it filtered at once, as `render` does.
    bool renderToFilters(IOPin& output, Ostrel4PoleFilterGroup& filters) noexcept;
    bool finishRender(IOPin& output, const Ostrel4PoleFilterGroup& filters) noexcept;
    void noteOff(const Note& note, bool immediate) noexcept override;
    // Stops following its parameters and draws again at its next note, as if newly made.
    void discarded() noexcept override;
    // A change of a followed parameter, as `receive` takes it; true when the voice took it. The voice's
    // filter takes "VCFResonance" and "VCFResponse" from the voice's first note on.
    bool applyChange(const VoiceChange& change) noexcept;

    // Where the engine's stereo routing places the voice (0 left .. 1 right) and the output of the
    // eight-output routing.
    float getPan() const noexcept { return pan_; }
    std::int32_t getOutputSlot() const noexcept { return outputSlot_; }
    // For inspection.
    float getMix() const noexcept { return mix_; }
    Zone* getZone(int layer) const noexcept { return zones_[static_cast<std::size_t>(layer & 1)]; }
    SampleOsc& getPlayer(int layer) noexcept { return layer == 0 ? player1_ : player2_; }
    SampleOsc& getClickPlayer() noexcept { return clickPlayer_; }
    GranularNoiseOsc& getCrosstalkPlayer() noexcept { return crosstalkPlayer_; }
    OstrelEnvelope& getVCAEnvelope() noexcept { return vcaEnvelope_; }
    OstrelEnvelope& getVCFEnvelope() noexcept { return vcfEnvelope_; }
    Ostrel4PoleFilter& getFilter() noexcept { return filter_; }
    LP1Filter& getInputFilter() noexcept { return inputFilter_; }
    const OstrelPreamp& getSelectedPreamp() const noexcept { return *selectedPreamp_; }
    bool usesMicPreamp() const noexcept { return selectedPreamp_ == &micPreamp_; }
    float getNoiseFactor() const noexcept { return noiseFactor_; }
    float getVCFCutoff() const noexcept { return vcfCutoff_; }
    float getWaveCutoff() const noexcept { return waveCutoff_; }
    std::int32_t getStereoMode() const noexcept { return stereoMode_; }
    std::int32_t getStartOffset() const noexcept { return startOffset_; }

    // The velocity-weighted oscillator mix of the module's settings, within 0..1.
    void updateMix() noexcept;
    // Each sounding layer's pitch from the note, the zone's root note, transposition and fine detune (and
    // "Osc2DetuneCents" for the second layer).
    void updatePitch() noexcept;
    // The zone's wave cutoff with keyboard tracking, plus the VCF cutoff: the filter's base.
    float updateCutoffBase() noexcept;
    // Both preamps' gain, and the noise levels that follow it.
    void setPreampGain(float gain) noexcept;

private:
    // What the voice reads of its zones at note start, so that later changes need no zone.
    struct LayerValues {
        bool present = false;  // a zone
        bool sounding = false; // a zone with a sample
        std::int32_t sampleRoot = 60;
        std::int32_t waveRoot = 0;
        std::int32_t coarse = 0; // semitones
        std::int32_t fine = 0;   // cents
        float waveLevel = 1.0f;
        float waveCutoff = 0.0f;
    };
    // A setting read as the settings tree's typed getters read it, through the parameter found when made.
    struct Setting {
        const ParameterValue<float>* real = nullptr;
        const ParameterEnum<float>* choice = nullptr;
        const ParameterValue<bool>* flag = nullptr;
        const Parameter* any = nullptr;
        float getFloat() const noexcept;
        float getNormalized() const noexcept;
        bool getBool() const noexcept;
    };
    // The slots of the zone values read here (Zone::valueSlot).
    struct ValueSlots {
        int waveLevel = -1;
        int waveCutoff = -1;
        int waveRootNote = -1;
        int loopOn = -1;
        int sliced = -1;
        int outputVoice = -1;
        int micInput = -1;
        int preampGain = -1;
        int preampCutoff = -1;
        int resampleFreq = -1;
    };

    void findSettings();
    // What making the voice would have drawn and read: the players' random sequences, the filter's
    // tolerances at the current resonance and response.
    void beBorn() noexcept;
    // May throw: a tolerance source that fails.
    void startNote(const OstrelModule& module);
    // Takes the zone that plays the note in the layer (with its reference); the one held before is let go.
    void takeZone(int layer, Zone* zone) noexcept;
    void readZoneValues() noexcept;
    // Both players' playback clock; rates that are not positive are ignored.
    void setClockRate(float rate) noexcept;
    float tolerance(const AnalogComponent& component) const;
    void startEnvelope(OstrelEnvelope& envelope, const std::array<AnalogComponent, 5>& components,
                       const std::array<Setting, 5>& controls, const std::array<Setting, 5>& mods,
                       float velocity, float keyOffset, float peakLimit);
    void startLayer(int layer, float amplitude) noexcept;
    // Every followed parameter's current value, as tuning in to it delivers it.
    void takeFollowedValues() noexcept;
    // With following, the voice's own part of the change (when it takes it), then the filter's part.
    bool applyChange(const VoiceChange& change, bool following) noexcept;
    // Whether the change is this voice's: the parameter's scope, and for the current zone's values from the
    // editor, the settings or a tune-in, whether the voice plays that zone.
    bool takes(const VoiceChange& change) const noexcept;
    // An editor's edit of a value the voice keeps of the edited zone (`LayerValues`), in the layers that
    // play that zone.
    void takeZoneValue(const VoiceChange& change) noexcept;
    // What each name does; false for a name the voice does nothing with.
    bool take(const VoiceChange& change) noexcept;
    // The block up to the four-pole filter (and past it when the filter is not queued in a group); false
    // when nothing more is to be done.
    bool beginBlock(IOPin& output, Ostrel4PoleFilterGroup* filters) noexcept;
    // The DAC ladder after queued filter runs, the DC blocker, the fade and the end of the sound.
    bool endBlock(IOPin& output, const Ostrel4PoleFilterGroup* filters) noexcept;
    // The stages before the four-pole filter, on the sub-block of n frames.
    void runFront(std::int32_t n, bool filterBypass, bool grungeBypass) noexcept;
    // A stopped voice's output, after the DC blocker, fading with the envelopes.
    void fadeOut(IOChannel<float>& out) noexcept;

    LP1Filter inputFilter_;
    float noiseFactor_ = 1.0f;
    BitcrusherLog* crusher_ = nullptr;
    DACLadder* ladder_ = nullptr;
    SampleOsc clickPlayer_;
    GranularNoiseOsc crosstalkPlayer_;
    float waveCutoff_ = 0.0f;
    float vcfCutoff_ = 0.0f;
    DCBlocker dcBlocker_;
    OstrelEnvelope vcaEnvelope_;
    Ostrel4PoleFilter filter_;
    OstrelEnvelope vcfEnvelope_;
    IOChannel<float>* modulation_;
    SampleOsc player1_;
    SampleOsc player2_;
    Note pitchNote1_;
    Note pitchNote2_;
    OstrelPreamp micPreamp_;
    OstrelPreamp linePreamp_;
    OstrelPreamp* selectedPreamp_;
    float keyboardTracking_ = 0.0f;
    std::array<Zone*, kLayers> zones_{}; // one reference each
    std::array<ZoneState, kLayers> zoneStates_{};
    std::array<LayerValues, kLayers> layerValues_;
    std::int32_t outputSlot_ = 0;
    std::int32_t stereoMode_ = 0;
    // The chain runs on this buffer, one sub-block at a time, and the result is copied into the output.
    IOChannel<float> subBlock_;
    // A queued filter run in the output, for the DAC ladder after the group processed it.
    IOChannel<float> runView_;
    bool laddersQueued_ = false;
    AnalogTolerances* tolerances_ = nullptr;
    const OstrelModule* module_ = nullptr;
    OstrelEngine* engine_ = nullptr;
    VoiceComponents* components_ = nullptr;
    VoiceComponents::Row unpreparedRow_{}; // a slot beyond the prepared ones
    const VoiceComponents::Row* row_ = nullptr;
    SharedObjectPtr<Sample> noteOnNoise_;
    SharedObjectPtr<Sample> noteOffNoise_;
    // Found when made: the followed parameters (instance 0) and the settings a note start reads.
    std::array<const Parameter*, static_cast<std::size_t>(Followed::kLFORate)> followed_{};
    Setting oscMix_, velocityMix_, osc2Detune_;
    Setting envelopeBypass_, filterBypass_, grungeBypass_;
    std::array<Setting, 5> vcaControls_, vcaMods_, vcfControls_, vcfMods_;
    ValueSlots slots_;
    float velocity_ = 0.0f;
    float mix_ = 0.0f;
    float pan_ = 0.5f;
    std::int32_t startOffset_ = 0;
    std::int32_t stopFade_ = 0; // samples left of a stop's output fade
    bool hasSample_ = false;
    bool born_ = false;
    bool tunedIn_ = false;
};

} // namespace trov
