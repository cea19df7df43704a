#pragma once

#include <functional>
#include <string>

namespace trov::platform {

// Where the platform layer reports what it cannot show (a headless question, a failed timer). The
// framework's log installs itself here; without a sink, reports go to standard error.
using DiagnosticSink = std::function<void(int level, const std::string& text)>;
void setDiagnosticSink(DiagnosticSink sink);
void report(int level, const std::string& text);

// The debugger output stand-in: standard error.
void debugOutput(const std::string& text);

} // namespace trov::platform
