#include "gui/controls/ControlEQSection.h"

#include "framework/Dictionary.h"
#include "framework/Font.h"
#include "gui/Canvas.h"
#include "gui/controls/ControlEQCurve.h"
#include "gui/controls/CurveColumns.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace trov {

namespace {

const Color kMajorLine(60, 60, 60);
const Color kMinorLine(40, 40, 40);
constexpr int kLabelWidth = 24;
constexpr int kLabelHeight = 15;
constexpr int kSpanLabelWidth = 30;
// The scale's decibels per unit: the top edge of a section of scale s stands for 6 / s dB.
constexpr float kDecibelsPerScale = 6.0f;
// A grid of more lines than this is no grid: a range of absurd decades is left undrawn.
constexpr int kMostFrequencyLines = 1000;

bool hasGain(std::int32_t type) {
    return type == 0 || type == 4 || type == 5;
}

Font labelFont() {
    return Font("Arial", 12.0f, 0, 1, Font::kAlignLeft | Font::kAlignTop, 0.0f);
}

void line(Canvas& canvas, const Point& from, const Point& to) {
    canvas.moveTo(from);
    canvas.lineTo(to);
}

// Is f (nearly) the multiple of the decade?
bool isMultiple(double f, double decade, double multiple) {
    return std::fabs(f - multiple * decade) <= 1e-9 * decade;
}

std::string frequencyLabel(double f) {
    char text[32];
    if (f < 1000.0)
        std::snprintf(text, sizeof text, "%g", f);
    else
        std::snprintf(text, sizeof text, "%gk", f / 1000.0);
    return text;
}

} // namespace

ControlEQSection::ControlEQSection(Editor* editor, const Rect& bounds) : Control(editor, bounds) {
    clearFlags(kTextEntry);
}

ControlEQSection::~ControlEQSection() = default;

void ControlEQSection::setFrequencyRange(float lowest, float highest) {
    for (ControlEQCurve* curve : curves_)
        curve->setFrequencyRange(lowest, highest);
    lowest_ = lowest;
    highest_ = highest;
    setNeedsRedraw(true);
}

bool ControlEQSection::fromDictionary(const Dictionary& spec) {
    const bool read = Control::fromDictionary(spec);
    int lowest = static_cast<int>(kLowest);
    int highest = static_cast<int>(kHighest);
    spec.getInteger("minfreq", &lowest);
    spec.getInteger("maxfreq", &highest);
    setFrequencyRange(static_cast<float>(lowest), static_cast<float>(highest));
    return read;
}

void ControlEQSection::layout() {
    Control::layout();
    curves_.clear();
    for (Control* child : getChildren())
        if (auto* curve = dynamic_cast<ControlEQCurve*>(child))
            curves_.push_back(curve);
    setFrequencyRange(lowest_, highest_);
}

void ControlEQSection::exit() {
    Control::exit();
    curves_.clear();
}

bool ControlEQSection::frequencyColumn(double hz, int& column) const {
    const double low = lowest_;
    const double high = highest_;
    if (!(hz > 0.0 && low > 0.0 && high > low) || !std::isfinite(hz) || !std::isfinite(high))
        return false;
    const double width = getLocalRect().getWidth() - 1;
    column = static_cast<int>(
        std::nearbyint((std::log10(hz) - std::log10(low)) * width / (std::log10(high) - std::log10(low))));
    return true;
}

