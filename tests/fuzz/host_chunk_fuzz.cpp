// fuzz-links: corvale_test_product
// Hands arbitrary bytes to a process of the test module as a state chunk, as a host restores a project:
// first as they come, then with a header this product accepts. Nothing may crash or throw; whatever state
// results must give a chunk that compares identical to itself and reads back.
#include "platform/hostsdk/HostSide.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

class QuietServices : public trov::hostsdk::HostServices {
public:
    trov::hostsdk::BoxAnswer messageBox(const char*, const char*, trov::hostsdk::BoxKind) override {
        return trov::hostsdk::BoxAnswer::Cancel;
    }
    bool fileDialog(bool, const char*, const char*, char*, std::size_t, std::int32_t&) override {
        return false;
    }
    bool browseFolder(const char*, char*, std::size_t) override { return false; }
    void requestQuit(std::int32_t) override {}
};

class SilentHost : public trov::hostsdk::ProcessHost {
public:
    double getTempo() override { return 120.0; }
    std::int64_t getPosition() override { return 0; }
    void automationSet(std::int32_t, std::int32_t) override {}
    void automationTouch(std::int32_t) override {}
    void automationRelease(std::int32_t) override {}
};

// Writes a registry store file naming the installation, in the format HostSide.h gives.
void writeMachineStore(const std::string& file, const std::string& install) {
    std::string bytes = "TRRG";
    auto u16 = [&](std::uint16_t v) { bytes.append(reinterpret_cast<const char*>(&v), 2); };
    auto u32 = [&](std::uint32_t v) { bytes.append(reinterpret_cast<const char*>(&v), 4); };
    auto name = [&](const std::string& n) {
        u16(static_cast<std::uint16_t>(n.size()));
        bytes += n;
    };
    auto text = [&](const std::string& key, const std::string& value) {
        name(key);
        u32(1);
        u32(static_cast<std::uint32_t>(value.size() + 1));
        bytes += value;
        bytes += '\0';
    };
    u32(1);
    const char* levels[] = {"", "Software", "Trovato", "Corvale Test"};
    for (int level = 0; level < 4; ++level) {
        name(levels[level]);
        if (level < 3) {
            u32(0);
            u32(1);
        }
    }
    u32(3);
    text("InstallPath", install);
    text("ResourcesXmlFile", "resources.xml");
    text("SettingsXmlFile", "specification.xml");
    u32(0);
    std::ofstream(file, std::ios::binary) << bytes;
}

struct Module {
    Module() {
        std::string pattern = (std::filesystem::temp_directory_path() / "trov-chunk-fuzz-XXXXXX").string();
        check(::mkdtemp(pattern.data()) != nullptr);
        folder = pattern;
        const std::string install =
            (std::filesystem::path(TROV_SOURCE_DIR) / "tests" / "hostproduct" / "data").string();
        writeMachineStore(folder + "/machine.reg", install);
        ::setenv("TROV_MACHINE_REGISTRY", (folder + "/machine.reg").c_str(), 1);
        ::setenv("TROV_USER_REGISTRY", (folder + "/user.reg").c_str(), 1);
        ::setenv("XDG_STATE_HOME", (folder + "/state").c_str(), 1);
        TrovSetHostServices(&services);
        group = NewPlugIn();
        check(group != nullptr && group->getTypeCount() > 0);
        process = group->createProcess(0, &host);
        check(process != nullptr && process->initialize() == trov::hostsdk::kResultOk);
        process->connect(trov::hostsdk::ConnectInfo());
    }
    ~Module() {
        process->release();
        group->release();
        TrovSetHostServices(nullptr);
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
    std::vector<std::uint8_t> chunk() {
        std::int32_t size = 0;
        check(process->getChunkSize(trov::hostsdk::kStateChunkId, size) == trov::hostsdk::kResultOk);
        check(size >= trov::hostsdk::kChunkHeaderSize);
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
        check(process->getChunk(trov::hostsdk::kStateChunkId, bytes.data(), size) ==
              trov::hostsdk::kResultOk);
        return bytes;
    }

    std::string folder;
    QuietServices services;
    SilentHost host;
    trov::hostsdk::PlugInGroup* group = nullptr;
    trov::hostsdk::Process* process = nullptr;
};

void putWord(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
    std::memcpy(bytes.data() + at, &value, 4);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Module module;
    if (size > (1u << 20))
        return 0;
    std::vector<std::uint8_t> bytes(data, data + size);
    const auto length = static_cast<std::int32_t>(bytes.size());
    bool equal = false;
    if (!bytes.empty()) {
        module.process->setChunk(trov::hostsdk::kStateChunkId, bytes.data(), length);
        module.process->compareChunk(bytes.data(), length, equal);
    }
    // The same text behind a header this product takes.
    std::vector<std::uint8_t> accepted(static_cast<std::size_t>(trov::hostsdk::kChunkHeaderSize), 0);
    accepted.insert(accepted.end(), bytes.begin(), bytes.end());
    putWord(accepted, 0, static_cast<std::uint32_t>(accepted.size()));
    putWord(accepted, 4, 1);
    putWord(accepted, 12, 0x43765473);
    putWord(accepted, 20, trov::hostsdk::kStateChunkId);
    module.process->setChunk(trov::hostsdk::kStateChunkId, accepted.data(),
                             static_cast<std::int32_t>(accepted.size()));
    const std::vector<std::uint8_t> state = module.chunk();
    equal = false;
    module.process->compareChunk(state.data(), static_cast<std::int32_t>(state.size()), equal);
    check(equal);
    std::int32_t changes = 0;
    module.process->getChangeCounter(changes);
    module.process->setChunk(trov::hostsdk::kStateChunkId, state.data(),
                             static_cast<std::int32_t>(state.size()));
    std::int32_t after = 0;
    module.process->getChangeCounter(after);
    check(after == changes + 1);
    return 0;
}
