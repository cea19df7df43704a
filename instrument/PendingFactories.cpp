// Factories of classes not written yet. Each definition leaves this file when the class it names arrives
// with its own.
#include "instrument/ProductFactories.h"

#include "plugin/ParameterManager.h"

namespace trov {

Module* createOstrelModule(Plugin* /*plugin*/, Settings& /*settings*/) {
    return nullptr;
}

Engine* createOstrelEngine(Module* /*module*/) {
    return nullptr;
}

Voice* createOstrelVoice(const Module* /*owner*/, int /*slot*/, const Note& /*note*/) {
    return nullptr;
}

ParameterManager* createOstrelParameters(const Module* owner) {
    return new ParameterManager(owner);
}

} // namespace trov
