#include "framework/System.h"

#include "framework/Logger.h"
#include "framework/NativeWindow.h"
#include "framework/ProductIdentity.h"
#include "platform/Clock.h"
#include "platform/ClockService.h"
#include "platform/Library.h"
#include "platform/Responder.h"
#include "platform/Shell.h"
#include "platform/SystemInfo.h"

#include <cstdio>
#include <ctime>

namespace trov {

namespace {
platform::BoxAnswer ask(const std::string& text, const NativeWindow* owner, platform::BoxKind kind) {
    return platform::responder().messageBox(handleOf(owner), getProductIdentity().getName(), text, kind);
}

std::tm localNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

template <std::size_t N> std::string formatInto(const char* format, va_list args) {
    char buffer[N];
    std::vsnprintf(buffer, N, format, args);
    return buffer;
}
} // namespace

bool initSystem() {
    onNativeException();
    enableLowFragmentationHeap();
    initSSE2Exceptions();
    return true;
}

// Native faults are signals here; they are the crash handler's business, so there is nothing to translate.
void onNativeException() {}

bool enableLowFragmentationHeap() {
    std::string line = "Low-fragmentation heap: ";
    bool enabled = false;
    if (getOSVersion() >= 2) {
        using HeapSetInformation = int (*)(void*, int, void*, unsigned long);
        if (auto* set = reinterpret_cast<HeapSetInformation>(
                getLibraryFunction("Kernel32.dll", "HeapSetInformation"))) {
            unsigned long mode = 2;
            enabled = set(nullptr, 0, &mode, sizeof(mode)) != 0;
            line += enabled ? "enabled" : "not enabled";
        }
    } else {
        line += "not available";
    }
    logLine(4, "%s", line.c_str());
    return enabled;
}

void initSSE2Exceptions() {
    // Every x86-64 processor has SSE2.
    logLine(4, "SSE2 exceptions: disabled");
    platform::enableFlushToZero();
}

int getOSVersion() {
    int major = 0;
    int minor = 0;
    platform::kernelVersion(major, minor);
    logLine(1, "OS version is %d.%d", major, minor);
    return kOSLinux;
}

double getTime() {
    return platform::clockSeconds();
}

void sleep(unsigned milliseconds) {
    platform::sleepMilliseconds(milliseconds);
}

int getProcessorCount() {
    return platform::processorCount();
}

bool isKeyDown(int virtualKey) {
    const bool shift = platform::getKeyState(kKeyShift);
    const bool control = platform::getKeyState(kKeyControl);
    const bool alt = platform::getKeyState(kKeyAlt);
    switch (virtualKey) {
    case kKeyShift:
        return shift && !control && !alt;
    case kKeyControl:
        return control && !shift && !alt;
    case kKeyAlt:
        return alt || (control && shift);
    default:
        return platform::getKeyState(virtualKey);
    }
}

void setCursor(int kind) {
    using platform::CursorShape;
    CursorShape shape = CursorShape::Arrow;
    switch (kind) {
    case 1:
        shape = CursorShape::SizeAll;
        break;
    case 2:
    case 4:
    case 5:
        shape = CursorShape::SizeWestEast;
        break;
    case 3:
    case 6:
    case 7:
        shape = CursorShape::SizeNorthSouth;
        break;
    case 9:
        shape = CursorShape::Hand;
        break;
    case 10:
        shape = CursorShape::Wait;
        break;
    default:
        break;
    }
    platform::setCursorShape(shape);
}

bool showInfoMessage(const std::string& text, const NativeWindow* owner) {
    ask(text, owner, platform::BoxKind::Info);
    return true;
}

bool askOkCancel(const std::string& text, const NativeWindow* owner) {
    return ask(text, owner, platform::BoxKind::OkCancel) == platform::BoxAnswer::Ok;
}

int askYesNoCancel(const std::string& text, const NativeWindow* owner) {
    switch (ask(text, owner, platform::BoxKind::YesNoCancel)) {
    case platform::BoxAnswer::Yes:
        return 0;
    case platform::BoxAnswer::No:
        return 1;
    default:
        return 2;
    }
}

bool showErrorMessage(const std::string& text, const NativeWindow* owner) {
    ask(text, owner, platform::BoxKind::Error);
    return true;
}

std::string timeText() {
    const std::tm now = localNow();
    return format16("%02d:%02d:%02d", now.tm_hour, now.tm_min, now.tm_sec);
}

std::string dateText() {
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const std::tm now = localNow();
    return format128("%s %d %d", months[now.tm_mon % 12], now.tm_mday, now.tm_year + 1900);
}

std::string format16(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = formatInto<16>(format, args);
    va_end(args);
    return text;
}

std::string format128(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = formatInto<128>(format, args);
    va_end(args);
    return text;
}

std::string format256(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = formatInto<256>(format, args);
    va_end(args);
    return text;
}

void* getLibraryFunction(const std::string& library, const std::string& function) {
    return platform::findLibraryFunction(library, function);
}

void openURL(const std::string& text) {
    platform::responder().openUrl(text);
}

void exitWithError(const std::string& message, const Error& error) {
    if (!error.ok())
        logErrorLine(3, error);
    logLine(3, "%s", message.c_str());
    showErrorMessage(message + "\n\n" + getProductIdentity().getName() + " will exit.");
    platform::requestQuit(0);
}

} // namespace trov
