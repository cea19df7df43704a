// Patches through both of their paths (a dropped file and the load dialog's patch entry): what the writer
// puts in them, what comes back, what is refused, and the conversion of documents older than format 0.7.
#include "framework/Dictionary.h"
#include "framework/File.h"
#include "instrument/InstrumentKeys.h"
#include "support/CorvaleTestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace trov::test {
namespace {

enum class Path { Drop, Dialog };

class FixPatchTest : public ::testing::TestWithParam<Path> {
protected:
    void SetUp() override {
        plugin = world.makeCorvale();
        settings = plugin->getModule(0)->getSettings();
    }
    void TearDown() override { plugin.reset(); }

    void setAttack(float attack, float velocity) {
        settings->setNormalizedValue(keys::kVCAAttack, attack, Sender::kEditor);
        settings->setFloat(keys::kVelocityVCAAttack, velocity, Sender::kEditor);
    }
    float attack() const { return settings->getNormalizedValue(keys::kVCAAttack); }
    float velocity() const { return settings->getFloat(keys::kVelocityVCAAttack); }

    // The file reaches the instrument the way the test's parameter says: dropped, or chosen in the load
    // dialog under the entry given (1 patches, 0 banks).
    bool load(const std::string& path, int entry = 1) {
        if (GetParam() == Path::Drop)
            return plugin->loadFile(File(path));
        // The dialog was asked; a refusal adds its message box.
        const std::size_t asked = world.chooseInLoadDialog(*settings, path, entry);
        EXPECT_GT(asked, 0u);
        return asked == 1;
    }

    // A patch as an older or foreign writer made it: one program, both layers' envelope values.
    std::string handMadePatch(const std::string& name, const std::string& creator, const std::string& format,
                              float attackValue, float velocityValue) {
        std::string parameters = "<parameters><VCAAttack index=\"0\" value=\"" + std::to_string(attackValue) +
                                 "\" /><Velocity_VCAAttack index=\"0\" value=\"" +
                                 std::to_string(velocityValue) + "\" /></parameters>";
        std::string text =
            "<?xml version=\"1.0\" ?>\n<dict><info creator=\"" + creator + "\" version=\"1.0.0\" />";
        if (!format.empty())
            text += "<file-format value=\"" + format + "\" />";
        text +=
            "<programs><program><id value=\"0000-0000-0000-0000-0000-0000-0000-0001\" />"
            "<name value=\"hand made\" /><modules><module>" +
            parameters + "<zones /></module><module>" + parameters +
            "<zones /></module></modules></program></programs><resources><samples /></resources></dict>\n";
        return world.files.write(name, text);
    }

    CorvaleWorld world;
    std::unique_ptr<Corvale> plugin;
    Settings* settings = nullptr;
};

TEST_P(FixPatchTest, AWrittenPatchHoldsTheLiveValuesAndComesBack) {
    setAttack(0.3f, 0.25f);
    Dictionary document;
    plugin->writeProgram(document);
    std::string format;
    EXPECT_TRUE(document.getString("file-format", &format));
    EXPECT_EQ(format, "0.7.0");
    const std::string path = world.files / "live.kpr";
    ASSERT_TRUE(document.save(File(path)));

    setAttack(0.8f, -0.5f);
    EXPECT_TRUE(load(path));
    EXPECT_NEAR(attack(), 0.3f, 1e-6f);
    EXPECT_NEAR(velocity(), 0.25f, 1e-6f);
}

TEST_P(FixPatchTest, ABankKeepsTheCurrentPresetsLiveValues) {
    setAttack(0.6f, 0.0f);
    Dictionary bank;
    plugin->writeState(bank, false);
    const std::string path = world.files / "live.kmd";
    ASSERT_TRUE(bank.save(File(path)));
    setAttack(0.1f, 0.0f);
    ASSERT_TRUE(load(path, 0));
    EXPECT_NEAR(attack(), 0.6f, 1e-6f);
}

TEST_P(FixPatchTest, APatchOfAnotherCreatorOrANewerFormatIsRefusedAndChangesNothing) {
    struct Case {
        const char* creator;
        const char* format;
        const char* told;
    };
    for (const Case& c : {Case{"Other Sampler", "0.7.0", "created by Other Sampler"},
                          Case{"Corvale Test", "1.0", "Format is 1.0"}}) {
        setAttack(0.8f, 0.1f);
        const std::size_t before = world.responder.questions().size();
        EXPECT_FALSE(load(handMadePatch("refused.kpr", c.creator, c.format, 0.2f, 0.0f))) << c.creator;
        EXPECT_NEAR(attack(), 0.8f, 1e-6f) << c.creator;
        EXPECT_NEAR(velocity(), 0.1f, 1e-6f) << c.creator;
        ASSERT_GT(world.responder.questions().size(), before);
        EXPECT_NE(world.responder.questions().back().text.find(c.told), std::string::npos)
            << world.responder.questions().back().text;
        EXPECT_EQ(world.responder.questions().back().text.find("<dict"), std::string::npos)
            << "the refusal does not quote the document";
    }
}

TEST_P(FixPatchTest, APatchOlderThanFormat07MovesTheVelocityShareOnLoad) {
    struct Case {
        const char* format;
        float attack, velocity;
    };
    // (A document without a format, or older than 0.6, has the typed layout: see the conversion test of
    // the document tests.)
    for (const Case& c : {Case{"0.6", 0.4f, 0.2f}, Case{"0.6.9", 0.4f, 0.2f}, Case{"0.7.0", 0.5f, 0.1f}}) {
        setAttack(0.9f, 0.0f);
        EXPECT_TRUE(load(handMadePatch("old.kpr", "Corvale Test", c.format, 0.5f, 0.1f))) << c.format;
        EXPECT_NEAR(attack(), c.attack, 1e-6f) << c.format;
        EXPECT_NEAR(velocity(), c.velocity, 1e-6f) << c.format;
        // The upper layer's program was converted alike.
        Settings* upper = plugin->getModule(1)->getSettings();
        EXPECT_NEAR(upper->getNormalizedValue(keys::kVCAAttack), c.attack, 1e-6f) << c.format;
    }
}

TEST_P(FixPatchTest, ADroppedPatchWithoutItsFormatIsRefusedWithAReason) {
    if (GetParam() == Path::Dialog)
        GTEST_SKIP() << "the load dialog's patch entry reads it as a patch of an older format";
    setAttack(0.8f, 0.1f);
    const std::size_t before = world.responder.questions().size();
    EXPECT_FALSE(load(handMadePatch("unformatted.kpr", "Corvale Test", "", 0.2f, 0.0f)));
    EXPECT_NEAR(attack(), 0.8f, 1e-6f);
    ASSERT_GT(world.responder.questions().size(), before);
    EXPECT_NE(world.responder.questions().back().text.find("do not name their file format"),
              std::string::npos)
        << world.responder.questions().back().text;
}

INSTANTIATE_TEST_SUITE_P(BothPaths, FixPatchTest, ::testing::Values(Path::Drop, Path::Dialog),
                         [](const ::testing::TestParamInfo<Path>& info) {
                             return info.param == Path::Drop ? std::string("Drop") : std::string("Dialog");
                         });

} // namespace
} // namespace trov::test
