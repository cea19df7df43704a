// The skins drawn at build time for the editor specification, read back through the resources as the
// controls read them: each in the frame layout its control expects, at the control's size.
#include "engine/zones/Resources.h"
#include "framework/Dictionary.h"
#include "gui/Bitmap.h"
#include "gui/GuiEditorServices.h"
#include "gui/controls/ControlKeyboard.h"
#include "platform/draw/FontCache.h"
#include "platform/draw/Pixel.h"
#include "platform/draw/Surface.h"
#include "support/FileTestFolder.h"
#include "support/ProgramRun.h"
#include "support/VoiceTestSupport.h"
#include "tools/make-skins/PanelSpec.h"

#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <string>

using namespace trov;

namespace {

const std::string kData = TROV_BUILD_DATA;

class Skins : public ::testing::Test {
protected:
    Skins() : spec_(skins::readPanelSpec(kData + "/controls.xml")) { installGuiEditorServices(); }

    // The skin as the resources hand it to a control; released by the fixture.
    Bitmap* skin(const std::string& name) {
        auto* bitmap = dynamic_cast<Bitmap*>(world_.resources->getBitmap(name));
        if (bitmap != nullptr)
            held_.push_back(bitmap);
        return bitmap;
    }
    ~Skins() override {
        for (Bitmap* bitmap : held_)
            world_.resources->releaseBitmap(bitmap);
    }

    std::vector<const skins::PanelNode*> nodes() const { return skins::allNodes(*spec_); }
    const skins::PanelNode* first(const std::string& type) const {
        for (const skins::PanelNode* node : nodes())
            if (node->type == type)
                return node;
        return nullptr;
    }

    test::InstrumentWorld world_{kData};
    std::unique_ptr<skins::PanelNode> spec_;
    std::vector<Bitmap*> held_;
};

Rect frameOf(const Bitmap& bitmap) {
    return bitmap.getFrameRect().atOrigin();
}

Rect sizeOf(const skins::PanelNode& node) {
    return Rect(0, 0, node.width(), node.height());
}

std::uint32_t alphaAt(const Bitmap& bitmap, int x, int y) {
    return platform::draw::alphaOf(bitmap.getHandle()->pixel(x, y));
}

TEST_F(Skins, EverySkinTheSpecificationNamesIsDescribedAndLoads) {
    int named = 0;
    for (const skins::PanelNode* node : nodes()) {
        std::vector<std::string> names(node->bitmaps);
        for (const char* key : {"handle", "up", "down", "marker", "markers", "foldericon", "alphabet"})
            names.push_back(node->text(key));
        if (const std::string background = node->text("background"); background.rfind('#', 0) != 0)
            names.push_back(background);
        if (node->type == "Background" || node->type == "Bitmap")
            names.push_back(node->id);
        for (const std::string& name : names)
            if (!name.empty()) {
                ++named;
                EXPECT_NE(skin(name), nullptr) << name << " of " << node->type;
            }
    }
    EXPECT_GT(named, 40);
    // The background's bitmap is the special id itself, as the bitmap control reads it, at the panel's size.
    const Bitmap* panel = skin("special::background");
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->getBounds(), sizeOf(*first("Background")));
}

