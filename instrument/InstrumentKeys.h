#pragma once

#include <array>
#include <string_view>

// The names by which the instrument addresses its parameters and settings, declared once for every source
// of the instrument. Plain constants: any thread, nothing built at load.
namespace trov::keys {

// Shared by the instrument and the editor.
inline constexpr char kCurrentModule[] = "CurrentModule";
inline constexpr char kImportFilterIndex[] = "ImportFilterIndex";
inline constexpr char kExportFilterIndex[] = "ExportFilterIndex";
inline constexpr char kMasterVolume[] = "MasterVolume";
inline constexpr char kCurrentProgram[] = "CurrentProgram";
inline constexpr char kCurrentSample[] = "CurrentSample";
inline constexpr char kCurrentZone[] = "CurrentZone";
inline constexpr char kTapwireChannel[] = "TapwireChannel";
inline constexpr char kSampleRootNote[] = "SampleRootNote";
inline constexpr char kSampleDetuneCoarse[] = "SampleDetuneCoarse";
inline constexpr char kSampleDetuneFine[] = "SampleDetuneFine";
inline constexpr char kSampleStart[] = "SampleStart";
inline constexpr char kSampleEnd[] = "SampleEnd";
inline constexpr char kSampleDisplayStart[] = "SampleDisplayStart";
inline constexpr char kSampleDisplayEnd[] = "SampleDisplayEnd";
inline constexpr char kSampleLoopOn[] = "SampleLoopOn";
inline constexpr char kSampleLoopStart[] = "SampleLoopStart";
inline constexpr char kSampleLoopEnd[] = "SampleLoopEnd";
inline constexpr char kSampleInvertPhase[] = "SampleInvertPhase";
inline constexpr char kSampleNormalize[] = "SampleNormalize";
inline constexpr char kSampleReverse[] = "SampleReverse";
inline constexpr char kWaveRootNote[] = "WaveRootNote";
inline constexpr char kLCDContrast[] = "LCDContrast";
inline constexpr char kMidiPitchBend[] = "MidiPitchBend";
inline constexpr char kPitchBendRange[] = "PitchBendRange";
inline constexpr char kMidiModulation[] = "MidiModulation";
inline constexpr char kInputLevel[] = "InputLevel";
inline constexpr char kOutputLevel[] = "OutputLevel";
inline constexpr char kOutputConfiguration[] = "OutputConfiguration";
inline constexpr char kTooltipDelay[] = "TooltipDelay";
inline constexpr char kDisplayFontSize[] = "DisplayFontSize";
inline constexpr char kSustainVoices[] = "SustainVoices";

// The voice and its render chain.
inline constexpr char kMasterTune[] = "MasterTune";
inline constexpr char kVCAAttack[] = "VCAAttack";
inline constexpr char kVCAPeak[] = "VCAPeak";
inline constexpr char kVCADecay[] = "VCADecay";
inline constexpr char kVCASustain[] = "VCASustain";
inline constexpr char kVCARelease[] = "VCARelease";
inline constexpr char kVelocityVCAAttack[] = "Velocity_VCAAttack";
inline constexpr char kVelocityVCAPeak[] = "Velocity_VCAPeak";
inline constexpr char kKeyboardVCADecay[] = "Keyboard_VCADecay";
inline constexpr char kVelocityVCASustain[] = "Velocity_VCASustain";
inline constexpr char kVelocityVCARelease[] = "Velocity_VCARelease";
inline constexpr char kVCFAttack[] = "VCFAttack";
inline constexpr char kVCFPeak[] = "VCFPeak";
inline constexpr char kVCFDecay[] = "VCFDecay";
inline constexpr char kVCFSustain[] = "VCFSustain";
inline constexpr char kVCFRelease[] = "VCFRelease";
inline constexpr char kVelocityVCFAttack[] = "Velocity_VCFAttack";
inline constexpr char kVelocityVCFPeak[] = "Velocity_VCFPeak";
inline constexpr char kKeyboardVCFDecay[] = "Keyboard_VCFDecay";
inline constexpr char kVelocityVCFSustain[] = "Velocity_VCFSustain";
inline constexpr char kVelocityVCFRelease[] = "Velocity_VCFRelease";
inline constexpr char kSampleSliced[] = "SampleSliced";
inline constexpr char kWaveLevel[] = "WaveLevel";
inline constexpr char kWaveCutoff[] = "WaveCutoff";
inline constexpr char kWaveOutputVoice[] = "WaveOutputVoice";
inline constexpr char kOscMix[] = "OscMix";
inline constexpr char kVelocityOscMix[] = "Velocity_OscMix";
inline constexpr char kOsc2DetuneCents[] = "Osc2DetuneCents";
inline constexpr char kVCFCutoff[] = "VCFCutoff";
inline constexpr char kVCFResonance[] = "VCFResonance";
inline constexpr char kVCFKeyboardTracking[] = "VCFKeyboardTracking";
inline constexpr char kResampleFreq[] = "ResampleFreq";
inline constexpr char kPreampFilterCutoff[] = "PreampFilterCutoff";
inline constexpr char kPreampGain[] = "PreampGain";
inline constexpr char kPreampMicInput[] = "PreampMicInput";
inline constexpr char kEnvelopeBypass[] = "EnvelopeBypass";
inline constexpr char kFilterBypass[] = "FilterBypass";
inline constexpr char kGrungeBypass[] = "GrungeBypass";
inline constexpr char kStereoMode[] = "StereoMode";
inline constexpr char kAnalogCharacter[] = "AnalogCharacter";

// The LFO.
inline constexpr char kLFORate[] = "LFORate";
inline constexpr char kLFORatePPQ[] = "LFORatePPQ";
inline constexpr char kLFOSync[] = "LFOSync";
inline constexpr char kLFOWaveform[] = "LFOWaveform";

// The four-pole filter.
inline constexpr char kVCFResponse[] = "VCFResponse";

// The engine and module.
inline constexpr char kSoloWave[] = "SoloWave";
inline constexpr char kOscMixMode[] = "OscMixMode";
inline constexpr char kRecordModeArmed[] = "RecordModeArmed";
inline constexpr char kRecordModeEnabled[] = "RecordModeEnabled";
inline constexpr char kSampleRecordMask[] = "SampleRecordMask";
inline constexpr char kRecordMode[] = "RecordMode";
inline constexpr char kWaveMidiChannel[] = "WaveMidiChannel";
inline constexpr char kLFOOSCDepth[] = "LFO_OSCDepth";
inline constexpr char kLFOVCADepth[] = "LFO_VCADepth";
inline constexpr char kLFOVCFDepth[] = "LFO_VCFDepth";
inline constexpr char kModwheelLFOOSCDepth[] = "Modwheel_LFO_OSCDepth";
inline constexpr char kModwheelLFOVCADepth[] = "Modwheel_LFO_VCADepth";
inline constexpr char kModwheelLFOVCFDepth[] = "Modwheel_LFO_VCFDepth";

// The zones.
inline constexpr char kSampleUnload[] = "SampleUnload";

// The plug-in class.
inline constexpr char kSoloZone[] = "SoloZone";
inline constexpr char kLoad[] = "Load";
inline constexpr char kSave[] = "Save";
inline constexpr char kKeyboardBalance[] = "KeyboardBalance";
inline constexpr char kMemoryReset[] = "MemoryReset";
inline constexpr char kResetTuning[] = "ResetTuning";
inline constexpr char kStepParameters[] = "StepParameters";
inline constexpr char kAnalogRecalibrate[] = "AnalogRecalibrate";

// The editor.
inline constexpr char kDisplayBrowser[] = "DisplayBrowser";
inline constexpr char kDisplayEditor[] = "DisplayEditor";

// The shared names in their order, closed by an empty name.
inline constexpr std::array<std::string_view, 33> kSharedKeys = {
    kCurrentModule,      kImportFilterIndex,   kExportFilterIndex,
    kMasterVolume,       kCurrentProgram,      kCurrentSample,
    kCurrentZone,        kTapwireChannel,      kSampleRootNote,
    kSampleDetuneCoarse, kSampleDetuneFine,    kSampleStart,
    kSampleEnd,          kSampleDisplayStart,  kSampleDisplayEnd,
    kSampleLoopOn,       kSampleLoopStart,     kSampleLoopEnd,
    kSampleInvertPhase,  kSampleNormalize,     kSampleReverse,
    kWaveRootNote,       kLCDContrast,         kMidiPitchBend,
    kPitchBendRange,     kMidiModulation,      kInputLevel,
    kOutputLevel,        kOutputConfiguration, kTooltipDelay,
    kDisplayFontSize,    kSustainVoices,       ""};

// Every name above once, shared names first: what the plug-in specification has to declare.
inline constexpr std::array<std::string_view, 101> kInstrumentKeys = {kCurrentModule,
                                                                      kImportFilterIndex,
                                                                      kExportFilterIndex,
                                                                      kMasterVolume,
                                                                      kCurrentProgram,
                                                                      kCurrentSample,
                                                                      kCurrentZone,
                                                                      kTapwireChannel,
                                                                      kSampleRootNote,
                                                                      kSampleDetuneCoarse,
                                                                      kSampleDetuneFine,
                                                                      kSampleStart,
                                                                      kSampleEnd,
                                                                      kSampleDisplayStart,
                                                                      kSampleDisplayEnd,
                                                                      kSampleLoopOn,
                                                                      kSampleLoopStart,
                                                                      kSampleLoopEnd,
                                                                      kSampleInvertPhase,
                                                                      kSampleNormalize,
                                                                      kSampleReverse,
                                                                      kWaveRootNote,
                                                                      kLCDContrast,
                                                                      kMidiPitchBend,
                                                                      kPitchBendRange,
                                                                      kMidiModulation,
                                                                      kInputLevel,
                                                                      kOutputLevel,
                                                                      kOutputConfiguration,
                                                                      kTooltipDelay,
                                                                      kDisplayFontSize,
                                                                      kSustainVoices,
                                                                      kMasterTune,
                                                                      kVCAAttack,
                                                                      kVCAPeak,
                                                                      kVCADecay,
                                                                      kVCASustain,
                                                                      kVCARelease,
                                                                      kVelocityVCAAttack,
                                                                      kVelocityVCAPeak,
                                                                      kKeyboardVCADecay,
                                                                      kVelocityVCASustain,
                                                                      kVelocityVCARelease,
                                                                      kVCFAttack,
                                                                      kVCFPeak,
                                                                      kVCFDecay,
                                                                      kVCFSustain,
                                                                      kVCFRelease,
                                                                      kVelocityVCFAttack,
                                                                      kVelocityVCFPeak,
                                                                      kKeyboardVCFDecay,
                                                                      kVelocityVCFSustain,
                                                                      kVelocityVCFRelease,
                                                                      kSampleSliced,
                                                                      kWaveLevel,
                                                                      kWaveCutoff,
                                                                      kWaveOutputVoice,
                                                                      kOscMix,
                                                                      kVelocityOscMix,
                                                                      kOsc2DetuneCents,
                                                                      kVCFCutoff,
                                                                      kVCFResonance,
                                                                      kVCFKeyboardTracking,
                                                                      kResampleFreq,
                                                                      kPreampFilterCutoff,
                                                                      kPreampGain,
                                                                      kPreampMicInput,
                                                                      kEnvelopeBypass,
                                                                      kFilterBypass,
                                                                      kGrungeBypass,
                                                                      kStereoMode,
                                                                      kAnalogCharacter,
                                                                      kLFORate,
                                                                      kLFORatePPQ,
                                                                      kLFOSync,
                                                                      kLFOWaveform,
                                                                      kVCFResponse,
                                                                      kSoloWave,
                                                                      kOscMixMode,
                                                                      kRecordModeArmed,
                                                                      kRecordModeEnabled,
                                                                      kSampleRecordMask,
                                                                      kRecordMode,
                                                                      kWaveMidiChannel,
                                                                      kLFOOSCDepth,
                                                                      kLFOVCADepth,
                                                                      kLFOVCFDepth,
                                                                      kModwheelLFOOSCDepth,
                                                                      kModwheelLFOVCADepth,
                                                                      kModwheelLFOVCFDepth,
                                                                      kSampleUnload,
                                                                      kSoloZone,
                                                                      kLoad,
                                                                      kSave,
                                                                      kKeyboardBalance,
                                                                      kMemoryReset,
                                                                      kResetTuning,
                                                                      kStepParameters,
                                                                      kAnalogRecalibrate,
                                                                      kDisplayBrowser,
                                                                      kDisplayEditor};

} // namespace trov::keys