// Factors below 1 count as their reciprocals: a cut needs as much room as a boost.
void ControlEQSection::combineResponses() {
    combined_.clear();
    float largest = 1.0f;
    for (ControlEQCurve* curve : curves_) {
        const std::vector<float>& response = curve->getResponse(0);
        if (combined_.empty())
            combined_.assign(response.size(), 1.0f);
        for (std::size_t i = 0; i < std::min(response.size(), combined_.size()); ++i)
            combined_[i] *= response[i];
        if (curve->getBand() == nullptr || !hasGain(curve->getBandType()))
            continue;
        for (const float v : response) {
            const float factor = v < 1.0f ? 1.0f / v : v;
            if (v > 0.0f && std::isfinite(factor))
                largest = std::max(largest, factor);
        }
    }
    const double decibels = 20.0 * std::log10(static_cast<double>(largest));
    level_ = kLevels.back();
    for (const int level : kLevels)
        if (level >= decibels - 1e-6) {
            level_ = level;
            break;
        }
    scale_ = kDecibelsPerScale / static_cast<float>(level_);
    const float gain = static_cast<float>(level_) / 3.0f;
    for (ControlEQCurve* curve : curves_)
        curve->setGainRange({-gain, gain});
}

void ControlEQSection::paintFrequencyGrid(Canvas& canvas) {
    const Rect local = getLocalRect();
    const double high = highest_;
    double f = lowest_;
    int column = 0;
    if (!frequencyColumn(f, column))
        return;
    canvas.setFont(labelFont());
    canvas.setTextColor(colorWhite);
    for (int lines = 0; f < high && lines < kMostFrequencyLines; ++lines) {
        const double decade = std::pow(10.0, std::floor(std::log10(f)));
        frequencyColumn(f, column);
        const bool major = isMultiple(f, decade, 1.0);
        canvas.setPenColor(major ? kMajorLine : kMinorLine);
        line(canvas, Point(column, 0), Point(column, local.bottom));
        if (major || isMultiple(f, decade, 4.0))
            drawText(canvas, Rect(column, local.bottom - kLabelHeight, kLabelWidth, kLabelHeight),
                     frequencyLabel(f));
        f += decade;
    }
}

void ControlEQSection::paintLevelGrid(Canvas& canvas) {
    const Rect local = getLocalRect();
    const int middle = (local.getHeight() - 1) / 2;
    const float span = kDecibelsPerScale / scale_;
    const int step = scale_ < 0.5f ? 10 : 3;
    for (int d = 0; static_cast<float>(d) < span; d += step) {
        const int y =
            static_cast<int>(std::nearbyint(static_cast<float>(middle) * static_cast<float>(d) / span));
        canvas.setPenColor(d % 12 == 0 ? kMajorLine : kMinorLine);
        line(canvas, Point(0, y), Point(local.getWidth(), y));
        line(canvas, Point(0, middle + y), Point(local.getWidth(), middle + y));
    }
    char text[32];
    std::snprintf(text, sizeof text, "%gdB", static_cast<double>(span));
    canvas.setFont(labelFont());
    canvas.setTextColor(colorWhite);
    drawText(canvas, Rect(1, 0, kSpanLabelWidth, kLabelHeight), text);
}

void ControlEQSection::paintBackground(Canvas& canvas, const Rect& /*area*/) {
    combineResponses();
    paintFrequencyGrid(canvas);
    paintLevelGrid(canvas);
}

void ControlEQSection::paint(Canvas& canvas, const Rect& /*area*/) {
    const Rect local = getLocalRect();
    const int width = local.getWidth();
    const int middle = (local.getHeight() - 1) / 2;
    canvas.setPenColor(colorBlack);
    line(canvas, Point(0, middle), Point(width - 1, middle));
    canvas.setPenColor(colorWhite);
    const int end = std::min(static_cast<int>(combined_.size()), width - 1);
    bool drawing = false;
    for (int x = 1; x < end; ++x) {
        int y = 0;
        if (!gainFactorRow(combined_[static_cast<std::size_t>(x)], static_cast<float>(level_), middle, y)) {
            drawing = false;
            continue;
        }
        if (drawing)
            canvas.lineTo(Point(x - 1, y));
        else
            canvas.moveTo(Point(x - 1, y));
        drawing = true;
    }
    canvas.setPenColor(colorBlack);
    canvas.frameRect(local);
}

} // namespace trov
