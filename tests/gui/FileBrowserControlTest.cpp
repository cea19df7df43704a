// The file browser over a real temporary tree (banks and patches written by the dictionary, samples by the
// WAV writer, hidden entries, a folder that cannot be read, a symbolic link back up, a link to itself, a
// deep chain and a chain of links whose path outgrows the system's limit): listing one level per opening,
// rows and their animation, highlights and Shift, the title's tag, panes side by side, folder icons,
// refreshing a folder from another thread, the contrast's flicker and drops.
#include "engine/samples/SampleWav.h"
#include "engine/zones/ZoneManager.h"
#include "framework/Dictionary.h"
#include "gui/Canvas.h"
#include "gui/controls/ControlFileBrowser.h"
#include "platform/draw/Pixel.h"
#include "platform/draw/Surface.h"

#include "support/EditorHarness.h"
#include "support/PixelChecks.h"
#include "support/SampleTestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

using namespace trov;
using test::node;
using test::specification;

namespace {

using test::expectNearRgb;
using test::rgbOf;

namespace fs = std::filesystem;

std::set<std::string> namesOf(const FileBrowserNode& node) {
    std::set<std::string> names;
    for (const auto& child : node.getChildren())
        names.insert(child->getName());
    return names;
}

class FileBrowser : public test::EditorHarness {
protected:
    static constexpr int kX = 10;
    static constexpr int kY = 10;
    // The harness product's font: a line height of 14 is the row height.
    static constexpr int kRow = 14;

    void SetUp() override {
        const fs::path top = fs::path(world().files.path()) / "library";
        library = top.string();
        fs::create_directories(top / "Banks");
        fs::create_directories(top / "Samples");
        fs::create_directories(top / ".hidden");
        fs::create_directories(top / "gone");
        Dictionary bank;
        bank.setString("file-format", "0.7.0");
        File bankFile((top / "Banks" / "factory.bank").string());
        ASSERT_TRUE(bank.save(bankFile));
        File patchFile((top / "Banks" / "lead.patch").string());
        ASSERT_TRUE(bank.save(patchFile));
        for (const char* name : {"kick.wav", "snare.wav", ".secret.wav"}) {
            SampleWav wav(*test::makeSample(std::vector<float>(500, 0.25f)));
            File file((top / (std::string(name) == ".secret.wav" ? "" : "Samples") / name).string());
            ASSERT_FALSE(wav.save(file).failed());
        }
        fs::create_directory_symlink(top, top / "Samples" / "up");
        fs::create_symlink(top / "self", top / "self");
        fs::path deep = top / "deep";
        for (int i = 1; i <= 30; ++i)
            deep /= "d" + std::to_string(i);
        fs::create_directories(deep);

        auto icon = platform::draw::Surface::create(8, 16);
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 8; ++x)
                icon->setPixel(x, y,
                               y < 8 ? platform::draw::makePixel(0, 200, 0, 255)
                                     : platform::draw::makePixel(200, 0, 200, 255));
        addSkinImage("folder", *icon, 2);
        build(specification({node("Panel")
                                 .id("special::background")
                                 .at(0, 0, 300, 300)
                                 .string("background", "#000000")
                                 .child(node("FileBrowser")
                                            .id("browser")
                                            .at(kX, kY, 200, 280)
                                            .string("foldericon", "folder"))}));
        open();
        tick();
    }

    ControlFileBrowser* browser() const { return control<ControlFileBrowser>("browser"); }
    ControlFileBrowserFrame* pane() const { return browser()->getFrames().front(); }
    FileBrowserNode* find(const std::string& name) const { return browser()->findNode(name); }
    FileBrowserNode* addRoot(const std::string& path, std::uint32_t tags = 0) {
        std::unique_ptr<FileBrowserNode> root = browser()->createNode();
        root->setFolder(Folder(path));
        return browser()->addRoot(std::move(root), tags);
    }
    void clickRow(const FileBrowserNode* node) {
        const Rect r = pane()->getRowRect(node);
        ASSERT_FALSE(r.isEmpty()) << node->getName();
        click(kX + r.left + 20, kY + r.top + kRow / 2);
    }
    // The animation run to its end.
    void settle() { tick(8); }
    // The rows as the pane lays them out: each node in drawing order.
    int shownRows(const FileBrowserNode& parent) const {
        int shown = 0;
        for (const auto& child : parent.getChildren())
            shown += pane()->getRowRect(child.get()).isEmpty() ? 0 : 1;
        return shown;
    }
    void animateTo(float value) {
        browser()->receive(TimerMessage(nullptr, Code::kTimerTick, ControlFileBrowser::kAnimationTimerId,
                                        floatToWord(value)));
    }

