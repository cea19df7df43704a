// Draws the editor's skins at build time: every bitmap the editor specification names, as placeholder art
// in the frame layout of the control that names it, sized from that control; the pages drawn from the
// specification itself (the front panel and the containers' plates, with section frames and legends);
// and the display's glyph sheets rendered from the built-in pixel font with their alphabets. Writes the
// images into the images folder and the resource description's "bitmaps" dictionary beside them.
//
//   make-skins --controls controls.xml --settings settings.xml --out IMAGES --description FILE
#include "tools/make-skins/ControlArt.h"
#include "tools/make-skins/GlyphSheet.h"
#include "tools/make-skins/KeyGeometry.h"
#include "tools/make-skins/PanelArt.h"
#include "tools/make-skins/PanelSpec.h"
#include "tools/make-skins/SkinSet.h"

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace trov::skins;

// Keys whose text names a skin bitmap ("background" only when it is not a colour).
const char* const kSkinKeys[] = {"handle",   "up",      "down",      "on",      "off",
                                 "over",     "blink",   "marker",    "markers", "foldericon",
                                 "alphabet", "overlay", "background"};
const std::set<std::string> kValueButtons = {
    "Button",    "LayerButton", "CorvaleRecordButton", "CorvaleSampleButton", "CorvaleSliceButton",
    "SampleDrag"};

constexpr int kKnobFrames = 64;
constexpr int kLedHeight = 6;
constexpr int kBandHeight = 10;
constexpr int kMarkerWidth = 6;
constexpr int kIconCell = 10;

// One place a skin is named: the control and the key naming it (for a keyboard, "bitmaps" with the
// entry's index).
struct Use {
    const PanelNode* node = nullptr;
    std::string key;
    int index = 0;
};

// Layouts: frames stacked down the image, or side by side across it; with per-pixel alpha or opaque.
SkinLayout down(int frames, bool alpha = false) {
    SkinLayout layout;
    layout.frames = frames;
    layout.useAlpha = alpha;
    return layout;
}

SkinLayout across(int frames, bool alpha = false) {
    SkinLayout layout = down(frames, alpha);
    layout.horizontal = true;
    return layout;
}

// Rows of states down the image, kinds or shapes across it, with alpha.
SkinLayout grid(int rows, int columns) {
    SkinLayout layout = down(rows, true);
    layout.crossFrames = columns;
    return layout;
}

// A glyph sheet: one frame per character across, with alpha and its alphabet.
SkinLayout glyphs(const std::string& alphabet) {
    SkinLayout layout = across(static_cast<int>(alphabet.size()), true);
    layout.alphabet = alphabet;
    return layout;
}

bool isColour(const std::string& text) {
    return !text.empty() && text[0] == '#';
}

bool isPage(const PanelNode& node) {
    if (node.type == "Background")
        return true;
    const std::string background = node.text("background");
    return node.type == "Container" && !background.empty() && !isColour(background);
}

// Every skin name with the places that name it, in the order first named.
std::vector<std::pair<std::string, std::vector<Use>>> collectUses(const PanelNode& root) {
    std::vector<std::pair<std::string, std::vector<Use>>> out;
    const auto add = [&](const std::string& name, const Use& use) {
        if (name.empty())
            return;
        for (auto& [known, uses] : out)
            if (known == name) {
                uses.push_back(use);
                return;
            }
        out.push_back({name, {use}});
    };
    for (const PanelNode* node : allNodes(root)) {
        if (node->type == "Background" || node->type == "Bitmap")
            add(node->id, {node, "id", 0});
        for (const char* key : kSkinKeys) {
            const std::string text = node->text(key);
            if (!(std::string(key) == "background" && isColour(text)))
                add(text, {node, key, 0});
        }
        for (std::size_t i = 0; i < node->bitmaps.size(); ++i)
            add(node->bitmaps[i], {node, "bitmaps", static_cast<int>(i)});
    }
    return out;
}

