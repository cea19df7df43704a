#include "framework/System.h"

#include "framework/MessageText.h"
#include "framework/NativeWindow.h"
#include "framework/ProductIdentity.h"
#include "platform/Responder.h"
#include "platform/Shell.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <regex>
#include <xmmintrin.h>

using namespace trov;
using platform::BoxAnswer;
using platform::BoxKind;

namespace {
struct TestProduct : ProductIdentity {
    std::string getName() const override { return "Corvale"; }
    std::string getMakerName() const override { return "Vennikt"; }
    std::string getVersionString() const override { return "1.2.7"; }
};

struct Window : NativeWindow {
    platform::WindowHandle getHandle() const override { return 77; }
};

class SystemServices : public ::testing::Test {
protected:
    SystemServices() : scoped(responder) { setProductIdentity(&product); }
    ~SystemServices() override {
        setProductIdentity(nullptr);
        platform::clearKeyStates();
        platform::resetQuitRequest();
        platform::setQuitHandler(nullptr);
    }
    TestProduct product;
    platform::ScriptedResponder responder;
    platform::ScopedResponder scoped;
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
    responder.queueBox(BoxAnswer::Yes);
    responder.queueBox(BoxAnswer::No);
    responder.queueBox(BoxAnswer::Closed);
    responder.queueBox(BoxAnswer::Ok);
    Window window;
    EXPECT_EQ(askYesNoCancel("Save?", &window), 0);
    EXPECT_EQ(askYesNoCancel("Save?"), 1);
    EXPECT_EQ(askYesNoCancel("Save?"), 2);
    EXPECT_TRUE(askOkCancel("Overwrite?"));
    EXPECT_FALSE(askOkCancel("Overwrite?")); // queue empty: the safe answer
    EXPECT_TRUE(showInfoMessage("Done"));
    const auto questions = responder.questions();
    ASSERT_EQ(questions.size(), 6u);
    EXPECT_EQ(questions[0].caption, "Corvale");
    EXPECT_EQ(questions[0].owner, 77u);
    EXPECT_EQ(questions[1].owner, platform::kNoWindow);
    EXPECT_EQ(questions[3].box, BoxKind::OkCancel);
    EXPECT_EQ(questions[5].box, BoxKind::Info);
}

TEST_F(SystemServices, ExitWithErrorLogsShowsAndAsksTheLoopToQuit) {
    test::LogCapture capture(0);
    int quitCode = -1;
    platform::setQuitHandler([&](int code) { quitCode = code; });
    exitWithError("Registry key missing", NoError());
    EXPECT_EQ(capture.count("!!"), 0);
    EXPECT_EQ(capture.count("Registry key missing"), 1);
    EXPECT_EQ(quitCode, 0);
    EXPECT_TRUE(platform::isQuitRequested());
    exitWithError("Broken", Error("where", "plain"));
    EXPECT_EQ(capture.count("!! plain [] at where"), 1);
    const auto questions = responder.questions();
    ASSERT_EQ(questions.size(), 2u);
    EXPECT_EQ(questions[0].text, "Registry key missing\n\nCorvale will exit.");
    EXPECT_EQ(questions[0].box, BoxKind::Error);
}

TEST_F(SystemServices, TimeAndDateTextsHaveTheirFixedForms) {
    EXPECT_TRUE(std::regex_match(timeText(), std::regex(R"(\d\d:\d\d:\d\d)")));
    EXPECT_TRUE(std::regex_match(dateText(), std::regex(R"((Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) \d{1,2} \d{4})")));
    EXPECT_EQ(format16("%s", "0123456789abcdefghij"), "0123456789abcde");
    EXPECT_EQ(format256("%d-%s", 5, "x"), "5-x");
}

TEST_F(SystemServices, StartUpSetsFlushToZeroAndLogsTheModes) {
    test::LogCapture capture(0);
    const unsigned saved = _mm_getcsr();
    _mm_setcsr(saved & ~0x8040u);
    EXPECT_TRUE(initSystem());
    EXPECT_EQ(_mm_getcsr() & 0x8040u, 0x8040u);
    _mm_setcsr(saved);
    EXPECT_EQ(capture.count("SSE2 exceptions: disabled"), 1);
    EXPECT_EQ(capture.count("Low-fragmentation heap: "), 1);
    EXPECT_EQ(capture.count("OS version is "), 1);
    EXPECT_EQ(getOSVersion(), kOSLinux);
}

TEST_F(SystemServices, CursorKindsMapToShapes) {
    setCursor(1);
    EXPECT_EQ(platform::getCursorShape(), platform::CursorShape::SizeAll);
    setCursor(5);
    EXPECT_EQ(platform::getCursorShape(), platform::CursorShape::SizeWestEast);
    setCursor(7);
    EXPECT_EQ(platform::getCursorShape(), platform::CursorShape::SizeNorthSouth);
    setCursor(10);
    EXPECT_EQ(platform::getCursorShape(), platform::CursorShape::Wait);
    setCursor(8);
    EXPECT_EQ(platform::getCursorShape(), platform::CursorShape::Arrow);
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
        EXPECT_EQ(text->find("Corvale"), text->rfind("Corvale"));
        EXPECT_NE(text->find("Corvale"), std::string::npos);
        EXPECT_EQ(text->substr(text->size() - 2), ". ");
    }
    EXPECT_EQ(errorTextRegistryKeyMissing, "Registry key missing, unable to continue.\nPlease reinstall Corvale. ");
    EXPECT_EQ(messageIOConfigFailed.title, "I/O configuration failed");
    EXPECT_EQ(messageIOConfigFailed.detail, messageIOConfigFailed.text);
    EXPECT_EQ(messageIOConfigFailed.text.rfind("Corvale could not switch", 0), 0u);
    EXPECT_EQ(MessageText("t", "x", "").detail, "x");
    EXPECT_EQ(MessageText("t", "x", "longer").detail, "longer");
}
