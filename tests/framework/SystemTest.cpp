#include "framework/System.h"

#include "framework/MessageText.h"
#include "framework/NativeWindow.h"
#include "platform/Responder.h"
#include "platform/Shell.h"
#include "support/LogCapture.h"
#include "support/ScopedProduct.h"

#include <gtest/gtest.h>

#include <regex>
#include <xmmintrin.h>

using namespace trov;
using platform::BoxAnswer;
using platform::BoxKind;

namespace {
struct Window : NativeWindow {
    platform::WindowHandle getHandle() const override { return 77; }
};

class SystemServices : public ::testing::Test {
protected:
    ~SystemServices() override {
        platform::clearKeyStates();
        platform::resetQuitRequest();
        platform::setQuitHandler(nullptr);
    }
    test::ScopedProduct product;
    test::LogCapture log;
    platform::ScriptedResponder responder;
    platform::ScopedResponder scoped{responder};
};
} // namespace

TEST_F(SystemServices, ModifierKeysFollowTheirExclusionRules) {
    platform::setKeyState(kKeyControl, true);
    platform::setKeyState(kKeyShift, true);
    EXPECT_TRUE(isKeyDown(kKeyAlt)); // Control and Shift together count as Alt
    EXPECT_FALSE(isKeyDown(kKeyShift));
    EXPECT_FALSE(isKeyDown(kKeyControl));
    platform::setKeyState(kKeyControl, false);
    EXPECT_TRUE(isKeyDown(kKeyShift));
    platform::setKeyState(kKeyAlt, true);
    EXPECT_FALSE(isKeyDown(kKeyShift));
    EXPECT_TRUE(isKeyDown(kKeyAlt));
    platform::setKeyState('A', true);
    EXPECT_TRUE(isKeyDown('A'));
    EXPECT_FALSE(isKeyDown('B'));
}

TEST_F(SystemServices, MessageBoxesAreCaptionedWithTheProductAndMapAnswers) {
    for (BoxAnswer answer : {BoxAnswer::Yes, BoxAnswer::No, BoxAnswer::Closed, BoxAnswer::Ok})
        responder.queueBox(answer);
    Window window;
    EXPECT_EQ(askYesNoCancel("Save?", &window), 0);
    EXPECT_EQ(askYesNoCancel("Save?"), 1);
    EXPECT_EQ(askYesNoCancel("Save?"), 2);
    EXPECT_TRUE(askOkCancel("Overwrite?"));
    EXPECT_FALSE(askOkCancel("Overwrite?")); // queue empty: the safe answer
    EXPECT_TRUE(showInfoMessage("Done"));
    const auto questions = responder.questions();
    ASSERT_EQ(questions.size(), 6u);
    EXPECT_EQ(questions[0].caption, "Sampler");
    EXPECT_EQ(questions[0].owner, 77u);
    EXPECT_EQ(questions[1].owner, platform::kNoWindow);
    EXPECT_EQ(questions[3].box, BoxKind::OkCancel);
    EXPECT_EQ(questions[5].box, BoxKind::Info);
}

TEST_F(SystemServices, ExitWithErrorLogsShowsAndAsksTheLoopToQuit) {
    int quitCode = -1;
    platform::setQuitHandler([&](int code) { quitCode = code; });
    exitWithError("Registry key missing", NoError());
    EXPECT_EQ(log.count("!!"), 0);
    EXPECT_EQ(log.count("Registry key missing"), 1);
    EXPECT_EQ(quitCode, 0);
    EXPECT_TRUE(platform::isQuitRequested());
    exitWithError("Broken", Error("where", "plain"));
    EXPECT_EQ(log.count("!! plain [] at where"), 1);
    const auto questions = responder.questions();
    ASSERT_EQ(questions.size(), 2u);
    EXPECT_EQ(questions[0].text, "Registry key missing\n\nSampler will exit.");
    EXPECT_EQ(questions[0].box, BoxKind::Error);
}

TEST_F(SystemServices, TimeAndDateTextsHaveTheirFixedForms) {
    EXPECT_TRUE(std::regex_match(
        timeText() + " " + dateText(),
        std::regex(R"(\d\d:\d\d:\d\d (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) \d{1,2} \d{4})")));
    EXPECT_EQ(format16("%s", "0123456789abcdefghij"), "0123456789abcde");
    EXPECT_EQ(format256("%d-%s", 5, "x"), "5-x");
}

TEST_F(SystemServices, StartUpSetsFlushToZeroAndLogsTheModes) {
    const unsigned saved = _mm_getcsr();
    _mm_setcsr(saved & ~0x8040u);
    EXPECT_TRUE(initSystem());
    EXPECT_EQ(_mm_getcsr() & 0x8040u, 0x8040u);
    _mm_setcsr(saved);
    for (const char* line : {"SSE2 exceptions: disabled", "Low-fragmentation heap: ", "OS version is "})
        EXPECT_EQ(log.count(line), 1) << line;
    EXPECT_EQ(getOSVersion(), kOSLinux);
}

TEST_F(SystemServices, CursorKindsMapToShapes) {
    using platform::CursorShape;
    const std::pair<int, CursorShape> cases[] = {{1, CursorShape::SizeAll},
                                                 {5, CursorShape::SizeWestEast},
                                                 {7, CursorShape::SizeNorthSouth},
                                                 {10, CursorShape::Wait},
                                                 {8, CursorShape::Arrow}};
    for (const auto& [kind, shape] : cases) {
        setCursor(kind);
        EXPECT_EQ(platform::getCursorShape(), shape) << kind;
    }
}

TEST_F(SystemServices, LibraryLookUpFindsRealFunctionsAndNullOtherwise) {
    EXPECT_NE(getLibraryFunction("libm.so.6", "cos"), nullptr);
    EXPECT_EQ(getLibraryFunction("libm.so.6", "no_such_function"), nullptr);
    EXPECT_EQ(getLibraryFunction("Kernel32.dll", "HeapSetInformation"), nullptr);
    EXPECT_GE(getProcessorCount(), 1);
    const double before = getTime();
    trov::sleep(2);
    EXPECT_GT(getTime(), before);
}

TEST_F(SystemServices, CatalogueTextsNameTheProductOnce) {
    initErrorTexts();
    initMessageCatalogue();
    for (const std::string* text : {&errorTextLoadingControls, &errorTextRegistryKeyMissing,
                                    &errorTextLoadingResources, &errorTextLoadingSettings}) {
        EXPECT_EQ(text->find("Sampler"), text->rfind("Sampler"));
        EXPECT_NE(text->find("Sampler"), std::string::npos);
        EXPECT_EQ(text->substr(text->size() - 2), ". ");
    }
    EXPECT_EQ(errorTextRegistryKeyMissing,
              "Registry key missing, unable to continue.\nPlease reinstall Sampler. ");
    EXPECT_EQ(messageIOConfigFailed.title, "I/O configuration failed");
    EXPECT_EQ(messageIOConfigFailed.detail, messageIOConfigFailed.text);
    EXPECT_EQ(messageIOConfigFailed.text.rfind("Sampler could not switch", 0), 0u);
    EXPECT_EQ(MessageText("t", "x", "").detail, "x");
    EXPECT_EQ(MessageText("t", "x", "longer").detail, "longer");
}
