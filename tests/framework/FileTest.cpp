#include "framework/File.h"

#include "support/FileTestFolder.h"
#include "support/ScopedProduct.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace trov;

namespace {

using Components = std::vector<std::string>;

TEST(FileNames, PathSplitsAtTheLastSeparatorOfEitherKind) {
    const File file("a/b\\c.wav");
    EXPECT_EQ(file.getFolder().getComponents(), (Components{"a", "b"}));
    EXPECT_EQ(file.getName(), "c.wav");
    EXPECT_EQ(file.getPath(), "a/b/c.wav");
    EXPECT_TRUE(File("c.wav").getFolder().isEmpty());
    EXPECT_EQ(File("c.wav").getPath(), "c.wav");
    EXPECT_EQ(File("/root.txt").getPath(), "/root.txt");
    EXPECT_EQ(File("D:\\x.wav").getPath(), "D:/x.wav");
}

TEST(FileNames, ExtensionIsAfterTheLastDotAndSettingOnePartKeepsTheOther) {
    const File archive("archive.tar.gz");
    EXPECT_EQ(archive.getExtension(), "gz");
    EXPECT_EQ(archive.getBaseName(), "archive.tar");
    File file("/x/README");
    EXPECT_EQ(file.getExtension(), "");
    EXPECT_EQ(file.getBaseName(), "README");
    file.setExtension("wav");
    EXPECT_EQ(file.getName(), "README.wav");
    file.setBaseName("Kick");
    EXPECT_EQ(file.getPath(), "/x/Kick.wav");
    file.setExtension("");
    file.setBaseName("Snare");
    EXPECT_EQ(file.getName(), "Snare");
}

TEST(FileNames, EqualityAndFolderPrefixCompareComponents) {
    EXPECT_EQ(File("/a/b/c.wav"), File("a\\b/c.wav"));
    EXPECT_NE(File("/a/b/c.wav"), File("/a/c.wav"));
    const File file("/samples/kit/kick.wav");
    EXPECT_TRUE(file.folderIsPrefixOf(Folder("/samples/kit")));
    EXPECT_TRUE(file.folderIsPrefixOf(Folder("/samples/kit/more")));
    EXPECT_FALSE(file.folderIsPrefixOf(Folder("/samples")));
    EXPECT_FALSE(file.folderIsPrefixOf(Folder("/samples/other")));
    EXPECT_EQ(file.nameOnly().getPath(), "kick.wav");
    EXPECT_EQ(File(Folder("/base"), File("sub/x.wav")).getPath(), "/base/sub/x.wav");
}

class FileDisk : public testing::Test {
protected:
    test::FileTestFolder temp_;
};

TEST_F(FileDisk, CopiesTakeTheNameButNeverTheOpenStream) {
    File source(temp_.write("data.bin", "abcd"));
    ASSERT_TRUE(source.openRead());
    File copy(source);
    EXPECT_EQ(copy.getPath(), source.getPath());
    EXPECT_FALSE(copy.isOpen());
    File assigned;
    assigned = source;
    EXPECT_FALSE(assigned.isOpen());
    EXPECT_TRUE(source.isOpen());
}

TEST_F(FileDisk, UniqueNamesCountUpFromOne) {
    temp_.write("Sample 1.wav", "");
    temp_.write("Sample 2.wav", "");
    File file(temp_ / "whatever.wav");
    file.makeUnique("Sample #");
    EXPECT_EQ(file.getName(), "Sample 3.wav");
    File other(temp_ / "take.aif");
    other.makeUnique("Take #b");
    EXPECT_EQ(other.getName(), "Take 1b.aif");
}

TEST_F(FileDisk, SizeTextUsesTheLargestUnitBelow1024) {
    const std::pair<std::size_t, const char*> cases[] = {
        {0, "0.0 bytes"}, {1024, "1024.0 bytes"}, {1025, "1.0 kB"}, {1536, "1.5 kB"}, {3 << 20, "3.0 MB"}};
    for (const auto& [size, text] : cases) {
        File file(temp_.write("sized", std::string(size, 'x')));
        EXPECT_EQ(file.getSize(), static_cast<std::int64_t>(size));
        EXPECT_EQ(file.getSizeText(), text);
    }
    EXPECT_EQ(File(temp_ / "missing").getSize(), 0);
    EXPECT_EQ(File(temp_ / "missing").getModificationTime(), 0);
    EXPECT_GT(File(temp_.write("dated", "")).getModificationTime(), 0);
}

TEST_F(FileDisk, OnlyCreatingOrOpeningForWritingMakesAFile) {
    const File file(temp_ / "new.txt");
    EXPECT_FALSE(file.exists());
    EXPECT_TRUE(file.create());
    EXPECT_TRUE(file.exists());
    EXPECT_FALSE(file.create());
    EXPECT_FALSE(File(temp_ / "no/such/folder.txt").create());

    File missing(temp_ / "missing.bin");
    EXPECT_FALSE(missing.openRead());
    EXPECT_FALSE(missing.isOpen());
    EXPECT_NE(missing.getStream(), nullptr);
    EXPECT_FALSE(missing.exists());
    EXPECT_TRUE(missing.open(false));
    *missing.getStream() << "written";
    missing.close();
    EXPECT_EQ(missing.getSize(), 7);
}

// Opening a pipe for reading (or writing) waits for the other end, which never comes here: the refusal
// must come before any open.
TEST_F(FileDisk, PipesFoldersAndDevicesAreRefusedWithoutBeingOpened) {
    const std::string pipe = temp_ / "pipe.wav";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    // Both ends held here, so that an open that should not happen returns instead of waiting.
    const int ends = ::open(pipe.c_str(), O_RDWR | O_NONBLOCK);
    ASSERT_GE(ends, 0);
    const std::string regular = temp_.write("plain.txt", "text");
    EXPECT_TRUE(File(regular).isRegularFile());
    for (const std::string& path : {pipe, temp_.path(), std::string("/dev/null")}) {
        File file(path);
        EXPECT_TRUE(file.exists()) << path;
        EXPECT_FALSE(file.isRegularFile()) << path;
        EXPECT_FALSE(file.openRead()) << path;
        EXPECT_FALSE(file.isOpen()) << path;
        EXPECT_FALSE(file.open(false)) << path;
    }
    EXPECT_FALSE(File(temp_ / "missing.txt").isRegularFile());
    ::close(ends);
}

TEST_F(FileDisk, ReadingStopsShortAtTheEndAndReportsIt) {
    File file(temp_.write("short.bin", "abc"));
    ASSERT_TRUE(file.open(true));
    char buffer[8] = {};
    EXPECT_FALSE(file.read(buffer, 4, true));
    EXPECT_TRUE(file.seek(1));
    EXPECT_EQ(file.tell(), 1);
    EXPECT_TRUE(file.read(buffer, 2, true));
    EXPECT_EQ(std::string(buffer, 2), "bc");
    EXPECT_FALSE(file.read(buffer, 1, true));
    EXPECT_EQ(file.tell(), 3);
    EXPECT_TRUE(file.close());
    EXPECT_FALSE(file.isOpen());
    EXPECT_EQ(file.tell(), -1);
    EXPECT_FALSE(file.read(buffer, 1, true));
}

TEST_F(FileDisk, TemporaryFilesAreCreatedUnderTheirFinalNames) {
    test::ScopedProduct product;
    const File first = makeTemporaryFile("wav");
    const File second = makeTemporaryFile("wav");
    EXPECT_TRUE(first.exists());
    EXPECT_NE(first, second);
    EXPECT_EQ(first.getFolder(), Folder(temp_.path()));
    EXPECT_EQ(first.getExtension(), "wav");
    EXPECT_EQ(first.getName().rfind("Sampler ", 0), 0u);
    EXPECT_EQ(first.getSize(), 0);
}

} // namespace
