#include "platform/WindowSystem.h"
#include "platform/LastingObjects.h"

#include "platform/Shell.h"

#include <algorithm>
#include <cstdlib>

namespace trov::platform {

namespace {

using Event = EventLoop::Event;

bool isEmpty(const NativeRect& r) {
    return r.left >= r.right || r.top >= r.bottom;
}

NativeRect intersect(const NativeRect& a, const NativeRect& b) {
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
            std::min(a.bottom, b.bottom)};
}

NativeRect unite(const NativeRect& a, const NativeRect& b) {
    if (isEmpty(a))
        return b;
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
            std::max(a.bottom, b.bottom)};
}

bool covers(const NativeRect& outer, const NativeRect& inner) {
    return outer.left <= inner.left && outer.top <= inner.top && outer.right >= inner.right &&
           outer.bottom >= inner.bottom;
}

} // namespace

WindowSystem::WindowSystem(EventLoop& loop) : loop_(loop) {
    classes_["EDIT"] = {};
    classes_["STATIC"] = {};
    inputWindow_ = loop_.createWindow([this](const Event& event) { routeInput(event); });
}

WindowSystem::~WindowSystem() {
    loop_.destroyWindow(inputWindow_);
}

WindowSystem& WindowSystem::instance() {
    // Kept to the end, and closed before the loop it serves, which it makes first.
    static WindowSystem* const system = keepToTheEnd(new WindowSystem(EventLoop::instance()));
    return *system;
}

bool WindowSystem::registerClass(const std::string& name, unsigned classStyle) {
    std::lock_guard guard(mutex_);
    return classes_.emplace(name, ClassInfo{classStyle}).second;
}

bool WindowSystem::unregisterClass(const std::string& name) {
    std::lock_guard guard(mutex_);
    for (const auto& [handle, record] : windows_)
        if (record.className == name)
            return false;
    return classes_.erase(name) != 0;
}

bool WindowSystem::isClassRegistered(const std::string& name) const {
    std::lock_guard guard(mutex_);
    return classes_.count(name) != 0;
}

const WindowSystem::Record* WindowSystem::find(WindowHandle window) const {
    auto it = windows_.find(window);
    return it != windows_.end() ? &it->second : nullptr;
}

WindowHandle WindowSystem::createWindow(const CreateParams& params, EventLoop::Handler handler) {
    const bool child = (params.style & kChild) != 0;
    {
        std::lock_guard guard(mutex_);
        if (classes_.count(params.className) == 0)
            return kNoWindow;
        if (child && find(params.parent) == nullptr)
            return kNoWindow;
    }
    // A paint taken from the queue ends the window's pending paint, whatever its handler does.
    const WindowHandle window = loop_.createWindow([this, handler = std::move(handler)](const Event& event) {
        if (event.code == WindowEvent::kPaint) {
            std::lock_guard guard(mutex_);
            auto it = windows_.find(event.window);
            if (it != windows_.end())
                it->second.paintPending = false;
        }
        if (handler)
            handler(event);
    });
    {
        std::lock_guard guard(mutex_);
        Record& record = windows_[window];
        record.className = params.className;
        record.title = params.title;
        record.style = params.style;
        record.parent = child ? params.parent : kNoWindow;
        record.owner = child ? kNoWindow : params.parent;
        record.rect = params.rect;
        record.order = nextOrder_++;
    }
    send(window, WindowEvent::kCreate, params.createParam, 0);
    return window;
}

void WindowSystem::collectDoomed(WindowHandle window, std::vector<WindowHandle>& doomed) const {
    for (const auto& [handle, record] : windows_)
        if ((record.parent == window || record.owner == window) &&
            std::find(doomed.begin(), doomed.end(), handle) == doomed.end())
            collectDoomed(handle, doomed);
    doomed.push_back(window);
}

void WindowSystem::destroyWindow(WindowHandle window) {
    std::vector<WindowHandle> doomed;
    {
        std::lock_guard guard(mutex_);
        if (find(window) == nullptr)
            return;
        collectDoomed(window, doomed);
    }
    for (WindowHandle handle : doomed)
        send(handle, WindowEvent::kDestroy, 0, 0);
    {
        std::lock_guard guard(mutex_);
        for (WindowHandle handle : doomed) {
            windows_.erase(handle);
            if (focus_ == handle)
                focus_ = kNoWindow;
            if (capture_ == handle)
                capture_ = kNoWindow;
            if (lastPress_.window == handle)
                lastPress_ = {};
        }
    }
    for (WindowHandle handle : doomed)
        loop_.destroyWindow(handle);
}

