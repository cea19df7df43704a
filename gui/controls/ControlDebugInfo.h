#pragma once

#include "gui/controls/ControlContainer.h"

#include <map>
#include <string>

namespace trov {

class CPUMeter;
class ControlCPUMeter;

// The debug panel the editor wraps its root in when the user preference "ShowCPUMeters" is set: the root
// moved 160 pixels right and, in the column left of it, one load meter per measured category (0 "engine",
// 1 "editor", 2 "midi", 3 "usage"), made as they are asked for. The "editor" meter measures the time
// between two paints of the panel.
//
// Owned by the editor as its frame; it owns the wrapped root and the meters as children. User-interface
// thread, except the meters' begin and end (see ControlCPUMeter).
class ControlDebugInfo : public ControlContainer {
public:
    static constexpr int kColumnWidth = 160;
    static constexpr int kEngine = 0;
    static constexpr int kEditor = 1;
    static constexpr int kMidi = 2;
    static constexpr int kUsage = 3;

    // Wraps target (which it then owns) and makes and starts the engine, editor and MIDI meters.
    ControlDebugInfo(Editor* editor, Control* target);
    ~ControlDebugInfo() override;

    void paintBackground(Canvas& canvas, const Rect& area) override;
    void paint(Canvas& canvas, const Rect& area) override;

    // A new meter of the category under the ones made so far; its CPU meter part.
    CPUMeter* createMeter(int category);
    // The category's meter, or null before it is made.
    CPUMeter* getMeter(int category) const;
    ControlCPUMeter* getMeterControl(int category) const;
    Control* getTarget() const { return target_; }

private:
    Control* target_;
    std::map<int, ControlCPUMeter*> meters_;
    std::map<int, std::string> names_;
};

} // namespace trov
