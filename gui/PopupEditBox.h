#pragma once

#include "framework/Radio.h"
#include "framework/Rect.h"
#include "platform/WindowHandle.h"

#include <memory>
#include <string>

namespace trov {

class Window;

namespace platform::draw {
class Surface;
}

// Lets the user type a value or a name straight over a control: a small translucent box opens over the
// control's rectangle with an optional label on the left, an edit field and an optional suffix (a unit) on
// the right. Enter accepts, Escape, a click elsewhere or the focus moving away cancels. The entry runs its
// own modal loop over the queued events and answers when it ends; an empty queue ends it cancelled, and a
// quit request it meets cancels it and is posted again for the loop outside.
//
// Each object serves one entry on the user-interface thread: construct it (which builds the box), call
// `edit` once, delete it. Only one box is active in the process at a time.
class PopupEditBox : public Radio {
public:
    static constexpr int kLimit = 64;
    static constexpr std::size_t kReadBack = 256;
    static constexpr std::uint8_t kAlpha = 204;

    PopupEditBox(Window* window, const Module* owner);
    ~PopupEditBox() override;
    void init() override;

    // r in the window's client coordinates; value in and out. True when the user accepted with Enter;
    // otherwise value is left as it was.
    bool edit(const Rect& r, const std::string& label, std::string& value, const std::string& suffix);

    // While an entry runs: the box and its children (tests look at them).
    platform::WindowHandle getBox() const { return box_; }
    platform::WindowHandle getLabel() const { return label_; }
    platform::WindowHandle getField() const { return field_; }
    platform::WindowHandle getSuffix() const { return suffix_; }

private:
    bool runLoop();
    void paint();
    void destroyBox();

    Window* window_;
    platform::WindowHandle box_ = platform::kNoWindow;
    platform::WindowHandle label_ = platform::kNoWindow;
    platform::WindowHandle field_ = platform::kNoWindow;
    platform::WindowHandle suffix_ = platform::kNoWindow;
    std::shared_ptr<platform::draw::Surface> surface_;
};

} // namespace trov
