#pragma once

#include "framework/Radio.h"
#include "framework/Range.h"

#include <map>
#include <mutex>
#include <string>

namespace trov {

class Note;

// A small table of sample names, each with the key and velocity ranges it plays, that finds the sample of
// a note. Made by the product descriptor for a module, owned by its maker.
// Threads: any; one short lock guards the table. Not for the audio thread (names are strings).
class SampleManager : public Radio {
public:
    struct Entry {
        KeyRange keys;
        Range<std::int16_t> velocities;
    };

    explicit SampleManager(const Module* owner = nullptr);

    // Adds or replaces the name's entry.
    virtual void setEntry(const std::string& name, const Entry& entry);
    // {0, 0} for an unknown name.
    virtual KeyRange getKeyRange(const std::string& name) const;
    // False for an unknown name or an invalid range (keys outside 0..127, low above high).
    virtual bool setKeyRange(const std::string& name, const KeyRange& range);
    virtual Range<std::int16_t> getVelocityRange(const std::string& name) const;
    // False for an unknown name.
    virtual bool setVelocityRange(const std::string& name, const Range<std::int16_t>& range);
    // The first name, in name order, whose ranges hold the note's key and velocity; empty when none.
    virtual std::string getSampleForNote(const Note& note) const;

private:
    mutable std::mutex mutex_;
    std::map<std::string, Entry> entries_;
};

} // namespace trov
