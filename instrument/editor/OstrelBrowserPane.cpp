#include "instrument/editor/OstrelBrowserPane.h"

#include "framework/System.h"
#include "instrument/InstrumentKeys.h"
#include "instrument/editor/OstrelSampleBrowser.h"
#include "instrument/editor/OstrelSampleBrowserNode.h"
#include "plugin/Parameter.h"
#include "plugin/Settings.h"

namespace trov {

namespace {

constexpr int kWaitCursor = 10;
constexpr int kArrowCursor = 0;

} // namespace

OstrelBrowserPane::WaitCursor::WaitCursor() {
    setCursor(kWaitCursor);
}

OstrelBrowserPane::WaitCursor::~WaitCursor() {
    setCursor(kArrowCursor);
}

OstrelBrowserPane::OstrelBrowserPane(Editor* editor, OstrelSampleBrowser* browser)
    : ControlFileBrowserFrame(editor, browser), sampleBrowser_(browser) {}

OstrelSampleBrowserNode* OstrelBrowserPane::sampleNodeAt(const Point& p) {
    return dynamic_cast<OstrelSampleBrowserNode*>(nodeAt(p));
}

bool OstrelBrowserPane::hoverMovedTo(const FileBrowserNode* node) {
    if (hoverKnown_ && node == hovered_)
        return false;
    hovered_ = node;
    hoverKnown_ = true;
    return true;
}

void OstrelBrowserPane::toggleBrowserDisplay() {
    const Settings* settings = getSettings();
    if (Parameter* display = settings != nullptr ? settings->getParameter(keys::kDisplayBrowser) : nullptr)
        display->setNormalized(display->getNormalized() == 0.0f ? 1.0f : 0.0f, Sender::kEditor);
}

} // namespace trov
