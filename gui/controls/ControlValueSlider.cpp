#include "gui/controls/ControlValueSlider.h"

#include "framework/Dictionary.h"
#include "framework/Font.h"
#include "framework/System.h"
#include "gui/Bitmap.h"
#include "gui/Canvas.h"

#include <cmath>

namespace trov {

namespace {

// The text flags of the plain bar's label: vertically centred.
constexpr int kLabelFlags = Font::kAlignMiddle;
constexpr int kLabelInset = 2;

int truncated(float v) {
    return static_cast<int>(v);
}

int rounded(float v) {
    return static_cast<int>(std::nearbyint(v));
}

} // namespace

ControlValueSlider::ControlValueSlider(Editor* editor) : ControlValueSlider(editor, Rect()) {}

ControlValueSlider::ControlValueSlider(Editor* editor, const Rect& bounds) : ControlValue(editor, bounds) {}

ControlValueSlider::~ControlValueSlider() {
    giveBack(handle_);
}

Rect ControlValueSlider::getTrack() const {
    const Bitmap* background = getBackgroundBitmap();
    return background != nullptr ? background->getSourceRect() : getLocalRect();
}

Rect ControlValueSlider::getHandleRect() const {
    if (handle_ == nullptr || type_ != kMove)
        return Rect();
    const Rect track = getTrack();
    const Rect part = handle_->getSourceRect();
    const Point hs = part.getTopLeft();
    const int hw = part.getWidth();
    const int hh = part.getHeight();
    const float v = getValue();
    if (vertical_)
        return Rect(hs.x + track.left - hw / 2,
                    (track.bottom - hs.y - hh) - truncated(v * static_cast<float>(track.getHeight() - hh)),
                    hw, hh);
    return Rect(track.left - hs.x + truncated(v * static_cast<float>(track.getWidth() - hw)),
                hs.y + track.top - hh / 2, hw, hh);
}

bool ControlValueSlider::fromDictionary(const Dictionary& spec) {
    fromDictionaryWithSize(spec, Rect(0, 0, kDefaultWidth, kDefaultHeight));
    if (readBitmap(spec, "handle", handle_) && handle_ != nullptr && getLocalRect().isEmpty())
        setSize(handle_->getFrameRect());
    std::string text;
    bool on = false;
    if (spec.getBool("horizontal", &on))
        vertical_ = !on;
    if (const Bitmap* background = getBackgroundBitmap()) {
        const Rect track = background->getSourceRect();
        const int length = vertical_ ? track.getHeight() : track.getWidth();
        // One pixel of drag moves 1/length of the range at the specified speed.
        if (length > 0)
            setDragSpeed(getDragSpeed() / (static_cast<float>(length) * kDragScale));
    }
    spec.getBool("grabanywhere", &grabAnywhere_);
    if (spec.getString("type", &text)) {
        if (text == "fill")
            type_ = kFill;
        else if (text == "move")
            type_ = kMove;
    }
    return true;
}

std::optional<float> ControlValueSlider::jumpValue(const Point& p) const {
    const auto x = static_cast<float>(p.x);
    const auto y = static_cast<float>(p.y);
    if (type_ == kFill) {
        const Rect frame = handle_->getFrame(0);
        const int length = vertical_ ? frame.getHeight() : frame.getWidth();
        if (length <= 0)
            return std::nullopt;
        return vertical_ ? 1.0f - y / static_cast<float>(length) : x / static_cast<float>(length);
    }
    const Rect track = getTrack();
    const Rect part = handle_->getSourceRect();
    const int room = vertical_ ? track.getHeight() - part.getHeight() : track.getWidth() - part.getWidth();
    if (room <= 0)
        return std::nullopt;
    // Measured from the handle's middle, halved in whole pixels.
    const int travelled =
        vertical_ ? p.y - track.top - part.getHeight() / 2 : p.x - track.left - part.getWidth() / 2;
    const float share = static_cast<float>(travelled) / static_cast<float>(room);
    return vertical_ ? 1.0f - share : share;
}

bool ControlValueSlider::press(const WindowMessage& message) {
    if (isKeyDown(kKeyControl) || handle_ == nullptr || grabAnywhere_)
        return ControlValue::receive(message);
    bool onHandle = false;
    if (type_ == kMove) {
        Rect grip = getHandleRect();
        if (const Bitmap* background = getBackgroundBitmap())
            grip.offset(background->getSourceRect().getTopLeft());
        if (vertical_)
            grip.outset(0, kGrabMargin);
        else
            grip.outset(kGrabMargin, 0);
        onHandle = grip.contains(message.where);
    }
    if (!onHandle) {
        if (const std::optional<float> jump = jumpValue(message.where)) {
            setValue(*jump);
            setNeedsRedraw(true);
        }
    }
    // The drag goes on from the value jumped to.
    return ControlValue::receive(message);
}

bool ControlValueSlider::receive(const Message& message) {
    if (message.kind != kKindWindow)
        return ControlValue::receive(message);
    const auto& window = static_cast<const WindowMessage&>(message);
    switch (window.code) {
    case 3012:
        if (handle_ != nullptr && type_ == kMove) {
            const Rect h = getHandleRect();
            const Point p = window.where;
            if (vertical_ ? p.x >= h.left && p.x <= h.right : p.y >= h.top && p.y <= h.bottom)
                return true;
        }
        break;
    case 3000:
    case 3003:
        return press(window);
    default:
        break;
    }
    return ControlValue::receive(message);
}

Control* ControlValueSlider::findControlAt(const Point& p) {
    if (!isVisible())
        return Control::findControlAt(p);
    if (isKeyDown(kKeyAlt) != isAltReversed())
        for (Control* child : getChildren())
            if (Control* found = child->findControlAt(p - child->getRect().getTopLeft()))
                return found;
    // A disabled slider takes no pointer input, like every other control.
    if (testFlags(kEnabled) != 0 && testFlags(kIgnoresPointer) == 0 && getLocalRect().contains(p))
        return this;
    return Control::findControlAt(p);
}

void ControlValueSlider::paint(Canvas& canvas, const Rect& /*area*/) {
    const float value = getValue();
    if (handle_ == nullptr) {
        paintBar(canvas, value);
    } else if (type_ == kMove) {
        const Rect whole = handle_->getBounds();
        Rect place = getHandleRect();
        place.setSizeOf(whole);
        canvas.drawBitmap(handle_, whole, place);
    } else {
        paintFill(canvas, value);
    }
}

void ControlValueSlider::paintBar(Canvas& canvas, float value) {
    const Rect local = getLocalRect();
    canvas.setPenColor(colorBlack);
    canvas.frameRect(local);
    Rect r = local;
    r.inset(1);
    canvas.setBrushColor(colorWhite);
    canvas.fillRect(r);
    // Grows from the left whatever the orientation.
    r.scaleSize(value, 1.0f);
    canvas.setBrushColor(colorOrange);
    canvas.fillRect(r);
    canvas.setFont(Font("Verdana", 10.0f, 0, 1, Font::kAlignLeft | Font::kAlignTop, 0.0f));
    canvas.setTextColor(colorBlack);
    Rect text = local;
    text.inset(kLabelInset, 0);
    canvas.drawText(getLabel(), text, kLabelFlags);
}

// Frame 0 is the empty track and frame 1 the full one: frame 1 shows over the value's share, from the
// bottom of a vertical slider and from the left of a horizontal one.
void ControlValueSlider::paintFill(Canvas& canvas, float value) {
    const Rect empty = handle_->getFrame(0);
    const Point full = handle_->getFrame(1).getTopLeft();
    const int width = empty.getWidth();
    const int height = empty.getHeight();
    Rect shownEmpty;
    Rect shownFull;
    if (vertical_) {
        const int c = rounded(static_cast<float>(height) * (1.0f - value));
        shownEmpty = Rect(empty.left, 0, width, c);
        shownFull = Rect(empty.left, c, width, height - c);
    } else {
        const int c = rounded(static_cast<float>(width) * value);
        shownEmpty = Rect(c, empty.top, width - c, height);
        shownFull = Rect(0, empty.top, c, height);
    }
    if (!shownEmpty.isEmpty())
        canvas.drawBitmap(handle_, shownEmpty, shownEmpty);
    if (!shownFull.isEmpty())
        canvas.drawBitmap(handle_, shownFull + full, shownFull);
}

} // namespace trov
