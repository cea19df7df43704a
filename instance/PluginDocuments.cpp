// The instance's state documents: the bank (plug-in parameters, programs, samples, tunings), the current
// patch, and the question for a sample file that cannot be found.
#include "engine/modules/Module.h"
#include "engine/samples/Sample.h"
#include "engine/zones/Resources.h"
#include "engine/zones/Zone.h"
#include "framework/Dictionary.h"
#include "framework/EditorServices.h"
#include "framework/File.h"
#include "framework/Logger.h"
#include "framework/StringUtils.h"
#include "framework/System.h"
#include "instance/Plugin.h"
#include "instance/Preset.h"
#include "plugin/Parameter.h"
#include "plugin/PluginInfo.h"
#include "plugin/RefusedValues.h"
#include "plugin/Settings.h"

#include <algorithm>
#include <cstdlib>
#include <exception>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace trov {

namespace {

const char* const kParameters = "parameters";
const char* const kPrograms = "programs";
const char* const kResources = "resources";
const char* const kTunings = "tunings";

// The user's login name, or an empty text when the environment does not say.
std::string loginName() {
    for (const char* variable : {"LOGNAME", "USER"})
        if (const char* name = std::getenv(variable); name != nullptr && *name != '\0')
            return name;
    return std::string();
}

const NativeWindow* windowOf(const EditorInterface* editor) {
    return editor != nullptr ? editor->getWindow() : nullptr;
}

// What the user is told of the sample files a saved state names that were found nowhere: the first few
// by name.
std::string unfoundSamplesText(const std::vector<std::string>& names) {
    constexpr std::size_t kNamed = 3;
    if (names.size() == 1)
        return "The sample file " + names[0] +
               " could not be found: its zones stay silent, and a save still names it.";
    std::string text = std::to_string(names.size()) + " sample files could not be found: ";
    for (std::size_t i = 0; i < names.size() && i < kNamed; ++i)
        text += (i > 0 ? ", " : "") + names[i];
    if (names.size() > kNamed)
        text += " and " + std::to_string(names.size() - kNamed) + " more";
    return text + ". Their zones stay silent, and a save still names them.";
}

// What the user is told of the sample items a document holds whose audio could not be read: the first few
// by name, each with the reason.
std::string unreadSamplesText(const std::vector<std::pair<std::string, std::string>>& items) {
    constexpr std::size_t kNamed = 3;
    if (items.size() == 1)
        return "The sample " + items[0].first + " could not be read: " + items[0].second +
               ". Its zones stay silent, and a save keeps its item as it came.";
    std::string text = std::to_string(items.size()) + " samples could not be read: ";
    for (std::size_t i = 0; i < items.size() && i < kNamed; ++i)
        text += (i > 0 ? "; " : "") + items[i].first + ": " + items[i].second;
    if (items.size() > kNamed)
        text += "; and " + std::to_string(items.size() - kNamed) + " more";
    return text + ". Their zones stay silent, and a save keeps their items as they came.";
}

// The plug-in parameters a bank carries: exported, not kept in the preferences.
bool isDocumentParameter(const Parameter& parameter) {
    return parameter.getScope() == Parameter::kScopePlugin && parameter.testFlags(Parameter::kExport) &&
           !parameter.testFlags(Parameter::kPersistent);
}

// The sample ids the presets' programs name.
std::set<std::string> sampleIdsOf(const std::vector<std::unique_ptr<Preset>>& presets) {
    std::set<std::string> ids;
    std::set<std::string> ofPreset;
    for (const std::unique_ptr<Preset>& preset : presets) {
        preset->getSampleIds(ofPreset);
        ids.insert(ofPreset.begin(), ofPreset.end());
    }
    return ids;
}

// After a document is read: the samples nobody holds, and the kept items of skipped samples that no
// program names (those of the document read among them), go.
void purgeUnnamed(Resources& resources, const void* holder,
                  const std::vector<std::unique_ptr<Preset>>& presets) {
    resources.purgeUnused();
    resources.holdKeptItems(holder, sampleIdsOf(presets));
}

// The element items of the document's array, in order.
template <class Visit> void forEachItem(const Dictionary& array, const std::string& tag, Visit visit) {
    array.forEachChild(tag, [&visit](const Dictionary& item) {
        if (item.hasElement())
            visit(item);
    });
}

} // namespace

