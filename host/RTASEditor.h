#pragma once

#include "framework/Point.h"
#include "platform/hostsdk/HostSdk.h"

#include <cstdint>
#include <memory>

namespace trov {

class EditorInterface;
class HostInterface;
class Plugin;
class Radio;
class WindowTimer;

// The instance's editor hosted in the host's window: made through the descriptor when the host asks for a
// view, opened in the host's port with a 50 ms window timer, and asked which host control lies under a
// point. Owned by the process; owns its editor and timer. Host's user-interface thread only; the timer's
// ticks arrive there as the host's idle pumps the module's event loop.
class RTASEditor : public hostsdk::CCustomView {
public:
    static constexpr unsigned kTimerPeriodMs = 50;

    // Throws when the product gives no editor.
    RTASEditor(HostInterface& host, hostsdk::CEffectProcess& process);
    ~RTASEditor() override;

    EditorInterface* getEditor() const { return editor_.get(); }
    Point getOrigin() const { return origin_; }
    bool hasTimer() const { return timer_ != nullptr; }

    void SetViewPort(const hostsdk::ViewPort* port) override;
    void Draw() override;
    void Idle() override;

    // The host control number of a control bound to an automatable parameter (a listener of it); 0 for
    // any other control.
    std::int32_t getControlNumber(Radio* control) const;
    // 0 when no control lies there.
    std::int32_t getControlNumberAt(const Point& point) const;
    void touch(Radio* control);
    void release(Radio* control);

private:
    std::unique_ptr<EditorInterface> editor_;
    HostInterface& host_;
    hostsdk::CEffectProcess& process_;
    Point origin_;
    std::unique_ptr<WindowTimer> timer_;
};

// The host control number of the automatable parameter that control listens to; 0 when none.
std::int32_t controlNumberOf(const Plugin& plugin, Radio* control);

} // namespace trov
