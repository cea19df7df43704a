#include "support/InstanceTestSupport.h"

#include "framework/Logger.h"
#include "framework/StationEnvironment.h"
#include "instance/Mission.h"
#include "platform/CrashHandler.h"
#include "support/ChildProcess.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <sstream>

using namespace trov;
using namespace trov::test;

namespace {

const char* const kProduct = "Corvale Test";

// Findings a child process writes for its parent, one "key<TAB>value" line each, line feeds escaped.
class Report {
public:
    void set(const std::string& key, const std::string& value) { values_[key] = value; }
    void set(const std::string& key, bool value) { values_[key] = value ? "1" : "0"; }
    void save(const std::string& path) const {
        std::ofstream out(path);
        for (const auto& [key, value] : values_)
            out << key << '\t' << std::regex_replace(value, std::regex("\n"), "\\n") << '\n';
    }
    static std::map<std::string, std::string> load(const std::string& path) {
        std::map<std::string, std::string> values;
        std::ifstream in(path);
        for (std::string line; std::getline(in, line);) {
            const std::size_t tab = line.find('\t');
            if (tab != std::string::npos)
                values[line.substr(0, tab)] =
                    std::regex_replace(line.substr(tab + 1), std::regex("\\\\n"), "\n");
        }
        return values;
    }

private:
    std::map<std::string, std::string> values_;
};

// A process start-up as the host makes it: registry stores and the application-data folder in a
// temporary folder, the machine preferences naming an install folder with a resource description. The
// context itself runs in a child process, which reports what it saw.
class MissionTest : public testing::Test {
protected:
    MissionTest() {
        ::setenv("XDG_STATE_HOME", (files / "state").c_str(), 1);
        files.write("resources.xml", "<?xml version=\"1.0\"?><dict></dict>");
        Preferences machine(platform::RegistryRoot::Machine, std::string("Software\\Maker\\") + kProduct);
        machine.setString("InstallPath", files.path());
        machine.setString("ResourcesXmlFile", "resources.xml");
    }
    ~MissionTest() override { ::unsetenv("XDG_STATE_HOME"); }

    Preferences machine() const {
        return Preferences(platform::RegistryRoot::Machine, std::string("Software\\Maker\\") + kProduct);
    }
    std::string logText() const {
        return readFile(files / (std::string("state/Maker/") + kProduct + ".log"));
    }

    // Runs body in a child with the test descriptor installed, a scripted responder and a counting quit
    // handler; the child's report comes back.
    std::map<std::string, std::string> inChild(const std::function<void(Report&)>& body) {
        const std::string path = files / "report.txt";
        const ChildOutcome outcome = runInChild([&] {
            setPluginInfo(new InstanceTestPluginInfo());
            platform::ScriptedResponder responder;
            platform::setResponder(&responder);
            int quits = 0;
            platform::setQuitHandler([&](int) { ++quits; });
            Report report;
            body(report);
            std::string boxes;
            for (const auto& question : responder.questions())
                boxes += question.text + "|";
            report.set("boxes", boxes);
            report.set("quits", std::to_string(quits));
            report.save(path);
            return 0;
        });
        EXPECT_TRUE(outcome.exited);
        EXPECT_EQ(outcome.exitCode, 0);
        return Report::load(path);
    }