// The layouts the controls read: a knob's filmstrip, a value button's off/over/on/blink sheet (two frames
// for the drag button), a choice button's up and down before one frame per entry, an enumeration button's
// frame per entry, a menu field's plain and marked frames, a fill slider's and a level bar's empty and full
// frames, an LED meter's lit and unlit LEDs.
TEST_F(Skins, EachControlFindsItsSkinInTheFramesItReads) {
    const auto entries = skins::readEnumerations(kData + "/settings.xml");
    int checked = 0;
    for (const skins::PanelNode* node : nodes()) {
        const std::string handle = node->text("handle");
        const std::string& type = node->type;
        const Bitmap* bitmap = skin(!handle.empty() ? handle : node->text("background"));
        if (bitmap == nullptr || type == "Container")
            continue;
        SCOPED_TRACE(type + " " + node->parameter + " " + node->label);
        ++checked;
        const bool enumerated = entries.count(node->parameter) != 0;
        const int choices = enumerated ? static_cast<int>(entries.at(node->parameter).size()) : 0;
        if (type == "Knob") {
            EXPECT_GE(bitmap->getFrameCount(), 32);
            EXPECT_EQ(frameOf(*bitmap), sizeOf(*node));
        } else if (type == "ButtonChoice") {
            EXPECT_EQ(bitmap->getFrameCount(), choices + 2);
            EXPECT_EQ(frameOf(*bitmap), sizeOf(*node));
        } else if (type == "Button" && enumerated) {
            EXPECT_EQ(bitmap->getBounds().getHeight() / bitmap->getFrameRect().getHeight(), choices);
            EXPECT_EQ(bitmap->getColumns(), 1);
        } else if (type == "SampleDrag") {
            EXPECT_EQ(bitmap->getFrameCount(), 2);
            EXPECT_EQ(frameOf(*bitmap), sizeOf(*node));
        } else if (type == "Button" || type == "LayerButton" || type == "CorvaleRecordButton" ||
                   type == "CorvaleSampleButton" || type == "CorvaleSliceButton") {
            EXPECT_EQ(bitmap->getFrameCount(), 4);
            EXPECT_EQ(frameOf(*bitmap), sizeOf(*node));
        } else if (type == "PopupMenu" || type == "Slider" || type == "VUMeter") {
            EXPECT_EQ(bitmap->getFrameCount(), 2);
            EXPECT_EQ(frameOf(*bitmap), sizeOf(*node));
        } else if (type == "VUMeterLED") {
            ASSERT_EQ(bitmap->getColumns(), 1);
            EXPECT_EQ(bitmap->getFrameCount() % 2, 0);
            EXPECT_EQ(bitmap->getFrameRect().getWidth(), node->width());
            EXPECT_EQ(bitmap->getFrameCount() / 2 * bitmap->getFrameRect().getHeight(), node->height());
        } else {
            ADD_FAILURE() << "no layout known for " << type;
        }
    }
    EXPECT_GT(checked, 40);
}

// The lamp's "down" image is blended by the LFO, so it carries its own alpha; the zone band is drawn at
// half opacity, the sample markers over the waveform; the browser's icons are six kinds by two states.
TEST_F(Skins, TheInstrumentsOwnControlsFindTheirSheets) {
    const skins::PanelNode* led = first("LFOLED");
    const Bitmap* lamp = skin(led->text("down"));
    ASSERT_NE(lamp, nullptr);
    EXPECT_TRUE(lamp->getUseAlpha());
    EXPECT_EQ(lamp->getBounds(), sizeOf(*led));
    EXPECT_EQ(alphaAt(*lamp, 0, 0), 0u);
    EXPECT_GT(alphaAt(*lamp, led->width() / 2, led->height() / 2), 200u);

    const skins::PanelNode* zones = first("ZoneKeyboard");
    const Bitmap* marker = skin(zones->text("marker"));
    ASSERT_NE(marker, nullptr);
    EXPECT_EQ(marker->getFrameCount(), 4);
    EXPECT_TRUE(marker->getUseAlpha());
    // The middle is taken from the columns under the band, so it spans the keyboard and repeats.
    EXPECT_GE(marker->getFrameRect().getWidth(), zones->width());
    for (int frame = 0; frame < 4; ++frame)
        for (int y = 0; y < marker->getFrameRect().getHeight(); ++y) {
            const int row = marker->getFrame(frame).top + y;
            for (int x = 6; x < marker->getFrameRect().getWidth() - 6; ++x)
                ASSERT_EQ(marker->getHandle()->pixel(x, row), marker->getHandle()->pixel(6, row)) << x;
        }

    const skins::PanelNode* editor = first("SampleEditor");
    const Bitmap* markers = skin(editor->text("markers"));
    ASSERT_NE(markers, nullptr);
    EXPECT_EQ(markers->getColumns(), 2);
    EXPECT_EQ(markers->getRows(), 1);
    EXPECT_EQ(markers->getFrameRect().getHeight(), editor->height());

    const Bitmap* icons = skin(first("SampleBrowser")->text("foldericon"));
    ASSERT_NE(icons, nullptr);
    EXPECT_EQ(icons->getColumns(), 6);
    EXPECT_EQ(icons->getRows(), 2);
    EXPECT_NE(skin("BrowserIcons"), nullptr);
}

