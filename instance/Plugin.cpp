// The instance core: construction and start, modules, presets, tunings, CPU meters, blocks and messages.
#include "instance/Plugin.h"

#include "engine/io/HostInterface.h"
#include "engine/modules/Engine.h"
#include "engine/modules/Module.h"
#include "engine/samples/SampleFiles.h"
#include "engine/zones/Resources.h"
#include "framework/CPUMeter.h"
#include "framework/EditorServices.h"
#include "framework/Error.h"
#include "framework/File.h"
#include "framework/Logger.h"
#include "framework/MessageText.h"
#include "framework/Preferences.h"
#include "framework/System.h"
#include "instance/Mission.h"
#include "instance/Preset.h"
#include "instance/Program.h"
#include "plugin/MidiMapper.h"
#include "plugin/Parameter.h"
#include "plugin/ParameterScheduler.h"
#include "plugin/PluginInfo.h"
#include "plugin/Settings.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

namespace trov {

namespace {

const char* const kCurrentProgram = "CurrentProgram";

unsigned long addressOf(const void* object) {
    return static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(object));
}

} // namespace

double Plugin::HostTempo::getTempo() const {
    const HostInterface* host = plugin_.getHost();
    return host != nullptr ? host->getTempo() : kDefaultTempo;
}

Plugin::Plugin(HostInterface* host, int tag) : tag_(tag), host_(host) {
    if (Mission::instance().isStarted())
        logLine(1, "plugin base address 0x%x:0x%lx", static_cast<unsigned>(tag_), addressOf(this));
}

Plugin::~Plugin() {
    running_.store(false, std::memory_order_relaxed);
    if (active_)
        deactivate();
    if (Preset* preset = getCurrentPreset())
        preset->deactivate();
    if (midiMapper_ != nullptr) {
        midiMapper_->save();
        midiMapper_.reset();
    }
    // No engine thread may still read a program when the programs go.
    endWorkers();
    for (const std::unique_ptr<Preset>& preset : presets_)
        preset->exitPrograms();
    // Programs go while the modules they play still exist.
    presets_.clear();
    // The kept items of skipped samples that only this instance named go with it.
    if (Resources* resources = getResources())
        resources->holdKeptItems(this, {});
    if (const ModuleList* list = modules())
        for (Module* module : *list)
            module->release();
    modules_.store(nullptr);
    logLine(2, "stopping plugin");
}

void Plugin::loadSpecification(Settings& specification) {
    std::string install;
    std::string name;
    if (const Preferences* machine = getMachinePreferences()) {
        machine->getString("InstallPath", install);
        machine->getString("SettingsXmlFile", name);
    }
    const File file = Folder(install) + File(name);
    logLine(2, "loading plugin specification from %s", file.getPath().c_str());
    const Error result = specification.load(file);
    if (result.ok())
        return;
    logErrorLine(3, result);
    exitWithError(errorTextLoadingSettings + "\n" + installedFileProblem(result, file, "SettingsXmlFile"),
                  NoError());
    throw result;
}

void Plugin::init() {
    PluginInfo* info = getPluginInfo();
    if (info == nullptr)
        throw GeneralError("void trov::Plugin::init()", "no product descriptor");
    Settings specification;
    loadSpecification(specification);

    presets_.clear();
    presets_.push_back(std::make_unique<Preset>(this));
    for (int i = 2; i <= info->getPresetCount(); ++i) {
        auto preset = std::make_unique<Preset>(*presets_.front());
        preset->setName("init " + std::to_string(i));
        presets_.push_back(std::move(preset));
    }
    currentPreset_.store(-1);
    switchPreset(0);

    ModuleList list;
    for (int i = 0; i < info->getModuleCount(); ++i)
        if (Module* module = info->createModule(this, specification)) {
            module->setIndex(i);
            list.push_back(module);
        }
    publishModules(std::move(list));
    setOwner(getFirstModule());
    for (Module* module : *modules())
        module->init();
    for (const std::unique_ptr<Preset>& preset : presets_)
        preset->createPrograms();
    // The switch above found no programs to activate.
    activateCurrentPreset();

    for (Module* module : *modules())
        if (Settings* settings = module->getSettings())
            for (int i = 0; i < settings->getParameterCount(); ++i)
                if (Parameter* parameter = settings->getParameterAt(i);
                    parameter != nullptr && parameter->testFlags(Parameter::kAutomatable))
                    tuneInTo(parameter);
    tuneIn(kCurrentProgram);

    midiMapper_ = std::make_unique<MidiMapper<Parameter*>>(getFirstModule());
    midiMapper_->load();

    {
        auto tuning = std::make_unique<Tuning>();
        tuning->setEqualTemperament();
        std::lock_guard guard(tuningsLock_);
        tunings_.clear();
        tunings_.push_back(std::move(tuning));
        currentTuning_ = 0;
        publishTuning();
    }
    const HostInterface* host = getHost();
    reserveSchedules(host != nullptr ? host->getBlockSize() : 0);
    logLine(2, "plugin 0x%x:0x%lx constructed", static_cast<unsigned>(tag_), addressOf(this));
}

