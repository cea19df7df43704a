#include "instrument/dsp/OstrelLFO.h"

#include "engine/io/HostInterface.h"
#include "engine/modules/Module.h"
#include "framework/Message.h"
#include "instrument/InstrumentGlobals.h"
#include "instrument/InstrumentKeys.h"
#include "plugin/Settings.h"

namespace trov {

OstrelLFO::OstrelLFO(const Module* owner) : WavetableLFO(owner), shapeSource_(owner) {
    shapeSource_.setShape(0.0f);
    setWavetable(shapeSource_.getTriangleSquareWavetable());
    // Still until a rate arrives.
    setFrequency(rate_);
}

OstrelLFO::~OstrelLFO() {
    tuneOut(keys::kLFORate);
    tuneOut(keys::kLFORatePPQ);
    tuneOut(keys::kLFOWaveform);
    tuneOut(keys::kLFOSync);
}

void OstrelLFO::init() {
    tuneIn(keys::kLFORate);
    tuneIn(keys::kLFORatePPQ);
    tuneIn(keys::kLFOWaveform);
    tuneIn(keys::kLFOSync);
}

void OstrelLFO::takeRateMultiplier() {
    if (const Settings* settings = getSettings())
        setRateMultiplier(settings->getFloat(keys::kLFORatePPQ));
}

bool OstrelLFO::receive(const Message& message) {
    const auto* change = message.kind == kKindParameter && message.code == Code::kParameterValue
                             ? dynamic_cast<const ParameterMessage*>(&message)
                             : nullptr;
    if (change == nullptr)
        return WavetableLFO::receive(message);

    if (change->name == keys::kLFORate) {
        rate_ = instrumentTables().lfoRate.lookup(wordToFloat(change->extra));
        // While locked to the tempo the tempo's rate stays; the free rate waits for the lock to end.
        if (!synced_)
            setFrequency(rate_);
        // The parameter shows the rate in hertz.
        if (change->sender != nullptr)
            change->sender->receive(ParameterMessage(this, Code::kParameterSetFromExtra, change->name,
                                                     change->index, floatToWord(rate_), change->value,
                                                     change->flags));
        return true;
    }
    if (change->name == keys::kLFORatePPQ) {
        takeRateMultiplier();
        return true;
    }
    if (change->name == keys::kLFOWaveform) {
        shapeSource_.setShape(wordToFloat(change->extra));
        return true;
    }
    if (change->name == keys::kLFOSync) {
        synced_ = change->extra != 0;
        if (synced_) {
            const Module* owner = getOwner();
            if (const HostInterface* host = owner != nullptr ? owner->getHost() : nullptr)
                setFrequency(static_cast<float>(host->getTempo() * (1.0 / 60.0)));
            setRetrigger(true);
            takeRateMultiplier();
        } else {
            setFrequency(rate_);
            setRetrigger(false);
        }
        return true;
    }
    return WavetableLFO::receive(message);
}

} // namespace trov
