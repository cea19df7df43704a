#pragma once

#include "gui/InfoLine.h"
#include "gui/controls/Control.h"

#include <atomic>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

namespace trov {

class ControlText;
class Timer;

// The editor's info line: texts posted by its stations under a sender and a level 0 to 3 (a sender's new
// text replaces its earlier one), shown in the editor's text display ("special::textdisplay"): the newest
// text of the highest level that holds one. Every 7.5 seconds the level-0 texts take turns while no
// higher level holds one. While the left button holds a control down, each change of that control's
// parameter shows the control's label, value and unit instead, until 4 seconds after it is let go.
//
// Made and owned by the editor (not one of its controls' children). Posting and removing may come from
// any thread (the MIDI learn's answer, its time-out); the rotation ticks on the timer thread; the texts are
// guarded by a lock of its own that is a leaf: never held while the display is set or a timer started,
// stopped or made. Watching runs on the user-interface thread; a change of the watched parameter on
// another thread is described at the editor's next tick.
class ControlInfo : public Control, public InfoLine {
public:
    static constexpr std::int32_t kRotationTimerId = makeTimerId("MFCI");
    static constexpr std::int32_t kRestoreTimerId = makeTimerId("MFCJ");
    static constexpr int kRotationMs = 7500;
    static constexpr int kRestoreMs = 4000;
    static constexpr int kLevels = 4;

    ControlInfo(Editor* editor, const Rect& bounds);
    ~ControlInfo() override;

    // Makes the rotation and restore timers (stopped) the first time.
    void init() override;
    bool receive(const Message& message) override;

    // InfoLine.
    void resume() override;
    void stopTimers() override;
    // A text control, or null (which also stops the timers); any other control shows nothing.
    void setDisplay(Control* display) override;
    // Levels outside 0..3 count as the nearest one.
    void post(const void* sender, const std::string& text, int level) override;
    void remove(const void* sender) override;
    void watch(Control* control) override;
    void unwatch() override;

    // Shows the newest text of the highest level that holds one; with none the display keeps its text.
    void show();
    // Only while levels 1 to 3 are empty: the oldest level-0 text becomes the newest.
    void rotate();
    ControlText* getDisplay() const { return display_.load(std::memory_order_acquire); }
    Control* getWatched() const { return watched_.load(std::memory_order_acquire); }
    // The texts of a level, oldest first.
    std::list<std::string> textsAt(int level) const;

protected:
    void applyDeferredControlWork() override;

private:
    using Entry = std::pair<const void*, std::string>;

    void describeWatched();
    void eraseSender(const void* sender);

    std::atomic<ControlText*> display_{nullptr};
    std::atomic<Control*> watched_{nullptr};
    Radio* watchedParameter_ = nullptr;
    std::unique_ptr<Timer> rotationTimer_;
    std::unique_ptr<Timer> restoreTimer_;
    std::map<int, std::list<Entry>> levels_;
    mutable std::mutex lock_; // guards levels_
    std::atomic<bool> describe_{false};
};

} // namespace trov
