// The instrument's sample and patch browser over a temporary library of banks, patches and samples
// written by the instrument and our dictionary: its roots, the kinds of its nodes, the programs and samples
// inside documents, loading them into the instrument, tooltips, the favourite folders and the display mode.
#include "engine/zones/Resources.h"
#include "engine/zones/ZoneManager.h"
#include "framework/Dictionary.h"
#include "framework/Preferences.h"
#include "gui/Bitmap.h"
#include "instrument/editor/OstrelSampleBrowser.h"
#include "instrument/editor/OstrelSampleBrowserNode.h"
#include "instrument/editor/OstrelSampleFiles.h"
#include "instrument/editor/OstrelSampleFolders.h"
#include "platform/MenuSession.h"
#include "support/DocumentFolderTestSupport.h"
#include "support/InstrumentEditorHarness.h"
#include "support/PixelCheck.h"

#include <gtest/gtest.h>

#include <memory>

using namespace trov;
using test::node;
using Node = OstrelSampleBrowserNode;

namespace {

// The icons of the six kinds side by side, closed above and open below, each 8 x 8 of its own colour.
constexpr int kIcon = 8;
platform::draw::Pixel iconColour(int kind, int row) {
    return platform::draw::premultiply(40 * kind, row == 0 ? 60 : 200, 250 - 40 * kind, 255);
}
std::shared_ptr<platform::draw::Surface> iconSheet() {
    auto sheet = platform::draw::Surface::create(6 * kIcon, 2 * kIcon);
    for (int y = 0; y < 2 * kIcon; ++y)
        for (int x = 0; x < 6 * kIcon; ++x)
            sheet->setPixel(x, y, iconColour(x / kIcon, y / kIcon));
    return sheet;
}

class SampleBrowser : public test::InstrumentEditorHarness {
protected:
    SampleBrowser() {
        addSkin("special::background", 500, 400, 0xff101010);
        addSkinImage("BrowserIcons", *iconSheet());
        library = world.base.files / "Library";
        other = world.base.files / "Other";
        test::writeRampWav(library + "/tone.wav", 500);
        test::writeRampWav(library + "/Sub/deep.wav", 100);
        test::writeRampWav(other + "/x.wav", 100);
        world.base.files.write("Library/loop.RX2", "not a loop");
        world.base.files.write("Library/notes.txt", "text");
        world.base.machine.setString("FactoryPresetsPath", world.base.files / "Factory");
        world.base.user.setString("RecordedSamplesPath", "Takes");
        const std::unique_ptr<Preferences> favourites(
            world.base.user.createChild("Preferences/Sample Folders"));
        favourites->setString("Folder1", library);
        favourites->setString("Folder2", other);
        favourites->setString("Folder4", world.base.files / "Skipped");
        // The instrument, made with a first editor, writes the library the browser then lists.
        build(test::specification({node("Background").id("special::background")}));
        writeLibrary();
        build(test::specification({node("Background")
                                       .id("special::background")
                                       .child(node("SampleBrowser").id("browser").at(10, 10, 400, 300))}));
        open();
        tick();
    }

    OstrelSampleBrowser* browser() const { return control<OstrelSampleBrowser>("browser"); }
    OstrelSampleFolders* folders() const { return browser()->getFolders(); }
    OstrelSampleFiles* files() const { return browser()->getFiles(); }
    Node* find(const std::string& name) const { return dynamic_cast<Node*>(browser()->findNode(name)); }

    // Patches with the filter cutoffs the instrument had when it wrote them, and a bank of three programs
    // (the second without an id, an empty place) naming a sample beside it.
    void writeLibrary() {
        const float cutoffs[] = {0.125f, 0.5f, 0.875f};
        const char* names[] = {"Alpha", "Beta", "Gamma"};
        Dictionary bank;
        plugin->writeHeader(bank);
        const Dictionary::View programs = bank.addArray("programs");
        for (int i = 0; i < 3; ++i) {
            settings().setFloat("VCFCutoff", cutoffs[i], Sender::kSettings);
            Dictionary patch;
            plugin->writeProgram(patch);
            const Dictionary::View program = patch.getArray("programs")->getChild(0, "program");
            program->setString("name", names[i]);
            program->setString("id", std::string("P") + std::to_string(i));
            if (i == 0)
                patch.save(File(library + "/Soft.kpr"));
            const Dictionary::View entry = programs->addDictionary("program");
            for (int c = 0; c < program->count(""); ++c)
                if (const Dictionary::View child = program->getChild(c, "");
                    child && (i != 1 || child->getName() != "id"))
                    entry->appendChild(*child);
        }
        const Dictionary::View sample =
            bank.addDictionary("resources")->addArray("samples")->addDictionary("sample");
        sample->setString("id", "S1");
        sample->setString("filename", "Sub/deep.wav");
        bank.save(File(library + "/Bank.kmd"));
        settings().setFloat("VCFCutoff", 1.0f, Sender::kSettings);
    }

