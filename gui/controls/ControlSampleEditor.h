#pragma once

#include "engine/samples/Sample.h"
#include "engine/zones/Zone.h"
#include "gui/DragDrop.h"
#include "gui/controls/ControlValue.h"

#include <atomic>
#include <cstdint>
#include <utility>
#include <vector>

namespace trov {

// Shows the waveform of the current zone's sample between two display frames and lets the user move the
// zone's start and end points and its loop points with the mouse, pan and zoom the view (drag on the
// waveform, wheel, Control-click for the whole sample), snap edited points to zero crossings, and drag
// the sample file out of the editor (Alt-drag). It reads and writes the current zone's values by name
// ("SampleStart", "SampleEnd", "SampleDisplayStart", "SampleDisplayEnd") and its loop. The waveform's
// per-column extremes are cached for the display range, width and sample they were taken from.
//
// The instrument's sample editor derives from it and calls `loadZoneView` when the current zone changes.
// Owned by its parent. Threads: painted and fed with window events on the user-interface thread; the
// notifications it listens to ("SampleLoopOn", "SampleLoopLengthFixed", "SampleZeroSnap",
// "SampleSliced", "SampleUnload") may come from any thread and only set flags and record a redraw.
class ControlSampleEditor : public ControlValue {
public:
    // Drag modes, a bit set.
    static constexpr int kDragStart = 1;
    static constexpr int kDragEnd = 2;
    static constexpr int kDragLoopStart = 4;
    static constexpr int kDragLoopEnd = 8;
    static constexpr int kDragView = 16;
    // How near (in pixels) a press must come to a point to grab it, until someone sets another value.
    static constexpr int kDefaultGrabTolerance = 10;
    // The least distance kept between start and end, and between the loop points, in pixels' worth of
    // frames.
    static constexpr double kGapPixels = 24.0;

    ControlSampleEditor(Editor* editor, const Rect& bounds);
    ~ControlSampleEditor() override;

    bool receive(const Message& message) override;
    // The value control's keys, then "markers": the bitmap whose frames 0 and 1 mark start and end.
    bool fromDictionary(const Dictionary& spec) override;
    Parameter* getParameter() const override { return nullptr; }
    void paint(Canvas& canvas, const Rect& area) override;
    void setOwner(const Module* module) override;

    // The pixel column of a frame in the present view; -1 without a current sample, 0 while the view has
    // no width.
    int frameToPixel(std::int32_t frame) const;
    // Keeps the display range inside the sample, at least one frame per pixel wide.
    void clampView();
    // The current zone's saved view, clamped; its loop's length when the loop's length is fixed.
    void loadZoneView();
    void invalidateCache();

    std::int32_t getDisplayStart() const { return displayStart_; }
    std::int32_t getDisplayEnd() const { return displayEnd_; }
    int getDragMode() const { return dragMode_; }
    std::int32_t getFixedLoopLength() const { return fixedLoopLength_; }
    // One grab tolerance serves every sample editor: a thumbnail that magnifies its input widens it for
    // all of them and a full-size one narrows it again. Any thread.
    static int getGrabTolerance() noexcept { return grabTolerance_.load(std::memory_order_relaxed); }
    static void setGrabTolerance(int pixels) noexcept {
        grabTolerance_.store(pixels, std::memory_order_relaxed);
    }
    // How many times the waveform's extremes were taken from the sample (for tests and benchmarks).
    int getCacheBuilds() const { return cacheBuilds_; }

protected:
    // The current zone's sample as this control reads it: the zone held, its sample and frame count.
    struct View {
        SharedObjectPtr<Zone> zone;
        const Sample* sample = nullptr;
        std::int32_t frames = 0;
    };
    // A zone with a sample that has frames, or an empty view.
    View currentView() const;

private:
    struct Columns {
        int start = -1; // of the start and end points
        int end = -1;
        int loopStart = -1;
        int loopEnd = -1;
    };
    Columns columnsOf(const Zone& zone) const;
    int columnOf(std::int32_t frame) const;

    bool receiveParameter(const ParameterMessage& message);
    // What a notification on another thread left for the user-interface thread.
    void applyPendingWork();
    bool press(const WindowMessage& message, const View& view);
    bool release(const View& view);
    void hover(const WindowMessage& message, const View& view);
    bool drag(const WindowMessage& message, const View& view);
    void dragFileOut(const Zone& zone);
    // Moves the display's ends by the given frames, then clamps the view.
    void shiftView(std::int64_t startBy, std::int64_t endBy, const View& view);

    void rebuildCache(const View& view, int width);
    bool cacheMatches(const View& view, int width) const;

    Bitmap* markers_ = nullptr;
    Point lastMouse_;
    std::int32_t fixedLoopLength_ = 0;
    std::atomic<bool> loopLengthFixed_{false};
    std::atomic<bool> fixedLengthStale_{false};
    std::atomic<bool> zeroSnap_{false};
    std::int32_t displayStart_ = 0;
    std::int32_t displayEnd_ = 0;
    int dragMode_ = 0;
    static inline std::atomic<int> grabTolerance_{kDefaultGrabTolerance};

    // The waveform's (minimum, maximum) per pixel column, for the key below.
    std::vector<std::pair<float, float>> cache_;
    std::atomic<bool> cacheValid_{false};
    std::int32_t cachedStart_ = -1;
    std::int32_t cachedEnd_ = -1;
    int cachedWidth_ = -1;
    const Sample* cachedSample_ = nullptr;
    const float* cachedData_ = nullptr;
    std::int32_t cachedFrames_ = -1;
    int cacheBuilds_ = 0;

    DragDropSource dragSource_;
};

} // namespace trov
