#include "platform/hostsdk/HostSdk.h"

#include "platform/EventLoop.h"

#include <algorithm>
#include <cstring>

namespace trov::hostsdk {

namespace {

void copyName(char (&out)[kMaxNameLength + 1], const char* name) {
    std::memset(out, 0, sizeof out);
    if (name != nullptr)
        std::strncpy(out, name, kMaxNameLength);
}

// Runs a hook; no exception reaches the host.
template <class F> std::int32_t guarded(F&& hook) noexcept {
    try {
        return hook();
    } catch (...) {
        return kResultFailed;
    }
}

} // namespace

CEffectTypeRTAS::CEffectTypeRTAS(std::uint32_t typeCode, std::uint32_t productCode,
                                 std::uint32_t categoryFlags) {
    info_.typeCode = typeCode;
    info_.productCode = productCode;
    info_.categoryFlags = categoryFlags;
}

void CEffectTypeRTAS::DefineTypeNames(const char* name) {
    copyName(info_.name, name);
}

void CEffectTypeRTAS::DefineSampleRateSupport(std::int32_t support) {
    info_.sampleRateSupport = support;
}

void CEffectTypeRTAS::AddGestalt(std::int32_t property) {
    if (info_.propertyCount < kMaxTypeProperties)
        info_.properties[info_.propertyCount++] = property;
}

void CEffectTypeRTAS::DefineStemFormats(std::int32_t input, std::int32_t output) {
    info_.inputStem = input;
    info_.outputStem = output;
}

CEffectGroupMIDI::CEffectGroupMIDI() = default;
CEffectGroupMIDI::~CEffectGroupMIDI() = default;

void CEffectGroupMIDI::DefineManufacturerNamesAndID(const char* name, std::uint32_t makerCode) {
    copyName(identity_.makerName, name);
    identity_.makerCode = makerCode;
}

void CEffectGroupMIDI::DefinePlugInNamesAndVersion(const char* name, std::uint32_t version) {
    copyName(identity_.productName, name);
    identity_.productVersion = version;
}

void CEffectGroupMIDI::AddEffectType(CEffectTypeRTAS* type) {
    if (type != nullptr)
        types_.emplace_back(type);
}

void CEffectGroupMIDI::getIdentity(GroupIdentity& identity) {
    identity = identity_;
}

void CEffectGroupMIDI::declareOnce() {
    if (declared_)
        return;
    declared_ = true;
    try {
        CreateEffectTypes();
    } catch (int code) {
        declarationError_ = code;
    } catch (...) {
        declarationError_ = kResultFailed;
    }
}

std::int32_t CEffectGroupMIDI::getTypeCount() {
    declareOnce();
    return static_cast<std::int32_t>(types_.size());
}

bool CEffectGroupMIDI::getTypeInfo(std::int32_t index, EffectTypeInfo& info) {
    declareOnce();
    if (index < 0 || index >= static_cast<std::int32_t>(types_.size()))
        return false;
    info = types_[static_cast<std::size_t>(index)]->GetInfo();
    return true;
}

std::int32_t CEffectGroupMIDI::getDeclarationError() {
    declareOnce();
    return declarationError_;
}

Process* CEffectGroupMIDI::createProcess(std::int32_t index, ProcessHost* host) {
    declareOnce();
    if (index < 0 || index >= static_cast<std::int32_t>(types_.size()))
        return nullptr;
    const ProcessFactory factory = types_[static_cast<std::size_t>(index)]->GetFactory();
    if (factory == nullptr)
        return nullptr;
    try {
        CEffectProcess* process = factory();
        if (process != nullptr)
            process->SetProcessHost(host);
        return process;
    } catch (...) {
        return nullptr;
    }
}

std::int32_t CEffectGroupMIDI::idle() {
    try {
        return static_cast<std::int32_t>(platform::EventLoop::instance().pump());
    } catch (...) {
        return 0;
    }
}

void CEffectGroupMIDI::release() {
    delete this;
}

void CCustomView::SetViewPort(const ViewPort* port) {
    attached_ = port != nullptr;
    port_ = port != nullptr ? *port : ViewPort();
}

CEffectMIDIDirectDeliveryNode::CEffectMIDIDirectDeliveryNode(CEffectProcessMIDI* input, const char* name,
                                                             MIDICallback callback, void* context)
    : name_(name != nullptr ? name : ""), callback_(callback), context_(context) {
    (void)input;
}

void CEffectMIDIDirectDeliveryNode::Deliver(const MIDIPacket& packet) const noexcept {
    if (callback_ != nullptr && IsEnabled())
        callback_(0, packet, context_);
}

void FicCreatePlugInSpec(std::uint32_t makerCode, std::uint32_t productCode, std::uint32_t plugInCode,
                         PlugInSpec* spec) {
    if (spec == nullptr)
        return;
    spec->makerCode = makerCode;
    spec->productCode = productCode;
    spec->plugInCode = plugInCode;
    spec->filled = true;
}

CEffectProcess::CEffectProcess() = default;
CEffectProcess::~CEffectProcess() = default;

void CEffectProcess::DefineChunk(std::uint32_t id, const std::string& name, std::int32_t value) {
    chunkId_ = id;
    chunkName_ = name;
    chunkValue_ = value;
}

void CEffectProcess::AddControl(CProcessControl* control) {
    if (control != nullptr)
        controls_.emplace_back(control);
}

CProcessControl* CEffectProcess::GetControl(std::int32_t number) const {
    if (number < 1 || number > GetNumControls())
        return nullptr;
    return controls_[static_cast<std::size_t>(number - 1)].get();
}

void CEffectProcess::SetControlValue(std::int32_t control, std::int32_t value) {
    CProcessControl* c = GetControl(control);
    if (c == nullptr)
        return;
    c->SetValue(value);
    if (host_ != nullptr)
        host_->automationSet(control, value);
}

void CEffectProcess::TouchControl(std::int32_t control) {
    if (GetControl(control) != nullptr && host_ != nullptr)
        host_->automationTouch(control);
}

void CEffectProcess::ReleaseControl(std::int32_t control) {
    if (GetControl(control) != nullptr && host_ != nullptr)
        host_->automationRelease(control);
}

void CEffectProcess::DoIdle() {
    if (CCustomView* view = GetCustomView())
        view->Idle();
}

std::int32_t CEffectProcess::initialize() {
    return guarded([&] { return EffectInit(); });
}

std::int32_t CEffectProcess::connect(const ConnectInfo& info) {
    return guarded([&] {
        connect_ = info;
        connect_.maxBlockSize = std::max(info.maxBlockSize, 0);
        ready_ = true;
        ConnectedToHost();
        return kResultOk;
    });
}

std::int32_t CEffectProcess::setSampleRate(std::int32_t rate) {
    return guarded([&] { return SetSampleRateHook(rate); });
}

void CEffectProcess::renderAudio(float** inputs, float** outputs, std::int32_t frames) noexcept {
    if (frames <= 0)
        return;
    RenderAudio(inputs, outputs, std::min(frames, connect_.maxBlockSize));
}

void CEffectProcess::deliverMidi(std::uint8_t status, std::uint8_t data1, std::uint8_t data2) noexcept {
    DeliverMIDI(MIDIPacket{status, data1, data2});
}

bool CEffectProcess::hasMidiInput() const {
    return HasMIDIInput();
}

std::int32_t CEffectProcess::getControlName(std::int32_t control, char* name, std::int32_t length) {
    const CProcessControl* c = GetControl(control);
    if (c == nullptr || name == nullptr || length <= 0)
        return kResultFailed;
    return guarded([&] {
        c->GetNameOfLength(name, length);
        return kResultOk;
    });
}

std::int32_t CEffectProcess::getControlValueText(std::int32_t control, char* text, std::int32_t length) {
    const CProcessControl* c = GetControl(control);
    if (c == nullptr || text == nullptr || length <= 0)
        return kResultFailed;
    return guarded([&] {
        c->GetValueString(text, length);
        return kResultOk;
    });
}

bool CEffectProcess::isControlAutomatable(std::int32_t control) {
    const CProcessControl* c = GetControl(control);
    return c != nullptr && guarded([&] { return c->IsAutomatable() ? 1 : 0; }) == 1;
}

std::int32_t CEffectProcess::setControlValue(std::int32_t control, std::int32_t value) {
    CProcessControl* c = GetControl(control);
    if (c == nullptr)
        return kResultFailed;
    c->SetValue(value);
    return guarded([&] { return UpdateControlValue(control, value); });
}

std::int32_t CEffectProcess::getControlValue(std::int32_t control, std::int32_t& value) {
    const CProcessControl* c = GetControl(control);
    if (c == nullptr)
        return kResultFailed;
    return guarded([&] {
        value = c->GetValue();
        return kResultOk;
    });
}

std::int32_t CEffectProcess::setControlHighlight(std::int32_t control, bool on, std::int32_t colour) {
    return guarded([&] { return SetControlHighlightInfo(control, on, colour); });
}

std::int32_t CEffectProcess::getChunkCount(std::int32_t& count) {
    return guarded([&] { return GetNumChunks(count); });
}

std::int32_t CEffectProcess::getChunkId(std::int32_t index, std::uint32_t& id) {
    return guarded([&] { return GetChunkIDFromIndex(index, id); });
}

std::int32_t CEffectProcess::getChunkName(std::uint32_t id, std::uint8_t (&name)[32]) {
    return guarded([&] { return GetChunkName(id, name); });
}

std::int32_t CEffectProcess::getChunkSize(std::uint32_t id, std::int32_t& size) {
    return guarded([&] { return GetChunkSize(id, size); });
}

std::int32_t CEffectProcess::getChunk(std::uint32_t id, std::uint8_t* chunk, std::int32_t length) {
    if (chunk == nullptr || length < 0)
        return kResultFailed;
    return guarded([&] { return GetChunk(id, chunk, length); });
}

std::int32_t CEffectProcess::setChunk(std::uint32_t id, const std::uint8_t* chunk, std::int32_t length) {
    if (chunk == nullptr || length < 0)
        return kResultFailed;
    return guarded([&] { return SetChunk(id, chunk, length); });
}

std::int32_t CEffectProcess::compareChunk(const std::uint8_t* chunk, std::int32_t length, bool& equal) {
    if (chunk == nullptr || length < 0)
        return kResultFailed;
    return guarded([&] { return CompareActiveChunk(chunk, length, equal); });
}

std::int32_t CEffectProcess::getChangeCounter(std::int32_t& changes) {
    return guarded([&] { return GetChangeCount(changes); });
}

bool CEffectProcess::createView() {
    return guarded([&] { return CreateCustomPlugInView() ? 1 : 0; }) == 1;
}

std::int32_t CEffectProcess::getViewRect(ViewRect& rect) {
    return guarded([&] { return GetViewRectHook(rect); });
}

std::int32_t CEffectProcess::setViewPort(const ViewPort* port) {
    return guarded([&] {
        SetViewPortHook(port);
        return kResultOk;
    });
}

void CEffectProcess::destroyView() {
    guarded([&] {
        DeleteCustomView();
        return kResultOk;
    });
}

void CEffectProcess::idle() {
    guarded([&] {
        DoIdle();
        return kResultOk;
    });
}

void CEffectProcess::windowEvent(std::int32_t x, std::int32_t y, bool inside) {
    guarded([&] {
        WindowEvent(x, y, inside);
        return kResultOk;
    });
}

std::int32_t CEffectProcess::getControlAt(std::int32_t x, std::int32_t y, std::int32_t& control) {
    return guarded([&] { return GetControlIndexFromPoint(x, y, control); });
}

std::int32_t CEffectProcess::dragItem(std::int32_t flavour, const char* fileName, bool& accepted) {
    return guarded([&] { return DragItem(flavour, fileName != nullptr ? fileName : "", accepted); });
}

std::int32_t CEffectProcess::drop(std::int32_t x, std::int32_t y) {
    return guarded([&] { return Drop(x, y); });
}

void CEffectProcess::release() {
    guarded([&] {
        DeleteCustomView();
        return kResultOk;
    });
    delete this;
}

void CEffectProcessMIDI::DeliverMIDI(const MIDIPacket& packet) noexcept {
    if (const CEffectMIDIDirectDeliveryNode* node = node_.load(std::memory_order_acquire))
        node->Deliver(packet);
}

} // namespace trov::hostsdk
