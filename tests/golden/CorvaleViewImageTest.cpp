// The host program shows the installed module's editor: over an installation that names an editor
// specification and its skins, the render's --view writes what the view paints as a PNG file, and the
// check opens, idles, clicks and closes the view; without one the render says why it wrote no picture.
#include "CorvaleScratch.h"
#include "hostapp/RegistryFile.h"
#include "platform/draw/ImageFiles.h"
#include "support/FileTestFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

namespace corvale::golden {
namespace {

constexpr int kWidth = 240;
constexpr int kHeight = 120;
// The background's colour, and the keyboard's place on it.
constexpr std::uint32_t kBackground = 0x204060;
constexpr int kKeysLeft = 10;
constexpr int kKeysTop = 40;

// A small editor: a background holding a zone keyboard over two octaves and a sample editor.
const char* const kControls =
    "<?xml version=\"1.0\"?><dict><array name=\"controls\"><dict><string name=\"class\" value=\"Container\"/>"
    "<string name=\"id\" value=\"special::background\"/><integer name=\"x\" value=\"0\"/><integer name=\"y\" "
    "value=\"0\"/><integer name=\"width\" value=\"240\"/><integer name=\"height\" value=\"120\"/><string "
    "name=\"background\" value=\"#204060\"/><array name=\"controls\">"
    "<dict><string name=\"class\" value=\"SampleEditor\"/><integer name=\"x\" value=\"10\"/><integer "
    "name=\"y\" "
    "value=\"5\"/><integer name=\"width\" value=\"220\"/><integer name=\"height\" value=\"30\"/></dict>"
    "<dict><string name=\"class\" value=\"ZoneKeyboard\"/><integer name=\"x\" value=\"10\"/><integer "
    "name=\"y\" value=\"40\"/><integer name=\"width\" value=\"140\"/><integer name=\"height\" value=\"60\"/>"
    "<array name=\"controls\"><dict><string name=\"class\" value=\"Keyboard\"/><integer name=\"x\" "
    "value=\"0\"/>"
    "<integer name=\"y\" value=\"0\"/><integer name=\"width\" value=\"140\"/><integer name=\"height\" "
    "value=\"60\"/><integer name=\"lokey\" value=\"48\"/><integer name=\"hikey\" "
    "value=\"71\"/></dict></array>"
    "</dict></array></dict></array></dict>";

class CorvaleView : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(scratch_.error(), "");
        song_ = scratch_.write(
            "note.mid",
            test::MidiFileBuilder()
                .header(0, 1, 480)
                .track(test::TrackBytes().event(0, {0x90, 60, 100}).event(240, {0x80, 60, 0}).end())
                .bytes());
    }

    // An installation of the data folder's files and the editor specification, named in the machine store;
    // without skins, its images folder is left out.
    void installEditor(const std::string& controls = kControls, bool withSkins = true) {
        const std::string install = scratch_ / "install";
        std::filesystem::create_directories(install);
        // Linked but the editor's specification, which is written here (never through a link into the data
        // folder).
        for (const auto& entry : std::filesystem::directory_iterator(CORVALE_DATA_DIR))
            if (entry.path().filename() != "controls.xml" &&
                (withSkins || entry.path().filename() != "images"))
                std::filesystem::create_symlink(entry.path(),
                                                install + "/" + entry.path().filename().string());
        std::ofstream(install + "/controls.xml") << controls;
        std::string error;
        ASSERT_TRUE(hostapp::writeRegistryStore(scratch_ / "machine.reg", "Software/Vennikt/Corvale",
                                                {{"InstallPath", install},
                                                 {"ResourcesXmlFile", "resources.xml"},
                                                 {"SettingsXmlFile", "settings.xml"},
                                                 {"ControlsXmlFile", "controls.xml"},
                                                 {"ImagesDir", "images"}},
                                                error))
            << error;
    }
    test::ChildResult renderWithView(const std::string& png) {
        return scratch_.run({"render", "--quiet", "--seed", "1", "--tail", "0.1", "--load",
                             std::string(CORVALE_DATA_DIR) + "/demo/demo.kmd", "--view", png, CORVALE_MODULE,
                             song_, scratch_ / "out.wav"});
    }

    CorvaleScratch scratch_;
    std::string song_;
};

