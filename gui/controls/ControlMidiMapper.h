#pragma once

#include "plugin/MidiMapper.h"

namespace trov {

class ControlValue;

// The editor's controller mapper: MIDI controllers paired one to one with value controls (the "midi" keys
// of the editor specification), whose values the controllers then set. Owned by the editor, owned as a
// station by the editor's module; threads as `MidiMapper`.
using ControlMidiMapper = MidiMapper<ControlValue*>;

extern template class MidiMapper<ControlValue*>;

} // namespace trov
