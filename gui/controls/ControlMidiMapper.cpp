#include "gui/controls/ControlMidiMapper.h"

namespace trov {

template class MidiMapper<ControlValue*>;

} // namespace trov
