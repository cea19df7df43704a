#pragma once

#include <functional>

namespace trov {

class HostInterface;
struct EngineEvent;
class Program;
class ZoneManager;

// What a module asks of the plug-in instance that holds it: the program and zone manager the current
// preset gives the module's index, the host, and the frequency of a key in the current tuning. The plug-in
// instance implements it (a layer above the engine); tests answer with a double. Threads: the frequencies and
// `postEvent` are asked on any thread, the audio thread included, and must neither block nor allocate; the
// look-ups of program and zone manager on any thread. What a look-up returns stays valid only for the block
// or note that asked; a worker that uses a zone manager for longer goes through `withZoneManager`.
class PluginServices {
public:
    virtual ~PluginServices() = default;
    // Null when the index is out of range.
    virtual Program* getProgram(int moduleIndex) const = 0;
    // That program's zone manager; null when there is none.
    virtual ZoneManager* getZoneManager(int moduleIndex) const = 0;
    // Runs the work with that zone manager (null when there is none), which is not freed before the work
    // returns, whatever presets or documents change meanwhile: whoever replaces programs waits for it.
    // For workers, never the audio or MIDI thread; the work must not wait for the user-interface thread.
    virtual void withZoneManager(int moduleIndex, const std::function<void(ZoneManager*)>& work) const = 0;
    // The host the instance runs in; null while it has none. Rate-dependent blocks tune in to it.
    virtual HostInterface* getHost() const = 0;
    // Hz of the key detuned by cents.
    virtual double getFrequency(int key, double cents) const noexcept = 0;
    // The same at the reference pitch, which a master pitch does not move
    // (`FrequencySource::getFrequencyAtReferencePitch`).
    virtual double getFrequencyAtReferencePitch(int key, double cents) const noexcept = 0;
    // Queues an engine's own event (`EngineEvent::own`): the audio thread hands it back to the engine's
    // `applyEvent` at the start of the next block, in arrival order with the notes. False when the queue is
    // full (the event is not queued).
    virtual bool postEvent(const EngineEvent& event) noexcept = 0;
};

} // namespace trov
