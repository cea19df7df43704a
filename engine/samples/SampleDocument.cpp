// How a sample travels in documents: its dictionary keys and the ".mrk" slice side file.
#include "engine/samples/Sample.h"

#include "engine/notes/LineReader.h"
#include "framework/File.h"
#include "framework/Logger.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

namespace trov {

namespace {

const char* const kSampleDataKey = Sample::kDataKey;
// Hostile side files could repeat positions forever; no real slicing comes near this.
constexpr std::size_t kMaxSlices = 65536;
// Enough of a line for "Pos=" and any decimal number; the rest of a longer line is skipped.
constexpr std::size_t kMaxLineKept = 64;

std::uint32_t readLittleEndian(const std::uint8_t* bytes) {
    return std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16 |
           std::uint32_t{bytes[3]} << 24;
}

// Like atoi, but saturating instead of overflowing.
std::int32_t leadingInteger(const std::string& text, std::size_t from) {
    std::size_t at = from;
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t'))
        ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '-' || text[at] == '+'))
        negative = text[at++] == '-';
    std::int64_t value = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at)
        value = std::min<std::int64_t>(value * 10 + (text[at] - '0'), std::int64_t{1} << 32);
    value = negative ? -value : value;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                                              std::numeric_limits<std::int32_t>::max()));
}

// Why a document's sample data did not decode, as a load names it.
const char* faultText(DataFault fault) {
    switch (fault) {
    case DataFault::kNone:
        return "its data entry has no text";
    case DataFault::kNotBase64:
        return "its data is not Base64";
    case DataFault::kNotGzip:
        return "its data is not a gzip stream";
    case DataFault::kCutShort:
        return "its data ends before its gzip stream does";
    case DataFault::kDamaged:
        return "its data is damaged and does not decode";
    case DataFault::kFailsCheck:
        return "its data fails its gzip stream's check";
    case DataFault::kBytesAfter:
        return "its data has bytes after the end of its gzip stream";
    case DataFault::kTooLong:
        break;
    case DataFault::kNoMemory:
        return "there is not enough memory to decode its data";
    }
    return "its data is longer than a sample may hold";
}

std::int32_t oneBefore(std::int32_t frame) {
    return frame == std::numeric_limits<std::int32_t>::min() ? frame : frame - 1;
}

} // namespace

void Sample::fromDictionary(const Dictionary& dictionary) {
    // The data decodes first, into a buffer of its own: a document whose data is corrupt throws before
    // anything of the sample has changed.
    std::int32_t channels = info_.channels;
    dictionary.getLong("channels", &channels);
    std::int32_t frames = info_.frames;
    const bool framesDeclared = dictionary.getInteger("samples", &frames);
    const bool dataGiven = static_cast<bool>(dictionary.findEntry(kSampleDataKey));
    SampleBuffer incoming;
    const std::int32_t incomingFrames =
        dataGiven ? readSampleData(dictionary, frames, framesDeclared, channels, incoming) : 0;

    const std::int32_t framesBefore = info_.frames;
    dictionary.getInteger("SampleStart", &start_);
    dictionary.getInteger("SampleEnd", &end_);
    if (end_ < 1)
        end_ = framesBefore - 1;
    bool loopRead = dictionary.getInteger("SampleLoopStart", &loop_.start);
    loopRead = dictionary.getInteger("SampleLoopEnd", &loop_.end) || loopRead;
    if (loopRead)
        loop_.mode = kLoopOn;
    dictionary.getLong("WaveRootNote", &info_.rootNote);
    dictionary.getLong("SampleRootNote", &info_.rootNote);
    // A root note is a key: a document's number outside the keyboard is held at its edge.
    info_.rootNote = std::clamp(info_.rootNote, std::int32_t{0}, std::int32_t{127});
    dictionary.getLong("SampleDetuneCoarse", &info_.detune);

    bool flag = false;
    if (dictionary.getBool("resident", &flag)) {
        if (flag) {
            flags_ |= kFlagResident;
            // New data arrives as stored; only data already held is masked.
            if (!dataGiven)
                applyResidentMask();
        } else {
            flags_ &= ~kFlagResident;
        }
    }
    if (dictionary.getBool("export", &flag))
        flags_ = flag ? (flags_ | kFlagExport) : (flags_ & ~kFlagExport);

    dictionary.getInteger("samplerate", &info_.sampleRate);
    dictionary.getLong("bitdepth", &info_.bitDepth);
    // The frame and channel counts follow the data actually held, which a player trusts them to describe:
    // without new data, data held keeps its counts and no data means no frames.
    if (dataGiven) {
        releaseDataBuffer();
        info_.channels = channels;
        info_.frames = incomingFrames;
        if (incomingFrames > 0) {
            buffer_ = std::move(incoming);
            info_.data = buffer_.data();
            info_.channels = 1;
            info_.layout = SampleInfo::kInterleaved;
        }
    } else if (info_.data == nullptr) {
        info_.channels = channels;
        if (framesDeclared)
            info_.frames = 0;
    }
    clampPositions();
}