void Plugin::writeHeader(Dictionary& document) const {
    const PluginInfo* info = getPluginInfo();
    const ProductIdentity& product = getProductIdentity();
    document.writeInfo(product.getName(), product.getVersionString());
    const Version format = info != nullptr ? info->getFileFormatVersion() : product.getFileFormatVersion();
    document.setString("file-format", std::to_string(format.getPart(0)) + "." +
                                          std::to_string(format.getPart(1)) + "." +
                                          std::to_string(format.getPart(2)));
    document.setString("author", loginName());
}

void Plugin::writeParameters(Dictionary& document) const {
    const Dictionary::View array = document.addArray(kParameters);
    const Module* first = getFirstModule();
    const Settings* settings = first != nullptr ? first->getSettings() : nullptr;
    if (!array || settings == nullptr)
        return;
    for (int i = 0; i < settings->getParameterCount(); ++i)
        if (const Parameter* parameter = settings->getParameterAt(i);
            parameter != nullptr && isDocumentParameter(*parameter))
            parameter->write(*array);
}

void Plugin::writeTunings(Dictionary& document) const {
    std::vector<Tuning> tunings;
    int current = 0;
    {
        std::lock_guard guard(tuningsLock_);
        for (const std::unique_ptr<Tuning>& tuning : tunings_)
            tunings.push_back(*tuning);
        current = currentTuning_;
    }
    const Dictionary::View array = document.addArray(kTunings);
    if (!array)
        return;
    array->setInteger("current", current);
    for (const Tuning& tuning : tunings)
        if (const Dictionary::View item = array->addDictionary("tuning"))
            tuning.write(*item);
}

void Plugin::writeResources(Dictionary& document, bool withData) const {
    const Dictionary::View resources = document.addDictionary(kResources);
    if (Resources* shared = getResources(); shared != nullptr && resources)
        shared->saveSamplesOf(*resources, sampleIdsOf(presets_), withData, this);
}

void Plugin::writeProgramResources(Dictionary& document) const {
    std::set<std::string> ids;
    if (const Preset* preset = getCurrentPreset())
        preset->getSampleIds(ids);
    const Dictionary::View resources = document.addDictionary(kResources);
    if (Resources* shared = getResources(); shared != nullptr && resources)
        shared->saveSamplesOf(*resources, ids, false, this);
}

// Edits made since the current preset was activated live only in the settings until a document is
// written or the preset is left.
void Plugin::writeState(Dictionary& document, bool withData) {
    if (Preset* current = getCurrentPreset())
        current->storeLiveValues();
    writeHeader(document);
    writeParameters(document);
    if (const Dictionary::View programs = document.addArray(kPrograms))
        for (const std::unique_ptr<Preset>& preset : presets_)
            if (const Dictionary::View program = programs->addDictionary("program"))
                preset->write(*program);
    writeResources(document, withData);
    writeTunings(document);
}

void Plugin::writeProgram(Dictionary& document) const {
    if (Preset* current = getCurrentPreset())
        current->storeLiveValues();
    writeHeader(document);
    if (const Dictionary::View programs = document.addArray(kPrograms))
        if (const Preset* preset = getCurrentPreset())
            if (const Dictionary::View program = programs->addDictionary("program"))
                preset->write(*program);
    writeProgramResources(document);
}

std::string Plugin::refusalText(const std::string& refusal) {
    constexpr std::size_t kMaxLength = 400;
    return cutWithEllipsis(refusal.substr(0, refusal.find("\n\n")), kMaxLength);
}

