#include "gui/controls/ControlDebugInfo.h"

#include "gui/Canvas.h"
#include "gui/controls/ControlCPUMeter.h"

namespace trov {

namespace {

const Color kPanelColor(255, 190, 50, 255);
constexpr int kHistoryLength = 100;
constexpr int kMeterLeft = 10;
constexpr int kMeterTop = 10;
constexpr int kMeterPitch = 65;
constexpr int kMeterWidth = 140;
constexpr int kMeterHeight = 60;

} // namespace

ControlDebugInfo::ControlDebugInfo(Editor* editor, Control* target)
    : ControlContainer(editor, Rect()),
      target_(target), names_{{kEngine, "engine"}, {kEditor, "editor"}, {kMidi, "midi"}, {kUsage, "usage"}} {
    Rect r = target->getRect();
    r.right += kColumnWidth;
    setBounds(r);
    addChild(target);
    target->moveBy(Point(kColumnWidth, 0));
    for (int category : {kEngine, kEditor, kMidi}) {
        createMeter(category);
        getMeterControl(category)->init();
    }
}

ControlDebugInfo::~ControlDebugInfo() = default;

CPUMeter* ControlDebugInfo::createMeter(int category) {
    const int n = static_cast<int>(meters_.size());
    auto* meter =
        new ControlCPUMeter(kHistoryLength, getOwnerEditor(),
                            Rect(kMeterLeft, kMeterTop + kMeterPitch * n, kMeterWidth, kMeterHeight));
    const auto name = names_.find(category);
    meter->setLabel(name != names_.end() ? name->second : std::string());
    addChild(meter);
    // A category made twice keeps the newer meter; the older one leaves the panel.
    ControlCPUMeter*& slot = meters_[category];
    delete slot;
    slot = meter;
    return meter;
}

ControlCPUMeter* ControlDebugInfo::getMeterControl(int category) const {
    const auto it = meters_.find(category);
    return it != meters_.end() ? it->second : nullptr;
}

CPUMeter* ControlDebugInfo::getMeter(int category) const {
    return getMeterControl(category);
}

void ControlDebugInfo::paintBackground(Canvas& canvas, const Rect& area) {
    canvas.setBrushColor(kPanelColor);
    canvas.fillRect(area);
}

// The editor meter measures from one paint of the panel to the next.
void ControlDebugInfo::paint(Canvas& /*canvas*/, const Rect& /*area*/) {
    if (ControlCPUMeter* meter = getMeterControl(kEditor)) {
        meter->endNoStamp();
        meter->begin();
    }
}

} // namespace trov
