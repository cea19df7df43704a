#include "engine/voices/Voice.h"

#include "engine/io/IOPin.h"
#include "engine/modules/Module.h"

namespace trov {

Voice::Voice(const Module* owner, int slot, const Note& note)
    : Radio(owner), slot_(slot), note_(static_cast<const FrequencySource*>(owner), note) {}

Voice::~Voice() = default;

void Voice::noteOn(const Note& note) noexcept {
    note_ = note;
    setState(kPlaying);
}

void Voice::changeNote(const Note& note) noexcept {
    note_ = note;
}

bool Voice::render(const IOPin* /*input*/, IOPin& output) noexcept {
    output.setValidFrames(0);
    return false;
}

void Voice::noteOff(const Note& /*note*/, bool /*immediate*/) noexcept {
    setState(kFree);
}

} // namespace trov
