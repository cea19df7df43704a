#include "instrument/editor/OstrelSampleFiles.h"

#include "engine/samples/Sample.h"
#include "engine/zones/Resources.h"
#include "engine/zones/ZoneManager.h"
#include "instance/Plugin.h"
#include "instrument/editor/OstrelSampleBrowser.h"
#include "instrument/editor/OstrelSampleBrowserNode.h"

#include <string>

namespace trov {

namespace {

bool isSampleKind(std::int32_t kind) {
    return kind == OstrelSampleBrowserNode::kKindSample || kind == OstrelSampleBrowserNode::kKindLoop;
}

} // namespace

OstrelSampleFiles::OstrelSampleFiles(Editor* editor, OstrelSampleBrowser* browser)
    : OstrelBrowserPane(editor, browser) {
    setLabel(kTitle);
    setIcons(true, false);
    setTooltipPlacement(kPlacementMouse);
}

bool OstrelSampleFiles::isShown(const FileBrowserNode& node) const {
    const std::int32_t kind = const_cast<FileBrowserNode&>(node).getKind();
    if (kind == FileBrowserNode::kKindFolder || kind == OstrelSampleBrowserNode::kKindBank)
        return node.isHighlighted();
    if (isSampleKind(kind))
        return node.getParent() != nullptr && node.getParent()->isHighlighted();
    return false;
}

bool OstrelSampleFiles::receive(const Message& message) {
    if (const auto* window =
            message.kind == kKindWindow ? dynamic_cast<const WindowMessage*>(&message) : nullptr)
        switch (window->code) {
        case Code::kMouseMove:
            return moved(*window);
        case Code::kLeftDown:
        case Code::kLeftDoubleClick:
            return pressed(*window);
        default:
            break;
        }
    return OstrelBrowserPane::receive(message);
}

bool OstrelSampleFiles::moved(const WindowMessage& message) {
    OstrelSampleBrowserNode* node = sampleNodeAt(message.where);
    if (hoverMovedTo(node)) {
        const std::int32_t kind = node != nullptr ? node->getKind() : FileBrowserNode::kKindUnknown;
        setTooltip(node != nullptr && kind != FileBrowserNode::kKindFolder &&
                           kind != OstrelSampleBrowserNode::kKindBank
                       ? tooltipOf(*node)
                       : std::string());
    }
    return node != nullptr;
}

// A sample file is loaded only for as long as its description is read, and exactly that reference is
// given back (the file may be a zone's sample, cached under another id). A sample inside a document is
// named only: its file is the document.
std::string OstrelSampleFiles::tooltipOf(OstrelSampleBrowserNode& node) {
    if (node.isInsideDocument())
        return "Wavesample: " + node.getName();
    std::string text = "Wavesample: " + node.getFile().getName() + "\nSize: " + node.getFile().getSizeText();
    Resources* resources = getResources();
    if (Sample* sample = resources != nullptr ? resources->loadSample(kPreviewId, node.getFile()) : nullptr) {
        const SampleInfo& info = sample->getInfo();
        if (!info.creator.empty())
            text += "\nAuthor: " + info.creator;
        if (!info.comment.empty())
            text += "\n" + info.comment;
        resources->releaseSample(sample);
    }
    return text;
}

bool OstrelSampleFiles::pressed(const WindowMessage& message) {
    OstrelSampleBrowserNode* node = sampleNodeAt(message.where);
    if (node == nullptr) {
        if (message.code != Code::kLeftDoubleClick)
            return false;
        toggleBrowserDisplay();
        return true;
    }
    // Other rows take the press without opening or highlighting anything here.
    if (isSampleKind(node->getKind()) && getZoneManager() != nullptr) {
        const WaitCursor waiting;
        if (loadIntoZone(*node))
            setCurrentSample(node);
    }
    return true;
}

bool OstrelSampleFiles::loadIntoZone(OstrelSampleBrowserNode& node) {
    ZoneManager* zones = getZoneManager();
    if (!node.isInsideDocument())
        return zones->importSample(node.getFile()) != 0;
    Plugin* plugin = getPlugin();
    return plugin != nullptr && plugin->loadSampleFromFile(node.getFile(), node.getId()) &&
           zones->setCurrentZoneSample(node.getId());
}

void OstrelSampleFiles::setCurrentSample(FileBrowserNode* node) {
    if (OstrelSampleBrowser* browser = getSampleBrowser())
        browser->forEachNode([node](FileBrowserNode& other) {
            if (isSampleKind(other.getKind()))
                other.setHighlighted(&other == node);
        });
    requestRedraw(true);
}

} // namespace trov
