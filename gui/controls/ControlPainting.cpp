// Drawing a control and its subtree: what every control shares (visibility, thumbnails, opacity,
// background, children in z-order, overlay and tint, the highlight dot); the look of each class comes
// from its paintBackground and paint.
#include "gui/controls/Control.h"

#include "framework/StringUtils.h"
#include "gui/Bitmap.h"
#include "gui/Canvas.h"

#include <cmath>
#include <memory>

namespace trov {

namespace {

const Color kDropHighlightColor(255, 190, 50, 255);
constexpr float kTintOpacity = 0.5f;

std::int32_t scaled(std::int32_t v, float factor) {
    return static_cast<std::int32_t>(std::nearbyint(static_cast<float>(v) * factor));
}

} // namespace

void Control::drawDot(Canvas& canvas, const Color& color) {
    canvas.setBrushColor(color);
    canvas.ellipse(Rect(0, 0, 8, 8));
}

void Control::drawClipped(Canvas& canvas, const Rect& r) {
    draw(canvas, r.intersection(getRect()));
}

// Translucent, disabled and shrunk controls are drawn whole into a memory canvas at full opacity, which is
// then copied back at the control's opacity (a shrunk one scaled down to its thumbnail): the opacity so
// applies to everything the control draws, fills and text as well as bitmaps.
void Control::draw(Canvas& canvas, const Rect& clip) {
    if (!isVisible())
        return;
    const Rect shown = getLocalRect().intersection(clip);
    Rect r = shown;
    const bool shrunk = testFlags(kShrunk) != 0 && hasThumbnail();
    if (shrunk && thumbnailRect_.getWidth() != 0 && thumbnailRect_.getHeight() != 0) {
        const float sx =
            static_cast<float>(bounds_.getWidth()) / static_cast<float>(thumbnailRect_.getWidth());
        const float sy =
            static_cast<float>(bounds_.getHeight()) / static_cast<float>(thumbnailRect_.getHeight());
        r = Rect(Point(scaled(r.left, sx), scaled(r.top, sy)),
                 Point(scaled(r.right, sx), scaled(r.bottom, sy)));
    }
    if (r.isEmpty())
        return;
    const bool offscreen = isTranslucent() || testFlags(kEnabled) == 0 || shrunk;
    const float opacity = shrunk ? 1.0f : getTransparency();
    std::unique_ptr<Canvas> memory = offscreen ? std::make_unique<Canvas>(canvas, r) : nullptr;
    Canvas& target = offscreen ? *memory : canvas;
    // The full-size local rectangle: what the memory canvas of a shrunk control holds.
    const Rect whole = shrunk ? bounds_.atOrigin() : getLocalRect();
    const Rect destination = shrunk ? r : shown;
    target.pushTransparency(offscreen ? 1.0f : opacity);

    if (backgroundBitmap_ != nullptr) {
        target.drawBitmap(backgroundBitmap_, r, destination);
    } else if (backgroundColor_ != colorNone) {
        target.setBrushColor(backgroundColor_);
        target.fillRect(whole);
    }
    paintBackground(target, r);
    for (Control* child : children_) {
        const Rect place = child->getRect();
        if (child->clipMode_ == kClipToArea && !place.intersects(r))
            continue;
        Rect area = child->clipMode_ == kNoClip ? place : place.intersection(r);
        area -= place.getTopLeft();
        target.save();
        target.offsetOrigin(place.getTopLeft());
        child->draw(target, area);
        target.offsetOrigin(-place.getTopLeft());
        target.restore();
    }
    paint(target, r);
    if (overlayBitmap_ != nullptr) {
        target.pushTransparency(overlayAlpha_);
        target.drawBitmap(overlayBitmap_, r, destination);
        target.popTransparency();
    } else if (tintColor_ != colorNone) {
        Canvas wash(target, whole);
        wash.setBrushColor(tintColor_);
        wash.fillRect(whole);
        target.pushTransparency(kTintOpacity);
        target.copyFrom(wash, whole, whole);
        target.popTransparency();
    }
    target.popTransparency();
    if (offscreen) {
        canvas.pushTransparency(opacity);
        canvas.copyFrom(*memory, r, shown);
        canvas.popTransparency();
    }
    if (testFlags(kDropHighlight) != 0)
        drawDot(canvas, kDropHighlightColor);
    else if (highlightColor_ != colorNone)
        drawDot(canvas, highlightColor_);
    setNeedsRedraw(false);
    if (testFlags(kAnimated) != 0)
        setNeedsRedraw(true);
}

void Control::drawText(Canvas& canvas, const Rect& r, const std::string& text) {
    if (alphabetBitmap_ == nullptr) {
        canvas.drawText(text, r, 0);
        return;
    }
    const std::string& alphabet = alphabetBitmap_->getAlphabet();
    std::string shown = text;
    if (alphabet.find('A') == std::string::npos)
        shown = toLowerCase(text);
    else if (alphabet.find('a') == std::string::npos)
        shown = toUpperCase(text);
    canvas.drawBitmapText(shown, r, alphabetBitmap_, alphabet);
}

} // namespace trov
