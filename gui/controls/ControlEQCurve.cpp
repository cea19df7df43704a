#include "gui/controls/ControlEQCurve.h"

#include "engine/dsp/effects/EQ.h"
#include "framework/Dictionary.h"
#include "gui/Bitmap.h"
#include "gui/Canvas.h"
#include "gui/controls/CurveColumns.h"
#include "gui/controls/SkinBitmaps.h"
#include "plugin/ValueScaling.h"

#include <algorithm>
#include <cmath>
#include <mutex>

namespace trov {

namespace {

// Coordinates far outside any control are held here, so that conversions stay defined.
constexpr double kFar = 1 << 20;

int toPixel(double v) {
    return static_cast<int>(std::clamp(std::nearbyint(v), -kFar, kFar));
}

} // namespace

ControlEQCurve::ControlEQCurve(Editor* editor, const Rect& bounds) : ControlValue(editor, bounds) {
    clearFlags(kTextEntry);
}

ControlEQCurve::~ControlEQCurve() {
    giveBackSkinBitmap(getResources(), handle_);
}

bool ControlEQCurve::fromDictionary(const Dictionary& spec) {
    std::string name;
    if (spec.getString("handle", &name)) {
        giveBackSkinBitmap(getResources(), handle_);
        handle_ = takeSkinBitmap(getResources(), name);
    }
    return ControlValue::fromDictionary(spec);
}

void ControlEQCurve::setBand(EQ* band) {
    band_ = band;
    bandTaken_ = false;
    updateResponse();
}

void ControlEQCurve::setFrequencyRange(float lowest, float highest) {
    lowest_ = lowest;
    highest_ = highest;
    setNeedsRedraw(true);
}

void ControlEQCurve::setGainRange(const std::pair<float, float>& range) {
    if (range.first == gainRange_.first && range.second == gainRange_.second)
        return;
    gainRange_ = range;
    setNeedsRedraw(true);
}

void ControlEQCurve::updateResponse() {
    if (band_ != nullptr) {
        std::unique_lock guard(lock_, std::try_to_lock);
        if (guard.owns_lock()) {
            const auto width = static_cast<std::size_t>(std::max(getLocalRect().getWidth(), 0));
            primary_.resize(width, 0.0f);
            secondary_.resize(width, 0.0f);
            band_->fillResponse(0, primary_);
            band_->fillResponse(1, secondary_);
            bandFrequency_ = band_->getFrequency();
            // The band's own output gain scales the height of its handle.
            bandGain_ = band_->getGain() * band_->Effect::getGain();
            bandType_ = band_->getType();
            bandTaken_ = true;
        }
    }
    setNeedsRedraw(true);
}

// x on the logarithmic axis, y with 3 x the gain range's upper end at the top edge.
bool ControlEQCurve::getHandle(Point& at) const {
    if (band_ == nullptr || !bandTaken_)
        return false;
    const double f = bandFrequency_;
    const double g = gainRange_.second;
    if (!(f > 0.0 && lowest_ > 0.0f && highest_ > lowest_ && g > 0.0) || !std::isfinite(f) ||
        !std::isfinite(bandGain_) || !std::isfinite(highest_))
        return false;
    const Rect local = getLocalRect();
    const double width = local.getWidth();
    const double height = local.getHeight();
    const double x = scaleLogToLinear({lowest_, highest_}, f, {0.0, width});
    const double y = height - height * (bandGain_ / (3.0 * g) + 1.0) * 0.5;
    if (!std::isfinite(x) || !std::isfinite(y))
        return false;
    at = Point(toPixel(x), toPixel(y));
    return true;
}

bool ControlEQCurve::near(const Point& p) const {
    Point handle;
    return getHandle(handle) && p.distanceTo(handle) <= kHandleReach;
}

bool ControlEQCurve::hitTest(const Point& p) const {
    Point handle;
    return getHandle(handle) && p.distanceTo(handle) < kHandleReach;
}

bool ControlEQCurve::receive(const Message& message) {
    if (message.kind == kKindWindow && band_ != nullptr) {
        const auto* window = dynamic_cast<const WindowMessage*>(&message);
        if (window != nullptr && (window->code == 3012 || window->code == 3013)) {
            const bool hover = near(window->where);
            if (hover != hover_) {
                hover_ = hover;
                setNeedsRedraw(true);
            }
            return hover_;
        }
        if (window != nullptr && window->code == 3014) {
            hover_ = false;
            setNeedsRedraw(true);
        }
    }
    return ControlValue::receive(message);
}

void ControlEQCurve::paint(Canvas& canvas, const Rect& /*area*/) {
    const Rect local = getLocalRect();
    const float top = getTopDecibels();
    const int count = band_ != nullptr && primary_.size() >= 2 ? static_cast<int>(primary_.size()) - 1 : 0;
    paintCurveColumns(canvas, local, kOpacity, curveColor_, count, [&](int i, int middle, int& row) {
        return gainFactorRow(primary_[static_cast<std::size_t>(i) + 1], top, middle, row);
    });
    Point at;
    if (!getHandle(at))
        return;
    Rect frame = handle_ != nullptr ? handle_->getFrame(hover_ ? 1 : 0) : Rect();
    if (frame.isEmpty() && handle_ != nullptr)
        frame = handle_->getFrame(0);
    if (!frame.isEmpty()) {
        Rect place = frame.atOrigin();
        place.moveCenterTo(at);
        canvas.drawBitmap(handle_, frame, place);
        return;
    }
    const int half = hover_ ? kHoveredHandleHalf : kHandleHalf;
    canvas.setBrushColor(curveColor_);
    canvas.fillRect(Rect(Point(at.x - half, at.y - half), Point(at.x + half, at.y + half)));
}

} // namespace trov
