#pragma once

#include "framework/Message.h"
#include "framework/Radio.h"

#include <map>
#include <mutex>
#include <string>

namespace trov {

// Stand-in for the controller mapper until the real one lands: one-to-one pairings of controller numbers
// and targets, an invert flag and a range mode per controller, and learning (the next controller message
// is assigned to the learn target). No learn timer, no registry store. Any thread; one leaf lock.
template <class T> class MidiMapper : public Radio {
public:
    explicit MidiMapper(const Module* owner) : Radio(owner) {}

    T getTarget(int controller) const {
        std::lock_guard guard(mutex_);
        const auto it = controllerToTarget_.find(controller);
        return it != controllerToTarget_.end() ? it->second : T{};
    }
    int getController(const T& target) const {
        std::lock_guard guard(mutex_);
        for (const auto& [controller, assigned] : controllerToTarget_)
            if (assigned == target)
                return controller;
        return -1;
    }
    int getInvert(int controller) const {
        std::lock_guard guard(mutex_);
        const auto it = inverts_.find(controller);
        return it != inverts_.end() ? it->second : 0;
    }
    void setInvert(int controller, int invert) {
        std::lock_guard guard(mutex_);
        inverts_[controller] = invert;
    }
    int getRange(int controller) const {
        std::lock_guard guard(mutex_);
        const auto it = ranges_.find(controller);
        return it != ranges_.end() ? it->second : 1;
    }
    void setRange(int controller, int range) {
        std::lock_guard guard(mutex_);
        ranges_[controller] = range;
    }
    void assign(int controller, T target) {
        std::lock_guard guard(mutex_);
        std::erase_if(controllerToTarget_,
                      [&](const auto& entry) { return entry.first == controller || entry.second == target; });
        if (target != T{})
            controllerToTarget_[controller] = target;
    }
    void learn(T target, const std::string& /*label*/) {
        std::lock_guard guard(mutex_);
        learnTarget_ = target;
    }
    bool receive(const Message& message) override {
        const auto* midi = dynamic_cast<const MidiMessage*>(&message);
        if (midi == nullptr || midi->code != Code::kController)
            return true;
        T target{};
        {
            std::lock_guard guard(mutex_);
            target = learnTarget_;
            learnTarget_ = T{};
        }
        if (target != T{})
            assign(midi->number, target);
        return true;
    }
    void save() {}
    void load() {}

private:
    mutable std::mutex mutex_;
    std::map<int, T> controllerToTarget_;
    std::map<int, int> inverts_;
    std::map<int, int> ranges_;
    T learnTarget_{};
};

} // namespace trov