    std::string library;
};

} // namespace

TEST_F(FileBrowser, AFolderListsSubfoldersThenFilesOneLevelAndLeavesHiddenEntriesOut) {
    FileBrowserNode* root = addRoot(library, ControlFileBrowser::kTagOpen);
    EXPECT_EQ(root->getKind(), FileBrowserNode::kKindFolder);
    EXPECT_TRUE(root->isListed());
    EXPECT_EQ(namesOf(*root), (std::set<std::string>{"Banks", "Samples", "gone", "deep", "self"}));
    // Folders first; "self" (a link to itself) is no folder.
    const auto& children = root->getChildren();
    for (std::size_t i = 0; i + 1 < children.size(); ++i) {
        if (children[i]->getKind() != FileBrowserNode::kKindFolder) {
            EXPECT_NE(children[i + 1]->getKind(), FileBrowserNode::kKindFolder) << children[i + 1]->getName();
        }
    }
    EXPECT_NE(find("self")->getKind(), FileBrowserNode::kKindFolder);
    // Nothing below the first level is read until it opens, painting included.
    editor->invalidateAll();
    tick();
    for (const char* name : {"Banks", "Samples", "deep"}) {
        EXPECT_FALSE(find(name)->isListed()) << name;
        EXPECT_TRUE(find(name)->getChildren().empty()) << name;
    }
    find("Banks")->setOpen(true);
    EXPECT_EQ(namesOf(*find("Banks")), (std::set<std::string>{"factory.bank", "lead.patch"}));
    EXPECT_EQ(find("lead.patch")->getKind(), FileBrowserNode::kKindUnknown);
    EXPECT_EQ(find("lead.patch")->getFile().getPath(), library + "/Banks/lead.patch");
}

TEST_F(FileBrowser, UnreadableLoopingAndOverlongFoldersListNothingAndTheBrowserStaysUsable) {
    FileBrowserNode* root = addRoot(library, ControlFileBrowser::kTagOpen);
    settle();
    fs::remove(fs::path(library) / "gone"); // listed, then gone before it is read
    clickRow(find("gone"));
    EXPECT_TRUE(find("gone")->getChildren().empty());
    // A link back to the library lists nothing, so no walk can go round for ever.
    find("Samples")->setOpen(true);
    FileBrowserNode* up = find("up");
    ASSERT_NE(up, nullptr);
    EXPECT_EQ(up->getKind(), FileBrowserNode::kKindFolder);
    up->setOpen(true);
    EXPECT_TRUE(up->isListed());
    EXPECT_TRUE(up->getChildren().empty());
    // A deep chain opens one level at a time.
    FileBrowserNode* level = find("deep");
    for (int i = 1; i <= 30; ++i) {
        level->setOpen(true);
        ASSERT_EQ(level->getChildren().size(), 1u) << i;
        level = level->getChildren().front().get();
        EXPECT_FALSE(level->isListed());
    }
    level->setOpen(true);
    EXPECT_EQ(level->getName(), "d30");
    EXPECT_TRUE(level->getChildren().empty());
    // A chain of links with long names outgrows the longest path the system takes.
    const fs::path chain = fs::path(world().files.path()) / "chain";
    const std::string longName(250, 'L');
    for (int i = 0; i <= 20; ++i)
        fs::create_directories(chain / ("r" + std::to_string(i)));
    for (int i = 1; i <= 20; ++i)
        fs::create_directory_symlink(chain / ("r" + std::to_string(i)),
                                     chain / ("r" + std::to_string(i - 1)) / (longName + std::to_string(i)));
    FileBrowserNode* link = addRoot((chain / "r0").string(), ControlFileBrowser::kTagOpen);
    int opened = 0;
    while (!link->getChildren().empty() && opened < 25) {
        link = link->getChildren().front().get();
        link->setOpen(true);
        ++opened;
    }
    // The last one listed is too long to look at: it shows as an entry that cannot be opened.
    const std::string last =
        link->getFolder().isEmpty() ? link->getFile().getPath() : link->getFolder().getPath();
    EXPECT_GT(last.size(), 4096u);
    EXPECT_LT(opened, 20);
    editor->invalidateAll();
    tick();
    // Still usable: a plain folder opens with a click.
    clickRow(find("Banks"));
    settle();
    EXPECT_EQ(find("Banks")->getOpenState(), FileBrowserNode::kOpen);
    EXPECT_EQ(shownRows(*find("Banks")), 2);
    EXPECT_EQ(root->getOpenState(), FileBrowserNode::kOpen);
}

