#pragma once

namespace trov {

// Where loop samples learn the host's tempo when a transposition makes them render again. The host
// binding installs one; until then (and in tests without one) loops follow 120 beats per minute.
// Installed on the user-interface thread before samples load; read on the thread that applies settings.
class RexTempoSource {
public:
    static constexpr double kDefaultTempo = 120.0;

    virtual ~RexTempoSource() = default;
    // Beats per minute.
    virtual double getTempo() const = 0;

    // The installed source (not owned); null removes it.
    static void install(const RexTempoSource* source);
    // The installed source's tempo, or kDefaultTempo without one.
    static double currentTempo();
};

} // namespace trov
