#pragma once

#include "framework/Logger.h"
#include "framework/Preferences.h"
#include "host/RTASProcess.h"
#include "hostproduct/TestProduct.h"
#include "instance/Mission.h"
#include "platform/hostsdk/HostSide.h"
#include "support/FileTestFolder.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <string>
#include <vector>

namespace trov::test {

// The installation the module finds through its machine-wide registry store: the test product's
// specification and resource description, registry stores and the log folder in a temporary folder that
// lasts for the whole test program (the process-wide context starts once).
class HostInstallation {
public:
    static HostInstallation& instance() {
        static HostInstallation installation;
        return installation;
    }
    Preferences machine() const { return Preferences(platform::RegistryRoot::Machine, kKey); }
    const FileTestFolder& files() const { return files_; }

    static constexpr const char* kKey = "Software\\Trovato\\Corvale Test";

private:
    HostInstallation() {
        ::setenv("XDG_STATE_HOME", (files_ / "state").c_str(), 1);
        Preferences m = machine();
        m.setString("InstallPath", std::string(TROV_TEST_DATA) + "/../hostproduct/data");
        m.setString("ResourcesXmlFile", "resources.xml");
        m.setString("SettingsXmlFile", "specification.xml");
    }
    FileTestFolder files_;
};

// The host's answers: queued box answers (then Cancel), every box text, every quit request.
class RecordingServices : public hostsdk::HostServices {
public:
    hostsdk::BoxAnswer messageBox(const char* caption, const char* text, hostsdk::BoxKind) override {
        boxes.push_back(std::string(caption) + ": " + text);
        if (answers.empty())
            return hostsdk::BoxAnswer::Cancel;
        const hostsdk::BoxAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }
    bool fileDialog(bool, const char*, const char*, char*, std::size_t, std::int32_t&) override {
        return false;
    }
    bool browseFolder(const char*, char*, std::size_t) override { return false; }
    void requestQuit(std::int32_t code) override { quits.push_back(code); }

    std::deque<hostsdk::BoxAnswer> answers;
    std::vector<std::string> boxes;
    std::vector<std::int32_t> quits;
};

// What a process told its host, in order: "set c v", "touch c", "release c".
class RecordingHost : public hostsdk::ProcessHost {
public:
    double getTempo() override { return tempo; }
    std::int64_t getPosition() override { return position; }
    void automationSet(std::int32_t control, std::int32_t value) override {
        events.push_back("set " + std::to_string(control) + " " + std::to_string(value));
    }
    void automationTouch(std::int32_t control) override {
        events.push_back("touch " + std::to_string(control));
    }
    void automationRelease(std::int32_t control) override {
        events.push_back("release " + std::to_string(control));
    }

    double tempo = 96.0;
    std::int64_t position = 123456789012LL;
    std::vector<std::string> events;
};

// A log capture that hands the log back to the process-wide context afterwards.
class ModuleLogCapture : public LogCapture {
public:
    ModuleLogCapture() : LogCapture(0) {}
    ~ModuleLogCapture() { setLog(Mission::instance().getLogger()); }
};

// The module as a host sees it, in this process: the group from NewPlugIn and processes of its first
// (stereo) type, connected and at 44100 Hz.
class HostTest : public testing::Test {
protected:
    HostTest() {
        HostInstallation::instance();
        TrovSetHostServices(&services);
        group = NewPlugIn();
    }
    ~HostTest() override {
        for (hostsdk::Process* process : processes)
            process->release();
        if (group != nullptr)
            group->release();
        TrovSetHostServices(nullptr);
        if (hostproduct::TestProductInfo* info = hostproduct::product()) {
            info->midiInput = true;
            info->withEditor = true;
        }
    }

    RTASProcess* makeProcess(int type = 0, int maxBlock = 512, bool connect = true) {
        hostsdk::Process* process = group->createProcess(type, &host);
        if (process == nullptr)
            return nullptr;
        processes.push_back(process);
        EXPECT_EQ(process->initialize(), hostsdk::kResultOk);
        if (connect) {
            hostsdk::EffectTypeInfo info;
            group->getTypeInfo(type, info);
            hostsdk::ConnectInfo how;
            how.inputStem = info.inputStem;
            how.outputStem = info.outputStem;
            how.maxBlockSize = maxBlock;
            process->connect(how);
            process->setSampleRate(44100);
        }
        return dynamic_cast<RTASProcess*>(process);
    }

    static hostproduct::FixtureEditor* editorOf(RTASProcess& process) {
        return dynamic_cast<hostproduct::FixtureEditor*>(process.getEditor());
    }

    RecordingServices services;
    RecordingHost host;
    hostsdk::PlugInGroup* group = nullptr;
    std::vector<hostsdk::Process*> processes;
};

} // namespace trov::test
