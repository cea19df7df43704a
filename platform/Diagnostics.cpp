#include "platform/Diagnostics.h"

#include <cstdio>
#include <mutex>

namespace trov::platform {

namespace {
std::mutex gSinkMutex;
DiagnosticSink gSink;
} // namespace

void setDiagnosticSink(DiagnosticSink sink) {
    std::lock_guard guard(gSinkMutex);
    gSink = std::move(sink);
}

void report(int level, const std::string& text) {
    DiagnosticSink sink;
    {
        std::lock_guard guard(gSinkMutex);
        sink = gSink;
    }
    if (sink)
        sink(level, text);
    else
        debugOutput(text + "\n");
}

void debugOutput(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

} // namespace trov::platform
