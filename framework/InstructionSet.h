#pragma once

namespace trov {

namespace platform {
class CpuIdSource;
}

// The instruction-set level of the running processor: 0 none usable, 1 MMX, 2 conditional moves,
// 3 SSE (with FXSAVE), 4 SSE2, 5 SSE3. Levels 3 and up need the system to keep the vector registers,
// else the level is 2. Measured once and kept; any thread.
int instructionSet();
// The level of the processor a source describes, measured afresh.
int instructionSet(const platform::CpuIdSource& source);

} // namespace trov