bool WindowSystem::isWindow(WindowHandle window) const {
    std::lock_guard guard(mutex_);
    return find(window) != nullptr;
}

WindowHandle WindowSystem::getParent(WindowHandle window) const {
    std::lock_guard guard(mutex_);
    const Record* record = find(window);
    return record != nullptr ? record->parent : kNoWindow;
}

WindowHandle WindowSystem::getOwner(WindowHandle window) const {
    std::lock_guard guard(mutex_);
    const Record* record = find(window);
    return record != nullptr ? record->owner : kNoWindow;
}

WindowHandle WindowSystem::getRoot(WindowHandle window) const {
    std::lock_guard guard(mutex_);
    const Record* record = find(window);
    if (record == nullptr)
        return kNoWindow;
    while (record->parent != kNoWindow) {
        window = record->parent;
        record = find(window);
    }
    return window;
}

std::string WindowSystem::getClassName(WindowHandle window) const {
    std::lock_guard guard(mutex_);
    const Record* record = find(window);
    return record != nullptr ? record->className : std::string();
}

std::string WindowSystem::getText(WindowHandle window) const {
    std::lock_guard guard(mutex_);
    const Record* record = find(window);
    return record != nullptr ? record->title : std::string();
}

void WindowSystem::setText(WindowHandle window, const std::string& text) {
    std::lock_guard guard(mutex_);
    if (auto it = windows_.find(window); it != windows_.end()) {
        it->second.title = text;
        it->second.selectionStart = it->second.selectionEnd = text.size();
    }
}

void WindowSystem::setTextLimit(WindowHandle window, std::size_t limit) {
    std::lock_guard guard(mutex_);
    if (auto it = windows_.find(window); it != windows_.end())
        it->second.textLimit = limit;
}

void WindowSystem::setSelection(WindowHandle window, int start, int end) {
    std::lock_guard guard(mutex_);
    auto it = windows_.find(window);
    if (it == windows_.end())
        return;
    Record& record = it->second;
    const std::size_t size = record.title.size();
    const std::size_t from = start < 0 ? size : std::min<std::size_t>(static_cast<std::size_t>(start), size);
    const std::size_t to = end < 0 ? size : std::min<std::size_t>(static_cast<std::size_t>(end), size);
    record.selectionStart = std::min(from, to);
    record.selectionEnd = std::max(from, to);
}

std::pair<std::size_t, std::size_t> WindowSystem::getSelection(WindowHandle window) const {
    std::lock_guard guard(mutex_);
    const Record* record = find(window);
    return record != nullptr ? std::pair{record->selectionStart, record->selectionEnd}
                             : std::pair<std::size_t, std::size_t>{0, 0};
}

void WindowSystem::editKey(WindowHandle window, std::uint32_t code, std::uintptr_t param) {
    std::lock_guard guard(mutex_);
    auto it = windows_.find(window);
    if (it == windows_.end())
        return;
    Record& r = it->second;
    std::string& text = r.title;
    const bool selection = r.selectionStart != r.selectionEnd;
    auto removeSelection = [&r, &text] {
        text.erase(r.selectionStart, r.selectionEnd - r.selectionStart);
        r.selectionEnd = r.selectionStart;
    };
    if (code == WindowEvent::kChar) {
        const auto c = static_cast<unsigned char>(param);
        if (c == '\b') {
            if (selection)
                removeSelection();
            else if (r.selectionStart > 0)
                text.erase(--r.selectionStart, 1);
        } else if (c >= 0x20 && c != 0x7F) {
            if (selection)
                removeSelection();
            // A full field refuses the character.
            if (text.size() >= r.textLimit)
                return;
            text.insert(r.selectionStart, 1, static_cast<char>(c));
            ++r.selectionStart;
        }
        r.selectionEnd = r.selectionStart;
        return;
    }
    std::size_t caret = r.selectionEnd;
    switch (static_cast<int>(param)) {
    case VirtualKey::kLeft:
        caret = selection ? r.selectionStart : (caret > 0 ? caret - 1 : 0);
        break;
    case VirtualKey::kRight:
        caret = selection ? r.selectionEnd : std::min(caret + 1, text.size());
        break;
    case VirtualKey::kHome:
        caret = 0;
        break;
    case VirtualKey::kEnd:
        caret = text.size();
        break;
    case VirtualKey::kDelete:
        if (selection)
            removeSelection();
        else if (caret < text.size())
            text.erase(caret, 1);
        caret = r.selectionStart;
        break;
    default:
        return;
    }
    r.selectionStart = r.selectionEnd = caret;
}

