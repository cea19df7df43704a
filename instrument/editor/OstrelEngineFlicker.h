#pragma once

#include "framework/Radio.h"

#include <atomic>
#include <memory>

namespace trov {

class Bitmap;
class Control;
class Timer;

// The flicker of the emulated machine's LCD: every 100 ms its tick sets the flicker amount of a display's
// glyph sheet ("alphabet") to (voices + 1) × scale, so the display's characters dim at random, deeper the
// more voices the engine played in its last block, and asks the display to redraw. It lives beside the
// display, which owns it; the three LCD displays share one glyph sheet.
//
// Made and deleted with its display on the user-interface thread. Its ticks reach it through the display's
// own listening, from the display's layout on (`startTicks`): none comes while the editor builds the
// display, and an editor silencing its controls before it takes them apart silences the flicker with them.
// Ticks run on the timer-service thread: they read the engine's published voice count (an atomic the audio
// thread stores at the end of each block), store one float in the shared glyph sheet and record a redraw,
// allocating nothing and taking no lock of their own.
class OstrelEngineFlicker : public Radio {
public:
    static constexpr int kPeriodMs = 100;
    // The flicker each sounding voice adds, and the amount with none.
    static constexpr float kScale = 0.0625f;

    OstrelEngineFlicker(const Module* owner, Control& display, float scale = kScale);
    ~OstrelEngineFlicker() override;
    OstrelEngineFlicker(const OstrelEngineFlicker&) = delete;
    OstrelEngineFlicker& operator=(const OstrelEngineFlicker&) = delete;

    // The display tunes in to the flicker's timer, which starts (user-interface thread); again is harmless.
    void startTicks();
    // The display tunes out (waiting for a tick being delivered) and the timer stops.
    void stopTicks();
    // What the display hands on of what it hears: true, after running a tick, for one of the timer's ticks.
    bool takeTick(const Message& message);
    // The module whose engine the ticks read; the display follows the editor's layer. Any thread.
    void follow(const Module* module) { module_.store(module, std::memory_order_release); }
    // The display's glyph sheet, once its specification is read (null: none). User-interface thread.
    void setAlphabet(Bitmap* alphabet) { alphabet_.store(alphabet, std::memory_order_release); }
    // Sets the glyph sheet's flicker and asks the display for a redraw; nothing without a glyph sheet.
    void setFlicker(float amount);

private:
    void tick();

    Control& display_;
    float scale_;
    std::atomic<const Module*> module_;
    std::atomic<Bitmap*> alphabet_{nullptr};
    std::unique_ptr<Timer> timer_;
};

} // namespace trov
