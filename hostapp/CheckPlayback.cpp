#include "hostapp/CheckSession.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>

namespace corvale::hostapp {

using namespace trov::hostsdk;

Problems checkNoteSounds(CheckSession& session) {
    Problems problems;
    const std::vector<CheckInstance*> found = session.renderInstances();
    if (!problems.expect(!found.empty(), "no instance of the render type"))
        return problems;
    CheckInstance& instance = *found.front();
    if (!problems.expect(instance.process->hasMidiInput(), "the instance has no MIDI input"))
        return problems;
    if (!session.loadPath.empty()) {
        bool accepted = false;
        instance.process->dragItem(0, session.loadPath.c_str(), accepted);
        if (!problems.expect(accepted, "the instance does not take the dropped " + session.loadPath) ||
            !problems.expect(instance.process->drop(0, 0) == kResultOk,
                             "the instance refused " + session.loadPath))
            return problems;
    }
    instance.process->deliverMidi(0x90, 60, 100);
    const float peak = renderPeak(instance, kCheckRate / 10, 256);
    instance.process->deliverMidi(0x80, 60, 0);
    renderPeak(instance, kCheckRate / 10, 256);
    problems.expect(peak >= 0.0f, "the output is not finite");
    problems.expect(peak > 1e-4f, "a note-on gave no sound (peak " + std::to_string(peak) + ")");
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
