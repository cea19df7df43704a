#include "hostapp/CheckSession.h"
#include "hostapp/FileChecks.h"
#include "hostapp/HostedProcess.h"

#include <sndfile.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace corvale::hostapp {

using namespace trov::hostsdk;

namespace {

// What the instrument's voice makes of a sample's level at its default settings, as measured on sines from
// 20 Hz to 20 kHz (within 2 dB): a quiet sample plays about 1.15 times as loud (the input curve lifts it),
// and the level bends over to about 0.5 for a full-scale sample and anything louder (the input curve and the
// filter's last stage saturate). A note may sound a few decibels from that.
constexpr double kQuietGain = 1.15;
constexpr double kLoudest = 0.5;
constexpr double kLevelToleranceDb = 4.0;
// -34 dBFS: clearly above what a voice that plays nothing gives of itself, its click at the note's onset
// (up to about -40 dBFS) and its noise.
constexpr float kAudible = 0.02f;
// The voice's attack at its default settings (its shortest) rises in a line over these seconds: a sample
// shorter than that ends before its note reaches full level.
constexpr double kAttackSeconds = 0.002;
// How long the note is held and judged.
constexpr double kNoteSeconds = 0.3;
// The voice's last stage, its DC blocker: y = x - x1 + R y1, R = 0.99 at 44100 Hz and the same decay per
// second at every rate. Low notes lose level in it, and a sample that steps overshoots.
constexpr double kBlockerPole = 0.99;
constexpr double kBlockerPoleRate = 44100.0;
// Sample values beyond this are held at it when the module reads them.
constexpr float kSampleValueLimit = 65536.0f;

// How loud a note of a sample file should peak through the voice at its default settings. Both ends are
// finite, 0 for a silent sample.
struct PredictedPeak {
    // From the frames played while the note is held, each as far as the attack has risen by then.
    double lowest = 0.0;
    // From every frame: a loop or another root note may bring any of them into the note.
    double highest = 0.0;
};

// A frame as the module holds it: its channels averaged (each scaled before the sum, as floats), a value
// that is not finite as 0, one beyond the limit held there, and a denormal one as 0 (the render flushes
// denormals to zero).
float heldValue(const float* frame, int channels) {
    const float scale = 1.0f / static_cast<float>(channels);
    float sum = 0.0f;
    for (int c = 0; c < channels; ++c)
        sum += frame[c] * scale;
    if (!std::isfinite(sum) || std::fabs(sum) < std::numeric_limits<float>::min())
        return 0.0f;
    return std::clamp(sum, -kSampleValueLimit, kSampleValueLimit);
}

// The voice's level curve before its DC blocker; odd, so that the blocker sees the signal's sign.
double throughVoice(double value) {
    const double lifted = kQuietGain * value;
    const double squared = lifted * lifted / (kLoudest * kLoudest);
    return lifted / std::sqrt(std::sqrt(1.0 + squared * squared));
}

struct DCBlocker {
    double pole;
    double x1 = 0.0;
    double y1 = 0.0;
    double step(double x) {
        y1 = x - x1 + pole * y1;
        x1 = x;
        return y1;
    }
};

// The prediction for a sample file, frame by frame at the file's rate (its root key plays it at its own
// pitch); false when libsndfile cannot read it (it is no sample file, or a kind the module reads itself, such
// as WavPack).
bool predictNotePeak(const std::string& path, PredictedPeak& predicted) {
    SF_INFO info = {};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr)
        return false;
    const int channels = std::max(info.channels, 1);
    const double rate = std::max(info.samplerate, 1);
    const double attackFrames = std::max(kAttackSeconds * rate, 1.0);
    const double heldFrames = kNoteSeconds * rate;
    DCBlocker held{std::pow(kBlockerPole, kBlockerPoleRate / rate)};
    DCBlocker every = held;
    predicted = {};
    double position = 0.0;
    std::vector<float> frames(4096 * static_cast<std::size_t>(channels));
    for (sf_count_t read; (read = sf_readf_float(file, frames.data(), 4096)) > 0;)
        for (sf_count_t f = 0; f < read; ++f, ++position) {
            const double level =
                throughVoice(heldValue(&frames[static_cast<std::size_t>(f * channels)], channels));
            predicted.highest = std::max(predicted.highest, std::fabs(every.step(level)));
            // The attack follows the input curve: a short sample's level is, if anything, underestimated.
            if (position < heldFrames)
                predicted.lowest = std::max(
                    predicted.lowest, std::fabs(held.step(level * std::min(position / attackFrames, 1.0))));
        }
    sf_close(file);
    return true;
}

