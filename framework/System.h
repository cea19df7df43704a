#pragma once

#include "framework/Error.h"

#include <cstdarg>
#include <string>

namespace trov {

class NativeWindow;

// Process set-up, clock, user questions, texts and look-ups. Any thread unless noted.

// Start-up: installs the native-exception handler, the heap mode and the floating-point mode.
bool initSystem();
void onNativeException();
bool enableLowFragmentationHeap();
// Sets flush-to-zero and denormals-are-zero for the calling thread.
void initSSE2Exceptions();
// Operating-system codes of the system report: 0 NT4, 1 2000, 2 XP, 3 XP/64, 4 Vista, 5-7 Mac OS X 10.3-10.5,
// 8 Linux. Logs the kernel's version numbers; this platform always reports kOSLinux.
constexpr int kOSLinux = 8;
int getOSVersion();

// Seconds on the installed platform clock: the monotonic clock, or a test's manual clock.
double getTime();
void sleep(unsigned milliseconds);
int getProcessorCount();

// Virtual key codes the modifier rules know.
constexpr int kKeyShift = 16;
constexpr int kKeyControl = 17;
constexpr int kKeyAlt = 18;
bool isKeyDown(int virtualKey);
void setCursor(int kind);

// Task-modal message boxes captioned with the product name.
bool showInfoMessage(const std::string& text, const NativeWindow* owner = nullptr);
bool askOkCancel(const std::string& text, const NativeWindow* owner = nullptr);
// 0 yes, 1 no, 2 cancel or closed.
int askYesNoCancel(const std::string& text, const NativeWindow* owner = nullptr);
bool showErrorMessage(const std::string& text, const NativeWindow* owner = nullptr);

// "hh:mm:ss" and "Mon d yyyy" of the local time.
std::string timeText();
std::string dateText();
// Bounded formatting into 16-, 128- and 256-character buffers.
std::string format16(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string format128(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string format256(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The function of a shared library, or null when the library or the function is missing.
void* getLibraryFunction(const std::string& library, const std::string& function);
void openURL(const std::string& text);
// Model name, " @ ", the clock in whole MHz and "MHz".
std::string getCPUDescription();

// Logs the error (unless it is `ok`) and the message, shows the message with the product name and
// " will exit.", and asks the host's message loop to quit. Returns to its caller, which stops what it did.
void exitWithError(const std::string& message, const Error& error);

} // namespace trov