bool Plugin::readState(const Dictionary& document) {
    EditorInterface* editor = getEditor();
    Dictionary checked(document);
    std::string refusal;
    const bool compatible = checked.checkCompatibility(refusal);
    const ProgramItems programs = compatible ? bankPrograms(document) : ProgramItems();
    const ZoneManager::ZoneCount count = compatible ? countZones(programs) : ZoneManager::ZoneCount();
    if (compatible)
        refusal = documentRefusal(count, document, allPresets());
    if (!compatible || !refusal.empty()) {
        showErrorMessage(refusalText(refusal), windowOf(editor));
        return false;
    }
    const Module* shown = editor != nullptr ? editor->getEditedModule() : nullptr;
    Resources* resources = getResources();
    SkippedSamples skipped;
    RefusedValues refused;
    // Held until the programs' zones hold them.
    std::vector<SharedObjectPtr<Sample>> copies;
    try {
        if (resources != nullptr) {
            resources->retainAll();
            readDocumentResources(*resources, document, skipped);
        }
        if (!holdSharedCopies(count, allPresets(), copies, resources))
            return false;
        readTunings(document);
        {
            std::lock_guard switching(presetMutex_);
            readPrograms(programs);
            const int before = getCurrentPresetIndex();
            // The bank's values reach the parameters now, not at the next preset change.
            if (selectFirstNonEmptyPreset() == before)
                activateCurrentPreset();
        }
        readPluginParameters(document);
    } catch (const std::exception& exception) {
        if (resources != nullptr)
            purgeUnnamed(*resources, this, presets_);
        logLine(3, "reading settings failed: %s", exception.what());
        showErrorMessage(std::string("The settings could not be read.\n\n") + exception.what(),
                         windowOf(editor));
        return false;
    }
    if (resources != nullptr)
        purgeUnnamed(*resources, this, presets_);
    if (editor != nullptr) {
        if (shown != nullptr)
            editor->showModule(getModuleIndex(shown));
        editor->draw(nullptr);
    }
    notifyPresetChanged();
    tellRefusedValues(refused);
    tellSkippedSamples(skipped);
    return true;
}

void Plugin::tellRefusedValues(const RefusedValues& refused) {
    if (refused.count() > 0)
        showErrorMessage(refused.message(), windowOf(getEditor()));
}

void Plugin::readDocumentResources(Resources& resources, const Dictionary& document,
                                   SkippedSamples& skipped) {
    const Dictionary::View samples = document.getDictionary(kResources);
    if (!samples)
        return;
    // With the editor open the user is asked for each missing sample; otherwise (a host restoring its
    // saved state, a file dropped with the editor closed) the user is told afterwards.
    resources.readDocumentSamples(*samples, documentFolder_.value_or(Folder()), &skipped, this);
}

void Plugin::tellSkippedSamples(const SkippedSamples& skipped) {
    std::vector<std::string> names;
    std::set<std::string> seen;
    for (const std::string& name : skipped.unasked)
        if (seen.insert(name).second)
            names.push_back(name);
    if (names.empty() && skipped.unreadable.empty())
        return;
    std::string text = names.empty() ? std::string() : unfoundSamplesText(names);
    if (!skipped.unreadable.empty())
        text += (text.empty() ? "" : " ") + unreadSamplesText(skipped.unreadable);
    logLine(3, "%s", text.c_str());
    showErrorMessage(text, windowOf(getEditor()));
}

Plugin::ProgramItems Plugin::bankPrograms(const Dictionary& document) const {
    ProgramItems taken;
    const Dictionary::View programs = document.getArray(kPrograms);
    // One walk, however much stands between the programs.
    Dictionary::View item = programs ? programs->getFirstChild("program") : nullptr;
    while (item && taken.size() < presets_.size()) {
        Dictionary::View next = item->getNextSibling("program");
        taken.push_back(std::move(item));
        item = std::move(next);
    }
    return taken;
}

