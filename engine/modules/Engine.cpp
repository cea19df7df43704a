#include "engine/modules/Engine.h"

#include "engine/modules/Module.h"
#include "engine/notes/Note.h"
#include "framework/Message.h"

namespace trov {

Engine::Engine(Module* module) : Radio(module), module_(module) {}

Engine::~Engine() = default;

void Engine::reset() {}

void Engine::setBlockSize(std::int32_t frames) {
    blockSize_ = frames;
}

int Engine::query() const {
    return 0;
}

void Engine::handleEvent(const Note& note) noexcept {
    announceNote(note);
}

void Engine::announceNote(const Note& note) noexcept {
    const MidiMessage message(this, note.getType() == Note::kNoteOn ? Code::kNoteOn : Code::kNoteOff, &note);
    broadcast(message);
}

IOChannel<float>* Engine::getModulationBuffer(int /*index*/) {
    return nullptr;
}

float Engine::getParameterValue(int /*index*/) const {
    return 0.0f;
}

void Engine::setModulation(float /*value*/) {}

} // namespace trov
