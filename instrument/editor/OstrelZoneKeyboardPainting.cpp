// Drawing the zone keyboard: every zone's band over the keys (a stretched marker skin, or a dotted line
// without one), its sample's name, and the current zone's root-note strip.
#include "engine/zones/Zone.h"
#include "engine/zones/ZoneManager.h"
#include "framework/File.h"
#include "framework/Font.h"
#include "framework/StringUtils.h"
#include "gui/Bitmap.h"
#include "gui/Canvas.h"
#include "gui/controls/ControlKeyboard.h"
#include "instrument/editor/OstrelZoneKeyboard.h"
#include "plugin/PluginInfo.h"

#include <algorithm>

namespace trov {

namespace {

const Color kLabelShadow(64, 64, 64, 255);
const Color kOtherZonePen(220, 220, 220, 255);
constexpr int kLeftMiddle = Font::kAlignLeft | Font::kAlignMiddle;
constexpr int kLeftTop = Font::kAlignLeft | Font::kAlignTop;
// Marker frames: one without and one with a sample file, each followed by its current look.
constexpr int kFileFrame = 2;
constexpr int kCurrentFrame = 1;
// The height of the dotted line drawn without a marker, above the band's bottom.
constexpr int kDotsHeight = 2;
constexpr float kBandTransparency = 0.5f;
constexpr int kRootStripHeight = 2;

// Rectangles of (left, top, width, height).
Rect box(int left, int top, int width, int height) {
    return Rect(left, top, width, height);
}

} // namespace

// The caps keep their 6 columns; the middle takes the band's own columns of the marker.
void OstrelZoneKeyboard::paintMarker(Canvas& canvas, const Rect& source, const Rect& band) const {
    if (band.isEmpty())
        return;
    const int height = source.getHeight();
    canvas.drawBitmap(marker_, box(0, source.top, kCapWidth, height),
                      box(band.left, band.top, kCapWidth, band.getHeight()));
    canvas.drawBitmap(
        marker_, box(band.left + kCapWidth, source.top, band.getWidth() - 2 * kCapWidth, height),
        box(band.left + kCapWidth, band.top, band.getWidth() - 2 * kCapWidth, band.getHeight()));
    canvas.drawBitmap(marker_, box(source.right - kCapWidth, source.top, kCapWidth, height),
                      box(band.right - kCapWidth, band.top, kCapWidth, band.getHeight()));
}

void OstrelZoneKeyboard::paintLabel(Canvas& canvas, const std::string& label, const Rect& slice,
                                    bool current) const {
    const int width = std::min(canvas.measureText(label).getWidth(), slice.getWidth());
    Rect r = slice;
    r.left = slice.left + (slice.getWidth() - width) / 2;
    r.right = r.left + width;
    const auto drawAt = [&](int dx, int dy, const Color& colour) {
        canvas.setTextColor(colour);
        canvas.drawText(label, r + Point(dx, dy), kLeftMiddle);
    };
    if (!current) {
        drawAt(1, 0, colorWhite);
        return;
    }
    for (const Point& shadow : {Point(-1, -1), Point(1, -1), Point(1, 1), Point(-1, 1)})
        drawAt(shadow.x, shadow.y, kLabelShadow);
    drawAt(0, 0, colorWhite);
}

void OstrelZoneKeyboard::paint(Canvas& canvas, const Rect& /*area*/) {
    const ZoneManager* zones = getZoneManager();
    const int count = zones != nullptr ? zones->getZoneCount() : 0;
    if (count == 0 && keyboard_ != nullptr)
        keyboard_->setSelectedRange(KeyRange(0, -1));
    if (const PluginInfo* info = getPluginInfo())
        if (const Font* font = info->getFont(0))
            canvas.setFont(*font);
    const int currentIndex = zones != nullptr ? zones->getCurrentZoneIndex() : kNoZone;
    for (int i = 0; i < count; ++i) {
        const SharedObjectPtr<Zone> zone(zones->getZone(i));
        if (!zone)
            continue;
        const bool current = i == currentIndex;
        const std::string fileName = sampleFileName(*zone);
        const Color& colour = current ? colorZoneOn_ : colorZoneOff_;
        if (marker_ != nullptr) {
            const Rect source =
                marker_->getFrame((fileName.empty() ? 0 : kFileFrame) + (current ? kCurrentFrame : 0));
            canvas.pushTransparency(kBandTransparency);
            paintMarker(canvas, source, getZoneRect(i));
            canvas.popTransparency();
            const Rect slice = getSliceRect(i);
            canvas.pushTransparency(fileName.empty() ? kBandTransparency : 1.0f);
            paintMarker(canvas, source, slice);
            canvas.popTransparency();
            if (!fileName.empty() && !slice.isEmpty())
                paintLabel(canvas, toUpperCase(File(fileName).getBaseName()), slice, current);
        } else if (const Rect band = getZoneRect(i); !band.isEmpty()) {
            canvas.setPenColor(current ? colour : kOtherZonePen);
            canvas.setBrushColor(colour);
            for (int x = band.left | 1; x <= band.right; x += 2) {
                canvas.moveTo(Point(x, band.bottom - 1));
                canvas.lineTo(Point(x, band.bottom - 1 - kDotsHeight));
            }
            canvas.setTextColor(colorWhite);
            canvas.drawText(fileName, Rect(band.getTopLeft(), Point(band.right, band.bottom - kDotsHeight)),
                            kLeftTop);
        }
        const int root = getRootNote();
        if (current && keyboard_ != nullptr && root != 0)
            if (const Rect key = keyboard_->getKeyRect(root); !key.isEmpty()) {
                const Rect keys = keyboard_->getRect();
                canvas.setBrushColor(colour);
                canvas.fillRect(
                    Rect(Point(key.left, keys.bottom - kRootStripHeight), Point(key.right, keys.bottom)));
            }
    }
}

} // namespace trov
