#pragma once

#include "engine/zones/ZoneManager.h"

#include <atomic>
#include <cstddef>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace trov {

class Dictionary;
class Plugin;
class Program;

// One entry of an instance's bank: a random identifier, a name and one program per module, in module
// order. Made by the instance (copies of one prototype get identifiers of their own), activated when it
// becomes current, written into and read from bank and patch documents.
//
// Threads: the user-interface thread changes presets (a MIDI controller may switch them). The program
// list is published by pointer: `getProgram` reads it without a lock from any thread, while remaking or
// clearing the programs swaps in a new list under the instance's lock and frees the old one only once no
// note or block can still use it.
class Preset {
public:
    explicit Preset(Plugin* owner);
    // Same owner and name, a new identifier, no programs.
    Preset(const Preset& other);
    Preset& operator=(const Preset&) = delete;
    virtual ~Preset();

    // 8 groups of 4 lower-case hexadecimal digits joined by "-".
    static std::string createId();

    // Replaces the programs by new ones, one per module of the owner, each storing its module's values.
    void createPrograms();
    void clearPrograms();
    // Null when out of range. Any thread.
    Program* getProgram(int index) const noexcept;
    int getProgramCount() const noexcept;
    void activate();
    // Every program stores its live values first.
    void deactivate();
    // The programs of the playing preset take the values the modules hold now.
    void storeLiveValues();
    // Lets every program's zones go (the instance stops).
    void exitPrograms();
    // No program holds a zone with a sample.
    bool isEmpty() const;
    void getSampleIds(std::set<std::string>& ids) const;

    Plugin* getOwner() const { return owner_; }
    std::string getId() const { return id_; }
    std::string getName() const { return name_; }
    void setName(const std::string& name) { name_ = name; }

    // "id", "name", then "modules" with one "module" per program.
    bool write(Dictionary& dictionary) const;
    // Identifier and name from the document; programs without a "module" item lose their zones.
    bool read(const Dictionary& dictionary);
    // How many zones read would make of the document, counted without reading it.
    ZoneManager::ZoneCount countZones(const Dictionary& dictionary) const;

private:
    using ProgramList = std::vector<std::unique_ptr<Program>>;

    // Publishes the list (null for none) and frees the old one once no reader can hold it.
    void exchangePrograms(ProgramList* programs);

    Plugin* owner_;
    std::string id_;
    std::string name_;
    std::atomic<ProgramList*> programs_{nullptr}; // owned
};

} // namespace trov
