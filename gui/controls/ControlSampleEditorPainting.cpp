// Drawing the sample editor: centre line, loop and slice hatching, the waveform from its column cache,
// the start and end markers and the frame.
#include "gui/controls/ControlSampleEditor.h"

#include "gui/Bitmap.h"
#include "gui/Canvas.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace trov {

namespace {

const Color kCentreLine(60, 80, 100);
const Color kLoopFrom(200, 100, 35);
const Color kLoopTo(255, 200, 0);
const Color kSliceHatch(100, 100, 100);
constexpr std::uint16_t kOutsideDarkening = 160;
// Rows far outside the control are held here, so that conversions stay defined.
constexpr double kFarRow = 1 << 20;

// The row of a sample value, 1.0 at the top, 0.0 on the centre line.
int rowOf(float value, int mid) {
    return static_cast<int>(
        std::clamp(std::trunc((1.0 - static_cast<double>(value)) * mid), -kFarRow, kFarRow));
}

using Extremes = std::pair<float, float>;

// The least and the greatest of 0 and the values, values that are no number left out. Eight running
// extremes side by side, so that the compiler can keep them in vector registers.
Extremes extremes(const float* values, std::int64_t count) {
    constexpr int kLanes = 8;
    std::array<float, kLanes> low{};
    std::array<float, kLanes> high{};
    std::int64_t i = 0;
    for (; i + kLanes <= count; i += kLanes)
        for (int k = 0; k < kLanes; ++k) {
            const float v = values[i + k];
            // Not finite counts as 0, which lies between the extremes anyway.
            const float f = v - v == 0.0f ? v : 0.0f;
            low[static_cast<std::size_t>(k)] =
                f < low[static_cast<std::size_t>(k)] ? f : low[static_cast<std::size_t>(k)];
            high[static_cast<std::size_t>(k)] =
                f > high[static_cast<std::size_t>(k)] ? f : high[static_cast<std::size_t>(k)];
        }
    float lowest = 0.0f;
    float highest = 0.0f;
    for (int k = 0; k < kLanes; ++k) {
        lowest = std::min(lowest, low[static_cast<std::size_t>(k)]);
        highest = std::max(highest, high[static_cast<std::size_t>(k)]);
    }
    for (; i < count; ++i)
        if (const float v = values[i]; std::isfinite(v)) {
            lowest = std::min(lowest, v);
            highest = std::max(highest, v);
        }
    return {lowest, highest};
}

void verticalLine(Canvas& canvas, int x, int top, int bottom) {
    canvas.moveTo(Point(x, top));
    canvas.lineTo(Point(x, bottom));
}

} // namespace

bool ControlSampleEditor::cacheMatches(const View& view, int width) const {
    return cacheValid_.load(std::memory_order_acquire) && cachedSample_ == view.sample &&
           cachedData_ == view.sample->getData() && cachedFrames_ == view.frames &&
           cachedStart_ == displayStart_ && cachedEnd_ == displayEnd_ && cachedWidth_ == width &&
           cache_.size() == static_cast<std::size_t>(width);
}

// The whole width at once: a repaint of a few columns after a change of view would otherwise leave the
// other columns of a cache marked valid with nothing in them.
void ControlSampleEditor::rebuildCache(const View& view, int width) {
    cache_.assign(static_cast<std::size_t>(width), {0.0f, 0.0f});
    const float framesPerPixel = static_cast<float>(displayEnd_ - displayStart_) / static_cast<float>(width);
    // Every drawn column stands for its own frames and those of the undrawn column after it.
    const auto reach = static_cast<std::int64_t>(2.0f * std::floor(framesPerPixel));
    const float* data = view.sample->getData();
    const std::int64_t frames = view.frames;
    // Only odd columns are drawn, and each reads its own frames and the next column's: the even ones
    // keep (0, 0), so every frame is read once.
    for (int x = 1; x < width; x += 2) {
        const std::int64_t first =
            displayStart_ + static_cast<std::int64_t>(static_cast<float>(x) * framesPerPixel);
        const std::int64_t last = std::min(first + reach, frames);
        const std::int64_t from = std::max<std::int64_t>(first, 0);
        cache_[static_cast<std::size_t>(x)] = from < last ? extremes(data + from, last - from) : Extremes{};
    }
    cachedSample_ = view.sample;
    cachedData_ = data;
    cachedFrames_ = view.frames;
    cachedStart_ = displayStart_;
    cachedEnd_ = displayEnd_;
    cachedWidth_ = width;
    cacheValid_.store(true, std::memory_order_release);
    ++cacheBuilds_;
}