std::string upper(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

class Generator {
public:
    Generator(const std::string& controls, const std::string& settings, const std::string& images)
        : root_(readPanelSpec(controls)), enums_(readEnumerations(settings)), skins_(images) {}

    void run() {
        for (const auto& [name, uses] : collectUses(*root_)) {
            // Every control naming one skin must ask for the same art.
            const std::string kind = kindOf(uses.front());
            for (const Use& use : uses)
                if (kindOf(use) != kind)
                    throw std::runtime_error("skin " + name + " is named as " + kind + " and as " +
                                             kindOf(use));
            make(name, uses.front());
        }
    }

    std::string description() const { return skins_.description(); }

private:
    static std::string size(const PanelNode& node) {
        return std::to_string(node.width()) + "x" + std::to_string(node.height());
    }

    // The art a use asks for, with what decides its size.
    std::string kindOf(const Use& use) const {
        const PanelNode& node = *use.node;
        if (use.key == "alphabet")
            return "glyphs of height " + std::to_string(node.height());
        if (use.key == "foldericon")
            return "browser icons";
        if (use.key == "bitmaps")
            return "keys of " + node.id + size(node) + (isBlackKey(use.index) ? " black" : " white");
        // One key-cap skin serves as both up and down look.
        const std::string key = use.key == "down" ? std::string("up") : use.key;
        return artOf(node) + "." + key + " " + size(node);
    }

    // Controls drawn from the same art: the value buttons share theirs (the record button's lamp is red).
    std::string artOf(const PanelNode& node) const {
        if (node.type == "Button" && enums_.count(node.parameter) != 0)
            return "enumeration button";
        if (node.type == "CorvaleRecordButton")
            return "record button";
        if (kValueButtons.count(node.type) != 0 && node.type != "SampleDrag")
            return "value button";
        return node.type;
    }

    const std::vector<EnumEntry>& entriesOf(const PanelNode& node) const {
        const auto it = enums_.find(node.parameter);
        if (it == enums_.end() || it->second.empty())
            throw std::runtime_error(node.type + " on " + node.parameter + " needs an enumeration");
        return it->second;
    }

    std::vector<std::string> entryNames(const PanelNode& node) const {
        std::vector<std::string> names;
        for (const EnumEntry& entry : entriesOf(node))
            names.push_back(upper(entry.display));
        return names;
    }

    void add(const std::string& name, const std::shared_ptr<Surface>& image, const SkinLayout& layout) {
        std::string file;
        for (char c : name)
            file +=
                std::isalnum(static_cast<unsigned char>(c)) != 0 ? static_cast<char>(std::tolower(c)) : '-';
        skins_.add(name, file + ".png", *image, layout);
    }

    void make(const std::string& name, const Use& use) {
        const PanelNode& node = *use.node;
        const int w = node.width();
        const int h = node.height();
        const std::string& type = node.type;
        if (isPage(node) && (use.key == "id" || use.key == "background"))
            add(name, drawPage(node, isPage), down(0));
        else if (type == "Bitmap" && name == "Screw")
            add(name, screw(w), down(0, true));
        else if (use.key == "alphabet")
            add(name, glyphSheet(displayAlphabet(), std::max(1, h / kGlyphCellHeight), colours::kDisplayText),
                glyphs(displayAlphabet()));
        else if (use.key == "foldericon")
            add(name, browserIcons(kIconCell), grid(2, 6));
        else if (use.key == "bitmaps")
            makeKeys(name, use);
        else if (type == "Knob" && use.key == "handle")
            add(name, knobStrip(w, kKnobFrames), down(kKnobFrames, true));
        else if (type == "ButtonChoice" && use.key == "handle")
            add(name, choiceButton(w, h, entryNames(node)),
                down(static_cast<int>(entriesOf(node).size()) + 2, true));
        else if (type == "Button" && use.key == "handle" && enums_.count(node.parameter) != 0)
            add(name, enumButton(w, h, entryNames(node)), down(static_cast<int>(entriesOf(node).size())));
        else if (type == "SampleDrag" && use.key == "handle")
            add(name, lampButton(w, h, colours::kWhite, 2), down(2));
        else if (kValueButtons.count(type) != 0 && use.key == "handle")
            add(name, lampButton(w, h, type == "CorvaleRecordButton" ? colours::kRed : colours::kAmber, 4),
                down(4));
        else if (type == "Button" && (use.key == "up" || use.key == "down"))
            add(name, keyButton(w, h), down(2));
        else if (type == "PopupMenu" && use.key == "background")
            add(name, menuField(w, h), down(2));
        else if (type == "Slider" && use.key == "handle" && node.text("type") == "fill")
            add(name, fillSlider(w, h), across(2));
        else if (type == "VUMeter" && use.key == "handle")
            add(name, meterBar(w, h), across(2));
        else if (type == "VUMeterLED" && use.key == "handle")
            add(name, ledMeter(w, kLedHeight, h / kLedHeight), down(2 * (h / kLedHeight)));
        else if (type == "LFOLED" && use.key == "down")
            add(name, lampGlow(w), down(0, true));
        else if (type == "ZoneKeyboard" && use.key == "marker")
            add(name, zoneMarker(w, kBandHeight), down(4, true));
        else if (type == "SampleEditor" && use.key == "markers")
            add(name, sampleMarkers(kMarkerWidth, h), across(2, true));
        else
            throw std::runtime_error("no art for skin " + name + " (" + kindOf(use) + ")");
    }

    // A keyboard names one bitmap per pitch class: the white keys share a sheet of eight shapes by four
    // states, the black keys one of four states.
    void makeKeys(const std::string& name, const Use& use) {
        const PanelNode& node = *use.node;
        if (node.bitmaps.size() != 12)
            throw std::runtime_error("a keyboard names one key bitmap per pitch class");
        const auto low = node.integers.find("lokey");
        const auto high = node.integers.find("hikey");
        if (low == node.integers.end() || high == node.integers.end())
            throw std::runtime_error("a keyboard with key sheets gives its key range");
        const KeyGeometry keys = keyGeometry(node.width(), node.height(), low->second, high->second);
        if (isBlackKey(use.index))
            add(name, blackKeys(keys.blackWidth, keys.blackHeight), down(4, true));
        else
            add(name, whiteKeys(keys.whiteWidth, keys.whiteHeight, keys.blackHeight, keys.notches),
                grid(4, 8));
    }

    std::unique_ptr<PanelNode> root_;
    std::map<std::string, std::vector<EnumEntry>> enums_;
    SkinSet skins_;
};

} // namespace

int main(int argc, char** argv) {
    std::map<std::string, std::string> options;
    for (int i = 1; i + 1 < argc; i += 2)
        options[argv[i]] = argv[i + 1];
    for (const char* required : {"--controls", "--settings", "--out", "--description"})
        if (options[required].empty()) {
            std::fprintf(stderr, "usage: make-skins --controls FILE --settings FILE --out FOLDER "
                                 "--description FILE\n");
            return 2;
        }
    try {
        std::filesystem::create_directories(options["--out"]);
        Generator generator(options["--controls"], options["--settings"], options["--out"]);
        generator.run();
        std::ofstream out(options["--description"], std::ios::trunc);
        out << generator.description();
        if (!out)
            throw std::runtime_error("cannot write " + options["--description"]);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "make-skins: %s\n", error.what());
        return 1;
    }
    return 0;
}
