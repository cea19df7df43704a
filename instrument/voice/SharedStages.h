#pragma once

namespace trov {

class BitcrusherLin;
class BitcrusherLog;
class DACLadder;

// The stages every voice of the process shares: the machine's 8-bit logarithmic crusher, an 8-bit linear
// crusher, and its DAC ladder with one set of bit errors. They hold no state between samples, so every
// voice runs them in turn on the audio thread.
//
// Counted: each plug-in instance and each voice holds a reference (`acquireSharedStages`), the first makes
// them, set up once (crusher amount 0.3, ladder tolerance 0.004), and the last `releaseSharedStages` frees
// them. Acquire and release run on set-up threads (user interface, MIDI); the stages themselves are never
// reconfigured afterwards, so a voice on the audio thread never reads a table being rebuilt.
struct SharedStages {
    BitcrusherLog* logCrusher;
    BitcrusherLin* linCrusher;
    DACLadder* ladder;
};

// The stages with one more reference; never null (throws only when they cannot be made).
const SharedStages& acquireSharedStages();
void releaseSharedStages() noexcept;
// The references held now (0: the stages do not exist).
int sharedStagesReferenceCount() noexcept;

// The plug-in class's names for its reference: made at set-up, given back at tear-down.
inline void createSharedStages() {
    acquireSharedStages();
}
inline void destroySharedStages() noexcept {
    releaseSharedStages();
}

} // namespace trov