// The key a sample file plays at its own pitch when it names no root note.
constexpr int kDefaultRootKey = 60;

std::uint32_t littleEndian(const unsigned char* bytes, int count) {
    std::uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i)
        value = value << 8 | bytes[i];
    return value;
}

// How much of a WAV file its root key's scan reads at once: a walk over many small chunks (a file of zeros is
// empty chunks of 8 bytes each) costs a read per block, not a seek and a read per chunk.
constexpr std::size_t kScanBlock = std::size_t{1} << 16;

// Whether the check can read the audio of the file (libsndfile reads it).
bool readsAudio(const std::string& path) {
    SF_INFO info = {};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file != nullptr)
        sf_close(file);
    return file != nullptr;
}

// Whether the file is a sample file the module plays as one zone: audio libsndfile reads, or WavPack (which
// the module reads itself).
bool isSampleFile(const std::string& path) {
    char head[4] = {};
    return readsAudio(path) ||
           (std::ifstream(path, std::ios::binary).read(head, 4) && std::memcmp(head, "wvpk", 4) == 0);
}

std::string decibels(double level) {
    return std::to_string(20.0 * std::log10(std::max(level, 1e-9)));
}

} // namespace

std::optional<int> ownWavRootKey(std::istream& in) {
    unsigned char header[12] = {};
    if (!in.read(reinterpret_cast<char*>(header), sizeof header) || std::memcmp(header, "RIFF", 4) != 0 ||
        std::memcmp(header + 8, "WAVE", 4) != 0)
        return std::nullopt;
    in.seekg(0, std::ios::end);
    const auto length = static_cast<std::uint64_t>(std::max<std::streamoff>(in.tellg(), 0));
    std::vector<char> block;
    std::uint64_t blockStart = 0;
    // count bytes at position (no more than the file holds after it), read through the block.
    const auto bytesAt = [&](std::uint64_t position, std::size_t count) -> const unsigned char* {
        if (position < blockStart || position + count > blockStart + block.size()) {
            block.resize(static_cast<std::size_t>(std::min<std::uint64_t>(kScanBlock, length - position)));
            blockStart = position;
            in.clear();
            if (!in.seekg(static_cast<std::streamoff>(position)) ||
                !in.read(block.data(), static_cast<std::streamsize>(block.size()))) {
                block.clear();
                return nullptr;
            }
        }
        return reinterpret_cast<const unsigned char*>(block.data()) + (position - blockStart);
    };
    std::uint32_t coding = 0, channels = 0, bits = 0, blockAlign = 0, unity = 0, acidRoot = 0;
    std::uint64_t dataBytes = 0;
    bool format = false;
    for (std::uint64_t position = 12; position + 8 <= length;) {
        const unsigned char* chunk = bytesAt(position, 8);
        if (chunk == nullptr)
            break;
        const std::uint32_t size = littleEndian(chunk + 4, 4);
        // Nothing past the end of the file counts, whatever the chunk says.
        const std::uint64_t body = std::min<std::uint64_t>(size, length - position - 8);
        chunk = bytesAt(position, 8 + static_cast<std::size_t>(std::min<std::uint64_t>(body, 36)));
        if (chunk == nullptr)
            break;
        const unsigned char* field = chunk + 8;
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            const bool extensible = body >= 16 && littleEndian(field, 2) == 0xFFFE;
            if (body >= (extensible ? 26u : 16u)) {
                coding = littleEndian(extensible ? field + 24 : field, 2);
                channels = littleEndian(field + 2, 2);
                blockAlign = littleEndian(field + 12, 2);
                bits = littleEndian(field + 14, 2);
                format = true;
            }
        } else if (std::memcmp(chunk, "smpl", 4) == 0 && body >= 36) {
            unity = littleEndian(field + 12, 4);
        } else if (std::memcmp(chunk, "acid", 4) == 0 && body >= 24) {
            acidRoot = littleEndian(field + 4, 2);
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            dataBytes = body;
        }
        position += 8 + std::uint64_t{size} + (size & 1u);
    }
    const std::uint32_t bytesPerValue = (bits + 7) / 8;
    const bool decoded = format && channels > 0 && bits > 0 &&
                         (coding == 3 ? bytesPerValue == 4 : coding == 1 && bytesPerValue <= 4) &&
                         blockAlign >= channels * bytesPerValue && dataBytes >= blockAlign;
    if (!decoded)
        return std::nullopt;
    const std::uint32_t named = unity != 0 ? unity : acidRoot != 0 ? acidRoot : kDefaultRootKey;
    return static_cast<int>(std::min<std::uint32_t>(named, 127));
}

