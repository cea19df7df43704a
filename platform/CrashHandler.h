#pragma once

#include <string>

namespace trov::platform {

// The process's crash handler for SIGSEGV, SIGBUS, SIGILL and SIGFPE. On a crash it writes a text dump
// (the exception's name, signal, code, fault address, registers, a frame-pointer backtrace and the memory
// map) to the dump path, using only async-signal-safe calls: the file behind it is opened beforehand
// under the dump path plus ".new" and renamed when the crash is written, so an earlier dump stays until a
// new crash replaces it. Then the previous handlers come back and the signal goes on to them.
//
// The handler runs on an alternate signal stack when the installing thread has none of its own, so a
// stack overflow on that thread can still be written; other threads crash on their own stacks.
// Install and remove from one thread (start-up and unload).

// Installs the handler; gives 0, or the error number when the dump file could not be opened (the handler
// is then installed anyway and reports the failure on standard error when a crash comes).
int installCrashHandler(const std::string& dumpPath);
// Restores the previous handlers and deletes the unused file. Nothing happens when none is installed.
void removeCrashHandler();
bool isCrashHandlerInstalled();

// The name of a fault from its signal and code ("Access violation", "INT divide by zero", ...);
// nearStackPointer marks a segmentation fault next to the stack pointer, a stack overflow.
const char* exceptionName(int signal, int code, bool nearStackPointer);

} // namespace trov::platform
