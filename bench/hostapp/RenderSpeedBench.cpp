// How fast the host program renders through the test module, as a multiple of real time: ten seconds of
// music with a chord change every half second, in the host's blocks of 64 and 512 frames at 48 kHz.
#include "hostapp/HostedProcess.h"
#include "hostapp/MidiSchedule.h"
#include "hostapp/ModuleLoader.h"
#include "hostapp/RegistryFile.h"
#include "hostapp/RenderLoop.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace corvale::hostapp {
namespace {

constexpr std::uint32_t kRate = 48000;
constexpr std::int64_t kSeconds = 10;

[[maybe_unused]] MidiSchedule chordChanges() {
    MidiSchedule schedule;
    const std::uint8_t chords[4][3] = {{48, 55, 64}, {45, 52, 60}, {41, 48, 57}, {43, 50, 59}};
    for (std::int64_t step = 0; step < 2 * kSeconds; ++step) {
        const std::int64_t frame = step * kRate / 2;
        const auto& chord = chords[step % 4];
        if (step > 0)
            for (const std::uint8_t key : chords[(step - 1) % 4])
                schedule.events.push_back({frame, 0x80, key, 0});
        for (const std::uint8_t key : chord)
            schedule.events.push_back({frame, 0x90, key, 100});
    }
    schedule.endFrame = kSeconds * kRate;
    return schedule;
}

void renderSpeed(benchmark::State& state) {
#ifdef CORVALE_TEST_MODULE
    // The installation in a scratch folder, as the module finds it through its registry store.
    std::string scratch = (std::filesystem::temp_directory_path() / "corvale-bench-XXXXXX").string();
    if (::mkdtemp(scratch.data()) == nullptr) {
        state.SkipWithError("no scratch folder");
        return;
    }
    std::string error;
    writeRegistryStore(scratch + "/machine.reg", CORVALE_TEST_MODULE_KEY,
                       {{"InstallPath", CORVALE_TEST_MODULE_DATA},
                        {"ResourcesXmlFile", CORVALE_TEST_MODULE_RESOURCES},
                        {"SettingsXmlFile", CORVALE_TEST_MODULE_SETTINGS}},
                       error);
    ::setenv("TROV_MACHINE_REGISTRY", (scratch + "/machine.reg").c_str(), 1);
    ::setenv("TROV_USER_REGISTRY", (scratch + "/user.reg").c_str(), 1);
    ::setenv("XDG_STATE_HOME", scratch.c_str(), 1);
    {
        HeadlessServices services;
        LoadedModule module;
        if (!module.load(CORVALE_TEST_MODULE, services, error) ||
            !startFailure(*module.group(), services).empty()) {
            state.SkipWithError("the test module did not start");
            return;
        }
        const std::int32_t type = chooseRenderType(*module.group());
        trov::hostsdk::EffectTypeInfo info;
        module.group()->getTypeInfo(type, info);
        HostedProcess host;
        trov::hostsdk::Process* process = module.group()->createProcess(type, &host);
        const auto block = static_cast<std::int32_t>(state.range(0));
        process->initialize();
        process->setSampleRate(kRate);
        process->connect({info.inputStem, info.outputStem, block});
        const MidiSchedule schedule = chordChanges();
        const RenderLayout layout{channelsOfStem(info.inputStem), channelsOfStem(info.outputStem), block};
        for (auto _ : state) {
            std::string reason;
            renderSchedule(
                *process, schedule, schedule.endFrame, layout,
                [](const float* const* outputs, std::int32_t, std::string&) {
                    benchmark::DoNotOptimize(outputs[0][0]);
                    return true;
                },
                nullptr, reason);
        }
        // Seconds of music per second of rendering.
        state.counters["realtime"] = benchmark::Counter(static_cast<double>(kSeconds) * state.iterations(),
                                                        benchmark::Counter::kIsRate);
        process->release();
    }
    std::filesystem::remove_all(scratch);
#else
    state.SkipWithError("the test module is not built");
#endif
}
BENCHMARK(renderSpeed)->Arg(64)->Arg(512)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace corvale::hostapp
