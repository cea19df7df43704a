#include "framework/Folder.h"

#include "framework/File.h"
#include "platform/Responder.h"
#include "support/FileTestFolder.h"
#include "support/ScopedProduct.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

using namespace trov;

namespace {

using Components = std::vector<std::string>;

TEST(FolderPath, SplitsAtEitherSeparatorDropsEmptyPiecesAndWritesBackWithSlashes) {
    const struct {
        const char* text;
        Components components;
        bool relative;
        const char* path;
    } cases[] = {
        {"D:\\Samples\\Drums", {"D:", "Samples", "Drums"}, false, "D:/Samples/Drums"},
        {"\\Samples", {"Samples"}, false, "/Samples"},
        {"./a//b/", {".", "a", "b"}, true, "./a/b"},
        {"//server/share", {"server", "share"}, false, "/server/share"},
    };
    for (const auto& c : cases) {
        const Folder folder(c.text);
        EXPECT_EQ(folder.getComponents(), c.components) << c.text;
        EXPECT_EQ(folder.isRelative(), c.relative) << c.text;
        EXPECT_EQ(folder.getPath(), c.path);
    }
    EXPECT_EQ(Folder("/").getPath(), "/");
    EXPECT_EQ(Folder("").getPath(), "");
    EXPECT_TRUE(isRelativePath("ab:c"));
    EXPECT_FALSE(isRelativePath("c:"));
}

TEST(FolderPath, TailParentAndNameTakeComponentsFromTheEnd) {
    const Folder folder("/a/b/c");
    const Folder tail = folder.getTail(2);
    EXPECT_EQ(tail.getComponents(), (Components{"b", "c"}));
    EXPECT_TRUE(tail.isRelative());
    EXPECT_TRUE(folder.getTail(4).isEmpty());
    EXPECT_EQ(folder.getTail(3).getPath(), "a/b/c");
    EXPECT_EQ(folder.getParent().getPath(), "/a/b");
    EXPECT_EQ(folder.getName(), "c");
    EXPECT_EQ(Folder().getName(), "");
}

TEST(FolderPath, AppendingARelativeFolderExtendsAndAnAbsoluteOneReplaces) {
    Folder base("/samples");
    EXPECT_EQ((base + Folder("kit/snare")).getPath(), "/samples/kit/snare");
    EXPECT_EQ((base + Folder("/other")).getPath(), "/other");
    EXPECT_EQ((Folder("rel") + Folder("D:\\x")).getPath(), "D:/x");
    EXPECT_EQ(base.append(Folder("x")).getPath(), "/samples/x");
    EXPECT_EQ(base.getPath(), "/samples/x");
    EXPECT_EQ((Folder("/samples") + File("kit\\kick.wav")).getPath(), "/samples/kit/kick.wav");
}

TEST(FolderPath, EqualityComparesComponentsNotTheRelativeFlag) {
    EXPECT_EQ(Folder("/a/b"), Folder("a\\b"));
    EXPECT_NE(Folder("/a/b"), Folder("/a/B"));
    EXPECT_EQ(Folder(""), Folder("/"));
}

class FolderDisk : public testing::Test {
protected:
    test::FileTestFolder temp_;
};

TEST_F(FolderDisk, CreateMakesEveryMissingLevel) {
    const Folder deep(temp_ / "x/y/z");
    EXPECT_FALSE(deep.exists());
    EXPECT_TRUE(deep.create());
    EXPECT_TRUE(deep.exists());
    EXPECT_TRUE(deep.create());
    EXPECT_FALSE(Folder(temp_.write("file", "x")).exists());
    EXPECT_FALSE(Folder(temp_ / "file/below").create());
}

TEST_F(FolderDisk, ListingSeparatesFilesAndFoldersAndNeverGivesDotEntries) {
    temp_.write("one.wav", "1");
    temp_.write("two", "2");
    temp_.write("sub/inner.wav", "3");
    std::filesystem::create_directory(temp_ / "empty");
    const Folder folder(temp_.path());

    std::vector<Folder> folders;
    EXPECT_EQ(folder.listFolders(folders), 2);
    Components names;
    for (const Folder& f : folders) {
        names.push_back(f.getName());
        EXPECT_EQ(f.getParent(), folder);
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (Components{"empty", "sub"}));

    std::vector<File> files(1); // listFiles appends and reports the vector's size
    EXPECT_EQ(folder.listFiles(files), 3);
    Components fileNames{files[1].getName(), files[2].getName()};
    std::sort(fileNames.begin(), fileNames.end());
    EXPECT_EQ(fileNames, (Components{"one.wav", "two"}));
    EXPECT_TRUE(files[1].exists());

    std::vector<File> none;
    EXPECT_EQ(Folder(temp_ / "missing").listFiles(none), 0);
    EXPECT_EQ(Folder(temp_ / "missing").listFolders(folders), 0);
}

TEST_F(FolderDisk, CurrentFolderCanBeReadAndSet) {
    const Folder before = Folder::getCurrent();
    EXPECT_TRUE(Folder(temp_.path()).setCurrent());
    EXPECT_EQ(Folder::getCurrent(), Folder(std::filesystem::canonical(temp_.path()).string()));
    EXPECT_TRUE(before.setCurrent());
}

TEST(FolderBrowse, TakesTheChosenFolderOrKeepsItsOwnWhenCancelled) {
    platform::ScriptedResponder scripted;
    platform::ScopedResponder scope(scripted);
    scripted.queueFolder("/chosen/place");
    Folder folder("/start");
    EXPECT_TRUE(folder.browse("Pick a folder"));
    EXPECT_EQ(folder.getPath(), "/chosen/place");
    EXPECT_FALSE(folder.browse("Pick again"));
    EXPECT_EQ(folder.getPath(), "/chosen/place");
    ASSERT_EQ(scripted.questions().size(), 2u);
    EXPECT_EQ(scripted.questions()[0].caption, "Pick a folder");
}

TEST(StandardFolder, FollowsTheUserFoldersWithMakerAndProduct) {
    test::ScopedProduct product;
    ::setenv("XDG_STATE_HOME", "/state", 1);
    ::setenv("XDG_DOCUMENTS_DIR", "/docs", 1);
    EXPECT_EQ(getStandardFolder(1).getPath(), "/state/Maker/Sampler");
    EXPECT_EQ(getStandardFolder(2).getPath(), "/docs/Maker/Sampler");
    EXPECT_EQ(getStandardFolder(7).getPath(), "/tmp");
    ::unsetenv("XDG_STATE_HOME");
    ::unsetenv("XDG_DATA_HOME");
    ::unsetenv("XDG_DOCUMENTS_DIR");
    const char* home = std::getenv("HOME");
    const std::string savedHome = home != nullptr ? home : "";
    ::unsetenv("HOME");
    EXPECT_TRUE(getStandardFolder(1).isEmpty());
    if (home != nullptr)
        ::setenv("HOME", savedHome.c_str(), 1);
}

} // namespace
