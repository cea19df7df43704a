#include "framework/File.h"

#include "framework/Preferences.h"
#include "platform/Responder.h"
#include "support/FileTestFolder.h"

#include <gtest/gtest.h>

#include <memory>

using namespace trov;
using platform::FileDialogAnswer;

namespace {

const FileFilterList kFilters = {{"Banks", {"kmd"}}, {"Sounds", {"wav", "aif"}}};

class FileDialogTest : public testing::Test {
protected:
    FileDialogTest() : user_(platform::RegistryRoot::User, "Software\\Maker\\Product"), scope_(scripted_) {
        setProcessPreferences(nullptr, &user_);
    }
    ~FileDialogTest() override { setProcessPreferences(nullptr, nullptr); }

    std::int32_t storedImportIndex() {
        std::unique_ptr<Preferences> prefs(user_.openChild("Preferences"));
        std::int32_t index = -99;
        if (prefs)
            prefs->getLong("ImportFilterIndex", index);
        return index;
    }

    test::FileTestFolder temp_;
    Preferences user_;
    platform::ScriptedResponder scripted_;
    platform::ScopedResponder scope_;
};

TEST_F(FileDialogTest, OpenDialogOffersTheFiltersAndRemembersTheChosenOne) {
    scripted_.queueFile({true, "/samples/kick.wav", 1});
    File file;
    EXPECT_EQ(file.openDialog("Load", kFilters, File("/samples/start.wav")), 1);
    EXPECT_EQ(file.getPath(), "/samples/kick.wav");
    EXPECT_EQ(storedImportIndex(), 1);

    const auto request = scripted_.questions().at(0).file;
    EXPECT_FALSE(request.save);
    EXPECT_EQ(request.title, "Load");
    EXPECT_EQ(request.filterIndex, 0);
    EXPECT_EQ(request.initialPath, "/samples/start.wav");
    ASSERT_EQ(request.filters.size(), 2u);
    EXPECT_EQ(request.filters[0], std::make_pair(std::string("Banks (*.kmd)"), std::string("*.kmd")));
    EXPECT_EQ(request.filters[1],
              std::make_pair(std::string("Sounds (*.wav;*.aif)"), std::string("*.wav;*.aif")));

    EXPECT_EQ(file.openDialog("Load again", kFilters, file), -1);
    EXPECT_EQ(scripted_.questions().at(1).file.filterIndex, 1);
    EXPECT_EQ(file.getPath(), "/samples/kick.wav");
    EXPECT_EQ(storedImportIndex(), 1);
}

TEST_F(FileDialogTest, OpenDialogWorksWithoutUserPreferences) {
    setProcessPreferences(nullptr, nullptr);
    scripted_.queueFile({true, "/x/y.kmd", 0});
    File file;
    EXPECT_EQ(file.openDialog("Load", kFilters, File()), 0);
    EXPECT_EQ(file.getPath(), "/x/y.kmd");
    EXPECT_EQ(storedImportIndex(), -99);
}

TEST_F(FileDialogTest, SaveDialogAppendsTheChosenFiltersFirstExtension) {
    scripted_.queueFile({true, temp_ / "bank", 1});
    File file("/initial/name.kmd");
    EXPECT_EQ(file.saveDialog("Save", kFilters, file, kAskBeforeOverwrite), 1);
    EXPECT_EQ(file.getPath(), temp_ / "bank.wav");
    EXPECT_TRUE(scripted_.questions().at(0).file.save);

    scripted_.queueFile({true, temp_ / "other.aif", 0});
    EXPECT_EQ(file.saveDialog("Save", kFilters, file, 0), 0);
    EXPECT_EQ(file.getPath(), temp_ / "other.aif");
    EXPECT_EQ(scripted_.questions().at(1).file.filterIndex, 1);
    EXPECT_EQ(file.saveDialog("Save", kFilters, file, 0), -1);
}

TEST_F(FileDialogTest, DecliningToOverwriteGivesTheEntryCountAndKeepsTheFileAndOnlyTheFlagAsks) {
    const std::string existing = temp_.write("taken.kmd", "old");
    scripted_.queueFile({true, existing, 0});
    scripted_.queueBox(platform::BoxAnswer::Cancel);
    File file("/kept.kmd");
    EXPECT_EQ(file.saveDialog("Save", kFilters, File(), kAskBeforeOverwrite), 2);
    EXPECT_EQ(file.getPath(), "/kept.kmd");
    const auto questions = scripted_.questions();
    ASSERT_EQ(questions.size(), 2u);
    EXPECT_EQ(questions[1].box, platform::BoxKind::OkCancel);
    EXPECT_EQ(questions[1].text, "'" + existing + "' already exists.  Overwrite?");

    scripted_.queueFile({true, existing, 0});
    scripted_.queueBox(platform::BoxAnswer::Ok);
    EXPECT_EQ(file.saveDialog("Save", kFilters, File(), kAskBeforeOverwrite), 0);
    EXPECT_EQ(file.getPath(), existing);

    scripted_.queueFile({true, existing, 0});
    EXPECT_EQ(file.saveDialog("Save", kFilters, File(), 0), 0);
    EXPECT_EQ(scripted_.questions().size(), 5u) << "without the flag nothing is asked";
}

} // namespace
