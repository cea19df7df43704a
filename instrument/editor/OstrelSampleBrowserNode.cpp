#include "instrument/editor/OstrelSampleBrowserNode.h"

#include "engine/zones/Resources.h"
#include "framework/Dictionary.h"
#include "framework/Logger.h"
#include "framework/StringUtils.h"
#include "gui/Bitmap.h"
#include "gui/Canvas.h"
#include "gui/controls/ProductFont.h"
#include "instance/Plugin.h"
#include "instrument/editor/OstrelSampleBrowser.h"

#include <algorithm>
#include <cstdint>
#include <memory>

namespace trov {

namespace {

const Color kCurrentColor(255, 190, 50, 255);
const Color kPlainColor(230, 230, 230, 255);
constexpr int kNodeFont = 0;
constexpr int kIconRowClosed = 0;
constexpr int kIconRowOpen = 1;

// The file name without its folders and extension; both separators count (old documents).
std::string baseName(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (const std::size_t dot = name.find_last_of('.'); dot != std::string::npos && dot > 0)
        name.resize(dot);
    return name;
}

} // namespace

OstrelSampleBrowserNode::OstrelSampleBrowserNode(OstrelSampleBrowser* browser)
    : FileBrowserNode(browser), sampleBrowser_(browser) {}

std::int32_t OstrelSampleBrowserNode::getKind() {
    if (kind_ == kKindUnknown)
        kind_ = kindOfFile();
    return kind_;
}

std::int32_t OstrelSampleBrowserNode::kindOfFile() const {
    if (!getFolder().isEmpty())
        return kKindFolder;
    const std::string extension = toLowerCase(getFile().getExtension());
    if (extension == "kmd")
        return kKindBank;
    if (extension == "kpr")
        return kKindPatch;
    if (extension == "rex" || extension == "rx2")
        return kKindLoop;
    return Resources::isSampleFile(getFile()) ? kKindSample : kKindOther;
}

void OstrelSampleBrowserNode::populate() {
    const std::int32_t kind = getKind();
    if (kind == kKindFolder) {
        FileBrowserNode::populate();
        return;
    }
    // Programs and samples listed from inside a document have nothing below them.
    if ((kind == kKindBank || kind == kKindPatch) && !isInsideDocument())
        listDocument();
}

OstrelSampleBrowserNode* OstrelSampleBrowserNode::addDocumentChild(std::int32_t kind, int index,
                                                                   const std::string& name) {
    auto child = std::make_unique<OstrelSampleBrowserNode>(sampleBrowser_);
    child->kind_ = kind;
    child->index_ = index;
    child->setFile(getFile());
    child->setName(name);
    child->setListed(true);
    return static_cast<OstrelSampleBrowserNode*>(addChild(std::move(child)));
}

// A program entry without an id is an empty place of the bank: it is left out, and the others keep their
// positions, which are what reading a program of the document counts.
void OstrelSampleBrowserNode::listDocument() {
    setListed(true);
    removeChildren();
    // A file larger than any bank is not parsed (parsing costs several times its text): it lists nothing.
    const File& file = getFile();
    if (const std::string refusal = Plugin::documentSizeRefusal(
            static_cast<std::uint64_t>(std::max<std::int64_t>(file.getSize(), 0)));
        !refusal.empty()) {
        logLine(3, "%s is not listed: %s", file.getPath().c_str(), refusal.c_str());
        return;
    }
    Dictionary document;
    if (!document.load(file))
        return;
    const std::int32_t kind = getKind();
    if (const Dictionary::View programs = document.getArray("programs")) {
        int i = 0;
        for (Dictionary::View program = programs->getFirstChild("program"); program;
             program = program->getNextSibling("program"), ++i) {
            std::string id;
            if (!program->getString("id", &id))
                continue;
            if (kind == kKindPatch) {
                setKey(id);
                break;
            }
            std::string name;
            program->getString("name", &name);
            addDocumentChild(kKindPatch, i, name)->setKey(id);
        }
    }
    const Dictionary::View resources = document.getDictionary("resources");
    const Dictionary::View samples = resources ? resources->getArray("samples") : nullptr;
    if (!samples)
        return;
    int i = 0;
    for (Dictionary::View sample = samples->getFirstChild(""); sample;
         sample = sample->getNextSibling(""), ++i) {
        std::string filename;
        if (!sample->getString("filename", &filename))
            continue;
        OstrelSampleBrowserNode* child = addDocumentChild(kKindSample, i, baseName(filename));
        sample->getString("id", &child->id_);
    }
}

void OstrelSampleBrowserNode::drawName(Canvas& canvas, const Rect& text, const Rect& icon) {
    canvas.save();
    setProductFont(canvas, kNodeFont);
    const Color color = (getTags() & kTagCurrent) != 0 ? kCurrentColor : kPlainColor;
    if (isHighlighted()) {
        const int left = icon.isEmpty() ? text.left : std::min(icon.left, text.left);
        canvas.setBrushColor(color);
        canvas.fillRect(Rect(Point(left, text.top), Point(text.right, text.bottom)));
        canvas.setTextColor(colorBlack);
    } else {
        canvas.setTextColor(color);
    }
    canvas.drawText(toUpperCase(getName()), text, Font::kAlignMiddle);
    Bitmap* icons = sampleBrowser_ != nullptr ? sampleBrowser_->getIcons() : nullptr;
    const std::int32_t kind = getKind();
    if (icons != nullptr && !icon.isEmpty() && kind >= 0 && kind < icons->getColumns()) {
        const bool open = getOpenState() == kOpening || getOpenState() == kOpen;
        const Rect frame = icons->getFrame(open ? kIconRowOpen : kIconRowClosed, kind);
        if (!frame.isEmpty())
            canvas.drawBitmap(icons, frame,
                              Rect(icon.left, icon.top + (icon.getHeight() - frame.getHeight()) / 2,
                                   frame.getWidth(), frame.getHeight()));
    }
    canvas.restore();
}

} // namespace trov
