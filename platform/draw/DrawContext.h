#pragma once

#include "platform/NativeRect.h"
#include "platform/draw/FontCache.h"
#include "platform/draw/Pixel.h"
#include "platform/draw/Surface.h"

#include <memory>
#include <string_view>
#include <vector>

namespace trov::platform::draw {

struct DrawPoint {
    std::int32_t x = 0;
    std::int32_t y = 0;
};

enum class BackgroundMode { Transparent, Opaque };

// drawText format bits.
enum TextFormat : unsigned {
    kTextLeft = 0,
    kTextCenter = 1,
    kTextRight = 2,
    // Measure only: the rectangle's right and bottom become left + widest line and top + all lines.
    kTextCalcRect = 0x400,
};

// A drawing context: the state that drawing on one surface goes through, after the window system's device
// contexts. Coordinates given to drawing calls are logical; a pixel lands at logical + origin on the surface.
// The clip rectangle is given in surface pixels whatever the origin (as a device clip region), and
// `getClipBox` answers it in logical coordinates. A context without a surface draws nothing but still
// measures text (a "screen" or empty memory context).
//
// Raster rules are the window system's integer ones: rectangles and fills leave out their right and bottom
// edges, lines leave out their end pixel, ellipses, arcs and pies fit their box less one pixel on the right
// and bottom. Pens are one pixel wide. Everything is deterministic: the same calls give the same pixels.
//
// One thread at a time (the user-interface thread); no locks.
class DrawContext {
public:
    DrawContext() = default;
    explicit DrawContext(std::shared_ptr<Surface> surface);
    DrawContext(const DrawContext&) = delete;
    DrawContext& operator=(const DrawContext&) = delete;

    // Selects the surface drawn on (a bitmap into a memory context); returns the one selected before.
    std::shared_ptr<Surface> selectSurface(std::shared_ptr<Surface> surface);
    const std::shared_ptr<Surface>& surface() const { return surface_; }

    // Saving pushes every setting below (clip, origin, pen, brush, colours, background mode, position,
    // font); restore(-1) pops the last, restore(n) for n > 0 returns to the state saved by the n-th save
    // (counting from 1), dropping the later ones. Both return false when there is no such state.
    int save();
    bool restore(int level = -1);

    void setOrigin(DrawPoint origin) { state_.origin = origin; }
    void offsetOrigin(int dx, int dy);
    DrawPoint getOrigin() const { return state_.origin; }

    // Surface pixels; the clip always also ends at the surface's edges.
    void setClip(const NativeRect& deviceRect);
    void resetClip();
    // The clip (or the whole surface), in logical coordinates.
    NativeRect getClipBox() const;

    // The context's own pen and brush colours; the null pen and brush draw no outline and no inside.
    void setPenColor(ColorRef color);
    void selectNullPen();
    ColorRef getPenColor() const { return state_.penColor; }
    void setBrushColor(ColorRef color);
    void selectNullBrush();
    ColorRef getBrushColor() const { return state_.brushColor; }
    void setTextColor(ColorRef color) { state_.textColor = color; }
    ColorRef getTextColor() const { return state_.textColor; }
    void setBkColor(ColorRef color) { state_.bkColor = color; }
    ColorRef getBkColor() const { return state_.bkColor; }
    void setBkMode(BackgroundMode mode) { state_.bkMode = mode; }
    BackgroundMode getBkMode() const { return state_.bkMode; }
    void setFont(const FontSpec& font) { state_.font = font; }
    const FontSpec& getFont() const { return state_.font; }

    void setPixel(int x, int y, ColorRef color);
    // The surface's premultiplied pixel at a logical point (transparent black outside).
    Pixel getPixel(int x, int y) const;

    void moveTo(int x, int y);
    DrawPoint getPosition() const { return state_.position; }
    // A line in the pen from the current position up to, not including, (x, y), which becomes the position.
    void lineTo(int x, int y);

    void fillRect(const NativeRect& r, ColorRef color);
    // A one-pixel frame just inside r.
    void frameRect(const NativeRect& r, ColorRef color);
    // Outline in the pen, inside in the brush.
    void rectangle(const NativeRect& r);
    void ellipse(const NativeRect& r);
    // The ellipse's outline, counter-clockwise on the screen from where the ray from its centre through
    // start meets it to where the ray through end does (the whole outline when both rays are one).
    void arc(const NativeRect& r, DrawPoint start, DrawPoint end);
    // The arc closed by two lines to the centre, inside in the brush.
    void pie(const NativeRect& r, DrawPoint start, DrawPoint end);

    // Copies at one size from a surface (its own pixels) or another context (its logical coordinates).
    void bitBlt(const NativeRect& to, const Surface& source, DrawPoint from);
    void bitBlt(const NativeRect& to, const DrawContext& source, DrawPoint from);
    // Resamples by area averaging (the halftone stretch).
    void stretchBlt(const NativeRect& to, const Surface& source, const NativeRect& from);
    void stretchBlt(const NativeRect& to, const DrawContext& source, const NativeRect& from);
    // Blends the source over, with a constant alpha and, with sourceAlpha, the source's premultiplied
    // alpha; stretched as by stretchBlt. False when the source rectangle leaves the source surface.
    bool alphaBlend(const NativeRect& to, const Surface& source, const NativeRect& from,
                    std::uint8_t constantAlpha, bool sourceAlpha);
    bool alphaBlend(const NativeRect& to, const DrawContext& source, const NativeRect& from,
                    std::uint8_t constantAlpha, bool sourceAlpha);

    // Draws text in the font and text colour into r, clipped to r: lines break at "\n", "\r\n" and "\r" (a
    // break at the very end starts no further line), each line is aligned on its own, lines follow each other
    // at the font's cell height from r's top; "&" is drawn as itself. With the opaque background mode each
    // line's cell is first filled with the background colour. With kTextCalcRect nothing is drawn and r
    // becomes (left, top, left + widest line, top + all lines). Returns the height of all lines.
    int drawText(std::string_view text, NativeRect& r, unsigned format);

private:
    struct State {
        NativeRect clip{};
        bool clipped = false;
        DrawPoint origin{};
        ColorRef penColor = 0;
        bool nullPen = false;
        ColorRef brushColor = 0xFFFFFF;
        bool nullBrush = false;
        ColorRef textColor = 0;
        ColorRef bkColor = 0xFFFFFF;
        BackgroundMode bkMode = BackgroundMode::Opaque;
        DrawPoint position{};
        FontSpec font;
    };

    // The clip in surface pixels, within the surface.
    NativeRect deviceClip() const;
    NativeRect toDevice(const NativeRect& r) const;
    // Plots one surface pixel inside clip.
    void plot(int x, int y, Pixel p, const NativeRect& clip) {
        if (x >= clip.left && x < clip.right && y >= clip.top && y < clip.bottom)
            surface_->row(y)[x] = p;
    }
    void fillDevice(const NativeRect& r, Pixel p, const NativeRect& clip);
    // The ellipse of the box less one: its pixels by row ([left, right) spans), in surface pixels.
    void ellipseShape(const NativeRect& deviceBox, DrawPoint start, DrawPoint end, int kind);

    std::shared_ptr<Surface> surface_;
    State state_;
    std::vector<State> saved_;
};

} // namespace trov::platform::draw
