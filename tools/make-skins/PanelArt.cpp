#include "tools/make-skins/PanelArt.h"

#include <set>

namespace trov::skins {

namespace {

using namespace colours;

constexpr char kProductTitle[] = "CORVALE";
constexpr char kProductLine[] = "8-BIT SAMPLING KEYBOARD";

// Controls whose legend stands centred under them.
const std::set<std::string> kLegendBelow = {"Knob",
                                            "Slider",
                                            "Range",
                                            "Button",
                                            "ButtonChoice",
                                            "PopupMenu",
                                            "VUMeter",
                                            "VUMeterLED",
                                            "LayerButton",
                                            "CorvaleRecordButton",
                                            "CorvaleSampleButton",
                                            "CorvaleSliceButton",
                                            "SampleDrag"};

NativeRect local(const NativeRect& r, const PanelNode& page) {
    return {r.left - page.absolute.left, r.top - page.absolute.top, r.right - page.absolute.left,
            r.bottom - page.absolute.top};
}

// A frame round a section, broken at the top-left by its title.
void section(DrawContext& dc, const NativeRect& r, const std::string& title, ColorRef base) {
    dc.frameRect(r, kSectionLine);
    dc.frameRect(inset(r, 1), mix(base, kBlack, 0.35));
    if (title.empty())
        return;
    const int width = pixelTextWidth(title, 1) + 6;
    const NativeRect label = rectOf(r.left + 6, r.top - 4, width, 8);
    dc.fillRect(label, base);
    pixelText(dc, title, label, kTitle, 1, platform::draw::kTextCenter);
}

void displayWindow(DrawContext& dc, const NativeRect& r) {
    bevel(dc, {r.left - 3, r.top - 3, r.right + 3, r.bottom + 3}, kPanelShade, true);
    dc.fillRect(r, kDisplay);
}

void legend(DrawContext& dc, const PanelNode& node, const NativeRect& r) {
    if (node.label.empty())
        return;
    if (node.type == "LCDDisplay") {
        pixelText(dc, node.label, {r.left - 64, r.top, r.left - 5, r.bottom}, kLegend, 1,
                  platform::draw::kTextRight);
        return;
    }
    if (kLegendBelow.count(node.type) != 0)
        pixelText(dc, node.label, {r.left - 16, r.bottom + 2, r.right + 16, r.bottom + 10}, kLegend, 1,
                  platform::draw::kTextCenter);
}

// What the page shows around one control, then around its children that are not on a page of their own.
void decorate(DrawContext& dc, const PanelNode& node, const PanelNode& page, ColorRef base,
              const IsPage& isPage) {
    const NativeRect r = local(node.absolute, page);
    // The display's window, and a small one of its own behind a number readout.
    if (node.id == kDisplayId)
        displayWindow(dc, r);
    else if (node.type == "LCDDisplay")
        displayWindow(dc, {r.left - 1, r.top - 1, r.right + 1, r.bottom + 1});
    else if (node.type == "Container" && !node.label.empty())
        section(dc, r, node.label, base);
    else if (node.type == "LFOLED")
        disc(dc, r, rgb(50, 20, 18), kPanelShade);
    legend(dc, node, r);
    for (const auto& child : node.children)
        if (!isPage(*child))
            decorate(dc, *child, page, base, isPage);
}

} // namespace

std::shared_ptr<Surface> drawPage(const PanelNode& page, const IsPage& isPage) {
    auto surface = makeSurface(page.width(), page.height());
    auto dc = contextOn(surface);
    const bool panel = page.type == "Background";
    const ColorRef base = panel ? kPanel : kPage;
    const NativeRect whole = rectOf(0, 0, page.width(), page.height());
    bevel(*dc, whole, base);
    if (panel) {
        pixelText(*dc, kProductTitle, rectOf(18, 8, 200, 24), kTitle, 3, platform::draw::kTextLeft);
        pixelText(*dc, kProductLine, rectOf(20, 30, 200, 8), kLegend, 1, platform::draw::kTextLeft);
    } else if (!page.label.empty()) {
        pixelText(*dc, page.label, rectOf(6, 2, page.width() - 12, 8), kTitle, 1, platform::draw::kTextLeft);
    }
    for (const auto& child : page.children)
        if (!isPage(*child))
            decorate(*dc, *child, page, base, isPage);
    return surface;
}

} // namespace trov::skins
