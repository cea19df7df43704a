#pragma once

namespace trov {

// The measured and modelled curves of the emulated machine, as functions of a control position. They are
// sampled into the instrument's tables at load (InstrumentGlobals.h); the audio thread reads the tables,
// never these. Any thread; pure functions.

// Bounds of the cutoff display in hertz, and the log2 bounds the cutoff curve spans (the upper one a
// little past the display, as the machine's panel does).
inline constexpr float kCutoffDisplayMin = 5.0f;
inline constexpr float kCutoffDisplayMax = 20000.0f;
double ostrelCutoffLog2Min() noexcept;
double ostrelCutoffLog2Max() noexcept;

// LFO rate in hertz of a rate control position 0..1: one of 36 measured periods.
float ostrelLFORate(float position) noexcept;
// The ladder's stage coefficient of a cutoff position: 3.6 f - 1.6 f^2 - 1 with f = 2 fc / 44100 and fc
// spread exponentially between the log2 bounds.
float ostrelCutoffCoefficient(float position) noexcept;
// The same at another host rate: the coefficient whose ladder (four equal stages, no resonance) is 3 dB
// down at the same frequency in hertz as the 44.1 kHz curve's, so that a position sounds alike at every
// rate. Past position 1 the curve holds (at 44.1 kHz it turns back there); below 44.1 kHz the corner
// stops where the stages would grow steeper than the machine's top.
float ostrelCutoffCoefficientAt(float position, int sampleRate) noexcept;
// The feedback scale of a stage coefficient: e^((1 - x) * 1.386249).
float ostrelResonanceScale(float x) noexcept;
// The soft clip of the ladder's fourth stage: x - (2/3) x^3 within -1..1, approaching +-1 outside.
double ostrelLadderClip(double x) noexcept;

// The envelope controls 0..1 to times in milliseconds and levels in thousandths: 32 measured values
// each, the nearest one to the position.
float ostrelAttackTime(float position) noexcept;
float ostrelPeakLevel(float position) noexcept;
float ostrelDecayTime(float position) noexcept;
float ostrelSustainLevel(float position) noexcept;
float ostrelReleaseTime(float position) noexcept;

} // namespace trov
