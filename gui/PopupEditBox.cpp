#include "gui/PopupEditBox.h"

#include "framework/ProductIdentity.h"
#include "gui/Canvas.h"
#include "gui/Window.h"
#include "platform/WindowSystem.h"
#include "platform/draw/DrawContext.h"
#include "platform/draw/WindowSurfaces.h"

#include <atomic>

namespace trov {

namespace {

using platform::WindowSystem;
namespace draw = platform::draw;

const char* const kClassName = "Vennikt PopupEditBox";
std::atomic<PopupEditBox*> gActiveBox{nullptr};

} // namespace

PopupEditBox::PopupEditBox(Window* window, const Module* owner) : Radio(owner), window_(window) {
    init();
}

PopupEditBox::~PopupEditBox() {
    destroyBox();
}

void PopupEditBox::init() {
    WindowSystem& windows = WindowSystem::instance();
    if (!windows.isClassRegistered(kClassName))
        windows.registerClass(kClassName, 0);
    WindowSystem::CreateParams box;
    box.className = kClassName;
    box.title = getProductIdentity().getName();
    box.style = WindowSystem::kPopup | WindowSystem::kVisible;
    box.parent = window_ != nullptr ? window_->getHandle() : platform::kNoWindow;
    box.createParam = reinterpret_cast<std::uintptr_t>(this);
    box_ = windows.createWindow(box, [this](const platform::EventLoop::Event& event) {
        WindowSystem& ws = WindowSystem::instance();
        if (event.code == platform::WindowEvent::kCreate) {
            gActiveBox = this;
            ws.setLayeredAlpha(event.window, kAlpha);
            return;
        }
        if (event.code == platform::WindowEvent::kDestroy) {
            PopupEditBox* self = this;
            gActiveBox.compare_exchange_strong(self, nullptr);
            return;
        }
        if (event.code == platform::WindowEvent::kPaint && gActiveBox == this)
            paint();
        ws.defaultProcessing(event);
    });
    if (box_ == platform::kNoWindow)
        return;
    auto child = [this, &windows](const std::string& cls) {
        WindowSystem::CreateParams params;
        params.className = cls;
        params.style = WindowSystem::kChild | WindowSystem::kVisible;
        params.parent = box_;
        return windows.createWindow(params, [](const platform::EventLoop::Event& event) {
            WindowSystem::instance().defaultProcessing(event);
        });
    };
    label_ = child("STATIC");
    field_ = child("EDIT");
    suffix_ = child("STATIC");
}

void PopupEditBox::destroyBox() {
    if (box_ == platform::kNoWindow)
        return;
    draw::detachWindowSurface(box_);
    WindowSystem::instance().destroyWindow(box_);
    box_ = label_ = field_ = suffix_ = platform::kNoWindow;
    surface_.reset();
}

void PopupEditBox::paint() {
    auto context = draw::getWindowContext(box_);
    if (!context)
        return;
    WindowSystem& windows = WindowSystem::instance();
    // A white box with a black frame; the label and suffix sit on white, the field's text to the right.
    context->setPenColor(draw::makeColorRef(0, 0, 0));
    context->setBrushColor(draw::makeColorRef(255, 255, 255));
    context->rectangle(windows.getClientRect(box_));
    context->setTextColor(draw::makeColorRef(0, 0, 0));
    context->setBkMode(draw::BackgroundMode::Transparent);
    context->setFont(draw::FontSpec{"Arial", 12, 400, false, true});
    const struct {
        platform::WindowHandle window;
        unsigned format;
    } texts[] = {{label_, draw::kTextCenter}, {field_, draw::kTextRight}, {suffix_, draw::kTextCenter}};
    for (const auto& text : texts) {
        platform::NativeRect r = windows.getRect(text.window);
        if (r.right > r.left)
            context->drawText(windows.getText(text.window), r, text.format);
    }
}

bool PopupEditBox::edit(const Rect& r, const std::string& label, std::string& value,
                        const std::string& suffix) {
    if (box_ == platform::kNoWindow || field_ == platform::kNoWindow)
        return false;
    WindowSystem& windows = WindowSystem::instance();
    windows.setTextLimit(field_, kLimit);
    windows.setText(label_, label);
    windows.setText(field_, value);
    windows.setText(suffix_, suffix);
    windows.setSelection(field_, 0, -1);

    Canvas canvas(window_, nullptr);
    const int textHeight = canvas.measureText("mX").getHeight();
    // The box sits on the rectangle's bottom edge, as high as a line of text and its frame.
    Rect box = r;
    box.top = r.bottom - textHeight - 2;
    Rect field = box.atOrigin();
    field.inset(0, 1);
    Rect labelRect;
    Rect suffixRect;
    if (!label.empty()) {
        const Rect size = canvas.measureText(label);
        labelRect = Rect(8, 0, size.getWidth(), box.getHeight());
        labelRect.inset(0, 1);
        field.left = labelRect.right + 4;
    }
    if (!suffix.empty()) {
        const Rect size = canvas.measureText(suffix);
        suffixRect = Rect(box.getWidth() - 8 - size.getWidth(), 0, size.getWidth(), box.getHeight());
        suffixRect.inset(0, 1);
        field.right = suffixRect.left - 4;
    }
    windows.setRect(label_, labelRect.toRECT());
    windows.setRect(field_, field.toRECT());
    windows.setRect(suffix_, suffixRect.toRECT());
    const Rect screen = window_ != nullptr ? window_->getClientScreenRect() : Rect();
    windows.setRect(box_, (box + screen.getTopLeft()).toRECT());
    surface_ = draw::Surface::create(std::max(box.getWidth(), 1), std::max(box.getHeight(), 1));
    if (surface_)
        draw::attachWindowSurface(box_, surface_);

    const platform::WindowHandle previousFocus = windows.setFocus(field_);
    if (window_ != nullptr)
        window_->enable(false);
    windows.enable(box_, true);
    windows.enable(field_, true);
    windows.show(box_, true);
    windows.invalidate(box_, nullptr);

    const bool accepted = runLoop();
    if (accepted) {
        const std::string typed = windows.getText(field_);
        value = typed.substr(0, kReadBack);
    }

    windows.show(box_, false);
    destroyBox();
    if (window_ != nullptr)
        window_->enable(true);
    if (windows.isWindow(previousFocus))
        windows.setFocus(previousFocus);
    return accepted;
}

bool PopupEditBox::runLoop() {
    WindowSystem& windows = WindowSystem::instance();
    platform::EventLoop& loop = windows.loop();
    for (;;) {
        if (!windows.isWindow(field_))
            return false;
        if (windows.getFocus() != field_)
            windows.setFocus(field_);
        platform::EventLoop::Event event;
        if (!loop.takeEvent(event))
            return false; // nothing more will come: the entry ends cancelled
        if (event.code == platform::EventLoop::kQuitEvent) {
            // The quit belongs to the loop outside the entry.
            loop.postQuit(static_cast<int>(event.param));
            return false;
        }
        if (windows.isInput(event) && event.code == platform::InputEvent::kKey &&
            (event.param & platform::InputEvent::kPressed) != 0) {
            const auto typed = static_cast<unsigned char>(event.data);
            if (typed == '\r') {
                windows.applyInputState(event);
                return true;
            }
            if (typed == 27) {
                windows.applyInputState(event);
                return false;
            }
        }
        loop.dispatch(event);
        if (windows.getFocus() != field_)
            return false;
    }
}

} // namespace trov
