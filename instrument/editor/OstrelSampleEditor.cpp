#include "instrument/editor/OstrelSampleEditor.h"

#include "engine/zones/Zone.h"
#include "framework/Font.h"
#include "framework/Random.h"
#include "framework/StringUtils.h"
#include "gui/Canvas.h"
#include "instrument/Corvale.h"
#include "instrument/editor/EditorKeys.h"
#include "plugin/Parameter.h"
#include "plugin/PluginInfo.h"
#include "plugin/Settings.h"

#include <algorithm>
#include <cmath>

namespace trov {

namespace {

constexpr const char* kFollowed[] = {keys::kCurrentSample, keys::kCurrentZone, keys::kLCDContrast,
                                     keys::kSampleLoopOn, keys::kSampleSliced};
constexpr std::int32_t kDropKinds = 4;
const Color kOverMemory(255, 190, 50, 255);
constexpr int kCentred = Font::kAlignCenter | Font::kAlignMiddle;
constexpr int kLeftBottom = Font::kAlignLeft | Font::kAlignBottom;

int scaledUp(int coordinate) {
    return static_cast<int>(
        std::nearbyint(static_cast<float>(coordinate) * OstrelSampleEditor::kThumbnailScale));
}

} // namespace

OstrelSampleEditor::OstrelSampleEditor(Editor* editor, const Rect& bounds)
    : ControlSampleEditor(editor, bounds) {
    setFlags(kAcceptsDrops);
    setDropKinds(kDropKinds);
    for (const char* name : kFollowed)
        listenTo(name);
}

bool OstrelSampleEditor::receive(const Message& message) {
    if (message.kind == kKindWindow)
        if (const auto* window = dynamic_cast<const WindowMessage*>(&message))
            return receiveWindow(*window);
    if (message.kind == kKindParameter && message.code == Code::kParameterValue)
        if (const auto* change = dynamic_cast<const ParameterMessage*>(&message);
            change != nullptr && receiveParameter(*change))
            return true;
    return ControlSampleEditor::receive(message);
}

bool OstrelSampleEditor::receiveWindow(const WindowMessage& message) {
    if (message.code == Code::kLeftDoubleClick) {
        if (Settings* settings = getSettings())
            if (Parameter* display = settings->getParameter(keys::kDisplayEditor))
                display->setNormalized(isShrunk() ? 1.0f : 0.0f, Sender::kEditor);
        return true;
    }
    if (!isShrunk())
        return ControlSampleEditor::receive(message);
    WindowMessage scaled(message);
    if (message.code == 3012) {
        setGrabTolerance(kGrabTolerance);
    } else {
        setGrabTolerance(kShrunkGrabTolerance);
        scaled.where = Point(scaledUp(message.where.x), scaledUp(message.where.y));
    }
    return ControlSampleEditor::receive(scaled);
}

// Any thread: what asks for the user-interface thread waits for its tick there.
bool OstrelSampleEditor::receiveParameter(const ParameterMessage& message) {
    const std::string_view name = message.name;
    if (name == keys::kLCDContrast) {
        const float opacity = message.value + static_cast<float>(randomDouble() - 0.5) * kFlicker;
        if (onUserInterfaceThread()) {
            setTransparency(opacity);
            setNeedsRedraw(true);
        } else {
            pendingTransparency_.store(std::clamp(opacity, 0.0f, 1.0f), std::memory_order_release);
            deferControlWork();
        }
        return true;
    }
    if (name == keys::kCurrentSample) {
        if (onUserInterfaceThread()) {
            loadZoneView();
        } else {
            pendingView_.store(true, std::memory_order_release);
            deferControlWork();
        }
        return true;
    }
    if (name == keys::kCurrentZone || name == keys::kSampleLoopOn || name == keys::kSampleSliced) {
        requestRedraw(true);
        return true;
    }
    return false;
}

void OstrelSampleEditor::applyDeferredControlWork() {
    if (const float opacity = pendingTransparency_.exchange(-1.0f, std::memory_order_acq_rel);
        opacity >= 0.0f)
        setTransparency(opacity);
    if (pendingView_.exchange(false, std::memory_order_acq_rel))
        loadZoneView();
    setNeedsRedraw(true);
}

void OstrelSampleEditor::paint(Canvas& canvas, const Rect& area) {
    ControlSampleEditor::paint(canvas, area);
    const PluginInfo* info = getPluginInfo();
    if (const Font* font = info != nullptr ? info->getFont(0) : nullptr)
        canvas.setFont(*font);
    const Rect whole = getWaveformRect();
    const SharedObjectPtr<Zone> zone(getCurrentZone());
    if (!zone || zone->getSample() == nullptr) {
        canvas.setTextColor(colorWhite);
        canvas.drawText(toUpperCase("no wavesample loaded for this zone"), whole, kCentred);
    }
    const auto* corvale = dynamic_cast<const Corvale*>(getPlugin());
    // Kilobytes to the nearest whole one, halves to even.
    const auto used =
        static_cast<long>(std::nearbyint(corvale != nullptr ? corvale->getMemoryUsage() : 0.0f));
    canvas.setTextColor(used > kMemoryKilobytes ? kOverMemory : colorWhite);
    canvas.drawText(toUpperCase(" memory " + std::to_string(kMemoryKilobytes) + " kb / " +
                                std::to_string(used) + " kb in use"),
                    whole, kLeftBottom);
}

} // namespace trov