std::uintptr_t WindowSystem::getUserData(WindowHandle window) const {
    std::lock_guard guard(mutex_);
    const Record* record = find(window);
    return record != nullptr ? record->userData : 0;
}

void WindowSystem::setUserData(WindowHandle window, std::uintptr_t data) {
    std::lock_guard guard(mutex_);
    if (auto it = windows_.find(window); it != windows_.end())
        it->second.userData = data;
}

void WindowSystem::setRect(WindowHandle window, const NativeRect& rect) {
    std::lock_guard guard(mutex_);
    if (auto it = windows_.find(window); it != windows_.end())
        it->second.rect = rect;
}

NativeRect WindowSystem::getRect(WindowHandle window) const {
    std::lock_guard guard(mutex_);
    const Record* record = find(window);
    return record != nullptr ? record->rect : NativeRect{};
}

NativePoint WindowSystem::originLocked(WindowHandle window) const {
    NativePoint origin;
    for (const Record* record = find(window); record != nullptr; record = find(record->parent)) {
        origin.x += record->rect.left;
        origin.y += record->rect.top;
    }
    return origin;
}

NativeRect WindowSystem::getScreenRect(WindowHandle window) const {
    std::lock_guard guard(mutex_);
    const Record* record = find(window);
    if (record == nullptr)
        return {};
    const NativePoint origin = originLocked(window);
    return {origin.x, origin.y, origin.x + record->rect.right - record->rect.left,
            origin.y + record->rect.bottom - record->rect.top};
}

NativeRect WindowSystem::getClientRect(WindowHandle window) const {
    std::lock_guard guard(mutex_);
    const Record* record = find(window);
    if (record == nullptr)
        return {};
    return {0, 0, record->rect.right - record->rect.left, record->rect.bottom - record->rect.top};
}

NativePoint WindowSystem::clientToScreen(WindowHandle window, NativePoint p) const {
    std::lock_guard guard(mutex_);
    const NativePoint origin = originLocked(window);
    return {p.x + origin.x, p.y + origin.y};
}

NativePoint WindowSystem::screenToClient(WindowHandle window, NativePoint p) const {
    std::lock_guard guard(mutex_);
    const NativePoint origin = originLocked(window);
    return {p.x - origin.x, p.y - origin.y};
}

bool WindowSystem::containsLocked(WindowHandle window, NativePoint p) const {
    const Record* record = find(window);
    if (record == nullptr)
        return false;
    const NativePoint origin = originLocked(window);
    return p.x >= origin.x && p.y >= origin.y && p.x < origin.x + record->rect.right - record->rect.left &&
           p.y < origin.y + record->rect.bottom - record->rect.top;
}

WindowHandle WindowSystem::hitLocked(WindowHandle window, NativePoint p) const {
    const Record* record = find(window);
    if (record == nullptr || (record->style & kVisible) == 0 || !containsLocked(window, p))
        return kNoWindow;
    std::vector<std::pair<std::uint64_t, WindowHandle>> children;
    for (const auto& [handle, child] : windows_)
        if (child.parent == window)
            children.emplace_back(child.order, handle);
    std::sort(children.rbegin(), children.rend());
    for (const auto& [order, handle] : children)
        if (WindowHandle hit = hitLocked(handle, p); hit != kNoWindow)
            return hit;
    return window;
}

WindowHandle WindowSystem::windowFromPoint(NativePoint p) const {
    std::lock_guard guard(mutex_);
    // Popups lie above the other top-level windows; among each, later windows lie above earlier ones.
    std::vector<std::pair<std::pair<bool, std::uint64_t>, WindowHandle>> tops;
    for (const auto& [handle, record] : windows_)
        if (record.parent == kNoWindow)
            tops.push_back({{(record.style & kPopup) != 0, record.order}, handle});
    std::sort(tops.rbegin(), tops.rend());
    for (const auto& [key, handle] : tops)
        if (WindowHandle hit = hitLocked(handle, p); hit != kNoWindow)
            return hit;
    return kNoWindow;
}

