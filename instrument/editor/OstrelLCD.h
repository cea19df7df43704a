#pragma once

#include "instrument/editor/OstrelEngineFlicker.h"

#include <utility>

namespace trov {

class Dictionary;
class Editor;

// A display of the emulated machine's LCD: the library's display Base whose glyph sheet ("alphabet")
// flickers with the number of voices the engine of the shown layer is playing (`OstrelEngineFlicker`).
// The LCD's value text, number display and text are made of it.
//
// Owned by its parent. Threads: as Base; the flicker ticks on the timer thread, reaching the display from
// its layout on.
template <class Base> class OstrelLCD : public Base {
public:
    template <class... Args>
    explicit OstrelLCD(Editor* editor, Args&&... args)
        : Base(editor, std::forward<Args>(args)...), flicker_(this->getOwner(), *this) {}
    // The ticks end before any part of the display goes.
    ~OstrelLCD() override { flicker_.stopTicks(); }

    // The flicker's ticks begin once the display is laid out, not while the editor builds it.
    void layout() override {
        Base::layout();
        flicker_.startTicks();
    }
    bool receive(const Message& message) override {
        return flicker_.takeTick(message) || Base::receive(message);
    }

    // The display's keys; then its glyph sheet is the one that flickers.
    bool fromDictionary(const Dictionary& spec) override {
        const bool read = Base::fromDictionary(spec);
        flicker_.setAlphabet(this->getAlphabetBitmap());
        return read;
    }
    // The flicker follows the layer the editor shows.
    void setOwner(const Module* module) override {
        Base::setOwner(module);
        flicker_.follow(module);
    }

private:
    OstrelEngineFlicker flicker_;
};

} // namespace trov
