#include "framework/WindowTimer.h"

#include "framework/NativeWindow.h"
#include "platform/EventLoop.h"

namespace trov {

WindowTimer::WindowTimer(const NativeWindow* window, unsigned periodMs)
    : window_(handleOf(window)), id_(platform::EventLoop::instance().setTimer(window_, kTimerId, periodMs)) {}

WindowTimer::~WindowTimer() {
    if (id_ != 0)
        platform::EventLoop::instance().killTimer(window_, id_);
}

} // namespace trov