TEST_F(FileBrowser, RowsStackByTheFontsLineHeightAndChildrenOfFoldersAreIndented) {
    FileBrowserNode* root = addRoot(library, ControlFileBrowser::kTagOpen);
    settle();
    EXPECT_EQ(pane()->getRowRect(root), Rect(Point(0, 0), Point(201, kRow)));
    const auto& children = root->getChildren();
    for (std::size_t i = 0; i < children.size(); ++i)
        EXPECT_EQ(pane()->getRowRect(children[i].get()),
                  Rect(Point(FileBrowserNode::kFolderIndent, kRow * static_cast<int>(i + 1)),
                       Point(201, kRow * static_cast<int>(i + 2))))
            << children[i]->getName();
    EXPECT_EQ(pane()->getContentBounds().bottom, kRow * static_cast<int>(children.size() + 1));
    EXPECT_EQ(pane()->nodeAt(Point(50, kRow + 3)), children[0].get());
    EXPECT_EQ(pane()->nodeAt(Point(50, 270)), nullptr);
}

TEST_F(FileBrowser, OpeningAndClosingShowChildrenAsTheAnimationRunsAsIfThereWereAtLeastFive) {
    addRoot(library, ControlFileBrowser::kTagOpen);
    settle();
    FileBrowserNode* banks = find("Banks"); // two children
    banks->setOpen(true);
    struct Step {
        float at;
        int shown;
        int state;
    };
    // Opening: nearest of 5 x a (halves to even), open once that reaches the children.
    for (const Step s : {Step{0.0f, 0, FileBrowserNode::kOpening}, Step{0.2f, 1, FileBrowserNode::kOpening},
                         Step{0.3f, 2, FileBrowserNode::kOpen}}) {
        animateTo(s.at);
        EXPECT_EQ(shownRows(*banks), s.shown) << s.at;
        EXPECT_EQ(banks->getOpenState(), s.state) << s.at;
    }
    banks->setOpen(false);
    // Closing: 5 - nearest of 5 x a - 1, closed once that is below one.
    for (const Step s : {Step{0.0f, 2, FileBrowserNode::kClosing}, Step{0.5f, 2, FileBrowserNode::kClosing},
                         Step{0.6f, 1, FileBrowserNode::kClosing}, Step{0.8f, 0, FileBrowserNode::kClosed}}) {
        animateTo(s.at);
        EXPECT_EQ(shownRows(*banks), s.shown) << s.at;
        EXPECT_EQ(banks->getOpenState(), s.state) << s.at;
    }
    // Clicked, a folder starts its animation from nothing and is open at its end, 250 ms on.
    clickRow(banks);
    EXPECT_EQ(banks->getOpenState(), FileBrowserNode::kOpening);
    EXPECT_EQ(browser()->getAnimationValue(), 0.0f);
    EXPECT_TRUE(banks->isHighlighted());
    settle();
    EXPECT_EQ(browser()->getAnimationValue(), 1.0f);
    EXPECT_EQ(banks->getOpenState(), FileBrowserNode::kOpen);
}

TEST_F(FileBrowser, AClickClosesOtherFoldersAndClearsOtherHighlightsWhileShiftKeepsThem) {
    FileBrowserNode* root = addRoot(library, ControlFileBrowser::kTagOpen);
    settle();
    clickRow(find("Banks"));
    settle();
    clickRow(find("Samples"));
    settle();
    EXPECT_EQ(find("Banks")->getOpenState(), FileBrowserNode::kClosed); // closed by the animation's end
    EXPECT_FALSE(find("Banks")->isHighlighted());
    EXPECT_TRUE(find("Samples")->isHighlighted());
    EXPECT_EQ(root->getOpenState(), FileBrowserNode::kOpen); // on the way to the clicked folder
    driver.key(platform::VirtualKey::kShift, true);
    flush();
    clickRow(find("deep"));
    settle();
    driver.key(platform::VirtualKey::kShift, false);
    flush();
    EXPECT_EQ(find("Samples")->getOpenState(), FileBrowserNode::kOpen);
    EXPECT_TRUE(find("Samples")->isHighlighted());
    EXPECT_TRUE(find("deep")->isHighlighted());
    // A click on an open folder closes it without highlighting anything else.
    clickRow(find("deep"));
    EXPECT_EQ(find("deep")->getOpenState(), FileBrowserNode::kClosing);
}

