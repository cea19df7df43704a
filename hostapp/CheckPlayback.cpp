#include "hostapp/CheckSession.h"
#include "hostapp/FileChecks.h"

#include <sndfile.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

namespace corvale::hostapp {

using namespace trov::hostsdk;

namespace {

// What the instrument's voice passes of a sample's level with its default settings: from about 0.6 of a
// full-scale sample (its filter's last stage clips) to about 1.05 of a quiet one (the input curve lifts
// it). A note may sound this far from the middle of that span.
constexpr double kChainGain = 0.8;
constexpr double kLevelToleranceDb = 4.0;
// -40 dBFS: above any click or filter residue of a voice that plays nothing.
constexpr float kAudible = 0.01f;

// The largest absolute value of a sample file's first channel; -1 when libsndfile cannot read it (it is no
// sample file, or a kind the module reads itself, such as WavPack).
double samplePeak(const std::string& path) {
    SF_INFO info = {};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr)
        return -1.0;
    double peak = 0.0;
    std::vector<float> frames(4096 * static_cast<std::size_t>(std::max(info.channels, 1)));
    for (sf_count_t read; (read = sf_readf_float(file, frames.data(), 4096)) > 0;)
        for (sf_count_t f = 0; f < read; ++f)
            peak = std::max(
                peak, std::fabs(static_cast<double>(frames[static_cast<std::size_t>(f * info.channels)])));
    sf_close(file);
    return peak;
}

} // namespace

Problems checkNoteSounds(CheckSession& session) {
    Problems problems;
    const std::vector<CheckInstance*> found = session.renderInstances();
    if (!problems.expect(!found.empty(), "no instance of the render type"))
        return problems;
    CheckInstance& instance = *found.front();
    if (!problems.expect(instance.process->hasMidiInput(), "the instance has no MIDI input"))
        return problems;
    for (const std::string& load : session.loadPaths) {
        if (const std::string problem = loadProblem(load); !problem.empty()) {
            problems.add(problem);
            return problems;
        }
        bool accepted = false;
        instance.process->dragItem(0, load.c_str(), accepted);
        if (!problems.expect(accepted, "the instance does not take the dropped " + load))
            return problems;
        // A file taken may still show a message: not the note's to judge, and cleared before the next check.
        if (instance.process->drop(0, 0) != kResultOk) {
            const std::string shown = reasonLine(session.services.takeMessages());
            problems.add("cannot load " + load + ": " +
                         (shown.empty() ? unexplainedRefusal(load, moduleLogPath(session.group()))
                                        : "the module refused it: " + shown));
            return problems;
        }
    }
    instance.process->deliverMidi(0x90, 60, 127);
    const float onset = renderPeak(instance, kCheckRate / 20, 256);
    const float peak = renderPeak(instance, kCheckRate / 4, 256);
    instance.process->deliverMidi(0x80, 60, 0);
    renderPeak(instance, kCheckRate / 10, 256);
    if (!problems.expect(onset >= 0.0f && peak >= 0.0f, "the output is not finite"))
        return problems;
    // A dropped sample file (the one file given besides tunings) says how loud its note should be: its own
    // peak through the voice at its default settings, within a few decibels. Without one, a note must at
    // least be clearly audible, not a click's residue.
    std::vector<std::string> withSamples;
    for (const std::string& load : session.loadPaths)
        if (!isTuningFile(load))
            withSamples.push_back(load);
    const double filePeak = withSamples.size() == 1 ? samplePeak(withSamples.front()) : -1.0;
    const std::string level = std::to_string(20.0 * std::log10(std::max(peak, 1e-9f))) + " dBFS";
    if (filePeak > 0.0) {
        const double expected = filePeak * kChainGain;
        const double off = 20.0 * std::log10(std::max(static_cast<double>(peak), 1e-9) / expected);
        problems.expect(std::fabs(off) <= kLevelToleranceDb,
                        "a note of the dropped sample sounds at " + level + ", " + std::to_string(off) +
                            " dB from the " + std::to_string(20.0 * std::log10(expected)) +
                            " dBFS its sample predicts");
    } else if (withSamples.empty() && !(peak > kAudible)) {
        // Silent with nothing loaded is what an instrument without samples does: not a fault to report.
        problems.skip("the note was silent and nothing with samples was loaded (the instrument plays only "
                      "samples: give a bank or a sample file with --load)");
    } else {
        problems.expect(peak > kAudible, "a note-on gave no clear sound (" + level + ")");
    }
    return problems;
}

