#include "instance/Preset.h"

#include "engine/zones/ZoneManager.h"
#include "framework/Dictionary.h"
#include "framework/Random.h"
#include "instance/Plugin.h"
#include "instance/Program.h"
#include "plugin/PluginInfo.h"

#include <cstdio>

namespace trov {

namespace {
constexpr int kIdGroups = 8;
}

Preset::Preset(Plugin* owner) : owner_(owner), id_(createId()) {}

Preset::Preset(const Preset& other) : owner_(other.owner_), id_(createId()), name_(other.name_) {}

Preset::~Preset() {
    delete programs_.exchange(nullptr);
}

std::string Preset::createId() {
    std::string id;
    id.reserve(kIdGroups * 5 - 1);
    for (int group = 0; group < kIdGroups; ++group) {
        char digits[8];
        std::snprintf(digits, sizeof digits, "%04x", static_cast<unsigned>(randomInt(0, 65535)) & 0xFFFFu);
        if (group > 0)
            id += '-';
        id += digits;
    }
    return id;
}

void Preset::createPrograms() {
    const PluginInfo* info = getPluginInfo();
    const int count = info != nullptr ? info->getModuleCount() : 0;
    auto programs = std::make_unique<ProgramList>();
    for (int i = 0; i < count; ++i)
        programs->push_back(std::make_unique<Program>(owner_ != nullptr ? owner_->getModule(i) : nullptr));
    for (const std::unique_ptr<Program>& program : *programs)
        program->init();
    exchangePrograms(programs.release());
}

void Preset::clearPrograms() {
    exchangePrograms(nullptr);
}

void Preset::exchangePrograms(ProgramList* programs) {
    ProgramList* old = nullptr;
    if (owner_ != nullptr) {
        {
            std::lock_guard guard(owner_->lock_);
            old = programs_.exchange(programs);
        }
        owner_->readers_.synchronize();
    } else {
        old = programs_.exchange(programs);
    }
    delete old;
}

Program* Preset::getProgram(int index) const noexcept {
    const ProgramList* programs = programs_.load(std::memory_order_acquire);
    if (programs == nullptr || index < 0 || static_cast<std::size_t>(index) >= programs->size())
        return nullptr;
    return (*programs)[static_cast<std::size_t>(index)].get();
}

int Preset::getProgramCount() const noexcept {
    const ProgramList* programs = programs_.load(std::memory_order_acquire);
    return programs != nullptr ? static_cast<int>(programs->size()) : 0;
}

void Preset::activate() {
    for (int i = 0; Program* program = getProgram(i); ++i)
        program->activate();
}

void Preset::deactivate() {
    for (int i = 0; Program* program = getProgram(i); ++i)
        program->deactivate();
}

void Preset::storeLiveValues() {
    for (int i = 0; Program* program = getProgram(i); ++i)
        program->storeLiveValues();
}

void Preset::exitPrograms() {
    for (int i = 0; Program* program = getProgram(i); ++i)
        program->exit();
}

bool Preset::isEmpty() const {
    for (int i = 0; Program* program = getProgram(i); ++i)
        if (!program->isEmpty())
            return false;
    return true;
}

void Preset::getSampleIds(std::set<std::string>& ids) const {
    ids.clear();
    std::set<std::string> ofProgram;
    for (int i = 0; Program* program = getProgram(i); ++i) {
        program->getSampleIds(ofProgram);
        ids.insert(ofProgram.begin(), ofProgram.end());
    }
}

bool Preset::write(Dictionary& dictionary) const {
    dictionary.setString("id", id_);
    dictionary.setString("name", name_);
    const Dictionary::View modules = dictionary.addArray("modules");
    if (!modules)
        return true;
    for (int i = 0; Program* program = getProgram(i); ++i)
        if (const Dictionary::View module = modules->addDictionary("module"))
            program->write(*module);
    return true;
}

bool Preset::read(const Dictionary& dictionary) {
    std::string text;
    if (dictionary.getString("id", &text))
        id_ = text;
    text.clear();
    dictionary.getString("name", &text);
    name_ = text;
    const Dictionary::View modules = dictionary.getArray("modules");
    // The programs take the modules in order, in one walk.
    Dictionary::View module = modules ? modules->getFirstChild("module") : nullptr;
    for (int i = 0; Program* program = getProgram(i); ++i) {
        if (module) {
            program->read(*module);
            module = module->getNextSibling("module");
        } else {
            program->clear();
        }
    }
    return true;
}

ZoneManager::ZoneCount Preset::countZones(const Dictionary& dictionary) const {
    ZoneManager::ZoneCount count;
    const Dictionary::View modules = dictionary.getArray("modules");
    // The modules read takes, in the same walk.
    Dictionary::View module = modules ? modules->getFirstChild("module") : nullptr;
    for (int i = 0; module; ++i) {
        const Program* program = getProgram(i);
        if (program == nullptr)
            break;
        if (program->getZoneManager() != nullptr)
            count += ZoneManager::countZones(*module);
        module = module->getNextSibling("module");
    }
    return count;
}

} // namespace trov