void Plugin::exit() {
    running_.store(false, std::memory_order_relaxed);
}

void Plugin::endWorkers() {
    if (const ModuleList* list = modules())
        for (Module* module : *list)
            if (Engine* engine = module->getEngine())
                engine->endWorkers();
}

EditorInterface* Plugin::getEditor() const {
    const HostInterface* host = getHost();
    return host != nullptr ? host->getEditor() : nullptr;
}

void Plugin::activate() {
    active_ = true;
    if (Resources* resources = getResources()) {
        resources->setOwner(getFirstModule());
        resources->setMissingSampleHandler(this);
    }
    RexTempoSource::install(&hostTempo_);
}

void Plugin::deactivate() {
    active_ = false;
    if (Resources* resources = getResources()) {
        resources->setOwner(nullptr);
        resources->setMissingSampleHandler(nullptr);
    }
    RexTempoSource::install(nullptr);
}

void Plugin::reset() {
    if (const ModuleList* list = modules())
        for (Module* module : *list)
            module->reset();
}

void Plugin::setMaxBlockSize(int frames) {
    if (const ModuleList* list = modules())
        for (Module* module : *list)
            if (Engine* engine = module->getEngine())
                engine->setBlockSize(frames);
    reserveSchedules(frames);
}

void Plugin::reserveSchedules(int frames) {
    const ModuleList* list = modules();
    if (list == nullptr)
        return;
    // Every parameter a controller may reach is sized up front, so scheduling allocates nothing.
    std::lock_guard guard(scheduleMutex_);
    for (Module* module : *list)
        if (Settings* settings = module->getSettings()) {
            std::vector<std::string> names;
            for (int i = 0; i < settings->getParameterCount(); ++i)
                names.push_back(settings->getParameterAt(i)->getName());
            settings->getScheduler().reserve(names, std::max(frames, 1));
        }
}

// Modules.

void Plugin::publishModules(ModuleList list) {
    auto published = std::make_unique<ModuleList>(std::move(list));
    std::lock_guard guard(lock_);
    modules_.store(published.get(), std::memory_order_release);
    moduleLists_.push_back(std::move(published));
}

int Plugin::getModuleCount() const noexcept {
    const ModuleList* list = modules();
    return list != nullptr ? static_cast<int>(list->size()) : 0;
}

Module* Plugin::getModule(int index) const noexcept {
    const ModuleList* list = modules();
    if (list == nullptr || index < 0 || static_cast<std::size_t>(index) >= list->size())
        return nullptr;
    return (*list)[static_cast<std::size_t>(index)];
}

int Plugin::getModuleIndex(const Module* module) const {
    if (const ModuleList* list = modules())
        for (std::size_t i = 0; i < list->size(); ++i)
            if ((*list)[i] == module)
                return static_cast<int>(i);
    return 0;
}

void Plugin::swapModules(int a, int b) {
    Module* first = getModule(a);
    Module* second = getModule(b);
    if (first == nullptr || second == nullptr)
        return;
    ModuleList list = *modules();
    std::swap(list[static_cast<std::size_t>(a)], list[static_cast<std::size_t>(b)]);
    auto published = std::make_unique<ModuleList>(std::move(list));
    // Under the lock: note dispatch asks the modules for their programs by index.
    std::lock_guard guard(lock_);
    first->setIndex(b);
    second->setIndex(a);
    modules_.store(published.get(), std::memory_order_release);
    moduleLists_.push_back(std::move(published));
}

