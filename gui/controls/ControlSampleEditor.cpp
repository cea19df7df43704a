// The sample editor's view and gestures: the display range, grabbing and moving the zone's points, zero
// snapping, panning, zooming and dragging the sample file out.
#include "gui/controls/ControlSampleEditor.h"

#include "engine/zones/Resources.h"
#include "engine/zones/ZoneManager.h"
#include "framework/Dictionary.h"
#include "framework/System.h"
#include "gui/Bitmap.h"
#include "gui/controls/SkinBitmaps.h"
#include "plugin/Parameter.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace trov {

namespace {

constexpr const char* kWatched[] = {"SampleLoopOn", "SampleLoopLengthFixed", "SampleZeroSnap", "SampleSliced",
                                    "SampleUnload"};
constexpr float kFineDrag = 0.1f;
// Cursor shapes.
constexpr int kArrow = 0;
constexpr int kMoveBoth = 1;
constexpr int kMoveLeft = 4;
constexpr int kMoveRight = 5;
constexpr int kHand = 9;
// Columns far outside any view are held here, so that conversions stay defined.
constexpr float kFarColumn = 1.0e8f;
// Frame steps beyond any sample are held here before they are added.
constexpr double kFarFrames = 1.0e12;

std::int64_t truncatedFrames(double frames) {
    return static_cast<std::int64_t>(std::clamp(std::trunc(frames), -kFarFrames, kFarFrames));
}

std::int32_t toFrame(std::int64_t frames) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        frames, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

// Start, loop start, loop end and end kept in that order within the frames.
void orderPoints(std::int64_t& start, std::int64_t& end, std::int64_t& loopStart, std::int64_t& loopEnd,
                 std::int32_t frames) {
    const std::int64_t last = std::max(frames - 1, 0);
    start = std::clamp<std::int64_t>(start, 0, last);
    end = std::clamp<std::int64_t>(end, start, last);
    loopStart = std::clamp(loopStart, start, end);
    loopEnd = std::clamp(loopEnd, loopStart, end);
}

int cursorFor(int mode) {
    const bool left = (mode & (ControlSampleEditor::kDragStart | ControlSampleEditor::kDragLoopStart)) != 0;
    const bool right = (mode & (ControlSampleEditor::kDragEnd | ControlSampleEditor::kDragLoopEnd)) != 0;
    if (left && right)
        return kMoveBoth;
    if (left)
        return kMoveLeft;
    return right ? kMoveRight : kHand;
}

} // namespace

ControlSampleEditor::ControlSampleEditor(Editor* editor, const Rect& bounds) : ControlValue(editor, bounds) {
    clearFlags(kEditable | kShowValue);
    for (const char* name : kWatched)
        tuneIn(name);
}

ControlSampleEditor::~ControlSampleEditor() {
    for (const char* name : kWatched)
        tuneOut(name);
    giveBackSkinBitmap(getResources(), markers_);
}

void ControlSampleEditor::setOwner(const Module* module) {
    for (const char* name : kWatched)
        tuneOut(name);
    ControlValue::setOwner(module);
    for (const char* name : kWatched)
        tuneIn(name);
}

bool ControlSampleEditor::fromDictionary(const Dictionary& spec) {
    const bool read = ControlValue::fromDictionary(spec);
    std::string name;
    if (spec.getString("markers", &name)) {
        giveBackSkinBitmap(getResources(), markers_);
        markers_ = takeSkinBitmap(getResources(), name);
    }
    return read;
}

ControlSampleEditor::View ControlSampleEditor::currentView() const {
    View view;
    view.zone = SharedObjectPtr<Zone>(getCurrentZone());
    const Sample* sample = view.zone ? view.zone->getSample() : nullptr;
    if (sample != nullptr && sample->getData() != nullptr && sample->getInfo().frames > 0) {
        view.sample = sample;
        view.frames = sample->getInfo().frames;
    } else {
        view.zone.reset();
    }
    return view;
}

// ---- the view

int ControlSampleEditor::frameToPixel(std::int32_t frame) const {
    return currentView().sample != nullptr ? columnOf(frame) : -1;
}

