#pragma once

#include "framework/Point.h"
#include "framework/Rect.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace trov {

class Radio;

// Message kinds.
enum MessageKind : std::int32_t {
    kKindControl = 1,
    kKindMidi = 2,
    kKindParameter = 3,
    kKindPlugin = 4,
    kKindResource = 5,
    kKindWindow = 6,
    kKindTimer = 7,
    kKindSystem = 8,
};

// Codes within each kind.
namespace Code {
// control
constexpr std::int32_t kShowHelp = 4;
constexpr std::int32_t kHideHelp = 5;
constexpr std::int32_t kEditBegin = 6;
constexpr std::int32_t kEditEnd = 7;
constexpr std::int32_t kBecameCurrent = 8;
constexpr std::int32_t kLostCurrent = 9;
constexpr std::int32_t kControlState1 = 11;
constexpr std::int32_t kControlState2 = 12;
constexpr std::int32_t kRightClick = 13;
// MIDI
constexpr std::int32_t kNoteOn = 0;
constexpr std::int32_t kNoteOff = 1;
constexpr std::int32_t kController = 2;
constexpr std::int32_t kProgramChanged = 3;
// parameter
constexpr std::int32_t kParameterValue = 2000;
constexpr std::int32_t kParameterReset = 2001;
constexpr std::int32_t kParameterSetFromExtra = 2002;
// plug-in
constexpr std::int32_t kPluginNotice = 0;
constexpr std::int32_t kPluginStateChanged = 1;
// resource
constexpr std::int32_t kResourceAdded = 0;
// window
constexpr std::int32_t kLeftDown = 3000;
constexpr std::int32_t kLeftDoubleClick = 3001;
constexpr std::int32_t kLeftUp = 3002;
constexpr std::int32_t kRightDown = 3003;
constexpr std::int32_t kRightDoubleClick = 3004;
constexpr std::int32_t kRightUp = 3005;
constexpr std::int32_t kMouseMove = 3006;
constexpr std::int32_t kFocusGained = 3007;
constexpr std::int32_t kFocusLost = 3008;
constexpr std::int32_t kMouseWheel = 3011;
constexpr std::int32_t kDisplayFlicker = 3015;
constexpr std::int32_t kMeasureMenuItem = 3016;
constexpr std::int32_t kDrawMenuItem = 3017;
constexpr std::int32_t kDragOver = 3018;
constexpr std::int32_t kDragLeave = 3020;
constexpr std::int32_t kDropItem = 3022;
constexpr std::int32_t kEditorCommand = 3024;
// timer
constexpr std::int32_t kTimerTick = 4000;
// system
constexpr std::int32_t kEditorNotice = 3000;
constexpr std::int32_t kRedrawRequest = 3002;
constexpr std::int32_t kWorkerData = 3003;
constexpr std::int32_t kSampleRateChanged = 3004;
} // namespace Code

// The extra word is pointer-sized: it carries numbers, pointers and float bit patterns.
using MessageWord = std::uintptr_t;

inline MessageWord floatToWord(float value) noexcept {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}
inline float wordToFloat(MessageWord word) noexcept {
    const auto bits = static_cast<std::uint32_t>(word);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}
template <class T> MessageWord pointerToWord(T* pointer) noexcept {
    return reinterpret_cast<MessageWord>(pointer);
}
template <class T> T* wordToPointer(MessageWord word) noexcept {
    return reinterpret_cast<T*>(word);
}

// A bus message: a small value built on the sender's stack and broadcast by reference. Holders that keep
// one for later (timers, workers) keep a `clone`.
class Message {
public:
    Message(const Radio* sender, std::int32_t kind, std::int32_t code, MessageWord extra) noexcept
        : sender(const_cast<Radio*>(sender)), kind(kind), code(code), extra(extra) {}
    Message(const Message&) = default;
    Message& operator=(const Message&) = default;
    virtual ~Message() = default;
    virtual Message* clone() const { return new Message(*this); }

    Radio* sender;
    std::int32_t kind;
    std::int32_t code;
    MessageWord extra;
};

class ControlMessage : public Message {
public:
    ControlMessage(const Radio* sender, std::int32_t code, const Point& where, MessageWord extra)
        : Message(sender, kKindControl, code, extra), where(where) {}
    ControlMessage(const Radio* sender, std::int32_t code) : Message(sender, kKindControl, code, 0) {}
    ControlMessage* clone() const override { return new ControlMessage(*this); }

    Point where;
    Rect area;
};

// The controller record a code-2 MIDI message copies: number 0-127, 128 pitch bend, 129 channel pressure.
struct ControllerEvent {
    std::int32_t number = -1;
    float value = 0.0f;
    std::int32_t time = 0;
};

class MidiMessage : public Message {
public:
    // Codes 0 and 1 carry a note pointer in extra; code 2 also copies the controller event's fields.
    MidiMessage(const Radio* sender, std::int32_t code, const void* event);
    MidiMessage* clone() const override { return new MidiMessage(*this); }

    std::int32_t number = -1;
    float value = 0.0f;
    std::int32_t time = 0;
};