std::uint64_t Sample::declaredDataValues(const Dictionary& item) {
    if (!item.findEntry(kSampleDataKey))
        return 0;
    // As readSampleData takes them for a new sample, which has no frames and no channels yet.
    std::int32_t channels = 0;
    item.getLong("channels", &channels);
    std::int32_t frames = 0;
    constexpr std::uint64_t kMostValues = kMaxDataBytes / 4;
    if (item.getInteger("samples", &frames))
        return std::min(static_cast<std::uint64_t>(std::max(frames, 0)) *
                            static_cast<std::uint64_t>(std::max(channels, 1)),
                        kMostValues);
    std::size_t length = 0;
    return item.getDataDeclaredLength(kSampleDataKey, &length)
               ? std::min<std::uint64_t>(length / 4, kMostValues)
               : 0;
}

std::uint64_t Sample::declaredHeldValues(const Dictionary& item) {
    std::int32_t channels = 0;
    item.getLong("channels", &channels);
    return declaredDataValues(item) / static_cast<std::uint64_t>(std::max(channels, 1));
}

std::int32_t Sample::readSampleData(const Dictionary& dictionary, std::int32_t declaredFrames, bool declared,
                                    std::int32_t channelCount, SampleBuffer& into) {
    const std::uint64_t channels = static_cast<std::uint64_t>(std::max(channelCount, 1));
    // What the document declares bounds what its data may decode into, before anything is unpacked: a
    // small gzip stream can unpack into far more than any sample. Without a declaration, the codec's own
    // limit holds.
    const std::uint64_t perFrame = 4 * channels;
    const std::uint64_t framesStated = static_cast<std::uint64_t>(std::max(declaredFrames, 0));
    const std::uint64_t declaredBytes = framesStated > std::numeric_limits<std::uint64_t>::max() / perFrame
                                            ? std::numeric_limits<std::uint64_t>::max()
                                            : perFrame * framesStated;
    const std::uint64_t most =
        declared ? std::min<std::uint64_t>(declaredBytes, kMaxDataBytes) : kMaxDataBytes;
    // The older packed-word form does not say how many bytes it holds: take the declared count, but never
    // more than the text can carry (six bits per character), so a short text cannot make us allocate much.
    std::uint64_t expected = 0;
    if (Dictionary::View entry = dictionary.findEntry(kSampleDataKey)) {
        const std::uint64_t textWords =
            static_cast<std::uint64_t>(entry->getAttribute("value").size()) * 6 / 32;
        expected = std::min(declaredBytes, textWords * 4);
    }
    std::vector<std::uint8_t> bytes;
    DataFault fault = DataFault::kNone;
    if (!dictionary.getDataAtMost(kSampleDataKey, &bytes, static_cast<std::size_t>(expected),
                                  static_cast<std::size_t>(most), &fault)) {
        const std::string reason =
            fault == DataFault::kTooLong && declared && declaredBytes <= kMaxDataBytes
                ? "its data holds more than the " + std::to_string(declaredFrames) + " frames it declares"
                : faultText(fault);
        logLine(3, "trov::Sample: sample data of %d frames of %d channels is refused: %s", declaredFrames,
                static_cast<int>(channels), reason.c_str());
        throw Exception::SampleDataCorrupt(reason);
    }
    const std::uint64_t frames = bytes.size() / (4 * channels);
    if (frames == 0)
        return 0;
    // One block for the values as stored, mixed down in place and trimmed to the mono frames and guard.
    const std::uint64_t values = frames * channels;
    if (frames >= static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()) ||
        values >= kMaxDataValues || !into.allocate(static_cast<std::size_t>(values) + 1))
        throw Exception::SampleDataCorrupt(faultText(DataFault::kTooLong));
    float* data = into.data();
    for (std::size_t i = 0; i < values; ++i) {
        const std::uint32_t word = readLittleEndian(&bytes[4 * i]);
        std::memcpy(&data[i], &word, sizeof word);
    }
    averageInterleaved(data, static_cast<std::size_t>(frames), static_cast<std::size_t>(channels), data);
    into.resize(static_cast<std::size_t>(frames) + 1);
    data = into.data();
    boundValues(data, static_cast<std::size_t>(frames), "a document's sample data");
    data[frames] = data[0];
    return static_cast<std::int32_t>(frames);
}