void WindowSystem::show(WindowHandle window, bool visible) {
    bool dropFocus = false;
    {
        std::lock_guard guard(mutex_);
        auto it = windows_.find(window);
        if (it == windows_.end())
            return;
        if (visible)
            it->second.style |= kVisible;
        else
            it->second.style &= ~kVisible;
        if (!visible)
            for (const Record* r = find(focus_); r != nullptr && !dropFocus; r = find(r->parent))
                dropFocus = r == &it->second;
    }
    // A hidden window cannot keep the keyboard.
    if (dropFocus)
        setFocus(kNoWindow);
    checkLeaves();
}

bool WindowSystem::isVisible(WindowHandle window) const {
    std::lock_guard guard(mutex_);
    const Record* record = find(window);
    if (record == nullptr)
        return false;
    for (; record != nullptr; record = find(record->parent))
        if ((record->style & kVisible) == 0)
            return false;
    return true;
}

void WindowSystem::enable(WindowHandle window, bool enabled) {
    std::lock_guard guard(mutex_);
    if (auto it = windows_.find(window); it != windows_.end()) {
        if (enabled)
            it->second.style &= ~kDisabled;
        else
            it->second.style |= kDisabled;
    }
}

bool WindowSystem::isEnabled(WindowHandle window) const {
    std::lock_guard guard(mutex_);
    const Record* record = find(window);
    return record != nullptr && (record->style & kDisabled) == 0;
}

bool WindowSystem::inputEnabledLocked(WindowHandle window) const {
    const Record* record = find(window);
    if (record == nullptr)
        return false;
    for (; record != nullptr; record = find(record->parent))
        if ((record->style & kDisabled) != 0)
            return false;
    return true;
}

void WindowSystem::setLayeredAlpha(WindowHandle window, std::uint8_t alpha) {
    std::lock_guard guard(mutex_);
    if (auto it = windows_.find(window); it != windows_.end())
        it->second.alpha = alpha;
}

int WindowSystem::getLayeredAlpha(WindowHandle window) const {
    std::lock_guard guard(mutex_);
    const Record* record = find(window);
    return record != nullptr ? record->alpha : -1;
}

std::vector<WindowHandle> WindowSystem::getChildren(WindowHandle window) const {
    std::lock_guard guard(mutex_);
    std::vector<std::pair<std::uint64_t, WindowHandle>> children;
    for (const auto& [handle, record] : windows_)
        if (record.parent == window)
            children.emplace_back(record.order, handle);
    std::sort(children.begin(), children.end());
    std::vector<WindowHandle> result;
    for (const auto& [order, handle] : children)
        result.push_back(handle);
    return result;
}

std::vector<WindowHandle> WindowSystem::ownedPopups(WindowHandle window) const {
    std::lock_guard guard(mutex_);
    // The family: the window, its descendants and, transitively, the popups any of them owns.
    std::vector<WindowHandle> family{window};
    std::vector<std::pair<std::uint64_t, WindowHandle>> popups;
    for (bool grown = true; grown;) {
        grown = false;
        for (const auto& [handle, record] : windows_) {
            if (std::find(family.begin(), family.end(), handle) != family.end())
                continue;
            const WindowHandle link = record.parent != kNoWindow ? record.parent : record.owner;
            if (link == kNoWindow || std::find(family.begin(), family.end(), link) == family.end())
                continue;
            family.push_back(handle);
            grown = true;
            if (record.parent == kNoWindow && (record.style & kPopup) != 0 && (record.style & kVisible) != 0)
                popups.emplace_back(record.order, handle);
        }
    }
    std::sort(popups.begin(), popups.end());
    std::vector<WindowHandle> result;
    for (const auto& [order, handle] : popups)
        result.push_back(handle);
    return result;
}

void WindowSystem::send(WindowHandle window, std::uint32_t code, std::uintptr_t param, std::intptr_t data) {
    loop_.dispatch(Event{window, code, param, data, clockNow()});
}

WindowHandle WindowSystem::setFocus(WindowHandle window) {
    WindowHandle old;
    {
        std::lock_guard guard(mutex_);
        if (window != kNoWindow && !inputEnabledLocked(window))
            return kNoWindow;
        old = focus_;
        if (old == window)
            return old;
        focus_ = window;
    }
    if (old != kNoWindow && isWindow(old))
        send(old, WindowEvent::kKillFocus, window, 0);
    if (window != kNoWindow && isWindow(window))
        send(window, WindowEvent::kSetFocus, old, 0);
    return old;
}

WindowHandle WindowSystem::getFocus() const {
    std::lock_guard guard(mutex_);
    return focus_;
}

