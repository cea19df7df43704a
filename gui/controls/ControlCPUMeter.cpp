#include "gui/controls/ControlCPUMeter.h"

#include "framework/System.h"
#include "gui/Canvas.h"

#include <algorithm>
#include <cmath>

namespace trov {

namespace {

constexpr int kTitleHeight = 12;
constexpr int kTitleFlags = Font::kAlignCenter | Font::kAlignTop;
constexpr int kTextFlags = Font::kAlignCenter | Font::kAlignMiddle;

} // namespace

ControlCPUMeter::ControlCPUMeter(int historyLength, Editor* editor, const Rect& bounds)
    : Control(editor, bounds), CPUMeter(historyLength) {}

ControlCPUMeter::~ControlCPUMeter() = default;

void ControlCPUMeter::init() {
    CPUMeter::init();
}

// Timer thread: the redraw is only recorded.
bool ControlCPUMeter::receive(const Message& message) {
    if (message.kind == kKindTimer && message.code == Code::kTimerTick)
        requestRedraw(true);
    return CPUMeter::receive(message);
}

std::string ControlCPUMeter::loadText() const {
    return format128("avg %.2f%% / peak %.2f%%", getAverageLoad() * 100.0, getPeakLoad() * 100.0);
}

void ControlCPUMeter::paint(Canvas& canvas, const Rect& /*area*/) {
    const Rect r = getLocalRect();
    canvas.setBrushColor(colorWhite);
    canvas.fillRect(r);
    canvas.setFont(Font("Arial", 12.0f, 0, 1, Font::kAlignLeft | Font::kAlignTop, 0.0f));
    Rect title = r;
    title.bottom = kTitleHeight;
    canvas.setBrushColor(loadColor(getPeakLoad()));
    canvas.fillRect(title);
    canvas.setTextColor(colorBlack);
    canvas.drawText(getLabel(), title, kTitleFlags);
    const int h = r.getHeight() - 1;
    const int w = r.getWidth() - 1;
    const SeriesStats& history = getHistory();
    const std::size_t slots = history.getSlotCount();
    for (int x = 0; x < w && slots > 0; ++x) {
        const std::size_t slot = static_cast<std::size_t>(x) * slots / static_cast<std::size_t>(w);
        const double peak = std::min(history.getSlotPeak(slot), 1.0);
        canvas.setPenColor(loadColor(peak));
        canvas.moveTo(Point(x, h));
        canvas.lineTo(Point(x, static_cast<int>(std::nearbyint((1.0 - peak) * h))));
    }
    Rect text = title + Point(0, kTitleHeight);
    text.inset(2, 0);
    canvas.setTextColor(colorBlack);
    canvas.drawText(loadText(), text, kTextFlags);
    canvas.setPenColor(colorBlack);
    canvas.frameRect(r);
}

} // namespace trov
