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
// them. The ladder's bit errors are drawn by the first voice that starts (`drawSharedStages`), as they
// were when voices were made at their first note: voices are made ahead, and the process-wide generator's
// sequence stays the same. Acquire and release run on set-up threads (user interface); the stages are
// never reconfigured afterwards, and a voice that starts while another draws waits for the draw, so no
// voice reads a table being rebuilt.
struct SharedStages {
    BitcrusherLog* logCrusher;
    BitcrusherLin* linCrusher;
    DACLadder* ladder;
};

// The stages with one more reference; never null (throws only when they cannot be made).
const SharedStages& acquireSharedStages();
void releaseSharedStages() noexcept;
// Draws the ladder's bit errors, the first time after the stages were made (later calls wait for that
// draw, then do nothing). Audio thread: no allocation, no lock.
void drawSharedStages() noexcept;
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
