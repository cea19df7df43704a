#include "instrument/editor/OstrelLED.h"

#include "engine/modules/Module.h"
#include "framework/Timer.h"
#include "gui/Bitmap.h"
#include "gui/Canvas.h"
#include "gui/Editor.h"
#include "instrument/engine/OstrelEngine.h"

#include <new>

namespace trov {

OstrelLED::OstrelLED(Editor* editor, const Rect& bounds) : ControlValueButton<bool>(editor) {
    setBounds(bounds);
    clearFlags(kShowValue);
    timer_.reset(new (std::nothrow) Timer(getOwner(), WindowMessage(editor, Code::kDisplayFlicker, 0),
                                          kPeriodMs, false, false));
}

OstrelLED::~OstrelLED() {
    if (timer_ != nullptr) {
        tuneOutOf(timer_.get());
        timer_.reset();
    }
}

void OstrelLED::layout() {
    if (timer_ == nullptr)
        return;
    tuneInTo(timer_.get());
    timer_->start();
}

bool OstrelLED::receive(const Message& message) {
    if (message.kind == kKindWindow && message.code == Code::kDisplayFlicker) {
        setNeedsRedraw(true);
        return true;
    }
    // Past the button: the LED only shows the LFO and is never pressed.
    return Control::receive(message); // NOLINT(bugprone-parent-virtual-call)
}

float OstrelLED::getOpacity() const {
    const Module* module = getOwner();
    const auto* engine = module != nullptr ? dynamic_cast<const OstrelEngine*>(module->getEngine()) : nullptr;
    const float v = engine != nullptr ? engine->getBlockLFOValue() : 0.0f;
    const float opacity = (v + 1.0f) * 0.5f;
    // Written so that a value that is not a number is dark too.
    return opacity > 1.0f ? 1.0f : (opacity > 0.0f ? opacity : 0.0f);
}

void OstrelLED::paint(Canvas& canvas, const Rect& /*area*/) {
    canvas.pushTransparency(getOpacity());
    if (Bitmap* down = getDownSkin())
        canvas.drawBitmap(down, down->getBounds(), getLocalRect());
    canvas.popTransparency();
}

} // namespace trov
