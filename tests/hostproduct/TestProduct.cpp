#include "hostproduct/TestProduct.h"

#include "engine/io/HostInterface.h"
#include "engine/io/IOChannel.h"
#include "engine/io/IOPinConfig.h"
#include "engine/modules/Module.h"
#include "engine/notes/Note.h"
#include "engine/zones/SampleManager.h"
#include "engine/zones/ZoneManager.h"
#include "framework/File.h"
#include "framework/Message.h"
#include "instance/Mission.h"
#include "instance/Program.h"
#include "platform/EventLoop.h"
#include "plugin/Parameter.h"
#include "plugin/Settings.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace trov::hostproduct {

namespace {

TestProductInfo* gProduct = nullptr;

// Registered when the module loads; the process-wide context deletes it when the module unloads.
[[maybe_unused]] const bool gRegistered = [] {
    gProduct = new TestProductInfo();
    setPluginInfo(gProduct);
    return true;
}();

constexpr double kTwoPi = 6.283185307179586;

} // namespace

TestProductInfo* product() {
    return getPluginInfo() == gProduct ? gProduct : nullptr;
}

IOConfig eightOutputs() {
    return IOConfig(IOPinConfig(2, 1), IOPinConfig(1, 8));
}

IOConfig stereo() {
    return IOConfig(IOPinConfig(2, 1), IOPinConfig(2, 1));
}

// ---- engine

ToneEngine::ToneEngine(Module* module) : Engine(module) {}

double ToneEngine::keyFrequency(int key) noexcept {
    return 440.0 * std::pow(2.0, (key - 69) / 12.0);
}

void ToneEngine::handleEvent(const Note& note) noexcept {
    const auto key = static_cast<std::size_t>(note.getKey() & 0x7F);
    if (note.getType() == Note::kNoteOn && note.getVelocity() > 0)
        amplitude_[key].store(static_cast<float>(note.getVelocity()) / 127.0f / 4.0f,
                              std::memory_order_release);
    else
        amplitude_[key].store(0.0f, std::memory_order_release);
    Engine::handleEvent(note);
}

void ToneEngine::process(IOPinConfig& /*inputs*/, IOPinConfig& outputs, std::int32_t frames) noexcept {
    const HostInterface* host = getModule()->getHost();
    const double rate = host != nullptr && host->getSampleRate() > 0 ? host->getSampleRate() : 44100.0;
    IOChannel<float>* first = outputs.getChannel(0);
    if (first == nullptr || first->getData() == nullptr)
        return;
    const std::int32_t n = std::min(frames, first->getSize());
    float* out = first->getData();
    const bool broken = amplitude_[kBrokenKey].load(std::memory_order_acquire) > 0.0f;
    std::fill(out, out + std::max(n, 0), broken ? std::numeric_limits<float>::quiet_NaN() : 0.0f);
    for (std::size_t key = 0; key < amplitude_.size(); ++key) {
        const float amplitude = amplitude_[key].load(std::memory_order_acquire);
        if (amplitude <= 0.0f) {
            phase_[key] = 0.0;
            continue;
        }
        const double step = kTwoPi * keyFrequency(static_cast<int>(key)) / rate;
        double phase = phase_[key];
        for (std::int32_t i = 0; i < n; ++i) {
            out[i] += amplitude * static_cast<float>(std::cos(phase));
            phase += step;
        }
        phase_[key] = std::fmod(phase, kTwoPi);
    }
    first->setValidFrames(n);
    for (int c = 1; c < outputs.getChannelCount(); ++c)
        if (IOChannel<float>* channel = outputs.getChannel(c);
            channel != nullptr && channel->getData() != nullptr) {
            const std::int32_t m = std::min(n, channel->getSize());
            std::copy(out, out + std::max(m, 0), channel->getData());
            channel->setValidFrames(m);
        }
}

// ---- instance

bool TestProductPlugin::loadFile(const File& file) {
    loadedFiles.push_back(file.getPath());
    std::string extension = file.getExtension();
    std::transform(extension.begin(), extension.end(), extension.begin(), ::tolower);
    return extension == "xml" && importFile(file);
}

