#pragma once

#include <cstdint>

namespace trov::platform {

// The events the window system hands to a window's handler (`EventLoop::Event::code`), with what their
// words carry. Points are packed into `data` (`packPoint`); "client" points are relative to the window's
// top-left corner, "screen" points absolute.
namespace WindowEvent {
// param: the creation parameter.
constexpr std::uint32_t kCreate = 0x0201;
constexpr std::uint32_t kDestroy = 0x0202;
// param: the window that lost (kSetFocus) or takes (kKillFocus) the focus.
constexpr std::uint32_t kSetFocus = 0x0203;
constexpr std::uint32_t kKillFocus = 0x0204;
// The window has an update rectangle (`WindowSystem::getUpdateRect`); default processing validates it.
constexpr std::uint32_t kPaint = 0x0205;
// param: the window that takes the capture, or none.
constexpr std::uint32_t kCaptureChanged = 0x0206;
// Once per `WindowSystem::trackMouseLeave`: the pointer left the window.
constexpr std::uint32_t kMouseLeave = 0x0207;
// Mouse: data = client point, param = the `MouseFlags` held.
constexpr std::uint32_t kMouseMove = 0x0210;
constexpr std::uint32_t kLeftDown = 0x0211;
constexpr std::uint32_t kLeftUp = 0x0212;
constexpr std::uint32_t kLeftDoubleClick = 0x0213;
constexpr std::uint32_t kRightDown = 0x0214;
constexpr std::uint32_t kRightUp = 0x0215;
constexpr std::uint32_t kRightDoubleClick = 0x0216;
// data = SCREEN point; param = the `MouseFlags` in the low 16 bits and the signed delta (120 a notch,
// positive away from the user) in the next 16. Default processing passes it to the parent.
constexpr std::uint32_t kMouseWheel = 0x0217;
// Keys, to the focus window: param = the virtual-key code, data = `packKey` (character, modifiers).
// A key that types a character is followed by kChar (param = the character).
constexpr std::uint32_t kKeyDown = 0x0220;
constexpr std::uint32_t kKeyUp = 0x0221;
constexpr std::uint32_t kChar = 0x0222;
// Owner-drawn menu items, to the menu's owner: param = the address of a `MenuItemMeasure` or
// `MenuItemDraw` (platform/draw/NativeMenu.h).
constexpr std::uint32_t kMeasureItem = 0x0230;
constexpr std::uint32_t kDrawItem = 0x0231;
} // namespace WindowEvent

// Raw input, posted by the input driver to the window system's own window and routed when taken from
// the queue (capture, hit test, focus), so that what a handler does to capture and focus steers the input
// that follows it.
namespace InputEvent {
// data = screen point.
constexpr std::uint32_t kMouseMove = 0x0301;
// data = screen point; param = `MouseButton` | kPressed.
constexpr std::uint32_t kButton = 0x0302;
// data = screen point; param = the signed delta.
constexpr std::uint32_t kWheel = 0x0303;
// param = virtual-key code | kPressed; data = the character the press types (0 for none).
constexpr std::uint32_t kKey = 0x0304;
constexpr std::uintptr_t kPressed = 0x10000;
} // namespace InputEvent

enum MouseButton : std::uintptr_t { kLeftButton = 1, kRightButton = 2 };

// Held buttons and keys during a mouse event.
enum MouseFlags : std::uintptr_t {
    kMouseLeft = 0x1,
    kMouseRight = 0x2,
    kMouseShift = 0x4,
    kMouseControl = 0x8,
};

// Modifier keys held during a key press.
enum KeyModifiers : std::uint32_t { kModifierShift = 1, kModifierAlt = 2, kModifierControl = 4 };

// Virtual-key codes (the platform's numbering).
namespace VirtualKey {
constexpr int kLeftButton = 0x01;
constexpr int kRightButton = 0x02;
constexpr int kBack = 0x08;
constexpr int kTab = 0x09;
constexpr int kReturn = 0x0D;
constexpr int kShift = 0x10;
constexpr int kControl = 0x11;
constexpr int kAlt = 0x12;
constexpr int kEscape = 0x1B;
constexpr int kSpace = 0x20;
constexpr int kEnd = 0x23;
constexpr int kHome = 0x24;
constexpr int kLeft = 0x25;
constexpr int kUp = 0x26;
constexpr int kRight = 0x27;
constexpr int kDown = 0x28;
constexpr int kDelete = 0x2E;
} // namespace VirtualKey

struct NativePoint {
    std::int32_t x = 0;
    std::int32_t y = 0;
};

inline std::intptr_t packPoint(std::int32_t x, std::int32_t y) {
    return static_cast<std::intptr_t>((static_cast<std::uint64_t>(static_cast<std::uint32_t>(y)) << 32) |
                                      static_cast<std::uint32_t>(x));
}
inline NativePoint unpackPoint(std::intptr_t data) {
    const auto bits = static_cast<std::uint64_t>(data);
    return {static_cast<std::int32_t>(static_cast<std::uint32_t>(bits)),
            static_cast<std::int32_t>(static_cast<std::uint32_t>(bits >> 32))};
}

inline std::intptr_t packKey(std::uint32_t character, std::uint32_t modifiers) {
    return static_cast<std::intptr_t>((static_cast<std::uint64_t>(modifiers) << 32) | character);
}
inline std::uint32_t keyCharacter(std::intptr_t data) {
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(data));
}
inline std::uint32_t keyModifiers(std::intptr_t data) {
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(data) >> 32);
}

inline std::int32_t wheelDelta(std::uintptr_t param) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(param >> 16));
}

} // namespace trov::platform
