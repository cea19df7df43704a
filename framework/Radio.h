#pragma once

#include "framework/CriticalSection.h"
#include "framework/Error.h"
#include "framework/Message.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace trov {

class EditorInterface;
class Module;
class Plugin;
class Resources;
class Settings;

// A station of the synchronous message bus and the base of nearly every framework object. A broadcast
// calls each listener's `receive` on the sender's thread, in ascending address order, under the sender's
// (recursive) lock; a listener may broadcast in turn, so locks nest along a chain.
//
// Safe during a broadcast: listeners may tune in or out of the broadcasting station (also from inside their
// own `receive`); a listener that left is not called again, one that joined is called from the next
// broadcast on. A station remembers the stations it listens to and tunes out of them when it is destroyed,
// so a destroyed listener is never left in another station's set.
class Radio {
public:
    explicit Radio(const Module* owner = nullptr);
    Radio(const Radio& other);
    Radio& operator=(const Radio&) = delete;
    virtual ~Radio();

    virtual void init() {}
    virtual void exit() {}
    virtual Plugin* getPlugin() const;
    virtual EditorInterface* getEditor() const;
    // The module the open editor of the station's plug-in edits (null without one), asked through the
    // environment so that it is safe on any thread while the editor may be closing.
    const Module* getEditedModule() const;
    virtual const Module* getOwner() const { return owner_.load(std::memory_order_acquire); }
    virtual void setOwner(const Module* owner);
    virtual void tuneIn(const std::string& name);
    virtual void tuneInTo(Radio* station);
    virtual bool receive(const Message& message);
    virtual void listenerAdded(Radio* /*listener*/) {}
    virtual void listenerRemoved(Radio* /*listener*/) {}

    Error broadcast(const Message& message);
    Error addListener(Radio* listener);
    Error removeListener(Radio* listener);
    Error tuneOutOf(Radio* station);
    // Tunes out of every station this one listens to, as its destruction does. A broadcast of one of them
    // in flight on another thread has ended when it returns (leaving waits for the sender's lock), so an
    // owner about to destroy the station can silence it first, before any part of it is gone.
    void tuneOutOfAll();
    Error tuneOut(const std::string& name) const;
    bool hasListener(Radio* station);
    std::size_t getListenerCount();
    Settings* getSettings() const;
    Resources* getResources() const;
    // The names subscribed with `tuneIn`.
    std::set<std::string> getTunedNames() const;

protected:
    CriticalSection& getLock() const { return lock_; }

private:
    struct Entry {
        Radio* station;
        std::uint64_t serial; // when it joined; a broadcast skips listeners newer than itself
    };

    void noteSource(Radio* source);
    void forgetSource(Radio* source);
    std::vector<Entry>::iterator findEntry(Radio* station);

    // Changed on the user-interface thread (an editor following its layer) while broadcasts on other
    // threads ask for it.
    std::atomic<const Module*> owner_;
    mutable CriticalSection lock_;
    std::vector<Entry> listeners_; // sorted by address
    std::uint64_t nextSerial_ = 1;
    std::uint64_t changes_ = 0;
    mutable std::set<std::string> names_;

    // Stations this one listens to; a leaf lock, never held while calling out.
    mutable std::mutex sourcesMutex_;
    std::vector<Radio*> sources_;
};

} // namespace trov
