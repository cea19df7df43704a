#include "instrument/editor/OstrelSampleFolders.h"

#include "framework/Dictionary.h"
#include "framework/Folder.h"
#include "framework/Preferences.h"
#include "gui/Editor.h"
#include "gui/PopupMenu.h"
#include "instrument/Corvale.h"
#include "instrument/editor/OstrelSampleBrowser.h"
#include "instrument/editor/OstrelSampleBrowserNode.h"

#include <memory>
#include <string>

namespace trov {

namespace {

bool isFixed(const FileBrowserNode& node) {
    return (node.getTags() & OstrelSampleBrowserNode::kTagFixed) != 0;
}

} // namespace

OstrelSampleFolders::OstrelSampleFolders(Editor* editor, OstrelSampleBrowser* browser)
    : OstrelBrowserPane(editor, browser) {
    setIcons(true, true);
}

OstrelSampleFolders::~OstrelSampleFolders() {
    saveFavourites();
}

bool OstrelSampleFolders::isShown(const FileBrowserNode& node) const {
    const std::int32_t kind = const_cast<FileBrowserNode&>(node).getKind();
    return kind == FileBrowserNode::kKindFolder || kind == OstrelSampleBrowserNode::kKindBank ||
           kind == OstrelSampleBrowserNode::kKindPatch;
}

bool OstrelSampleFolders::receive(const Message& message) {
    if (const auto* window =
            message.kind == kKindWindow ? dynamic_cast<const WindowMessage*>(&message) : nullptr) {
        switch (window->code) {
        case Code::kMouseMove:
            return moved(*window);
        case Code::kLeftDown:
            listDocument(*window);
            break;
        case Code::kLeftDoubleClick:
            return doubleClicked(*window);
        default:
            break;
        }
    }
    // The pane's own entries; the MIDI-learn ones are numbered below them.
    if (message.kind == kKindControl && message.code == Code::kRightClick &&
        static_cast<std::int32_t>(message.extra) >= kMenuFirstOwnItem)
        if (const auto* command = dynamic_cast<const ControlMessage*>(&message)) {
            menuCommand(*command);
            return true;
        }
    return OstrelBrowserPane::receive(message);
}

bool OstrelSampleFolders::moved(const WindowMessage& message) {
    const OstrelSampleBrowserNode* node = sampleNodeAt(message.where);
    if (hoverMovedTo(node)) {
        if (node != nullptr &&
            const_cast<OstrelSampleBrowserNode*>(node)->getKind() == OstrelSampleBrowserNode::kKindPatch)
            setTooltip("Patch: " + node->getFile().getName());
        else
            setTooltip(std::string());
    }
    return node != nullptr;
}

void OstrelSampleFolders::listDocument(const WindowMessage& message) {
    OstrelSampleBrowserNode* node = sampleNodeAt(message.where);
    if (node == nullptr || node->isListed())
        return;
    const std::int32_t kind = node->getKind();
    if (kind != OstrelSampleBrowserNode::kKindBank && kind != OstrelSampleBrowserNode::kKindPatch)
        return;
    const WaitCursor waiting;
    node->populate();
}

bool OstrelSampleFolders::doubleClicked(const WindowMessage& message) {
    OstrelSampleBrowserNode* node = sampleNodeAt(message.where);
    if (node == nullptr) {
        toggleBrowserDisplay();
        return true;
    }
    switch (node->getKind()) {
    case OstrelSampleBrowserNode::kKindBank:
        if (Plugin* plugin = getPlugin()) {
            const WaitCursor waiting;
            plugin->importFile(node->getFile());
        }
        break;
    case OstrelSampleBrowserNode::kKindPatch:
        return loadProgram(*node);
    default:
        break;
    }
    return OstrelBrowserPane::receive(message);
}

// A patch, or one program of a bank, is read as the load dialog reads a patch: checked, converted from an
// older format, its samples beside it. With "UpdateKPRs" a patch file is then written again in the current
// format.
bool OstrelSampleFolders::loadProgram(const OstrelSampleBrowserNode& node) {
    auto* instrument = dynamic_cast<Corvale*>(getPlugin());
    if (instrument == nullptr)
        return false;
    const WaitCursor waiting;
    const bool inBank = node.isInsideDocument();
    if (!instrument->readProgramFile(node.getFile(), inBank ? node.getIndex() : 0))
        return false;
    bool update = false;
    if (const Preferences* user = getUserPreferences();
        !inBank && user != nullptr && user->getBool(kUpdatePatches, update) && update) {
        Dictionary patch;
        instrument->writeProgram(patch);
        patch.save(node.getFile());
    }
    return true;
}

void OstrelSampleFolders::showContextMenu(PopupMenu& menu, const Point& where) {
    const auto owner = pointerToWord(this);
    menu.addItem(PopupMenuItem(owner, kMenuFirstOwnItem + kAddFolder, "Add new folder...", 0));
    menu.addItem(PopupMenuItem(owner, kMenuFirstOwnItem + kRefreshFolder, "Refresh folder list", 0));
    if (const FileBrowserNode* node = nodeAt(where); node != nullptr && !isFixed(*node))
        menu.addItem(PopupMenuItem(owner, kMenuFirstOwnItem + kRemoveFolder, "Remove folder", 0));
    menu.addSeparator();
    OstrelBrowserPane::showContextMenu(menu, where);
}

void OstrelSampleFolders::menuCommand(const ControlMessage& message) {
    const std::int32_t entry = static_cast<std::int32_t>(message.extra) - kMenuFirstOwnItem;
    OstrelSampleBrowser* browser = getSampleBrowser();
    if (entry == kAddFolder) {
        Folder folder(".");
        const Editor* editor = getOwnerEditor();
        if (folder.browse("Select sample folder", editor != nullptr ? editor->getEditorWindow() : nullptr) &&
            browser != nullptr) {
            std::unique_ptr<FileBrowserNode> node = browser->createNode();
            node->setFolder(folder);
            browser->addRoot(std::move(node), 0);
            browser->requestRedraw(true);
        }
        return;
    }
    FileBrowserNode* node = nodeAt(message.where);
    if (node == nullptr)
        return;
    if (entry == kRefreshFolder) {
        node->populate();
        if (browser != nullptr)
            browser->requestRedraw(true);
    } else if (entry == kRemoveFolder && !isFixed(*node)) {
        node->setHighlighted(false);
        node->setOpen(false);
        removeRoot(node);
        requestRedraw(true);
    }
}

// The favourites are written from scratch, numbered without gaps, in the order of the pane's roots.
void OstrelSampleFolders::saveFavourites() {
    Preferences* user = getUserPreferences();
    if (user == nullptr)
        return;
    user->clearChild(OstrelSampleBrowser::kFavourites);
    const std::unique_ptr<Preferences> favourites(user->createChild(OstrelSampleBrowser::kFavourites));
    if (favourites == nullptr)
        return;
    int number = 0;
    for (const FileBrowserNode* root : getRoots())
        if (!isFixed(*root) && !root->getFolder().isEmpty())
            favourites->setString(OstrelSampleBrowser::kFavouritePrefix + std::to_string(++number),
                                  root->getFolder().getPath());
}

} // namespace trov