TEST_F(FileBrowser, TheTitleTagsTheFirstNodeOfItsKeyAndItsParentsAndAnEmptyOneReadsNoProgram) {
    FileBrowserNode* root = addRoot(library, ControlFileBrowser::kTagOpen);
    find("Banks")->setOpen(true);
    find("lead.patch")->setKey("Lead");
    find("Samples")->setOpen(true);
    find("kick.wav")->setKey("Lead");
    browser()->setTitle("Lead");
    for (FileBrowserNode* tagged : {find("lead.patch"), find("Banks"), root})
        EXPECT_NE(tagged->getTags() & FileBrowserNode::kTagCurrent, 0u) << tagged->getName();
    for (FileBrowserNode* untagged : {find("kick.wav"), find("Samples"), find("factory.bank")})
        EXPECT_EQ(untagged->getTags() & FileBrowserNode::kTagCurrent, 0u) << untagged->getName();
    browser()->setTitle("");
    EXPECT_EQ(browser()->getTitle(), "(no program loaded)");
    EXPECT_EQ(root->getTags() & FileBrowserNode::kTagCurrent, 0u);
}

TEST_F(FileBrowser, ANodeWhoseFolderIsMissingKeepsAnUnknownKindAndIsNeverListed) {
    FileBrowserNode* missing = addRoot(library + "/nowhere", ControlFileBrowser::kTagOpen);
    EXPECT_EQ(missing->getKind(), FileBrowserNode::kKindUnknown);
    EXPECT_FALSE(missing->isListed());
    missing->populate();
    EXPECT_FALSE(missing->isListed());
    EXPECT_TRUE(missing->getChildren().empty());
}

TEST_F(FileBrowser, PanesStandSideBySideAndFolderIconsShowTheirOpenState) {
    browser()->addFrame(new ControlFileBrowserFrame(editor.get(), browser()));
    browser()->layout();
    // Two panes over 200 pixels: (200 - 2) / 2 + 2 = 101 apart.
    EXPECT_EQ(browser()->getFrames()[0]->getBounds(), Rect(Point(0, 0), Point(100, 280)));
    EXPECT_EQ(browser()->getFrames()[1]->getBounds(), Rect(Point(101, 0), Point(201, 280)));
    FileBrowserNode* root = addRoot(library, ControlFileBrowser::kTagOpen);
    EXPECT_EQ(browser()->getFrames()[1]->getRoots(), std::vector<FileBrowserNode*>{root});

    pane()->setIcons(true, false);
    browser()->getFrames()[1]->setIcons(true, false);
    settle();
    editor->invalidateAll();
    tick();
    // The icon cell lies 9 pixels left of the text, which starts at the row's indent.
    const auto iconOf = [&](const FileBrowserNode* node) {
        const Rect r = pane()->getRowRect(node);
        return rgbOf(snapshot()->pixel(kX + r.left - ControlFileBrowserFrame::kIconGap + 2, kY + r.top + 2));
    };
    // Over black at the browser's opacity, which the contrast's default sets.
    const auto scaled = [&](int r, int g, int b) {
        const float t = browser()->getOwnTransparency();
        const auto of = [t](int c) { return static_cast<int>(std::lround(static_cast<float>(c) * t)); };
        return std::array<int, 3>{of(r), of(g), of(b)};
    };
    expectNearRgb(iconOf(find("Banks")), scaled(0, 200, 0), "a closed folder's icon");
    EXPECT_EQ(browser()->getFrames()[1]->getRowRect(find("Banks")),
              Rect(Point(FileBrowserNode::kFolderIndent, kRow), Point(100, 2 * kRow)));
    find("Banks")->setOpen(true);
    settle();
    editor->invalidateAll();
    tick();
    expectNearRgb(iconOf(find("Banks")), scaled(200, 0, 200), "an open folder's icon");
    expectNearRgb(rgbOf(snapshot()->pixel(kX + 50, kY + 270)), {0, 0, 0}, "below the rows");
}

