#pragma once

#include "gui/HelpLine.h"
#include "gui/controls/ControlText.h"

#include <atomic>
#include <memory>
#include <mutex>

namespace trov {

class Timer;

// The help line ("Help", the editor's "special::help"): a tooltip box that shows, after a delay (the
// parameter "TooltipDelay" in milliseconds, 1.5 s until it says; 0 or less turns the help off), the value
// and tooltip of the editable control the pointer rests on next to that control (below, beside, or at the
// pointer, as the control's tooltip placement says, kept on the canvas), keeps the value current while the
// control is edited, and hides half a second after the pointer leaves.
//
// A control of the editor's tree. The editor's pointer notices and the box's placing run on the
// user-interface thread; the delay's ticks (timer thread) and parameter changes (any thread) off it only
// record what to do, which the editor's next tick applies. The shown control and its parameter are guarded
// by a lock of its own, which is never held while the help tunes in or out (a parameter's notification
// holds the parameter's lock and then asks for the help's); a control the pointer rests on is listened to
// at the editor's tick, not inside the editor's broadcast of the notice.
class ControlHelp : public ControlText, public HelpLine {
public:
    static constexpr std::int32_t kShowTimerId = makeTimerId("CHds");
    static constexpr std::int32_t kHideTimerId = makeTimerId("CHdh");
    static constexpr int kShowDelayMs = 1500;
    static constexpr int kHideDelayMs = 500;

    ControlHelp(Editor* editor, const Rect& bounds);
    ~ControlHelp() override;

    bool receive(const Message& message) override;
    void paint(Canvas& canvas, const Rect& area) override;

    // HelpLine.
    void startHide() override;
    void disarm() override;

    // The control whose help is shown or pending; listens to its parameter (or to it, without one) at
    // once. User-interface thread, outside the editor's broadcasts.
    void setShownControl(Control* control);
    Control* getShownControl() const;
    bool isArmed() const { return armed_.load(std::memory_order_acquire); }
    // The help for the shown control: its value text, a line break and its tooltip (either alone when the
    // other is empty).
    std::string helpText() const;

protected:
    void applyDeferredControlWork() override;

private:
    // The full help (value and tooltip) or the value alone, while armed; user-interface thread.
    void refresh(bool full);
    void place(const std::string& text);
    void delayChanged(int ms);
    // Work recorded off the user-interface thread, or inside the editor's broadcast.
    void defer(int work);
    // The shown control from a pointer notice: listened to at the editor's next tick.
    void showLater(Control* control);
    // Listens to the shown control's parameter (or to the control) instead of the last one listened to.
    void listenToShown();

    mutable std::mutex lock_; // guards shown_ and shownParameter_
    Control* shown_ = nullptr;
    Radio* shownParameter_ = nullptr;
    std::atomic<bool> armed_{true};
    std::unique_ptr<Timer> showTimer_;
    std::unique_ptr<Timer> hideTimer_;
    std::atomic<int> pending_{0};
    std::atomic<int> pendingDelay_{0};
};

} // namespace trov