    // The middle of the node's row, in editor coordinates; the animations are let run first.
    Point rowOf(ControlFileBrowserFrame* pane, const FileBrowserNode* target) {
        tick(6);
        const Rect row = pane->getRowRect(target);
        EXPECT_FALSE(row.isEmpty()) << target->getName() << " has no row";
        return pane->getAbsoluteRect().getTopLeft() + Point(row.left + 20, (row.top + row.bottom) / 2);
    }
    void clickRow(ControlFileBrowserFrame* pane, const FileBrowserNode* target) {
        const Point p = rowOf(pane, target);
        tick(20); // never a double click of the last one
        click(p.x, p.y);
    }
    void doubleClickRow(ControlFileBrowserFrame* pane, const FileBrowserNode* target) {
        const Point p = rowOf(pane, target);
        tick(20);
        click(p.x, p.y);
        click(p.x, p.y);
    }
    // Opens the library's root and lists the bank.
    void openBank() {
        clickRow(folders(), find("Library"));
        clickRow(folders(), find("Bank.kmd"));
    }

    std::string library;
    std::string other;
};

std::vector<std::string> savedFavourites(const Preferences& user) {
    std::vector<std::string> paths;
    const std::unique_ptr<Preferences> key(user.openChild("Preferences/Sample Folders"));
    std::string path;
    for (int k = 1; key != nullptr && key->getString("Folder" + std::to_string(k), path); ++k)
        paths.push_back(path);
    return paths;
}

} // namespace

TEST_F(SampleBrowser, TheRootsAreTheFixedFactoryAndRecordingFoldersThenTheFavouritesUpToTheFirstGap) {
    const auto& roots = browser()->getRoots();
    ASSERT_EQ(roots.size(), 4u);
    EXPECT_EQ(roots[0]->getFolder().getPath(), world.base.files / "Factory");
    // A relative recordings path lies in the product's documents folder.
    EXPECT_EQ(roots[1]->getFolder().getPath(), world.base.files / "Documents/Vennikt/Corvale/Takes");
    EXPECT_EQ(roots[2]->getFolder().getPath(), library);
    EXPECT_EQ(roots[3]->getFolder().getPath(), other);
    for (std::size_t i = 0; i < roots.size(); ++i)
        EXPECT_EQ((roots[i]->getTags() & Node::kTagFixed) != 0, i < 2) << i;
    EXPECT_NE(roots[0]->getOpenState(), FileBrowserNode::kClosed) << "the first root opens";
}

TEST_F(SampleBrowser, NodesTakeTheirKindFromTheFolderTheExtensionInLowerCaseOrTheSampleReaders) {
    clickRow(folders(), find("Library"));
    const std::pair<const char*, std::int32_t> kinds[] = {{"Library", FileBrowserNode::kKindFolder},
                                                          {"Sub", FileBrowserNode::kKindFolder},
                                                          {"Bank.kmd", Node::kKindBank},
                                                          {"Soft.kpr", Node::kKindPatch},
                                                          {"tone.wav", Node::kKindSample},
                                                          {"loop.RX2", Node::kKindLoop},
                                                          {"notes.txt", Node::kKindOther}};
    for (const auto& [name, kind] : kinds) {
        ASSERT_NE(find(name), nullptr) << name;
        EXPECT_EQ(find(name)->getKind(), kind) << name;
    }
}