int ControlSampleEditor::columnOf(std::int32_t frame) const {
    const int width = getLocalRect().getWidth();
    const auto span = static_cast<float>(static_cast<std::int64_t>(displayEnd_) - displayStart_);
    if (width <= 0 || !(span > 0.0f))
        return 0;
    const float framesPerPixel = span / static_cast<float>(width);
    const float column =
        static_cast<float>(static_cast<std::int64_t>(frame) - displayStart_) / framesPerPixel;
    return static_cast<int>(std::nearbyint(std::clamp(column, -kFarColumn, kFarColumn)));
}

ControlSampleEditor::Columns ControlSampleEditor::columnsOf(const Zone& zone) const {
    const Zone::Loop loop = zone.getLoop();
    return {columnOf(zone.getParameterLong("SampleStart")), columnOf(zone.getParameterLong("SampleEnd")),
            columnOf(loop.start), columnOf(loop.end)};
}

void ControlSampleEditor::clampView() {
    const View view = currentView();
    if (view.sample == nullptr)
        return;
    shiftView(0, 0, view);
}

// The start first, so that a sample narrower than the control still shows from its first frame.
void ControlSampleEditor::shiftView(std::int64_t startBy, std::int64_t endBy, const View& view) {
    const std::int64_t frames = view.frames;
    const std::int64_t width = std::max(getLocalRect().getWidth(), 0);
    std::int64_t start = displayStart_ + startBy;
    std::int64_t end = displayEnd_ + endBy;
    start = std::max<std::int64_t>(std::min(start, frames - width - 1), 0);
    end = std::max(std::min(end, frames - 1), width);
    end = std::max(end, start + width);
    displayStart_ = toFrame(start);
    displayEnd_ = toFrame(end);
}

void ControlSampleEditor::loadZoneView() {
    const View view = currentView();
    if (view.sample != nullptr) {
        displayStart_ = view.zone->getParameterLong("SampleDisplayStart");
        displayEnd_ = view.zone->getParameterLong("SampleDisplayEnd");
        shiftView(0, 0, view);
        if (fixedLoopLength_ != 0) {
            const Zone::Loop loop = view.zone->getLoop();
            fixedLoopLength_ = loop.end - loop.start;
        }
    }
    invalidateCache();
}

void ControlSampleEditor::invalidateCache() {
    cacheValid_.store(false, std::memory_order_release);
    setNeedsRedraw(true);
}

// ---- events

bool ControlSampleEditor::receive(const Message& message) {
    if (message.kind == kKindParameter && message.code == Code::kParameterValue) {
        const auto* change = dynamic_cast<const ParameterMessage*>(&message);
        return (change != nullptr && receiveParameter(*change)) || ControlValue::receive(message);
    }
    const auto* window = message.kind == kKindWindow ? dynamic_cast<const WindowMessage*>(&message) : nullptr;
    if (window == nullptr)
        return ControlValue::receive(message);
    if (window->code == 3021 || window->code == 3022) {
        ZoneManager* zones = getZoneManager();
        return zones != nullptr && zones->receive(message);
    }
    applyPendingWork();
    const View view = currentView();
    if (view.sample == nullptr)
        return ControlValue::receive(message);
    switch (window->code) {
    case 3000:
    case 3003:
        return press(*window, view);
    case 3002:
    case 3005:
        return release(view);
    case 3006:
        hover(*window, view);
        return true;
    case 3009:
        return drag(*window, view);
    case 3010:
    case 3011: {
        const auto delta = static_cast<double>(static_cast<std::intptr_t>(window->extra));
        const int width = std::max(getLocalRect().getWidth(), 1);
        const std::int64_t n =
            truncatedFrames(std::nearbyint(delta * static_cast<double>(displayEnd_ - displayStart_) / width));
        shiftView(window->code == 3010 ? n : -n, n, view);
        setNeedsRedraw(true);
        return true;
    }
    default:
        return ControlValue::receive(message);
    }
}

// Any thread: flags and a recorded redraw only.
bool ControlSampleEditor::receiveParameter(const ParameterMessage& message) {
    const bool on = (message.extra & 0xFF) != 0;
    if (message.name == "SampleLoopOn" || message.name == "SampleSliced") {
        requestRedraw(true);
    } else if (message.name == "SampleLoopLengthFixed") {
        loopLengthFixed_.store(message.extra != 0, std::memory_order_release);
        fixedLengthStale_.store(true, std::memory_order_release);
        if (onUserInterfaceThread())
            applyPendingWork();
    } else if (message.name == "SampleZeroSnap") {
        zeroSnap_.store(on, std::memory_order_release);
    } else if (message.name == "SampleUnload") {
        if (message.extra != 0) {
            cacheValid_.store(false, std::memory_order_release);
            requestRedraw(true);
        }
    } else {
        return false;
    }
    return true;
}

