#include "hostapp/Render.h"

#include "hostapp/FileChecks.h"
#include "hostapp/HostedProcess.h"
#include "hostapp/MidiFile.h"
#include "hostapp/MidiSchedule.h"
#include "hostapp/ModuleLoader.h"
#include "hostapp/ModuleStartup.h"
#include "hostapp/RenderLoop.h"
#include "hostapp/StopSignals.h"
#include "hostapp/ViewImage.h"
#include "hostapp/WavWriter.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string_view>
#include <unistd.h>
#include <vector>

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

// "\r" progress on err, first after a second of rendering, then four times a second; shown only on a
// terminal (in a file or a pipe the carriage returns are litter).
class ProgressLine {
public:
    ProgressLine(std::ostream& err, bool shown, std::int64_t music, std::uint32_t rate, std::uint32_t seed)
        : err_(err), shown_(shown), music_(music), rate_(rate), seed_(seed), start_(Clock::now()),
          next_(start_) {
        next_ += std::chrono::seconds(1);
    }
    void update(std::int64_t done) {
        if (!shown_)
            return;
        const Clock::time_point now = Clock::now();
        if (now < next_)
            return;
        next_ = now + std::chrono::milliseconds(250);
        char line[160];
        const double seconds = static_cast<double>(done) / rate_;
        const double music = static_cast<double>(music_) / rate_;
        if (done <= music_ && music_ > 0)
            std::snprintf(line, sizeof line, "\rrendering with seed %u: %3d%% (%.1f s of %.1f s)", seed_,
                          static_cast<int>(done * 100 / music_), seconds, music);
        else
            std::snprintf(line, sizeof line, "\rrendering with seed %u: the tail, %.1f s after %.1f s", seed_,
                          seconds - music, music);
        err_ << line << std::flush;
        written_ = true;
    }
    void finish() {
        if (written_)
            err_ << "\n" << std::flush;
        written_ = false;
    }
    double seconds() const { return std::chrono::duration<double>(Clock::now() - start_).count(); }

private:
    std::ostream& err_;
    bool shown_;
    std::int64_t music_;
    std::uint32_t rate_;
    std::uint32_t seed_;
    Clock::time_point start_;
    Clock::time_point next_;
    bool written_ = false;
};

// Below the least step of 24-bit audio (-144 dBFS): an output that never reaches it is silent.
constexpr float kSilentLevel = 1.0f / 16777216.0f;

// The peak of the finite output, that of its frames from closingFrom on, and the values that were not
// finite, a fault of the module.
struct OutputLevels {
    float peak = 0.0f;
    std::int64_t closingFrom = INT64_MAX; // frame
    float closingPeak = 0.0f;
    std::int64_t notFinite = 0;
    std::int64_t firstNotFinite = -1; // frame

    void take(const float* const* outputs, int channels, std::int32_t frames, std::int64_t position) {
        for (int channel = 0; channel < channels; ++channel)
            for (std::int32_t frame = 0; frame < frames; ++frame) {
                const float value = outputs[channel][frame];
                if (std::isfinite(value)) {
                    peak = std::max(peak, std::fabs(value));
                    if (position + frame >= closingFrom)
                        closingPeak = std::max(closingPeak, std::fabs(value));
                    continue;
                }
                ++notFinite;
                if (firstNotFinite < 0 || position + frame < firstNotFinite)
                    firstNotFinite = position + frame;
            }
    }
};

bool startsANote(const MidiSchedule& schedule, std::int64_t total) {
    return std::any_of(schedule.events.begin(), schedule.events.end(), [total](const TimedMidiEvent& event) {
        return (event.status & 0xF0) == 0x90 && event.data2 > 0 && event.frame < total;
    });
}

// The module's master volume when its control ("MasterVolume", after the layer's name when there are
// several) stands at the least of its range, which silences everything: the control's name and its value
// as the module shows it. Empty otherwise.
std::string leastMasterVolume(trov::hostsdk::Process& process) {
    const std::int32_t count = process.getControlCount();
    for (std::int32_t control = 1; control <= count; ++control) {
        char name[64] = {};
        process.getControlName(control, name, sizeof name);
        const std::string_view named = name;
        if (named != "MasterVolume" && !named.ends_with(" MasterVolume"))
            continue;
        std::int32_t value = 0;
        if (process.getControlValue(control, value) != trov::hostsdk::kResultOk || value != INT32_MIN)
            return std::string();
        char text[32] = {};
        process.getControlValueText(control, text, sizeof text);
        return std::string(name) + " shows " + text;
    }
    return std::string();
}

