#include "hostapp/ModuleLoader.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace corvale::hostapp {
namespace {

using trov::hostsdk::BoxAnswer;
using trov::hostsdk::BoxKind;

TEST(HeadlessServices, NotesEveryBoxOnOneLineAndGivesScriptedThenSafeAnswers) {
    HeadlessServices services;
    EXPECT_EQ(services.messageBox("Corvale", "Cannot load.\n\nCorvale will exit.", BoxKind::Error),
              BoxAnswer::Ok);
    EXPECT_EQ(services.messageBox(nullptr, "Info", BoxKind::Info), BoxAnswer::Ok);
    services.scriptAnswer(BoxAnswer::Yes);
    EXPECT_EQ(services.messageBox("Q", "Save?", BoxKind::YesNoCancel), BoxAnswer::Yes);
    EXPECT_EQ(services.messageBox("Q", "Save?", BoxKind::YesNoCancel), BoxAnswer::Cancel);
    EXPECT_EQ(services.messageBox("Q", "Go on?", BoxKind::OkCancel), BoxAnswer::Cancel);
    EXPECT_EQ(services.messageCount(), 5u);
    const std::vector<std::string> messages = services.takeMessages();
    ASSERT_EQ(messages.size(), 5u);
    EXPECT_EQ(messages[0], "Corvale: Cannot load. Corvale will exit.");
    EXPECT_EQ(messages[1], "Info");
    EXPECT_EQ(services.messageCount(), 0u);

    char path[8] = "xxxxxxx";
    std::int32_t filter = 3;
    EXPECT_FALSE(services.fileDialog(false, "Open", "", path, sizeof path, filter));
    EXPECT_EQ(path[0], '\0');
    EXPECT_FALSE(services.browseFolder("Folder", path, sizeof path));
    EXPECT_FALSE(services.quitRequested());
    services.requestQuit(3);
    EXPECT_TRUE(services.quitRequested());
    EXPECT_EQ(services.quitCode(), 3);
}

TEST(HeadlessServices, KeepsEachMessageToOneLineOfAFewHundredCharacters) {
    HeadlessServices services;
    // A refusal quoting a whole document, and one cut where a two-byte character would be split.
    const std::string document =
        "Refused.\n\n<?xml version=\"1.0\"?>\n<dict>" + std::string(378000, 'x') + "</dict>";
    std::string accented;
    for (int i = 0; i < 200; ++i)
        accented += "\xC3\xA9";
    services.messageBox("Corvale", document.c_str(), BoxKind::Error);
    services.messageBox("C", accented.c_str(), BoxKind::Error); // "C: " is 3 bytes: byte 300 is a second byte
    const std::vector<std::string> messages = services.takeMessages();
    ASSERT_EQ(messages.size(), 2u);
    const std::string folded = "Corvale: Refused. <?xml version=\"1.0\"?> <dict>";
    EXPECT_EQ(messages[0], folded + std::string(300 - folded.size(), 'x') + "...");
    EXPECT_EQ(messages[1], "C: " + accented.substr(0, 296) + "...");
    EXPECT_EQ(reasonLine({"a", "b"}), "a / b");
    EXPECT_EQ(reasonLine({std::string(200, 'a'), std::string(200, 'b')}),
              std::string(200, 'a') + " / " + std::string(97, 'b') + "...");
}

TEST(ModuleLoader, FoldsTextOntoOneLine) {
    EXPECT_EQ(oneLine("  a\r\n\tb  c \n"), "a b c");
    EXPECT_EQ(oneLine("\n\n"), "");
}

TEST(ModuleLoader, GivesTheLoadersTextForAFileThatIsNoModule) {
    HeadlessServices services;
    LoadedModule module;
    std::string error;
    EXPECT_FALSE(module.load("/nonexistent/module.so", services, error));
    EXPECT_EQ(error.rfind("cannot load module /nonexistent/module.so: ", 0), 0u) << error;
    EXPECT_NE(error.find("No such file"), std::string::npos) << error;
    EXPECT_FALSE(module.loaded());
    EXPECT_FALSE(LoadedModule::isMapped("/nonexistent/module.so"));
    // A shared library without the entry points.
    EXPECT_FALSE(module.load(CORVALE_NOT_A_MODULE, services, error));
    EXPECT_NE(error.find("NewPlugIn"), std::string::npos) << error;
    EXPECT_FALSE(module.loaded());
    EXPECT_EQ(error.find('\n'), std::string::npos);
}

TEST(ModuleLoader, CountsTheThreadsOfThisProcess) {
    const int before = countThreads();
    std::atomic<bool> counted{false};
    int during = 0;
    std::thread worker([&counted] {
        while (!counted.load())
            std::this_thread::yield();
    });
    during = countThreads();
    counted.store(true);
    worker.join();
    EXPECT_EQ(during, before + 1);
}

} // namespace
} // namespace corvale::hostapp