TEST_F(SampleBrowser, ABankListsItsProgramsByTheirPlacesAndItsSamplesAndAPatchTakesItsProgramsId) {
    openBank();
    const Node* bank = find("Bank.kmd");
    ASSERT_EQ(bank->getChildren().size(), 3u);
    const auto child = [&](std::size_t i) { return static_cast<Node*>(bank->getChildren()[i].get()); };
    EXPECT_EQ(child(0)->getName(), "Alpha");
    EXPECT_EQ(child(0)->getIndex(), 0);
    EXPECT_EQ(child(0)->getKey(), "P0");
    EXPECT_EQ(child(1)->getName(), "Gamma");
    EXPECT_EQ(child(1)->getIndex(), 2);
    EXPECT_EQ(child(1)->getKind(), Node::kKindPatch);
    EXPECT_EQ(child(2)->getName(), "deep");
    EXPECT_EQ(child(2)->getKind(), Node::kKindSample);
    EXPECT_EQ(child(2)->getId(), "S1");
    EXPECT_EQ(child(2)->getFile(), bank->getFile());

    clickRow(folders(), find("Soft.kpr"));
    EXPECT_EQ(find("Soft.kpr")->getKey(), "P0");
}

TEST_F(SampleBrowser, ADoubleClickReadsThePatchsOwnProgramOrTheProgramAtItsPlaceInTheBank) {
    clickRow(folders(), find("Library"));
    doubleClickRow(folders(), find("Soft.kpr"));
    EXPECT_FLOAT_EQ(settings().getFloat("VCFCutoff"), 0.125f);
    clickRow(folders(), find("Bank.kmd"));
    doubleClickRow(folders(), find("Gamma"));
    EXPECT_FLOAT_EQ(settings().getFloat("VCFCutoff"), 0.875f);
    doubleClickRow(folders(), find("Alpha"));
    EXPECT_FLOAT_EQ(settings().getFloat("VCFCutoff"), 0.125f);
}

TEST_F(SampleBrowser, APressOnASampleImportsItIntoTheCurrentZoneAndMarksItCurrent) {
    clickRow(folders(), find("Library"));
    clickRow(files(), find("tone.wav"));
    const ZoneManager* zones = plugin->getZoneManager(0);
    ASSERT_GT(zones->getZoneCount(), 0);
    EXPECT_EQ(world.base.resources->getSampleFile(zones->getCurrentSampleName()).getPath(),
              library + "/tone.wav");
    EXPECT_TRUE(find("tone.wav")->isHighlighted());

    // A sample inside a bank is read from the bank's own list, beside the bank.
    clickRow(folders(), find("Bank.kmd"));
    ASSERT_EQ(find("Bank.kmd")->getChildren().size(), 3u);
    const FileBrowserNode* deep = find("Bank.kmd")->getChildren()[2].get();
    clickRow(files(), deep);
    EXPECT_EQ(world.base.resources->getSampleFile(zones->getCurrentSampleName()).getPath(),
              library + "/Sub/deep.wav");
    EXPECT_TRUE(deep->isHighlighted());
    EXPECT_FALSE(find("tone.wav")->isHighlighted());
}

TEST_F(SampleBrowser, HoveringNamesAPatchInTheFolderPaneAndDescribesASampleInTheSamplePane) {
    clickRow(folders(), find("Library"));
    const Point patch = rowOf(folders(), find("Soft.kpr"));
    move(patch.x, patch.y);
    EXPECT_EQ(folders()->getTooltip(), "Patch: Soft.kpr");
    const Point sample = rowOf(files(), find("tone.wav"));
    move(sample.x, sample.y);
    // No author and no second text: two lines.
    EXPECT_EQ(files()->getTooltip(),
              "Wavesample: tone.wav\nSize: " + File(library + "/tone.wav").getSizeText());
    EXPECT_EQ(world.base.resources->findSample(OstrelSampleFiles::kPreviewId), nullptr)
        << "the preview is let go";
}

