#pragma once

#include "framework/Dictionary.h"
#include "framework/Radio.h"

#include <atomic>
#include <set>
#include <string>

namespace trov {

class ZoneManager;

// What one module plays: the stored values of its module-scope parameters (the child "parameters" of its
// values) and its zones, held by a zone manager the product descriptor makes. A preset owns one program
// per module; the program's owner is the module it plays, whose settings it loads and stores.
//
// Threads: the user-interface thread; a preset switch from a MIDI controller activates and deactivates
// programs on the MIDI thread. The values are guarded by the program's station lock. Note dispatch reaches
// the zone manager only through the instance, which never frees a program that a note or block may still use.
class Program : public Radio {
public:
    explicit Program(const Module* owner);
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;
    ~Program() override;

    // Stores the owner's current module-scope values.
    void init() override;
    // Lets the zone manager go.
    void exit() override;
    // A parameter message stores the named parameter's current value.
    bool receive(const Message& message) override;

    // The owner's module- and zone-scope parameters to their defaults, then the stored values, then the
    // zones; the engine prepares them for the host.
    virtual void activate();
    // Stores the live values first: what was edited while the program played is there when it comes back.
    virtual void deactivate();
    // While the program plays (activated, not read since): the owner's module-scope values become the
    // stored ones, and its zone-scope values the current zone's.
    void storeLiveValues();
    // Removes every zone; the stored values stay.
    virtual void clear();
    // No zone, or no zone with a sample.
    virtual bool isEmpty() const;
    // The sample names of the zones, none empty.
    virtual void getSampleIds(std::set<std::string>& ids) const;
    // The stored values' "parameters", then the zones.
    virtual bool write(Dictionary& dictionary) const;
    // Replaces values and zones; the values reach the parameters at the next activation, and the
    // parameters' values of now are no longer this program's.
    virtual bool read(const Dictionary& dictionary);

    // Null after `exit`.
    ZoneManager* getZoneManager() const { return zoneManager_; }
    // A copy of the stored values.
    Dictionary getValues() const;

private:
    Dictionary values_;
    ZoneManager* zoneManager_;
    // The owner's parameters hold this program's values (from activation to deactivation or a read).
    std::atomic<bool> live_{false};
};

} // namespace trov