void ControlSampleEditor::paint(Canvas& canvas, const Rect& area) {
    applyPendingWork();
    const Rect local = getLocalRect();
    const int width = local.getWidth();
    const int height = local.getHeight();
    const int mid = height / 2;
    const View view = currentView();
    if (view.sample != nullptr && displayEnd_ != displayStart_ && width > 0) {
        const int x0 = std::max(area.left, 0);
        const int x1 = std::min({area.left + width, area.right, width});
        const float framesPerPixel =
            static_cast<float>(displayEnd_ - displayStart_) / static_cast<float>(width);
        const Zone& zone = *view.zone;
        const Columns columns = columnsOf(zone);
        const Zone::Loop loop = zone.getLoop();

        canvas.setPenColor(kCentreLine);
        canvas.moveTo(Point(0, mid));
        canvas.lineTo(Point(width, mid));

        if (loop.mode != Zone::kLoopOff)
            for (int x = std::max(x0, columns.loopStart) | 1; x <= std::min(x1, columns.loopEnd); x += 2) {
                Color hatch = kLoopFrom;
                hatch.blend(kLoopTo, static_cast<float>(x) / static_cast<float>(width));
                canvas.setPenColor(hatch);
                verticalLine(canvas, x, 0, height);
            }

        std::vector<Zone::Slice> slices;
        if (zone.getParameterBool("SampleSliced"))
            for (int i = 0; i < zone.getSliceCount(); ++i)
                slices.push_back(zone.getSlice(i));
        std::size_t slice = 0;
        bool shaded = false;
        // The shading alternates from slice to slice counted from the first column, whatever is repainted.
        const auto passSliceEnds = [&](int x) {
            if (slice < slices.size() &&
                static_cast<float>(x) * framesPerPixel + static_cast<float>(displayStart_) >=
                    static_cast<float>(slices[slice].end)) {
                shaded = !shaded;
                ++slice;
            }
        };
        for (int x = 0; x < x0; ++x)
            passSliceEnds(x);

        if (!cacheMatches(view, width))
            rebuildCache(view, width);
        Color outside = colorWhite;
        outside.darken(kOutsideDarkening);
        for (int x = x0; x < x1; ++x) {
            const auto [low, high] = cache_[static_cast<std::size_t>(x)];
            passSliceEnds(x);
            if ((x & 1) == 0)
                continue;
            if (shaded) {
                canvas.setPenColor(kSliceHatch);
                verticalLine(canvas, x + 1, 0, height);
            }
            canvas.setPenColor(x < columns.start || x > columns.end ? outside : colorWhite);
            verticalLine(canvas, x + 1, rowOf(high, mid), rowOf(low, mid));
        }

        if (markers_ != nullptr) {
            const Rect frame = markers_->getFrameRect();
            Rect at = frame;
            at.offset(columns.start + 1, 0);
            canvas.drawBitmap(markers_, frame, at);
            at.offset(columns.end - columns.start - frame.getWidth() - 2, 0);
            Rect second = frame;
            second.offset(frame.getWidth(), 0);
            canvas.drawBitmap(markers_, second, at);
        }
    }
    canvas.setPenColor(colorBlack);
    canvas.frameRect(local);
}

} // namespace trov
