#include "engine/samples/SampleWav.h"

#include "engine/samples/SampleBuffer.h"
#include "engine/samples/SampleFileSupport.h"
#include "framework/File.h"

#include <algorithm>
#include <fstream>
#include <limits>

namespace trov {

namespace {

constexpr const char* kWavExtensions = "*.wav;";
constexpr std::uint16_t kTagPcm = 1;
constexpr std::uint16_t kTagFloat = 3;

// Bit depths outside 1..32 cannot be written as integers; such samples are written as 32-bit floats,
// which lose nothing.
int writtenBitDepth(std::int32_t bitDepth) {
    return bitDepth >= 1 && bitDepth <= 32 ? bitDepth : 32;
}

std::int32_t clampKey(std::int64_t key) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(key, 0, 127));
}

} // namespace

SampleWav::SampleWav(Radio* parent) : Sample(parent) {}

SampleWav::SampleWav(const Sample& sample) : Sample(sample) {}

SampleWav::SampleWav(const SampleWav& other) : Sample(other), chunks_(other.chunks_) {}

SampleWav::~SampleWav() = default;

Sample* SampleWav::clone() const {
    return new SampleWav(*this);
}

bool SampleWav::acceptsFile(const File& file) {
    return extensionInList(file, kWavExtensions);
}

std::int64_t SampleWav::declaredFileFrames(const File& file) {
    if (!file.isRegularFile())
        return -1;
    std::ifstream in(file.getPath(), std::ios::binary);
    WavChunks chunks;
    WavCoding coding;
    // As loadStream takes the file.
    if (!in.is_open() || !chunks.read(in, false, kMaxDataValues - 1))
        return chunks.tooLarge ? static_cast<std::int64_t>(kMaxDataValues) : -1;
    return coding.fromChunks(chunks) && coding.frames > 0 ? coding.frames : -1;
}

Error SampleWav::load(const File& file, bool loadData) {
    // Only regular files: opening a pipe would wait for a writer.
    if (!file.isRegularFile())
        return ErrorImportFailed("SampleWav::load", file);
    std::ifstream in(file.getPath(), std::ios::binary);
    if (!in.is_open())
        return ErrorImportFailed("SampleWav::load", file);
    return loadStream(in, loadData);
}

Error SampleWav::loadStream(std::istream& in, bool loadData) {
    static const char* const kWhere = "SampleWav::loadStream";
    releaseData();
    WavCoding coding;
    // The declared size decides before anything of the data is read: one frame more holds the guard.
    if (!chunks_.read(in, loadData, kMaxDataValues - 1)) {
        if (chunks_.tooLarge)
            return GeneralError(kWhere, tooLargeText(chunks_.problem));
        return SampleImportFailed(kWhere, chunks_.problem);
    }
    const WavChunks::Format& format = chunks_.format;
    if (!coding.fromChunks(chunks_))
        return SampleImportFailed(kWhere, "its coding (format " + std::to_string(format.coding) + ", " +
                                              std::to_string(format.bitsPerSample) + " bits, " +
                                              std::to_string(format.channels) + " channels, blocks of " +
                                              std::to_string(format.blockAlign) +
                                              " bytes) is not one it can decode");
    // Data too short for one frame is as good as no data.
    if (loadData && coding.frames == 0)
        return SampleImportFailed(kWhere, "its data chunk holds less than one frame");

    info_.layout = SampleInfo::kInterleaved;
    info_.channels = coding.channels;
    info_.bitDepth = format.bitsPerSample;
    info_.sampleRate = static_cast<std::int32_t>(std::min<std::uint32_t>(format.sampleRate, 0x7FFFFFFF));
    info_.creator.clear();
    info_.comment.clear();
    if (loadData) {
        if (allocateData(static_cast<std::size_t>(coding.frames) + 1) == nullptr) {
            releaseData();
            return ErrorImportFailed(kWhere);
        }
        decodeMono(coding);
        // The raw bytes are not needed once decoded.
        chunks_.data.bytes = std::vector<std::uint8_t>();
    }
    start_ = 0;
    end_ = info_.frames - 1;
    readPitch();
    readLoop();
    readSlices();
    return NoError();
}

// Decodes the data chunk and averages the channels of each frame into the mono data, piece by piece, so
// that the interleaved values never need a buffer of their own. A piece holds a bounded number of values
// and never more frames than the chunk has.
void SampleWav::decodeMono(const WavCoding& coding) {
    constexpr std::size_t kValuesPerPiece = 65536;
    const std::size_t blockAlign = chunks_.format.blockAlign;
    const std::size_t channels = static_cast<std::size_t>(coding.channels);
    const std::uint8_t* bytes = chunks_.data.bytes.data();
    float* data = getData();
    info_.frames = coding.frames;
    info_.channels = 1;
    if (channels == 1) {
        decodeWavSamples(coding, blockAlign, bytes, coding.frames, data);
    } else {
        const std::int32_t framesPerPiece = static_cast<std::int32_t>(std::min<std::size_t>(
            std::max<std::size_t>(kValuesPerPiece / channels, 1), static_cast<std::size_t>(coding.frames)));
        std::vector<float> piece(static_cast<std::size_t>(framesPerPiece) * channels);
        for (std::int32_t first = 0; first < coding.frames; first += framesPerPiece) {
            const std::int32_t count = std::min(framesPerPiece, coding.frames - first);
            decodeWavSamples(coding, blockAlign, bytes + static_cast<std::size_t>(first) * blockAlign, count,
                             piece.data());
            averageInterleaved(piece.data(), static_cast<std::size_t>(count), channels, data + first);
        }
    }
    writeGuard();
    if (coding.isFloat)
        boundData("WAV data");
}

