#include "platform/hostsdk/HostSide.h"
#include "support/ChildProcess.h"
#include "support/FileTestFolder.h"
#include "support/HostTestSupport.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

using namespace trov;
using namespace trov::test;

namespace {

int threadCount() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/task"))
        ++count;
    return count;
}

std::string readText(const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// One session of a host with the module: load, play a note, keep and restore the state, open the view,
// and tear everything down again. Returns a failure code, 0 when all went well.
int session(void* module, RecordingServices& services, RecordingHost& host) {
    auto setServices =
        reinterpret_cast<hostsdk::SetHostServicesFunction>(dlsym(module, hostsdk::kSetHostServicesSymbol));
    auto newPlugIn = reinterpret_cast<hostsdk::NewPlugInFunction>(dlsym(module, hostsdk::kNewPlugInSymbol));
    if (setServices == nullptr || newPlugIn == nullptr)
        return 10;
    setServices(&services);
    hostsdk::PlugInGroup* group = newPlugIn();
    if (group == nullptr || group->getTypeCount() != 3)
        return 11;
    hostsdk::Process* process = group->createProcess(0, &host);
    if (process == nullptr || process->initialize() != hostsdk::kResultOk)
        return 12;
    process->connect(hostsdk::ConnectInfo());
    process->setSampleRate(48000);
    float left[64] = {};
    float right[64] = {};
    float* outputs[2] = {left, right};
    float in[2][64] = {};
    float* inputs[2] = {in[0], in[1]};
    process->deliverMidi(0x90, 60, 127);
    process->renderAudio(inputs, outputs, 64);
    if (left[0] < 0.2f)
        return 13;
    std::int32_t size = 0;
    process->getChunkSize(hostsdk::kStateChunkId, size);
    std::string chunk(static_cast<std::size_t>(size), '\0');
    auto* bytes = reinterpret_cast<std::uint8_t*>(chunk.data());
    process->getChunk(hostsdk::kStateChunkId, bytes, size);
    bool equal = false;
    process->compareChunk(bytes, size, equal);
    if (!equal)
        return 14;
    if (!process->createView())
        return 15;
    hostsdk::ViewPort port;
    process->setViewPort(&port);
    group->idle();
    process->idle();
    process->release();
    group->release();
    setServices(nullptr);
    return 0;
}

TEST(ModuleLoad, UnloadingRunsTheTeardownLeavesNoThreadAndAReloadStartsAfresh) {
    const std::string path = CORVALE_TEST_MODULE;
    FileTestFolder files; // registry stores of the child's own
    const ChildOutcome outcome = runInChild([&] {
        ::setenv("XDG_STATE_HOME", (files / "state").c_str(), 1);
        Preferences(platform::RegistryRoot::Machine, HostInstallation::kKey)
            .setString("InstallPath", std::string(TROV_TEST_DATA) + "/../hostproduct/data");
        Preferences(platform::RegistryRoot::Machine, HostInstallation::kKey)
            .setString("ResourcesXmlFile", "resources.xml");
        Preferences(platform::RegistryRoot::Machine, HostInstallation::kKey)
            .setString("SettingsXmlFile", "specification.xml");
        const int threads = threadCount();
        const std::string log = files / "state/Trovato/Corvale Test.log";
        for (int round = 0; round < 2; ++round) {
            void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
            if (module == nullptr)
                return 20;
            RecordingServices services;
            RecordingHost host;
            if (const int failed = session(module, services, host))
                return failed + round * 100;
            if (!services.boxes.empty() || !services.quits.empty())
                return 30;
            if (dlclose(module) != 0)
                return 31;
            if (dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD) != nullptr)
                return 32; // still loaded
            if (threadCount() != threads)
                return 33;
            // The process-wide context's teardown closed the log; each load starts a new one.
            const std::string text = readText(log);
            std::size_t starts = 0;
            for (std::size_t at = text.find("logger started"); at != std::string::npos;
                 at = text.find("logger started", at + 1))
                ++starts;
            if (starts != 1 || text.find("logger stopped") == std::string::npos ||
                text.find("stopping plugin") == std::string::npos)
                return 34;
        }
#if defined(__SANITIZE_ADDRESS__)
        // Nothing the two loads made is left behind unreachable.
        if (__lsan_do_recoverable_leak_check() != 0)
            return 40;
#endif
        return 0;
    });
    ASSERT_TRUE(outcome.exited);
    EXPECT_EQ(outcome.exitCode, 0);
}

} // namespace
