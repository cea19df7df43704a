#pragma once

#include "platform/hostsdk/HostSide.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// A small stand-in for the host's plug-in class library: the classes a plug-in binding derives from and
// the services they give it, behind the host-side interfaces of HostSide.h. The binding overrides the
// hooks (the methods starting with a capital); the library turns the host's calls into them, checks the
// host's arguments first, and keeps every exception on the module's side.
namespace trov::hostsdk {

class CEffectProcess;
using ProcessFactory = CEffectProcess* (*)();

// One effect type: codes, names, rate support, properties, stems and the process factory.
// Owned by its group once added. User-interface thread.
class CEffectTypeRTAS {
public:
    CEffectTypeRTAS(std::uint32_t typeCode, std::uint32_t productCode, std::uint32_t categoryFlags);
    void DefineTypeNames(const char* name);
    void DefineSampleRateSupport(std::int32_t support);
    // Properties beyond kMaxTypeProperties are dropped.
    void AddGestalt(std::int32_t property);
    void DefineProcessFactory(ProcessFactory factory) { factory_ = factory; }
    void DefineStemFormats(std::int32_t input, std::int32_t output);

    const EffectTypeInfo& GetInfo() const { return info_; }
    ProcessFactory GetFactory() const { return factory_; }

private:
    EffectTypeInfo info_;
    ProcessFactory factory_ = nullptr;
};

// The module's process group. The derived group declares its types in CreateEffectTypes, which runs once,
// on the host's first type query; an int thrown there ends the declaration and is recorded.
// User-interface thread.
class CEffectGroupMIDI : public PlugInGroup {
public:
    CEffectGroupMIDI();
    CEffectGroupMIDI(const CEffectGroupMIDI&) = delete;
    CEffectGroupMIDI& operator=(const CEffectGroupMIDI&) = delete;

    void DefineManufacturerNamesAndID(const char* name, std::uint32_t makerCode);
    void DefinePlugInNamesAndVersion(const char* name, std::uint32_t version);
    void SetGroupProperty(std::int32_t property) { identity_.groupProperty = property; }
    // Takes ownership.
    void AddEffectType(CEffectTypeRTAS* type);

    // PlugInGroup
    void getIdentity(GroupIdentity& identity) override;
    std::int32_t getTypeCount() override;
    bool getTypeInfo(std::int32_t index, EffectTypeInfo& info) override;
    std::int32_t getDeclarationError() override;
    Process* createProcess(std::int32_t index, ProcessHost* host) override;
    std::int32_t idle() override;
    void release() override;

protected:
    ~CEffectGroupMIDI() override;
    virtual void CreateEffectTypes() = 0;

private:
    void declareOnce();

    GroupIdentity identity_;
    std::vector<std::unique_ptr<CEffectTypeRTAS>> types_;
    bool declared_ = false;
    std::int32_t declarationError_ = 0;
};

// A host control as the library sees it: numbered by the process from 1, with the host's stored value.
class CProcessControl {
public:
    CProcessControl() = default;
    CProcessControl(const CProcessControl&) = delete;
    CProcessControl& operator=(const CProcessControl&) = delete;
    virtual ~CProcessControl() = default;

    virtual std::int32_t GetControlNumber() const = 0;
    // Zero-terminated within length bytes (length > 0).
    virtual void GetNameOfLength(char* name, std::int32_t length) const = 0;
    virtual void GetValueString(char* text, std::int32_t length) const = 0;
    virtual bool IsAutomatable() const = 0;
    // The host's value; the stored one unless the control knows better.
    virtual std::int32_t GetValue() const { return value_.load(std::memory_order_relaxed); }
    void SetValue(std::int32_t value) { value_.store(value, std::memory_order_relaxed); }

private:
    std::atomic<std::int32_t> value_{INT32_MIN};
};

// The host's view port in the module: origin in the host's window and its native handle.
class CCustomView {
public:
    CCustomView() = default;
    CCustomView(const CCustomView&) = delete;
    CCustomView& operator=(const CCustomView&) = delete;
    virtual ~CCustomView() = default;

    // With a port: shows the view there; null: hides it.
    virtual void SetViewPort(const ViewPort* port);
    virtual void Draw() {}
    virtual void Idle() {}

