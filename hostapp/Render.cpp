#include "hostapp/Render.h"

#include "hostapp/HostedProcess.h"
#include "hostapp/MidiFile.h"
#include "hostapp/MidiSchedule.h"
#include "hostapp/ModuleLoader.h"
#include "hostapp/ModuleStartup.h"
#include "hostapp/RenderLoop.h"
#include "hostapp/ViewImage.h"
#include "hostapp/WavWriter.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace corvale::hostapp {

namespace {

using Clock = std::chrono::steady_clock;

// Releases the process before the module goes.
struct ProcessGuard {
    trov::hostsdk::Process* process = nullptr;
    ~ProcessGuard() {
        if (process != nullptr)
            process->release();
    }
};

// "\r" progress on err, first after a second of rendering, then four times a second.
class ProgressLine {
public:
    ProgressLine(std::ostream& err, bool quiet, std::int64_t total, std::uint32_t rate, std::uint32_t seed)
        : err_(err), quiet_(quiet), total_(total), rate_(rate), seed_(seed), start_(Clock::now()),
          next_(start_) {
        next_ += std::chrono::seconds(1);
    }
    void update(std::int64_t done) {
        if (quiet_ || total_ <= 0)
            return;
        const Clock::time_point now = Clock::now();
        if (now < next_)
            return;
        next_ = now + std::chrono::milliseconds(250);
        char line[128];
        std::snprintf(line, sizeof line, "\rrendering with seed %u: %3d%% (%.1f s of %.1f s)", seed_,
                      static_cast<int>(done * 100 / total_), static_cast<double>(done) / rate_,
                      static_cast<double>(total_) / rate_);
        err_ << line << std::flush;
        shown_ = true;
    }
    void finish() {
        if (shown_)
            err_ << "\n" << std::flush;
        shown_ = false;
    }
    double seconds() const { return std::chrono::duration<double>(Clock::now() - start_).count(); }

private:
    std::ostream& err_;
    bool quiet_;
    std::int64_t total_;
    std::uint32_t rate_;
    std::uint32_t seed_;
    Clock::time_point start_;
    Clock::time_point next_;
    bool shown_ = false;
};

// Below the least step of 24-bit audio (-144 dBFS): an output that never reaches it is silent.
constexpr float kSilentLevel = 1.0f / 16777216.0f;

bool startsANote(const MidiSchedule& schedule, std::int64_t total) {
    return std::any_of(schedule.events.begin(), schedule.events.end(), [total](const TimedMidiEvent& event) {
        return (event.status & 0xF0) == 0x90 && event.data2 > 0 && event.frame < total;
    });
}

// Why a render came out silent, most likely first.
std::string silenceCause(const Options& options, const MidiSchedule& schedule, std::int64_t total,
                         const std::string& log) {
    if (!startsANote(schedule, total))
        return options.input + " starts no note";
    if (options.load.empty())
        return "no samples are loaded (the instrument plays only samples: give a bank or a sample file with "
               "--load)";
    const std::string named =
        log.empty() ? std::string() : "; the module's log " + log + " names the ones it skipped";
    return options.load +
           " gave it nothing to play (a bank whose sample files are missing loads without them" + named + ")";
}

} // namespace