WindowHandle WindowSystem::setCapture(WindowHandle window) {
    WindowHandle old;
    {
        std::lock_guard guard(mutex_);
        if (find(window) == nullptr)
            return kNoWindow;
        old = capture_;
        capture_ = window;
    }
    if (old != kNoWindow && old != window)
        send(old, WindowEvent::kCaptureChanged, window, 0);
    return old;
}

void WindowSystem::releaseCapture() {
    WindowHandle old;
    {
        std::lock_guard guard(mutex_);
        old = capture_;
        capture_ = kNoWindow;
    }
    if (old == kNoWindow)
        return;
    send(old, WindowEvent::kCaptureChanged, kNoWindow, 0);
    checkLeaves();
}

WindowHandle WindowSystem::getCapture() const {
    std::lock_guard guard(mutex_);
    return capture_;
}

NativePoint WindowSystem::getPointer() const {
    std::lock_guard guard(mutex_);
    return pointer_;
}

void WindowSystem::trackMouseLeave(WindowHandle window) {
    if (!isWindow(window))
        return;
    {
        std::lock_guard guard(mutex_);
        windows_.at(window).trackingLeave = true;
    }
    checkLeaves();
}

void WindowSystem::checkLeaves() {
    std::vector<WindowHandle> left;
    {
        std::lock_guard guard(mutex_);
        const WindowHandle under = windowFromPoint(pointer_);
        for (auto& [handle, record] : windows_) {
            if (!record.trackingLeave || handle == under || handle == capture_)
                continue;
            record.trackingLeave = false;
            left.push_back(handle);
        }
    }
    for (WindowHandle window : left)
        loop_.post(window, WindowEvent::kMouseLeave);
}

void WindowSystem::invalidate(WindowHandle window, const NativeRect* rect) {
    bool post = false;
    {
        std::lock_guard guard(mutex_);
        auto it = windows_.find(window);
        if (it == windows_.end())
            return;
        Record& record = it->second;
        const NativeRect client{0, 0, record.rect.right - record.rect.left,
                                record.rect.bottom - record.rect.top};
        const NativeRect area = rect != nullptr ? intersect(*rect, client) : client;
        if (isEmpty(area))
            return;
        record.update = unite(record.update, area);
        post = !record.paintPending;
        record.paintPending = true;
    }
    if (post)
        loop_.post(window, WindowEvent::kPaint);
}

bool WindowSystem::getUpdateRect(WindowHandle window, NativeRect* rect) const {
    std::lock_guard guard(mutex_);
    const Record* record = find(window);
    if (record == nullptr || isEmpty(record->update))
        return false;
    if (rect != nullptr)
        *rect = record->update;
    return true;
}

void WindowSystem::validate(WindowHandle window, const NativeRect* rect) {
    std::lock_guard guard(mutex_);
    auto it = windows_.find(window);
    if (it == windows_.end())
        return;
    if (rect == nullptr || covers(*rect, it->second.update))
        it->second.update = {};
}

void WindowSystem::defaultProcessing(const Event& event) {
    switch (event.code) {
    case WindowEvent::kChar:
    case WindowEvent::kKeyDown:
        if (getClassName(event.window) == "EDIT")
            editKey(event.window, event.code, event.param);
        break;
    case WindowEvent::kPaint:
        validate(event.window, nullptr);
        break;
    case WindowEvent::kMouseWheel:
        if (WindowHandle parent = getParent(event.window); parent != kNoWindow)
            loop_.dispatch(Event{parent, event.code, event.param, event.data, event.time});
        break;
    default:
        break;
    }
}

std::uintptr_t WindowSystem::mouseFlags() const {
    std::uintptr_t flags = 0;
    if (getKeyState(VirtualKey::kLeftButton))
        flags |= kMouseLeft;
    if (getKeyState(VirtualKey::kRightButton))
        flags |= kMouseRight;
    if (getKeyState(VirtualKey::kShift))
        flags |= kMouseShift;
    if (getKeyState(VirtualKey::kControl))
        flags |= kMouseControl;
    return flags;
}

void WindowSystem::applyInputState(const Event& raw) {
    switch (raw.code) {
    case InputEvent::kMouseMove:
    case InputEvent::kWheel: {
        std::lock_guard guard(mutex_);
        pointer_ = unpackPoint(raw.data);
        break;
    }
    case InputEvent::kButton: {
        {
            std::lock_guard guard(mutex_);
            pointer_ = unpackPoint(raw.data);
        }
        const bool right = (raw.param & 0xFF) == kRightButton;
        setKeyState(right ? VirtualKey::kRightButton : VirtualKey::kLeftButton,
                    (raw.param & InputEvent::kPressed) != 0);
        break;
    }
    case InputEvent::kKey:
        setKeyState(static_cast<int>(raw.param & 0xFFFF), (raw.param & InputEvent::kPressed) != 0);
        break;
    default:
        break;
    }
}

