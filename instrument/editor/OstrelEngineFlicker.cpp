#include "instrument/editor/OstrelEngineFlicker.h"

#include "engine/modules/Module.h"
#include "framework/Timer.h"
#include "gui/Bitmap.h"
#include "gui/controls/Control.h"
#include "instrument/engine/OstrelEngine.h"

namespace trov {

OstrelEngineFlicker::OstrelEngineFlicker(const Module* owner, Control& display, float scale)
    : Radio(owner), display_(display), scale_(scale), module_(owner),
      timer_(std::make_unique<Timer>(owner, WindowMessage(this, Code::kDisplayFlicker, 0), kPeriodMs, false,
                                     false)) {}

OstrelEngineFlicker::~OstrelEngineFlicker() {
    stopTicks();
}

void OstrelEngineFlicker::startTicks() {
    display_.tuneInTo(timer_.get());
    timer_->start();
}

void OstrelEngineFlicker::stopTicks() {
    display_.tuneOutOf(timer_.get());
    timer_->stop(true);
}

bool OstrelEngineFlicker::takeTick(const Message& message) {
    if (message.sender != this || message.kind != kKindWindow || message.code != Code::kDisplayFlicker)
        return false;
    tick();
    return true;
}

void OstrelEngineFlicker::tick() {
    const Module* module = module_.load(std::memory_order_acquire);
    const Engine* engine = module != nullptr ? module->getEngine() : nullptr;
    if (engine == nullptr)
        return;
    const auto* ostrel = dynamic_cast<const OstrelEngine*>(engine);
    const int voices = ostrel != nullptr ? ostrel->getBlockVoiceCount() : 0;
    setFlicker(static_cast<float>(voices + 1) * scale_);
    // Only from the next start: the running timer keeps its period.
    timer_->setInterval((voices + 1) * kPeriodMs);
}

void OstrelEngineFlicker::setFlicker(float amount) {
    Bitmap* alphabet = alphabet_.load(std::memory_order_acquire);
    if (alphabet == nullptr)
        return;
    alphabet->setFlicker(amount);
    display_.setNeedsRedraw(true);
}

} // namespace trov
