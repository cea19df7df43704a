#pragma once

#include "engine/io/IOChannel.h"
#include "engine/notes/FrequencySource.h"
#include "framework/Radio.h"
#include "framework/SharedObject.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace trov {

class Engine;
struct EngineEvent;
class HostInterface;
class IOPinConfig;
class PluginServices;
class Program;
class ZoneManager;

// One processing unit of a plug-in instance: a private copy of the module parameters, the engine that
// renders its audio, and a pool of temporary channels that voices and engines borrow for their working
// signals. The module is the owner of its settings, engine, voices and every station made for it; it
// registers itself with the plug-in environment so that those stations find their plug-in.
//
// Owned (counted) by its plug-in instance, which makes it through the product descriptor. Threads: built,
// initialised and destroyed on the user-interface thread; `process` on the audio thread. The buffer pool
// has its own lock: borrowers take buffers on the thread that builds them (the MIDI thread for voices) and
// give them back where they are destroyed. Both frequencies are safe on the audio thread.
class Module : public Radio, public SharedObject, public FrequencySource {
public:
    static constexpr int kTempBufferCount = 32;
    static constexpr std::int32_t kTempBufferFrames = 16384;

    // Copies the specification and makes this module the owner of the copy and of every parameter in it.
    Module(Plugin* plugin, PluginServices& services, const Settings& specification);
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;
    ~Module() override;

    // Fills the buffer pool, then has the product descriptor make the engine and initialises it. Once.
    void init() override;
    Plugin* getPlugin() const override;
    // Stops whatever the engine plays.
    virtual void reset();
    // One host block through the engine; nothing without one.
    void process(IOPinConfig& inputs, IOPinConfig& outputs, std::int32_t frames) noexcept;
    int queryEngine() const;

    Settings* getSettings() const { return settings_.get(); }
    // Null before `init`.
    Engine* getEngine() const { return engine_.get(); }
    // Read by note dispatch on the audio thread while the user-interface thread may swap modules.
    int getIndex() const { return index_.load(std::memory_order_relaxed); }
    void setIndex(int index) { index_.store(index, std::memory_order_relaxed); }
    std::string getName() const { return name_; }
    void setName(const std::string& name) { name_ = name; }
    // Read by the engine on the audio thread while the user-interface thread may set it.
    float getGain() const { return gain_.load(std::memory_order_relaxed); }
    void setGain(float gain) { gain_.store(gain, std::memory_order_relaxed); }

    // What the current preset gives this module's index; null when there is none.
    Program* getProgram() const;
    ZoneManager* getZoneManager() const;
    // The work with this module's zone manager held for its whole length (`PluginServices::withZoneManager`).
    void withZoneManager(const std::function<void(ZoneManager*)>& work) const;
    // The plug-in's host; null without one.
    HostInterface* getHost() const;
    double getFrequency(int key, double cents) const noexcept override;
    double getFrequencyAtReferencePitch(int key, double cents) const noexcept override;
    // Queues the engine's own event for the next block (`PluginServices::postEvent`). Any thread.
    bool postEvent(const EngineEvent& event) const noexcept;

    // Lends a free channel of the pool (the first in pool order); grows the pool by one when none is free.
    // Const, as borrowers know their module only as their owner: lending changes nothing else.
    IOChannel<float>* getTempBuffer() const;
    // Gives a lent channel back; a channel the pool does not hold is only logged.
    void releaseTempBuffer(IOChannel<float>* channel) const;
    int getTempBufferCount() const;

private:
    struct TempBuffer {
        std::unique_ptr<IOChannel<float>> channel;
        bool free = true;
    };

    Plugin* plugin_;
    PluginServices& services_;
    std::unique_ptr<Settings> settings_;
    std::unique_ptr<Engine> engine_;
    std::atomic<int> index_{0};
    std::string name_;
    mutable std::mutex poolMutex_; // a leaf lock: nothing is called out while it is held
    mutable std::vector<TempBuffer> tempBuffers_;
    std::atomic<float> gain_{1.0f};
    bool initialized_ = false;
};

} // namespace trov
