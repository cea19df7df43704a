#include "host/RTASProcess.h"

#include "engine/io/IOPin.h"
#include "engine/modules/Module.h"
#include "framework/EditorServices.h"
#include "framework/Logger.h"
#include "framework/Message.h"
#include "host/RTASEditor.h"
#include "host/RTASParameter.h"
#include "instance/MidiEvent.h"
#include "instance/Mission.h"
#include "instance/Plugin.h"
#include "plugin/Parameter.h"
#include "plugin/PluginInfo.h"
#include "plugin/Settings.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <string_view>

namespace trov {

namespace {

int stemChannels(std::int32_t stem) {
    return stem == hostsdk::kStemStereo ? 2 : stem == hostsdk::kStemMono ? 1 : 0;
}

// Pins of the same widths as side's, with channels of their own.
IOPinConfig shapeOf(const IOPinConfig& side) {
    const int pins = side.getPinCount();
    int width = pins > 0 ? side.getPin(0)->getChannelCount() : 1;
    for (int p = 1; p < pins; ++p)
        if (side.getPin(p)->getChannelCount() != width)
            width = 0;
    if (width == 1 || width == 2)
        return IOPinConfig(width, pins);
    return IOPinConfig(1, side.getChannelCount());
}

} // namespace

RTASProcess::RTASProcess() {
    if (const PluginInfo* info = getPluginInfo()) {
        DefineChunk(kChunkId, info->getMakerName() + " " + info->getName() + " State", -152);
        hostsdk::FicCreatePlugInSpec(info->getMakerCode(), info->getProductCode(), info->getProductCode(),
                                     &plugInSpec_);
    }
    publish(std::make_unique<Binding>());
}

hostsdk::CEffectProcess* RTASProcess::create() {
    return new RTASProcess();
}

RTASProcess::~RTASProcess() {
    DeleteCustomView();
    SetDeliveryNode(nullptr);
    midiNode_.reset();
    timeInfo_.reset();
    tuneOutOfAll();
    delete plugin_;
    plugin_ = nullptr;
    delete binding_.exchange(nullptr);
}

void RTASProcess::tuneOutOfAll() {
    if (plugin_ == nullptr)
        return;
    const int count = plugin_->getAutomatableCount();
    for (int i = 0; i < count; ++i)
        if (Parameter* parameter = plugin_->getAutomatableParameter(i))
            tuneOutOf(parameter);
    tuneOutOf(plugin_);
}

std::int32_t RTASProcess::EffectInit() {
    PluginInfo* info = getPluginInfo();
    if (info == nullptr || !Mission::instance().isStarted() || plugin_ != nullptr)
        return plugin_ != nullptr ? hostsdk::kResultOk : hostsdk::kResultFailed;
    try {
        plugin_ = info->createPlugin(this, 0);
        if (plugin_ == nullptr)
            return hostsdk::kResultFailed;
        plugin_->init();
    } catch (const std::exception& exception) {
        logLine(3, "caught exception: %s", exception.what());
        delete plugin_;
        plugin_ = nullptr;
        return hostsdk::kResultFailed;
    } catch (...) {
        logLine(3, "caught native exception, ignoring");
        delete plugin_;
        plugin_ = nullptr;
        return hostsdk::kResultFailed;
    }
    tuneInTo(plugin_);
    HostInterface::init();
    const int count = plugin_->getAutomatableCount();
    for (int i = 0; i < count; ++i)
        if (Parameter* parameter = plugin_->getAutomatableParameter(i))
            AddControl(new RTASParameter(parameter, plugin_));
    return hostsdk::kResultOk;
}

void RTASProcess::ConnectedToHost() {
    if (!Mission::instance().isStarted() || plugin_ == nullptr)
        return;
    const int inputs = GetInputStemFormat() == hostsdk::kStemStereo ? 2 : 1;
    const int outputs = GetOutputStemFormat() == hostsdk::kStemStereo ? 2 : 1;
    HostInterface::setBlockSize(GetMaximumFrameSize());
    setIOConfig(IOConfig(IOPinConfig(inputs, 1), IOPinConfig(outputs, 1)));
    setOwner(plugin_->getFirstModule());
    plugin_->setHost(this);
    plugin_->setMaxBlockSize(GetMaximumFrameSize());
    const int count = plugin_->getAutomatableCount();
    for (int i = 0; i < count; ++i)
        if (Parameter* parameter = plugin_->getAutomatableParameter(i);
            parameter != nullptr && parameter->testFlags(Parameter::kAutomatable) != 0)
            tuneInTo(parameter);
    const PluginInfo* info = getPluginInfo();
    if (midiNode_ == nullptr && info != nullptr && info->supportsFeature(PluginInfo::kFeatureMidiInput) &&
        IsReady()) {
        midiNode_ = std::make_unique<hostsdk::CEffectMIDIDirectDeliveryNode>(
            GetMIDIInput(), info->getName().c_str(), &RTASProcess::midiCallback, this);
        midiNode_->Enable(true);
        timeInfo_ = std::make_unique<hostsdk::CTimeSource>(GetProcessHost());
        SetDeliveryNode(midiNode_.get());
    }
    HostInterface::init();
}

void RTASProcess::midiCallback(std::int32_t kind, const hostsdk::MIDIPacket& packet, void* context) {
    auto* process = static_cast<RTASProcess*>(context);
    if (kind != 0 || process == nullptr || process->plugin_ == nullptr)
        return;
    MidiEvent event;
    event.status = packet.status;
    event.data1 = packet.data1;
    event.data2 = packet.data2;
    process->plugin_->midiEvent(&event);
}

std::int32_t RTASProcess::SetSampleRateHook(std::int32_t rate) {
    HostInterface::setSampleRate(rate);
    return hostsdk::kResultOk;
}

double RTASProcess::getTempo() const {
    return timeInfo_ != nullptr ? timeInfo_->GetTempo() : 120.0;
}

double RTASProcess::getSongPosition() const {
    return timeInfo_ != nullptr ? static_cast<double>(timeInfo_->GetPosition()) : 0.0;
}

// ---- audio

bool RTASProcess::setIOConfig(const IOConfig& config) {
    HostInterface::setIOConfig(config);
    rebuildBinding();
    return true;
}

void RTASProcess::setBlockSize(int frames) {
    HostInterface::setBlockSize(frames);
    rebuildBinding();
}

void RTASProcess::rebuildBinding() {
    auto binding = std::make_unique<Binding>();
    IOConfig& config = getIOBridge();
    binding->inputs = shapeOf(config.getInputs());
    binding->outputs = shapeOf(config.getOutputs());
    binding->frames = std::max(getBlockSize(), 0);
    const bool connected = IsReady();
    binding->hostInputs =
        std::min(binding->inputs.getChannelCount(), connected ? stemChannels(GetInputStemFormat()) : 0);
    binding->hostOutputs =
        std::min(binding->outputs.getChannelCount(), connected ? stemChannels(GetOutputStemFormat()) : 0);
    const auto bind = [&](IOPinConfig& side, int bound, std::vector<float*>& spares) {
        for (int c = 0; c < side.getChannelCount(); ++c) {
            IOChannel<float>* channel = side.getChannel(c);
            if (c < bound) {
                channel->wrap(nullptr, 0);
                continue;
            }
            binding->spares.emplace_back(new float[static_cast<std::size_t>(binding->frames) + 1]());
            spares.push_back(binding->spares.back().get());
            channel->wrap(spares.back(), binding->frames);
        }
    };
    bind(binding->inputs, binding->hostInputs, binding->inputSpares);
    bind(binding->outputs, binding->hostOutputs, binding->outputSpares);
    publish(std::move(binding));
}

void RTASProcess::publish(std::unique_ptr<Binding> binding) {
    Binding* old = binding_.exchange(binding.release(), std::memory_order_acq_rel);
    // A block under way still renders into the old pins; it ends before they go.
    renderReaders_.synchronize();
    delete old;
}

int RTASProcess::getBoundInputs() const {
    const Binding* binding = binding_.load(std::memory_order_acquire);
    return binding != nullptr ? binding->hostInputs : 0;
}

int RTASProcess::getBoundOutputs() const {
    const Binding* binding = binding_.load(std::memory_order_acquire);
    return binding != nullptr ? binding->hostOutputs : 0;
}

void RTASProcess::RenderAudio(float** inputs, float** outputs, std::int32_t frames) noexcept {
    Plugin* plugin = plugin_;
    if (plugin == nullptr || frames <= 0)
        return;
    plugin->beginCpuMeter(0);
    {
        const ReaderEpochs::Read read(renderReaders_);
        Binding* binding = binding_.load(std::memory_order_acquire);
        const bool hasSpares = !binding->inputSpares.empty() || !binding->outputSpares.empty();
        const std::int32_t n = hasSpares ? std::min(frames, binding->frames) : frames;
        const auto hostBuffer = [](float** buffers, int i) {
            return buffers != nullptr ? buffers[i] : nullptr;
        };
        for (int i = 0; i < binding->hostInputs; ++i)
            binding->inputs.getChannel(i)->wrap(hostBuffer(inputs, i), n);
        for (std::size_t s = 0; s < binding->inputSpares.size(); ++s) {
            float* spare = binding->inputSpares[s];
            std::memset(spare, 0, sizeof(float) * static_cast<std::size_t>(n));
            binding->inputs.getChannel(binding->hostInputs + static_cast<int>(s))->wrap(spare, n);
        }
        for (int i = 0; i < binding->hostOutputs; ++i) {
            float* out = hostBuffer(outputs, i);
            const bool inPlace = i < binding->hostInputs && hostBuffer(inputs, i) == out;
            if (out != nullptr && !inPlace)
                std::memset(out, 0, sizeof(float) * static_cast<std::size_t>(frames));
            IOChannel<float>* channel = binding->outputs.getChannel(i);
            channel->wrap(out, n);
            channel->setValidFrames(0);
        }
        for (std::size_t s = 0; s < binding->outputSpares.size(); ++s) {
            float* spare = binding->outputSpares[s];
            std::memset(spare, 0, sizeof(float) * static_cast<std::size_t>(n));
            IOChannel<float>* channel =
                binding->outputs.getChannel(binding->hostOutputs + static_cast<int>(s));
            channel->wrap(spare, n);
            channel->setValidFrames(0);
        }
        plugin->process(binding->inputs, binding->outputs, n);
    }
    plugin->endCpuMeter(0);
}

// ---- controls

std::int32_t RTASProcess::UpdateControlValue(std::int32_t control, std::int32_t value) {
    changeCounter_.fetch_add(1, std::memory_order_relaxed);
    if (plugin_ == nullptr || control < 1 || control > GetNumControls())
        return hostsdk::kResultOk;
    if (Parameter* parameter = plugin_->getAutomatableParameter(control - 1))
        parameter->setNormalized(RTASParameter::normalized(value), Sender::kHost);
    return hostsdk::kResultOk;
}

std::int32_t RTASProcess::SetControlHighlightInfo(std::int32_t control, bool on, std::int32_t colour) {
    if (plugin_ == nullptr || control < 1 || control > GetNumControls())
        return hostsdk::kResultOk;
    EditorInterface* editor = getEditor();
    Parameter* parameter = plugin_->getAutomatableParameter(control - 1);
    if (parameter != nullptr && view_ != nullptr && editor != nullptr)
        editor->setHighlight(parameter, RTASParameter::highlightColor(on, colour));
    return hostsdk::kResultOk;
}

bool RTASProcess::receive(const Message& message) {
    if (message.kind == kKindPlugin && message.code == Code::kPluginStateChanged) {
        if (!settingChunk_)
            changeCounter_.fetch_add(1, std::memory_order_relaxed);
        return true;
    }
    if (message.kind == kKindParameter && message.code == Code::kParameterValue) {
        const auto& change = static_cast<const ParameterMessage&>(message);
        if (change.flags == Sender::kEditor && change.sender != nullptr) {
            EditorInterface* editor = getEditor();
            const Module* module = editor != nullptr ? editor->getEditedModule() : nullptr;
            if (module == nullptr || plugin_ == nullptr || module->getSettings() == nullptr)
                return false;
            const std::string_view name = change.name;
            const Parameter* parameter = module->getSettings()->getParameter(name, change.index);
            if (parameter != nullptr && parameter->testFlags(Parameter::kAutomatable) != 0) {
                changeCounter_.fetch_add(1, std::memory_order_relaxed);
                SetControlValue(plugin_->getAutomatableIndex(module, name, change.index) + 1,
                                RTASParameter::fixed(change.value));
            }
            return true;
        }
    }
    if (message.kind == kKindControl &&
        (message.code == Code::kEditBegin || message.code == Code::kEditEnd)) {
        if (plugin_ != nullptr) {
            const std::int32_t number = controlNumberOf(*plugin_, wordToPointer<Radio>(message.extra));
            if (number > 0) {
                if (message.code == Code::kEditBegin)
                    TouchControl(number);
                else
                    ReleaseControl(number);
            }
        }
        return true;
    }
    return plugin_ != nullptr && plugin_->receive(message);
}

// ---- view

bool RTASProcess::CreateCustomPlugInView() {
    if (view_ != nullptr)
        return true;
    try {
        auto view = std::make_unique<RTASEditor>(*this, *this);
        EditorInterface* editor = view->getEditor();
        setEditor(editor);
        // The editor's gestures (control messages 6 and 7) become the host's touch and release.
        if (auto* station = dynamic_cast<Radio*>(editor))
            tuneInTo(station);
        const PluginInfo* info = getPluginInfo();
        const int offset = info != nullptr && info->supportsFeature(PluginInfo::kFeatureMidiInput) ? 72 : 56;
        const Rect size = editor->getSize();
        Rect bounds = size.atOrigin();
        bounds.top += offset;
        bounds.bottom += offset;
        editor->setBounds(bounds);
        view_ = std::move(view);
        return true;
    } catch (...) {
        setEditor(nullptr);
        logLine(3, "CreateCPluginView::OOPS");
        return false;
    }
}

hostsdk::CCustomView* RTASProcess::GetCustomView() const {
    return view_.get();
}

void RTASProcess::DeleteCustomView() {
    if (view_ == nullptr)
        return;
    view_->SetViewPort(nullptr);
    if (auto* station = dynamic_cast<Radio*>(view_->getEditor()))
        tuneOutOf(station);
    setEditor(nullptr);
    view_.reset();
}

std::int32_t RTASProcess::GetViewRectHook(hostsdk::ViewRect& rect) {
    if (view_ == nullptr)
        return hostsdk::kResultFailed;
    const Rect size = view_->getEditor()->getSize();
    rect.top = 0;
    rect.left = 0;
    rect.bottom = static_cast<std::int16_t>(std::clamp(size.getHeight(), 0, INT16_MAX));
    rect.right = static_cast<std::int16_t>(std::clamp(size.getWidth(), 0, INT16_MAX));
    return hostsdk::kResultOk;
}

void RTASProcess::SetViewPortHook(const hostsdk::ViewPort* port) {
    if (view_ != nullptr)
        view_->SetViewPort(port);
}

void RTASProcess::WindowEvent(std::int32_t x, std::int32_t y, bool inside) {
    EditorInterface* editor = view_ != nullptr ? view_->getEditor() : nullptr;
    if (editor == nullptr)
        return;
    const Point point{x, y};
    if (inside) {
        if (editor->receiveMessage(WindowMessage(nullptr, Code::kDragOver, 0, point, 0)))
            editor->receiveMessage(WindowMessage(nullptr, Code::kDragOver + 1, 0, point, 5));
    } else {
        editor->receiveMessage(WindowMessage(nullptr, Code::kDragLeave, 0, point, 0));
    }
}

std::int32_t RTASProcess::GetControlIndexFromPoint(std::int32_t x, std::int32_t y, std::int32_t& control) {
    const std::int32_t number = view_ != nullptr ? view_->getControlNumberAt(Point{x, y}) : -1;
    if (number < 0) {
        control = 0;
        return hostsdk::kResultFailed;
    }
    control = number;
    return hostsdk::kResultOk;
}

std::int32_t RTASProcess::DragItem(std::int32_t flavour, const char* fileName, bool& accepted) {
    if (flavour >= 0 && flavour <= 2) {
        droppedFile_ = fileName != nullptr ? fileName : "";
        dragAccepted_ = true;
        logLine(1, "DnD flavor=%d filename=%s", flavour, droppedFile_.c_str());
        accepted = true;
    } else {
        logLine(1, "DnD with unknown flavor %d", flavour);
        accepted = false;
    }
    return hostsdk::kResultOk;
}

std::int32_t RTASProcess::Drop(std::int32_t x, std::int32_t y) {
    // Nothing was offered yet: there is nothing to load.
    if (x < 0 || y < 0 || !dragAccepted_)
        return hostsdk::kResultFailed;
    logLine(4, "DnD drop at (%d,%d)", x, y);
    // The instance's own answer goes back to the host: a file it refused loaded nothing, whatever its
    // change counter says (a placed sample does not count as a change).
    const bool taken =
        receive(WindowMessage(this, Plugin::kDropFile, 0, Point{x, y}, pointerToWord(droppedFile_.c_str())));
    return taken ? hostsdk::kResultOk : hostsdk::kResultFailed;
}

std::uint32_t RTASProcess::GetDroppedNoteCount() const {
    return plugin_ != nullptr ? plugin_->getDroppedNotes() : 0;
}

} // namespace trov
