#include "engine/samples/SampleWavpack.h"

#include "engine/samples/SampleBuffer.h"
#include "engine/samples/SampleFileSupport.h"
#include "framework/File.h"

#include <wavpack/wavpack.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace trov {

namespace {

constexpr const char* kWavpackExtensions = "*.wv;";
// Values unpacked per call, whatever the channel count.
constexpr std::size_t kValuesPerPiece = 65536;
// Frames the buffer holds at first when the file gives no length.
constexpr std::size_t kFirstFrames = 65536;
// A declared length is taken at its word up to this many frames per byte of file (far more than audio
// compresses to, short of silence); beyond that the buffer grows as frames arrive.
constexpr std::int64_t kPlausibleFramesPerByte = 16;

struct ContextCloser {
    void operator()(WavpackContext* context) const { WavpackCloseFile(context); }
};
using Context = std::unique_ptr<WavpackContext, ContextCloser>;

} // namespace

SampleWavpack::SampleWavpack(Radio* parent) : Sample(parent) {}

SampleWavpack::SampleWavpack(const SampleWavpack& other) : Sample(other) {}

SampleWavpack::~SampleWavpack() = default;

Sample* SampleWavpack::clone() const {
    return new SampleWavpack(*this);
}

bool SampleWavpack::acceptsFile(const File& file) {
    return extensionInList(file, kWavpackExtensions);
}

// Unpacks every frame straight into the sample's buffer and ends trimmed to the frames read and the guard.
// The buffer is reserved once for the length the file declares when its size makes that plausible, and
// otherwise grows as frames arrive (doubling, but never past the declared length): a file that lies about
// its length, or gives none, costs only what it really holds. A declared length is as far as it is read,
// as the sound-file reader does: the copies' budget counted the file so.
Error SampleWavpack::decodeMono(WavpackContext* context) {
    static const char* const kWhere = "SampleWavpack::load";
    const std::size_t channels = static_cast<std::size_t>(info_.channels);
    const bool isFloat = (WavpackGetMode(context) & MODE_FLOAT) != 0;
    const int shift = 32 - info_.bitDepth;
    const std::int64_t declared = WavpackGetNumSamples64(context);
    // The library may touch room for every channel of the file, though it fills only the reduced ones.
    const std::size_t fileChannels =
        std::max(static_cast<std::size_t>(std::max(WavpackGetNumChannels(context), 0)), channels);
    const std::uint32_t framesPerPiece =
        static_cast<std::uint32_t>(std::max<std::size_t>(kValuesPerPiece / fileChannels, 1));
    std::vector<std::int32_t> piece(framesPerPiece * fileChannels);
    std::vector<float> values(framesPerPiece * channels);

    std::size_t capacity = 0;
    std::size_t done = 0;
    float* data = nullptr;
    const std::int64_t plausible =
        std::max<std::int64_t>(WavpackGetFileSize64(context), 0) * kPlausibleFramesPerByte;
    if (declared > 0 && declared < static_cast<std::int64_t>(kMaxDataValues) && declared <= plausible) {
        capacity = static_cast<std::size_t>(declared);
        data = resizeData(capacity + 1);
        if (data == nullptr)
            return GeneralError(kWhere, tooLargeText("its frames do not fit in memory"));
    }
    for (;;) {
        const std::uint32_t wanted = declared >= 0
                                         ? static_cast<std::uint32_t>(std::min<std::int64_t>(
                                               framesPerPiece, declared - static_cast<std::int64_t>(done)))
                                         : framesPerPiece;
        const std::uint32_t count = wanted > 0 ? WavpackUnpackSamples(context, piece.data(), wanted) : 0;
        if (count == 0)
            break;
        const std::size_t needed = done + count;
        if (needed >= kMaxDataValues) {
            releaseData();
            return GeneralError(kWhere, tooLargeText("it holds more frames than a sample holds"));
        }
        if (needed > capacity) {
            std::size_t grown = std::max({needed, 2 * capacity, kFirstFrames});
            if (declared >= static_cast<std::int64_t>(needed))
                grown = std::min(grown, static_cast<std::size_t>(declared));
            capacity = std::min(grown, kMaxDataValues - 1);
            data = resizeData(capacity + 1);
            if (data == nullptr) {
                releaseData();
                return GeneralError(kWhere, tooLargeText("its frames do not fit in memory"));
            }
        }
        for (std::size_t i = 0; i < count * channels; ++i) {
            if (isFloat)
                std::memcpy(&values[i], &piece[i], sizeof(float));
            else
                values[i] = static_cast<float>(
                                static_cast<std::int32_t>(static_cast<std::uint32_t>(piece[i]) << shift)) *
                            0x1p-31f;
        }
        averageInterleaved(values.data(), count, channels, data + done);
        done = needed;
    }
    if (done == 0) {
        releaseData();
        return GeneralError(kWhere, corruptText("it holds no frames"));
    }
    resizeData(done + 1);
    info_.frames = static_cast<std::int32_t>(done);
    info_.channels = 1;
    writeGuard();
    return NoError();
}

std::int64_t SampleWavpack::declaredFileFrames(const File& file) {
    if (!file.isRegularFile())
        return -1;
    char error[128] = {};
    const Context context(WavpackOpenFileInput(file.getPath().c_str(), error, OPEN_WVC | OPEN_2CH_MAX, 0));
    if (!context)
        return -1;
    // A file that gives no length is read as far as it goes.
    const std::int64_t declared = WavpackGetNumSamples64(context.get());
    return declared >= 0 ? declared : static_cast<std::int64_t>(kMaxDataValues);
}

Error SampleWavpack::load(const File& file, bool loadData) {
    static const char* const kWhere = "SampleWavpack::load";
    // Only regular files: opening a pipe would wait for a writer.
    if (!file.isRegularFile())
        return ErrorImportFailed(kWhere, file);
    char error[128] = {};
    const Context context(WavpackOpenFileInput(file.getPath().c_str(), error, OPEN_WVC | OPEN_2CH_MAX, 0));
    if (!context)
        return SampleImportFailed(kWhere,
                                  librarySays("WavPack", std::string(error, strnlen(error, sizeof error))));

    releaseData();
    slices_.clear();
    // Unpacked frames hold the reduced channel count, not the file's.
    const int channels = WavpackGetReducedChannels(context.get());
    const int bytesPerSample = WavpackGetBytesPerSample(context.get());
    if (channels < 1 || bytesPerSample < 1 || bytesPerSample > 4)
        return GeneralError(kWhere,
                            corruptText("its format (" + std::to_string(channels) + " channels of " +
                                        std::to_string(bytesPerSample) + " bytes) is not one it can hold"));
    info_.channels = channels;
    info_.bitDepth = bytesPerSample * 8;
    info_.sampleRate =
        static_cast<std::int32_t>(std::min<std::uint32_t>(WavpackGetSampleRate(context.get()), 0x7FFFFFFF));
    info_.creator.clear();
    info_.comment.clear();

    if (loadData) {
        const Error decoded = decodeMono(context.get());
        if (decoded.failed())
            return decoded;
        boundData(file.getPath());
    } else {
        const std::int64_t declared = WavpackGetNumSamples64(context.get());
        if (declared > 0 && declared < static_cast<std::int64_t>(kMaxDataValues))
            info_.frames = static_cast<std::int32_t>(declared);
    }
    start_ = 0;
    end_ = info_.frames - 1;
    loop_ = {kLoopOff, 0, info_.frames - 1};
    return NoError();
}

} // namespace trov