TEST_F(CorvaleView, TheRendersViewOptionWritesTheEditorAsTheModulePaintsIt) {
    installEditor();
    const std::string png = scratch_ / "view.png";
    const test::ChildResult result = renderWithView(png);
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    const std::string bytes = trov::test::readFile(png);
    const trov::platform::draw::PngImage image =
        trov::platform::draw::decodePng(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    ASSERT_EQ(image.status, trov::platform::draw::PngStatus::Decoded);
    EXPECT_EQ(image.width, kWidth);
    EXPECT_EQ(image.height, kHeight);
    EXPECT_EQ(image.surface->pixel(kWidth - 3, kHeight - 3) & 0xFFFFFF, kBackground);
    // The keys are drawn over the background: the lower part of the first white key is not its colour.
    EXPECT_NE(image.surface->pixel(kKeysLeft + 5, kKeysTop + 55) & 0xFFFFFF, kBackground);
}

TEST_F(CorvaleView, WithoutAnEditorSpecificationTheViewOptionFailsOnOneLineSayingWhy) {
    // The data folder, named without its editor's specification.
    std::string error;
    ASSERT_TRUE(hostapp::writeRegistryStore(scratch_ / "machine.reg", "Software/Vennikt/Corvale",
                                            {{"InstallPath", CORVALE_DATA_DIR},
                                             {"ResourcesXmlFile", "resources.xml"},
                                             {"SettingsXmlFile", "settings.xml"}},
                                            error))
        << error;
    const std::string png = scratch_ / "view.png";
    const test::ChildResult result = renderWithView(png);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    EXPECT_NE(result.err.find("cannot write the view to " + png + ": the module shows no view"),
              std::string::npos)
        << result.err;
    EXPECT_FALSE(std::filesystem::exists(png));
}

TEST_F(CorvaleView, WithoutItsSkinsTheViewOptionFailsNamingThemAndPaintsNoBarePanel) {
    installEditor(trov::test::readFile(std::string(CORVALE_DATA_DIR) + "/controls.xml"), false);
    const std::string png = scratch_ / "view.png";
    const test::ChildResult result = renderWithView(png);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    EXPECT_TRUE(std::regex_search(result.err, std::regex("^corvale-host: cannot write the view to " + png +
                                                         ": Corvale: The editor's picture was not written: "
                                                         "[0-9]+ of its skins did not load from " +
                                                         (scratch_ / "install/images") + ": [^ ]+\\.png")))
        << result.err;
    EXPECT_FALSE(std::filesystem::exists(png));
}

TEST_F(CorvaleView, WithoutItsSkinsTheHostProgramsViewCheckFailsNamingThem) {
    installEditor(trov::test::readFile(std::string(CORVALE_DATA_DIR) + "/controls.xml"), false);
    const test::ChildResult result = scratch_.run(
        {"check", "--seed", "5", "--load", std::string(CORVALE_DATA_DIR) + "/demo/demo.kmd", CORVALE_MODULE});
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(
        std::regex_search(result.out, std::regex("\nFAIL the view opens[^:]*: Corvale: The editor is shown "
                                                 "without its skins: [0-9]+ of its skins did not load from " +
                                                 (scratch_ / "install/images") + ": [^ ]+\\.png")))
        << result.out;
}

TEST_F(CorvaleView, TheRunsCheckPassesThePaintedFrontPanelButNotABarePanelOfItsSize) {
    installEditor(trov::test::readFile(std::string(CORVALE_DATA_DIR) + "/controls.xml"));
    const std::string png = scratch_ / "view.png";
    ASSERT_EQ(renderWithView(png).status, 0);
    const std::string skin = std::string(CORVALE_DATA_DIR) + "/images/special--background.png";
    const test::ChildResult shown = scratch_.runProgram({CORVALE_CHECK_RENDER, "--view", png, skin});
    EXPECT_EQ(shown.status, 0) << shown.err;
    // What the view painted without its skins showed: a white panel of the skin's size.
    const std::string bytes = trov::test::readFile(skin);
    const trov::platform::draw::PngImage panel =
        trov::platform::draw::decodePng(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    ASSERT_EQ(panel.status, trov::platform::draw::PngStatus::Decoded);
    const auto bare = trov::platform::draw::Surface::create(panel.width, panel.height);
    bare->fill(0xFFFFFFFF);
    ASSERT_TRUE(trov::platform::draw::writePng(*bare, scratch_ / "bare.png"));
    const test::ChildResult refused =
        scratch_.runProgram({CORVALE_CHECK_RENDER, "--view", scratch_ / "bare.png", skin});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("bare.png does not show the front panel"), std::string::npos) << refused.err;
}

TEST_F(CorvaleView, TheViewOptionPaintsOverItsOwnPictureButNeverOverAnotherPngImage) {
    installEditor();
    const std::string png = scratch_ / "view.png";
    ASSERT_EQ(renderWithView(png).status, 0);
    const test::ChildResult again = renderWithView(png);
    EXPECT_EQ(again.status, 0) << again.err;
    // A picture another program wrote.
    const std::string photo = scratch_ / "photo.png";
    ASSERT_TRUE(trov::platform::draw::writePng(*trov::platform::draw::Surface::create(4, 4), photo));
    const std::string before = trov::test::readFile(photo);
    const test::ChildResult refused = renderWithView(photo);
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err, "corvale-host: will not write over " + photo +
                               ": it is a PNG image that corvale-host did not paint (name another picture "
                               "with --view, or remove it)\n");
    EXPECT_EQ(trov::test::readFile(photo), before);
}

TEST_F(CorvaleView, TheHostProgramsCheckOpensClicksAndClosesTheInstrumentsEditor) {
    installEditor();
    const test::ChildResult result = scratch_.run(
        {"check", "--seed", "5", "--load", std::string(CORVALE_DATA_DIR) + "/demo/demo.kmd", CORVALE_MODULE});
    EXPECT_EQ(result.status, 0) << result.out << result.err;
    EXPECT_TRUE(std::regex_search(result.out, std::regex("\n[1-9][0-9]* passed, 0 failed\n$"))) << result.out;
    EXPECT_NE(result.out.find("ok   the view opens"), std::string::npos) << result.out;
}

} // namespace
} // namespace corvale::golden
