#pragma once

#include "engine/io/IOChannel.h"
#include "framework/Radio.h"

#include <cstdint>

namespace trov {

class IOPinConfig;
class Note;
struct EngineEvent;

// Renders the audio of one module. The module makes its engine through the product descriptor in its
// `init`, forwards `process`, `reset` and `query` to it and owns it; the engine's owner (as a station) is
// that module. Every note the engine handles is broadcast to its listeners (the editor's keyboards) as a
// MIDI message, code 0 for a note-on and 1 otherwise, the extra word pointing at the note.
// Threads: `handleEvent`, `applyEvent` and `process` on the audio thread (the instance applies the notes
// and events queued for a block at its start); all are real-time paths. Set-up (`setBlockSize`, `reset`)
// on the user-interface thread. Listeners are called during `handleEvent` under the engine's lock and must
// not allocate or block.
class Engine : public Radio {
public:
    explicit Engine(Module* module);
    ~Engine() override;

    // Stops everything that sounds.
    virtual void reset();
    // Called by the instance before its programs go, with no block or note under way: an engine ends
    // here any thread of its own that reads them.
    virtual void endWorkers() {}
    // The module's program was made current (a preset switch, a bank or patch read): an engine that
    // prepares the zones for the host (loops for its tempo) does so for the new program. User-interface
    // or MIDI thread.
    virtual void programActivated() {}
    // Frames per host block, given before processing starts.
    virtual void setBlockSize(std::int32_t frames);
    // The engine's value for the host binding.
    virtual int query() const;
    virtual void handleEvent(const Note& note) noexcept;
    // An event this engine posted through its module (`Module::postEvent`), at the start of a block.
    virtual void applyEvent(const EngineEvent& /*event*/) noexcept {}
    virtual void process(IOPinConfig& inputs, IOPinConfig& outputs, std::int32_t frames) noexcept = 0;
    // The channel that carries the engine's modulation signal for the block; null without one.
    virtual IOChannel<float>* getModulationBuffer(int index);
    virtual float getParameterValue(int index) const;
    virtual void setModulation(float value);

    std::int32_t getBlockSize() const { return blockSize_; }
    Module* getModule() const { return module_; }

protected:
    // Broadcasts the note to the listeners without playing it: what `handleEvent` does here.
    void announceNote(const Note& note) noexcept;

private:
    Module* module_;
    std::int32_t blockSize_ = 0;
};

} // namespace trov