int Plugin::getAutomatableCount() const {
    int count = 0;
    if (const ModuleList* list = modules())
        for (const Module* module : *list)
            if (const Settings* settings = module->getSettings())
                count += settings->getAutomatableCount();
    return count;
}

Parameter* Plugin::getAutomatableParameter(int index, Module** module) const {
    const Module* first = getFirstModule();
    const Settings* firstSettings = first != nullptr ? first->getSettings() : nullptr;
    const int perModule = firstSettings != nullptr ? firstSettings->getAutomatableCount() : 0;
    const PluginInfo* info = getPluginInfo();
    if (index < 0 || perModule <= 0 || index >= getAutomatableCount())
        return nullptr;
    const int number = index / perModule;
    if (info == nullptr || number >= info->getModuleCount())
        return nullptr;
    Module* owner = getModule(number);
    const Settings* settings = owner != nullptr ? owner->getSettings() : nullptr;
    const int position = index % perModule;
    if (settings == nullptr || position >= settings->getAutomatableCount())
        return nullptr;
    if (module != nullptr)
        *module = owner;
    return settings->getParameterAt(position);
}

int Plugin::getAutomatableIndex(const Module* module, std::string_view name, int instance) const {
    const ModuleList* list = modules();
    if (list == nullptr || module == nullptr)
        return -1;
    const auto at = std::find(list->begin(), list->end(), module);
    if (at == list->end())
        return -1;
    const Settings* firstSettings = list->front()->getSettings();
    const Settings* settings = module->getSettings();
    const int index = settings != nullptr ? settings->getAutomatableIndex(name, instance) : -1;
    if (index < 0 || firstSettings == nullptr)
        return -1;
    return static_cast<int>(at - list->begin()) * firstSettings->getAutomatableCount() + index;
}

// Presets.

Preset* Plugin::getPreset(int index) const {
    return index >= 0 && static_cast<std::size_t>(index) < presets_.size()
               ? presets_[static_cast<std::size_t>(index)].get()
               : nullptr;
}

Preset* Plugin::getCurrentPreset() const {
    return getPreset(getCurrentPresetIndex());
}

std::string Plugin::getCurrentPresetName() const {
    const Preset* preset = getCurrentPreset();
    return preset != nullptr ? preset->getName() : std::string();
}

Program* Plugin::getProgram(int moduleIndex) const {
    ReaderEpochs::Read read(readers_);
    const Preset* preset = getCurrentPreset();
    return preset != nullptr ? preset->getProgram(moduleIndex) : nullptr;
}

ZoneManager* Plugin::getZoneManager(int moduleIndex) const {
    ReaderEpochs::Read read(readers_);
    const Program* program = getProgram(moduleIndex);
    return program != nullptr ? program->getZoneManager() : nullptr;
}

void Plugin::withZoneManager(int moduleIndex, const std::function<void(ZoneManager*)>& work) const {
    ReaderEpochs::Read read(readers_);
    work(getZoneManager(moduleIndex));
}

int Plugin::getPresetCount() const {
    const PluginInfo* info = getPluginInfo();
    return info != nullptr ? info->getPresetCount() : 0;
}

void Plugin::switchPreset(int index) {
    std::lock_guard switching(presetMutex_);
    if (Preset* old = getCurrentPreset())
        old->deactivate();
    const bool valid = index >= 0 && index < getPresetCount() && getPreset(index) != nullptr;
    {
        std::lock_guard guard(lock_);
        currentPreset_.store(valid ? index : -1, std::memory_order_release);
    }
    if (!valid)
        return;
    getPreset(index)->activate();
    if (EditorInterface* editor = getEditor())
        editor->showModule(0);
}

void Plugin::activateCurrentPreset() {
    const int current = getCurrentPresetIndex();
    if (current >= 0)
        switchPreset(current);
}

void Plugin::selectPreset(int index) {
    if (index < 0 || index >= getPresetCount())
        return;
    switchPreset(index);
    broadcast(PluginMessage(this, kPresetSelected, static_cast<MessageWord>(index)));
    const EditorInterface* editor = getEditor();
    broadcast(WindowMessage(this, Code::kDisplayFlicker, 0, 0, 0, 0, pointerToWord(editor)));
}

