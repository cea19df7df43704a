#include "platform/FileReplacement.h"

#include "support/FileTestFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

namespace fs = std::filesystem;

namespace trov::platform {
namespace {

bool replace(const std::string& path, const std::string& text) {
    FileReplacement file(path);
    return file.write(text.data(), text.size()) && file.commit();
}

TEST(FileReplacement, AFileBehindLinksIsWrittenAtTheirEndAndTheLinksStay) {
    trov::test::FileTestFolder folder;
    const std::string target = folder.write("real/view.png", "earlier");
    ::chmod(target.c_str(), 0640);
    fs::create_symlink("real/view.png", folder / "link.png");
    fs::create_symlink(folder / "link.png", folder / "chain.png");
    ASSERT_TRUE(replace(folder / "chain.png", "later"));
    EXPECT_TRUE(fs::is_symlink(folder / "chain.png"));
    EXPECT_TRUE(fs::is_symlink(folder / "link.png"));
    EXPECT_EQ(trov::test::readFile(target), "later");
    EXPECT_EQ(fs::status(target).permissions(), fs::perms(0640));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder / "real"), {}), 1) << "nothing beside it";
}

TEST(FileReplacement, AFileRootReplacesKeepsItsOwnerGroupAndMode) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root may give a file to another user";
    trov::test::FileTestFolder folder;
    const std::string path = folder.write("user.reg", "earlier");
    ASSERT_TRUE(::chown(path.c_str(), 4321, 8765) == 0 && ::chmod(path.c_str(), 0600) == 0);
    ASSERT_TRUE(replace(path, "later"));
    struct stat status {};
    ASSERT_EQ(::stat(path.c_str(), &status), 0);
    EXPECT_EQ(std::make_tuple(status.st_uid, status.st_gid, status.st_mode & 07777),
              std::make_tuple(4321u, 8765u, 0600u));
}

} // namespace
} // namespace trov::platform
