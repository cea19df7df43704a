#include "engine/modules/Module.h"

#include "engine/dsp/FlushDenormals.h"
#include "engine/modules/Engine.h"
#include "engine/modules/PluginServices.h"
#include "framework/Logger.h"
#include "plugin/PluginEnvironment.h"
#include "plugin/PluginInfo.h"
#include "plugin/Settings.h"

namespace trov {

Module::Module(Plugin* plugin, PluginServices& services, const Settings& specification)
    : plugin_(plugin), services_(services), settings_(std::make_unique<Settings>(specification)) {
    PluginEnvironment::instance().addModule(this, plugin);
    setOwner(this);
    settings_->init();
    settings_->setOwner(this);
}

Module::~Module() {
    // The engine first: it and its voices give their buffers back and tune out of parameters of the
    // settings, so both must still exist.
    engine_.reset();
    settings_.reset();
    PluginEnvironment::instance().removeModule(this);
}

void Module::init() {
    if (initialized_)
        return;
    initialized_ = true;
    Radio::init();
    {
        std::vector<TempBuffer> pool(kTempBufferCount);
        for (TempBuffer& buffer : pool)
            buffer.channel = std::make_unique<IOChannel<float>>(kTempBufferFrames);
        std::lock_guard guard(poolMutex_);
        for (TempBuffer& buffer : pool)
            tempBuffers_.push_back(std::move(buffer));
    }
    if (PluginInfo* info = getPluginInfo())
        engine_.reset(info->createEngine(this));
    if (engine_ != nullptr)
        engine_->init();
}

Plugin* Module::getPlugin() const {
    return plugin_;
}

void Module::reset() {
    if (engine_ != nullptr)
        engine_->reset();
}

void Module::process(IOPinConfig& inputs, IOPinConfig& outputs, std::int32_t frames) noexcept {
    if (engine_ == nullptr)
        return;
    const ScopedFlushDenormals flush;
    engine_->process(inputs, outputs, frames);
}

int Module::queryEngine() const {
    return engine_ != nullptr ? engine_->query() : 0;
}

Program* Module::getProgram() const {
    return services_.getProgram(getIndex());
}

ZoneManager* Module::getZoneManager() const {
    return services_.getZoneManager(getIndex());
}

void Module::withZoneManager(const std::function<void(ZoneManager*)>& work) const {
    services_.withZoneManager(getIndex(), work);
}

HostInterface* Module::getHost() const {
    return services_.getHost();
}

double Module::getFrequency(int key, double cents) const noexcept {
    return services_.getFrequency(key, cents);
}

double Module::getFrequencyAtReferencePitch(int key, double cents) const noexcept {
    return services_.getFrequencyAtReferencePitch(key, cents);
}

bool Module::postEvent(const EngineEvent& event) const noexcept {
    return services_.postEvent(event);
}

IOChannel<float>* Module::getTempBuffer() const {
    {
        std::lock_guard guard(poolMutex_);
        for (TempBuffer& buffer : tempBuffers_)
            if (buffer.free) {
                buffer.free = false;
                return buffer.channel.get();
            }
    }
    // More borrowers than buffers: one more, allocated outside the lock.
    TempBuffer grown;
    grown.channel = std::make_unique<IOChannel<float>>(kTempBufferFrames);
    grown.free = false;
    IOChannel<float>* channel = grown.channel.get();
    int count = 0;
    {
        std::lock_guard guard(poolMutex_);
        tempBuffers_.push_back(std::move(grown));
        count = static_cast<int>(tempBuffers_.size());
    }
    logLine(1, "Module temporary buffers increased to %d", count);
    return channel;
}

void Module::releaseTempBuffer(IOChannel<float>* channel) const {
    {
        std::lock_guard guard(poolMutex_);
        for (TempBuffer& buffer : tempBuffers_)
            if (channel != nullptr && buffer.channel.get() == channel) {
                buffer.free = true;
                return;
            }
    }
    logLine(2, "void trov::Module::releaseTempBuffer(trov::IOChannel<float>*): failed to release temporary "
               "buffer");
}

int Module::getTempBufferCount() const {
    std::lock_guard guard(poolMutex_);
    return static_cast<int>(tempBuffers_.size());
}

} // namespace trov
