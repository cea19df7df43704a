// The plain sample's reading and writing of sound files (AIFF, AU, and WAV codings the WAV reader leaves)
// through libsndfile.
#include "engine/samples/Sample.h"

#include "engine/samples/SampleBuffer.h"
#include "engine/samples/SampleFileSupport.h"
#include "framework/File.h"
#include "framework/Logger.h"

#include <sndfile.h>

#include <algorithm>
#include <exception>
#include <limits>
#include <vector>

namespace trov {

namespace {

constexpr const char* kSoundFileExtensions = "*.aif;*.aifc;*.aiff;*.au;*.snd;*.wav;";
// Values read from libsndfile per call while mixing down, whatever the channel count.
constexpr std::size_t kValuesPerPiece = 65536;

int bitDepthOf(int format) {
    switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
    case SF_FORMAT_DPCM_8:
        return 8;
    case SF_FORMAT_PCM_24:
        return 24;
    case SF_FORMAT_PCM_32:
        return 32;
    default:
        return 16;
    }
}

// Bytes one value takes in the file; 1 for compressed codings, whose frames the file's length does not
// bound (they grow the buffer as they arrive).
sf_count_t bytesPerValueOf(int format) {
    switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_16:
    case SF_FORMAT_DPCM_16:
        return 2;
    case SF_FORMAT_PCM_24:
        return 3;
    case SF_FORMAT_PCM_32:
    case SF_FORMAT_FLOAT:
        return 4;
    case SF_FORMAT_DOUBLE:
        return 8;
    default:
        return 1;
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

std::int32_t toFrame(unsigned int value) {
    return static_cast<std::int32_t>(std::min<unsigned int>(value, std::numeric_limits<std::int32_t>::max()));
}

// Reads every frame and averages the channels into the sample's buffer; resize(count) resizes it to count
// floats, keeping its values, and returns it (null when memory is short). The buffer starts at what the
// file's length can hold, grows as frames arrive (never past the declared count) and ends trimmed to the
// frames read and one guard value. Returns the frames read; fits is false when the buffer could not grow.
template <typename Resize>
sf_count_t readMono(SNDFILE* handle, const SF_INFO& format, std::int64_t fileSize, Resize resize,
                    bool& fits) {
    const sf_count_t declared = format.frames;
    const std::size_t channels = static_cast<std::size_t>(format.channels);
    const sf_count_t framesPerPiece =
        std::max<sf_count_t>(1, static_cast<sf_count_t>(kValuesPerPiece / channels));
    const sf_count_t fit =
        std::max<std::int64_t>(fileSize, 0) / (bytesPerValueOf(format.format) * format.channels);
    sf_count_t capacity = std::clamp<sf_count_t>(fit, 1, declared);
    float* data = resize(static_cast<std::size_t>(capacity) + 1);
    std::vector<float> piece(static_cast<std::size_t>(framesPerPiece) * channels);
    sf_count_t done = 0;
    while (data != nullptr && done < declared) {
        const sf_count_t got =
            sf_readf_float(handle, piece.data(), std::min(framesPerPiece, declared - done));
        if (got <= 0)
            break;
        if (done + got > capacity) {
            capacity = std::min(declared, std::max(done + got, 2 * capacity));
            data = resize(static_cast<std::size_t>(capacity) + 1);
            if (data == nullptr)
                break;
        }
        averageInterleaved(piece.data(), static_cast<std::size_t>(got), channels, data + done);
        done += got;
    }
    fits = data != nullptr;
    if (fits && done > 0)
        resize(static_cast<std::size_t>(done) + 1);
    return done;
}

} // namespace

bool Sample::acceptsFile(const File& file) {
    return extensionInList(file, kSoundFileExtensions);
}

std::int64_t Sample::declaredFileFrames(const File& file) {
    if (!file.isRegularFile())
        return -1;
    SF_INFO format{};
    const SoundFile sound(sf_open(file.getPath().c_str(), SFM_READ, &format));
    if (sound.get() == nullptr)
        return -1;
    return format.channels > 0 ? std::max<sf_count_t>(format.frames, 0) : 0;
}

Error Sample::load(const File& file, bool loadData) {
    static const char* const kWhere = "Sample::load";
    // Only regular files: opening a pipe would wait for a writer.
    if (!file.isRegularFile())
        return ErrorImportFailed(kWhere, file);
    SF_INFO format{};
    SoundFile sound(sf_open(file.getPath().c_str(), SFM_READ, &format));
    if (sound.get() == nullptr)
        return SampleImportFailed(kWhere, librarySays("libsndfile", sf_error_number(sf_error(nullptr))));

    releaseData();
    info_.sampleRate = format.samplerate;
    info_.channels = format.channels;
    if (format.channels <= 0)
        return GeneralError(kWhere, corruptText("it declares no channels"));
    info_.bitDepth = bitDepthOf(format.format);
    if (format.frames < 0 || format.frames >= static_cast<sf_count_t>(kMaxDataValues) - 32)
        return GeneralError(kWhere, tooLargeText("it declares " + std::to_string(format.frames) + " frames"));
    info_.frames = static_cast<std::int32_t>(format.frames);

    if (loadData) {
        if (format.frames == 0)
            return GeneralError(kWhere, corruptText("it holds no frames"));
        bool fits = true;
        sf_count_t frames = 0;
        try {
            frames = readMono(
                sound.get(), format, file.getSize(), [this](std::size_t count) { return resizeData(count); },
                fits);
        } catch (const std::exception& exception) {
            logLine(3, "caught exception: %s", exception.what());
        }
        // A file shorter than its header says keeps the frames it has.
        if (!fits || frames == 0) {
            releaseData();
            return GeneralError(kWhere, fits ? corruptText("none of its frames could be read")
                                             : tooLargeText("its frames do not fit in memory"));
        }
        info_.frames = static_cast<std::int32_t>(frames);
        info_.channels = 1;
        writeGuard();
        boundData(file.getPath());
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

} // namespace trov