int runRender(const Options& options, std::ostream& out, std::ostream& err) {
    const auto fail = [&err](const std::string& line) {
        err << "corvale-host: " << line << std::endl;
        return 1;
    };

    MidiFile file;
    MidiFileError midiError;
    if (!MidiFileReader::load(options.input, file, midiError))
        return fail(options.input + ": " + midiError.describe());
    const MidiSchedule schedule = scheduleMidiFile(file, options.sampleRate);
    if (static_cast<double>(schedule.endFrame) > kMaxRenderSeconds * options.sampleRate)
        return fail(options.input + ": the music lasts longer than the limit of 4 hours");
    const std::int64_t total =
        schedule.endFrame + static_cast<std::int64_t>(std::llround(options.tailSeconds * options.sampleRate));

    if (!options.load.empty() && !std::ifstream(options.load, std::ios::binary))
        return fail("cannot read " + options.load + ": " + std::strerror(errno));

    // The output is named before the module loads: a module may change the current folder while it
    // opens files, and a relative name would then point elsewhere.
    std::error_code unresolved;
    const std::string outputPath = std::filesystem::absolute(options.output, unresolved).string();

    // Settled before the module loads, and kept until it is unloaded.
    ModuleStartup startup;
    std::string error;
    if (!startup.prepare(options, error))
        return fail(error);
    HeadlessServices services;
    LoadedModule module;
    if (!module.load(options.module, services, error))
        return fail(error);
    trov::hostsdk::PlugInGroup& group = *module.group();
    if (const std::string reason = startFailure(group, services); !reason.empty())
        return fail("module " + options.module + " did not start: " + reason);

    const std::int32_t type = chooseRenderType(group);
    trov::hostsdk::EffectTypeInfo info;
    if (type < 0 || !group.getTypeInfo(type, info))
        return fail("module " + options.module + " declares no effect type with an audio output");
    HostedProcess host;
    ProcessGuard guard{group.createProcess(type, &host)};
    if (guard.process == nullptr)
        return fail("module " + options.module + " did not start: it made no process");
    trov::hostsdk::Process& process = *guard.process;
    if (process.initialize() != trov::hostsdk::kResultOk) {
        const std::string shown = reasonLine(services.takeMessages());
        return fail("module " + options.module + " did not start: the instance failed to initialise" +
                    (shown.empty() ? " (see its log)" : ": " + shown));
    }
    services.takeMessages();
    process.setSampleRate(static_cast<std::int32_t>(options.sampleRate));
    trov::hostsdk::ConnectInfo connect;
    connect.inputStem = info.inputStem;
    connect.outputStem = info.outputStem;
    connect.maxBlockSize = options.blockSize;
    if (process.connect(connect) != trov::hostsdk::kResultOk)
        return fail("module " + options.module + " did not start: it refused the connection");

    if (!options.load.empty()) {
        // The bank or patch reaches the instance as a file dragged and dropped on it, by its absolute
        // path: the instance makes the file's folder the current one before it reads the file.
        std::error_code ignored;
        const std::string dropPath = std::filesystem::absolute(options.load, ignored).string();
        bool accepted = false;
        process.dragItem(0, dropPath.c_str(), accepted);
        if (!accepted)
            return fail("cannot load " + options.load + ": the module does not take dropped files");
        // The drop's answer decides: the change counter does not tell (a placed sample is no change of
        // state), and a file that is taken may still have shown a message.
        const std::int32_t dropped = process.drop(0, 0);
        const std::string shown = reasonLine(services.takeMessages());
        if (dropped != trov::hostsdk::kResultOk || services.quitRequested()) {
            if (!shown.empty())
                return fail("cannot load " + options.load + ": the module refused it: " + shown);
            const std::string log = moduleLogPath(group);
            return fail("cannot load " + options.load + ": the module refused it without saying why" +
                        (log.empty() ? std::string() : " (its log: " + log + ")"));
        }
        if (!shown.empty())
            err << "corvale-host: " << options.load << ": the module said: " << shown << std::endl;
    }

    WavWriter writer;
    const RenderLayout layout{channelsOfStem(info.inputStem), channelsOfStem(info.outputStem),
                              options.blockSize};
    if (!writer.open(outputPath.empty() ? options.output : outputPath, layout.outputChannels,
                     options.sampleRate, total, error))
        return fail(error);

    float peak = 0.0f;
    ProgressLine progress(err, options.quiet, total, options.sampleRate, startup.seed());
    const std::int64_t idleEvery = options.sampleRate / 20; // the host's idle about every 50 ms of music
    std::int64_t nextIdle = idleEvery;
    const bool rendered = renderSchedule(
        process, schedule, total, layout,
        [&](const float* const* outputs, std::int32_t frames, std::string& reason) {
            for (int channel = 0; channel < layout.outputChannels; ++channel)
                for (std::int32_t frame = 0; frame < frames; ++frame)
                    peak = std::max(peak, std::fabs(outputs[channel][frame]));
            return writer.write(outputs, frames, reason);
        },
        [&](std::int64_t done) {
            host.setPosition(done);
            if (done >= nextIdle) {
                nextIdle = done + idleEvery;
                group.idle();
                process.idle();
            }
            progress.update(done);
        },
        error);
    progress.finish();
    if (!rendered || !writer.close(error))
        return fail(error);
    if (services.quitRequested())
        return fail("module " + options.module +
                    " asked to quit while rendering: " + reasonLine(services.takeMessages()));

    if (!options.view.empty() && !writeViewImage(module, process, options.view, error))
        return fail("cannot write the view to " + options.view + ": " + error);

    // The render stands (its status is unchanged), but a silent file is worth a word on why.
    if (!(peak >= kSilentLevel))
        err << "corvale-host: " << options.output
            << " is entirely silent: " << silenceCause(options, schedule, total, moduleLogPath(group))
            << std::endl;

    if (!options.quiet) {
        char line[192];
        const double seconds = static_cast<double>(total) / options.sampleRate;
        const double wall = progress.seconds();
        std::snprintf(line, sizeof line,
                      "%d channel(s), %u Hz, %lld frames (%.2f s), seed %u, %.1fx real time",
                      layout.outputChannels, options.sampleRate, static_cast<long long>(total), seconds,
                      startup.seed(), wall > 0.0 ? seconds / wall : 0.0);
        out << "wrote " << options.output << ": " << line << std::endl;
    }
    return 0;
}

} // namespace corvale::hostapp