void ControlSampleEditor::applyPendingWork() {
    if (!fixedLengthStale_.exchange(false, std::memory_order_acq_rel))
        return;
    fixedLoopLength_ = 0;
    if (loopLengthFixed_.load(std::memory_order_acquire))
        if (const SharedObjectPtr<Zone> zone(getCurrentZone()); zone) {
            const Zone::Loop loop = zone->getLoop();
            fixedLoopLength_ = loop.end - loop.start;
        }
}

bool ControlSampleEditor::press(const WindowMessage& message, const View& view) {
    if (testFlags(kEditable) == 0) {
        setNeedsRedraw(true);
        return false;
    }
    lastMouse_ = message.where;
    dragMode_ = 0;
    if (isKeyDown(kKeyControl)) {
        displayStart_ = 0;
        displayEnd_ = view.frames - 1;
        shiftView(0, 0, view);
    } else {
        const Columns columns = columnsOf(*view.zone);
        const int x = message.where.x;
        const int reach = getGrabTolerance();
        const bool inLoop =
            view.zone->getLoop().mode != Zone::kLoopOff && x >= columns.loopStart && x <= columns.loopEnd;
        if (!inLoop) {
            dragMode_ |= x < columns.start + reach ? kDragStart : 0;
            dragMode_ |= x > columns.end - reach ? kDragEnd : 0;
        } else {
            dragMode_ |= x < columns.loopStart + reach ? kDragLoopStart : 0;
            dragMode_ |= x > columns.loopEnd - reach ? kDragLoopEnd : 0;
        }
        if (dragMode_ == 0)
            dragMode_ = kDragView;
        setCursor(cursorFor(dragMode_));
    }
    setNeedsRedraw(true);
    return true;
}

bool ControlSampleEditor::release(const View& view) {
    if (zeroSnap_.load(std::memory_order_acquire) && (dragMode_ & ~kDragView) != 0) {
        Zone& zone = *view.zone;
        std::int64_t start = zone.getParameterLong("SampleStart");
        std::int64_t end = zone.getParameterLong("SampleEnd");
        Zone::Loop loop = zone.getLoop();
        std::int64_t loopStart = loop.start;
        std::int64_t loopEnd = loop.end;
        const auto snap = [&](int bit, std::int64_t& frame) {
            if ((dragMode_ & bit) != 0)
                frame = view.sample->findZeroCrossing(toFrame(frame));
        };
        snap(kDragStart, start);
        snap(kDragEnd, end);
        snap(kDragLoopStart, loopStart);
        snap(kDragLoopEnd, loopEnd);
        orderPoints(start, end, loopStart, loopEnd, view.frames);
        zone.setParameterLong("SampleStart", toFrame(start), Sender::kEditor);
        zone.setParameterLong("SampleEnd", toFrame(end), Sender::kEditor);
        loop.start = toFrame(loopStart);
        loop.end = toFrame(loopEnd);
        zone.activate(loop);
        setNeedsRedraw(true);
    }
    lastMouse_ = Point();
    dragMode_ = 0;
    setCursor(kArrow);
    return true;
}

void ControlSampleEditor::hover(const WindowMessage& message, const View& view) {
    const Columns columns = columnsOf(*view.zone);
    const int x = message.where.x;
    int left = columns.start;
    int right = columns.end;
    if (view.zone->getParameterBool("SampleLoopOn") && x >= columns.loopStart && x <= columns.loopEnd) {
        left = columns.loopStart;
        right = columns.loopEnd;
    }
    const int reach = getGrabTolerance();
    setCursor(x < left + reach ? kMoveLeft : (x > right - reach ? kMoveRight : kHand));
}

void ControlSampleEditor::dragFileOut(const Zone& zone) {
    const Resources* resources = getResources();
    const File file = resources != nullptr ? resources->getSampleFile(zone.getSampleName()) : File();
    if (!file.getName().empty())
        dragSource_.dragFile(file);
}