// Each key's frame is the size of the key as the keyboard lays it out, and what a white key's shape
// leaves open above lies under its black neighbours.
TEST_F(Skins, KeySheetsHoldEveryKeyAtItsLaidOutSize) {
    const skins::PanelNode* node = first("Keyboard");
    ControlKeyboard keyboard(nullptr, Rect());
    Dictionary spec;
    spec.setInteger("width", node->width());
    spec.setInteger("height", node->height());
    spec.setInteger("lokey", node->integers.at("lokey"));
    spec.setInteger("hikey", node->integers.at("hikey"));
    keyboard.fromDictionary(spec);
    ASSERT_EQ(node->bitmaps.size(), 12u);
    for (int key = keyboard.getLowKey(); key <= keyboard.getHighKey(); ++key) {
        const Bitmap* sheet = skin(node->bitmaps[static_cast<std::size_t>(key % 12)]);
        ASSERT_NE(sheet, nullptr);
        const Rect r = keyboard.getKeyRect(key);
        SCOPED_TRACE(key);
        EXPECT_EQ(frameOf(*sheet), r.atOrigin());
        EXPECT_EQ(sheet->getRows(), 4);
        const bool black = r.getHeight() < node->height();
        EXPECT_EQ(sheet->getColumns(), black ? 1 : 8);
        if (black)
            continue;
        static constexpr int kShape[12] = {0, 0, 1, 0, 2, 3, 0, 4, 0, 5, 0, 6};
        const int shape = key % 12 == 0 && key == keyboard.getHighKey() ? 7 : kShape[key % 12];
        for (int y = 0; y < r.getHeight(); ++y)
            for (int x = 0; x < r.getWidth(); ++x) {
                if (alphaAt(*sheet, shape * r.getWidth() + x, y) != 0)
                    continue;
                const Point p(r.left + x, y);
                const bool covered =
                    keyboard.getKeyRect(key - 1).contains(p) || keyboard.getKeyRect(key + 1).contains(p);
                ASSERT_TRUE(covered) << "open at " << x << "," << y;
            }
    }
}

// Cell i of a glyph sheet holds the pixel font's capital of alphabet character i, whole and unscaled
// apart from the font's own factor; the alphabet is the codes 0x20 to 0x60 with small letters.
TEST_F(Skins, GlyphSheetsHoldThePixelFontsCapitalsInTheirAlphabetsOrder) {
    std::string alphabet;
    for (int c = 0x20; c <= 0x60; ++c)
        alphabet += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    for (const std::string name : {"LCDFont", "LCDFontSmall"}) {
        const Bitmap* sheet = skin(name);
        ASSERT_NE(sheet, nullptr);
        EXPECT_EQ(sheet->getAlphabet(), alphabet);
        EXPECT_TRUE(sheet->getUseAlpha());
        ASSERT_EQ(sheet->getFrameCount(), static_cast<int>(alphabet.size()));
        const int height = sheet->getFrameRect().getHeight();
        const auto font = platform::draw::makePixelFont(height);
        for (std::size_t i = 0; i < alphabet.size(); ++i) {
            const auto& glyph = font->glyph(static_cast<unsigned char>(std::toupper(alphabet[i])));
            const auto glyphInk = [&glyph](int gx, int gy) {
                return glyph.coverage[static_cast<std::size_t>(gy) * static_cast<std::size_t>(glyph.width) +
                                      static_cast<std::size_t>(gx)] != 0;
            };
            const Rect cell = sheet->getFrame(static_cast<int>(i));
            // The glyph's ink from its first inked pixel, row by row, against the cell's.
            int ink = 0;
            Point origin(-1, -1);
            for (int y = 0; y < cell.getHeight() && origin.x < 0; ++y)
                for (int x = 0; x < cell.getWidth() && origin.x < 0; ++x)
                    if (alphaAt(*sheet, cell.left + x, y) != 0)
                        origin = Point(x, y);
            for (int gy = 0; gy < glyph.height; ++gy)
                for (int gx = 0; gx < glyph.width; ++gx)
                    ink += glyphInk(gx, gy) ? 1 : 0;
            int sheetInk = 0;
            for (int y = 0; y < cell.getHeight(); ++y)
                for (int x = 0; x < cell.getWidth(); ++x)
                    sheetInk += alphaAt(*sheet, cell.left + x, y) != 0;
            ASSERT_EQ(sheetInk, ink) << "'" << alphabet[i] << "' of " << name;
            if (ink == 0)
                continue;
            // The first inked pixel of the glyph, in glyph coordinates, fixes where the rest must lie.
            Point first(-1, -1);
            for (int gy = 0; gy < glyph.height && first.x < 0; ++gy)
                for (int gx = 0; gx < glyph.width && first.x < 0; ++gx)
                    if (glyphInk(gx, gy))
                        first = Point(gx, gy);
            for (int gy = 0; gy < glyph.height; ++gy)
                for (int gx = 0; gx < glyph.width; ++gx) {
                    const bool inked = glyphInk(gx, gy);
                    const int x = origin.x + gx - first.x;
                    const int y = origin.y + gy - first.y;
                    EXPECT_EQ(alphaAt(*sheet, cell.left + x, y) != 0, inked)
                        << "'" << alphabet[i] << "' at " << gx << "," << gy;
                }
        }
    }
}