void Plugin::notifyPresetChanged() {
    broadcast(PluginMessage(this, kPresetChanged, 0));
}

void Plugin::resetMemory() {
    EditorInterface* editor = getEditor();
    const Module* shown = editor != nullptr ? editor->getEditedModule() : nullptr;
    {
        std::lock_guard switching(presetMutex_);
        if (Preset* current = getCurrentPreset())
            current->deactivate();
        for (const std::unique_ptr<Preset>& preset : presets_)
            preset->createPrograms();
        reset();
        // The new programs hold the values of the moment; the current one plays them at once.
        activateCurrentPreset();
    }
    if (editor != nullptr && shown != nullptr)
        editor->selectModule(getModuleIndex(shown));
}

// Tunings.

void Plugin::publishTuning() {
    const Tuning* tuning = currentTuning_ >= 0 && static_cast<std::size_t>(currentTuning_) < tunings_.size()
                               ? tunings_[static_cast<std::size_t>(currentTuning_)].get()
                               : nullptr;
    frequencyTuning_.store(tuning, std::memory_order_release);
}

Tuning Plugin::getCurrentTuning() const {
    std::lock_guard guard(tuningsLock_);
    const Tuning* tuning = frequencyTuning_.load(std::memory_order_relaxed);
    return tuning != nullptr ? *tuning : Tuning();
}

int Plugin::getCurrentTuningIndex() const {
    std::lock_guard guard(tuningsLock_);
    return currentTuning_;
}

std::string Plugin::getCurrentTuningName() const {
    return getTuningName(getCurrentTuningIndex());
}

std::string Plugin::getTuningName(int index) const {
    std::lock_guard guard(tuningsLock_);
    return index >= 0 && static_cast<std::size_t>(index) < tunings_.size()
               ? tunings_[static_cast<std::size_t>(index)]->getDescription()
               : std::string();
}

int Plugin::getTuningCount() const {
    std::lock_guard guard(tuningsLock_);
    return static_cast<int>(tunings_.size());
}

void Plugin::selectTuning(int index) {
    {
        std::lock_guard guard(tuningsLock_);
        if (index < 0 || static_cast<std::size_t>(index) >= tunings_.size())
            return;
        currentTuning_ = index;
        publishTuning();
    }
    broadcast(MidiMessage(this, Code::kProgramChanged, nullptr));
}

int Plugin::addTuning(const Tuning& tuning) {
    // Copied outside the lock: a tuning's table is allocated.
    auto added = std::make_unique<Tuning>(tuning);
    int current = 0;
    {
        std::lock_guard guard(tuningsLock_);
        const auto same = std::find_if(tunings_.begin(), tunings_.end(),
                                       [&](const std::unique_ptr<Tuning>& t) { return *t == tuning; });
        if (same != tunings_.end()) {
            currentTuning_ = static_cast<int>(same - tunings_.begin());
        } else {
            tunings_.push_back(std::move(added));
            currentTuning_ = static_cast<int>(tunings_.size()) - 1;
        }
        publishTuning();
        current = currentTuning_;
    }
    broadcast(MidiMessage(this, Code::kProgramChanged, nullptr));
    return current;
}

double Plugin::getFrequency(int key, double cents) const noexcept {
    return tunedFrequency(key, cents, false);
}

double Plugin::getFrequencyAtReferencePitch(int key, double cents) const noexcept {
    return tunedFrequency(key, cents, true);
}

double Plugin::tunedFrequency(int key, double cents, bool atReferencePitch) const noexcept {
    ReaderEpochs::Read read(readers_);
    const Tuning* tuning = frequencyTuning_.load(std::memory_order_acquire);
    if (tuning == nullptr)
        return 0.0;
    std::int32_t pitchKey = 0;
    double pitchFrequency = 0.0;
    if (!getMasterPitch(pitchKey, pitchFrequency))
        return tuning->getFrequency(key, cents);
    if (atReferencePitch) {
        pitchKey = Tuning::kReferenceKey;
        pitchFrequency = Tuning::kReferenceFrequency;
    }
    return tuning->getFrequencyWithKeyAt(pitchKey, pitchFrequency, key, cents);
}

// CPU meters, blocks, time.

