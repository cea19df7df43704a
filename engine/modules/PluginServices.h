#pragma once

namespace trov {

class HostInterface;
class Program;
class ZoneManager;

// What a module asks of the plug-in instance that holds it: the program and zone manager the current
// preset gives the module's index, the host, and the frequency of a key in the current tuning. The plug-in
// instance implements it (a layer above the engine); tests answer with a double. Threads: `getFrequency` is
// asked on the MIDI and audio threads and must neither block nor allocate; the look-ups of program and zone
// manager on any thread.
class PluginServices {
public:
    virtual ~PluginServices() = default;
    // Null when the index is out of range.
    virtual Program* getProgram(int moduleIndex) const = 0;
    // That program's zone manager; null when there is none.
    virtual ZoneManager* getZoneManager(int moduleIndex) const = 0;
    // The host the instance runs in; null while it has none. Rate-dependent blocks tune in to it.
    virtual HostInterface* getHost() const = 0;
    // Hz of the key detuned by cents.
    virtual double getFrequency(int key, double cents) const noexcept = 0;
};

} // namespace trov
