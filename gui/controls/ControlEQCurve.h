#pragma once

#include "framework/CriticalSection.h"
#include "gui/controls/ControlValue.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace trov {

class EQ;

// The response of one equaliser band ("EQCurve"): the band's primary response drawn as lines from the
// middle row (at 0.35 opacity over what lies under it), on a scale whose top edge stands for 3 x the gain
// range's upper end in decibels, and a grab handle at the band's frequency (logarithmic between the
// lowest and highest frequency) and gain. The handle is what the curve answers hit tests with: within 5
// pixels of it the pointer hovers it. Responses are linear gain factors, one per pixel column; columns
// whose factor is not a finite number above zero draw nothing.
//
// Owned by its parent (usually an EQ section); the band belongs to its module. Threads: the user-interface
// thread. The band may change on another thread: whoever changes it holds the curve's lock meanwhile
// (`getResponseLock`), and `updateResponse` only tries the lock, keeping the previous response when it is
// busy, so the editor never waits for the band.
class ControlEQCurve : public ControlValue {
public:
    static constexpr float kLowest = 10.0f;
    static constexpr float kHighest = 22050.0f;
    static constexpr double kHandleReach = 5.0;
    static constexpr float kOpacity = 0.35f;
    static constexpr int kHandleHalf = 2;
    static constexpr int kHoveredHandleHalf = 5;

    ControlEQCurve(Editor* editor, const Rect& bounds);
    ~ControlEQCurve() override;

    bool receive(const Message& message) override;
    // "handle", then the value control's keys.
    bool fromDictionary(const Dictionary& spec) override;
    // Only near the handle of an assigned band.
    bool hitTest(const Point& p) const override;
    void paint(Canvas& canvas, const Rect& area) override;
    // Takes both responses, the band's frequency, gain and type from the band, when its lock is free;
    // requests a redraw in any case.
    virtual void updateResponse();

    // The band drawn (not owned; null for none); its response is taken at once.
    void setBand(EQ* band);
    EQ* getBand() const { return band_; }
    void setFrequencyRange(float lowest, float highest);
    // Stored when it differs; the scale's top edge is 3 x its upper end.
    void setGainRange(const std::pair<float, float>& range);
    std::pair<float, float> getGainRange() const { return gainRange_; }
    // Decibels of the top edge.
    float getTopDecibels() const { return 3.0f * gainRange_.second; }
    void setCurveColor(const Color& colour) { curveColor_ = colour; }
    CriticalSection& getResponseLock() { return lock_; }

    // The responses as last taken (primary and secondary), and the band's type then.
    const std::vector<float>& getResponse(int which = 0) const { return which == 1 ? secondary_ : primary_; }
    std::int32_t getBandType() const { return bandType_; }
    // The handle's place in control coordinates; false without a band or where the scales give none.
    bool getHandle(Point& at) const;
    bool isHovered() const { return hover_; }

private:
    bool near(const Point& p) const;

    std::vector<float> primary_;
    std::vector<float> secondary_;
    CriticalSection lock_;
    EQ* band_ = nullptr;
    float lowest_ = kLowest;
    float highest_ = kHighest;
    std::pair<float, float> gainRange_{-1.0f, 1.0f};
    Color curveColor_ = colorRed;
    bool hover_ = false;
    Bitmap* handle_ = nullptr;
    // What updateResponse took from the band.
    float bandFrequency_ = 0.0f;
    float bandGain_ = 0.0f;
    std::int32_t bandType_ = 0;
    bool bandTaken_ = false;
};

} // namespace trov