Problems checkConcurrentRender(CheckSession& session) {
    Problems problems;
    const std::vector<CheckInstance*> found = session.renderInstances();
    if (!problems.expect(!found.empty(), "no instance of the render type"))
        return problems;
    CheckInstance& instance = *found.front();
    Process& process = *instance.process;
    const std::int32_t controls = process.getControlCount();

    // Everything random is drawn here, on this thread, before the others start.
    constexpr int kBlocks = 400;
    std::vector<std::int32_t> sizes(kBlocks);
    std::uniform_int_distribution<std::int32_t> oddSize(0, 255);
    for (std::int32_t& size : sizes)
        size = 2 * oddSize(session.random) + 1; // 1 to 511
    struct Note {
        std::uint8_t key;
        std::uint8_t velocity;
    };
    std::vector<Note> notes(64);
    std::uniform_int_distribution<int> key(36, 84);
    std::uniform_int_distribution<int> velocity(1, 127);
    for (Note& note : notes)
        note = {static_cast<std::uint8_t>(key(session.random)),
                static_cast<std::uint8_t>(velocity(session.random))};

    const int inputs = channelsOfStem(instance.type.inputStem);
    const int outputs = channelsOfStem(instance.type.outputStem);
    std::atomic<bool> audioDone{false};
    std::atomic<bool> finite{true};
    std::atomic<int> blocksRendered{0};
    std::atomic<int> midiSent{0};

    std::thread audio([&] {
        std::vector<std::vector<float>> buffers(static_cast<std::size_t>(inputs + outputs),
                                                std::vector<float>(512, 0.0f));
        std::vector<float*> pointers;
        for (auto& buffer : buffers)
            pointers.push_back(buffer.data());
        for (const std::int32_t size : sizes) {
            process.renderAudio(pointers.data(), pointers.data() + inputs, size);
            for (int i = 0; i < outputs; ++i)
                for (std::int32_t f = 0; f < size; ++f)
                    if (!std::isfinite(pointers[inputs + i][f]))
                        finite.store(false);
            blocksRendered.fetch_add(1);
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
        audioDone.store(true);
    });
    std::thread midi([&] {
        for (std::size_t i = 0; !audioDone.load(); i = (i + 1) % notes.size()) {
            process.deliverMidi(0x90, notes[i].key, notes[i].velocity);
            std::this_thread::sleep_for(std::chrono::microseconds(200));
            process.deliverMidi(0x80, notes[i].key, 0);
            midiSent.fetch_add(2);
        }
    });
    // This thread is the host's user-interface thread: automation and idle.
    std::int32_t changesBefore = 0;
    process.getChangeCounter(changesBefore);
    int sets = 0;
    std::uniform_int_distribution<std::int32_t> control(1, std::max(controls, 1));
    std::uniform_int_distribution<std::int32_t> value(INT32_MIN, INT32_MAX);
    while (!audioDone.load()) {
        if (controls > 0) {
            process.setControlValue(control(session.random), value(session.random));
            ++sets;
        }
        session.group().idle();
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    audio.join();
    midi.join();
    for (const Note& note : notes)
        process.deliverMidi(0x80, note.key, 0);

    std::int32_t changesAfter = 0;
    process.getChangeCounter(changesAfter);
    problems.expect(finite.load(), "the output was not finite");
    problems.expect(blocksRendered.load() == kBlocks, "not every block was rendered");
    problems.expect(midiSent.load() > 0, "no MIDI was delivered during the render");
    problems.expect(changesAfter >= changesBefore + sets, "the automation's changes were not all counted");
    problems.expect(instance.host.takeAutomation().empty(), "host automation came back as automation");
    return problems;
}

} // namespace corvale::hostapp
