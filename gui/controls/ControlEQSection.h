#pragma once

#include "gui/controls/Control.h"

#include <array>
#include <vector>

namespace trov {

class ControlEQCurve;

// A panel of EQ curves ("EQSection"): its curve children share one frequency range ("minfreq", "maxfreq";
// 10 to 22050 Hz), and it draws a labelled grid (frequency lines at 10, 20 ... 90, 100, 200 ... Hz, level
// lines every 3 dB, or 10 dB beyond 12 dB) under them and their combined response (the product of the
// curves' linear gain factors) over them in white. The scale follows the strongest band that has a gain
// (types 0, 4 and 5): the first of 6, 20, 40, 60 and 80 dB that holds its largest boost or cut is the top
// edge, which the curves are handed as their gain range (a third of it, symmetric). Frequencies at or below
// zero, and factors that are no finite number above zero, draw nothing.
//
// Owned by its parent; the curves are its children. User-interface thread.
class ControlEQSection : public Control {
public:
    static constexpr float kLowest = 10.0f;
    static constexpr float kHighest = 22050.0f;
    static constexpr std::array<int, 5> kLevels = {6, 20, 40, 60, 80};

    ControlEQSection(Editor* editor, const Rect& bounds);
    ~ControlEQSection() override;

    // The control's layout, then the range handed to the curves again and the curve list rebuilt from the
    // children, in child order.
    void layout() override;
    void exit() override;
    // The control's keys, then "minfreq" and "maxfreq".
    bool fromDictionary(const Dictionary& spec) override;
    // The combined response and the scale, then the grids.
    void paintBackground(Canvas& canvas, const Rect& area) override;
    // Centre line, combined response and frame.
    void paint(Canvas& canvas, const Rect& area) override;

    // Every curve takes the range too.
    void setFrequencyRange(float lowest, float highest);
    float getLowest() const { return lowest_; }
    float getHighest() const { return highest_; }
    const std::vector<ControlEQCurve*>& getCurves() const { return curves_; }
    const std::vector<float>& getCombinedResponse() const { return combined_; }
    // The top edge in decibels, and the section's scale (6 dB over it).
    int getLevel() const { return level_; }
    float getScale() const { return scale_; }
    // The column of a frequency on the grid's axis; false at or below zero or without a valid range.
    bool frequencyColumn(double hz, int& column) const;

private:
    void combineResponses();
    void paintFrequencyGrid(Canvas& canvas);
    void paintLevelGrid(Canvas& canvas);

    std::vector<float> combined_;
    std::vector<ControlEQCurve*> curves_;
    float lowest_ = kLowest;
    float highest_ = kHighest;
    int level_ = kLevels[0];
    float scale_ = 1.0f;
};

} // namespace trov