// A parameter change. Built on the sender's stack, it views the parameter's own name rather than copying
// it, so a change allocates nothing whatever the name's length; a copy or a clone owns its name and never
// views another message's storage. The name viewed must outlive the message: a temporary string is
// refused at compile time.
class ParameterMessage : public Message {
public:
    ParameterMessage(const Radio* sender, std::int32_t code, std::string_view name, std::int32_t index,
                     MessageWord extra, float value, std::int32_t flags) noexcept
        : Message(sender, kKindParameter, code, extra), name(name), value(value), index(index), flags(flags) {
    }
    ParameterMessage(const Radio* sender, std::int32_t code, const char* name, std::int32_t index,
                     MessageWord extra, float value, std::int32_t flags) noexcept
        : ParameterMessage(sender, code, std::string_view(name), index, extra, value, flags) {}
    ParameterMessage(const Radio* sender, std::int32_t code, std::string&& name, std::int32_t index,
                     MessageWord extra, float value, std::int32_t flags) = delete;
    ParameterMessage(const ParameterMessage& other)
        : Message(other), value(other.value), index(other.index), flags(other.flags), ownedName_(other.name) {
        name = ownedName_;
    }
    ParameterMessage& operator=(const ParameterMessage& other) {
        if (this != &other) {
            Message::operator=(other);
            ownedName_.assign(other.name);
            name = ownedName_;
            value = other.value;
            index = other.index;
            flags = other.flags;
        }
        return *this;
    }
    ParameterMessage* clone() const override { return new ParameterMessage(*this); }

    std::string_view name;
    float value;
    std::int32_t index;
    std::int32_t flags; // the sender code of the change

private:
    std::string ownedName_; // empty unless this message is a copy
};

class PluginMessage : public Message {
public:
    PluginMessage(const Radio* sender, std::int32_t code, MessageWord extra)
        : Message(sender, kKindPlugin, code, extra) {}
    PluginMessage* clone() const override { return new PluginMessage(*this); }

    std::string text;
};

class ResourceMessage : public Message {
public:
    ResourceMessage(const Radio* sender, std::int32_t code, std::string name, MessageWord extra)
        : Message(sender, kKindResource, code, extra), name(std::move(name)) {}
    ResourceMessage* clone() const override { return new ResourceMessage(*this); }

    std::string name;
};

class WindowMessage : public Message {
public:
    // One dropped item: a path or payload, and a start and end frame (0, 0 for a whole file).
    struct DropItem {
        std::string text;
        std::int32_t first = 0;
        std::int32_t second = 0;
    };
    struct MouseBlock {
        std::int32_t a = 0;
        float b = 0.0f;
        std::int32_t c = 0;
        std::int32_t d = 0;
    };

    WindowMessage(const Radio* sender, std::int32_t code, std::int32_t value)
        : Message(sender, kKindWindow, code, 0), value(value) {}
    WindowMessage(const Radio* sender, std::int32_t code, std::int32_t value, std::int32_t s0,
                  std::int32_t s1, std::int32_t s2, MessageWord extra)
        : Message(sender, kKindWindow, code, extra), value(value), state{s0, s1, s2} {}
    WindowMessage(const Radio* sender, std::int32_t code, std::int32_t value, const Point& where,
                  MessageWord extra)
        : Message(sender, kKindWindow, code, extra), value(value), where(where) {}
    WindowMessage(const Radio* sender, std::int32_t code, std::int32_t /*ignored*/, const Point& where,
                  const DropItem& item)
        : Message(sender, kKindWindow, code, 0), where(where), drop(item) {}
    WindowMessage(const Radio* sender, std::int32_t code, std::int32_t value, const MouseBlock& mouse,
                  MessageWord extra)
        : Message(sender, kKindWindow, code, extra), value(value), mouse(mouse) {}
    WindowMessage* clone() const override { return new WindowMessage(*this); }

    std::int32_t value = 0;
    std::int32_t state[3] = {0, 0, 0};
    Point where;
    MouseBlock mouse;
    DropItem drop;
};

// Four-character timer identifiers, first character in the high byte ('CPUx').
constexpr std::int32_t makeTimerId(const char (&id)[5]) {
    return static_cast<std::int32_t>((static_cast<std::uint32_t>(static_cast<unsigned char>(id[0])) << 24) |
                                     (static_cast<std::uint32_t>(static_cast<unsigned char>(id[1])) << 16) |
                                     (static_cast<std::uint32_t>(static_cast<unsigned char>(id[2])) << 8) |
                                     static_cast<std::uint32_t>(static_cast<unsigned char>(id[3])));
}

class TimerMessage : public Message {
public:
    TimerMessage(const Radio* sender, std::int32_t code, std::int32_t timerId, MessageWord extra)
        : Message(sender, kKindTimer, code, extra), timerId(timerId) {}
    // A copy keeps sender, code, extra and the identifier; the tick times start again at 0.
    TimerMessage(const TimerMessage& other) : Message(other), timerId(other.timerId) {}
    TimerMessage& operator=(const TimerMessage& other) {
        Message::operator=(other);
        timerId = other.timerId;
        interval = secondsSinceStart = secondsSincePrevious = 0.0;
        return *this;
    }
    TimerMessage* clone() const override { return new TimerMessage(*this); }

    std::int32_t timerId;
    double interval = 0.0;
    double secondsSinceStart = 0.0;
    double secondsSincePrevious = 0.0;
};

class SystemMessage : public Message {
public:
    SystemMessage(const Radio* sender, std::int32_t code, MessageWord extra)
        : Message(sender, kKindSystem, code, extra) {}
    SystemMessage* clone() const override { return new SystemMessage(*this); }
};

inline MidiMessage::MidiMessage(const Radio* sender, std::int32_t code, const void* event)
    : Message(sender, kKindMidi, code, reinterpret_cast<MessageWord>(event)) {
    if (code == Code::kController && event != nullptr) {
        const auto* controller = static_cast<const ControllerEvent*>(event);
        number = controller->number;
        value = controller->value;
        time = controller->time;
    }
}

} // namespace trov
