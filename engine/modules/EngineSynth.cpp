#include "engine/modules/EngineSynth.h"

#include "engine/notes/Note.h"

namespace trov {

EngineSynth::EngineSynth(Module* module)
    : Engine(module), voicePool_(module), output_(std::make_unique<IOPinStereo>()), mixer_(module) {
    voicePool_.reset();
}

EngineSynth::~EngineSynth() {
    output_.reset();
}

void EngineSynth::init() {
    voicePool_.init();
}

bool EngineSynth::receive(const Message& /*message*/) {
    return false;
}

void EngineSynth::reset() {
    voicePool_.reset();
}

void EngineSynth::setBlockSize(std::int32_t frames) {
    Engine::setBlockSize(frames);
    output_->setSize(frames);
}

void EngineSynth::handleEvent(const Note& note) noexcept {
    if (note.getType() == Note::kNoteOn)
        voicePool_.noteOn(note);
    else if (note.getType() == Note::kNoteOff)
        voicePool_.noteOff(note, false);
    Engine::handleEvent(note);
}

void EngineSynth::process(IOPinConfig& /*inputs*/, IOPinConfig& /*outputs*/,
                          std::int32_t /*frames*/) noexcept {}

int EngineSynth::getActiveVoiceCount() const {
    return voicePool_.getActiveVoiceCount();
}

} // namespace trov
