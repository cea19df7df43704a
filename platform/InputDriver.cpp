#include "platform/InputDriver.h"

#include <cctype>
#include <cstring>

namespace trov::platform {

void InputDriver::post(std::uint32_t code, std::uintptr_t param, NativePoint p) {
    windows_.loop().post(windows_.inputWindow(), code, param, packPoint(p.x, p.y));
}

void InputDriver::move(NativePoint p) {
    post(InputEvent::kMouseMove, 0, p);
}

void InputDriver::press(NativePoint p, MouseButton button) {
    post(InputEvent::kButton, button | InputEvent::kPressed, p);
}

void InputDriver::release(NativePoint p, MouseButton button) {
    post(InputEvent::kButton, button, p);
}

void InputDriver::click(NativePoint p, MouseButton button) {
    press(p, button);
    release(p, button);
}

void InputDriver::doubleClick(NativePoint p, MouseButton button) {
    click(p, button);
    click(p, button);
}

void InputDriver::wheel(NativePoint p, int delta) {
    post(InputEvent::kWheel,
         static_cast<std::uintptr_t>(static_cast<std::uint16_t>(static_cast<std::int16_t>(delta))), p);
}

void InputDriver::key(int virtualKey, bool down, char character) {
    windows_.loop().post(windows_.inputWindow(), InputEvent::kKey,
                         static_cast<std::uintptr_t>(virtualKey & 0xFFFF) | (down ? InputEvent::kPressed : 0),
                         static_cast<unsigned char>(character));
}

void InputDriver::tap(int virtualKey, char character) {
    key(virtualKey, true, character);
    key(virtualKey, false);
}

int InputDriver::virtualKeyFor(char character, bool& shift) {
    const auto c = static_cast<unsigned char>(character);
    shift = false;
    if (std::isupper(c)) {
        shift = true;
        return c;
    }
    if (std::islower(c))
        return std::toupper(c);
    if (std::isdigit(c))
        return c;
    switch (c) {
    case ' ':
        return VirtualKey::kSpace;
    case '\r':
    case '\n':
        return VirtualKey::kReturn;
    case '\b':
        return VirtualKey::kBack;
    case '\t':
        return VirtualKey::kTab;
    case 27:
        return VirtualKey::kEscape;
    default:
        break;
    }
    // Shifted digits, then the punctuation keys of a US layout (unshifted, shifted).
    static const char* const kShiftedDigits = ")!@#$%^&*(";
    if (const char* at = std::strchr(kShiftedDigits, c); at != nullptr && c != 0) {
        shift = true;
        return '0' + static_cast<int>(at - kShiftedDigits);
    }
    struct Punctuation {
        char plain;
        char shifted;
        int key;
    };
    static const Punctuation kKeys[] = {{';', ':', 0xBA}, {'=', '+', 0xBB}, {',', '<', 0xBC},
                                        {'-', '_', 0xBD}, {'.', '>', 0xBE}, {'/', '?', 0xBF},
                                        {'`', '~', 0xC0}, {'[', '{', 0xDB}, {'\\', '|', 0xDC},
                                        {']', '}', 0xDD}, {'\'', '"', 0xDE}};
    for (const Punctuation& p : kKeys) {
        if (c == static_cast<unsigned char>(p.plain))
            return p.key;
        if (c == static_cast<unsigned char>(p.shifted)) {
            shift = true;
            return p.key;
        }
    }
    return 0;
}

void InputDriver::type(const std::string& text) {
    for (char c : text) {
        bool shift = false;
        const int virtualKey = virtualKeyFor(c, shift);
        if (shift)
            key(VirtualKey::kShift, true);
        const char typed = c == '\n' ? '\r' : c;
        // Enter, Backspace and Escape type their control characters too.
        key(virtualKey, true, typed);
        key(virtualKey, false);
        if (shift)
            key(VirtualKey::kShift, false);
    }
}

std::size_t InputDriver::flush() {
    std::size_t delivered = 0;
    for (int rounds = 0; rounds < 10000; ++rounds) {
        const std::size_t n = windows_.loop().pump();
        delivered += n;
        if (n == 0 && windows_.loop().pendingCount() == 0)
            break;
    }
    return delivered;
}

} // namespace trov::platform
