#include "gui/Window.h"

#include "framework/Message.h"
#include "framework/ProductIdentity.h"
#include "platform/EventLoop.h"
#include "platform/Shell.h"
#include "platform/WindowSystem.h"
#include "platform/draw/DrawContext.h"
#include "platform/draw/WindowSurfaces.h"

#include <mutex>

namespace trov {

namespace {

namespace ws = platform;
using platform::WindowSystem;

std::mutex gClassMutex;
int gLiveWindows = 0;

} // namespace

std::string Window::className() {
    const ProductIdentity& product = getProductIdentity();
    return product.getMakerName() + " " + product.getName();
}

int Window::liveCount() {
    std::lock_guard guard(gClassMutex);
    return gLiveWindows;
}

Window::Window(platform::WindowHandle parent, const Rect& bounds, WindowTarget* target)
    : parent_(parent), handle_(platform::kNoWindow), bounds_(bounds), className_(className()) {
    WindowSystem& windows = WindowSystem::instance();
    {
        std::lock_guard guard(gClassMutex);
        if (!windows.isClassRegistered(className_))
            windows.registerClass(className_, WindowSystem::kClassDoubleClicks);
        ++gLiveWindows;
    }
    WindowSystem::CreateParams params;
    params.className = className_;
    params.title = className_;
    params.style = WindowSystem::kVisible | (parent != platform::kNoWindow ? WindowSystem::kChild : 0);
    params.rect = bounds.toRECT();
    params.parent = parent;
    params.createParam = reinterpret_cast<std::uintptr_t>(target);
    handle_ = windows.createWindow(params, [this](const platform::EventLoop::Event& event) {
        handle(event.code, event.param, event.data);
    });
    if (handle_ == platform::kNoWindow)
        return;
    surface_ = platform::draw::Surface::create(bounds.getWidth(), bounds.getHeight());
    if (surface_) {
        platform::draw::attachWindowSurface(handle_, surface_);
        context_ = platform::draw::getWindowContext(handle_);
    }
    windows.show(handle_, true);
    // One leave notice is wanted; the editor renews the request when it needs another.
    trackMouseLeave();
}

void Window::trackMouseLeave() {
    WindowSystem::instance().trackMouseLeave(handle_);
}

Window::~Window() {
    WindowSystem& windows = WindowSystem::instance();
    context_.reset();
    if (handle_ != platform::kNoWindow) {
        platform::draw::detachWindowSurface(handle_);
        windows.destroyWindow(handle_);
    }
    std::lock_guard guard(gClassMutex);
    if (--gLiveWindows == 0)
        windows.unregisterClass(className_);
}

void Window::setTarget(WindowTarget* target) {
    target_ = target;
}

void Window::enable(bool enabled) {
    WindowSystem::instance().enable(handle_, enabled);
}

Rect Window::getClientScreenRect() const {
    if (handle_ == platform::kNoWindow)
        return Rect();
    const platform::NativeRect r = WindowSystem::instance().getScreenRect(handle_);
    return Rect(Point(r.left, r.top), Point(r.right, r.bottom));
}

bool Window::hasFocus() const {
    const platform::WindowHandle focus = WindowSystem::instance().getFocus();
    return focus != platform::kNoWindow && (focus == handle_ || focus == parent_);
}

bool Window::send(std::int32_t code, std::int32_t x, std::int32_t y, std::uintptr_t extra) {
    WindowMessage message(nullptr, code, 0, Point(x, y), extra);
    return target_->receiveWindowMessage(message);
}

void Window::handle(std::uint32_t code, std::uintptr_t param, std::intptr_t data) {
    WindowSystem& windows = WindowSystem::instance();
    const platform::NativePoint p = platform::unpackPoint(data);
    if (code == ws::WindowEvent::kCreate) {
        target_ = reinterpret_cast<WindowTarget*>(param);
        platform::setCursorShape(platform::CursorShape::Arrow);
        return;
    }
    if (code == ws::WindowEvent::kDestroy) {
        target_ = nullptr;
        return;
    }
    const platform::EventLoop::Event event{handle_, code, param, data, {}};
    if (target_ == nullptr) {
        windows.defaultProcessing(event);
        return;
    }
    switch (code) {
    case ws::WindowEvent::kSetFocus:
        send(3007, 0, 0, 0);
        return;
    case ws::WindowEvent::kKillFocus:
    case ws::WindowEvent::kMouseLeave:
        send(3008, 0, 0, 0);
        return;
    case ws::WindowEvent::kPaint: {
        platform::NativeRect update;
        if (!windows.getUpdateRect(handle_, &update)) {
            windows.defaultProcessing(event);
            return;
        }
        target_->addDirtyRect(Rect(Point(update.left, update.top), Point(update.right, update.bottom)));
        windows.validate(handle_, &update);
        return;
    }
    case ws::WindowEvent::kMeasureItem:
        send(3016, 0, 0, param);
        return;
    case ws::WindowEvent::kDrawItem:
        send(3017, 0, 0, param);
        return;
    case platform::EventLoop::kTimerEvent:
        target_->idle();
        return;
    case ws::WindowEvent::kMouseMove:
        send(3006, p.x, p.y, 0);
        return;
    case ws::WindowEvent::kLeftDown:
    case ws::WindowEvent::kLeftDoubleClick:
    case ws::WindowEvent::kRightDown:
    case ws::WindowEvent::kRightDoubleClick: {
        windows.setFocus(handle_);
        windows.setCapture(handle_);
        const bool left = code == ws::WindowEvent::kLeftDown || code == ws::WindowEvent::kLeftDoubleClick;
        const std::int32_t message = code == ws::WindowEvent::kLeftDown          ? 3000
                                     : code == ws::WindowEvent::kLeftDoubleClick ? 3001
                                     : code == ws::WindowEvent::kRightDown       ? 3003
                                                                                 : 3004;
        const platform::WindowHandle self = handle_;
        send(message, p.x, p.y, 0);
        // A modal loop the press started (a menu, text entry, a drag) may have taken the button's release
        // from the queue: the press ends here, as that release would have ended it. (The handler may have
        // closed the editor and this window with it.)
        if (windows.getCapture() == self && windows.isWindow(self) && target_ != nullptr &&
            !platform::getKeyState(left ? ws::VirtualKey::kLeftButton : ws::VirtualKey::kRightButton)) {
            windows.releaseCapture();
            const platform::NativePoint at = windows.screenToClient(handle_, windows.getPointer());
            send(left ? 3002 : 3005, at.x, at.y, 0);
        }
        return;
    }
    case ws::WindowEvent::kLeftUp:
    case ws::WindowEvent::kRightUp:
        windows.releaseCapture();
        send(code == ws::WindowEvent::kLeftUp ? 3002 : 3005, p.x, p.y, 0);
        return;
    case ws::WindowEvent::kMouseWheel: {
        // The event gives a screen point; the editor wants it where the other mouse messages put theirs.
        const platform::NativePoint client = windows.screenToClient(handle_, p);
        const std::int32_t delta = platform::wheelDelta(param);
        send(3011, client.x, client.y, static_cast<std::uintptr_t>(static_cast<std::intptr_t>(delta)));
        windows.defaultProcessing(event);
        return;
    }
    case ws::WindowEvent::kKeyDown: {
        const platform::NativePoint pointer = windows.screenToClient(handle_, windows.getPointer());
        WindowMessage message(nullptr, 3024, 0, static_cast<std::int32_t>(platform::keyCharacter(data)),
                              static_cast<std::int32_t>(param),
                              static_cast<std::int32_t>(platform::keyModifiers(data)), 0);
        message.where = Point(pointer.x, pointer.y);
        target_->receiveWindowMessage(message);
        return;
    }
    case ws::WindowEvent::kCaptureChanged:
    case ws::WindowEvent::kKeyUp:
    case ws::WindowEvent::kChar:
        return;
    default:
        windows.defaultProcessing(event);
        return;
    }
}

} // namespace trov