class SkinGenerator : public ::testing::Test {
protected:
    std::string run(const std::string& controls, const std::string& out) {
        const corvale::test::ChildResult result = corvale::test::runChild(
            {TROV_MAKE_SKINS, "--controls", controls, "--settings", kData + "/settings.xml", "--out", out,
             "--description", out + "/bitmaps.xml"},
            {}, folder_.path());
        return result.status == 0 ? "ok" : "failed";
    }
    test::FileTestFolder folder_;
};

TEST_F(SkinGenerator, DrawsTheSameBytesEveryTime) {
    ASSERT_EQ(run(kData + "/controls.xml", folder_ / "a"), "ok");
    // Each argument reaches the tool whole, whatever it holds.
    const std::string b = folder_ / "b, with 'space' é";
    ASSERT_EQ(run(kData + "/controls.xml", b), "ok");
    const std::string description = test::readFile(folder_ / "a/bitmaps.xml");
    EXPECT_EQ(description, test::readFile(b + "/bitmaps.xml"));
    for (const char* file : {"special--background.png", "knob.png", "lcdfont.png", "keywhite.png"}) {
        EXPECT_FALSE(test::readFile(folder_ / (std::string("a/") + file)).empty()) << file;
        EXPECT_EQ(test::readFile(folder_ / (std::string("a/") + file)), test::readFile(b + "/" + file))
            << file;
    }
}

// A skin it has no art for, or one named for two different looks, stops the build.
TEST_F(SkinGenerator, RefusesASkinItCannotDrawTheWayItsControlsReadIt) {
    const auto write = [&](const std::string& name, const std::string& controls) {
        std::ofstream(folder_ / name)
            << "<?xml version=\"1.0\"?><dict><array name=\"controls\">" << controls << "</array></dict>";
        return folder_ / name;
    };
    const std::string knob =
        "<dict><string name=\"class\" value=\"Knob\"/><integer name=\"width\" value=\"30\"/>"
        "<integer name=\"height\" value=\"30\"/><string name=\"handle\" value=\"Dial\"/></dict>";
    EXPECT_EQ(run(write("knob.xml", knob), folder_ / "knob"), "ok");
    EXPECT_EQ(run(write("twice.xml", knob + "<dict><string name=\"class\" value=\"Slider\"/>"
                                            "<string name=\"type\" value=\"fill\"/>"
                                            "<string name=\"handle\" value=\"Dial\"/></dict>"),
                  folder_ / "twice"),
              "failed");
    EXPECT_EQ(run(write("unknown.xml", "<dict><string name=\"class\" value=\"Bitmap\"/>"
                                       "<string name=\"id\" value=\"Painting\"/></dict>"),
                  folder_ / "unknown"),
              "failed");
}

} // namespace
