#include "instrument/engine/ParameterRelay.h"

#include "engine/modules/EngineEvent.h"
#include "engine/modules/Module.h"
#include "framework/Message.h"
#include "instance/Plugin.h"
#include "instrument/engine/OstrelEngine.h"
#include "plugin/Parameter.h"

namespace trov {

namespace {

// Holds a kept change's flag for the scope: held only while one change is copied.
class Busy {
public:
    explicit Busy(std::atomic<bool>& flag) noexcept : flag_(flag) {
        while (flag_.exchange(true, std::memory_order_acquire)) {
        }
    }
    ~Busy() { flag_.store(false, std::memory_order_release); }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;

private:
    std::atomic<bool>& flag_;
};

} // namespace

ParameterRelay::ParameterRelay(OstrelEngine& engine) : Radio(engine.getModule()), engine_(engine) {}

ParameterRelay::~ParameterRelay() {
    for (const char* name : kFollowedNames)
        tuneOut(name);
}

void ParameterRelay::start(Radio& lfo) {
    lfo_ = &lfo;
    // The LFO's first, in the order it takes them.
    for (std::size_t i = static_cast<std::size_t>(Followed::kLFORate); i < kFollowedNames.size(); ++i)
        tuneIn(kFollowedNames[i]);
    for (std::size_t i = 0; i < static_cast<std::size_t>(Followed::kLFORate); ++i)
        tuneIn(kFollowedNames[i]);
}

bool ParameterRelay::receive(const Message& message) {
    if (message.kind != kKindParameter || message.code != Code::kParameterValue)
        return Radio::receive(message);
    const auto* change = dynamic_cast<const ParameterMessage*>(&message);
    const Followed which = change != nullptr ? followedOf(change->name) : Followed::kCount;
    if (which == Followed::kCount)
        return false;
    if (change->flags == Sender::kNewListener) {
        // This station's own tune-in: the LFO starts at the current values; a voice takes them at its
        // note starts instead.
        if (isLFOParameter(which) && lfo_ != nullptr)
            lfo_->receive(*change);
        return true;
    }
    const Module* module = getOwner();
    const VoiceChange described = describeChange(*change, which, module);
    // A parameter every module shares reaches every module's relay: the first module's posts it for all.
    const Plugin* plugin = module != nullptr ? module->getPlugin() : nullptr;
    if (isSharedScope(described.scope) && plugin != nullptr && plugin->getFirstModule() != module)
        return true;
    if (described.scope == Parameter::kScopeZone && described.zones == VoiceChange::kNoVoice)
        return true;
    if (module == nullptr || !module->postEvent(EngineEvent::own(&engine_, described)))
        keep(described);
    return true;
}

void ParameterRelay::keep(const VoiceChange& change) noexcept {
    Kept& kept = kept_[static_cast<std::size_t>(change.which)];
    {
        const Busy busy(kept.busy);
        kept.change = change;
        kept.present = true;
    }
    anyKept_.store(true, std::memory_order_release);
}

void ParameterRelay::applyKept() noexcept {
    if (!anyKept_.exchange(false, std::memory_order_acq_rel))
        return;
    for (Kept& kept : kept_) {
        VoiceChange change;
        {
            const Busy busy(kept.busy);
            if (!kept.present)
                continue;
            change = kept.change;
            kept.present = false;
        }
        engine_.applyChange(change);
    }
}

} // namespace trov