void Plugin::addCpuMeter(int id, CPUMeter* meter) {
    if (id >= 0 && id < kCpuMeterSlots)
        cpuMeters_[static_cast<std::size_t>(id)].store(meter, std::memory_order_release);
}

void Plugin::removeCpuMeter(int id) {
    if (id < 0 || id >= kCpuMeterSlots)
        return;
    cpuMeters_[static_cast<std::size_t>(id)].store(nullptr, std::memory_order_release);
    // The editor deletes the meter next.
    readers_.synchronize();
}

void Plugin::beginCpuMeter(int id) noexcept {
    if (id < 0 || id >= kCpuMeterSlots)
        return;
    ReaderEpochs::Read read(readers_);
    if (CPUMeter* meter = cpuMeters_[static_cast<std::size_t>(id)].load(std::memory_order_acquire))
        meter->beginCycle();
}

void Plugin::endCpuMeter(int id) noexcept {
    if (id < 0 || id >= kCpuMeterSlots)
        return;
    ReaderEpochs::Read read(readers_);
    if (CPUMeter* meter = cpuMeters_[static_cast<std::size_t>(id)].load(std::memory_order_acquire))
        meter->end();
}

void Plugin::process(IOPinConfig& inputs, IOPinConfig& outputs, std::int32_t frames) noexcept {
    {
        ReaderEpochs::Read read(readers_);
        applyEvents();
        if (const ModuleList* list = modules())
            for (Module* module : *list)
                if (processesModule(*module))
                    module->process(inputs, outputs, frames);
    }
    if (frames > 0)
        framesProcessed_.fetch_add(static_cast<std::uint32_t>(frames), std::memory_order_relaxed);
}

std::int32_t Plugin::getFramesProcessed() const {
    return static_cast<std::int32_t>(framesProcessed_.load(std::memory_order_relaxed));
}

double Plugin::getElapsedSeconds() const {
    const HostInterface* host = getHost();
    const int rate = host != nullptr ? host->getSampleRate() : 0;
    return rate > 0 ? static_cast<double>(getFramesProcessed()) / rate : 0.0;
}

int Plugin::queryFirstEngine() const {
    const Module* first = getFirstModule();
    return first != nullptr ? first->queryEngine() : 0;
}

// Messages and files.

bool Plugin::receive(const Message& message) {
    switch (message.kind) {
    case kKindMidi:
        if (message.code == Code::kNoteOn || message.code == Code::kNoteOff) {
            handNoteToEngines(message);
            return true;
        }
        if (message.code == Code::kController) {
            const auto* controller = dynamic_cast<const MidiMessage*>(&message);
            if (controller != nullptr && controller->number == kProgramSelect) {
                // Converted only inside the bank: a value outside it (or not a number) selects nothing.
                const float index = controller->value * 127.0f;
                if (index >= 0.0f && index < static_cast<float>(getPresetCount()))
                    selectPreset(static_cast<int>(index));
                return true;
            }
        }
        return false;
    case kKindParameter:
        if (message.code == Code::kParameterValue) {
            const auto* change = dynamic_cast<const ParameterMessage*>(&message);
            if (change != nullptr && change->name == kCurrentProgram) {
                selectPreset(static_cast<int>(static_cast<std::intptr_t>(message.extra)));
                return true;
            }
        }
        return false;
    case kKindWindow:
        if (message.code == Code::kDragOver) {
            const auto* target = dynamic_cast<const DragDropTargetInterface*>(message.sender);
            return target != nullptr && acceptsFile(target->getDroppedFile(0));
        }
        if (message.code == kDropFile) {
            const char* path = wordToPointer<const char>(message.extra);
            return path != nullptr && loadFile(File(std::string(path)));
        }
        return false;
    default:
        return false;
    }
}

bool Plugin::acceptsFile(const File& file) const {
    std::string extension = file.getExtension();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == "xml" || canLoadSampleFile(file);
}

bool Plugin::loadFile(const File& /*file*/) {
    return false;
}

bool Plugin::importFile(const File& file) {
    File source(file);
    if (!source.openRead())
        return false;
    const DocumentFolderScope beside(*this, source.getFolder());
    Dictionary document;
    const bool loaded = document.load(source);
    source.close();
    if (loaded)
        readState(document);
    return loaded;
}

} // namespace trov
