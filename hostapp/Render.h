#pragma once

#include "hostapp/Options.h"

#include <ostream>

namespace corvale::hostapp {

// Seconds of music a render accepts (longer files are refused before anything is rendered).
constexpr double kMaxRenderSeconds = 4.0 * 3600.0;

// The render command: the MIDI file through the module into the WAV file. Returns the exit status (0 on
// success, 1 with one line on err for a bad MIDI file, an input that is not a regular file, an output that
// must not be written over, a module that does not load or start, a refused file or an unwritable output;
// 1 too, the file written, for output that is not a number; 128 and the signal's number when StopSignals
// caught one, with the file finished as far as it was rendered and one line on err saying where). The
// progress line goes to err when it is a terminal, the summary to out, both naming the module's start-up
// seed; a render whose output is entirely silent says why on err and still succeeds. The user-interface
// thread.
int runRender(const Options& options, std::ostream& out, std::ostream& err);

} // namespace corvale::hostapp
