#include "instrument/editor/OstrelSampleBrowser.h"

#include "engine/zones/Resources.h"
#include "engine/zones/ZoneManager.h"
#include "framework/Folder.h"
#include "framework/Preferences.h"
#include "framework/Random.h"
#include "instrument/InstrumentKeys.h"
#include "instrument/editor/OstrelSampleBrowserNode.h"
#include "instrument/editor/OstrelSampleFiles.h"
#include "instrument/editor/OstrelSampleFolders.h"
#include "plugin/Parameter.h"
#include "plugin/Settings.h"

#include <string>

namespace trov {

namespace {

constexpr const char* kIcons = "BrowserIcons";
constexpr int kFactoryFolder = 1; // the all-users application data of the product
constexpr int kDocumentsFolder = 2;
constexpr float kNoContrast = -1.0f;

} // namespace

OstrelSampleBrowser::OstrelSampleBrowser(Editor* editor, const Rect& bounds)
    : ControlFileBrowser(editor, bounds), folders_(new OstrelSampleFolders(editor, this)),
      files_(new OstrelSampleFiles(editor, this)), icons_(takeBitmap(kIcons)) {
    addFrame(folders_);
    addFrame(files_);
    addRoots();
    // Each answers at once; the contrast again, now for this browser's own flicker.
    for (const char* name : {keys::kCurrentProgram, keys::kCurrentZone, keys::kLCDContrast})
        listenTo(name);
}

OstrelSampleBrowser::~OstrelSampleBrowser() {
    giveBack(icons_);
}

bool OstrelSampleBrowser::fromDictionary(const Dictionary& spec) {
    ControlFileBrowser::fromDictionary(spec);
    return true;
}

std::unique_ptr<FileBrowserNode> OstrelSampleBrowser::createNode() {
    return std::make_unique<OstrelSampleBrowserNode>(this);
}

// The fixed roots, then the favourites in their numbers' order up to the first number missing; the first
// root opens.
void OstrelSampleBrowser::addRoots() {
    addFixedRoot(getMachinePreferences(), kFactoryPresetsPath, kFactoryFolder);
    const Preferences* user = getUserPreferences();
    addFixedRoot(user, kRecordedSamplesPath, kDocumentsFolder);
    const std::unique_ptr<Preferences> favourites(user != nullptr ? user->openChild(kFavourites) : nullptr);
    std::string path;
    for (int k = 1;
         favourites != nullptr && favourites->getString(kFavouritePrefix + std::to_string(k), path); ++k) {
        std::unique_ptr<FileBrowserNode> node = createNode();
        node->setFolder(getStandardFolder(kFactoryFolder) + Folder(path));
        addRoot(std::move(node), 0);
    }
    if (!getRoots().empty())
        getRoots().front()->setOpen(true);
}

void OstrelSampleBrowser::addFixedRoot(const Preferences* preferences, const char* name, int standardFolder) {
    std::string path;
    if (preferences == nullptr || !preferences->getString(name, path))
        return;
    std::unique_ptr<FileBrowserNode> node = createNode();
    node->setFolder(getStandardFolder(standardFolder) + Folder(path));
    addRoot(std::move(node), OstrelSampleBrowserNode::kTagFixed);
}

// Any thread: values and flags for the editor's tick; the zone's sample is never looked up inside the
// zone list's broadcast.
bool OstrelSampleBrowser::receive(const Message& message) {
    if (message.kind == kKindResource && message.code == Code::kResourceAdded) {
        requestRedraw(true);
        return true;
    }
    const auto* change = message.kind == kKindParameter && message.code == Code::kParameterValue
                             ? dynamic_cast<const ParameterMessage*>(&message)
                             : nullptr;
    if (change == nullptr)
        return ControlFileBrowser::receive(message);
    if (change->name == keys::kCurrentProgram) {
        if (onUserInterfaceThread()) {
            const char* title = wordToPointer<const char>(change->extra);
            setTitle(title != nullptr ? title : "");
        } else {
            pendingTitle_.store(true, std::memory_order_release);
            deferControlWork();
        }
        return true;
    }
    if (change->name == keys::kCurrentZone) {
        currentZone_.store(static_cast<int>(static_cast<std::intptr_t>(change->extra)),
                           std::memory_order_relaxed);
        pendingZone_.store(true, std::memory_order_release);
        deferControlWork();
        requestRedraw(true);
        return true;
    }
    if (change->name == keys::kLCDContrast) {
        if (onUserInterfaceThread()) {
            applyContrast(change->value);
        } else {
            pendingContrast_.store(change->value, std::memory_order_release);
            deferControlWork();
        }
        return true;
    }
    return ControlFileBrowser::receive(message);
}

void OstrelSampleBrowser::applyDeferredControlWork() {
    if (pendingTitle_.exchange(false, std::memory_order_acq_rel))
        if (const Settings* settings = getSettings())
            setTitle(settings->getString(keys::kCurrentProgram));
    if (const float contrast = pendingContrast_.exchange(kNoContrast, std::memory_order_acq_rel);
        contrast != kNoContrast)
        applyContrast(contrast);
    if (pendingZone_.exchange(false, std::memory_order_acq_rel))
        showZoneSample();
}

// A slight random flicker around the contrast, as the rest of the emulated display has.
void OstrelSampleBrowser::applyContrast(float contrast) {
    setTransparency(contrast + (static_cast<float>(randomDouble()) - 0.5f) * kFlicker);
    requestRedraw(true);
}

void OstrelSampleBrowser::showZoneSample() {
    const ZoneManager* zones = getZoneManager();
    const Resources* resources = getResources();
    if (zones == nullptr || resources == nullptr)
        return;
    const File file = resources->getSampleFile(zones->getCurrentSampleName());
    FileBrowserNode* shown = nullptr;
    if (!file.getName().empty())
        forEachNode([&](FileBrowserNode& node) {
            const auto* sample = dynamic_cast<const OstrelSampleBrowserNode*>(&node);
            if (shown == nullptr && sample != nullptr && !sample->isInsideDocument() &&
                node.getKind() == OstrelSampleBrowserNode::kKindSample && node.getFile() == file)
                shown = &node;
        });
    files_->setCurrentSample(shown);
    requestRedraw(true);
}

} // namespace trov
