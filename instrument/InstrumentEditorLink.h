#pragma once

namespace trov {

class Module;

// The instrument's open editor as its audio processing sees it: where each block's input peak goes (the
// editor's input meter) and which module the editor shows (the only one processed while "SoloZone" is
// on). The editor attaches itself to its instrument while it is open (`Corvale::attachEditorLink`) and
// detaches before it closes or goes; detaching waits for a block in flight, so a block never reaches an
// editor that is gone.
//
// Threads: both operations on the audio thread: noexcept, no allocation, no lock.
class InstrumentEditorLink {
public:
    virtual void setInputLevel(float level) noexcept = 0;
    virtual const Module* getShownModule() const noexcept = 0;

protected:
    ~InstrumentEditorLink() = default;
};

} // namespace trov