TEST_F(FileBrowser, ARefreshFromAnotherThreadListsTheFolderAgainAtTheNextPaintKeepingOpenSubfolders) {
    auto* service = dynamic_cast<FileBrowserInterface*>(editor->findControl("browser", 0));
    ASSERT_NE(service, nullptr);
    addRoot(library, ControlFileBrowser::kTagOpen);
    find("Samples")->setOpen(true);
    find("Banks")->setOpen(true);
    settle();
    FileBrowserNode* banks = find("Banks");
    SampleWav wav(*test::makeSample(std::vector<float>(500, 0.25f)));
    File take(library + "/Recording 1.wav");
    ASSERT_FALSE(wav.save(take).failed());
    std::thread worker([&] { service->refreshPath(File(library)); });
    worker.join();
    EXPECT_EQ(find("Recording 1.wav"), nullptr);
    tick();
    ASSERT_NE(find("Recording 1.wav"), nullptr);
    EXPECT_EQ(find("Banks"), banks);
    EXPECT_EQ(banks->getOpenState(), FileBrowserNode::kOpen);
    fs::remove(take.getPath());
    browser()->refreshPath(Folder(library));
    EXPECT_EQ(find("Recording 1.wav"), nullptr);
}

TEST_F(FileBrowser, TheContrastSetsTheOpacityWithinAFlickerOfTwoAndAHalfPercent) {
    for (const float contrast : {0.5f, 0.8f, 1.0f}) {
        parameter("LCDContrast")->setNormalized(contrast, Sender::kEditor);
        tick();
        EXPECT_NEAR(browser()->getOwnTransparency(), std::min(contrast, 1.0f), contrast * 0.025f + 1e-6f)
            << contrast;
    }
}

TEST_F(FileBrowser, FilesDroppedOnAPaneGoToTheZoneManager) {
    const std::string path = library + "/Samples/kick.wav";
    ZoneManager* zones = plugin->getModule(0)->getZoneManager();
    const int before = zones->getZoneCount();
    EXPECT_TRUE(pane()->receive(WindowMessage(nullptr, 3021, 0, Point(5, 5), pointerToWord(path.c_str()))));
    EXPECT_EQ(zones->getZoneCount(), before + 1);
}

TEST_F(FileBrowser, TheWheelScrollsAPaneWithAScrollbarOverItsRowsAndNeverPastTheirEnds) {
    const fs::path many = fs::path(library) / "many";
    fs::create_directories(many);
    for (int i = 0; i < 40; ++i)
        std::ofstream(many / ("file " + std::to_string(i) + ".wav")) << "x";
    FileBrowserNode* root = addRoot(many.string(), ControlFileBrowser::kTagOpen);
    pane()->addScrollbar(1);
    settle();
    tick();
    // A root and its 40 files are taller than the pane's 280 pixels: the pane grows to hold them.
    constexpr int kContent = 41 * kRow;
    EXPECT_EQ(pane()->getRect().getHeight(), kContent);
    const FileBrowserNode* fifth = root->getChildren()[4].get();
    const Rect row = pane()->getRowRect(fifth);
    move(kX + 50, kY + 100);
    wheel(kX + 50, kY + 100, -120); // one notch down: 20 pixels
    EXPECT_EQ(pane()->getRect().top, -20);
    // The row now shows 20 pixels higher, and a click there takes it.
    click(kX + 30, kY + row.top - 20 + kRow / 2);
    EXPECT_TRUE(fifth->isHighlighted());
    wheel(kX + 50, kY + 100, -120 * 100);
    EXPECT_EQ(pane()->getRect().top, 280 - kContent);
    wheel(kX + 50, kY + 100, 120 * 100);
    EXPECT_EQ(pane()->getRect().top, 0);
}

TEST_F(FileBrowser, ABrowserWithoutPanesStillListsRefreshesTitlesLaysOutAndPaints) {
    ControlFileBrowser bare(editor.get(), Rect(0, 0, 100, 100));
    std::unique_ptr<FileBrowserNode> made = bare.createNode();
    made->setFolder(Folder(library));
    FileBrowserNode* root = bare.addRoot(std::move(made), ControlFileBrowser::kTagOpen);
    EXPECT_TRUE(root->isListed());
    EXPECT_EQ(namesOf(*root), (std::set<std::string>{"Banks", "Samples", "gone", "deep", "self"}));
    bare.layout();
    bare.setTitle("");
    EXPECT_EQ(bare.getTitle(), ControlFileBrowser::kNoTitle);
    fs::remove(fs::path(library) / "gone");
    bare.refreshPath(Folder(library));
    EXPECT_EQ(namesOf(*root), (std::set<std::string>{"Banks", "Samples", "deep", "self"}));
    bare.receive(
        TimerMessage(nullptr, Code::kTimerTick, ControlFileBrowser::kAnimationTimerId, floatToWord(0.5f)));
    Canvas canvas(100, 100);
    bare.draw(canvas, bare.getLocalRect());
    EXPECT_TRUE(bare.getFrames().empty());
}
