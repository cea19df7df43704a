#pragma once

// The host program's tests run corvale-host as a child process on the test module: the fixture lays out
// the module's installation in a scratch folder and runs the program there.
#include "hostapp/HostedProcess.h"
#include "hostapp/ModuleLoader.h"
#include "hostapp/RegistryFile.h"

#include "support/MidiFileBuilder.h"
#include "support/ProgramRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sndfile.h>
#include <string>
#include <utility>
#include <vector>

namespace corvale::hostapp {

using test::MidiFileBuilder;
using test::TrackBytes;

// Runs corvale-host in a scratch folder of its own, with the test module's installation laid out there
// (its registry store, user store and log folder) when the module is built.
class HostProgram : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "corvale-host-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        scratch_ = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(scratch_, ignored);
    }

    static bool moduleBuilt() {
#ifdef CORVALE_TEST_MODULE
        return true;
#else
        return false;
#endif
    }
    static std::string modulePath() {
#ifdef CORVALE_TEST_MODULE
        return CORVALE_TEST_MODULE;
#else
        return "no-module.so";
#endif
    }

    // Writes the machine-wide store: the module's key with the given values (all of them by default), naming
    // settings as its settings file when given.
    void layOutInstallation(bool withInstallPath = true, const std::string& settings = std::string()) {
#ifdef CORVALE_TEST_MODULE
        std::vector<std::pair<std::string, std::string>> values = {
            {"ResourcesXmlFile", CORVALE_TEST_MODULE_RESOURCES},
            { "SettingsXmlFile",
              settings.empty() ? CORVALE_TEST_MODULE_SETTINGS : settings }};
        if (withInstallPath)
            values.insert(values.begin(), {"InstallPath", CORVALE_TEST_MODULE_DATA});
        std::string error;
        ASSERT_TRUE(writeRegistryStore(scratch_ + "/machine.reg", CORVALE_TEST_MODULE_KEY, values, error))
            << error;
#else
        (void)withInstallPath;
        (void)settings;
#endif
    }

    // The program with the scratch installation's variables; extra overrides them, unset removes them;
    // meanwhile runs with its id while it runs.
    test::ChildResult run(std::vector<std::string> arguments,
                          std::vector<std::pair<std::string, std::string>> extra = {},
                          const std::vector<std::string>& unset = {},
                          const std::function<void(pid_t)>& meanwhile = {}) {
        arguments.insert(arguments.begin(), CORVALE_HOST_PROGRAM);
        std::vector<std::pair<std::string, std::string>> environment = {
            {"TROV_MACHINE_REGISTRY", scratch_ + "/machine.reg"},
            {"TROV_USER_REGISTRY", scratch_ + "/user.reg"},
            {"XDG_STATE_HOME", scratch_ + "/state"},
            // LeakSanitizer 14 may take one of the module's thread-local blocks for one with a header it
            // lacks, by where the block happens to lie, and its check at exit then crashes: it does not
            // follow them.
            {"ASAN_OPTIONS", "halt_on_error=1:detect_leaks=1:intercept_tls_get_addr=0"}};
        for (auto& entry : extra) {
            std::erase_if(environment, [&](const auto& given) { return given.first == entry.first; });
            environment.push_back(std::move(entry));
        }
        std::erase_if(environment, [&](const auto& given) {
            return std::find(unset.begin(), unset.end(), given.first) != unset.end();
        });
        return test::runChild(arguments, environment, scratch_, unset, std::string(), meanwhile);
    }

    std::string file(const std::string& name, const test::Bytes& bytes) {
        std::string path = scratch_ + "/" + name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    static test::Bytes oneNoteFile() {
        return MidiFileBuilder()
            .header(0, 1, 96)
            .track(TrackBytes().event(48, {0x90, 69, 100}).event(48, {0x80, 69, 0}).end())
            .bytes();
    }

    // The module's own state document, taken from a chunk of an instance loaded here; empty on failure
    // (with the reason added to the test).
    std::string stateDocument() {
        ::setenv("TROV_MACHINE_REGISTRY", (scratch_ + "/machine.reg").c_str(), 1);
        ::setenv("TROV_USER_REGISTRY", (scratch_ + "/user.reg").c_str(), 1);
        ::setenv("XDG_STATE_HOME", (scratch_ + "/state").c_str(), 1);
        HeadlessServices services;
        LoadedModule module;
        std::string error;
        if (!module.load(modulePath(), services, error) || !startFailure(*module.group(), services).empty()) {
            ADD_FAILURE() << "the module did not start: " << error;
            return std::string();
        }
        HostedProcess host;
        trov::hostsdk::Process* process =
            module.group()->createProcess(chooseRenderType(*module.group()), &host);
        if (process == nullptr || process->initialize() != trov::hostsdk::kResultOk) {
            ADD_FAILURE() << "no instance started";
            if (process != nullptr)
                process->release();
            return std::string();
        }
        std::int32_t size = 0;
        process->getChunkSize(trov::hostsdk::kStateChunkId, size);
        std::vector<std::uint8_t> chunk(
            static_cast<std::size_t>(std::max(size, trov::hostsdk::kChunkHeaderSize)));
        process->getChunk(trov::hostsdk::kStateChunkId, chunk.data(), size);
        process->release();
        return std::string(chunk.begin() + trov::hostsdk::kChunkHeaderSize, chunk.end());
    }

    std::string scratch_;
};

// The frames of a WAV file; -1 when libsndfile cannot read it.
inline std::int64_t wavFrames(const std::string& path) {
    SF_INFO info = {};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr)
        return -1;
    sf_close(file);
    return info.frames;
}

// The error is one line on stderr naming the problem, and nothing goes to stdout.
inline void expectOneLineError(const test::ChildResult& result, int status, const std::string& fragment) {
    EXPECT_EQ(result.status, status) << result.err;
    EXPECT_NE(result.err.find(fragment), std::string::npos) << result.err;
    EXPECT_EQ(result.err.rfind("corvale-host: ", 0), 0u) << result.err;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    EXPECT_TRUE(result.out.empty()) << result.out;
}

} // namespace corvale::hostapp