    bool IsAttached() const { return attached_; }
    std::int32_t GetOriginX() const { return port_.originX; }
    std::int32_t GetOriginY() const { return port_.originY; }
    std::uintptr_t GetNativeWindow() const { return port_.nativeWindow; }

private:
    ViewPort port_;
    bool attached_ = false;
};

// The host's time source of a MIDI input: tempo and song position, asked of the host.
class CTimeSource {
public:
    explicit CTimeSource(ProcessHost* host) : host_(host) {}
    double GetTempo() const { return host_ != nullptr ? host_->getTempo() : 120.0; }
    std::int64_t GetPosition() const { return host_ != nullptr ? host_->getPosition() : 0; }

private:
    ProcessHost* host_;
};

struct MIDIPacket {
    std::uint8_t status = 0;
    std::uint8_t data1 = 0;
    std::uint8_t data2 = 0;
};
// kind 0 is a channel message.
using MIDICallback = void (*)(std::int32_t kind, const MIDIPacket& packet, void* context);

class CEffectProcessMIDI;

// A MIDI input node: delivers the host's MIDI packets to its callback while enabled. MIDI thread.
class CEffectMIDIDirectDeliveryNode {
public:
    CEffectMIDIDirectDeliveryNode(CEffectProcessMIDI* input, const char* name, MIDICallback callback,
                                  void* context);
    void Enable(bool on) { enabled_.store(on, std::memory_order_release); }
    bool IsEnabled() const { return enabled_.load(std::memory_order_acquire); }
    void Deliver(const MIDIPacket& packet) const noexcept;
    const std::string& GetName() const { return name_; }

private:
    std::string name_;
    MIDICallback callback_;
    void* context_;
    std::atomic<bool> enabled_{false};
};

// What FicCreatePlugInSpec fills.
struct PlugInSpec {
    std::uint32_t makerCode = 0;
    std::uint32_t productCode = 0;
    std::uint32_t plugInCode = 0;
    bool filled = false;
};
void FicCreatePlugInSpec(std::uint32_t makerCode, std::uint32_t productCode, std::uint32_t plugInCode,
                         PlugInSpec* spec);

// The process base: the library's services to the binding (chunk declaration, controls numbered from 1,
// stems, largest block, ready flag, automation recorded for the host) and the hooks the host's calls
// reach. Argument checks (control numbers, chunk lengths) happen here before a hook runs; an exception out
// of a hook is caught and reported as kResultFailed.
class CEffectProcess : public Process {
public:
    CEffectProcess();
    CEffectProcess(const CEffectProcess&) = delete;
    CEffectProcess& operator=(const CEffectProcess&) = delete;

    // Services.
    void DefineChunk(std::uint32_t id, const std::string& name, std::int32_t value);
    std::uint32_t GetChunkIdDeclared() const { return chunkId_; }
    const std::string& GetChunkNameDeclared() const { return chunkName_; }
    // Takes ownership; the control gets the next number.
    void AddControl(CProcessControl* control);
    std::int32_t GetNumControls() const { return static_cast<std::int32_t>(controls_.size()); }
    // Null outside 1..GetNumControls().
    CProcessControl* GetControl(std::int32_t number) const;
    std::int32_t GetInputStemFormat() const { return connect_.inputStem; }
    std::int32_t GetOutputStemFormat() const { return connect_.outputStem; }
    std::int32_t GetMaximumFrameSize() const { return connect_.maxBlockSize; }
    bool IsReady() const { return ready_; }
    ProcessHost* GetProcessHost() const { return host_; }
    // Stores the control's value and records it for the host as automation.
    void SetControlValue(std::int32_t control, std::int32_t value);
    void TouchControl(std::int32_t control);
    void ReleaseControl(std::int32_t control);

    // Hooks.
    virtual std::int32_t EffectInit() { return kResultOk; }
    virtual void ConnectedToHost() {}
    virtual std::int32_t SetSampleRateHook(std::int32_t rate) = 0;
    virtual void RenderAudio(float** inputs, float** outputs, std::int32_t frames) noexcept = 0;
    virtual void DeliverMIDI(const MIDIPacket& packet) noexcept = 0;
    virtual bool HasMIDIInput() const = 0;
    // The instance's count of dropped note-ons; none without an instance that keeps one. Any thread after
    // initialize.
    virtual std::uint32_t GetDroppedNoteCount() const { return 0; }
    // The library has stored the value; control is within 1..count.
    virtual std::int32_t UpdateControlValue(std::int32_t control, std::int32_t value) = 0;
    virtual std::int32_t SetControlHighlightInfo(std::int32_t control, bool on, std::int32_t colour) = 0;
    virtual std::int32_t GetNumChunks(std::int32_t& count) = 0;
    virtual std::int32_t GetChunkIDFromIndex(std::int32_t index, std::uint32_t& id) = 0;
    virtual std::int32_t GetChunkName(std::uint32_t id, std::uint8_t (&name)[32]) = 0;
    virtual std::int32_t GetChunkSize(std::uint32_t id, std::int32_t& size) = 0;
    virtual std::int32_t GetChunk(std::uint32_t id, std::uint8_t* chunk, std::int32_t length) = 0;
    virtual std::int32_t SetChunk(std::uint32_t id, const std::uint8_t* chunk, std::int32_t length) = 0;
    virtual std::int32_t CompareActiveChunk(const std::uint8_t* chunk, std::int32_t length, bool& equal) = 0;
    virtual std::int32_t GetChangeCount(std::int32_t& changes) = 0;
    virtual bool CreateCustomPlugInView() = 0;
    virtual CCustomView* GetCustomView() const = 0;
    virtual void DeleteCustomView() = 0;
    virtual std::int32_t GetViewRectHook(ViewRect& rect) = 0;
    virtual void SetViewPortHook(const ViewPort* port) = 0;
    virtual void DoIdle();
    virtual void WindowEvent(std::int32_t x, std::int32_t y, bool inside) = 0;
    virtual std::int32_t GetControlIndexFromPoint(std::int32_t x, std::int32_t y, std::int32_t& control) = 0;
    virtual std::int32_t DragItem(std::int32_t flavour, const char* fileName, bool& accepted) = 0;
    virtual std::int32_t Drop(std::int32_t x, std::int32_t y) = 0;