TEST_F(SampleBrowser, FavouritesRemovedOrAddedFromTheMenuAreSavedWhenTheEditorClosesAndFixedRootsNever) {
    std::vector<std::string> texts;
    responder().queueMenu([&](platform::MenuSession& menu) {
        for (const auto& entry : menu.entries())
            texts.push_back(entry.text);
        menu.dismiss();
    });
    const Point factory = rowOf(folders(), browser()->getRoots()[0].get());
    rightClick(factory.x, factory.y);
    EXPECT_EQ(texts.front(), "Add new folder...");
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "Remove folder"), 0) << "a fixed root stays";

    const std::string added = world.base.files / "Added";
    std::filesystem::create_directories(added);
    responder().queueMenuChoice({"Remove folder"});
    const Point lib = rowOf(folders(), find("Library"));
    rightClick(lib.x, lib.y);
    responder().queueMenuChoice({"Add new folder..."});
    responder().queueFolder(added);
    rightClick(lib.x, lib.y);
    ASSERT_EQ(browser()->getRoots().size(), 5u);
    editor.reset();
    EXPECT_EQ(savedFavourites(world.base.user), (std::vector<std::string>{other, added}));
}

TEST_F(SampleBrowser, ADoubleClickBesideTheRowsHidesTheBrowserAndSwitchesTheEditorDisplayOff) {
    settings().setBool("DisplayEditor", true, Sender::kSettings);
    settings().setBool("DisplayBrowser", false, Sender::kSettings);
    const Point empty = browser()->getAbsoluteRect().getBottomRight() - Point(20, 10);
    click(empty.x, empty.y);
    click(empty.x, empty.y);
    EXPECT_TRUE(settings().getBool("DisplayBrowser"));
    tick(); // the other display goes off at the editor's next tick
    EXPECT_FALSE(settings().getBool("DisplayEditor")) << "the display modes exclude each other";
    tick(20);
    click(empty.x, empty.y);
    click(empty.x, empty.y);
    EXPECT_FALSE(settings().getBool("DisplayBrowser"));
}

TEST_F(SampleBrowser, TheCurrentProgramTagsItsNodeAndItsParentsAndTheContrastFlickersTheOpacity) {
    openBank();
    settings().setString("CurrentProgram", "P2", Sender::kSettings);
    EXPECT_NE(find("Gamma")->getTags() & FileBrowserNode::kTagCurrent, 0u);
    EXPECT_NE(find("Bank.kmd")->getTags() & FileBrowserNode::kTagCurrent, 0u);
    EXPECT_NE(find("Library")->getTags() & FileBrowserNode::kTagCurrent, 0u);
    EXPECT_EQ(find("Alpha")->getTags() & FileBrowserNode::kTagCurrent, 0u);
    for (float contrast : {0.0f, 0.4f, 1.0f}) {
        settings().setFloat("LCDContrast", contrast, Sender::kSettings);
        // Within a fortieth either way, and never beyond 0..1.
        EXPECT_NEAR(browser()->getOwnTransparency(), std::clamp(contrast, 0.025f, 0.975f), 0.0251f)
            << contrast;
    }
}

TEST_F(SampleBrowser, EachRowShowsTheIconOfItsKindClosedOrOpen) {
    // The sheet is read as six columns by two rows; at full contrast the browser is all but opaque.
    browser()->getIcons()->setFrameRect(Rect(0, 0, kIcon, kIcon));
    settings().setFloat("LCDContrast", 1.0f, Sender::kSettings);
    clickRow(folders(), find("Library"));
    const auto expectIcon = [&](const FileBrowserNode* node, std::int32_t kind, int row) {
        const Point middle = rowOf(folders(), node);
        // The folder pane's icon cell is at the row's left, the text after it.
        const int x =
            (folders()->getRowRect(node) + folders()->getAbsoluteRect().getTopLeft()).left + kIcon / 2;
        const test::Rgb seen = test::rgb(snapshot()->pixel(x, middle.y));
        const test::Rgb icon = test::rgb(iconColour(kind, row));
        for (int c = 0; c < 3; ++c)
            EXPECT_LE(std::abs(seen[c] - icon[c]), 7) << node->getName() << " channel " << c;
    };
    expectIcon(find("Library"), FileBrowserNode::kKindFolder, 1);
    expectIcon(find("Sub"), FileBrowserNode::kKindFolder, 0);
    expectIcon(find("Bank.kmd"), Node::kKindBank, 0);
    expectIcon(find("Soft.kpr"), Node::kKindPatch, 0);
}