    FileTestFolder files;
};

// Positions of the needles in the text, in order; npos for one missing.
std::vector<std::size_t> positionsOf(const std::string& text, const std::vector<std::string>& needles) {
    std::vector<std::size_t> positions;
    for (const std::string& needle : needles)
        positions.push_back(text.find(needle));
    return positions;
}

TEST_F(MissionTest, StartBuildsAndInstallsEverythingInOrderAndOnlyOnce) {
    auto report = inChild([](Report& r) {
        Mission& mission = Mission::instance();
        mission.start();
        r.set("started", mission.isStarted());
        r.set("log", getLog() != nullptr && getLog() == mission.getLogger());
        r.set("machine", getMachinePreferences() == mission.getMachinePreferences() &&
                             mission.getMachinePreferences() != nullptr);
        r.set("user", getUserPreferences() == mission.getUserPreferences() &&
                          mission.getUserPreferences() != nullptr);
        r.set("resources", mission.getResources() != nullptr &&
                               PluginEnvironment::instance().getResources() == mission.getResources());
        r.set("environment", getStationEnvironment() == &PluginEnvironment::instance());
        r.set("crash", platform::isCrashHandlerInstalled());
        r.set("catalogue", getPluginInfo()->isInitialized());
        r.set("rex", mission.isRexLoaded());
        mission.start();
        r.set("still", mission.isStarted() && getLog() == mission.getLogger());
    });
    for (const char* key :
         {"started", "log", "machine", "user", "resources", "environment", "crash", "catalogue", "still"})
        EXPECT_EQ(report[key], "1") << key;
    EXPECT_EQ(report["rex"], "0");
    EXPECT_EQ(report["boxes"], "");
    EXPECT_EQ(report["quits"], "0");

    const std::string log = logText();
    const auto at = positionsOf(log, {"logger started", "Corvale Test 1.2.7 (built @ ", "Build type: Release",
                                      "REX initialization failed!", "Minidumper: enabled"});
    for (std::size_t i = 0; i < at.size(); ++i) {
        ASSERT_NE(at[i], std::string::npos) << i << "\n" << log;
        if (i > 0) {
            EXPECT_LT(at[i - 1], at[i]) << i;
        }
    }
    EXPECT_TRUE(
        std::regex_search(log, std::regex(R"(\(built @ \d\d:\d\d:\d\d [A-Z][a-z]{2} \d{1,2} \d{4}\))")));
    EXPECT_EQ(log.find("(built @ ", at[1] + 30), std::string::npos) << "a second banner";
}

TEST_F(MissionTest, TheUsersLogLevelBecomesTheThreshold) {
    Preferences(platform::RegistryRoot::User, std::string("Software\\Maker\\") + kProduct)
        .setLong("LogLevel", 3);
    auto report = inChild([](Report& r) {
        Mission::instance().start();
        r.set("started", Mission::instance().isStarted());
    });
    EXPECT_EQ(report["started"], "1");
    const std::string log = logText();
    EXPECT_NE(log.find("REX initialization failed!"), std::string::npos);
    EXPECT_EQ(log.find("Minidumper: enabled"), std::string::npos);
}

TEST_F(MissionTest, WithoutAnInstallPathTheUserIsToldAndTheHostAskedToQuitOnce) {
    machine().clear();
    machine().setString("ImagesDir", "images");
    auto report = inChild([](Report& r) {
        Mission::instance().start();
        r.set("started", Mission::instance().isStarted());
        r.set("resources", Mission::instance().getResources() != nullptr);
        r.set("log", getLog() != nullptr);
    });
    EXPECT_EQ(report["started"], "0");
    EXPECT_EQ(report["resources"], "0");
    EXPECT_EQ(report["log"], "1");
    EXPECT_EQ(report["quits"], "1");
    EXPECT_EQ(report["boxes"],
              "Registry key missing, unable to continue.\nPlease reinstall Corvale Test. \nThe key "
              "Software\\Maker\\Corvale Test in the store " +
                  (files / "machine.reg") +
                  " lacks InstallPath, ResourcesXmlFile and SettingsXmlFile.\n\nCorvale Test will exit.|");
    const std::string log = logText();
    const auto at = positionsOf(log, {"!! Preferences key 'InstallPath' not found [EPKNF] at void __thiscall "
                                      "trov::Mission::start(void)",
                                      "Registry key missing, unable to continue."});
    ASSERT_NE(at[0], std::string::npos) << log;
    ASSERT_NE(at[1], std::string::npos) << log;
    EXPECT_LT(at[0], at[1]);
}

TEST_F(MissionTest, AStoreWithoutTheProductsKeyIsNamedWithTheKeyAndIsNotWritten) {
    std::filesystem::remove(files / "machine.reg");
    Preferences(platform::RegistryRoot::Machine, "Software\\Maker\\Other")
        .setString("InstallPath", files.path());
    const std::string before = readFile(files / "machine.reg");
    auto report = inChild([](Report& r) {
        Mission::instance().start();
        r.set("started", Mission::instance().isStarted());
    });
    EXPECT_EQ(report["started"], "0");
    EXPECT_EQ(report["boxes"],
              "Registry key missing, unable to continue.\nPlease reinstall Corvale Test. \nNo key "
              "Software\\Maker\\Corvale Test in the store " +
                  (files / "machine.reg") + ".\n\nCorvale Test will exit.|");
    EXPECT_EQ(readFile(files / "machine.reg"), before);
    EXPECT_FALSE(std::filesystem::exists(files / "user.reg")) << "a start that fails writes no store";
}

TEST_F(MissionTest, ResourcesThatDoNotLoadEndTheStartWithTheirError) {
    machine().setString("ResourcesXmlFile", "missing.xml");
    auto report = inChild([](Report& r) {
        Mission::instance().start();
        r.set("started", Mission::instance().isStarted());
        r.set("resources", Mission::instance().getResources() != nullptr);
    });
    EXPECT_EQ(report["started"], "0");
    EXPECT_EQ(report["resources"], "1");
    EXPECT_EQ(report["quits"], "1");
    EXPECT_EQ(report["boxes"],
              "Error loading resources, unable to continue.\nPlease reinstall Corvale Test. \n"
              "Failed to import file " +
                  (files / "missing.xml") + " (InstallPath \"" + files.path() + "\" in the store " +
                  (files / "machine.reg") + ").\n\nCorvale Test will exit.|");
    const std::string log = logText();
    EXPECT_NE(log.find("!! "), std::string::npos) << log;
    EXPECT_LT(log.find("!! "), log.find("Error loading resources"));
}

TEST_F(MissionTest, AWrongInstallPathOrAMissingResourcesValueIsNamedWithItsStoreInTheMessage) {
    const auto boxes = [this] { return inChild([](Report&) { Mission::instance().start(); })["boxes"]; };
    const std::string words =
        "Error loading resources, unable to continue.\nPlease reinstall Corvale Test. \n";
    const std::string store = " in the store " + (files / "machine.reg") + ").\n\nCorvale Test will exit.|";
    const std::string typo = files / "typo";
    machine().setString("InstallPath", typo);
    EXPECT_EQ(boxes(), words + "Failed to import file " + typo + "/resources.xml (InstallPath \"" + typo +
                           "\"" + store);
    machine().clear();
    machine().setString("InstallPath", files.path());
    const std::string missing = boxes();
    EXPECT_EQ(missing.rfind(words, 0), 0u) << missing;
    EXPECT_NE(missing.find(" (InstallPath \"" + files.path() + "\", no ResourcesXmlFile" + store),
              std::string::npos)
        << missing;
}

TEST_F(MissionTest, TearDownFreesWhatAFailedStartMadeAndRemovesTheCrashHandler) {
    for (const bool withInstallPath : {false, true}) {
        if (withInstallPath)
            machine().setString("ResourcesXmlFile", "missing.xml");
        else
            machine().clear();
        auto report = inChild([](Report& r) {
            {
                Mission mission;
                mission.start();
                r.set("failed", !mission.isStarted());
                r.set("crashDuring", platform::isCrashHandlerInstalled());
            }
            r.set("log", getLog() == nullptr);
            r.set("preferences", getMachinePreferences() == nullptr && getUserPreferences() == nullptr);
            r.set("resources", PluginEnvironment::instance().getResources() == nullptr);
            r.set("descriptor", getPluginInfo() == nullptr);
            r.set("crashAfter", platform::isCrashHandlerInstalled());
        });
        for (const char* key : {"failed", "crashDuring", "log", "preferences", "resources", "descriptor"})
            EXPECT_EQ(report[key], "1") << key << " with install path " << withInstallPath;
        EXPECT_EQ(report["crashAfter"], "0");
        EXPECT_NE(logText().find("logger stopped"), std::string::npos);
    }
}

TEST_F(MissionTest, TearDownAfterASuccessfulStartUninstallsEverything) {
    auto report = inChild([](Report& r) {
        {
            Mission mission;
            mission.start();
            r.set("started", mission.isStarted());
        }
        r.set("clean", getLog() == nullptr && getMachinePreferences() == nullptr &&
                           PluginEnvironment::instance().getResources() == nullptr &&
                           getPluginInfo() == nullptr && !platform::isCrashHandlerInstalled());
    });
    EXPECT_EQ(report["started"], "1");
    EXPECT_EQ(report["clean"], "1");
}

// An instance that records its activations.
class ActivationRecorder : public Plugin {
public:
    ActivationRecorder(std::string name, std::string& trace)
        : Plugin(nullptr, 0), name_(std::move(name)), trace_(trace) {}
    void activate() override { trace_ += "+" + name_; }
    void deactivate() override { trace_ += "-" + name_; }

private:
    std::string name_;
    std::string& trace_;
};

TEST(MissionRegistry, TheFirstInstanceStillSignedInIsTheActiveOne) {
    LogCapture log(0);
    std::string trace;
    ActivationRecorder a("A", trace);
    ActivationRecorder b("B", trace);
    Mission mission;

    mission.signIn(&a);
    mission.signIn(&b);
    EXPECT_EQ(trace, "+A");
    EXPECT_EQ(mission.getActive(), &a);
    mission.signOut(&a);
    EXPECT_EQ(trace, "+A-A+B");
    EXPECT_EQ(mission.getActive(), &b);
    mission.signIn(&a);
    // Signing out one that is not active activates the first again.
    mission.signOut(&a);
    EXPECT_EQ(trace, "+A-A+B+B");
    EXPECT_EQ(mission.getActive(), &b);
    mission.signOut(&b);
    EXPECT_EQ(trace, "+A-A+B+B-B");
    EXPECT_EQ(mission.getActive(), nullptr);
    EXPECT_TRUE(mission.getInstances().empty());
    mission.signIn(nullptr);
    EXPECT_TRUE(mission.getInstances().empty());

    char line[64];
    std::snprintf(line, sizeof line, "plugin 0x%lx signed in", reinterpret_cast<unsigned long>(&a));
    EXPECT_EQ(log.count(line), 2);
    std::snprintf(line, sizeof line, "plugin 0x%lx signed out", reinterpret_cast<unsigned long>(&b));
    EXPECT_EQ(log.count(line), 1);
}

} // namespace
