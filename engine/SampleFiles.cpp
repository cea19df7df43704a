// The sample file factory, and the plain sample's reading and writing of sound files through libsndfile.
#include "engine/SampleFiles.h"

#include "engine/Sample.h"
#include "engine/SampleFileSupport.h"
#include "engine/SampleREX.h"
#include "engine/SampleWav.h"
#include "engine/SampleWavpack.h"
#include "framework/File.h"
#include "framework/Logger.h"
#include "framework/System.h"

#include <sndfile.h>

#include <algorithm>
#include <exception>
#include <limits>
#include <vector>

namespace trov {

namespace {

constexpr const char* kSoundFileExtensions = "*.aif;*.aifc;*.aiff;*.au;*.snd;*.wav;";
// Frames read from libsndfile per call while mixing down.
constexpr sf_count_t kFramesPerPiece = 4096;
// libsndfile's file-format subtypes of 8-, 24- and 32-bit files.
constexpr int kSubtypeSigned8 = 1;
constexpr int kSubtypeUnsigned8 = 5;
constexpr int kSubtypeDpcm8 = 0x50;
constexpr int kSubtype24 = 3;
constexpr int kSubtype32 = 4;

int bitDepthOf(int format) {
    switch (format & 0xFFFF) {
    case kSubtypeSigned8:
    case kSubtypeUnsigned8:
    case kSubtypeDpcm8:
        return 8;
    case kSubtype24:
        return 24;
    case kSubtype32:
        return 32;
    default:
        return 16;
    }
}

// Closes the file on early returns; `close` reports how the last close went.
class SoundFile {
public:
    explicit SoundFile(SNDFILE* handle) : handle_(handle) {}
    SoundFile(const SoundFile&) = delete;
    SoundFile& operator=(const SoundFile&) = delete;
    ~SoundFile() { close(); }
    SNDFILE* get() const { return handle_; }
    int close() {
        const int result = handle_ != nullptr ? sf_close(handle_) : 0;
        handle_ = nullptr;
        return result;
    }

private:
    SNDFILE* handle_;
};

// Reads every frame and averages the channels into data; returns the frames read.
sf_count_t readMono(SNDFILE* handle, int channels, sf_count_t frames, float* data) {
    std::vector<float> piece(static_cast<std::size_t>(kFramesPerPiece) * static_cast<std::size_t>(channels));
    const float divisor = static_cast<float>(channels);
    sf_count_t done = 0;
    while (done < frames) {
        const sf_count_t got = sf_readf_float(handle, piece.data(), std::min(kFramesPerPiece, frames - done));
        if (got <= 0)
            break;
        const float* value = piece.data();
        for (sf_count_t i = 0; i < got; ++i) {
            float sum = 0.0f;
            for (int c = 0; c < channels; ++c)
                sum += *value++ / divisor;
            data[done + i] = sum;
        }
        done += got;
    }
    return done;
}

std::int32_t toFrame(unsigned int value) {
    return static_cast<std::int32_t>(std::min<unsigned int>(value, std::numeric_limits<std::int32_t>::max()));
}

enum class Reader { Rex, Wav, SoundFile, Wavpack };

Sample* makeSample(Reader reader, Radio* parent) {
    switch (reader) {
    case Reader::Rex:
        return new SampleREX(parent);
    case Reader::Wav:
        return new SampleWav(parent);
    case Reader::SoundFile:
        return new Sample(parent);
    case Reader::Wavpack:
        return new SampleWavpack(parent);
    }
    return nullptr;
}

constexpr double kFirstTempo = 120.0;

void finishLoading(Reader reader, Sample& sample, const File& file) {
    if (reader != Reader::Wavpack)
        sample.updateSettings();
    if (reader == Reader::Wav || reader == Reader::SoundFile)
        sample.loadSliceFile(file);
    sample.render(kFirstTempo);
}

} // namespace

bool Sample::acceptsFile(const File& file) {
    return extensionInList(file, kSoundFileExtensions);
}

Error Sample::load(const File& file, bool loadData) {
    static const char* const kWhere = "Sample::load";
    if (!file.exists())
        return ErrorImportFailed(kWhere, file);
    SF_INFO format{};
    SoundFile sound(sf_open(file.getPath().c_str(), SFM_READ, &format));
    if (sound.get() == nullptr)
        return ErrorImportFailed(kWhere, file);

    releaseData();
    info_.sampleRate = format.samplerate;
    info_.channels = format.channels;
    if (format.channels <= 0)
        return GeneralError(kWhere, kSampleCorruptText);
    info_.bitDepth = bitDepthOf(format.format);
    if (format.frames < 0 || format.frames >= static_cast<sf_count_t>(kMaxDataValues) - 32)
        return GeneralError(kWhere, kSampleTooLargeText);
    sf_count_t frames = format.frames;
    info_.frames = static_cast<std::int32_t>(frames);

    if (loadData) {
        if (frames == 0)
            return GeneralError(kWhere, kSampleCorruptText);
        float* data = allocateData(static_cast<std::size_t>(frames) + 32);
        if (data == nullptr) {
            releaseData();
            return GeneralError(kWhere, kSampleTooLargeText);
        }
        try {
            // A file shorter than its header says keeps the frames it has.
            frames = readMono(sound.get(), format.channels, frames, data);
        } catch (const std::exception& exception) {
            logLine(3, "caught exception: %s", exception.what());
        }
        if (frames == 0) {
            releaseData();
            return GeneralError(kWhere, kSampleCorruptText);
        }
        info_.frames = static_cast<std::int32_t>(frames);
        info_.channels = 1;
        writeGuard();
    }
    start_ = 0;
    end_ = info_.frames - 1;

    SF_INSTRUMENT instrument{};
    loop_ = {kLoopOff, info_.frames / 2, end_};
    if (sf_command(sound.get(), SFC_GET_INSTRUMENT, &instrument, sizeof instrument) == SF_TRUE) {
        // An instrument chunk without loops leaves the loop off.
        if (instrument.loop_count > 0) {
            const auto& first = instrument.loops[0];
            loop_ = {first.mode == SF_LOOP_NONE ? kLoopOff : kLoopOn, toFrame(first.start),
                     toFrame(first.end)};
            if (getData() != nullptr)
                loop_ = boundedLoop(loop_, info_.frames);
        }
        info_.rootNote = std::clamp<std::int32_t>(static_cast<signed char>(instrument.basenote), 0, 127);
        rootFrequency_ = 0.0f;
    }
    info_.creator.clear();
    info_.comment.clear();
    if (sound.close() != 0)
        return GeneralError(kWhere, "Error closing the input file.");
    return NoError();
}

Error Sample::save(File& file) const {
    static const char* const kWhere = "Sample::save";
    const int channels = std::max(info_.channels, 1);
    const sf_count_t frames = static_cast<sf_count_t>(heldValueCount() / static_cast<std::size_t>(channels));
    SF_INFO format{};
    format.frames = frames;
    format.samplerate = info_.sampleRate;
    format.channels = channels;
    format.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SoundFile sound(sf_open(file.getPath().c_str(), SFM_WRITE, &format));
    if (sound.get() == nullptr)
        return ErrorExportFailed(kWhere, file);
    const sf_count_t written = frames > 0 ? sf_writef_float(sound.get(), getData(), frames) : 0;
    if (sound.close() != 0 || written != frames)
        return ErrorExportFailed(kWhere, file);
    return NoError();
}

bool canLoadSampleFile(const File& file) {
    return Sample::acceptsFile(file) || SampleREX::acceptsFile(file) || SampleWav::acceptsFile(file) ||
           SampleWavpack::acceptsFile(file);
}

Sample* loadSampleFile(Radio* parent, const File& file, bool loadData) {
    if (!file.exists())
        return nullptr;
    for (Reader reader : {Reader::Rex, Reader::Wav, Reader::SoundFile, Reader::Wavpack}) {
        Sample* sample = makeSample(reader, parent);
        Error result = NoError();
        try {
            result = sample->load(file, loadData);
        } catch (const std::exception& exception) {
            logLine(3, "caught exception: %s", exception.what());
            result = GeneralError("loadSampleFile", kSampleCorruptText);
        }
        const std::string code = result.getCode();
        if (code == "EAOK") {
            if (loadData)
                finishLoading(reader, *sample, file);
            return sample;
        }
        sample->release();
        if (code == "EIFL")
            continue;
        logErrorLine(3, result);
        showErrorMessage(result.getMessage());
        return nullptr;
    }
    return nullptr;
}

} // namespace trov
