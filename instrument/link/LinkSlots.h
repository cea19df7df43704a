#pragma once

#include <string>
#include <vector>

namespace trov {

// One link slot that has a sender attached, as the record-source menu lists it.
struct LinkSlot {
    int slot = 0;        // 0..31
    std::string name;    // the sender's name, at most 32 bytes
    bool recent = false; // the sender wrote within the last 10 seconds
    bool taken = false;  // a reader is attached
};

// The slots with an attached sender, in slot order: a snapshot of the moment of the call, read without a
// lock from blocks other processes write. A slot whose sender goes between the probe and the reading of
// its name is left out. User-interface thread (it maps each slot in turn).
std::vector<LinkSlot> listLinkSlots();

} // namespace trov