void SampleWav::readPitch() {
    const WavChunks::Sampler& sampler = chunks_.sampler;
    if (sampler.unityNote != 0) {
        info_.rootNote = clampKey(sampler.unityNote);
        info_.detune = pitchFractionToDetune(sampler.pitchFraction);
    } else if (chunks_.acid.rootNote != 0) {
        info_.rootNote = clampKey(chunks_.acid.rootNote);
    }
}

void SampleWav::readLoop() {
    const std::int32_t frames = info_.frames;
    const auto& loops = chunks_.sampler.loops;
    if (loops.empty()) {
        loop_ = {kLoopOff, frames / 2, frames - 1};
        return;
    }
    auto toFrame = [](std::uint32_t value) {
        return static_cast<std::int32_t>(
            std::min<std::uint32_t>(value, std::numeric_limits<std::int32_t>::max()));
    };
    loop_ = {kLoopOn, toFrame(loops.front().start), toFrame(loops.front().end)};
    if (getData() != nullptr)
        loop_ = boundedLoop(loop_, frames);
}

void SampleWav::readSlices() {
    slices_.clear();
    const auto& points = chunks_.cue.points;
    // Without data the points are taken as they stand; with data they are kept inside it.
    const bool bounded = getData() != nullptr;
    const std::int64_t last =
        bounded ? std::max<std::int64_t>(end_, 0) : std::numeric_limits<std::int32_t>::max();
    auto frameAt = [&](std::size_t i) { return std::min<std::int64_t>(points[i].sampleOffset, last); };
    for (std::size_t i = 0; i < points.size(); ++i) {
        const std::int64_t start = frameAt(i);
        const std::int64_t end = i + 1 < points.size() ? frameAt(i + 1) - 1 : end_;
        if (bounded && end < start)
            continue;
        slices_.push_back({static_cast<std::int32_t>(start), static_cast<std::int32_t>(end)});
    }
}

Error SampleWav::save(File& file) const {
    static const char* const kWhere = "SampleWav::save";
    const int bitDepth = writtenBitDepth(info_.bitDepth);
    const int bytesPerValue = (bitDepth + 7) / 8;
    const int channels = std::max(info_.channels, 1);

    WavChunks chunks;
    WavChunks::Format& format = chunks.format;
    format.formatTag = bytesPerValue == 4 ? kTagFloat : kTagPcm;
    format.channels = static_cast<std::uint16_t>(channels);
    format.sampleRate = static_cast<std::uint32_t>(std::max(info_.sampleRate, 0));
    format.blockAlign = static_cast<std::uint16_t>(channels * bytesPerValue);
    format.byteRate = format.sampleRate * format.blockAlign;
    format.bitsPerSample = static_cast<std::uint16_t>(bitDepth);

    const std::size_t values = heldValueCount();
    chunks.data.bytes.resize(values * static_cast<std::size_t>(bytesPerValue));
    if (values != 0)
        encodeWavSamples(getData(), values, bytesPerValue, chunks.data.bytes.data());

    WavChunks::Sampler& sampler = chunks.sampler;
    detuneToSampler(info_.rootNote, info_.detune, sampler.unityNote, sampler.pitchFraction);
    chunks.acid.rootNote = static_cast<std::uint16_t>(clampKey(info_.rootNote));
    if (loop_.mode != kLoopOff) {
        WavChunks::Loop loop;
        loop.start = static_cast<std::uint32_t>(std::max(loop_.start, 0));
        loop.end = static_cast<std::uint32_t>(std::max(loop_.end, 0));
        sampler.loops.push_back(loop);
    }

    // Each slice start, then the end of the last slice.
    if (!slices_.empty()) {
        for (const Slice& slice : slices_) {
            chunks.cue.points.emplace_back();
            chunks.cue.points.back().sampleOffset = static_cast<std::uint32_t>(std::max(slice.start, 0));
        }
        chunks.cue.points.emplace_back();
        chunks.cue.points.back().sampleOffset = static_cast<std::uint32_t>(std::max(slices_.back().end, 0));
    }

    // The instrument chunk names the same pitch, with the fine tune within half a semitone, and the full
    // key and velocity range.
    WavChunks::Instrument& instrument = chunks.instrument;
    const bool roundUp = sampler.pitchFraction > 0x80000000u;
    const std::int32_t cents = pitchFractionToDetune(sampler.pitchFraction) - (roundUp ? 100 : 0);
    instrument.unshiftedNote = static_cast<std::uint8_t>(clampKey(sampler.unityNote + (roundUp ? 1 : 0)));
    instrument.fineTune = static_cast<std::int8_t>(cents);
    instrument.lowNote = 0;
    instrument.highNote = 127;
    instrument.lowVelocity = 1;
    instrument.highVelocity = 127;

    const std::vector<std::uint8_t> bytes = chunks.write();
    std::ofstream out(file.getPath(), std::ios::binary | std::ios::trunc);
    if (!out.is_open())
        return ErrorExportFailed(kWhere, file);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out)
        return ErrorExportFailed(kWhere, file);
    return NoError();
}

} // namespace trov
