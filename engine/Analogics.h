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
// Owned by the instrument. Threads: voices ask on the MIDI thread while bank documents are read and
// written on the user-interface thread; one lock guards the components and the key. Not for the audio
// thread (a new component allocates and logs).
class Analogics : public Radio {
public:
    // Distributions of a new component's value.
    static constexpr int kPositive = 0;  // 0..1
    static constexpr int kNegative = 1;  // -1..0
    static constexpr int kSymmetric = 2; // -1..1 (also any other number but 3)
    static constexpr int kIdeal = 3;     // exactly 1.0, returned as stored and never wandering
    static constexpr float kDefaultTolerance = 0.05f;

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
    // Sets or adds a component's value; values that are not finite are ignored.
    void setValue(const std::string& name, float value);
    std::size_t getComponentCount() const;

    // Forgets every component, here and under the key, so that each draws a new value when next asked.
    // True when the stored values were deleted; false without a key or when the store cannot be written.
    bool clearStored();

private:
    mutable std::mutex mutex_; // the components and the key
    std::atomic<float> tolerance_{kDefaultTolerance};
    std::atomic<float> amount_{1.0f};
    std::map<std::string, float> components_;
    std::unique_ptr<Preferences> preferences_; // "Analog Components"; null without per-user preferences
};

} // namespace trov
