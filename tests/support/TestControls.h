#pragma once

// Minimal controls for the editor's tests, benchmarks and fuzz target, and a factory that knows them
// beside the library's: "Panel" (the control base, recording what reaches it) and "Slider" (a value
// control dragged up and down), and the library's bases the instrument's factory builds ("SampleEditor",
// "FileBrowser"). Real controls can take their places as they are built.
#include "framework/Font.h"
#include "gui/Canvas.h"
#include "gui/PopupMenu.h"
#include "gui/controls/ControlFileBrowser.h"
#include "gui/controls/ControlManager.h"
#include "gui/controls/ControlSampleEditor.h"
#include "gui/controls/ControlValue.h"

#include <atomic>
#include <string>
#include <vector>

namespace trov::test {

// What a test control saw: the codes of the window and control messages, the points of the window
// messages, the areas it painted, the context-menu commands and the files dropped on it.
struct Seen {
    std::vector<std::int32_t> window;
    std::vector<Point> points;
    std::vector<std::int32_t> control;
    std::vector<MessageWord> commands;
    std::vector<Rect> paints;
    std::vector<std::string> drops;

    void note(const Message& message) {
        if (const auto* w = dynamic_cast<const WindowMessage*>(&message)) {
            window.push_back(w->code);
            points.push_back(w->where);
            if (w->code == 3021 && w->extra != 0)
                drops.emplace_back(wordToPointer<const char>(w->extra));
        } else if (const auto* c = dynamic_cast<const ControlMessage*>(&message)) {
            control.push_back(c->code);
            if (c->code == Code::kRightClick)
                commands.push_back(c->extra);
        }
    }
    int count(std::int32_t code) const {
        int n = 0;
        for (std::int32_t c : window)
            n += c == code ? 1 : 0;
        return n;
    }
};

// The control base as a panel; with takesDrops it accepts dropped files (3021). Its label is drawn in
// white in the built-in pixel font.
class TestPanel : public Control {
public:
    static constexpr std::int32_t kOwnCommand = 100;

    TestPanel(Editor* editor, const Rect& bounds) : Control(editor, bounds) { ++live; }
    ~TestPanel() override { --live; }
    bool receive(const Message& message) override {
        seen.note(message);
        if (message.kind == kKindWindow && message.code == 3021)
            return takesDrops;
        return Control::receive(message);
    }
    void paint(Canvas& canvas, const Rect& area) override {
        seen.paints.push_back(area);
        if (getLabel().empty())
            return;
        canvas.setFont(
            Font("04b03", 8.0f, 0, 1, Font::kNoSmoothing | Font::kAlignLeft | Font::kAlignTop, 10.0f));
        canvas.setTextColor(colorWhite);
        drawText(canvas, getLocalRect(), getLabel());
    }

    Seen seen;
    bool takesDrops = false;
    // Panels alive in the process.
    static inline std::atomic<int> live{0};
};

// A value control: a press takes the button, each drag step moves the value by a hundredth per pixel
// upwards; it paints a bar as high as its value in its ink colour and offers "Reset" before the MIDI-learn
// items of its context menu (and "Other", an item of another owner, when it is given one).
class TestSlider : public ControlValue {
public:
    static constexpr std::int32_t kResetCommand = 100;

    using ControlValue::ControlValue;
    bool receive(const Message& message) override {
        seen.note(message);
        if (message.kind == kKindWindow) {
            const auto& window = static_cast<const WindowMessage&>(message);
            if (window.code == 3000 || window.code == 3002)
                return true;
            if (window.code == 3009) {
                setValue(getValue() -
                         static_cast<float>(wordToPointer<const Point>(window.extra)->y) / 100.0f);
                return true;
            }
        }
        if (message.kind == kKindControl && message.code == Code::kRightClick &&
            message.extra == kResetCommand) {
            setValue(0.0f);
            return true;
        }
        return ControlValue::receive(message);
    }
    void showContextMenu(PopupMenu& menu, const Point& where) override {
        menu.addItem(PopupMenuItem(pointerToWord(this), kResetCommand, "Reset", 0));
        if (otherOwner != 0)
            menu.addItem(PopupMenuItem(otherOwner, kResetCommand, "Other", 0));
        ControlValue::showContextMenu(menu, where);
    }
    void paint(Canvas& canvas, const Rect& area) override {
        seen.paints.push_back(area);
        Rect bar = getLocalRect();
        bar.top = bar.bottom - static_cast<int>(static_cast<float>(bar.getHeight()) * getValue());
        canvas.setBrushColor(ink);
        canvas.fillRect(bar);
    }

    Seen seen;
    Color ink = colorRed;
    MessageWord otherOwner = 0;
};

// The library's factory with the test controls beside it. A name after "Library:" is the library's own
// ("Library:Slider" is the library's slider, which the test slider shadows).
class TestControls : public ControlManager {
public:
    static constexpr const char* kLibrary = "Library:";

    using ControlManager::ControlManager;
    Control* createControl(const Dictionary& node, const std::string& type, Parameter* parameter,
                           Editor* editor) const override {
        if (type == "Panel")
            return new TestPanel(getOwner(), Rect());
        if (type == "Slider")
            return new TestSlider(getOwner(), Rect());
        if (type.starts_with(kLibrary))
            return ControlManager::createControl(node, type.substr(std::string(kLibrary).size()), parameter,
                                                 editor);
        // The library's bases of the instrument's sample editor and browser (one pane).
        if (type == "SampleEditor")
            return new ControlSampleEditor(getOwner(), Rect());
        if (type == "FileBrowser") {
            auto* browser = new ControlFileBrowser(getOwner());
            browser->addFrame(new ControlFileBrowserFrame(getOwner(), browser));
            return browser;
        }
        return ControlManager::createControl(node, type, parameter, editor);
    }
};

} // namespace trov::test