int sampleRootKey(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (const std::optional<int> key = ownWavRootKey(in))
        return *key;
    SF_INFO info = {};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr)
        return kDefaultRootKey;
    SF_INSTRUMENT instrument = {};
    int key = kDefaultRootKey;
    // As the module reads it: the base note's low byte, signed, held to the keyboard.
    if (sf_command(file, SFC_GET_INSTRUMENT, &instrument, sizeof instrument) == SF_TRUE)
        key = std::clamp<int>(static_cast<signed char>(instrument.basenote), 0, 127);
    sf_close(file);
    return key;
}

bool judgeSampleNote(const std::string& path, float peak, Problems& problems) {
    PredictedPeak predicted;
    if (!predictNotePeak(path, predicted))
        return false;
    // What the voice gives of itself, below audibility, may add to a quiet sample: a silent one's note
    // need only stay below audibility.
    const double tolerance = std::pow(10.0, kLevelToleranceDb / 20.0);
    const bool quiet = peak < predicted.lowest / tolerance;
    const double expected = quiet ? predicted.lowest : predicted.highest;
    problems.expect(!quiet && peak <= predicted.highest * tolerance + kAudible,
                    "a note of the dropped sample sounds at " + decibels(peak) + " dBFS, " +
                        decibels(peak / std::max(expected, 1e-9)) + " dB from the " + decibels(expected) +
                        " dBFS its sample predicts");
    return true;
}

Problems checkNoteSounds(CheckSession& session) {
    Problems problems;
    const std::vector<CheckInstance*> found = session.renderInstances();
    if (!problems.expect(!found.empty(), "no instance of the render type"))
        return problems;
    CheckInstance& instance = *found.front();
    if (!problems.expect(instance.process->hasMidiInput(), "the instance has no MIDI input"))
        return problems;
    // The files whose drop changed the instance's program gave it samples; a tuning, whatever its name,
    // leaves it as it was. A program that cannot be read (the chunk check's to report) counts as changed.
    std::vector<std::string> withSamples;
    std::vector<std::uint8_t> program = programChunk(*instance.process);
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
        std::vector<std::uint8_t> after = programChunk(*instance.process);
        if (after.empty() || after != program)
            withSamples.push_back(load);
        program = std::move(after);
    }
    // A dropped sample file replaces the zone of the one before it over the same keys, so after sample
    // files alone the last one plays. After a bank or patch among them, which zone the note plays cannot be
    // told here: all are taken into account.
    if (std::all_of(withSamples.begin(), withSamples.end(), isSampleFile) && withSamples.size() > 1)
        withSamples.erase(withSamples.begin(), withSamples.end() - 1);
    // The whole note, its onset included: a short sample may end within the first milliseconds. A sample
    // file is played at its root key, where it sounds at its own pitch, as its prediction reads it.
    const auto key = static_cast<std::uint8_t>(withSamples.size() == 1 ? sampleRootKey(withSamples.front())
                                                                       : kDefaultRootKey);
    instance.process->deliverMidi(0x90, key, 127);
    const float peak = renderPeak(instance, static_cast<std::int64_t>(kCheckRate * kNoteSeconds), 256);
    instance.process->deliverMidi(0x80, key, 0);
    renderPeak(instance, kCheckRate / 10, 256);
    if (!problems.expect(peak >= 0.0f, "the output is not finite"))
        return problems;
    // A dropped sample file (the one file that plays) says how loud its note should be. Without one,
    // a note must at least be clearly audible, not a click's residue.
    if (withSamples.size() == 1 && judgeSampleNote(withSamples.front(), peak, problems))
        return problems;
    if (peak > kAudible)
        return problems;
    if (withSamples.empty()) {
        // Silent with nothing loaded is what an instrument without samples does: not a fault to report.
        problems.skip("the note was silent and nothing with samples was loaded (the instrument plays only "
                      "samples: give a bank or a sample file with --load)");
    } else if (std::none_of(withSamples.begin(), withSamples.end(), readsAudio)) {
        // Banks, patches and WavPack files may hold only silence (or denormal values, which play as silence),
        // and the check cannot read their audio to tell.
        std::string named;
        for (const std::string& load : withSamples)
            named += (named.empty() ? "" : ", ") + load;
        problems.skip("the note was silent and the check cannot read the audio of " + named +
                      " (a bank, patch or WavPack file) to tell whether it should sound");
    } else {
        problems.add("a note-on gave no clear sound (" + decibels(peak) + " dBFS)");
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
