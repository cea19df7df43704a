#pragma once

#include "framework/EditorServices.h"
#include "framework/Message.h"
#include "framework/Radio.h"
#include "framework/Timer.h"

#include <concepts>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <type_traits>
#include <utility>

namespace trov {

class Parameter;

// Pairs MIDI controller numbers (0-127, 128 pitch bend, 129 channel pressure) one to one with targets,
// keeps a range mode and an invert flag per controller number (they stay with the number when its target
// changes), and learns: while a learn target is set, the next controller message that reaches `receive`
// is assigned to it, and after a time-out without one learning ends. The plug-in instance owns one over
// its parameters (owner: its first module) and keeps the pairings in the per-user store; the editor owns
// one over its value controls. T is a pointer type; a null T means "none".
//
// Threads: `getTarget`, `getInvert`, `getRange` and `receive` run on the MIDI thread for every controller;
// they take only the maps' own lock, allocate nothing and never wait for another thread's allocation, since
// the writers (`assign`, `setInvert`, `setRange`: user-interface thread; `receive` while learning: MIDI
// thread) allocate and free map nodes outside it. `learn` comes from the user-interface thread; the learn
// time-out arrives on the timer-service thread. No lock of the mapper is held while it calls the editor or
// its timer. `learn` restarts the time-out timer, which waits for a time-out being delivered, and that
// delivery calls the editor's `clearInfo`: so `learn` must not be called while holding a lock that the
// editor's `showInfo` or `clearInfo` takes.
template <class T> class MidiMapper : public Radio {
    static_assert(std::is_pointer_v<T>, "a mapper's targets are pointers");

public:
    static constexpr int kLearnTimeoutMs = 10000;
    static constexpr std::int32_t kLearnTimerId = makeTimerId("MMto");

    static constexpr int kRangePositive = 0;
    static constexpr int kRangeFull = 1;
    static constexpr int kRangeNegative = 2;

    // A target as callers may hold it: look-ups accept a pointer to const.
    using ConstTarget = const std::remove_pointer_t<T>*;

    explicit MidiMapper(const Module* owner);
    MidiMapper(const MidiMapper&) = delete;
    MidiMapper& operator=(const MidiMapper&) = delete;
    ~MidiMapper() override;

    // The target assigned to the controller; null when none.
    virtual T getTarget(int controller) const noexcept;
    // The controller assigned to the target; -1 when none.
    int getController(ConstTarget target) const noexcept;
    // 1 inverted; 0 when never set.
    int getInvert(int controller) const noexcept;
    void setInvert(int controller, int invert);
    // 0 positive half, 1 full range, 2 negative half; 1 when never set.
    int getRange(int controller) const noexcept;
    void setRange(int controller, int range);
    // Pairs controller and target one to one: earlier pairings of either are dropped. A null target
    // forgets the controller.
    void assign(int controller, T target);

    // Makes target the learn target, shows "MIDI learn : " and the label in the editor's info line and
    // (re)starts the time-out. A null target changes nothing.
    void learn(T target, const std::string& label);
    bool isLearning() const noexcept;
    // The learn time-out used from the next `learn` on.
    void setLearnTimeout(int milliseconds) { learnTimer_.setInterval(milliseconds); }

    // A controller message (kind 2, code 2) while learning assigns its controller to the learn target; the
    // learn timer's tick (kind 7, code 4000, 'MMto') ends learning. Either clears the info line. True for
    // every message.
    bool receive(const Message& message) override;

    // The pairings of parameters in the per-user child key "MIDI Controllers": one 32-bit value per
    // parameter, named after it, holding the controller number with 0x100 for inverted, 0x200 for range 0
    // and 0x400 for range 2. Saving replaces the key; loading skips names that no longer name a
    // parameter of the owner's settings and values that are not such a number.
    void save() requires std::same_as<T, Parameter*>;
    void load() requires std::same_as<T, Parameter*>;

private:
    using ByTarget = std::map<T, int, std::less<>>;
    using ByController = std::map<int, T>;
    using Modes = std::map<int, int>;

    // A map node made (allocated) before a lock is taken, to be inserted under it.
    template <class Map>
    static typename Map::node_type makeNode(typename Map::key_type key, typename Map::mapped_type value) {
        Map single;
        single.emplace(std::move(key), std::move(value));
        return single.extract(single.begin());
    }
    static int modeOf(const Modes& modes, int controller, int none) noexcept;
    void setMode(Modes& modes, int controller, int value);
    T takeLearnTarget() noexcept;
    void clearLearnInfo() const;

    mutable std::mutex mapsMutex_; // guards the maps and learnTarget_; a leaf lock
    ByTarget targetToController_;
    ByController controllerToTarget_;
    Modes inverts_;
    Modes ranges_;
    std::unique_ptr<PopupMenuInterface> menu_; // a native menu (owner word 1) living as long as the mapper
    T learnTarget_ = nullptr;
    Timer learnTimer_;
};

template <class T>
MidiMapper<T>::MidiMapper(const Module* owner)
    : Radio(owner), menu_(editorServices().createPopupMenu(1)),
      learnTimer_(owner, TimerMessage(this, Code::kTimerTick, kLearnTimerId, 0), kLearnTimeoutMs, true,
                  false) {
    tuneInTo(&learnTimer_);
}

template <class T> MidiMapper<T>::~MidiMapper() {
    // Waits for a time-out being delivered; none reaches this mapper afterwards.
    tuneOutOf(&learnTimer_);
}

template <class T> T MidiMapper<T>::getTarget(int controller) const noexcept {
    std::lock_guard guard(mapsMutex_);
    const auto it = controllerToTarget_.find(controller);
    return it != controllerToTarget_.end() ? it->second : nullptr;
}

template <class T> int MidiMapper<T>::getController(ConstTarget target) const noexcept {
    std::lock_guard guard(mapsMutex_);
    const auto it = targetToController_.find(target);
    return it != targetToController_.end() ? it->second : -1;
}

template <class T> int MidiMapper<T>::modeOf(const Modes& modes, int controller, int none) noexcept {
    const auto it = modes.find(controller);
    return it != modes.end() ? it->second : none;
}

template <class T> int MidiMapper<T>::getInvert(int controller) const noexcept {
    std::lock_guard guard(mapsMutex_);
    return modeOf(inverts_, controller, 0);
}

template <class T> int MidiMapper<T>::getRange(int controller) const noexcept {
    std::lock_guard guard(mapsMutex_);
    return modeOf(ranges_, controller, kRangeFull);
}

template <class T> void MidiMapper<T>::setInvert(int controller, int invert) {
    setMode(inverts_, controller, invert);
}

template <class T> void MidiMapper<T>::setRange(int controller, int range) {
    setMode(ranges_, controller, range);
}

template <class T> void MidiMapper<T>::setMode(Modes& modes, int controller, int value) {
    typename Modes::node_type node = makeNode<Modes>(controller, value); // freed after the lock if unused
    std::lock_guard guard(mapsMutex_);
    const auto it = modes.find(controller);
    if (it != modes.end())
        it->second = value;
    else
        modes.insert(std::move(node));
}

template <class T> void MidiMapper<T>::assign(int controller, T target) {
    // New nodes are made, and old ones freed, outside the lock.
    typename ByTarget::node_type newByTarget, oldByTarget, oldByTargetOfController;
    typename ByController::node_type newByController, oldByController, oldByControllerOfTarget;
    if (target != nullptr) {
        newByTarget = makeNode<ByTarget>(target, controller);
        newByController = makeNode<ByController>(controller, target);
    }
    std::lock_guard guard(mapsMutex_);
    if (target != nullptr) {
        const auto earlier = targetToController_.find(target);
        if (earlier != targetToController_.end()) {
            oldByControllerOfTarget = controllerToTarget_.extract(earlier->second);
            oldByTarget = targetToController_.extract(earlier);
        }
    }
    const auto earlier = controllerToTarget_.find(controller);
    if (earlier != controllerToTarget_.end()) {
        oldByTargetOfController = targetToController_.extract(earlier->second);
        oldByController = controllerToTarget_.extract(earlier);
    }
    if (target != nullptr) {
        targetToController_.insert(std::move(newByTarget));
        controllerToTarget_.insert(std::move(newByController));
    }
}

template <class T> bool MidiMapper<T>::isLearning() const noexcept {
    std::lock_guard guard(mapsMutex_);
    return learnTarget_ != nullptr;
}

template <class T> T MidiMapper<T>::takeLearnTarget() noexcept {
    std::lock_guard guard(mapsMutex_);
    return std::exchange(learnTarget_, nullptr);
}

template <class T> void MidiMapper<T>::clearLearnInfo() const {
    if (EditorInterface* editor = getEditor())
        editor->clearInfo(this);
}

template <class T> void MidiMapper<T>::learn(T target, const std::string& label) {
    if (target == nullptr)
        return;
    const std::string text = "MIDI learn : " + label;
    // Restarting first waits for a time-out of an earlier learn being delivered, so none can end this one.
    learnTimer_.restart();
    {
        std::lock_guard guard(mapsMutex_);
        learnTarget_ = target;
    }
    if (EditorInterface* editor = getEditor())
        editor->showInfo(this, text, 1);
}

template <class T> bool MidiMapper<T>::receive(const Message& message) {
    if (message.kind == kKindMidi && message.code == Code::kController) {
        const auto* controller = dynamic_cast<const MidiMessage*>(&message);
        if (controller == nullptr)
            return true;
        const T target = takeLearnTarget();
        if (target == nullptr)
            return true;
        assign(controller->number, target);
        // The one-shot time-out is left to run out: stopping it here could stop the timer of a learn the
        // user has just begun on another thread. When it fires, there is nothing left to end.
        clearLearnInfo();
    } else if (message.kind == kKindTimer && message.code == Code::kTimerTick) {
        const auto* tick = dynamic_cast<const TimerMessage*>(&message);
        if (tick == nullptr || tick->timerId != kLearnTimerId)
            return true;
        takeLearnTarget();
        clearLearnInfo();
    }
    return true;
}

extern template class MidiMapper<Parameter*>;

} // namespace trov
