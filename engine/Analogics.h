#pragma once

#include "framework/Radio.h"

#include <atomic>
#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace trov {

class Dictionary;
class Preferences;

// The analog character of the emulated machine: every named component (a filter's cutoff in one voice,
// an oscillator's tuning) has its own fixed deviation from the ideal value, drawn once per machine, plus a
// very slow random wander. `getTolerance` answers with a factor near 1.0.
//
// The deviations survive from run to run under the per-user key "Analog Components" (loaded when built,
// written back when destroyed) and travel with bank documents as "analogs" (`read`, `write`).
// Owned by the instrument. Threads: bank documents are read and written, and components asked by name, on
// the user-interface thread; one lock guards the list of components and the key. The audio thread (a note
// start) reads components prepared beforehand (`prepareComponent`, which allocates): their values are
// atomic and never move, a first read draws the value without allocating or locking, and the line that
// says so is logged later by the next call on another thread (`flushLog`).
class Analogics : public Radio {
public:
    // Distributions of a new component's value.
    static constexpr int kPositive = 0;  // 0..1
    static constexpr int kNegative = 1;  // -1..0
    static constexpr int kSymmetric = 2; // -1..1 (also any other number but 3)
    static constexpr int kIdeal = 3;     // exactly 1.0, returned as stored and never wandering
    static constexpr float kDefaultTolerance = 0.05f;

    // One component's place; it lives as long as the analog model, whatever is forgotten or read.
    class Component {
    public:
        Component() = default;
        Component(const Component&) = delete;
        Component& operator=(const Component&) = delete;

    private:
        friend class Analogics;
        enum : int { kUndrawn, kDrawing, kDrawn };
        std::atomic<float> value{0.0f};
        std::atomic<int> state{kUndrawn};
        std::atomic<bool> hasStored{false};
        std::atomic<float> stored{0.0f}; // the per-user store's value, taken when first read
        std::atomic<bool> logPending{false};
        std::atomic<bool> fromStore{false};
        std::atomic<float> initial{0.0f};
    };

    explicit Analogics(const Module* owner);
    Analogics(const Analogics&) = delete;
    Analogics& operator=(const Analogics&) = delete;
    // Writes every component back under the key.
    ~Analogics() override;

    // Loads every component stored under the key.
    void init() override;
    // The "analogs" entry of a bank document: the components known here take their stored values; values
    // that are not finite numbers are refused (logged) and the others kept within -1..1.
    virtual void read(const Dictionary& dictionary);
    // One "analogs" entry per component, the name's spaces written as "-".
    virtual void write(Dictionary& dictionary) const;

    // Finite values only; others are ignored.
    void setTolerance(float tolerance) noexcept;
    void setAmount(float amount) noexcept;
    float getToleranceRange() const noexcept { return tolerance_.load(); }
    float getAmount() const noexcept { return amount_.load(); }

    // The component's factor, 1 + amount x tolerance x value, after one step of wander; kIdeal returns
    // the stored value itself. A component asked for the first time takes its stored value, or a new one
    // drawn by the distribution (logged either way).
    float getTolerance(const std::string& name, int distribution);
    // The component of that name, made (not drawn) when missing, with its stored value looked up: what the
    // audio thread may read. Allocates; any thread but the audio thread.
    Component& prepareComponent(const std::string& name);
    // getTolerance for a prepared component: no allocation, no lock, no log (a first read's line waits
    // for flushLog). Any thread.
    float getTolerance(Component& component, int distribution) noexcept;
    // Logs what first reads on the audio thread left to say. Any thread but the audio thread.
    void flushLog();
    // Sets or adds a component's value; values that are not finite are ignored.
    void setValue(const std::string& name, float value);
    // Components with a value (prepared ones not yet read do not count).
    std::size_t getComponentCount() const;

    // Forgets every component, here and under the key, so that each draws a new value when next asked.
    // True when the stored values were deleted; false without a key or when the store cannot be written.
    bool clearStored();

private:
    // Under mutex_: the component of that name, made when missing (with the store's value looked up).
    Component& componentOf(const std::string& name);
    // Draws a component's value when it has none yet; true when this call did.
    static bool draw(Component& component, int distribution) noexcept;

    mutable std::mutex mutex_; // the list of components and the key
    std::atomic<float> tolerance_{kDefaultTolerance};
    std::atomic<float> amount_{1.0f};
    std::map<std::string, Component, std::less<>> components_; // never erased: prepared places stay
    std::atomic<bool> logPending_{false};
    std::unique_ptr<Preferences> preferences_; // "Analog Components"; null without per-user preferences
};

} // namespace trov