void Plugin::readPrograms(const ProgramItems& programs) {
    for (std::size_t i = 0; i < presets_.size(); ++i) {
        if (i < programs.size())
            presets_[i]->read(*programs[i]);
        else
            presets_[i]->createPrograms();
    }
}

ZoneManager::ZoneCount Plugin::countZones(const ProgramItems& programs) const {
    ZoneManager::ZoneCount count;
    for (std::size_t i = 0; i < programs.size() && i < presets_.size(); ++i)
        count += presets_[i]->countZones(*programs[i]);
    return count;
}

std::string Plugin::limitRefusal(const ZoneManager::ZoneCount& count, const Dictionary& document) {
    const auto refusal = [](auto held, const char* what, const char* limit, auto most, const char* unit) {
        return "These settings hold " + std::to_string(held) + what + " and cannot be loaded: " + limit +
               std::to_string(most) + unit + ".";
    };
    if (count.zones > kMaxZones)
        return refusal(count.zones, " zones", "a bank or patch holds at most ", kMaxZones, " zones");
    if (count.values > kMaxZoneValues)
        return refusal(count.values, " zone values", "the zones of a bank or patch hold at most ",
                       kMaxZoneValues, " values");
    // Every sample item's data is decoded, whether a zone plays it or not; everything else of the document
    // may be copied (zone and program values, the entries of samples not found). The first item of an id
    // is the one read.
    std::uint64_t dataValues = 0;
    std::uint64_t text = document.textSize();
    if (const Dictionary::View resources = document.getDictionary(kResources))
        if (const Dictionary::View samples = resources->getArray("samples"))
            forEachItem(*samples, "", [&](const Dictionary& item) {
                dataValues += Sample::declaredDataValues(item);
                if (const Dictionary::View data = item.findEntry(Sample::kDataKey))
                    text -= data->textSize();
            });
    if (text > kMaxDocumentText)
        return refusal(text, " bytes of names and values besides their sample data",
                       "a bank or patch holds at most ", kMaxDocumentText, " besides its sample data");
    if (dataValues > kMaxSampleDataValues)
        return refusal(dataValues, " values of sample data",
                       "the sample data of a bank or patch holds at most ", kMaxSampleDataValues, " values");
    return std::string();
}

std::string Plugin::documentRefusal(const ZoneManager::ZoneCount& count, const Dictionary& document,
                                    const std::vector<const Preset*>& replaced) const {
    const std::string refusal = limitRefusal(count, document);
    return refusal.empty() ? copyRefusal(count, document, replaced) : refusal;
}

bool Plugin::holdSharedCopies(const ZoneManager::ZoneCount& count, const std::vector<const Preset*>& replaced,
                              std::vector<SharedObjectPtr<Sample>>& held, Resources* resources) {
    const auto refuse = [&](const std::string& refusal, const std::string& shown) {
        // Nothing of the instance has changed yet; what the document brought goes again.
        held.clear();
        purgeUnnamed(*resources, this, presets_);
        logLine(3, "%s", refusal.c_str());
        showErrorMessage(shown, windowOf(getEditor()));
        return false;
    };
    // Counted before the read from what the document and the files' headers say; what was read is what
    // the copies hold.
    if (const std::string refusal = copyRefusal(count, replaced); !refusal.empty())
        return refuse(refusal, refusalText(refusal));
    for (const auto& [id, processing] : count.processed) {
        Sample* source = resources != nullptr ? resources->findSample(id) : nullptr;
        SharedObjectPtr<Sample> copy;
        if (source != nullptr && !Zone::holdSharedCopy(*source, processing, copy)) {
            const File file = resources->getSampleFile(id);
            const std::string refusal =
                "These settings cannot be loaded: " +
                Zone::copyRefusal(*source, file.getName().empty() ? id : file.getPath()) + ".";
            return refuse(refusal, refusal);
        }
        if (copy)
            held.push_back(std::move(copy));
    }
    return true;
}

