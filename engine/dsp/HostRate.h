#pragma once

namespace trov {

class Message;
class Radio;

// Rate-dependent blocks (oscillators, effects) take their host's sample rate when built and follow its
// changes: they listen to the host interface of their owner module's plug-in, which broadcasts system
// message 3004 with the new rate.

// Tunes the station in to its owner's host and returns the host's rate; 44100 without owner or host.
int tuneInToHostRate(Radio& station);
// The rate a sample-rate message carries; 0 for any other message.
int sampleRateOf(const Message& message) noexcept;

} // namespace trov
