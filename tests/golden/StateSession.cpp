// A test-only host of the module for state that outlives a process: one run takes an instance's state
// chunk, another sets it into an instance of its own, as a host project is saved and reopened.
//
//   corvale-state-session save MODULE BANK CHUNK        drops BANK on a fresh instance, writes its chunk to
//                                                       CHUNK
//   corvale-state-session open MODULE CHUNK [BACK]      sets CHUNK into a fresh instance (and writes the
//                                                       chunk it then gives to BACK)
//
// Either then plays key 60 for half a second and prints "peak P rms R" of what it heard on stdout, then
// "shown: " and each message the module showed while loading, one a line. Failures end with one line on
// stderr and status 1.
#include "hostapp/HostedProcess.h"
#include "hostapp/ModuleLoader.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using namespace trov::hostsdk;
using corvale::hostapp::HeadlessServices;
using corvale::hostapp::HostedProcess;
using corvale::hostapp::LoadedModule;

constexpr std::int32_t kRate = 44100;
constexpr std::int32_t kBlock = 512;

int fail(const std::string& line) {
    std::fprintf(stderr, "corvale-state-session: %s\n", line.c_str());
    return 1;
}

// Releases the process before the module goes.
struct ProcessGuard {
    Process* process = nullptr;
    ~ProcessGuard() {
        if (process != nullptr)
            process->release();
    }
};

bool saveChunk(Process& process, const std::string& path) {
    std::int32_t size = 0;
    if (process.getChunkSize(kStateChunkId, size) != kResultOk || size < kChunkHeaderSize)
        return false;
    std::vector<std::uint8_t> chunk(static_cast<std::size_t>(size));
    if (process.getChunk(kStateChunkId, chunk.data(), size) != kResultOk)
        return false;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(chunk.data()), size);
    return static_cast<bool>(out);
}

bool openChunk(Process& process, const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<std::uint8_t> chunk((std::istreambuf_iterator<char>(in)),
                                          std::istreambuf_iterator<char>());
    return !chunk.empty() && process.setChunk(kStateChunkId, chunk.data(),
                                              static_cast<std::int32_t>(chunk.size())) == kResultOk;
}

int run(const std::string& command, const std::string& modulePath, const std::string& input,
        const std::string& chunkPath, const std::string& backPath = std::string()) {
    HeadlessServices services;
    LoadedModule module;
    std::string error;
    if (!module.load(modulePath, services, error))
        return fail(error);
    PlugInGroup& group = *module.group();
    if (const std::string reason = corvale::hostapp::startFailure(group, services); !reason.empty())
        return fail("the module did not start: " + reason);
    const std::int32_t type = corvale::hostapp::chooseRenderType(group);
    EffectTypeInfo info;
    if (type < 0 || !group.getTypeInfo(type, info))
        return fail("the module declares no type with an audio output");
    HostedProcess host;
    ProcessGuard guard{group.createProcess(type, &host)};
    if (guard.process == nullptr || guard.process->initialize() != kResultOk)
        return fail("the instance did not start");
    Process& process = *guard.process;
    process.setSampleRate(kRate);
    ConnectInfo connect;
    connect.inputStem = info.inputStem;
    connect.outputStem = info.outputStem;
    connect.maxBlockSize = kBlock;
    if (process.connect(connect) != kResultOk)
        return fail("the instance refused the connection");

    if (command == "save") {
        bool accepted = false;
        process.dragItem(0, input.c_str(), accepted);
        if (!accepted || process.drop(0, 0) != kResultOk)
            return fail("the instance did not take " + input);
        if (!saveChunk(process, chunkPath))
            return fail("cannot write the state chunk to " + chunkPath);
    } else if (!openChunk(process, chunkPath)) {
        return fail("the instance did not take the state chunk " + chunkPath);
    } else if (!backPath.empty() && !saveChunk(process, backPath)) {
        return fail("cannot write the state chunk to " + backPath);
    }
    const std::vector<std::string> shown = services.takeMessages();

    const int inputs = corvale::hostapp::channelsOfStem(info.inputStem);
    const int outputs = corvale::hostapp::channelsOfStem(info.outputStem);
    std::vector<std::vector<float>> buffers(static_cast<std::size_t>(inputs + outputs),
                                            std::vector<float>(kBlock, 0.0f));
    std::vector<float*> in;
    std::vector<float*> out;
    for (int c = 0; c < inputs + outputs; ++c)
        (c < inputs ? in : out).push_back(buffers[static_cast<std::size_t>(c)].data());
    process.deliverMidi(0x90, 60, 100);
    double peak = 0.0;
    double energy = 0.0;
    std::int64_t values = 0;
    for (std::int32_t done = 0; done < kRate / 2; done += kBlock) {
        for (int c = 0; c < inputs; ++c)
            std::fill(buffers[static_cast<std::size_t>(c)].begin(),
                      buffers[static_cast<std::size_t>(c)].end(), 0.0f);
        process.renderAudio(in.data(), out.data(), kBlock);
        for (float* channel : out)
            for (std::int32_t i = 0; i < kBlock; ++i) {
                peak = std::max(peak, static_cast<double>(std::fabs(channel[i])));
                energy += static_cast<double>(channel[i]) * channel[i];
                ++values;
            }
    }
    process.deliverMidi(0x80, 60, 0);
    std::printf("peak %.9g rms %.9g\n", peak,
                values > 0 ? std::sqrt(energy / static_cast<double>(values)) : 0.0);
    for (const std::string& message : shown)
        std::printf("shown: %s\n", message.c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    if (arguments.size() == 4 && arguments[0] == "save")
        return run("save", arguments[1], arguments[2], arguments[3]);
    if ((arguments.size() == 3 || arguments.size() == 4) && arguments[0] == "open")
        return run("open", arguments[1], std::string(), arguments[2],
                   arguments.size() == 4 ? arguments[3] : std::string());
    std::fprintf(stderr, "usage: corvale-state-session save MODULE BANK CHUNK | open MODULE CHUNK [BACK]\n");
    return 2;
}
