#include "gui/Canvas.h"

#include "framework/Logger.h"
#include "gui/Bitmap.h"
#include "gui/CanvasWindow.h"
#include "platform/draw/DrawContext.h"
#include "platform/draw/WindowSurfaces.h"

#include <algorithm>
#include <cmath>

namespace trov {

namespace draw = platform::draw;

namespace {

draw::ColorRef colorRef(const Color& color) {
    return color.toCOLORREF();
}

platform::NativeRect nativeRect(const Rect& r) {
    return r.toRECT();
}

int weightOf(std::int32_t code) {
    static constexpr int kWeights[] = {300, 400, 600, 700, 900};
    return code >= 0 && code <= 4 ? kWeights[code] : 400;
}

// The platform font of a canvas font; the size, rounded to nearest (ties to even), is the cell height.
draw::FontSpec fontSpec(const Font& font, bool smooth) {
    draw::FontSpec spec;
    spec.face = font.getFace();
    spec.height = static_cast<int>(std::nearbyint(font.getSize()));
    spec.weight = weightOf(font.getWeight());
    spec.italic = (font.getStyle() & 1) != 0;
    spec.smooth = smooth;
    return spec;
}

std::uint8_t constantAlpha(float transparency) {
    return static_cast<std::uint8_t>(std::trunc(static_cast<double>(transparency) * 255.0));
}

} // namespace

Canvas::Canvas(int width, int height) : bounds_(0, 0, width, height) {}

Canvas::Canvas(const CanvasWindow* window, draw::DrawContext* context) {
    adoptContext(context);
    attachWindow(window);
}

Canvas::Canvas(Canvas& parent, const Rect& r)
    : releaseOnEnd_(true), ownsContext_(true), bounds_(r), doubleBuffered_(false) {
    ownDrawing_ = std::make_unique<draw::DrawContext>(draw::Surface::create(r.getWidth(), r.getHeight()));
    ownDrawing_->setOrigin({-r.left, -r.top});
    drawing_ = ownDrawing_.get();
    copyFrom(parent, r, r);
}

Canvas::~Canvas() = default;

void Canvas::adoptContext(draw::DrawContext* context) {
    drawing_ = context;
    releaseOnEnd_ = doubleBuffered_ = context == nullptr;
}

void Canvas::attachWindow(const CanvasWindow* window) {
    window_ = handleOf(window);
    if (window != nullptr)
        bounds_ = window->getBounds();
    transparency_ = 1.0f;
    font_ = Font("Arial", 12.0f, 0, 1, Font::kAlignLeft | Font::kAlignTop, 0.0f);
    eraseColor_ = colorWhite;
    if (drawing_ == nullptr)
        adoptContext(window != nullptr ? window->getDC() : nullptr);
}

draw::DrawContext* Canvas::getContext() const {
    return doubleBuffered_ ? backContext_.get() : drawing_;
}

void Canvas::begin(const Rect& update, bool doubleBuffered) {
    doubleBuffered_ = doubleBuffered;
    pushTransparency(1.0f);
    update_ = update;
    if (drawing_ == nullptr) {
        ownDrawing_ = draw::getWindowContext(window_);
        drawing_ = ownDrawing_.get();
        if (drawing_ == nullptr) {
            logLine(3, "Canvas failed to acquire drawing port");
            return;
        }
    }
    if (releaseOnEnd_)
        drawing_->selectNullBrush();
    drawing_->setBkColor(colorRef(eraseColor_));
    if (doubleBuffered_) {
        if (!backContext_) {
            backContext_ = std::make_unique<draw::DrawContext>();
            backBuffer_ = draw::Surface::create(bounds_.getWidth(), bounds_.getHeight());
        }
        backContext_->setBkMode(draw::BackgroundMode::Transparent);
        backContext_->setBkColor(colorRef(eraseColor_));
        backContext_->selectSurface(backBuffer_);
    }
    setClip(update);
    if (doubleBuffered_) {
        setBrushColor(eraseColor_);
        fillRect(update);
    }
}

void Canvas::end() {
    if (doubleBuffered_ && backContext_ && drawing_ != nullptr) {
        drawing_->bitBlt(nativeRect(update_), *backContext_, {update_.left, update_.top});
        backContext_->selectNullBrush();
    }
    popTransparency();
    if (releaseOnEnd_ && !ownsContext_ && drawing_ != nullptr) {
        drawing_->selectNullBrush();
        drawing_ = nullptr;
        ownDrawing_.reset();
    }
}

void Canvas::save() {
    if (auto* context = getContext())
        context->save();
}

void Canvas::restore() {
    if (auto* context = getContext())
        context->restore(-1);
}

void Canvas::drawText(const std::string& text, const Rect& r, int flags) {
    draw::DrawContext* context = getContext();
    if (context == nullptr)
        return;
    // "No smoothing" comes from the caller's flags or from the font's own alignment.
    const bool smooth = ((flags | font_.getAlignment()) & kNoSmoothing) == 0;
    const draw::FontSpec previous = context->getFont();
    context->setFont(fontSpec(font_, smooth));
    const int horizontal = (flags & 7) != 0 ? flags & 7 : font_.getAlignment() & 7;
    const int vertical = (flags & 0x38) != 0 ? flags & 0x38 : font_.getAlignment() & 0x38;
    unsigned format = draw::kTextLeft;
    if ((horizontal & Font::kAlignRight) != 0)
        format |= draw::kTextRight;
    if ((horizontal & Font::kAlignCenter) != 0)
        format |= draw::kTextCenter;
    context->setBkMode(backgroundColor_ == colorNone ? draw::BackgroundMode::Transparent
                                                     : draw::BackgroundMode::Opaque);
    platform::NativeRect measured = nativeRect(r);
    context->drawText(text, measured, format | draw::kTextCalcRect);
    const int textHeight = measured.bottom - measured.top;
    Rect out = r;
    if ((vertical & Font::kAlignMiddle) != 0)
        out.top += (r.getHeight() - textHeight) / 2;
    if ((vertical & Font::kAlignBottom) != 0)
        out.top += r.getHeight() - textHeight;
    platform::NativeRect target = nativeRect(out);
    context->drawText(text, target, format);
    context->setFont(previous);
}

Rect Canvas::measureText(const std::string& text) {
    draw::DrawContext screen;
    screen.setFont(fontSpec(font_, true));
    platform::NativeRect r{0, 0, 200, 100};
    screen.drawText(text, r, draw::kTextCalcRect);
    return Rect(Point(r.left, r.top), Point(r.right, r.bottom));
}

void Canvas::drawBitmapText(const std::string& text, const Rect& clip, Bitmap* glyphs,
                            const std::string& alphabet) {
    if (glyphs == nullptr)
        return;
    Rect pen = clip;
    for (char c : text) {
        const std::size_t index = alphabet.find(c);
        if (index == std::string::npos)
            continue;
        const Rect glyph = glyphs->getFrame(static_cast<int>(index));
        if (glyph.isEmpty())
            continue;
        pen.setSize(glyph.getWidth(), glyph.getHeight());
        if (pen.intersects(clip)) {
            pushTransparency(glyphs->getFlickerTransparency());
            drawBitmap(glyphs, glyph, pen);
            popTransparency();
        }
        pen.offset(glyph.getWidth(), 0);
    }
}

void Canvas::drawBitmap(Bitmap* bitmap, const Rect& source, const Rect& destination) {
    draw::DrawContext* context = getContext();
    if (context == nullptr || bitmap == nullptr || !bitmap->getHandle())
        return;
    const draw::Surface& image = *bitmap->getHandle();
    if (bitmap->getUseAlpha()) {
        context->alphaBlend(nativeRect(destination), image, nativeRect(source), constantAlpha(transparency_),
                            true);
        return;
    }
    // At one size, without the transparency.
    context->bitBlt(nativeRect(destination), image, {source.left, source.top});
}

void Canvas::frameRect(const Rect& r) {
    if (auto* context = getContext())
        context->frameRect(nativeRect(r), context->getPenColor());
}

void Canvas::copyFrom(Canvas& source, const Rect& from, const Rect& to) {
    draw::DrawContext* context = getContext();
    draw::DrawContext* sourceContext = source.getContext();
    if (context == nullptr || sourceContext == nullptr)
        return;
    if (transparency_ < 0.99f)
        context->alphaBlend(nativeRect(to), *sourceContext, nativeRect(from), constantAlpha(transparency_),
                            false);
    else if (from.getWidth() != to.getWidth() || from.getHeight() != to.getHeight())
        context->stretchBlt(nativeRect(to), *sourceContext, nativeRect(from));
    else
        context->bitBlt(nativeRect(to), *sourceContext, {from.left, from.top});
}

void Canvas::moveTo(const Point& p) {
    if (auto* context = getContext())
        context->moveTo(p.x, p.y);
}

void Canvas::lineTo(const Point& p) {
    if (auto* context = getContext()) {
        context->lineTo(p.x, p.y);
        context->setPixel(p.x, p.y, context->getPenColor());
    }
}

void Canvas::ellipse(const Rect& r) {
    if (auto* context = getContext())
        context->ellipse(nativeRect(r));
}

void Canvas::arc(const Rect& r, const Point& start, const Point& end) {
    if (auto* context = getContext())
        context->arc(nativeRect(r), {start.x, start.y}, {end.x, end.y});
}

void Canvas::pie(const Rect& r, const Point& start, const Point& end) {
    if (auto* context = getContext())
        context->pie(nativeRect(r), {start.x, start.y}, {end.x, end.y});
}

void Canvas::fillRect(const Rect& r) {
    if (auto* context = getContext())
        context->fillRect(nativeRect(r), context->getBrushColor());
}

void Canvas::setPenColor(const Color& color) {
    if (auto* context = getContext())
        context->setPenColor(colorRef(color));
}

void Canvas::setBrushColor(const Color& color) {
    if (auto* context = getContext())
        context->setBrushColor(colorRef(color));
}

void Canvas::setTextColor(const Color& color) {
    if (auto* context = getContext())
        context->setTextColor(colorRef(color));
}

void Canvas::setBackgroundColor(const Color& color) {
    backgroundColor_ = color;
    if (auto* context = getContext())
        context->setBkColor(colorRef(color));
}

void Canvas::pushTransparency(float t) {
    transparencies_.push_back(transparency_);
    transparency_ = t > 1.0f ? 1.0f : (t > 0.0f ? t : 0.0f);
}

void Canvas::popTransparency() {
    if (transparencies_.empty())
        return;
    transparency_ = transparencies_.back();
    transparencies_.pop_back();
}

void Canvas::setClip(const Rect& r) {
    if (auto* context = getContext())
        context->setClip(nativeRect(r));
}

void Canvas::resetClip() {
    if (auto* context = getContext())
        context->resetClip();
}

Rect Canvas::getClip() const {
    draw::DrawContext* context = getContext();
    if (context == nullptr)
        return Rect();
    const platform::NativeRect box = context->getClipBox();
    return Rect(Point(box.left, box.top), Point(box.right, box.bottom));
}

void Canvas::offsetOrigin(const Point& p) {
    if (auto* context = getContext())
        context->offsetOrigin(p.x, p.y);
}

Point Canvas::getOrigin() const {
    draw::DrawContext* context = getContext();
    if (context == nullptr)
        return Point();
    const draw::DrawPoint origin = context->getOrigin();
    return Point(origin.x, origin.y);
}

void Canvas::resetOrigin() {
    if (auto* context = getContext())
        context->setOrigin({0, 0});
}

} // namespace trov
