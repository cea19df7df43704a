#pragma once

#include "engine/dsp/effects/DCBlocker.h"
#include "engine/dsp/effects/LP1Filter.h"
#include "engine/dsp/oscillators/GranularNoiseOsc.h"
#include "engine/dsp/oscillators/SampleOsc.h"
#include "engine/io/IOChannel.h"
#include "engine/voices/Voice.h"
#include "engine/zones/Zone.h"
#include "framework/SharedObject.h"
#include "instrument/dsp/Ostrel4PoleFilter.h"
#include "instrument/dsp/OstrelEnvelope.h"
#include "instrument/voice/OstrelPreamp.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace trov {

class AnalogTolerances;
class BitcrusherLog;
class DACLadder;
class OstrelModule;
class ParameterMessage;

// One voice of the emulated 8-bit sampler. At note start it finds the note's zone in each of the two
// layers, plays each layer's sample on its own stepped player, and sets pitch, mix, the playback clock and
// the input stage from the zones' values; the VCA and VCF envelopes come from the module's envelope
// settings, each stage carrying this voice slot's analog tolerance. Rendering runs the machine's chain in
// sub-blocks of 256 frames: players -> preamp -> click noise -> input low-pass -> log crusher -> crosstalk
// noise -> VCA -> four-pole filter -> DAC ladder, then a DC blocker per block. An immediate note-off (a
// steal) fades both envelopes, and the output after the DC blocker, out over 64 samples, the clicks with
// them, and the voice is free at the end of the block in which that fade ends.
//
// Made by the product descriptor for an instrument engine's voice pool, which calls every operation under
// its lock. `noteOn`, `changeNote` and `noteOff` run on the thread that delivers notes and may read zone
// documents (they allocate); `render` runs on the audio thread: noexcept, no allocation, lock or log.
// Parameter messages arrive on the thread that changes the parameter. Zone-scope changes from the editor,
// the settings tree or a new tune-in (sender codes 2, 3, 6) are taken only when an editor edits this
// voice's module and zone; with no editor they are ignored, as they carry another zone's values.
class OstrelVoice : public Voice {
public:
    static constexpr std::int32_t kSubBlock = 256;
    static constexpr int kLayers = 2;

    OstrelVoice(const Module* owner, int slot, const Note& note);
    ~OstrelVoice() override;
    OstrelVoice(const OstrelVoice&) = delete;
    OstrelVoice& operator=(const OstrelVoice&) = delete;

    bool receive(const Message& message) override;
    void noteOn(const Note& note) noexcept override;
    void changeNote(const Note& note) noexcept override;
    bool render(const IOPin* input, IOPin& output) noexcept override;
    void noteOff(const Note& note, bool immediate) noexcept override;

    // Where the engine's stereo routing places the voice (0 left .. 1 right) and the output of the
    // eight-output routing.
    float getPan() const noexcept { return pan_; }
    std::int32_t getOutputSlot() const noexcept { return outputSlot_; }
    // For inspection.
    float getMix() const noexcept { return mix_; }
    Zone* getZone(int layer) const noexcept { return zones_[static_cast<std::size_t>(layer & 1)].get(); }
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
    // What the voice reads of its zones at note start, so that later changes need no zone document.
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

    void startNote(const OstrelModule& module);
    void readZoneValues();
    // Both players' playback clock; rates that are not positive are ignored.
    void setClockRate(float rate) noexcept;
    bool handleParameter(const ParameterMessage& change);
    bool acceptsZoneChange(const ParameterMessage& change) const;
    const OstrelModule* ostrelModule() const noexcept;
    float tolerance(std::string_view component) const;
    void startEnvelope(OstrelEnvelope& envelope, const std::array<const char*, 5>& components,
                       const std::array<const char*, 5>& controls, const std::array<const char*, 5>& mods,
                       float velocity, float keyOffset, float peakLimit);
    void startLayer(int layer, float amplitude);
    void runChain(std::int32_t pos, std::int32_t n, bool envelopeBypass, bool filterBypass,
                  bool grungeBypass) noexcept;
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
    std::array<SharedObjectPtr<Zone>, kLayers> zones_;
    std::array<LayerValues, kLayers> layerValues_;
    std::int32_t outputSlot_ = 0;
    std::int32_t stereoMode_ = 0;
    // The chain runs on this buffer, one sub-block at a time, and the result is copied into the output.
    IOChannel<float> subBlock_;
    AnalogTolerances* tolerances_ = nullptr;
    float velocity_ = 0.0f;
    float mix_ = 0.0f;
    float pan_ = 0.5f;
    std::int32_t startOffset_ = 0;
    std::int32_t stopFade_ = 0; // samples left of a stop's output fade
    bool hasSample_ = false;
};

} // namespace trov
