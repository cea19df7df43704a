#include "platform/Shell.h"

#include <array>
#include <atomic>
#include <mutex>

namespace trov::platform {

namespace {
std::array<std::atomic<bool>, 256> gKeys{};
std::atomic<CursorShape> gCursor{CursorShape::Arrow};
std::atomic<bool> gQuit{false};
std::mutex gQuitMutex;
std::function<void(int)> gQuitHandler;
} // namespace

void setKeyState(int virtualKey, bool down) {
    if (virtualKey >= 0 && virtualKey < static_cast<int>(gKeys.size()))
        gKeys[static_cast<std::size_t>(virtualKey)].store(down, std::memory_order_relaxed);
}

bool getKeyState(int virtualKey) {
    return virtualKey >= 0 && virtualKey < static_cast<int>(gKeys.size()) &&
           gKeys[static_cast<std::size_t>(virtualKey)].load(std::memory_order_relaxed);
}

void clearKeyStates() {
    for (auto& key : gKeys)
        key.store(false, std::memory_order_relaxed);
}

void setCursorShape(CursorShape shape) {
    gCursor.store(shape, std::memory_order_relaxed);
}

CursorShape getCursorShape() {
    return gCursor.load(std::memory_order_relaxed);
}

void requestQuit(int code) {
    gQuit.store(true, std::memory_order_release);
    std::function<void(int)> handler;
    {
        std::lock_guard guard(gQuitMutex);
        handler = gQuitHandler;
    }
    if (handler)
        handler(code);
}

bool isQuitRequested() {
    return gQuit.load(std::memory_order_acquire);
}

void resetQuitRequest() {
    gQuit.store(false, std::memory_order_release);
}

void setQuitHandler(std::function<void(int)> handler) {
    std::lock_guard guard(gQuitMutex);
    gQuitHandler = std::move(handler);
}

} // namespace trov::platform
