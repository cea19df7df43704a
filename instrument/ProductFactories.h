#pragma once

namespace trov {

class Engine;
class HostInterface;
class Module;
class Note;
class ParameterManager;
class Plugin;
class Program;
class Settings;
class Voice;
class ZoneManager;

// The factories of the instrument's own classes, one per class, each defined in the source file of the
// class it makes; the descriptor's factories answer through them.
Plugin* createCorvale(HostInterface* host, int tag);
Module* createOstrelModule(Plugin* plugin, Settings& settings);
Engine* createOstrelEngine(Module* module);
Voice* createOstrelVoice(const Module* owner, int slot, const Note& note);
ParameterManager* createOstrelParameters(const Module* owner);
ZoneManager* createCorvaleZoneManager(Program* program);

} // namespace trov