std::string Plugin::documentSizeRefusal(std::uint64_t bytes) {
    if (bytes <= kMaxDocumentBytes)
        return std::string();
    return "These settings hold " + std::to_string(bytes) +
           " bytes of text and cannot be loaded: a bank or patch holds at most " +
           std::to_string(kMaxDocumentBytes) + " bytes.";
}

std::string Plugin::stateLimitRefusal(const Dictionary& document) const {
    return documentRefusal(countZones(bankPrograms(document)), document, allPresets());
}

void Plugin::readPluginParameters(const Dictionary& document) {
    const Dictionary::View array = document.getArray(kParameters);
    const Module* first = getFirstModule();
    const Settings* settings = first != nullptr ? first->getSettings() : nullptr;
    if (!array || settings == nullptr)
        return;
    forEachItem(*array, "", [&](const Dictionary& item) {
        const std::string index = item.getAttribute("index");
        const long instance = index.empty() ? 0 : std::strtol(index.c_str(), nullptr, 10);
        Parameter* parameter = instance >= 0 && instance <= INT32_MAX
                                   ? settings->getParameter(item.getName(), static_cast<int>(instance))
                                   : nullptr;
        if (parameter == nullptr || !isDocumentParameter(*parameter))
            return;
        try {
            parameter->read(item);
        } catch (const Error& error) {
            // A broken item costs only its own value.
            logErrorLine(3, error);
        }
    });
}

bool Plugin::readProgram(const Dictionary& document, int programIndex) {
    const Dictionary::View programs = document.getArray(kPrograms);
    const Dictionary::View item =
        programs && programIndex >= 0 ? programs->getChild(programIndex, "program") : nullptr;
    const Preset* current = getCurrentPreset();
    const ZoneManager::ZoneCount count =
        item && current != nullptr ? current->countZones(*item) : ZoneManager::ZoneCount();
    const std::vector<const Preset*> replaced =
        current != nullptr ? std::vector<const Preset*>{current} : std::vector<const Preset*>();
    if (const std::string refusal = documentRefusal(count, document, replaced); !refusal.empty()) {
        showErrorMessage(refusalText(refusal), windowOf(getEditor()));
        return false;
    }
    Resources* resources = getResources();
    if (resources != nullptr)
        resources->retainAll();
    SkippedSamples skipped;
    RefusedValues refused;
    // Held until the program's zones hold them.
    std::vector<SharedObjectPtr<Sample>> copies;
    if (item) {
        if (resources != nullptr)
            readDocumentResources(*resources, document, skipped);
        if (!holdSharedCopies(count, replaced, copies, resources))
            return false;
        std::lock_guard switching(presetMutex_);
        if (Preset* preset = getCurrentPreset()) {
            preset->read(*item);
            activateCurrentPreset();
        }
    }
    if (resources != nullptr)
        purgeUnnamed(*resources, this, presets_);
    notifyPresetChanged();
    tellRefusedValues(refused);
    tellSkippedSamples(skipped);
    return true;
}