// Points dragged past each other keep start <= loop start <= loop end <= end.
bool ControlSampleEditor::drag(const WindowMessage& message, const View& view) {
    if (testFlags(kEditable) == 0)
        return false;
    Zone& zone = *view.zone;
    if (isKeyDown(kKeyAlt)) {
        dragFileOut(zone);
        return true;
    }
    const int width = std::max(getLocalRect().getWidth(), 1);
    float dx = static_cast<float>(message.where.x - lastMouse_.x);
    float dy = static_cast<float>(message.where.y - lastMouse_.y);
    if (isKeyDown(kKeyShift)) {
        dx *= kFineDrag;
        dy *= kFineDrag;
    }
    const auto framesPerPixel = static_cast<float>(displayEnd_ - displayStart_) / static_cast<float>(width);
    // Rightwards and upwards move a point right; rightwards and downwards move an end right.
    const std::int64_t leftStep = truncatedFrames((dx - dy) * framesPerPixel);
    const std::int64_t rightStep = truncatedFrames((dy + dx) * framesPerPixel);
    const std::int32_t frames = view.frames;
    std::int64_t start = zone.getParameterLong("SampleStart");
    std::int64_t end = zone.getParameterLong("SampleEnd");
    Zone::Loop loop = zone.getLoop();
    std::int64_t loopStart = loop.start;
    std::int64_t loopEnd = loop.end;
    std::int64_t shownStart = displayStart_;
    std::int64_t shownEnd = displayEnd_;

    if ((dragMode_ & kDragView) != 0) {
        shiftView(-leftStep, -rightStep, view);
        shownStart = displayStart_;
        shownEnd = displayEnd_;
    }
    const auto gap = static_cast<std::int64_t>(
        std::nearbyint(static_cast<double>(shownEnd - shownStart) * kGapPixels / width));
    const std::int64_t fixed = fixedLoopLength_;
    if ((dragMode_ & kDragStart) != 0) {
        start = std::max<std::int64_t>(start + leftStep, 0);
        shownStart = std::min(shownStart, start);
        if (start > end - gap)
            end += leftStep;
        loopStart = std::max(loopStart, start);
        if (loopStart > loopEnd - gap)
            loopEnd += leftStep;
    }
    if ((dragMode_ & kDragEnd) != 0) {
        end = std::min<std::int64_t>(end + rightStep, frames);
        shownEnd = std::max(shownEnd, end);
        if (end < start + gap)
            start += rightStep;
        loopEnd = std::min(loopEnd, end);
        if (loopEnd < loopStart + gap)
            loopStart += rightStep;
    }
    if ((dragMode_ & kDragLoopStart) != 0) {
        loopStart = std::max(loopStart + leftStep, start);
        if (loopStart > loopEnd - gap)
            loopEnd += leftStep;
        if (fixed != 0)
            loopEnd = loopStart + fixed;
    }
    if ((dragMode_ & kDragLoopEnd) != 0) {
        loopEnd = std::min(loopEnd + rightStep, end);
        if (loopEnd < loopStart + gap)
            loopStart += rightStep;
        if (fixed != 0)
            loopStart = loopEnd - fixed;
    }
    // Shifted back whole, so that a dragged pair keeps its distance at the sample's ends.
    if (start < 0) {
        end -= start;
        start = 0;
    }
    if (end > frames - 1) {
        start += frames - end - 1;
        end = frames - 1;
    }
    if (loopStart < 0) {
        loopEnd -= loopStart;
        loopStart = 0;
    }
    if (loopEnd > end) {
        loopStart -= loopEnd - end;
        loopEnd = end;
    }
    orderPoints(start, end, loopStart, loopEnd, frames);
    displayStart_ = toFrame(shownStart);
    displayEnd_ = toFrame(shownEnd);
    shiftView(0, 0, view);

    zone.setParameterLong("SampleStart", toFrame(start), Sender::kEditor);
    zone.setParameterLong("SampleEnd", toFrame(end), Sender::kEditor);
    zone.setParameterLong("SampleDisplayStart", displayStart_, Sender::kEditor);
    zone.setParameterLong("SampleDisplayEnd", displayEnd_, Sender::kEditor);
    loop.start = toFrame(loopStart);
    loop.end = toFrame(loopEnd);
    zone.activate(loop);
    lastMouse_ = message.where;
    // The waveform's columns are kept while the view and the sample stay (the cache is keyed by both, and
    // a processed sample is always a new copy): a point dragged over a long sample redraws from them.
    setNeedsRedraw(true);
    return true;
}

} // namespace trov
