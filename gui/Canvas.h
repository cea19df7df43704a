#pragma once

#include "framework/Color.h"
#include "framework/Font.h"
#include "framework/Point.h"
#include "framework/Rect.h"
#include "platform/WindowHandle.h"

#include <memory>
#include <string>
#include <vector>

namespace trov {

namespace platform::draw {
class DrawContext;
class Surface;
} // namespace platform::draw

class Bitmap;
class CanvasWindow;

// The drawing surface of the editor and its controls: text in a `Font`, skin bitmaps with per-pixel alpha
// and a canvas-wide transparency, text set from bitmap glyphs, lines, arcs, ellipses, pies, filled and
// framed rectangles, a clip rectangle, a movable origin, and copies between canvases. It draws through a
// drawing context of the platform's drawing layer: straight onto a window, into a back buffer that `end`
// copies to the window, or into a memory image that snapshots part of another canvas (to fade a drawing in
// and out).
//
// Pen, brush and text colours, the clip and the origin belong to the current context (the back buffer
// while double-buffered, else the drawing context), so they are set after `begin`. The clip is given in
// surface pixels whatever the origin; `getClip` answers in the origin's coordinates.
//
// The editor owns one window canvas; controls make short-lived memory canvases while painting.
// User-interface thread only; no locks.
class Canvas {
public:
    // Text flags: horizontal bits 0-2 and vertical bits 3-5 as in `Font` alignments (each group, when
    // empty, taken from the font), and no smoothing.
    static constexpr int kNoSmoothing = Font::kNoSmoothing;

    // A window canvas without a surface yet: `attachWindow` gives it its window.
    Canvas(int width, int height);
    // A window canvas drawing through a context the window system hands over (a paint, an owner-drawn
    // menu item, the text-entry box); a null context is fetched at each `begin`.
    Canvas(const CanvasWindow* window, platform::draw::DrawContext* context);
    // A memory canvas over r of parent: drawing at r's coordinates lands in its own image, which starts as
    // a copy of what lies under r on parent.
    Canvas(Canvas& parent, const Rect& r);
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    virtual ~Canvas();

    // Starts a drawing pass over the update rectangle: transparency 1.0 (pushed), the clip set to it, the
    // back buffer (made on the first double-buffered pass) erased over it. Without a context to draw on it
    // logs "Canvas failed to acquire drawing port" and the pass draws nothing.
    virtual void begin(const Rect& update, bool doubleBuffered);
    // Copies the back buffer's update rectangle to the window and ends the pass.
    virtual void end();
    virtual void flush() {}
    virtual void save();
    virtual void restore();
    virtual void drawText(const std::string& text, const Rect& r, int flags);
    virtual void drawBitmapText(const std::string& text, const Rect& clip, Bitmap* glyphs,
                                const std::string& alphabet);
    virtual void drawBitmap(Bitmap* bitmap, const Rect& source, const Rect& destination);
    // A one-pixel frame just inside r, in the pen colour.
    virtual void frameRect(const Rect& r);
    virtual void copyFrom(Canvas& source, const Rect& from, const Rect& to);
    // (0, 0, widest line, all lines) of the text in the canvas's font.
    virtual Rect measureText(const std::string& text);
    virtual void moveTo(const Point& p);
    // A line up to p, p included.
    virtual void lineTo(const Point& p);
    virtual void ellipse(const Rect& r);
    virtual void arc(const Rect& r, const Point& start, const Point& end);
    virtual void pie(const Rect& r, const Point& start, const Point& end);
    virtual void fillRect(const Rect& r);
    virtual void setPenColor(const Color& color);
    virtual void setBrushColor(const Color& color);
    virtual void setTextColor(const Color& color);
    // colorNone draws text on a transparent background, any other colour on an opaque one.
    virtual void setBackgroundColor(const Color& color);

    void setFont(const Font& font) { font_ = font; }
    const Font& getFont() const { return font_; }
    float getTransparency() const { return transparency_; }
    // Saves the transparency and sets t, limited to 0..1 (not multiplied with the saved one).
    void pushTransparency(float t);
    void popTransparency();
    void setClip(const Rect& r);
    void resetClip();
    Rect getClip() const;
    void offsetOrigin(const Point& p);
    Point getOrigin() const;
    void resetOrigin();
    // The bounds moved to the origin.
    Rect getSize() const { return bounds_.atOrigin(); }
    void attachWindow(const CanvasWindow* window);

    // For the window system's code: the context drawn on now (null outside a pass of a window canvas
    // without one), the window, the bounds.
    platform::draw::DrawContext* getContext() const;
    platform::WindowHandle getWindowHandle() const { return window_; }
    Rect getBounds() const { return bounds_; }

private:
    void adoptContext(platform::draw::DrawContext* context);

    platform::WindowHandle window_ = platform::kNoWindow;
    platform::draw::DrawContext* drawing_ = nullptr;
    // The drawing context when the canvas made it (a memory canvas) or fetched it for a pass.
    std::unique_ptr<platform::draw::DrawContext> ownDrawing_;
    std::unique_ptr<platform::draw::DrawContext> backContext_;
    std::shared_ptr<platform::draw::Surface> backBuffer_;
    bool releaseOnEnd_ = true;
    bool ownsContext_ = false;
    Rect bounds_;
    Rect update_;
    bool doubleBuffered_ = true;
    float transparency_ = 1.0f;
    std::vector<float> transparencies_;
    Color eraseColor_ = colorWhite;
    Color backgroundColor_ = colorNone;
    Font font_{"Arial", 12.0f, 0, 1, Font::kAlignLeft | Font::kAlignTop, 0.0f};
};

} // namespace trov
