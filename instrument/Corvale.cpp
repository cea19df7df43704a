#include "instrument/Corvale.h"

#include "engine/Analogics.h"
#include "engine/io/HostInterface.h"
#include "engine/io/IOConfig.h"
#include "engine/io/IOPinConfig.h"
#include "engine/modules/Module.h"
#include "engine/notes/Tuning.h"
#include "engine/samples/Sample.h"
#include "engine/zones/Zone.h"
#include "engine/zones/ZoneManager.h"
#include "framework/EditorServices.h"
#include "framework/Font.h"
#include "framework/Message.h"
#include "framework/System.h"
#include "instance/Mission.h"
#include "instrument/InstrumentEditorLink.h"
#include "instrument/InstrumentKeys.h"
#include "instrument/OstrelPluginInfo.h"
#include "instrument/ProductFactories.h"
#include "instrument/dsp/CorvaleLFORateInfo.h"
#include "instrument/dsp/CorvaleVCFCutoffInfo.h"
#include "platform/Shell.h"
#include "plugin/MidiMapper.h"
#include "plugin/Parameter.h"
#include "plugin/ParameterEnum.h"
#include "plugin/ParameterValue.h"
#include "plugin/PluginInfo.h"
#include "plugin/Settings.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string_view>

namespace trov {

Plugin* createCorvale(HostInterface* host, int tag) {
    return new Corvale(host, tag);
}

namespace {

// The command parameters, tuned in by init in this order ("OutputConfiguration" after its first value).
constexpr std::array<const char*, 15> kCommands = {keys::kAnalogCharacter,
                                                   keys::kAnalogRecalibrate,
                                                   keys::kCurrentZone,
                                                   keys::kDisplayFontSize,
                                                   keys::kKeyboardBalance,
                                                   keys::kLoad,
                                                   keys::kMasterTune,
                                                   keys::kMemoryReset,
                                                   keys::kMidiModulation,
                                                   keys::kPitchBendRange,
                                                   keys::kResetTuning,
                                                   keys::kTapwireChannel,
                                                   keys::kSave,
                                                   keys::kSoloZone,
                                                   keys::kStepParameters};

constexpr float kAnalogTolerance = 0.03f;

// Stateless: the parameters keep a pointer to them for the life of the process.
const CorvaleVCFCutoffInfo cutoffCurve;
const CorvaleLFORateInfo rateCurve;

bool boolOf(const Message& message) {
    return message.extra != 0;
}
float floatOf(const Message& message) {
    return wordToFloat(message.extra);
}
std::int32_t longOf(const Message& message) {
    return static_cast<std::int32_t>(static_cast<std::intptr_t>(message.extra));
}

// An enumeration's message carries its entry index; the entry's value is the command's.
std::int32_t valueOf(const Settings* settings, const ParameterMessage& change) {
    const auto* choice = settings != nullptr
                             ? dynamic_cast<const ParameterEnum<long>*>(settings->getParameter(change.name))
                             : nullptr;
    const std::int32_t index = longOf(change);
    return choice != nullptr && index >= 0
               ? static_cast<std::int32_t>(choice->getValueAt(static_cast<std::uint32_t>(index)))
               : index;
}

const NativeWindow* windowOf(const EditorInterface* editor) {
    return editor != nullptr ? editor->getWindow() : nullptr;
}

} // namespace

Corvale::Corvale(HostInterface* host, int tag) : Plugin(host, tag) {}

Corvale::~Corvale() {
    endWorkers();
    if (tunedIn_) {
        for (const char* name : kCommands)
            tuneOut(name);
        tuneOut(keys::kOutputConfiguration);
    }
    analogics_.store(nullptr, std::memory_order_release);
    ownedAnalogics_.reset();
    Mission::instance().signOut(this);
    // No block runs any more: the channels and the link go (closing clears the receiver's flag).
    recordChannel_.store(nullptr);
    recordChannels_.clear();
    if (IOBridge<float>* link = link_.exchange(nullptr))
        link->close();
    links_.clear();
}

void Corvale::init() {
    // The analog model first: the voices the modules make ahead prepare their components in it.
    ownedAnalogics_ = std::make_unique<Analogics>(nullptr);
    ownedAnalogics_->init();
    ownedAnalogics_->setTolerance(kAnalogTolerance);
    analogics_.store(ownedAnalogics_.get(), std::memory_order_release);
    Plugin::init();
    Mission::instance().signIn(this);

    if (Module* first = getFirstModule()) {
        ownedAnalogics_->setOwner(first);
        if (Settings* settings = first->getSettings())
            if (Parameter* bend = settings->getParameter(keys::kMidiPitchBend); bend != nullptr)
                if (MidiMapper<Parameter*>* mapper = getMidiMapper())
                    mapper->assign(kPitchBend, bend);
    }
    if (Module* lower = getModule(0))
        lower->setName("Lower");
    if (Module* upper = getModule(1))
        upper->setName("Upper");

    for (int i = 0; i < getModuleCount(); ++i)
        if (const Settings* settings = getModule(i)->getSettings()) {
            if (auto* cutoff = dynamic_cast<ParameterValue<float>*>(settings->getParameter(keys::kVCFCutoff)))
                cutoff->setFeedbackConverter(const_cast<CorvaleVCFCutoffInfo*>(&cutoffCurve));
            if (auto* rate = dynamic_cast<ParameterValue<float>*>(settings->getParameter(keys::kLFORate)))
                rate->setFeedbackConverter(const_cast<CorvaleLFORateInfo*>(&rateCurve));
        }
    if (const Settings* settings = getSettings()) {
        masterVolume_ = dynamic_cast<ParameterValue<float>*>(settings->getParameter(keys::kMasterVolume));
        masterTune_.store(dynamic_cast<ParameterValue<float>*>(settings->getParameter(keys::kMasterTune)),
                          std::memory_order_release);
    }

    const HostInterface* host = getHost();
    setMaxBlockSize(host != nullptr ? host->getBlockSize() : 0);

    for (const char* name : kCommands)
        tuneIn(name);
    if (const Settings* settings = getSettings())
        if (auto* output =
                dynamic_cast<ParameterEnum<long>*>(settings->getParameter(keys::kOutputConfiguration)))
            for (std::uint32_t i = 0; i < output->getCount(); ++i)
                if (output->getValueAt(i) == getDefaultOutputMode())
                    output->select(i, Sender::kSettings);
    tuneIn(keys::kOutputConfiguration);
    tunedIn_ = true;
}

template <class T>
void Corvale::publish(std::atomic<T*>& slot, std::vector<std::unique_ptr<T>>& owned,
                      std::unique_ptr<T> fresh) {
    T* next = fresh.get();
    owned.push_back(std::move(fresh));
    slot.store(next, std::memory_order_release);
    // Blocks that began before the store may still read an older one.
    readers_.synchronize();
    owned.erase(std::remove_if(owned.begin(), owned.end(),
                               [&](const std::unique_ptr<T>& item) { return item.get() != next; }),
                owned.end());
}

void Corvale::setMaxBlockSize(int frames) {
    auto channel = std::make_unique<IOChannel<float>>();
    channel->allocate(std::max(frames, 0));
    channel->clear();
    publish(recordChannel_, recordChannels_, std::move(channel));
    Plugin::setMaxBlockSize(frames);
}

bool Corvale::openLink(int slot) {
    auto bridge = std::make_unique<IOBridge<float>>();
    const bool opened = bridge->open(slot);
    // Closed before it is published, so the block reads nothing from a slot without a sender; the slot
    // read so far is unmapped only once no block reads it.
    if (!opened)
        bridge->close();
    IOBridge<float>* old = link_.load(std::memory_order_acquire);
    publish(link_, links_, std::move(bridge));
    (void)old;
    return opened;
}

void Corvale::attachEditorLink(InstrumentEditorLink* link) {
    editorLink_.store(link, std::memory_order_release);
}

void Corvale::detachEditorLink(InstrumentEditorLink* link) {
    InstrumentEditorLink* expected = link;
    if (link != nullptr && editorLink_.compare_exchange_strong(expected, nullptr, std::memory_order_acq_rel))
        readers_.synchronize();
}

bool Corvale::isLinkOpen() const {
    const IOBridge<float>* link = link_.load(std::memory_order_acquire);
    return link != nullptr && link->isOpen();
}

int Corvale::getDefaultOutputMode() const {
    const auto* info = dynamic_cast<const OstrelPluginInfo*>(getPluginInfo());
    const int channels = info != nullptr ? info->getOutputChannelCount() : 2;
    return channels == 1 ? 0 : channels == 8 ? 2 : 1;
}

float Corvale::getComponentTolerance(const std::string& name, int number, int distribution) {
    Analogics* analogics = getAnalogics();
    return analogics != nullptr ? analogics->getTolerance(name + " " + std::to_string(number), distribution)
                                : 0.0f;
}

float Corvale::getAnalogTolerance(std::string_view component, int index, int distribution) {
    return getComponentTolerance(std::string(component), index, distribution);
}

void Corvale::prepareAnalogComponent(AnalogComponent& component) {
    if (Analogics* analogics = getAnalogics())
        component.place =
            &analogics->prepareComponent(std::string(component.kind) + " " + std::to_string(component.index));
}

float Corvale::readAnalogComponent(const AnalogComponent& component) {
    Analogics* analogics = getAnalogics();
    if (analogics == nullptr)
        return 0.0f;
    if (component.place == nullptr)
        return getAnalogTolerance(component.kind, component.index, component.distribution);
    return analogics->getTolerance(*static_cast<Analogics::Component*>(component.place),
                                   component.distribution);
}

float Corvale::getMemoryUsage() const {
    double bytes = 0.0;
    for (int i = 0; i < getModuleCount(); ++i) {
        const ZoneManager* zones = getModule(i)->getZoneManager();
        if (zones == nullptr)
            continue;
        for (int z = 0; z < zones->getZoneCount(); ++z)
            if (Zone* zone = zones->getZone(z)) {
                if (const Sample* sample = zone->getSample())
                    bytes += static_cast<double>(sample->getInfo().frames) *
                             std::max(sample->getInfo().channels, 1) * sizeof(float);
                zone->release();
            }
    }
    return static_cast<float>(bytes / 1024.0);
}

bool Corvale::acceptsFile(const File& file) const {
    std::string extension = file.getExtension();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == "kmd" || extension == "kpr" || Plugin::acceptsFile(file);
}

bool Corvale::getMasterPitch(std::int32_t& key, double& frequency) const noexcept {
    // The reference pitch until the parameter exists, and for a value that could not sound.
    key = Tuning::kReferenceKey;
    frequency = Tuning::kReferenceFrequency;
    if (const ParameterValue<float>* tune = masterTune_.load(std::memory_order_acquire)) {
        const float hertz = tune->getValue();
        if (std::isfinite(hertz) && hertz > 0.0f)
            frequency = hertz;
    }
    return true;
}

bool Corvale::processesModule(const Module& module) const noexcept {
    if (!soloZone_.load(std::memory_order_relaxed))
        return true;
    // The editor's own answer, never the host's pointer: that one may go while a block runs.
    const InstrumentEditorLink* editor = editorLink_.load(std::memory_order_acquire);
    return editor == nullptr || editor->getShownModule() == &module;
}

void Corvale::process(IOPinConfig& inputs, IOPinConfig& outputs, std::int32_t frames) noexcept {
    ReaderEpochs::Read read(readers_);
    frames = std::max(frames, 0);
    const std::int32_t source = recordSource_.load(std::memory_order_relaxed);
    IOChannel<float>* input = inputs.getChannel(0);
    if (source == kRecordLink) {
        IOBridge<float>* link = link_.load(std::memory_order_acquire);
        if (input != nullptr) {
            const int n = std::min(frames, input->getSize());
            input->setValidFrames(link != nullptr ? link->read(input->getData(), n) : 0);
        }
    } else if (source >= kRecordStereoOutput && source < kRecordLink) {
        const IOChannel<float>* recorded = recordChannel_.load(std::memory_order_acquire);
        if (input != nullptr) {
            const std::int32_t n =
                std::min({frames, input->getSize(), recorded != nullptr ? recorded->getSize() : 0});
            if (n > 0)
                std::copy(recorded->getData(), recorded->getData() + n, input->getData());
            input->clear(n, std::max(std::min(frames, input->getSize()) - n, 0));
            input->setValidFrames(std::min(frames, input->getSize()));
        }
    } else {
        for (int i = 0; i < inputs.getPinCount(); ++i)
            if (IOPin* pin = inputs.getPin(i))
                pin->setValidFrames(frames);
    }
    if (outputs.getPinCount() == 0)
        return;
    if (InstrumentEditorLink* editor = editorLink_.load(std::memory_order_acquire))
        editor->setInputLevel(input != nullptr ? input->getPeak() : 0.0f);
    Plugin::process(inputs, outputs, frames);
    const float volume = masterVolume_ != nullptr ? masterVolume_->getValue() : 1.0f;
    for (int c = 0; c < outputs.getChannelCount(); ++c)
        if (IOChannel<float>* out = outputs.getChannel(c))
            std::transform(out->getData(), out->getData() + out->getSize(), out->getData(),
                           [volume](float x) { return x * volume; });
    captureOutput(outputs, frames);
}

void Corvale::captureOutput(const IOPinConfig& outputs, std::int32_t frames) noexcept {
    const std::int32_t source = recordSource_.load(std::memory_order_relaxed);
    IOChannel<float>* record = recordChannel_.load(std::memory_order_acquire);
    if (record == nullptr || source < kRecordStereoOutput || source >= kRecordLink)
        return;
    float* target = record->getData();
    const std::int32_t n = std::min(frames, record->getSize());
    if (target == nullptr || n <= 0)
        return;
    // A channel the configuration does not have records silence.
    auto addChannel = [&](int index, bool add) {
        const IOChannel<float>* channel = outputs.getChannel(index);
        const std::int32_t m =
            channel != nullptr && channel->getData() != nullptr ? std::min(n, channel->getSize()) : 0;
        for (std::int32_t i = 0; i < n; ++i) {
            const float value = i < m ? channel->getData()[i] : 0.0f;
            target[i] = add ? target[i] + value : value;
        }
    };
    if (source == kRecordStereoOutput) {
        addChannel(0, false);
        addChannel(1, true);
    } else {
        addChannel(source - 2, false);
    }
    record->setValidFrames(n);
}

bool Corvale::receive(const Message& message) {
    if (message.kind == kKindParameter && message.code == Code::kParameterValue)
        if (const auto* change = dynamic_cast<const ParameterMessage*>(&message))
            if (handleCommand(*change))
                return true;
    return Plugin::receive(message);
}

// True when the command is done with; false hands the message on to the plug-in base.
bool Corvale::handleCommand(const ParameterMessage& change) {
    const std::string_view name = change.name;
    const int sender = change.flags;
    EditorInterface* editor = getEditor();
    if (name == keys::kCurrentZone) {
        if (editor != nullptr)
            if (const Module* shown = editor->getEditedModule())
                if (ZoneManager* zones = shown->getZoneManager())
                    zones->receive(change);
        return true;
    }
    if (name == keys::kSoloZone) {
        soloZone_.store(boolOf(change), std::memory_order_relaxed);
        return true;
    }
    if (name == keys::kKeyboardBalance) {
        applyKeyboardBalance(floatOf(change));
        return true;
    }
    // Frequencies read the master tuning where they are asked for (getMasterPitch), so whichever listener
    // hears the change first already plays at it.
    if (name == keys::kMasterTune)
        return true;
    if (name == keys::kResetTuning) {
        if (boolOf(change))
            selectTuning(0);
        return true;
    }
    if (name == keys::kMemoryReset) {
        if (sender != Sender::kEditor)
            return false;
        if (askOkCancel(
                "This will erase the entire internal memory.  All unsaved patches and samples will be "
                "lost.  Continue?",
                windowOf(editor)))
            resetMemory();
        return true;
    }
    if (name == keys::kOutputConfiguration) {
        applyOutputConfiguration(valueOf(getSettings(), change));
        return true;
    }
    if (name == keys::kStepParameters) {
        for (int i = 0; i < getModuleCount(); ++i)
            if (Settings* settings = getModule(i)->getSettings())
                settings->setStepParameters(boolOf(change));
        return true;
    }
    if (name == keys::kAnalogCharacter) {
        if (Analogics* analogics = getAnalogics())
            analogics->setAmount(floatOf(change));
        return true;
    }
    if (name == keys::kAnalogRecalibrate) {
        if (sender != Sender::kEditor)
            return false;
        recalibrate();
        return true;
    }
    if (name == keys::kDisplayFontSize) {
        applyDisplayFontSize(valueOf(getSettings(), change));
        return true;
    }
    if (name == keys::kMidiModulation)
        return sender == Sender::kEditor;
    if (name == keys::kTapwireChannel) {
        openLink(longOf(change));
        return false;
    }
    if (name == keys::kLoad) {
        if (dialogOpen_ || sender != Sender::kEditor)
            return false;
        runLoadDialog();
        if (Settings* settings = getSettings())
            settings->setBool(keys::kLoad, false, Sender::kSettings);
        return true;
    }
    if (name == keys::kSave) {
        if (!boolOf(change) || sender != Sender::kEditor || dialogOpen_)
            return false;
        runSaveDialog();
        if (Settings* settings = getSettings())
            settings->setBool(keys::kSave, false, Sender::kSettings);
        return true;
    }
    if (name == keys::kPitchBendRange) {
        applyPitchBendRange(static_cast<float>(longOf(change)));
        return true;
    }
    return false;
}

void Corvale::applyKeyboardBalance(float balance) {
    if (!std::isfinite(balance))
        return;
    balance = std::clamp(balance, 0.0f, 1.0f);
    if (Module* lower = getModule(0))
        lower->setGain(balance < 0.5f ? 1.0f : (1.0f - balance) * 2.0f);
    if (Module* upper = getModule(1))
        upper->setGain(balance < 0.5f ? balance * 2.0f : 1.0f);
}

void Corvale::applyPitchBendRange(float semitones) {
    const float cents = 100.0f * semitones;
    for (int i = 0; i < getModuleCount(); ++i)
        if (const Settings* settings = getModule(i)->getSettings())
            if (auto* bend =
                    dynamic_cast<ParameterValue<float>*>(settings->getParameter(keys::kMidiPitchBend))) {
                bend->setRange(-cents, cents);
                bend->setDisplayRange(-cents, cents);
            }
}

void Corvale::applyOutputConfiguration(std::int32_t mode) {
    IOConfig config(IOPinConfig(1, 1), IOPinConfig(1, 1));
    if (mode == 1) {
        config = IOConfig(IOPinConfig(2, 1), IOPinConfig(2, 1));
    } else if (mode == 2) {
        config = IOConfig(IOPinConfig(2, 1), IOPinConfig(1, 8));
        for (int i = 0; i < getModuleCount(); ++i)
            if (const Settings* settings = getModule(i)->getSettings())
                if (auto* stereo =
                        dynamic_cast<ParameterEnum<long>*>(settings->getParameter(keys::kStereoMode))) {
                    stereo->clearValues();
                    stereo->addValue(0, "8Outputs");
                }
    }
    if (HostInterface* host = getHost())
        host->setIOConfig(config);
}

void Corvale::applyDisplayFontSize(std::int32_t size) {
    PluginInfo* info = getPluginInfo();
    const Font* font = info != nullptr ? info->getFont(size == 0 ? 2 : size == 2 ? 4 : 3) : nullptr;
    if (font == nullptr)
        return;
    const Font copy(*font);
    info->copyFont(0, copy);
}

void Corvale::recalibrate() {
    platform::setCursorShape(platform::CursorShape::Wait);
    if (Analogics* analogics = getAnalogics())
        analogics->clearStored();
    sleep(1000);
    platform::setCursorShape(platform::CursorShape::Arrow);
    showInfoMessage("Filter retuning complete!", windowOf(getEditor()));
}

} // namespace trov
