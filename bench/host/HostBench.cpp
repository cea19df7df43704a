// The host's entries into a process of the test module.
//
// BM_RenderEntry: one block through the render entry (stereo in and out, the tone engine playing three
// keys) at 32, 64 and 512 frames; BM_ClearOnly clears the same two output buffers: the floor any block
// costs. Counters: budget_pct (time per block as a percentage of its real-time budget at 44.1 kHz) and
// allocs (allocations per block; goal 0).
//
// BM_ChunkSize, BM_ChunkGet, BM_ChunkCompare: the state chunk's size request, size plus get, and compare
// of the current state, as a host does when it saves or checks for unsaved changes.

#include "framework/Preferences.h"
#include "platform/hostsdk/HostSide.h"
#include "support/AllocationCounter.h"
#include "support/FileTestFolder.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using namespace trov;

class SilentHost : public hostsdk::ProcessHost {
public:
    double getTempo() override { return 120.0; }
    std::int64_t getPosition() override { return 0; }
    void automationSet(std::int32_t, std::int32_t) override {}
    void automationTouch(std::int32_t) override {}
    void automationRelease(std::int32_t) override {}
};

// One connected process of the module's stereo type, for the whole program.
struct Session {
    Session() {
        ::setenv("XDG_STATE_HOME", (files / "state").c_str(), 1);
        Preferences machine(platform::RegistryRoot::Machine, "Software\\Trovato\\Corvale Test");
        machine.setString(
            "InstallPath",
            (std::filesystem::path(TROV_SOURCE_DIR) / "tests" / "hostproduct" / "data").string());
        machine.setString("ResourcesXmlFile", "resources.xml");
        machine.setString("SettingsXmlFile", "specification.xml");
        group = NewPlugIn();
        process = group->createProcess(0, &host);
        process->initialize();
        hostsdk::ConnectInfo how;
        how.maxBlockSize = 512;
        process->connect(how);
        process->setSampleRate(44100);
        for (const std::uint8_t key : {60, 64, 67})
            process->deliverMidi(0x90, key, 100);
    }
    ~Session() {
        process->release();
        group->release();
    }
    static Session& instance() {
        static Session session;
        return session;
    }

    test::FileTestFolder files;
    SilentHost host;
    hostsdk::PlugInGroup* group = nullptr;
    hostsdk::Process* process = nullptr;
};

struct Buffers {
    std::vector<float> in[2] = {std::vector<float>(512), std::vector<float>(512)};
    std::vector<float> out[2] = {std::vector<float>(512), std::vector<float>(512)};
    float* inputs[2] = {in[0].data(), in[1].data()};
    float* outputs[2] = {out[0].data(), out[1].data()};
};

using Clock = std::chrono::steady_clock;

void report(benchmark::State& state, Clock::time_point start, int frames, std::uint64_t allocations) {
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const double budget = frames / 44100.0;
    const double iterations = static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
    state.counters["budget_pct"] = seconds / iterations / budget * 100.0;
    state.counters["allocs"] = static_cast<double>(allocations) / iterations;
}

void BM_RenderEntry(benchmark::State& state) {
    Session& session = Session::instance();
    Buffers buffers;
    const auto frames = static_cast<std::int32_t>(state.range(0));
    session.process->renderAudio(buffers.inputs, buffers.outputs, frames);
    const std::uint64_t before = test::allocationsOnThisThread();
    const Clock::time_point start = Clock::now();
    for (auto _ : state) {
        session.process->renderAudio(buffers.inputs, buffers.outputs, frames);
        benchmark::DoNotOptimize(buffers.out[0].data());
    }
    report(state, start, frames, test::allocationsOnThisThread() - before);
}
BENCHMARK(BM_RenderEntry)->Arg(32)->Arg(64)->Arg(512);

void BM_ClearOnly(benchmark::State& state) {
    Buffers buffers;
    const auto frames = static_cast<std::size_t>(state.range(0));
    const Clock::time_point start = Clock::now();
    for (auto _ : state) {
        std::memset(buffers.outputs[0], 0, frames * sizeof(float));
        std::memset(buffers.outputs[1], 0, frames * sizeof(float));
        benchmark::ClobberMemory();
    }
    report(state, start, static_cast<int>(frames), 0);
}
BENCHMARK(BM_ClearOnly)->Arg(32)->Arg(64)->Arg(512);

void BM_ChunkSize(benchmark::State& state) {
    Session& session = Session::instance();
    std::int32_t size = 0;
    for (auto _ : state)
        session.process->getChunkSize(hostsdk::kStateChunkId, size);
    state.counters["bytes"] = size;
}
BENCHMARK(BM_ChunkSize);

void BM_ChunkGet(benchmark::State& state) {
    Session& session = Session::instance();
    std::vector<std::uint8_t> chunk;
    for (auto _ : state) {
        std::int32_t size = 0;
        session.process->getChunkSize(hostsdk::kStateChunkId, size);
        chunk.resize(static_cast<std::size_t>(size));
        session.process->getChunk(hostsdk::kStateChunkId, chunk.data(), size);
    }
}
BENCHMARK(BM_ChunkGet);

void BM_ChunkCompare(benchmark::State& state) {
    Session& session = Session::instance();
    std::int32_t size = 0;
    session.process->getChunkSize(hostsdk::kStateChunkId, size);
    std::vector<std::uint8_t> chunk(static_cast<std::size_t>(size));
    session.process->getChunk(hostsdk::kStateChunkId, chunk.data(), size);
    bool equal = false;
    for (auto _ : state)
        session.process->compareChunk(chunk.data(), size, equal);
    if (!equal)
        state.SkipWithError("the state compared unequal to itself");
}
BENCHMARK(BM_ChunkCompare);

} // namespace
