#pragma once

#include "gui/controls/Control.h"

#include <atomic>
#include <cstdint>
#include <string>

namespace trov {

template <class T> class ParameterEnum;

// The base of the controls that show and choose one entry of an enumeration parameter
// (`ParameterEnum<T>`, for T = std::string, long and float): the enumeration buttons and popup menus. It
// binds instance 0 of its parameter and refuses a parameter of any other kind. A press or a drag on a
// control that keeps this base's handling sets the parameter's normalised value from the pointer's height.
//
// Owned by its parent control. User-interface thread, except that a notification of the bound parameter
// may arrive on any thread, where it only records the control's redraw.
template <class T> class ControlEnum : public Control {
public:
    ControlEnum(Editor* editor, const Rect& bounds);
    ~ControlEnum() override;

    bool receive(const Message& message) override;
    // Binds instance 0 of the named parameter in the owner's settings, whatever the control's instance. A
    // parameter of another kind is logged (level 4) and refused with ErrorIncompatibleControl, leaving the
    // control unbound; a name that names no parameter leaves it unbound.
    void setParameter(const std::string& name) override;
    Parameter* getParameter() const override;
    void paint(Canvas& canvas, const Rect& area) override = 0;

    ParameterEnum<T>* getEnum() const { return enum_.load(std::memory_order_acquire); }
    // The selected entry, 0 while unbound.
    int getSelectedIndex() const;
    // The entry's display label, a blank and the parameter's unit.
    std::string entryText(std::uint32_t index) const;

protected:
    // What a derived control leaves: a notification of the bound parameter queues a redraw, everything
    // else goes to the control base.
    bool passOn(const Message& message);

private:
    std::atomic<ParameterEnum<T>*> enum_{nullptr};
};

// Refuses to tie the parameter to a control made for another kind: logs "tying parameter <label><type>
// to incompatible control" at level 4 and throws it as ErrorIncompatibleControl.
[[noreturn]] void refuseParameter(const Parameter& parameter);

extern template class ControlEnum<std::string>;
extern template class ControlEnum<long>;
extern template class ControlEnum<float>;

} // namespace trov
