#include "gui/controls/ControlVUMeterLEDs.h"

#include "framework/Dictionary.h"
#include "gui/Bitmap.h"
#include "gui/Canvas.h"

#include <cmath>

namespace trov {

namespace {

constexpr float kStepDb = -3.0f;
constexpr float kSilenceDb = -144.0f;
constexpr float kQuietest = 6e-8f;

} // namespace

ControlVUMeterLEDs::ControlVUMeterLEDs(Editor* editor) : ControlVUMeter(editor) {}

ControlVUMeterLEDs::~ControlVUMeterLEDs() {
    stopTicks();
}

bool ControlVUMeterLEDs::fromDictionary(const Dictionary& spec) {
    ControlVUMeter::fromDictionary(spec);
    const Bitmap* handle = getHandle();
    if (handle == nullptr)
        return true;
    const int count = handle->getFrameCount() / 2;
    thresholds_.assign(static_cast<std::size_t>(count), 0.0f);
    for (int i = 0; i < count; ++i)
        thresholds_[static_cast<std::size_t>(i)] = kStepDb * static_cast<float>(i);
    std::vector<float> given;
    if (const Dictionary::View values = spec.getArray("values"))
        for (int i = 0, n = values->count("float"); i < n; ++i)
            if (const Dictionary::View entry = values->getChild(i, "float")) {
                float value = 0.0f;
                entry->getFloat("value", &value);
                given.push_back(value);
            }
    if (given.empty())
        return true;
    for (std::size_t i = 0; i < thresholds_.size(); ++i) {
        if (i < given.size())
            thresholds_[i] = given[i];
        else if (i >= 2)
            thresholds_[i] = 2.0f * thresholds_[i - 1] - thresholds_[i - 2];
        else
            thresholds_[i] = thresholds_[i - 1] + kStepDb;
    }
    return true;
}

int ControlVUMeterLEDs::litCount(float level) const {
    const float db = level > kQuietest ? 6.0f * std::log2(level) : kSilenceDb;
    const float whole = std::nearbyint(db);
    int lit = 0;
    for (auto it = thresholds_.rbegin(); it != thresholds_.rend() && *it <= whole; ++it)
        ++lit;
    return lit;
}

void ControlVUMeterLEDs::paint(Canvas& canvas, const Rect& /*area*/) {
    Bitmap* handle = getHandle();
    const int count = getLedCount();
    if (handle == nullptr || count == 0)
        return;
    const int lit = litCount(getLevel());
    const Rect led = handle->getFrame(0);
    Point corner = getLocalRect().getTopLeft();
    if (const Bitmap* background = getBackgroundBitmap())
        corner += background->getSourceRect().getTopLeft();
    const Point first = handle->getFrame(0).getTopLeft();
    const Point second = handle->getFrame(count).getTopLeft();
    if (handle->getSourceRect().getWidth() > handle->getSourceRect().getHeight()) {
        // Lit from the left: the lit row's first LEDs, then the unlit row's last ones.
        const int w = led.getWidth();
        const Rect on(corner.x, corner.y, lit * w, led.getHeight());
        canvas.drawBitmap(handle, Rect(second.x, second.y, lit * w, led.getHeight()), on);
        const Rect off(corner.x + lit * w, corner.y, (count - lit) * w, led.getHeight());
        canvas.drawBitmap(handle, Rect(first.x + lit * w, first.y, (count - lit) * w, led.getHeight()), off);
    } else {
        // Lit from the bottom: the unlit column's top LEDs, then the lit column's bottom ones.
        const int h = led.getHeight();
        const int dark = count - lit;
        const Rect off(corner.x, corner.y, led.getWidth(), dark * h);
        canvas.drawBitmap(handle, Rect(second.x, second.y, led.getWidth(), dark * h), off);
        const Rect on(corner.x, corner.y + dark * h, led.getWidth(), lit * h);
        canvas.drawBitmap(handle, Rect(first.x, first.y + dark * h, led.getWidth(), lit * h), on);
    }
}

} // namespace trov
