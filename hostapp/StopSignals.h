#pragma once

#include <string>

namespace corvale::hostapp {

// The signals that ask the program to stop (SIGINT, SIGTERM, SIGHUP), caught while a command runs so that
// it can finish the file it writes and remove its scratch store: the first one only records which it was
// (a render stops at its next block, check after the check it is running); a second one ends the program
// at once, as the signal would by default, unless it comes within a second of the first: then it is the same
// request delivered twice (`timeout` signals the program, then its process group). A signal the program was
// started to ignore stays
// ignored. One at a time, made by main on its thread; the previous handling is put back when it goes.
class StopSignals {
public:
    StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;
    ~StopSignals();

    // The signal caught so far; 0 when none. Any thread.
    static int caught();
    // The exit status for a run a signal stopped: 128 and its number, as a shell reports it.
    static int exitStatus(int signal) { return 128 + signal; }
    // "SIGINT", "SIGTERM" or "SIGHUP".
    static std::string name(int signal);
};

} // namespace corvale::hostapp