void Sample::clampPositions() {
    if (info_.frames <= 0)
        return;
    const std::int32_t last = info_.frames - 1;
    start_ = std::clamp(start_, 0, last);
    end_ = std::clamp(end_, 0, last);
    loop_.start = std::clamp(loop_.start, 0, last);
    loop_.end = std::clamp(loop_.end, 0, last);
}

void Sample::writePositions(Dictionary& dictionary) const {
    dictionary.setInteger("SampleStart", start_);
    dictionary.setInteger("SampleEnd", end_);
    dictionary.setInteger("SampleLoopStart", loop_.start);
    dictionary.setInteger("SampleLoopEnd", loop_.end);
    dictionary.setInteger("SampleRootNote", info_.rootNote);
    dictionary.setInteger("SampleDetuneCoarse", info_.detune);
}

void Sample::toDictionary(Dictionary& dictionary) const {
    dictionary.setInteger("channels", info_.channels);
    dictionary.setInteger("samples", info_.frames);
    dictionary.setInteger("samplerate", info_.sampleRate);
    dictionary.setInteger("bitdepth", info_.bitDepth);
    const std::size_t count = heldValueCount();
    if (info_.frames == 0 || count == 0)
        return;
    std::vector<std::uint8_t> bytes(4 * count);
    for (std::size_t i = 0; i < count; ++i) {
        std::uint32_t word;
        std::memcpy(&word, &info_.data[i], sizeof word);
        for (std::size_t b = 0; b < 4; ++b)
            bytes[4 * i + b] = static_cast<std::uint8_t>(word >> (8 * b));
    }
    dictionary.setData(kSampleDataKey, bytes.data(), bytes.size());
}

bool Sample::loadSliceFile(const File& audioFile) {
    File side(audioFile);
    side.setExtension("mrk");
    if (!side.exists() || !side.openRead() || side.getStream() == nullptr)
        return false;
    // Positions from the file are kept inside the sample; slices that end before they start are dropped.
    const std::int32_t last = info_.frames > 0 ? info_.frames - 1 : std::max(end_, 0);
    slices_.clear();
    std::int32_t previous = -1;
    std::string line;
    LineReader lines(*side.getStream(), kMaxLineKept);
    while (slices_.size() < kMaxSlices && lines.next(line)) {
        if (line.compare(0, 4, "Pos=") != 0)
            continue;
        const std::int32_t position = std::clamp(leadingInteger(line, 4), 0, last);
        if (previous >= 0)
            slices_.push_back({previous, position - 1});
        previous = position;
    }
    if (previous >= 0 && slices_.size() < kMaxSlices)
        slices_.push_back({previous, std::clamp(oneBefore(end_), -1, last)});
    side.close();
    std::erase_if(slices_, [](const Slice& slice) { return slice.end < slice.start; });
    if (!slices_.empty()) {
        loop_.start = slices_.front().start;
        loop_.end = slices_.back().end;
    }
    return false;
}

} // namespace trov
