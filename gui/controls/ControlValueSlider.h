#pragma once

#include "gui/controls/ControlValue.h"

#include <optional>

namespace trov {

// A linear control over one normalised value, with every gesture of `ControlValue`. Its handle bitmap is
// either moved along the track ("move": value 0 at the bottom of a vertical track, at the left of a
// horizontal one) or reveals its second frame in proportion to the value ("fill"); a press away from a
// moved handle, or anywhere on a filled one, first makes the value jump to the press ("grabanywhere" drags
// from wherever the press is, without a jump). Over a background track the drag speed is matched to the
// track's length, so that the value follows the pointer. Without a handle it is a plain bar, orange on
// white, with its label. The track is the background's part in use, else the control's own rectangle.
// With Alt held (or not held, under "altreverse") the pointer reaches its children, such as a range bar.
//
// Owned by its parent. Threads: as `ControlValue`.
class ControlValueSlider : public ControlValue {
public:
    static constexpr int kFill = 0;
    static constexpr int kMove = 1;
    static constexpr int kDefaultWidth = 100;
    static constexpr int kDefaultHeight = 12;
    // How far beyond a moved handle's ends a press still takes the handle.
    static constexpr int kGrabMargin = 8;

    explicit ControlValueSlider(Editor* editor);
    ControlValueSlider(Editor* editor, const Rect& bounds);
    ~ControlValueSlider() override;

    int getType() const { return type_; }
    bool isVertical() const { return vertical_; }
    bool grabsAnywhere() const { return grabAnywhere_; }
    Bitmap* getHandle() const { return handle_; }
    Rect getTrack() const;
    // Where a moved handle is drawn at the present value; empty for a filled slider or one without handle.
    Rect getHandleRect() const;

    // The size 100 x 12, the value control's keys, then "handle", "horizontal", the speed matched to the
    // track, "grabanywhere" and "type".
    bool fromDictionary(const Dictionary& spec) override;
    bool receive(const Message& message) override;
    Control* findControlAt(const Point& p) override;
    void paint(Canvas& canvas, const Rect& area) override;

private:
    bool press(const WindowMessage& message);
    // The value a press at p jumps to; none when the handle's geometry leaves no room to travel.
    std::optional<float> jumpValue(const Point& p) const;
    void paintBar(Canvas& canvas, float value);
    void paintFill(Canvas& canvas, float value);

    int type_ = kMove;
    Bitmap* handle_ = nullptr;
    bool vertical_ = true;
    bool grabAnywhere_ = false;
};

} // namespace trov
