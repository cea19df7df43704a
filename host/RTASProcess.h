#pragma once

#include "engine/io/HostInterface.h"
#include "instance/ReaderEpochs.h"
#include "platform/hostsdk/HostSdk.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace trov {

class Plugin;
class RTASEditor;

// One processing instance as the host sees it: creates the plug-in instance through the descriptor, shows
// its automatable parameters as host controls, binds the host's buffers for every block, hands on the
// host's MIDI, reports editor gestures back as automation, and carries the state chunk and the view.
// Made by the group's process factory and released by the host, which stops rendering first.
//
// Threads: `RenderAudio` on the host's audio thread (noexcept, no allocation, no lock); the MIDI callback
// on the host's MIDI thread; everything else on the user-interface thread. A configuration set on the
// user-interface thread (the product may switch its outputs) is built there, with zeroed spare buffers
// for the channels the host has no buffer for, and taken over by the audio thread at a block start.
class RTASProcess : public HostInterface,
                    public hostsdk::CEffectProcessRTAS,
                    public hostsdk::CEffectProcessMIDI {
public:
    static constexpr std::uint32_t kChunkId = hostsdk::kStateChunkId;
    static constexpr std::int32_t kHeaderSize = hostsdk::kChunkHeaderSize;

    RTASProcess();
    RTASProcess(const RTASProcess&) = delete;
    RTASProcess& operator=(const RTASProcess&) = delete;

    static hostsdk::CEffectProcess* create();

    // HostInterface
    Plugin* getPlugin() const override { return plugin_; }
    bool receive(const Message& message) override;
    bool setIOConfig(const IOConfig& config) override;
    void setBlockSize(int frames) override;
    double getTempo() const override;
    double getSongPosition() const override;
    std::string getHostName() const override { return "ProTools"; }

    // Library hooks.
    std::int32_t EffectInit() override;
    void ConnectedToHost() override;
    std::int32_t SetSampleRateHook(std::int32_t rate) override;
    void RenderAudio(float** inputs, float** outputs, std::int32_t frames) noexcept override;
    std::int32_t UpdateControlValue(std::int32_t control, std::int32_t value) override;
    std::int32_t SetControlHighlightInfo(std::int32_t control, bool on, std::int32_t colour) override;
    std::int32_t GetNumChunks(std::int32_t& count) override;
    std::int32_t GetChunkIDFromIndex(std::int32_t index, std::uint32_t& id) override;
    std::int32_t GetChunkName(std::uint32_t id, std::uint8_t (&name)[32]) override;
    std::int32_t GetChunkSize(std::uint32_t id, std::int32_t& size) override;
    std::int32_t GetChunk(std::uint32_t id, std::uint8_t* chunk, std::int32_t length) override;
    std::int32_t SetChunk(std::uint32_t id, const std::uint8_t* chunk, std::int32_t length) override;
    std::int32_t CompareActiveChunk(const std::uint8_t* chunk, std::int32_t length, bool& equal) override;
    std::int32_t GetChangeCount(std::int32_t& changes) override;
    bool CreateCustomPlugInView() override;
    hostsdk::CCustomView* GetCustomView() const override;
    void DeleteCustomView() override;
    std::int32_t GetViewRectHook(hostsdk::ViewRect& rect) override;
    void SetViewPortHook(const hostsdk::ViewPort* port) override;
    void WindowEvent(std::int32_t x, std::int32_t y, bool inside) override;
    std::int32_t GetControlIndexFromPoint(std::int32_t x, std::int32_t y, std::int32_t& control) override;
    std::int32_t DragItem(std::int32_t flavour, const char* fileName, bool& accepted) override;
    std::int32_t Drop(std::int32_t x, std::int32_t y) override;
    std::uint32_t GetDroppedNoteCount() const override;

    std::int32_t changeCount() const { return changeCounter_.load(std::memory_order_relaxed); }
    RTASEditor* getView() const { return view_.get(); }
    const std::string& getDroppedFile() const { return droppedFile_; }
    const hostsdk::PlugInSpec& getPlugInSpec() const { return plugInSpec_; }
    // The state as the chunk's text; empty without instance.
    std::string buildChunkText() const;
    // Host channels of the configuration bound now, input and output; for tests.
    int getBoundInputs() const;
    int getBoundOutputs() const;

protected:
    ~RTASProcess() override;

private:
    // The pins the audio thread renders into: the configuration's shape, host buffers bound to at most the
    // host's channels, zeroed spares for the rest.
    struct Binding {
        IOPinConfig inputs;
        IOPinConfig outputs;
        int hostInputs = 0;
        int hostOutputs = 0;
        std::int32_t frames = 0;
        std::vector<std::unique_ptr<float[]>> spares; // inputs' spares first, then outputs'
        std::vector<float*> inputSpares;
        std::vector<float*> outputSpares;
    };

    static void midiCallback(std::int32_t kind, const hostsdk::MIDIPacket& packet, void* context);
    void rebuildBinding();
    void publish(std::unique_ptr<Binding> binding);
    void tuneOutOfAll();
    // Refused chunks give nullopt; text is the chunk's text otherwise.
    bool acceptChunk(const std::uint8_t* chunk, std::int32_t length, std::string& text) const;

    std::atomic<std::int32_t> changeCounter_{0};
    Plugin* plugin_ = nullptr;
    std::unique_ptr<hostsdk::CEffectMIDIDirectDeliveryNode> midiNode_;
    std::unique_ptr<hostsdk::CTimeSource> timeInfo_;
    std::unique_ptr<RTASEditor> view_;
    std::string droppedFile_;
    bool dragAccepted_ = false;
    hostsdk::PlugInSpec plugInSpec_;
    std::optional<std::string> sizedChunk_; // the text the last size request measured
    std::atomic<bool> settingChunk_{false};

    std::atomic<Binding*> binding_{nullptr};
    ReaderEpochs renderReaders_;
};

} // namespace trov