// Why a render came out silent, most likely first. playable: the files whose drop changed the instance's
// program (a tuning leaves it as it was).
std::string silenceCause(const Options& options, const MidiSchedule& schedule, std::int64_t total,
                         trov::hostsdk::Process& process, const std::vector<std::string>& playable,
                         const std::string& log) {
    if (!startsANote(schedule, total))
        return options.input + " starts no note";
    if (const std::string volume = leastMasterVolume(process); !volume.empty())
        return "the module's master volume is 0 (its control " + volume +
               "), as a bank's \"MasterVolume\" of 0 leaves it";
    std::string withSamples;
    for (const std::string& load : playable)
        withSamples += (withSamples.empty() ? "" : ", ") + load;
    if (withSamples.empty())
        return std::string("no samples are loaded (the instrument plays only samples") +
               (options.loads.empty() ? "" : ", and a Scala tuning gives it none") +
               ": give a bank or a sample file with --load)";
    const std::string named =
        log.empty() ? std::string() : "; the module's log " + log + " names the ones it skipped";
    return withSamples +
           " gave it nothing to play (a bank whose sample files are missing, or whose sample data cannot be "
           "read, loads without them" +
           named + ")";
}

// Drops each file on the process in order, by its absolute path: the instance makes the file's folder the
// current one before it reads the file. False with the line to end on when one is refused; what the module
// says of a file it takes goes to err. playable gets the files whose drop changed the instance's program:
// what the module took, whatever the file's name.
bool dropFiles(const Options& options, trov::hostsdk::Process& process, trov::hostsdk::PlugInGroup& group,
               HeadlessServices& services, std::ostream& err, std::vector<std::string>& playable,
               std::string& error) {
    std::vector<std::uint8_t> program = programChunk(process);
    for (const std::string& load : options.loads) {
        std::error_code ignored;
        const std::string dropPath = std::filesystem::absolute(load, ignored).string();
        bool accepted = false;
        process.dragItem(0, dropPath.c_str(), accepted);
        if (!accepted) {
            error = "cannot load " + load + ": the module does not take dropped files";
            return false;
        }
        // The drop's answer decides: the change counter does not tell (a placed sample is no change of
        // state), and a file that is taken may still have shown a message.
        const std::int32_t dropped = process.drop(0, 0);
        const std::string shown = reasonLine(services.takeMessages());
        if (dropped != trov::hostsdk::kResultOk || services.quitRequested()) {
            error = "cannot load " + load + ": " +
                    (shown.empty() ? unexplainedRefusal(load, moduleLogPath(group))
                                   : "the module refused it: " + shown);
            return false;
        }
        if (!shown.empty())
            err << "corvale-host: " << load << ": the module said: " << shown << std::endl;
        std::vector<std::uint8_t> after = programChunk(process);
        if (after != program)
            playable.push_back(load);
        program = std::move(after);
    }
    return true;
}