    // Process (the host's calls).
    std::int32_t initialize() override;
    std::int32_t connect(const ConnectInfo& info) override;
    std::int32_t setSampleRate(std::int32_t rate) override;
    void renderAudio(float** inputs, float** outputs, std::int32_t frames) noexcept override;
    void deliverMidi(std::uint8_t status, std::uint8_t data1, std::uint8_t data2) noexcept override;
    bool hasMidiInput() const override;
    std::uint32_t getDroppedNotes() const override { return GetDroppedNoteCount(); }
    std::int32_t getControlCount() const override { return GetNumControls(); }
    std::int32_t getControlName(std::int32_t control, char* name, std::int32_t length) override;
    std::int32_t getControlValueText(std::int32_t control, char* text, std::int32_t length) override;
    bool isControlAutomatable(std::int32_t control) override;
    std::int32_t setControlValue(std::int32_t control, std::int32_t value) override;
    std::int32_t getControlValue(std::int32_t control, std::int32_t& value) override;
    std::int32_t setControlHighlight(std::int32_t control, bool on, std::int32_t colour) override;
    std::int32_t getChunkCount(std::int32_t& count) override;
    std::int32_t getChunkId(std::int32_t index, std::uint32_t& id) override;
    std::int32_t getChunkName(std::uint32_t id, std::uint8_t (&name)[32]) override;
    std::int32_t getChunkSize(std::uint32_t id, std::int32_t& size) override;
    std::int32_t getChunk(std::uint32_t id, std::uint8_t* chunk, std::int32_t length) override;
    std::int32_t setChunk(std::uint32_t id, const std::uint8_t* chunk, std::int32_t length) override;
    std::int32_t compareChunk(const std::uint8_t* chunk, std::int32_t length, bool& equal) override;
    std::int32_t getChangeCounter(std::int32_t& changes) override;
    bool createView() override;
    bool hasView() const override { return GetCustomView() != nullptr; }
    std::int32_t getViewRect(ViewRect& rect) override;
    std::int32_t setViewPort(const ViewPort* port) override;
    void destroyView() override;
    void idle() override;
    void windowEvent(std::int32_t x, std::int32_t y, bool inside) override;
    std::int32_t getControlAt(std::int32_t x, std::int32_t y, std::int32_t& control) override;
    std::int32_t dragItem(std::int32_t flavour, const char* fileName, bool& accepted) override;
    std::int32_t drop(std::int32_t x, std::int32_t y) override;
    void release() override;

    // Set by the group before initialize.
    void SetProcessHost(ProcessHost* host) { host_ = host; }

protected:
    ~CEffectProcess() override;

private:
    std::vector<std::unique_ptr<CProcessControl>> controls_;
    ConnectInfo connect_;
    ProcessHost* host_ = nullptr;
    std::uint32_t chunkId_ = 0;
    std::string chunkName_;
    std::int32_t chunkValue_ = 0;
    bool ready_ = false;
};

// The audio side of a process: its render hook and stems.
class CEffectProcessRTAS : public virtual CEffectProcess {};

// The MIDI side of a process: the process's MIDI input, on which a delivery node is made.
class CEffectProcessMIDI : public virtual CEffectProcess {
public:
    CEffectProcessMIDI* GetMIDIInput() { return this; }
    // The node that receives this input's packets; null until one is made (not owned).
    void SetDeliveryNode(CEffectMIDIDirectDeliveryNode* node) {
        node_.store(node, std::memory_order_release);
    }
    void DeliverMIDI(const MIDIPacket& packet) noexcept override;
    bool HasMIDIInput() const override { return node_.load(std::memory_order_acquire) != nullptr; }

private:
    std::atomic<CEffectMIDIDirectDeliveryNode*> node_{nullptr};
};

} // namespace trov::hostsdk