bool TestProductPlugin::receive(const Message& message) {
    if (message.kind == kKindParameter && message.code == Code::kParameterValue) {
        const auto& change = static_cast<const ParameterMessage&>(message);
        if (change.name == "EightOutputs") {
            if (HostInterface* host = getHost())
                host->setIOConfig(change.value >= 0.5f ? eightOutputs() : stereo());
            return true;
        }
        // The current program keeps the module's values for the documents.
        if (Program* program = getProgram(0))
            program->receive(message);
    }
    return Plugin::receive(message);
}

// ---- editor

FixtureEditor::FixtureEditor(Plugin* plugin, const Module* module)
    : Radio(module), plugin_(plugin), module_(module) {
    const Settings* settings = module != nullptr ? module->getSettings() : nullptr;
    const char* names[] = {"Level", "Detune"};
    for (int i = 0; i < 2; ++i) {
        controls_.push_back(std::make_unique<Control>(module, Rect(10, 10 + 40 * i, 100, 30)));
        if (settings != nullptr)
            if (Parameter* parameter = settings->getParameter(names[i]))
                controls_.back()->tuneInTo(parameter);
    }
}

FixtureEditor::~FixtureEditor() {
    close();
}

void FixtureEditor::draw(void* deviceContext) {
    if (deviceContext == nullptr)
        ++redraws;
}

Radio* FixtureEditor::findControl(const std::string&, int) {
    return nullptr;
}

Radio* FixtureEditor::getControlAt(const Point& point) {
    for (const std::unique_ptr<Control>& control : controls_)
        if (control->area.contains(point))
            return control.get();
    return nullptr;
}

bool FixtureEditor::open(platform::WindowHandle parentWindow, const Rect& at) {
    close();
    parent = parentWindow;
    openedAt = at;
    window_ = platform::EventLoop::instance().createWindow([this](const platform::EventLoop::Event& event) {
        if (event.code == platform::EventLoop::kTimerEvent)
            ticks.fetch_add(1);
    });
    return window_ != platform::kNoWindow;
}

void FixtureEditor::close() {
    if (window_ != platform::kNoWindow)
        platform::EventLoop::instance().destroyWindow(window_);
    window_ = platform::kNoWindow;
}

bool FixtureEditor::receiveMessage(const Message& message) {
    if (message.kind == kKindWindow) {
        windowCodes.push_back(message.code);
        windowExtras.push_back(static_cast<std::int32_t>(message.extra));
    }
    return true;
}

void FixtureEditor::setHighlight(Radio* parameter, const Color& color) {
    highlights[parameter] = color;
}

void FixtureEditor::gesture(int index, float value) {
    if (index < 0 || index >= static_cast<int>(controls_.size()) || module_ == nullptr)
        return;
    Control* control = controls_[static_cast<std::size_t>(index)].get();
    broadcast(ControlMessage(this, Code::kEditBegin, Point(), pointerToWord(control)));
    if (Parameter* parameter = module_->getSettings()->getParameter(index == 0 ? "Level" : "Detune"))
        parameter->setNormalized(value, Sender::kEditor);
    broadcast(ControlMessage(this, Code::kEditEnd, Point(), pointerToWord(control)));
}

// ---- descriptor

TestProductInfo::TestProductInfo() {
    // Three configurations the host's stems carry, then two of eight outputs.
    configs_ = {IOConfig(IOPinConfig(2, 1), IOPinConfig(2, 1)),
                IOConfig(IOPinConfig(1, 1), IOPinConfig(2, 1)),
                IOConfig(IOPinConfig(1, 1), IOPinConfig(1, 1)), eightOutputs(),
                IOConfig(IOPinConfig(1, 1), IOPinConfig(1, 8))};
}

Module* TestProductInfo::createModule(Plugin* plugin, Settings& settings) {
    return new Module(plugin, *plugin, settings);
}

EditorInterface* TestProductInfo::createEditor(Plugin* plugin, const Module* module) {
    return withEditor ? new FixtureEditor(plugin, module) : nullptr;
}

SampleManager* TestProductInfo::createSampleManager(const Module* owner) {
    return new SampleManager(owner);
}

ZoneManager* TestProductInfo::createZoneManager(Program* program) {
    return new ZoneManager(program);
}

} // namespace trov::hostproduct