// The line and status of a render a signal stopped after frames of the music's (both at rate).
int stoppedRender(std::ostream& err, int signal, const std::string& output, std::int64_t frames,
                  std::int64_t music, std::uint32_t rate) {
    char line[160];
    std::snprintf(line, sizeof line, " at %.2f s of the music's %.2f s: ", static_cast<double>(frames) / rate,
                  static_cast<double>(music) / rate);
    err << "corvale-host: stopped by " << StopSignals::name(signal) << line << output << " holds the "
        << frames << " frames rendered" << std::endl;
    return StopSignals::exitStatus(signal);
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
    for (const std::string& load : options.loads)
        if (const std::string problem = loadProblem(load); !problem.empty())
            return fail(problem);

    // Nothing the render reads is written over, nor any file that is not of the output's kind.
    std::vector<std::string> inputs = {options.input};
    inputs.insert(inputs.end(), options.loads.begin(), options.loads.end());
    if (const std::string refusal = overwriteRefusal(options.output, OutputKind::Wav, inputs);
        !refusal.empty())
        return fail(refusal);
    // The render is written beside the output and renamed over it: a folder that cannot take it is found
    // out before the render rather than after it.
    if (const std::string problem = writeProblem(options.output); !problem.empty())
        return fail("cannot write " + options.output + ": " + problem);
    if (!options.view.empty()) {
        if (sameFile(options.view, options.output))
            return fail("will not write " + options.view + ": the picture and the output share its name");
        if (const std::string refusal = overwriteRefusal(options.view, OutputKind::Png, inputs);
            !refusal.empty())
            return fail(refusal);
        // Found out before the render rather than after it.
        if (const std::string problem = writeProblem(options.view); !problem.empty())
            return fail("cannot write the view to " + options.view + ": " + problem);
    }

    // A tail given is exact; otherwise the render ends once the releases have died away, or at the cap.
    const double tail = options.tailSeconds.value_or(kMaxQuietTailSeconds);
    const std::int64_t maxFrames =
        schedule.endFrame + static_cast<std::int64_t>(std::llround(tail * options.sampleRate));
    QuietEnd quiet;
    if (!options.tailSeconds)
        quiet = {kQuietLevel, static_cast<std::int64_t>(std::llround(kQuietSeconds * options.sampleRate))};

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
    for (const std::string& line : startup.setAside())
        err << "corvale-host: " << line << std::endl;
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
    std::vector<std::string> playable;
    if (!dropFiles(options, process, group, services, err, playable, error))
        return fail(error);

    if (const int signal = StopSignals::caught(); signal != 0) {
        err << "corvale-host: stopped by " << StopSignals::name(signal) << " before the render began; "
            << options.output << " was not written" << std::endl;
        return StopSignals::exitStatus(signal);
    }
    WavWriter writer;
    const RenderLayout layout{channelsOfStem(info.inputStem), channelsOfStem(info.outputStem),
                              options.blockSize};
    if (!writer.open(outputPath.empty() ? options.output : outputPath, layout.outputChannels,
                     options.sampleRate, maxFrames, error))
        return fail(error);

    OutputLevels levels;
    // A default tail's last quiet span: still sounding there, the render was cut at the cap.
    if (quiet.frames > 0)
        levels.closingFrom = maxFrames - quiet.frames;
    ProgressLine progress(err, !options.quiet && ::isatty(STDERR_FILENO) == 1, schedule.endFrame,
                          options.sampleRate, startup.seed());
    const std::int64_t idleEvery = options.sampleRate / 20; // the host's idle about every 50 ms of music
    std::int64_t nextIdle = idleEvery;
    const bool rendered = renderSchedule(
        process, schedule, maxFrames, layout,
        [&](const float* const* outputs, std::int32_t frames, std::string& reason) {
            levels.take(outputs, layout.outputChannels, frames, writer.framesWritten());
            // A signal stops the render after the block it came in, keeping the file.
            return writer.write(outputs, frames, reason) && StopSignals::caught() == 0;
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
        error, quiet);
    progress.finish();
    const std::int64_t total = writer.framesWritten();
    const int stopped = StopSignals::caught();
    if ((!rendered && (stopped == 0 || !error.empty())) || !writer.close(error))
        return fail(error);
    if (stopped != 0)
        return stoppedRender(err, stopped, options.output, total, schedule.endFrame, options.sampleRate);
    if (services.quitRequested())
        return fail("module " + options.module +
                    " asked to quit while rendering: " + reasonLine(services.takeMessages()));

    if (!options.view.empty() && !writeViewImage(module, services, process, options.view, error))
        return fail("cannot write the view to " + options.view + ": " + error);

    // The render stands (its status is unchanged), but a silent file is worth a word on why, and so is
    // one the cap cut off while it still sounded.
    if (levels.notFinite == 0 && !(levels.peak >= kSilentLevel))
        err << "corvale-host: " << options.output << " is entirely silent: "
            << silenceCause(options, schedule, total, process, playable, moduleLogPath(group)) << std::endl;
    if (levels.notFinite == 0 && total >= maxFrames && levels.closingPeak >= kQuietLevel) {
        char line[160];
        std::snprintf(line, sizeof line,
                      " was cut at the cap, %.0f s after the last event, still sounding (its last %.1f s "
                      "peak at %.1f dBFS); --tail SECONDS sets the tail",
                      kMaxQuietTailSeconds, kQuietSeconds, 20.0 * std::log10(levels.closingPeak));
        err << "corvale-host: " << options.output << line << std::endl;
    }

    if (!options.quiet) {
        char line[192];
        const double seconds = static_cast<double>(total) / options.sampleRate;
        const double wall = progress.seconds();
        std::snprintf(line, sizeof line,
                      "%d channel(s), %u Hz, %lld frames (%.2f s), seed %u, %.1fx real time",
                      layout.outputChannels, options.sampleRate, static_cast<long long>(total), seconds,
                      startup.seed(), wall > 0.0 ? seconds / wall : 0.0);
        out << "wrote " << options.output << ": " << line;
        // A full event queue drops note-ons: the render is not the whole song.
        if (const std::uint32_t dropped = process.getDroppedNotes(); dropped > 0)
            out << "; the module dropped " << dropped << " note-on(s) (its event queue was full)";
        out << std::endl;
    }
    // The file is kept to look at, but output that is not a number is broken.
    if (levels.notFinite > 0) {
        char at[32];
        std::snprintf(at, sizeof at, "%.3f", static_cast<double>(levels.firstNotFinite) / options.sampleRate);
        return fail(options.output + " holds " + std::to_string(levels.notFinite) +
                    " sample value(s) that are not finite numbers (NaN or infinity), the first at " + at +
                    " s: the module's output is broken");
    }
    return 0;
}

} // namespace corvale::hostapp
