#include "engine/SampleWavpack.h"

#include "engine/SampleFileSupport.h"
#include "framework/File.h"

#include <wavpack/wavpack.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace trov {

namespace {

constexpr const char* kWavpackExtensions = "*.wv;";
// Frames unpacked per call: the decoder's output is taken in pieces of this size, so that a file whose
// length is unknown (or wrong) only ever costs the memory of what it really holds.
constexpr std::uint32_t kFramesPerPiece = 4096;

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

Error SampleWavpack::load(const File& file, bool loadData) {
    static const char* const kWhere = "SampleWavpack::load";
    char error[128] = {};
    const Context context(WavpackOpenFileInput(file.getPath().c_str(), error, OPEN_WVC | OPEN_2CH_MAX, 0));
    if (!context)
        return ErrorImportFailed(kWhere, file);

    releaseData();
    slices_.clear();
    // Unpacked frames hold the reduced channel count, not the file's.
    const int channels = WavpackGetReducedChannels(context.get());
    const int bytesPerSample = WavpackGetBytesPerSample(context.get());
    if (channels < 1 || bytesPerSample < 1 || bytesPerSample > 4)
        return GeneralError(kWhere, kSampleCorruptText);
    info_.channels = channels;
    info_.bitDepth = bytesPerSample * 8;
    info_.sampleRate =
        static_cast<std::int32_t>(std::min<std::uint32_t>(WavpackGetSampleRate(context.get()), 0x7FFFFFFF));
    info_.creator.clear();
    info_.comment.clear();

    std::vector<float> mono;
    if (loadData) {
        const bool isFloat = (WavpackGetMode(context.get()) & MODE_FLOAT) != 0;
        const int shift = 32 - info_.bitDepth;
        const float divisor = static_cast<float>(channels);
        // The library may touch room for every channel of the file, though it fills only the reduced ones.
        const int fileChannels = std::max(WavpackGetNumChannels(context.get()), channels);
        std::vector<std::int32_t> piece(static_cast<std::size_t>(kFramesPerPiece) * fileChannels);
        for (;;) {
            const std::uint32_t count = WavpackUnpackSamples(context.get(), piece.data(), kFramesPerPiece);
            if (count == 0)
                break;
            if (mono.size() + count >= kMaxDataValues)
                return GeneralError(kWhere, kSampleTooLargeText);
            const std::int32_t* value = piece.data();
            for (std::uint32_t i = 0; i < count; ++i) {
                float sum = 0.0f;
                for (int c = 0; c < channels; ++c, ++value) {
                    float x;
                    if (isFloat)
                        std::memcpy(&x, value, sizeof x);
                    else
                        x = static_cast<float>(
                                static_cast<std::int32_t>(static_cast<std::uint32_t>(*value) << shift)) *
                            0x1p-31f;
                    sum += x / divisor;
                }
                mono.push_back(sum);
            }
        }
        if (mono.empty())
            return GeneralError(kWhere, kSampleCorruptText);
    } else {
        const std::int64_t declared = WavpackGetNumSamples64(context.get());
        if (declared > 0 && declared < static_cast<std::int64_t>(kMaxDataValues))
            info_.frames = static_cast<std::int32_t>(declared);
    }

    if (!mono.empty()) {
        float* data = allocateData(mono.size() + 1);
        if (data == nullptr)
            return GeneralError(kWhere, kSampleTooLargeText);
        std::copy(mono.begin(), mono.end(), data);
        info_.frames = static_cast<std::int32_t>(mono.size());
        info_.channels = 1;
        writeGuard();
    }
    start_ = 0;
    end_ = info_.frames - 1;
    loop_ = {kLoopOff, 0, info_.frames - 1};
    return NoError();
}

} // namespace trov