void WindowSystem::routeInput(const Event& raw) {
    if (!isInput(raw))
        return;
    applyInputState(raw);
    if (raw.code == InputEvent::kKey)
        routeKey(raw);
    else
        routeMouse(raw);
}

void WindowSystem::routeMouse(const Event& raw) {
    const NativePoint p = unpackPoint(raw.data);
    const bool press = raw.code == InputEvent::kButton && (raw.param & InputEvent::kPressed) != 0;
    WindowHandle hit;
    WindowHandle capture;
    {
        std::lock_guard guard(mutex_);
        hit = windowFromPoint(p);
        capture = capture_;
    }
    checkLeaves();
    // A press outside the focus window's top-level window activates the one pressed (or none).
    if (press && capture == kNoWindow) {
        const WindowHandle root = getRoot(hit);
        if (root != getRoot(getFocus()) || root == kNoWindow)
            if (setFocus(root) == kNoWindow && getFocus() != root)
                setFocus(kNoWindow);
    }
    const WindowHandle target = capture != kNoWindow ? capture : hit;
    {
        std::lock_guard guard(mutex_);
        if (target == kNoWindow || !inputEnabledLocked(target))
            return;
    }
    const NativePoint client = screenToClient(target, p);
    const std::uintptr_t flags = mouseFlags();
    switch (raw.code) {
    case InputEvent::kMouseMove:
        send(target, WindowEvent::kMouseMove, flags, packPoint(client.x, client.y));
        return;
    case InputEvent::kWheel: {
        const auto delta = static_cast<std::uint16_t>(static_cast<std::int16_t>(raw.param));
        send(target, WindowEvent::kMouseWheel, flags | (std::uintptr_t{delta} << 16), packPoint(p.x, p.y));
        return;
    }
    default:
        break;
    }
    const std::uintptr_t button = raw.param & 0xFF;
    const bool right = button == kRightButton;
    std::uint32_t code = right ? WindowEvent::kRightUp : WindowEvent::kLeftUp;
    if (press) {
        bool doubleClick = false;
        {
            std::lock_guard guard(mutex_);
            const Record* record = find(target);
            const auto cls = classes_.find(record->className);
            const bool wantsDouble = cls != classes_.end() && (cls->second.style & kClassDoubleClicks) != 0;
            doubleClick = wantsDouble && lastPress_.armed && lastPress_.window == target &&
                          lastPress_.button == button &&
                          raw.time - lastPress_.time <= std::chrono::milliseconds(kDoubleClickMs) &&
                          std::abs(p.x - lastPress_.point.x) <= kDoubleClickDistance &&
                          std::abs(p.y - lastPress_.point.y) <= kDoubleClickDistance;
            // A double click uses its first press up; a third press starts a new pair.
            lastPress_ = doubleClick ? LastPress{} : LastPress{target, button, raw.time, p, true};
        }
        if (doubleClick)
            code = right ? WindowEvent::kRightDoubleClick : WindowEvent::kLeftDoubleClick;
        else
            code = right ? WindowEvent::kRightDown : WindowEvent::kLeftDown;
    }
    send(target, code, flags, packPoint(client.x, client.y));
}

void WindowSystem::routeKey(const Event& raw) {
    const WindowHandle target = getFocus();
    {
        std::lock_guard guard(mutex_);
        if (target == kNoWindow || !inputEnabledLocked(target))
            return;
    }
    const auto virtualKey = static_cast<std::uintptr_t>(raw.param & 0xFFFF);
    if ((raw.param & InputEvent::kPressed) == 0) {
        send(target, WindowEvent::kKeyUp, virtualKey, 0);
        return;
    }
    std::uint32_t modifiers = 0;
    if (getKeyState(VirtualKey::kShift))
        modifiers |= kModifierShift;
    if (getKeyState(VirtualKey::kAlt))
        modifiers |= kModifierAlt;
    if (getKeyState(VirtualKey::kControl))
        modifiers |= kModifierControl;
    const auto character = static_cast<std::uint32_t>(raw.data);
    send(target, WindowEvent::kKeyDown, virtualKey, packKey(character, modifiers));
    if (character != 0 && isWindow(target))
        send(target, WindowEvent::kChar, character, 0);
}

} // namespace trov::platform