void Plugin::readTunings(const Dictionary& document) {
    TuningList fresh;
    {
        std::lock_guard guard(tuningsLock_);
        if (!tunings_.empty())
            fresh.push_back(std::make_unique<Tuning>(*tunings_.front()));
    }
    int current = 0;
    // Tunings are told apart by their descriptions: each is looked up once, not compared with every other.
    std::map<std::string, int> positions;
    for (std::size_t i = 0; i < fresh.size(); ++i)
        positions.emplace(fresh[i]->getDescription(), static_cast<int>(i));
    const Dictionary::View array = document.getArray(kTunings);
    if (array)
        forEachItem(*array, "tuning", [&](const Dictionary& item) {
            auto tuning = std::make_unique<Tuning>();
            if (!tuning->read(item))
                return;
            const auto [same, added] =
                positions.emplace(tuning->getDescription(), static_cast<int>(fresh.size()));
            if (added)
                fresh.push_back(std::move(tuning));
            current = same->second;
        });
    TuningList old;
    {
        std::lock_guard guard(tuningsLock_);
        old.swap(tunings_);
        tunings_.swap(fresh);
        currentTuning_ = tunings_.empty() ? 0 : current;
        publishTuning();
    }
    // A block or note may still read an old tuning.
    readers_.synchronize();
    old.clear();
    // Read into a local: an index the list does not have leaves the tuning read last current.
    int stored = current;
    if (array && (!array->getInteger("current", &stored) || stored < 0 || stored >= getTuningCount()))
        stored = current;
    selectTuning(stored);
}

int Plugin::selectFirstNonEmptyPreset() {
    const Preset* current = getCurrentPreset();
    if (current == nullptr || !current->isEmpty())
        return getCurrentPresetIndex();
    for (std::size_t i = 0; i < presets_.size(); ++i)
        if (!presets_[i]->isEmpty()) {
            selectPreset(static_cast<int>(i));
            return static_cast<int>(i);
        }
    return getCurrentPresetIndex();
}

bool Plugin::loadSampleFromFile(const File& file, const std::string& id) {
    // As any door a document comes through: a file past the size of any bank is not parsed, and the one
    // item read is held to a document's limits before its data is decoded.
    const NativeWindow* window = windowOf(getEditor());
    if (const std::string refusal =
            documentSizeRefusal(static_cast<std::uint64_t>(std::max<std::int64_t>(file.getSize(), 0)));
        !refusal.empty()) {
        showErrorMessage(refusal, window);
        return false;
    }
    Dictionary document;
    if (!document.load(file))
        return false;
    const Dictionary::View resources = document.getDictionary(kResources);
    const Dictionary::View samples = resources ? resources->getArray("samples") : nullptr;
    if (!samples)
        return false;
    bool found = false;
    bool refused = false;
    forEachItem(*samples, "", [&](const Dictionary& item) {
        std::string itemId;
        if (found || !item.getString("id", &itemId) || itemId != id)
            return;
        found = true;
        Dictionary single;
        const Dictionary::View chosen = single.addDictionary(kResources);
        const Dictionary::View array = chosen ? chosen->addArray("samples") : nullptr;
        if (!array)
            return;
        array->appendChild(item);
        if (const std::string refusal = limitRefusal(ZoneManager::ZoneCount(), single); !refusal.empty()) {
            refused = true;
            showErrorMessage(refusalText(refusal), window);
            return;
        }
        if (Resources* shared = getResources())
            shared->readDocumentSamples(*chosen, file.getFolder(), nullptr, this);
    });
    return found && !refused;
}

bool Plugin::canAskForSample() const {
    return getEditor() != nullptr;
}

bool Plugin::askForSample(File& file) {
    const EditorInterface* editor = getEditor();
    if (editor == nullptr)
        return false;
    const NativeWindow* window = editor->getWindow();
    const std::string name = file.getName();
    if (askYesNoCancel(
            "The sample '" + name +
                "' could not be found!\r\nDo you want to locate it yourself?\r\nChoose Cancel to skip "
                "the sample.",
            window) != 0)
        return false;
    FileFilterList filters;
    FileFilter filter;
    filter.description = "Locate sample '" + name + "'.";
    if (!file.getExtension().empty())
        filter.extensions.push_back(file.getExtension());
    filters.push_back(filter);
    File chosen(file);
    if (chosen.openDialog("Missing sample", filters, file, window) < 0)
        return false;
    if (askOkCancel("Include this folder in future searches?", window))
        if (Resources* resources = getResources())
            resources->addSampleFolder(chosen.getFolder());
    file = chosen;
    return true;
}

} // namespace trov
